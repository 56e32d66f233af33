#include "vmconvert/Warnings.h"

#include <windows.h>

#include <cstdio>
#include <mutex>

#include "messages/ShowError.h"

namespace {

std::mutex mutex;
std::vector<std::string> kept;
std::string lastError;

void Remember(const char* text, const char* caption) {
  std::lock_guard<std::mutex> lock(mutex);
  kept.push_back(std::string(caption) + ": " + text);
}

void Print(const char* text, const char* caption) {
  Remember(text, caption);
  std::fprintf(stderr, "%s: %s\n", caption, text);
}

void Box(const char* text, const char* caption) {
  Remember(text, caption);
  MessageBoxA(GetActiveWindow(), text, caption, MB_OK | MB_ICONEXCLAMATION);
}

}  // namespace

namespace Warnings {

void Catch(bool boxes) { SetErrorSink(boxes ? Box : Print); }

std::vector<std::string> All() {
  std::lock_guard<std::mutex> lock(mutex);
  return kept;
}

void PrintError(const std::string& text) {
  {
    std::lock_guard<std::mutex> lock(mutex);
    lastError = text;
  }
  std::fprintf(stderr, "vmconvert: %s\n", text.c_str());
}

std::string LastError() {
  std::lock_guard<std::mutex> lock(mutex);
  if (!lastError.empty() || kept.empty()) return lastError;
  return kept.front();
}

}  // namespace Warnings
