// Journal: the record of what a vmconvert run changes in its target, kept
// so that `vmconvert undo` can take the run back. JSON Lines, one object a
// line, every value a string or a number:
//   {"type":"run", ...}     first: format, version, command, source, target
//                           (full paths), started_at (UTC), computer, user,
//                           and the target's bytes, records, header_length,
//                           record_length and fields ("NAME:C:1:30,...":
//                           name, type, offset in the record, width)
//   {"type":"field", "record", "field", "offset", "before", "after"}
//                           a field's stored bytes, before the write
//   {"type":"header", "offset", "before", "after"}
//                           header bytes the table changes (its date)
//   {"type":"copy", "from", "to"} / {"type":"kept", "from", "to"}
//                           the swap's copies and the older backups it kept
//   {"type":"end", "status", "fields_written", "cancelled"}   last
// Stored bytes are JSON strings in which every byte stands for the code
// point of its value: printable ASCII as itself, '"' and '\' escaped, any
// other byte as \u00XX. Decoding each code point back to a byte gives the
// bytes exactly, whatever the code page.
//
// Write ahead: a field's line reaches the journal file (a completed write
// call) from Changed, before the table writes the field; a line that cannot
// be written refuses the change.
#ifndef VMCONVERT_JOURNAL_H_
#define VMCONVERT_JOURNAL_H_

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/file_system.h"
#include "engine/write_observer.h"

// Where the fields of a table file lie, read from its header.
struct TableShape {
  int64_t bytes = 0;
  uint32_t records = 0, headerLength = 0, recordLength = 0;
  std::string fields;               // "NAME:C:1:30,..."
  std::vector<uint32_t> offsets;    // by field number - 1, within the record
  std::vector<std::string> names;   // by field number - 1
};

// The shape of the table at path; false when it cannot be read.
bool ReadShape(const char* path, TableShape* shape);

// The stored bytes as a JSON string (with its quotes), and back.
std::string EncodeBytes(const std::string& bytes);
// The same, appended to out.
void AppendEncoded(std::string& out, const char* bytes, size_t n);
// One journal line's values by key; false for a line that is not one flat
// object of strings and numbers (a line cut short by a kill).
bool ParseLine(const std::string& line, std::map<std::string, std::string>* values);
// The values of the first line of the journal at path, which must be its
// run line; false when it cannot be read.
bool ReadRunLine(const std::string& path, std::map<std::string, std::string>* values);

class Journal : public xb::WriteObserver {
 public:
  // The default path: a folder "vmconvert-journal" beside target, and a
  // name from the local time and the command.
  static std::string DefaultPath(const std::string& target, const std::string& command);

  // Creates the journal at path (and the default folder), describing
  // target, and writes the run line; false when it cannot.
  bool Begin(const std::string& path, const std::map<std::string, std::string>& run, const TableShape& target);

  bool Changed(uint32_t record, unsigned field, const uint8_t* before, const uint8_t* after,
               unsigned width) override;
  void Settled(uint32_t, unsigned, bool) override {}
  void HeaderChanged(uint32_t offset, const uint8_t* before, const uint8_t* after, unsigned n) override;

  // A field line for bytes at offset (undo's own changes); false when it
  // could not be written.
  bool Field(uint32_t record, const std::string& name, uint64_t offset, const std::string& before,
             const std::string& after);
  // A line of type with these values, written at once.
  bool Line(const std::string& type, const std::map<std::string, std::string>& values);
  // The end line, then the journal made durable; false when either failed.
  bool End(int status, uint32_t fieldsWritten, bool cancelled);

  bool failed() const { return failed_; }

 private:
  bool Write(const std::string& line);

  std::unique_ptr<xb::File> file_;
  uint64_t end_ = 0;
  TableShape shape_;
  std::string line_;  // the line being built, kept for its room
  bool failed_ = false;
};

#endif  // VMCONVERT_JOURNAL_H_
