#include "messages/ShowError.h"

#include <windows.h>

#include <atomic>

namespace {
std::atomic<ErrorSink> sink{nullptr};
}

void ShowError(const char* text, const char* caption) {
  if (ErrorSink s = sink) return s(text, caption);
  MessageBoxA(GetActiveWindow(), text, caption, MB_OK | MB_ICONEXCLAMATION);
}

void SetErrorSink(ErrorSink s) { sink = s; }
