// WindowRun: one run of the window's, journaled as vmconvert's are: the
// course (RunCourse) with its report, kept from the command that starts it
// until its worker has ended, since a cancelled job finishes its record
// unseen after its dialog has closed. Its files go through the engine
// context's file layer, the program's own. The window shows what the course has
// to say in its own boxes; what it shows of the job itself (the progress
// dialog, the swap question and its boxes) stays as it was.
#ifndef APP_WINDOWRUN_H_
#define APP_WINDOWRUN_H_

#include <windows.h>

#include <string>

#include "run/RunCourse.h"
#include "run/RunReport.h"

struct CommandPlan;

class WindowRun {
 public:
  explicit WindowRun(const CommandPlan& plan);
  WindowRun(const WindowRun&) = delete;
  WindowRun& operator=(const WindowRun&) = delete;

  // What refuses the run before anything is written (another job holding
  // a table, a journal that cannot be made, ...): false after a box that
  // says why.
  bool Prepare();
  // Starts the job, its progress sent to window; false when its thread
  // cannot be started (the caller says so, as the window always has).
  bool StartJob(HWND window);
  // A confirmed cancel: the run ends cancelled, whatever its worker does.
  void Cancelled() { cancelled_ = true; }
  // Once the worker has ended (it is waited for, a few steps at most after
  // its end message): the job's outcome into the report, once.
  void JobDone();
  // The swap, journaled; false with error() when a copy failed.
  bool Swap();
  const std::string& error() const { return course_.message(); }
  // Ends the run once its worker has ended: the journal's end line and the
  // report beside it; a box says what could not be written.
  void Finish();

 private:
  void Say(const std::string& text) const;

  RunReport report_;
  RunCourse course_;
  int status_ = 0;
  bool jobDone_ = false;
  bool cancelled_ = false;
};

#endif  // APP_WINDOWRUN_H_
