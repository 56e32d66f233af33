#include "vmconvert/RunReport.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "convert/JobOutcome.h"
#include "engine/file_system.h"
#include "journal/JournalText.h"

namespace {

// Paths and texts are in the program's code page: each byte is kept as the
// character of its value, as the journal keeps stored bytes.
std::string Quoted(const std::string& text) { return EncodeBytes(text); }

std::string Number(int64_t n, bool known) { return known ? std::to_string(n) : "null"; }

std::string Counts(const std::map<std::string, int>& counts) {
  std::string j = "{";
  const char* separator = "";
  for (const auto& f : counts) {
    j += separator + Quoted(f.first) + ": " + std::to_string(f.second);
    separator = ", ";
  }
  return j + "}";
}

std::string PairList(const RunReport::Pairs& pairs) {
  std::string j = "[";
  const char* separator = "";
  for (const auto& p : pairs) {
    j += separator + std::string("[") + Quoted(p.first) + ", " + Quoted(p.second) + "]";
    separator = ", ";
  }
  return j + "]";
}

// Skips the JSON string at text[*at] (its opening quote), keeping its text
// (escapes as they stand, enough to compare keys).
bool SkipString(const std::string& text, size_t* at, std::string* out) {
  out->clear();
  for (size_t i = *at + 1; i < text.size(); ++i) {
    if (text[i] == '"') return *at = i + 1, true;
    if (text[i] == '\\' && ++i >= text.size()) return false;
    *out += text[i];
  }
  return false;
}

void SkipBlanks(const std::string& text, size_t* at) {
  while (*at < text.size() && (text[*at] == ' ' || text[*at] == '\n' || text[*at] == '\r' || text[*at] == '\t')) ++*at;
}

// Skips one JSON value at text[*at]; keys, when not null, takes an
// object's keys. False for anything that is not JSON.
bool SkipValue(const std::string& text, size_t* at, int depth, std::vector<std::string>* keys) {
  SkipBlanks(text, at);
  if (*at >= text.size() || depth > 16) return false;
  std::string ignored;
  char c = text[*at];
  if (c == '"') return SkipString(text, at, &ignored);
  if (c == '{' || c == '[') {
    char close = c == '{' ? '}' : ']';
    ++*at;
    SkipBlanks(text, at);
    if (*at < text.size() && text[*at] == close) return ++*at, true;
    for (;;) {
      if (c == '{') {
        std::string key;
        SkipBlanks(text, at);
        if (*at >= text.size() || text[*at] != '"' || !SkipString(text, at, &key)) return false;
        if (keys) keys->push_back(key);
        SkipBlanks(text, at);
        if (*at >= text.size() || text[*at] != ':') return false;
        ++*at;
      }
      if (!SkipValue(text, at, depth + 1, nullptr)) return false;
      SkipBlanks(text, at);
      if (*at >= text.size()) return false;
      if (text[*at] == close) return ++*at, true;
      if (text[*at] != ',') return false;
      ++*at;
    }
  }
  size_t end = text.find_first_of(",}] \r\n\t", *at);
  std::string word = text.substr(*at, end == std::string::npos ? std::string::npos : end - *at);
  *at = end == std::string::npos ? text.size() : end;
  if (word == "true" || word == "false" || word == "null") return true;
  char* stop = nullptr;
  std::strtod(word.c_str(), &stop);
  return !word.empty() && *stop == '\0';
}

}  // namespace

const std::vector<std::string>& RunReport::Keys() {
  static const std::vector<std::string> keys = {
      "command", "source", "target", "source_bytes_before", "source_bytes_after", "target_bytes_before",
      "target_bytes_after", "dry_run", "records_compared", "records_beyond_source_end",
      "records_beyond_target_end", "records_unreadable", "fields_written", "fields_written_total",
      "fields_failed", "warnings", "cancelled", "stopped_after_record", "swap", "swap_copies", "backups_kept",
      "swap_error", "journal", "started_at", "version", "computer", "user", "seconds", "reason", "exit_status"};
  return keys;
}

const RunReport::Pairs& RunReport::SwapValues() {
  static const Pairs values = {
      {"not asked", "no swap was asked for (undo: the journal undone has none)"},
      {"not made", "asked for and not made: the run raised warnings or was cancelled before it, a dry run, or undo "
                   "left every copy"},
      {"failed", "a copy failed: swap_error says which, and what is where"},
      {"done", "every copy was made: the converted table is in service, its copy kept (undo: the backups are "
               "back)"}};
  return values;
}

bool RunReport::IsOurs(const std::string& text) {
  size_t at = 0;
  std::vector<std::string> keys;
  SkipBlanks(text, &at);
  if (at >= text.size() || text[at] != '{' || !SkipValue(text, &at, 0, &keys)) return false;
  SkipBlanks(text, &at);
  if (at != text.size()) return false;
  for (const std::string& k : keys)
    if (std::find(Keys().begin(), Keys().end(), k) == Keys().end()) return false;
  return true;
}

void RunReport::TakeOutcome(const JobOutcome& outcome) {
  cancelled = outcome.cancelled;
  stoppedAfter = outcome.cancelled ? outcome.stoppedAfter : 0;
  compared = outcome.compared;
  beyondSourceEnd = outcome.beyondSourceEnd;
  beyondTargetEnd = outcome.beyondTargetEnd;
  unreadableSource = outcome.unreadSource;
  unreadableTarget = outcome.unreadTarget;
  for (const JobOutcome::FieldCount& f : outcome.fields) {
    if (f.written) fieldsWritten[f.name] = int(f.written);
    if (f.failed) fieldsFailed[f.name] = int(f.failed);
  }
}

std::string RunReport::Json() const {
  int total = 0;
  for (const auto& f : fieldsWritten) total += f.second;
  std::string j = "{\n";
  auto add = [&j](const char* key, const std::string& value) { j += "  \"" + std::string(key) + "\": " + value + ",\n"; };
  add("command", Quoted(command));
  add("source", Quoted(source));
  add("target", Quoted(target));
  add("source_bytes_before", Number(sourceBytesBefore, sourceBytesBefore >= 0));
  add("source_bytes_after", Number(sourceBytesAfter, sourceBytesAfter >= 0));
  add("target_bytes_before", Number(targetBytesBefore, targetBytesBefore >= 0));
  add("target_bytes_after", Number(targetBytesAfter, targetBytesAfter >= 0));
  add("dry_run", dryRun ? "true" : "false");
  add("records_compared", std::to_string(compared));
  add("records_beyond_source_end", std::to_string(beyondSourceEnd));
  add("records_beyond_target_end", std::to_string(beyondTargetEnd));
  add("records_unreadable", "{\"source\": " + std::to_string(unreadableSource) +
                                ", \"target\": " + std::to_string(unreadableTarget) + "}");
  add("fields_written", Counts(fieldsWritten));
  add("fields_written_total", std::to_string(total));
  add("fields_failed", Counts(fieldsFailed));
  std::string list = "[";
  const char* separator = "";
  for (const std::string& w : warnings) {
    list += separator + Quoted(w);
    separator = ", ";
  }
  add("warnings", list + "]");
  add("cancelled", cancelled ? "true" : "false");
  add("stopped_after_record", Number(stoppedAfter, stoppedAfter != 0));
  add("swap", Quoted(swap));
  add("swap_copies", PairList(copies));
  add("backups_kept", PairList(backupsKept));
  add("swap_error", Quoted(swapError));
  add("journal", Quoted(journal));
  add("started_at", Quoted(startedAt));
  add("version", Quoted(version));
  add("computer", Quoted(computer));
  add("user", Quoted(user));
  char secondsText[32];
  std::snprintf(secondsText, sizeof secondsText, "%.3f", seconds);
  add("seconds", secondsText);
  add("reason", Quoted(reason));
  return j + "  \"exit_status\": " + Number(status, status >= 0) + "\n}\n";
}

bool RunReport::Write(const std::string& path, xb::FileSystem* fs) const {
  std::string j = Json();
  std::unique_ptr<xb::File> file = fs->Create(path.c_str());
  return file && file->WriteAt(0, j.data(), j.size()) && file->Sync();
}
