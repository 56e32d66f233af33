#include "run/Warnings.h"

#include <windows.h>

#include <cstdio>
#include <mutex>
#include <utility>

#include "messages/Printable.h"
#include "messages/ShowError.h"

namespace {

std::mutex mutex;
std::vector<std::string> kept;
std::string lastError;
// Warnings alike but for their record, in the order first seen, with how
// many more came after the one shown.
std::vector<std::pair<std::string, unsigned>> repeats;

// "caption: text", and where for a table-layer warning:
// "Error: CDatabase::Replace (table C:\db1\x.dbf, record 17, field T05): reason".
std::string Describe(const char* text, const char* caption, const ErrorPlace* place, bool withRecord) {
  std::string line = std::string(caption) + ": " + text;
  if (!place) return line;
  std::string where;
  auto add = [&where](const std::string& part) { where += (where.empty() ? "" : ", ") + part; };
  if (place->table) add(std::string("table ") + place->table);
  if (withRecord && place->record) add("record " + std::to_string(place->record));
  if (!withRecord && place->record) add("record ...");
  if (place->field) add(std::string("field ") + place->field);
  if (!where.empty()) line += " (" + where + ")";
  if (place->reason && *place->reason) line += ": " + std::string(place->reason);
  return line;
}

// Keeps the warning; true when one like it was not seen before.
bool Remember(const char* text, const char* caption, const ErrorPlace* place) {
  std::string like = Describe(text, caption, place, false);
  std::lock_guard<std::mutex> lock(mutex);
  kept.push_back(Describe(text, caption, place, true));
  for (auto& r : repeats)
    if (r.first == like) return ++r.second, false;
  repeats.push_back({like, 0});
  return true;
}

void Print(const char* text, const char* caption, const ErrorPlace* place) {
  if (Remember(text, caption, place))
    std::fprintf(stderr, "%s\n", PrintableLines(Describe(text, caption, place, true)).c_str());
}

void Box(const char* text, const char* caption, const ErrorPlace* place) {
  Remember(text, caption, place);
  MessageBoxA(GetActiveWindow(), text, caption, MB_OK | MB_ICONEXCLAMATION);
}

}  // namespace

namespace Warnings {

void Catch(bool boxes) {
  {
    std::lock_guard<std::mutex> lock(mutex);
    kept.clear();
    repeats.clear();
    lastError.clear();
  }
  SetErrorSink(boxes ? Box : Print);
}

std::vector<std::string> All() {
  std::lock_guard<std::mutex> lock(mutex);
  return kept;
}

void PrintRepeats() {
  std::lock_guard<std::mutex> lock(mutex);
  for (const auto& r : repeats)
    if (r.second) std::fprintf(stderr, "... and %u more like it: %s\n", r.second, PrintableLines(r.first).c_str());
}

void PrintError(const std::string& text) {
  {
    std::lock_guard<std::mutex> lock(mutex);
    lastError = text;
  }
  std::fprintf(stderr, "vmconvert: %s\n", PrintableLines(text).c_str());
}

std::string LastError() {
  std::lock_guard<std::mutex> lock(mutex);
  if (!lastError.empty() || kept.empty()) return lastError;
  return kept.front();
}

}  // namespace Warnings
