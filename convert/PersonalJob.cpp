#include "convert/PersonalJob.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "convert/CPersonalDatabase.h"
#include "convert/JobReport.h"
#include "convert/JobState.h"

namespace {

const unsigned int kOldOpenFailed = 126;
const unsigned int kNewOpenFailed = 127;
const size_t kBuffer = 128;  // each field text, terminator included

// Copies the fields of the old table's current record that differ into the
// new table's current record. idxp is the old record's "IDXP" text.
void CopyPair(CPersonalDatabase& oldTable, CPersonalDatabase& newTable, const char* idxp) {
  char source[kBuffer], target[kBuffer];
  for (int k = 0; k < CPersonalDatabase::kFields; ++k) {
    if (k == CPersonalDatabase::kIdxp)
      std::strcpy(source, idxp);
    else if (!oldTable.ReadField(k, source, kBuffer - 1))
      continue;  // the old table has no such field: nothing to copy
    target[0] = '\0';
    newTable.ReadField(k, target, kBuffer - 1);
    if (std::strcmp(source, target) != 0) newTable.ReplaceField(k, source);
  }
}

const int32_t kSteps = 99;  // as many as a full run sends
const unsigned int kRecordsMissing = 132;
const unsigned int kRecordsUnread = 149;

// The step messages due after pair i of count: from 100 records on, one
// when i is a non-zero multiple of count / 100; below that the 99 steps
// are spread over the pairs. Never more than 99 in all (sent counts them).
int32_t StepsDue(int32_t i, int32_t count, int32_t sent) {
  int32_t due;
  if (count < 100)
    due = int32_t(int64_t(kSteps) * (i + 1) / count - int64_t(kSteps) * i / count);
  else
    due = i > 0 && i % (count / 100) == 0 ? 1 : 0;
  return std::min(due, kSteps - sent);
}

void ReportUnpaired(int64_t newCount, int64_t unpaired) {
  if (unpaired == 0) return;
  ShowFormattedError(kRecordsMissing, JobState::newPersonalPath, unsigned(newCount), unsigned(unpaired));
}

// Said once per table at the end: pairs skipped because a record of path
// could not be read.
void ReportUnread(const char* path, int64_t unread) {
  if (unread == 0) return;
  ShowFormattedError(kRecordsUnread, unsigned(unread), path);
}

void RunPersonalJob(CPersonalDatabase& oldTable, CPersonalDatabase& newTable) {
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
  // The new table's records stop here; the engine would leave a Skip past
  // its end on its last record, and later pairs would overwrite it.
  const int64_t newCount = newTable.RecCount();
  newTable.Top();
  oldTable.Top();

  int32_t sent = 0;
  int64_t unpaired = 0, unreadOld = 0, unreadNew = 0;
  for (int32_t i = 0; i < count; ++i) {
    if (!JobState::running) break;
    // A record that could not be read reads as blanks: its empty "IDXP" is
    // no end of the walk, and its pair is left as it is.
    if (!oldTable.OnReadRecord()) {
      ++unreadOld;
    } else {
      char idxp[kBuffer] = "";
      oldTable.ReadField(CPersonalDatabase::kIdxp, idxp, kBuffer - 1);
      if (idxp[0] == '\0') break;
      if (i >= newCount)
        ++unpaired;
      else if (!newTable.OnReadRecord())
        ++unreadNew;
      else
        CopyPair(oldTable, newTable, idxp);
    }
    newTable.Skip(1);
    oldTable.Skip(1);
    for (int32_t due = StepsDue(i, count, sent); due > 0; --due, ++sent) SendJobProgress(0);
  }

  newTable.Close();
  oldTable.Close();
  if (JobState::running) ReportUnpaired(newCount, unpaired);
  ReportUnread(JobState::oldPersonalPath, unreadOld);
  ReportUnread(JobState::newPersonalPath, unreadNew);
  SendJobProgress(1);
  JobState::running = 0;
  EndWorker();
}

}  // namespace

// Nothing may leave a job's thread: an allocation that fails ends the job
// the way a table that cannot be opened does, with its tables let go.
void __cdecl PersonalJob(void*) {
  CPersonalDatabase oldTable, newTable;
  try {
    RunPersonalJob(oldTable, newTable);
  } catch (...) {
    newTable.Close();
    oldTable.Close();
    EndWorker();
  }
}
