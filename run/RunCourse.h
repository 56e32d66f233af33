// RunCourse: one conversion run as the window and vmconvert both make it,
// in its order. The front end has put the command's paths into JobState
// and checked them its own way; the course then
//   Prepare   refuses what must be refused before anything is written: a
//             swap asked for that would be refused (its names, its room),
//             another job holding a table (TargetLock: the target, and the
//             swap's files where a swap may follow), a journal that cannot
//             be made;
//   StartJob  starts the job on its worker, its tables opened through the
//             run's file system, each change journaled ahead of its write;
//   JobEnded  once the worker has ended, takes its outcome, the warnings
//             and the journal's failure into the report;
//   Swap      puts the converted table into service, each copy journaled
//             before it is made;
//   End       writes the journal's end line and the report beside the
//             journal, and lets the tables go.
// Every file goes through the file system in the setup. What the course
// has to say (a refusal, the journal's failure, the swap's error) is left
// in message() for the front end to show its own way.
#ifndef RUN_RUNCOURSE_H_
#define RUN_RUNCOURSE_H_

#include <windows.h>

#include <chrono>
#include <string>

#include "commands/TargetLock.h"
#include "journal/Journal.h"
#include "run/RunReport.h"

struct CommandPlan;
class RunProbe;
namespace xb {
class FileSystem;
class WriteObserver;
}  // namespace xb

struct RunSetup {
  const CommandPlan* plan = nullptr;
  const char* program = "";         // "converter" or "vmconvert": named in the run line and the report
  xb::FileSystem* files = nullptr;  // every file of the run; a dry run's swallows every change
  RunProbe* probe = nullptr;        // a test build's; null in the shipped programs
  bool dryRun = false;              // compare only: no lock, no journal, nothing written
  bool swapAsked = false;           // a swap follows the job (vmconvert --swap): checked before it
  bool swapMayFollow = false;       // the window offers one after the job: its files are locked too
  bool journal = true;              // false: the operator asked for none (--no-journal)
  std::string journalPath;          // full; "" for the default place beside the target
  xb::WriteObserver* listing = nullptr;  // a dry run's: hears of each change (not owned)
};

class RunCourse {
 public:
  // report (not owned) has the run's facts (StartReport) and outlives the
  // course; the course fills in the rest.
  RunCourse(const RunSetup& setup, RunReport& report);
  RunCourse(const RunCourse&) = delete;
  RunCourse& operator=(const RunCourse&) = delete;

  // kDone when the job may start; else the status that refuses the run,
  // with message() saying why (see Refuse). Nothing is written either way
  // but the journal's run line.
  int Prepare();
  // Refuses the run with status before anything is written, why saying
  // why (in message() after): a refusal the front end found itself, such
  // as a direction that does not fit the live table. Either way the
  // refusal is recorded as a journal of its own, unless the run keeps
  // none.
  int Refuse(int status, const std::string& why);
  // Starts the job, its progress sent to window; false, with message(),
  // when its thread cannot be started.
  bool StartJob(HWND window);
  // The job's status, once its worker has ended: kNotOpened when it ended
  // without its end message (ended false: a table could not be opened,
  // which the job has said), kCancelled, kWarned after warnings or a
  // journal that failed part-way (message() says so), else kDone.
  int JobEnded(bool ended);
  // Puts the converted table into service: kDone, or kSwapFailed with
  // message() saying what failed and what is where.
  int Swap();
  // Ends the run with status: the journal's end line and durability (a
  // failure makes a status of kDone kWarned, said in message()), then the
  // report kept beside the journal, written whole or not at all; and lets
  // the tables go. The status the run ends with.
  int End(int status);

  RunReport& report() { return report_; }
  // What the last call had to say; "" for nothing.
  const std::string& message() const { return message_; }
  // The run's journal; "" for none.
  const std::string& journalPath() const { return report_.journal; }
  bool journaling() const { return !report_.journal.empty(); }

 private:
  void Describe();
  bool StartJournal();
  std::string RoomLeft() const;
  void Say(const std::string& text);

  RunSetup setup_;
  RunReport& report_;
  TargetLock lock_;
  Journal journal_;
  std::string message_;
  std::string said_;  // the last thing any call said
  std::string unwritable_;  // why the target cannot be written; a dry run goes on, and ends with kNotOpened
  std::chrono::steady_clock::time_point started_;  // at StartJob
};

#endif  // RUN_RUNCOURSE_H_
