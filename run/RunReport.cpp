#include "run/RunReport.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "convert/JobOutcome.h"
#include "engine/file_system.h"
#include "journal/JournalText.h"

#include <nlohmann/json.hpp>

namespace {

// How often, and how far apart, the move of a report into its place is
// tried while the file there is held open: about two seconds in all.
const int kMoveTries = 40;
const unsigned kMovePauseMs = 50;


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

// The keys a report of an earlier version, which carried no mark, held
// every one of.
const std::vector<std::string>& UnmarkedKeys() {
  static const std::vector<std::string> keys(RunReport::Keys().begin() + 2, RunReport::Keys().end());
  return keys;
}

bool IsReportKey(const std::string& key) {
  return std::find(RunReport::Keys().begin(), RunReport::Keys().end(), key) != RunReport::Keys().end();
}

}  // namespace

const std::vector<std::string>& RunReport::Keys() {
  static const std::vector<std::string> keys = {
      "report_format", "program", "command", "source", "target", "source_bytes_before", "source_bytes_after", "target_bytes_before",
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
  nlohmann::json j = nlohmann::json::parse(text, nullptr, false);
  if (!j.is_object()) return false;
  for (const auto& item : j.items())
    if (!IsReportKey(item.key())) return false;
  auto format = j.find("report_format");
  auto program = j.find("program");
  if (format != j.end())
    return format->is_number_unsigned() && format->get<uint64_t>() >= uint64_t(kFormat) && program != j.end() &&
           (*program == "vmconvert" || *program == "converter");
  for (const std::string& key : UnmarkedKeys())
    if (!j.contains(key)) return false;
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
  add("report_format", std::to_string(kFormat));
  add("program", Quoted(program));
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

std::string RunReport::PartName(const std::string& path) { return path + ".part"; }

bool RunReport::Write(const std::string& path, xb::FileSystem* fs, std::string* why) const {
  std::string j = Json();
  // The part file is the report's own, as a swap's staging copy is the
  // swap's: one a killed run left is removed and made anew.
  std::string part = PartName(path);
  std::unique_ptr<xb::File> file = fs->CreateFresh(part.c_str());
  if (!file) return *why = xb::LastFileError(), false;
  bool written = file->WriteAt(0, j.data(), j.size()) && file->Sync();
  if (!written) *why = xb::LastFileError();
  file.reset();
  // A script reading the earlier report holds it open for a moment, and
  // a file that is open cannot be replaced: the move is tried again.
  for (int tries = 0; written && tries < kMoveTries; ++tries, fs->Pause(kMovePauseMs))
    if (fs->Replace(part.c_str(), path.c_str())) return true;
  if (written) *why = xb::LastFileError();
  fs->Remove(part.c_str());
  return false;
}
