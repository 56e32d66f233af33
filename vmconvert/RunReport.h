// RunReport: the outcome of one vmconvert run, written as JSON for a
// script that checks a scheduled task (--report FILE). Every key is
// written on every run; what a run did not reach (a usage error has no
// paths, a run that was not cancelled stopped after no record) is null or
// empty.
#ifndef VMCONVERT_RUNREPORT_H_
#define VMCONVERT_RUNREPORT_H_

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

class JobOutcome;
namespace xb {
class FileSystem;
}  // namespace xb

struct RunReport {
  using Pairs = std::vector<std::pair<std::string, std::string>>;

  std::string command;
  std::string source, target;  // full paths, as the system resolved them
  int64_t sourceBytesBefore = -1, sourceBytesAfter = -1;  // -1: not known (null)
  int64_t targetBytesBefore = -1, targetBytesAfter = -1;
  bool dryRun = false;
  unsigned compared = 0;
  unsigned beyondSourceEnd = 0, beyondTargetEnd = 0;
  unsigned unreadableSource = 0, unreadableTarget = 0;
  std::map<std::string, int> fieldsWritten;  // per field; would be, for a dry run
  std::map<std::string, int> fieldsFailed;   // per field: given up by the table
  std::vector<std::string> warnings;
  bool cancelled = false;
  unsigned stoppedAfter = 0;  // a cancelled run's last record; 0: none (null)
  // One of SwapValues().
  std::string swap = "not asked";
  Pairs copies;
  Pairs backupsKept;  // older backups moved aside, as (backup, kept name)
  std::string swapError;
  std::string journal;  // the run's journal; "" for none
  std::string startedAt;  // UTC, ISO 8601
  std::string version, computer, user;
  double seconds = 0;
  int status = -1;     // -1 while the run goes on (null)
  std::string reason;  // why the status is not 0; "" for 0

  // Every key Json() writes, in its order.
  static const std::vector<std::string>& Keys();
  // Each value of swap with what it means.
  static const Pairs& SwapValues();
  // True when text is one JSON object whose keys are all report keys: a
  // report of ours, which a later run may replace.
  static bool IsOurs(const std::string& text);

  // What the report says of the job: its counts, from its outcome.
  void TakeOutcome(const JobOutcome& outcome);
  std::string Json() const;
  // Writes Json() to path through fs: created anew, written and flushed to
  // the disk, each call checked. False when any of it failed.
  bool Write(const std::string& path, xb::FileSystem* fs) const;
};

#endif  // VMCONVERT_RUNREPORT_H_
