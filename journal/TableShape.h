// TableShape: where the fields of a table file lie, read from its header
// or from a journal's run line, and the identity by which undo recognises
// a record.
#ifndef JOURNAL_TABLESHAPE_H_
#define JOURNAL_TABLESHAPE_H_

#include <cstdint>
#include <string>
#include <vector>

namespace xb {
class FileSystem;
}  // namespace xb

struct TableShape {
  int64_t bytes = 0;
  uint32_t records = 0, headerLength = 0, recordLength = 0;
  std::string fields;              // "NAME:C:1:30,...": name, type, offset in the record, width
  std::vector<std::string> names;  // by field number - 1
  std::vector<uint32_t> offsets;   // within the record (the deletion flag at 0)
  std::vector<uint32_t> widths;

  // The number (1-based) of the field called name; 0 when there is none.
  unsigned FieldNumber(const std::string& name) const;
  uint64_t RecordOffset(uint32_t record) const { return headerLength + uint64_t(record - 1) * recordLength; }
  // Where field (1-based) of record lies in the file.
  uint64_t FieldOffset(uint32_t record, unsigned field) const { return RecordOffset(record) + offsets[field - 1]; }
};

// The shape of the table at path, read through fs; false when it cannot be
// read or holds no table.
bool ReadShape(xb::FileSystem& fs, const std::string& path, TableShape* shape);
// The fields of a run line's "fields" into shape (names, offsets, widths),
// each field after the one before it and inside recordLength; false when
// the text is not of that form.
bool ParseFields(const std::string& fields, uint32_t recordLength, TableShape* shape);

// What tells undo that a record is still the one a run changed: a 64-bit
// hash (FNV-1a's step, eight bytes at a time) of the record's bytes (image, recordLength of them, the
// deletion flag first) outside the fields whose numbers are marked in
// excluded (indexed by field number, so excluded[0] is unused) - the bytes
// that run did not write. A record that moved, or another table's record,
// differs there; the fields the run wrote are judged on their own bytes.
// A hash rather than a key field: the personal job writes its key, and the
// big layout's key may be blank.
uint64_t RecordIdentity(const uint8_t* image, const TableShape& shape, const std::vector<uint8_t>& excluded);

#endif  // JOURNAL_TABLESHAPE_H_
