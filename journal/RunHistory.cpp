#include "journal/RunHistory.h"

#include <algorithm>
#include <memory>

#include "commands/CommandPlan.h"
#include "commands/ExitStatus.h"
#include "commands/PathNames.h"
#include "engine/file_system.h"
#include "journal/Journal.h"
#include "journal/JournalText.h"

namespace {

// A line of ours is a few kilobytes at most, an end line far less: the
// end is read a little first, more only for a longer last line.
const uint64_t kFirstTail = 4096, kLongestTail = 64 * 1024;

// The last whole line among the last n bytes of file (a last line cut
// short by a kill is left out); 0: not found there, -1: cannot be read.
int LastLineIn(xb::File& file, uint64_t size, uint64_t n, std::string* line) {
  uint64_t from = size > n ? size - n : 0;
  std::string tail(size_t(size - from), '\0');
  size_t got = 0;
  if (!file.ReadAt(from, &tail[0], tail.size(), &got) || got != tail.size()) return -1;
  size_t end = tail.rfind('\n');
  if (end == std::string::npos) return 0;
  size_t begin = end == 0 ? std::string::npos : tail.rfind('\n', end - 1);
  if (begin == std::string::npos && from > 0) return 0;  // the line may begin further back
  begin = begin == std::string::npos ? 0 : begin + 1;
  *line = tail.substr(begin, end - begin);
  return 1;
}

// The last whole line of the journal at path; false when the file cannot
// be read or ends in no line of ours.
bool LastLine(xb::FileSystem& fs, const std::string& path, std::string* line) {
  std::unique_ptr<xb::File> file = fs.OpenReadOnly(path.c_str());
  uint64_t size = 0;
  if (!file || !file->Size(&size) || size == 0) return false;
  for (uint64_t n = kFirstTail; n <= kLongestTail; n *= 16) {
    int found = LastLineIn(*file, size, n, line);
    if (found != 0) return found > 0;
    if (n >= size) return false;
  }
  return false;
}

// The whole journal, read as undo reads it: for journals of the earlier
// formats, and to count a killed run's fields.
void ReadWhole(xb::FileSystem& fs, HistoryEntry* e) {
  JournalFile j;
  if (!j.Read(fs, e->journal, &e->unreadable)) return;
  e->end = j.end;
  e->counted = true;
  e->fieldsJournaled = 0;
  e->copies = 0;
  for (const JournalBatch& b : j.batches) e->fieldsJournaled += b.fields.size();
  for (const JournalStep& s : j.steps) e->copies += !s.kept;
}

HistoryEntry Entry(xb::FileSystem& fs, const std::string& path, bool count) {
  HistoryEntry e;
  e.journal = path;
  JournalFile head;
  if (!head.ReadRunLine(fs, path, &e.unreadable)) return e;
  e.run = head.run;
  std::string last;
  JournalLine l;
  if (!LastLine(fs, path, &last) || !l.Parse(last)) {
    e.unreadable = "its last line is not one of a journal's";
    return e;
  }
  if (l.Type() == "end") {
    std::string problem = TakeEndLine(l, e.run.format, &e.end);
    if (!problem.empty()) {
      e.unreadable = "its last line " + problem;
      return e;
    }
  }
  if (e.end.present && e.end.counted) {
    e.copies = e.end.copies;
    return e;
  }
  if (e.run.format < Journal::kFormat || count) ReadWhole(fs, &e);
  return e;
}

// The files in service a run's swap replaced: its own swap's, or for an
// undo those of the run its chain of undos began with.
bool SwapReplaced(xb::FileSystem& fs, const JournalRun& r, const std::string& path) {
  const CommandPlan* plan = PlanNamed(r.SwapCommand());
  if (!plan) return false;
  for (const std::string& f : plan->SwapOf(r.SwapSource(), r.target).Replaced())
    if (OneFile(fs, f, path)) return true;
  return false;
}

}  // namespace

bool NewerRun(const HistoryEntry& a, const HistoryEntry& b) { return StartedLater(a.run, a.journal, b.run, b.journal); }

std::string HistoryEntry::Swap() const {
  if (copies == 0) return "none";
  if (!end.present) return "not done";
  return end.status == kSwapFailed ? "failed" : "done";
}

bool HistoryEntry::Concerns(xb::FileSystem& fs, const std::string& path) const {
  return OneFile(fs, run.target, path) || (copies > 0 && SwapReplaced(fs, run, path));
}

std::vector<HistoryEntry> ReadHistory(xb::FileSystem& fs, const std::string& folder, const std::string& target,
                                      bool count) {
  std::vector<HistoryEntry> entries;
  std::vector<std::string> paths;
  Journal::In(fs, folder, &paths);
  for (const std::string& path : paths) {
    HistoryEntry e = Entry(fs, path, count);
    if (target.empty() || !e.unreadable.empty() || e.Concerns(fs, target)) entries.push_back(e);
  }
  std::sort(entries.begin(), entries.end(), NewerRun);
  // Newest first, so the first undo met for a run is its latest.
  for (HistoryEntry& run : entries)
    for (const HistoryEntry& undo : entries) {
      if (!run.undoneBy.empty() || undo.run.command != "undo" || !NewerRun(undo, run)) continue;
      if (!OneFile(fs, undo.run.source, run.journal)) continue;
      run.undoneBy = undo.journal;
      run.undoneEnd = undo.end;
    }
  return entries;
}

std::vector<HistoryEntry> ReadHistories(xb::FileSystem& fs, const std::vector<std::string>& folders) {
  std::vector<HistoryEntry> all;
  for (const std::string& folder : folders) {
    std::vector<HistoryEntry> entries = ReadHistory(fs, folder, std::string());
    all.insert(all.end(), entries.begin(), entries.end());
  }
  std::stable_sort(all.begin(), all.end(), NewerRun);
  return all;
}
