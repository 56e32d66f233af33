// Journal: the record of what a run changes, kept ahead of every change so
// that `vmconvert undo` can take the run back. JSON Lines (see
// JournalText.h), format 3:
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
//   {"type":"end", "status", "fields_written", "cancelled", "copies",
//    "reason"}              last: the run's status, the copy lines before
//                           it (so that a reader of the end alone knows of
//                           a swap) and why the status is not 0
// Format 2 had no end line's copies and reason; format 1 no record lines
// and no digests.
//
// Write ahead: the lines of a record's changes (and the date's, with the
// first) reach the journal file in one completed write call from Writing,
// before the table writes the first of them; a kept or copy line before
// the file is moved or placed. A record's field gets one line however
// often it changed before its write: its bytes before the first change,
// and those written. The journal records fields only: a change of the
// deletion flag is refused. A line that cannot be written refuses its
// change, and every change after it: the journal stops at its first
// failed write, so that it never holds a gap.
//
// Room for the end line is kept on the disk from the start: a file beside
// the journal (RoomPath) holds a few kilobytes, so that a disk that fills
// stops the journal's lines, and every change after them, while its end
// line still fits: End gives that room back before it writes the end line.
// A journal killed before its end leaves the room file behind, which the
// folder's listing of journals does not see. Every file call goes through
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
  static const int kFormat = 3;

  // The folder "vmconvert-journal" beside the table at target, where its
  // runs' journals go by default.
  static std::string FolderBeside(const std::string& target);
  // The journals (*.jsonl) in folder, by their full paths; false when the
  // folder cannot be listed.
  static bool In(xb::FileSystem& fs, const std::string& folder, std::vector<std::string>* paths);
  // Where the report of the run journaled at path is kept beside it: the
  // same name with ".json" for ".jsonl".
  static std::string ReportPath(const std::string& path);
  // The file beside the journal at path that keeps room for its end line:
  // its name with ".room".
  static std::string RoomPath(const std::string& path);

  // Makes the journal at path, where nothing may be yet (its folder is
  // made when it is not there), through fs, describing target, and writes
  // the run line: run's values (raw JSON) and the target's shape. False,
  // with error() saying why, when it cannot; a file already at path is
  // left as it is.
  bool Begin(xb::FileSystem* fs, const std::string& path, const std::map<std::string, std::string>& run,
             const TableShape& target);
  // Begin at the first free name in FolderBeside(target) from the local
  // time and command: "20261209-031500-small-to-big.jsonl", then "-2",
  // "-3"... A name is free when neither the journal nor its report beside
  // it is there; the report's name is taken at once (an empty file), so
  // that no other run writes there either.
  bool BeginDefault(xb::FileSystem* fs, const std::string& target, const std::string& command,
                    const std::map<std::string, std::string>& run, const TableShape& shape);
  // The journal's file once Begin has made it.
  const std::string& path() const { return path_; }

  // The table's changes (see write_observer.h): a record's changes
  // gathered from Changed and HeaderChanged, its lines written by Writing
  // in one call.
  bool Changed(uint32_t record, unsigned field, const uint8_t* before, const uint8_t* after,
               unsigned width) override;
  bool Writing(uint32_t record, const uint8_t* image, size_t length) override;
  void Settled(uint32_t, unsigned, bool) override {}
  void HeaderChanged(uint32_t offset, const uint8_t* before, const uint8_t* after, unsigned n) override;

  // The swap's (and undo's) files, each line written at once.
  bool Copying(const std::string& from, const std::string& to, const FileDigest& placed) override;
  bool Keeping(const std::string& from, const std::string& to, const FileDigest& kept) override;

  // The end line, in the room kept for it even after the journal failed,
  // then the journal cut after it and made durable; false when any of it
  // failed.
  bool End(int status, uint32_t fieldsWritten, bool cancelled, const std::string& reason);

  bool failed() const { return failed_; }
  // The system's reason for the write that failed, or why Begin could not
  // make the journal; "" while there is none.
  const std::string& error() const { return error_; }

 private:
  bool Write(const char* bytes, size_t n);
  // Makes the room file, holding room for the end line; false when the
  // disk cannot give it.
  bool KeepRoom();
  bool Line(const std::string& type, const std::map<std::string, std::string>& values);
  // The batch's record and field lines, from the bytes kept by Changed and
  // the image about to be written.
  bool ComposeBatch(uint32_t record, const uint8_t* image, size_t length);
  void ClearBatch();

  xb::FileSystem* fs_ = nullptr;
  std::unique_ptr<xb::File> file_;
  std::string path_;
  uint64_t end_ = 0;  // the end of the last line written
  TableShape shape_;
  uint32_t batchRecord_ = 0;      // the record whose changes are gathered; 0 for none
  std::vector<uint16_t> order_;   // its changed fields, in the order first changed
  std::vector<uint8_t> inBatch_;  // by field number: changed in this batch
  std::vector<uint8_t> befores_;  // a record image: each changed field's bytes before its first change
  std::vector<std::string> fieldKeys_;  // by field number - 1: its line's text from the field's name to its offset
  std::string headerLines_;       // the date's line, when it changed with this batch
  std::string batch_;             // the lines of a batch, its room kept from one record to the next
  uint32_t copies_ = 0;  // copy lines written
  bool failed_ = false;
  std::string error_;
};

#endif  // JOURNAL_JOURNAL_H_
