#include "convert/PersonalJob.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "convert/CPersonalDatabase.h"
#include "convert/JobReport.h"
#include "convert/JobState.h"
#include "messages/StringIds.h"

namespace {

// The texts of one pair, each buffer wide enough for the widest copied
// field of either table, so that texts are compared and written whole.
struct PairTexts {
  explicit PairTexts(size_t width) : idxp(width + 1), source(width + 1), target(width + 1), width(width) {}
  std::vector<char> idxp, source, target;
  size_t width;  // characters each buffer holds, its terminator aside
};

size_t WidestField(const CPersonalDatabase& a, const CPersonalDatabase& b) {
  size_t widest = 0;
  for (int k = 0; k < CPersonalDatabase::kFields; ++k) widest = std::max<size_t>({widest, a.Width(k), b.Width(k)});
  return widest;
}

// Copies the fields of the old table's current record that differ into the
// new table's current record. texts.idxp holds the old record's "IDXP".
void CopyPair(CPersonalDatabase& oldTable, CPersonalDatabase& newTable, PairTexts& texts) {
  char* source = texts.source.data();
  char* target = texts.target.data();
  for (int k = 0; k < CPersonalDatabase::kFields; ++k) {
    if (k == CPersonalDatabase::kIdxp)
      std::strcpy(source, texts.idxp.data());
    else if (!oldTable.ReadField(k, source, texts.width))
      continue;  // the old table has no such field: nothing to copy
    target[0] = '\0';
    newTable.ReadField(k, target, texts.width);
    if (std::strcmp(source, target) != 0) newTable.ReplaceField(k, source);
  }
}

const int32_t kSteps = 99;  // as many as a full run sends

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
  ShowFormattedError(IDS_RECORDS_MISSING, JobState::newPersonalPath, unsigned(newCount), unsigned(unpaired));
}

// Said once per table at the end: pairs skipped because a record of path
// could not be read.
void ReportUnread(const char* path, int64_t unread) {
  if (unread == 0) return;
  ShowFormattedError(IDS_RECORDS_UNREAD, unsigned(unread), path);
}

// One pair: the old table's record in hand and the new table's record at
// the same position. False when the old record's empty "IDXP" ends the
// walk. A record that could not be read reads as blanks: its empty "IDXP"
// is no end of the walk, and its pair is left as it is.
bool HandlePair(CPersonalDatabase& oldTable, CPersonalDatabase& newTable, int64_t i, int64_t newCount,
                PairTexts& texts, JobOutcome& outcome) {
  if (!oldTable.OnReadRecord()) {
    ++outcome.unreadSource;
    return true;
  }
  texts.idxp[0] = '\0';
  oldTable.ReadField(CPersonalDatabase::kIdxp, texts.idxp.data(), texts.width);
  if (texts.idxp[0] == '\0') return false;
  if (i >= newCount) {
    ++outcome.beyondTargetEnd;
  } else if (!newTable.OnReadRecord()) {
    ++outcome.unreadTarget;
  } else {
    // As the voicemail jobs: the pair's changes written together, each
    // field by itself, once all are known.
    int flush = newTable.HoldChanges();
    CopyPair(oldTable, newTable, texts);
    newTable.WriteChanges("CDatabase::Replace", flush);
    ++outcome.compared;
  }
  return true;
}

void RunPersonalJob(CPersonalDatabase& oldTable, CPersonalDatabase& newTable) {
  JobOutcome& outcome = JobState::outcome;
  outcome.Start(0);
  if (!oldTable.Open(JobState::oldPersonalPath)) {
    ShowOpenError(IDS_OLD_PERSONAL_OPEN_FAILED, JobState::oldPersonalPath, CPersonalDatabase::OpenFailure());
    return EndWorker();
  }
  if (!newTable.Open(JobState::newPersonalPath)) {
    ShowOpenError(IDS_NEW_PERSONAL_OPEN_FAILED, JobState::newPersonalPath, CPersonalDatabase::OpenFailure());
    oldTable.Close();
    return EndWorker();
  }
  const int32_t count = int32_t(oldTable.RecCount());
  // The new table's records stop here; the engine would leave a Skip past
  // its end on its last record, and later pairs would overwrite it.
  const int64_t newCount = newTable.RecCount();
  outcome.opened = true;
  outcome.walkLength = uint32_t(count);
  outcome.NameFields(newTable);
  newTable.ObserveWrites(&outcome);
  PairTexts texts(WidestField(oldTable, newTable));
  newTable.Top();
  oldTable.Top();

  int32_t sent = 0;
  for (int32_t i = 0; i < count; ++i) {
    if (!JobState::running) break;
    if (!HandlePair(oldTable, newTable, i, newCount, texts, outcome)) {
      outcome.walkLength = uint32_t(i);  // the walk ends here
      break;
    }
    outcome.handled = uint32_t(i + 1);
    newTable.Skip(1);
    oldTable.Skip(1);
    for (int32_t due = StepsDue(i, count, sent); due > 0; --due, ++sent) SendJobProgress(0);
  }
  outcome.cancelled = outcome.handled < outcome.walkLength;
  if (outcome.cancelled) outcome.stoppedAfter = outcome.handled;

  newTable.Close();
  oldTable.Close();
  if (JobState::running) ReportUnpaired(newCount, outcome.beyondTargetEnd);
  ReportUnread(JobState::oldPersonalPath, outcome.unreadSource);
  ReportUnread(JobState::newPersonalPath, outcome.unreadTarget);
  SendJobProgress(1);
  JobState::running = 0;
  EndWorker();
}

}  // namespace

// Nothing may leave a job's thread: an allocation that fails ends the job
// the way a table that cannot be opened does, with its tables let go.
void __cdecl PersonalJob(void*) {
  CPersonalDatabase oldTable(JobState::files), newTable(JobState::files);
  try {
    RunPersonalJob(oldTable, newTable);
  } catch (...) {
    newTable.Close();
    oldTable.Close();
    EndWorker();
  }
}
