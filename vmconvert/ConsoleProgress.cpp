#include "vmconvert/ConsoleProgress.h"

#include <cstdio>

#include "convert/JobState.h"

namespace {
const char kClass[] = "VmconvertProgress";
const int kBarWidth = 40;
}  // namespace

ConsoleProgress::ConsoleProgress(bool terminal, const char* verb) : terminal_(terminal), verb_(verb) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = Proc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = kClass;
  RegisterClassA(&wc);
  window_ = CreateWindowA(kClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
  SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

bool ConsoleProgress::IsConsole(HANDLE handle) {
  DWORD mode = 0;
  return GetConsoleMode(handle, &mode) != 0;
}

ConsoleProgress::~ConsoleProgress() { DestroyWindow(window_); }

LRESULT CALLBACK ConsoleProgress::Proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message != WM_JOB_PROGRESS) return DefWindowProcA(hwnd, message, wparam, lparam);
  ConsoleProgress* self = reinterpret_cast<ConsoleProgress*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (wparam == 0) {
    ++self->steps_;
    // The personal job may send more than 99 steps; the line stays below
    // 100 until the end.
    self->Show(self->steps_ < 99 ? self->steps_ : 99);
  } else {
    self->ended_ = true;
    // The job sets its outcome before it sends its end.
    if (JobState::outcome.cancelled)
      self->ShowCancelled();
    else
      self->Show(100);
  }
  return 1;
}

void ConsoleProgress::Show(int percent) {
  if (!terminal_) {
    if (percent % 10 == 0) std::fprintf(stderr, "%d %% %s\n", percent, verb_);
    std::fflush(stderr);
    return;
  }
  char bar[kBarWidth + 1];
  int filled = percent * kBarWidth / 100;
  for (int i = 0; i < kBarWidth; ++i) bar[i] = i < filled ? '#' : '.';
  bar[kBarWidth] = '\0';
  std::fprintf(stderr, "\r[%s] %3d %% %s%s", bar, percent, verb_, percent == 100 ? "\n" : "");
  std::fflush(stderr);
}

void ConsoleProgress::ShowCancelled() {
  int percent = steps_ < 99 ? steps_ : 99;
  std::fprintf(stderr, terminal_ ? ", cancelled at %d %%\n" : "cancelled at %d %%\n", percent);
  std::fflush(stderr);
}
