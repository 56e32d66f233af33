// RunReport: the outcome of one run, written as JSON for a script that
// checks a scheduled task (--report FILE) and kept beside every journal.
// Every key is written on every run; what a run did not reach (a usage
// error has no paths, a run that was not cancelled stopped after no
// record) is null or empty. Its mark - report_format and the program that
// wrote it - tells a report of ours from any other JSON file.
#ifndef RUN_RUNREPORT_H_
#define RUN_RUNREPORT_H_

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

  static const int kFormat = 2;  // report_format

  std::string program = "vmconvert";  // "vmconvert" or "converter"
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
  // True when text is a report of ours, which a later run may replace:
  // one JSON object of report keys alone that carries our mark
  // (report_format 2 or later and one of our programs), or, as earlier
  // versions wrote it without a mark, every key they wrote.
  static bool IsOurs(const std::string& text);

  // What the report says of the job: its counts, from its outcome.
  void TakeOutcome(const JobOutcome& outcome);
  std::string Json() const;
  // Where Write stages the report for path: its name with ".part". A run
  // killed while it writes leaves it there, never in the report's place;
  // the next report written there writes over it.
  static std::string PartName(const std::string& path);
  // Writes Json() to path through fs, whole or not at all: to PartName
  // beside it, flushed to the disk, then put in its place in one step,
  // each call checked. False, with *why the system's reason and the file
  // at path as it was, when any of it failed.
  bool Write(const std::string& path, xb::FileSystem* fs, std::string* why) const;
};

#endif  // RUN_RUNREPORT_H_
