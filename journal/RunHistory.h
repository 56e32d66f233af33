// RunHistory: the runs a journal folder records, newest first - what ran,
// when, who ran it and what it did - read from the journals alone, each
// checked whole as undo checks it. A journal that cannot be read is listed
// as such, never left out.
#ifndef JOURNAL_RUNHISTORY_H_
#define JOURNAL_RUNHISTORY_H_

#include <cstdint>
#include <string>
#include <vector>

#include "journal/JournalFile.h"

namespace xb {
class FileSystem;
}  // namespace xb

struct HistoryEntry {
  std::string journal;     // full path
  std::string unreadable;  // why the journal cannot be read; "" when it can
  JournalRun run;
  JournalEnd end;          // end.present false: killed (or its journal failed)
  uint64_t fieldsJournaled = 0;
  size_t copies = 0;       // the swap's (or undo's) copies journaled
  std::string undoneBy;    // the newest undo of this run in the folder; "" for none
  JournalEnd undoneEnd;    // that undo's end

  // "done", "failed", "not done" (a swap begun and not ended) or "none".
  std::string Swap() const;
};

// The journals (*.jsonl) in folder, newest first by their start (then by
// name); with target not empty, only those of that table (and the ones
// that cannot be read, which might be). Each undo is matched to the run
// it took back.
std::vector<HistoryEntry> ReadHistory(xb::FileSystem& fs, const std::string& folder, const std::string& target);
// Every run of each folder (each named once), newest first.
std::vector<HistoryEntry> ReadHistories(xb::FileSystem& fs, const std::vector<std::string>& folders);
// True when a started after b (by its start, then by its journal's name).
bool NewerRun(const HistoryEntry& a, const HistoryEntry& b);

#endif  // JOURNAL_RUNHISTORY_H_
