// ConsoleProgress: a hidden window that receives a job's WM_JOB_PROGRESS
// and shows it on standard error, so that standard output carries only
// results: on a terminal one line with a bar and the
// percentage, updated in place; otherwise a plain line every tenth.
#ifndef VMCONVERT_CONSOLEPROGRESS_H_
#define VMCONVERT_CONSOLEPROGRESS_H_

#include <windows.h>

class ConsoleProgress {
 public:
  explicit ConsoleProgress(bool terminal);
  ~ConsoleProgress();
  ConsoleProgress(const ConsoleProgress&) = delete;
  ConsoleProgress& operator=(const ConsoleProgress&) = delete;

  HWND window() const { return window_; }
  int steps() const { return steps_; }
  bool ended() const { return ended_; }

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  void Show(int percent);

  HWND window_;
  bool terminal_;
  int steps_ = 0;
  bool ended_ = false;
};

#endif  // VMCONVERT_CONSOLEPROGRESS_H_
