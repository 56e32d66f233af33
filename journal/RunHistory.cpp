#include "journal/RunHistory.h"

#include <algorithm>

#include "commands/PathNames.h"
#include "journal/Journal.h"

namespace {

HistoryEntry Entry(xb::FileSystem& fs, const std::string& path) {
  HistoryEntry e;
  e.journal = path;
  JournalFile j;
  if (!j.Read(fs, path, &e.unreadable)) return e;
  e.run = j.run;
  e.end = j.end;
  for (const JournalBatch& b : j.batches) e.fieldsJournaled += b.fields.size();
  for (const JournalStep& s : j.steps) e.copies += !s.kept;
  return e;
}

}  // namespace

bool NewerRun(const HistoryEntry& a, const HistoryEntry& b) {
  if (a.run.startedAt != b.run.startedAt) return a.run.startedAt > b.run.startedAt;
  return FileIdentity(a.journal.c_str()) > FileIdentity(b.journal.c_str());
}

std::string HistoryEntry::Swap() const {
  if (copies == 0) return "none";
  if (!end.present) return "not done";
  return end.status == 4 ? "failed" : "done";
}

std::vector<HistoryEntry> ReadHistory(xb::FileSystem& fs, const std::string& folder, const std::string& target) {
  std::vector<HistoryEntry> entries;
  std::vector<std::string> paths;
  Journal::In(fs, folder, &paths);
  for (const std::string& path : paths) {
    HistoryEntry e = Entry(fs, path);
    if (target.empty() || !e.unreadable.empty() || FileIdentity(e.run.target.c_str()) == FileIdentity(target.c_str()))
      entries.push_back(e);
  }
  std::sort(entries.begin(), entries.end(), NewerRun);
  // Newest first, so the first undo met for a run is its latest.
  for (HistoryEntry& run : entries)
    for (const HistoryEntry& undo : entries) {
      if (!run.undoneBy.empty() || undo.run.command != "undo" || !NewerRun(undo, run)) continue;
      if (FileIdentity(undo.run.source.c_str()) != FileIdentity(run.journal.c_str())) continue;
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
