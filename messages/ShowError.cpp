#include "messages/ShowError.h"

#include <windows.h>

#include <atomic>

namespace {
std::atomic<ErrorSink> sink{nullptr};

void Show(const char* text, const char* caption, const ErrorPlace* place) {
  if (ErrorSink s = sink) return s(text, caption, place);
  MessageBoxA(GetActiveWindow(), text, caption, MB_OK | MB_ICONEXCLAMATION);
}
}  // namespace

void ShowError(const char* text, const char* caption) { Show(text, caption, nullptr); }

void ShowErrorAt(const char* text, const char* caption, const ErrorPlace& place) { Show(text, caption, &place); }

void SetErrorSink(ErrorSink s) { sink = s; }
