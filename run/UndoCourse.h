// UndoCourse: `vmconvert undo` and the window's undo of a run, one course
// for both: the journal loaded and checked whole (Undo), the tables it
// names locked (the target, and the swap's files when it holds a swap),
// the plan made and its room checked, then undo's own journal, the steps
// and the fields, and the report kept beside undo's journal. Nothing is
// written before Apply; a dry run stops after Prepare. What the course has
// to say is left in message() for the front end to show its own way; what
// undo did or would do is in undo().outcome().
#ifndef RUN_UNDOCOURSE_H_
#define RUN_UNDOCOURSE_H_

#include <string>

#include "commands/TargetLock.h"
#include "journal/Undo.h"
#include "run/RunReport.h"

class RunProbe;
namespace xb {
class FileSystem;
}  // namespace xb

struct UndoSetup {
  std::string journal;              // the journal to take back, full
  const char* program = "";         // "converter" or "vmconvert"
  xb::FileSystem* files = nullptr;  // every file goes through it
  RunProbe* probe = nullptr;        // a test build's; null in the shipped programs
  bool dryRun = false;              // plan only: no lock, nothing written
  bool keepJournal = true;          // undo's own journal (false: --no-journal)
  std::string journalPath;          // full; "" for the default place beside the table
};

class UndoCourse {
 public:
  // report (not owned) has the run's facts (StartReport) and outlives the
  // course.
  UndoCourse(const UndoSetup& setup, RunReport& report);
  UndoCourse(const UndoCourse&) = delete;
  UndoCourse& operator=(const UndoCourse&) = delete;

  // Loads, locks and plans: kDone, or kRefused / kBusy with message().
  int Prepare();
  // Makes undo's own journal and does what the plan says: the status
  // (kDone, kWarned for anything left, kSwapFailed), or kRefused when its
  // journal cannot be made (nothing done). A dry run does nothing and
  // gives the status the plan would end with.
  int Apply();
  // Ends the run with status: undo's journal's end line (a failure makes
  // kDone kWarned), the report, and the report kept beside undo's journal.
  // The status the undo ends with.
  int End(int status);

  const Undo& undo() const { return undo_; }
  RunReport& report() { return report_; }
  const std::string& message() const { return message_; }
  const std::string& journalPath() const { return report_.journal; }

 private:
  void Report();
  void Say(const std::string& text);

  UndoSetup setup_;
  RunReport& report_;
  Undo undo_;
  TargetLock lock_;
  std::string message_;
  std::string said_;  // the last thing any call said
};

#endif  // RUN_UNDOCOURSE_H_
