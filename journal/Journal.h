// Journal: the record of what a vmconvert run changes, kept ahead of every
// change so that `vmconvert undo` can take the run back. JSON Lines (see
// JournalText.h), format 2:
//   {"type":"run", ...}     first: format, version, command, source, target
//                           (full paths), started_at (UTC), computer, user,
//                           and the target's bytes, records, header_length,
//                           record_length and fields ("NAME:C:1:30,...");
//                           an undo's also undone_command and undone_source,
//                           the run its chain of undos began with
//   {"type":"record", "record", "identity"}
//                           before the field lines of one record: the
//                           record's identity (RecordIdentity) outside them
//   {"type":"field", "record", "field", "offset", "before", "after"}
//                           a field's stored bytes before and after
//   {"type":"header", "offset", "before", "after"}
//                           the header's date (bytes 1 to 3)
//   {"type":"kept", "from", "to", "bytes", "sha256"}
//                           a file about to be kept under a dated name (the
//                           swap moves an older backup aside, undo copies
//                           the table it replaces): its size and digest
//   {"type":"copy", "from", "to", "bytes", "sha256"}
//                           a file about to take a copy of another: the
//                           size and digest of what it will hold
//   {"type":"end", "status", "fields_written", "cancelled"}   last
//
// Write ahead: the lines of a record's changes (and the date's, with the
// first) reach the journal file in one completed write call from Writing,
// before the table writes the first of them; a kept or copy line before
// the file is moved or placed. A line that cannot be written refuses its
// change, and every change after it: the journal stops at its first
// failed write, so that it never holds a gap. Every file call goes through
// the file system given to Begin.
#ifndef JOURNAL_JOURNAL_H_
#define JOURNAL_JOURNAL_H_

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "commands/TableSwap.h"
#include "engine/file_system.h"
#include "engine/write_observer.h"
#include "journal/TableShape.h"

class Journal : public xb::WriteObserver, public SwapJournal {
 public:
  static const int kFormat = 2;

  // The default path: a folder "vmconvert-journal" beside target, and a
  // name from the local time and the command that names no file there yet,
  // nor its report.
  static std::string DefaultPath(xb::FileSystem& fs, const std::string& target, const std::string& command);

  // The folder "vmconvert-journal" beside the table at target, where its
  // runs' journals go by default.
  static std::string FolderBeside(const std::string& target);
  // The journals (*.jsonl) in folder, by their full paths.
  static std::vector<std::string> In(const std::string& folder);
  // Where the report of the run journaled at path is kept beside it: the
  // same name with ".json" for ".jsonl".
  static std::string ReportPath(const std::string& path);

  // Creates the journal at path through fs (and its folder), describing
  // target, and writes the run line: run's values (raw JSON) and the
  // target's shape. False when it cannot.
  bool Begin(xb::FileSystem* fs, const std::string& path, const std::map<std::string, std::string>& run,
             const TableShape& target);

  // The table's changes (see write_observer.h): a record's lines gathered
  // from Changed and HeaderChanged, written by Writing in one call.
  bool Changed(uint32_t record, unsigned field, const uint8_t* before, const uint8_t* after,
               unsigned width) override;
  bool Writing(uint32_t record, const uint8_t* image, size_t length) override;
  void Settled(uint32_t, unsigned, bool) override {}
  void HeaderChanged(uint32_t offset, const uint8_t* before, const uint8_t* after, unsigned n) override;

  // The swap's (and undo's) files, each line written at once.
  bool Copying(const std::string& from, const std::string& to, const FileDigest& placed) override;
  bool Keeping(const std::string& from, const std::string& to, const FileDigest& kept) override;

  // The end line, then the journal made durable; false when either failed.
  bool End(int status, uint32_t fieldsWritten, bool cancelled);

  bool failed() const { return failed_; }
  // The system's reason for the write that failed; "" while none has.
  const std::string& error() const { return error_; }
  // The number of write calls that reached the journal file.
  uint64_t writes() const { return writes_; }

 private:
  bool Write(const char* bytes, size_t n);
  bool Line(const std::string& type, const std::map<std::string, std::string>& values);

  std::unique_ptr<xb::File> file_;
  uint64_t end_ = 0;
  TableShape shape_;
  std::string batch_;             // the lines of the record being changed, its record line's room first
  uint32_t batchRecord_ = 0;      // that record; 0 while batch_ holds no field line
  std::vector<uint8_t> inBatch_;  // by field number: a field of batch_
  bool failed_ = false;
  std::string error_;
  uint64_t writes_ = 0;
};

#endif  // JOURNAL_JOURNAL_H_
