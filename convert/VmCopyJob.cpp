#include "convert/VmCopyJob.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "app/framework/ResourceString.h"

#include "convert/CVmDatabase.h"
#include "convert/JobReport.h"
#include "convert/JobState.h"
#include "db/ShowError.h"

namespace {

const unsigned int kLastRecord = 12000;
const unsigned int kProgressInterval = 120;
const int kFirstCopied = 2;   // "status"
const int kLastNumeric = 30;  // "p_ogm4"
const int kLastCopied = 33;   // "text_opt1"
const unsigned int kOpenFailed = 105;
const unsigned int kErrorCaption = 102;
const unsigned int kFieldsMissing = 131;
const unsigned int kRecordsMissing = 132;

// Opens path into slot; on failure shows the box, releases the object and
// clears slot.
bool OpenInto(CVmDatabase*& slot, char* path) {
  slot = new (std::nothrow) CVmDatabase(path);
  if (slot && slot->Open(path)) return true;
  ShowPathError(kOpenFailed, path);
  delete slot;
  slot = nullptr;
  return false;
}

void CloseAndRelease(CVmDatabase*& slot) {
  if (!slot) return;
  slot->Close();
  delete slot;
  slot = nullptr;
}

// What one run carries: which copied fields the source has, and the full
// texts of the copied character fields (buffers sized from the fields, so
// that a text is compared and written whole, whatever its member holds).
struct CopyPlan {
  bool present[kLastCopied + 1] = {};
  std::vector<char> sourceText[kLastCopied + 1];
  std::vector<char> targetText[kLastCopied + 1];
  std::string missing;  // "T05, T33": copied fields the source lacks
};

void MakePlan(CVmDatabase& source, CVmDatabase& target, CopyPlan& plan) {
  for (int f = kFirstCopied; f <= kLastCopied; ++f) {
    plan.present[f] = source.Width(f) != 0;
    if (!plan.present[f]) {
      char name[4];
      std::snprintf(name, sizeof name, "T%02d", f);
      plan.missing += (plan.missing.empty() ? "" : ", ") + std::string(name);
    }
    if (f <= kLastNumeric) continue;
    plan.sourceText[f].resize(source.Width(f) + 1);
    plan.targetText[f].resize(target.Width(f) + 1);
  }
}

// Writes into record n of target each copied field the source has whose
// value differs from what the target held before. Both tables stand on
// record n. Numbers are compared as ReadRecord's members would be, but
// converted only where their stored bytes differ.
void CopyDiffering(CVmDatabase& source, CVmDatabase& target, unsigned int n, CopyPlan& plan) {
  for (int f = kFirstCopied; f <= kLastNumeric; ++f) {
    if (!plan.present[f] || source.SameBytes(f, target)) continue;
    int32_t value = source.Number(f);
    if (target.Width(f) && value == target.Number(f)) continue;
    char text[16];
    std::snprintf(text, sizeof text, "%d", int(value));
    target.ReplaceField(n, n - 1, f, text);
  }
  for (int f = kLastNumeric + 1; f <= kLastCopied; ++f) {
    if (!plan.present[f]) continue;
    char* sourceText = plan.sourceText[f].data();
    char* targetText = plan.targetText[f].data();
    source.ReadWhole(f, sourceText);
    targetText[0] = '\0';
    target.ReadWhole(f, targetText);
    if (std::strcmp(sourceText, targetText) == 0) continue;
    target.ReplaceField(n, n - 1, f, sourceText);
  }
}

// After the loop: the fields never carried, and the records one table has
// beyond the other's end, each said once.
void ReportWhatWasNotCarried(const CopyPlan& plan, char* sourcePath, char* targetPath, unsigned int sourceCount,
                             unsigned int targetCount) {
  if (!plan.missing.empty()) {
    std::string text;
    AfxFormatString2(text, kFieldsMissing, sourcePath, plan.missing.c_str());
    ShowError(text.c_str(), LoadResString(kErrorCaption).c_str());
  }
  unsigned int reach = std::min(std::max(sourceCount, targetCount), kLastRecord);
  unsigned int shorter = std::min(sourceCount, targetCount);
  if (shorter >= reach) return;
  ShowFormattedError(kRecordsMissing, sourceCount < targetCount ? sourcePath : targetPath, shorter, reach - shorter);
}

void CopyVmTable(char* sourcePath, char* targetPath) {
  if (!OpenInto(JobState::sourceTable, sourcePath)) return EndWorker();
  if (!OpenInto(JobState::targetTable, targetPath)) {
    // The source is open; leaving it so would hold the live table's file
    // for the rest of the program.
    CloseAndRelease(JobState::sourceTable);
    return EndWorker();
  }
  CVmDatabase& source = *JobState::sourceTable;
  CVmDatabase& target = *JobState::targetTable;
  const unsigned int sourceCount = source.RecCount();
  const unsigned int targetCount = target.RecCount();
  CopyPlan plan;
  MakePlan(source, target, plan);

  for (unsigned int i = 0; i < kLastRecord; ++i) {
    if (!JobState::running) break;
    unsigned int n = i + 1;
    bool inBoth = n <= sourceCount && n <= targetCount;
    if (inBoth && source.Reach(n) && target.Reach(n)) CopyDiffering(source, target, n, plan);
    if (i % kProgressInterval == 0 && i != 0) SendJobProgress(0);
  }

  CloseAndRelease(JobState::sourceTable);
  CloseAndRelease(JobState::targetTable);
  if (JobState::running) ReportWhatWasNotCarried(plan, sourcePath, targetPath, sourceCount, targetCount);
  SendJobProgress(1);
  JobState::running = 0;
  EndWorker();
}

// Nothing may leave a job's thread: an allocation that fails ends the job
// the way a table that cannot be opened does, with its tables let go.
void RunGuarded(char* sourcePath, char* targetPath) {
  try {
    CopyVmTable(sourcePath, targetPath);
  } catch (...) {
    CloseAndRelease(JobState::sourceTable);
    CloseAndRelease(JobState::targetTable);
    EndWorker();
  }
}

}  // namespace

void __cdecl SmallToBigJob(void*) { RunGuarded(JobState::livePath, JobState::bigPath); }

void __cdecl BigToSmallJob(void*) { RunGuarded(JobState::livePath, JobState::smallPath); }
