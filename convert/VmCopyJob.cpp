#include "convert/VmCopyJob.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "messages/ResourceString.h"

#include "convert/CVmDatabase.h"
#include "convert/JobReport.h"
#include "convert/JobState.h"
#include "convert/VmFieldNames.h"
#include "messages/ShowError.h"
#include "messages/StringIds.h"

namespace {

const int kFirstCopied = 2;   // "status"
const int kLastNumeric = 30;  // "p_ogm4"
const int kLastCopied = 33;   // "text_opt1"

// Opens path into slot; on failure shows the box, releases the object and
// clears slot.
bool OpenInto(CVmDatabase*& slot, char* path) {
  slot = new (std::nothrow) CVmDatabase(path, JobState::files);
  if (slot && slot->Open(path)) return true;
  ShowOpenError(IDS_OPEN_FAILED, path, CVmDatabase::OpenFailure());
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
    if (!plan.present[f]) plan.missing += (plan.missing.empty() ? "" : ", ") + std::string(VmStoredName(f));
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
    AfxFormatString2(text, IDS_FIELDS_MISSING, sourcePath, plan.missing.c_str());
    ShowError(text.c_str(), LoadResString(IDS_ERROR_CAPTION).c_str());
  }
  unsigned int reach = std::min(std::max(sourceCount, targetCount), kVmJobRecords);
  unsigned int shorter = std::min(sourceCount, targetCount);
  if (shorter >= reach) return;
  ShowFormattedError(IDS_RECORDS_MISSING, sourceCount < targetCount ? sourcePath : targetPath, shorter, reach - shorter);
}

// Record n of both tables: compared, and its differing fields written,
// where both tables hold it and it can be read in both.
void CompareRecord(CVmDatabase& source, CVmDatabase& target, unsigned int n, unsigned int sourceCount,
                   unsigned int targetCount, CopyPlan& plan, JobOutcome& outcome) {
  if (n > sourceCount) ++outcome.beyondSourceEnd;
  if (n > targetCount) ++outcome.beyondTargetEnd;
  if (n > sourceCount || n > targetCount) return;
  if (!source.Reach(n)) {
    ++outcome.unreadSource;
  } else if (!target.Reach(n)) {
    ++outcome.unreadTarget;
  } else {
    // The record's changes go out together once all are known, so that
    // its journal lines take one write ahead of them; each field is still
    // written by itself, in field order.
    int flush = target.HoldChanges();
    CopyDiffering(source, target, n, plan);
    target.WriteChanges("CDatabase::Replace", flush);
    ++outcome.compared;
  }
}

void CopyVmTable(char* sourcePath, char* targetPath) {
  JobState::outcome.Start(kVmJobRecords);
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
  JobOutcome& outcome = JobState::outcome;
  outcome.opened = true;
  outcome.NameFields(target);
  target.ObserveWrites(&outcome);

  for (unsigned int i = 0; i < kVmJobRecords; ++i) {
    if (!JobState::running) break;
    unsigned int n = i + 1;
    CompareRecord(source, target, n, sourceCount, targetCount, plan, outcome);
    outcome.handled = n;
    if (i % kVmJobStepRecords == 0 && i != 0) SendJobProgress(0);
  }
  outcome.cancelled = outcome.handled < outcome.walkLength;
  if (outcome.cancelled) outcome.stoppedAfter = outcome.handled;

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
