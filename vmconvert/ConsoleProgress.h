// ConsoleProgress: a hidden window that receives a job's WM_JOB_PROGRESS
// and shows it on standard error, so that standard output carries only
// results: on a console one line with a bar and the percentage, updated in
// place; otherwise (a file, a pipe, the NUL device) a plain line every
// tenth.
#ifndef VMCONVERT_CONSOLEPROGRESS_H_
#define VMCONVERT_CONSOLEPROGRESS_H_

#include <windows.h>

class ConsoleProgress {
 public:
  explicit ConsoleProgress(bool terminal);
  ~ConsoleProgress();
  ConsoleProgress(const ConsoleProgress&) = delete;
  ConsoleProgress& operator=(const ConsoleProgress&) = delete;

  // True only for a console someone may be watching: NUL and other
  // character devices are not one, though the C runtime's isatty says so.
  static bool IsConsole(HANDLE handle);

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
