// RunHistory: the runs a journal folder records, newest first - what ran,
// when, who ran it and what it did - from the journals alone. A journal of
// the current format is read at its two ends only: its run line, and its
// end line, which says the run's status, the fields it wrote, whether it
// was cancelled and how many copies its swap made; each is checked as
// undo checks it. A journal with no end line (a run killed, or whose
// journal failed) is said to be so at once, and read whole only to count
// the fields it journaled when that is asked for; journals of the earlier
// formats, whose end line says less, are read whole. A journal that
// cannot be read is listed as such, never left out.
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
  bool counted = false;    // the journal was read whole: fieldsJournaled holds
  uint64_t fieldsJournaled = 0;
  uint64_t copies = 0;     // the swap's (or undo's) copies journaled
  std::string undoneBy;    // the newest undo of this run in the folder; "" for none
  JournalEnd undoneEnd;    // that undo's end

  // "done", "failed", "not done" (a swap begun and not ended) or "none".
  std::string Swap() const;
  // True when the run concerns the table at path: it wrote it, its swap
  // replaced it, or it is an undo that put a table back there.
  bool Concerns(xb::FileSystem& fs, const std::string& path) const;
};

// The journals (*.jsonl) in folder, newest first by their start (then by
// name); with target not empty, only the runs that concern that table
// (and the journals that cannot be read, which might). Each undo is
// matched to the run it took back. count: the fields of each journal
// without an end line are counted, reading it whole.
std::vector<HistoryEntry> ReadHistory(xb::FileSystem& fs, const std::string& folder, const std::string& target,
                                      bool count = false);
// Every run of each folder (each named once), newest first.
std::vector<HistoryEntry> ReadHistories(xb::FileSystem& fs, const std::vector<std::string>& folders);
// True when a started after b (by its start, then by its journal's name).
bool NewerRun(const HistoryEntry& a, const HistoryEntry& b);

#endif  // JOURNAL_RUNHISTORY_H_
