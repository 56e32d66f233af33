// Undo: takes a run back from its journal, refusing rather than guessing.
//
// Load reads the whole journal and checks every line (JournalFile), and the
// table as it is now against it: a journal that does not fit is refused
// whole, before anything is written. Plan then looks at what is there:
//   - the swap first, newest step first: each file a copy or a keep
//     replaced gets back what the journal recorded of it, from the copy
//     that kept it, but only while that copy still has its recorded size
//     and digest; whatever stands there now is first kept under a dated
//     name, and a table in service that differs from what the swap placed
//     (the server wrote to it since) is said so;
//   - then, newest first, every field that still holds what the run wrote
//     gets its old bytes back, in a record whose other bytes are still
//     those the run left (its identity); a field that holds its old bytes
//     is left (the run was stopped before that write), one changed since
//     is left and listed, naming a newer run of the same table whose
//     journal is in the same folder and changed it; a record changed
//     elsewhere is left and listed; when no record is the one the run
//     changed, the journal is refused whole;
//   - the header's date the same way.
// Apply does what Plan planned: undo's own journal (when asked) records
// each step ahead of it, as a run's does, so that an undo can be undone,
// swap included; an undo stopped at any moment can be run again.
#ifndef JOURNAL_UNDO_H_
#define JOURNAL_UNDO_H_

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "commands/FileCopy.h"
#include "journal/Journal.h"
#include "journal/JournalFile.h"
#include "journal/TableShape.h"

namespace xb {
class FileSystem;
}  // namespace xb

struct UndoRequest {
  std::string journal;      // full path of the journal to take back
  std::map<std::string, std::string> facts;  // started_at, version, computer, user: raw JSON values
  xb::FileSystem* fs = nullptr;  // every file goes through it
};

// One file step of the swap's undo: keep (from copied to its dated name
// to) or copy back (the kept copy from copied over to).
struct UndoStep {
  bool keep;
  std::string from, to;
  FileDigest expected;  // what from holds, as planned
};

// A field or the header's date to be put back.
struct UndoPut {
  uint32_t record;  // 0: the header's date
  unsigned field;
  std::string now, before;
};

struct UndoOutcome {
  std::string refusal;  // the journal refused whole: nothing was or will be done
  std::vector<UndoStep> steps;        // the swap's undo, in order
  std::vector<std::string> swapLeft;  // what of the swap is left, and why
  std::vector<std::string> notes;     // said, and no warning
  std::vector<UndoPut> puts;          // by record
  unsigned already = 0;               // fields and dates already as before
  std::vector<std::string> changed;   // fields changed since the run, left
  std::vector<std::string> moved;     // records changed elsewhere, left
  // Apply's
  std::vector<UndoStep> done;         // the steps made, in order
  size_t putBack = 0;                 // puts that reached the table
  std::string swapError;              // a step failed: the swap part stopped there
  std::string writeError;             // a field could not be written, or journaled
};

class Undo {
 public:
  explicit Undo(const UndoRequest& request) : request_(request) {}

  // Reads and checks the journal and the table's layout; false with
  // outcome().refusal saying why.
  bool Load();
  const JournalFile& journal() const { return journal_; }
  // What undo locks (TargetLock): the run's target and, when the journal
  // holds a swap, every file that swap wrote. REQUIRES: Load succeeded.
  std::vector<std::string> LockedFiles() const;
  // Looks at the files and the records (reads only); false with
  // outcome().refusal saying why the journal is refused whole.
  bool Plan();
  // Makes undo's own journal when keep is set: at path, or by default
  // beside the table ("" for path); false when it cannot (journalError()
  // says why).
  bool Start(bool keep, const std::string& path);
  // Undo's own journal once Start made it; "" for none.
  std::string journalPath() const { return journaling_ ? own_.path() : std::string(); }
  const std::string& journalError() const { return own_.error(); }
  // Does what Plan planned, each step journaled ahead of it.
  void Apply();
  // Ends undo's own journal with the run's status; false when its end line
  // or its flush failed (journalError() says why).
  bool End(int status, const std::string& reason);
  const UndoOutcome& outcome() const { return outcome_; }
  // How much of the plan Apply has done, of how much (steps and puts): for
  // a progress bar, read from any thread.
  size_t Applied() const { return applied_; }
  size_t Planned() const { return steps_; }
  // What the table held when Plan looked: its size.
  int64_t targetBytes() const { return now_.bytes; }

 private:
  struct FileState {
    bool there = false;     // a file of that name is there
    bool readable = false;  // and its digest could be taken
    FileDigest digest;
  };
  // What a file holds, as Plan's steps so far leave it.
  FileState& State(const std::string& path);
  std::string FreeDatedName(const std::string& path);
  bool Refuse(const std::string& why);
  // True when a and b name one file (OneFile: by identity where both are
  // there).
  bool Same(const std::string& a, const std::string& b) const;
  // "" when the table is still the size a first-format journal's run found
  // it; else why undo refuses it.
  std::string FirstFormatMisfit() const;
  bool InService(const std::string& path) const;
  void PlanStep(size_t index);
  bool ReadRecords();
  // False (refused) when the disk lacks the room the planned copies take.
  bool RoomForSteps();
  // Which records are no longer those the run changed.
  void FindMoved();
  bool PlanFields();
  void PlanHeader();
  std::string Where(uint32_t record, unsigned field);
  // The newer journals of the same table in the undone journal's folder,
  // read once; where says which of them changed what.
  std::string NewerRunThatChanged(uint32_t record, unsigned field);
  bool ApplyStep(const UndoStep& step);
  bool JournalPuts(size_t first, size_t last);
  void ApplyPuts();

  UndoRequest request_;
  JournalFile journal_;
  TableShape now_;
  UndoOutcome outcome_;
  std::map<std::string, FileState> files_;  // by FileIdentity
  std::set<std::string> planned_;           // dated names planned, by FileIdentity
  std::map<uint32_t, std::vector<uint8_t>> images_;  // the records changed, as read
  std::set<uint32_t> moved_;                // records changed elsewhere since the run
  std::vector<std::string> replaced_;       // the swap's files in service
  std::string header_;                      // the table's date as read, as Plan leaves it
  std::string stamp_;
  bool newerRead_ = false;
  std::vector<JournalFile> newer_;
  Journal own_;
  bool journaling_ = false;
  std::atomic<size_t> steps_{0}, applied_{0};  // the plan's steps and puts, and those made
};

#endif  // JOURNAL_UNDO_H_
