#include "convert/VmCopyJob.h"

#include <cstdio>
#include <cstring>

#include "convert/CVmDatabase.h"
#include "convert/JobReport.h"
#include "convert/JobState.h"
#include "convert/VmFieldNames.h"

namespace {

const unsigned int kLastRecord = 12000;
const unsigned int kProgressInterval = 120;
const int kFirstCopied = 2;   // "status"
const int kLastNumeric = 30;  // "p_ogm4"
const int kLastCopied = 33;   // "text_opt1"
const unsigned int kOpenFailed = 105;

// Opens path into slot; on failure shows the box, releases the object and
// clears slot.
bool OpenInto(CVmDatabase*& slot, char* path) {
  slot = new CVmDatabase(path);
  if (slot->Open(path)) return true;
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

// Writes into record n of target each copied field whose source value
// differs from what the target held before.
void CopyDiffering(CVmDatabase& target, unsigned int n, const VmRecord& source, const VmRecord& before) {
  for (int f = kFirstCopied; f <= kLastNumeric; ++f) {
    if (*source.Number(f) == *before.Number(f)) continue;
    char text[16];
    std::snprintf(text, sizeof text, "%d", int(*source.Number(f)));
    target.ReplaceField(n, n - 1, VmFieldNames[f - 1], text);
  }
  for (int f = kLastNumeric + 1; f <= kLastCopied; ++f) {
    if (std::strcmp(source.Text(f), before.Text(f)) == 0) continue;
    target.ReplaceField(n, n - 1, VmFieldNames[f - 1], source.Text(f));
  }
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

  VmRecord sourceImage{}, targetImage{};
  for (unsigned int i = 0; i < kLastRecord; ++i) {
    if (!JobState::running) break;
    unsigned int n = i + 1;
    bool inBoth = n <= sourceCount && n <= targetCount;
    if (inBoth && source.ReadRecord(n, &sourceImage) && target.ReadRecord(n, &targetImage))
      CopyDiffering(target, n, sourceImage, targetImage);
    if (i % kProgressInterval == 0 && i != 0) SendJobProgress(0);
  }

  CloseAndRelease(JobState::sourceTable);
  CloseAndRelease(JobState::targetTable);
  SendJobProgress(1);
  JobState::running = 0;
  EndWorker();
}

}  // namespace

void __cdecl SmallToBigJob(void*) { CopyVmTable(JobState::livePath, JobState::bigPath); }

void __cdecl BigToSmallJob(void*) { CopyVmTable(JobState::livePath, JobState::smallPath); }
