#include "convert/PersonalJob.h"

#include <cstdint>
#include <cstring>

#include "convert/JobReport.h"
#include "convert/JobState.h"
#include "convert/ReadTextCut.h"
#include "db/CDatabase.h"

namespace {

const unsigned int kOldOpenFailed = 126;
const unsigned int kNewOpenFailed = 127;
const size_t kBuffer = 128;  // each field text, terminator included

// The copied fields, in the order each pair handles them; "IDXP" first.
char kFields[15][11] = {"IDXP", "NAME", "DEPARTMENT", "TT1", "TY1", "TT2", "TY2", "TT3",
                        "TY3",  "TT4",  "TY4",        "TT5", "TY5", "TT6", "TY6"};

// Copies the fields of the old table's current record that differ into the
// new table's current record. idxp is the old record's "IDXP" text.
void CopyPair(CDatabase& oldTable, CDatabase& newTable, const char* idxp) {
  char source[kBuffer], target[kBuffer];
  for (char* field : kFields) {
    if (field == kFields[0])
      std::strcpy(source, idxp);
    else if (!ReadTextCut(oldTable, field, source, kBuffer - 1))
      continue;  // the old table has no such field: nothing to copy
    target[0] = '\0';
    ReadTextCut(newTable, field, target, kBuffer - 1);
    if (std::strcmp(source, target) != 0) newTable.Replace(field, source);
  }
}

// A step message follows pair i when i is a non-zero multiple of the step;
// below 100 records the step is 0 and every pair but the first counts.
bool StepDue(int32_t i, int32_t step) { return i > 0 && (step == 0 || i % step == 0); }

}  // namespace

void __cdecl PersonalJob(void*) {
  CDatabase oldTable, newTable;
  if (!oldTable.Open(JobState::oldPersonalPath)) {
    ShowPathError(kOldOpenFailed, JobState::oldPersonalPath);
    return EndWorker();
  }
  if (!newTable.Open(JobState::newPersonalPath)) {
    ShowPathError(kNewOpenFailed, JobState::newPersonalPath);
    oldTable.Close();
    return EndWorker();
  }
  const int32_t count = int32_t(oldTable.RecCount());
  const int32_t step = count / 100;
  // The new table's records stop here; the engine would leave a Skip past
  // its end on its last record, and later pairs would overwrite it.
  const int64_t newCount = newTable.RecCount();
  newTable.Top();
  oldTable.Top();

  for (int32_t i = 0; i < count; ++i) {
    if (!JobState::running) break;
    char idxp[kBuffer] = "";
    ReadTextCut(oldTable, kFields[0], idxp, kBuffer - 1);
    if (idxp[0] == '\0') break;
    if (i < newCount) CopyPair(oldTable, newTable, idxp);
    newTable.Skip(1);
    oldTable.Skip(1);
    if (StepDue(i, step)) SendJobProgress(0);
  }

  newTable.Close();
  oldTable.Close();
  SendJobProgress(1);
  JobState::running = 0;
  EndWorker();
}
