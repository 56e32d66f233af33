// JournalFile: a journal read back whole and checked, line by line, before
// anything acts on it. A journal is input from outside: an operator may
// copy, edit or bring it from another machine.
#ifndef JOURNAL_JOURNALFILE_H_
#define JOURNAL_JOURNALFILE_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "commands/FileCopy.h"
#include "journal/TableShape.h"

namespace xb {
class FileSystem;
}  // namespace xb

struct JournalRun {
  int format = 0;
  std::string program = "vmconvert";  // "converter" or "vmconvert"; runs journaled before it was named were vmconvert's
  std::string command, source, target;  // full paths
  std::string startedAt, version, computer, user;
  // An undo's: the run its chain of undos began with; "" for other runs.
  std::string undoneCommand, undoneSource;
  uint64_t targetBytes = 0;
  uint32_t records = 0, headerLength = 0, recordLength = 0;
  std::string fields;

  // The run whose swap files this journal may name: for an undo, the run
  // its chain began with; else the run itself.
  const std::string& SwapCommand() const { return undoneCommand.empty() ? command : undoneCommand; }
  const std::string& SwapSource() const { return undoneSource.empty() ? source : undoneSource; }
};

struct JournalField {
  size_t line;     // 1-based, in the journal
  unsigned field;  // 1-based number in the run's table
  std::string before, after;
};

// The field changes of one record that went to the journal together;
// a format 1 journal's lines each make one, without an identity.
struct JournalBatch {
  size_t line;
  uint32_t record;
  bool identified = false;
  uint64_t identity = 0;  // RecordIdentity outside the batch's fields
  std::vector<JournalField> fields;
};

struct JournalHeader {
  size_t line;
  std::string before, after;  // the date, bytes 1 to 3
};

// A kept or copy line of a swap or an undo.
struct JournalStep {
  size_t line;
  bool kept;  // kept: from was kept as to; copy: to took a copy of from
  std::string from, to;
  bool digested = false;  // format 2: digest is what the line says to holds
  FileDigest digest;
};

struct JournalEnd {
  bool present = false;  // false: the run was killed, or its journal failed
  int64_t status = -1;
  uint64_t fieldsWritten = 0;
  bool cancelled = false;
  bool counted = false;  // format 3: copies and reason were written
  uint64_t copies = 0;   // the copy lines before it
  std::string reason;    // why the status is not 0
};

// True when the run a (journaled at aPath) started after the run b (at
// bPath): by their starts, then by their journals' names. The one order of
// runs, newest first, that history and undo share.
bool StartedLater(const JournalRun& a, const std::string& aPath, const JournalRun& b, const std::string& bPath);

class JournalLine;
// The end line l of a journal of format into *end; "" when it is one, else
// why not.
std::string TakeEndLine(const JournalLine& l, int format, JournalEnd* end);

class JournalFile {
 public:
  // Reads the journal at path through fs and checks every line's form and
  // its fit with the run line:
  //   - each is one flat JSON object of a known type; the first, and only
  //     that, is a run line of format 1 to 3; an end line is the last (in
  //     format 3 giving the number of copy lines before it);
  //   - a field line names a field of the run's table, in a record the run
  //     had, at exactly that field's offset, its before and after of the
  //     field's width; in format 2 it follows its record's record line;
  //   - a header line touches only the date (bytes 1 to 3);
  //   - a copy or kept line names only the run target's own swap files
  //     (the tables, their indexes and backups, and their dated copies)
  //     and, in format 2, the size and digest of what it recorded.
  // A last line without its line end (cut short by a kill) is left out:
  // the only defect tolerated. False at the first line that does not fit,
  // with *why naming it.
  bool Read(xb::FileSystem& fs, const std::string& path, std::string* why);
  // Reads the run line alone (the first line, checked as Read checks it);
  // false with *why when it cannot.
  bool ReadRunLine(xb::FileSystem& fs, const std::string& path, std::string* why);
  // "" when now, the table as it is, is the journal's table: the same
  // header and record length and fields, and every record the journal
  // changed still there; else the message.
  std::string Fits(const TableShape& now) const;

  std::string path;
  JournalRun run;
  TableShape shape;  // the run's table, from its run line
  std::vector<JournalBatch> batches;
  std::vector<JournalHeader> headers;
  std::vector<JournalStep> steps;
  JournalEnd end;

 private:
  class Reader;
};

#endif  // JOURNAL_JOURNALFILE_H_
