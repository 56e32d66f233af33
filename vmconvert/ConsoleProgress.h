// ConsoleProgress: a hidden window that receives a job's WM_JOB_PROGRESS
// and shows it on standard error, so that standard output carries only
// results: on a console one line with a bar and the percentage, updated in
// place; otherwise (a file, a pipe, the NUL device) a plain line every
// tenth. The lines say what the job does ("converted", or "compared" for a
// run that writes nothing); a job that was cancelled ends at the
// percentage it reached, never at 100.
#ifndef VMCONVERT_CONSOLEPROGRESS_H_
#define VMCONVERT_CONSOLEPROGRESS_H_

#include <windows.h>

class ConsoleProgress {
 public:
  // verb: "converted" or "compared".
  ConsoleProgress(bool terminal, const char* verb);
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
  // The end of a job that a cancel stopped short.
  void ShowCancelled();

  HWND window_;
  bool terminal_;
  const char* verb_;
  int steps_ = 0;
  bool ended_ = false;
};

#endif  // VMCONVERT_CONSOLEPROGRESS_H_
