// RawDbf: a table file read straight from its bytes, with no help from the
// engine, to check what the engine wrote: field values, and which record
// and field a file offset falls in.
#ifndef TESTS_SUPPORT_RAW_DBF_H_
#define TESTS_SUPPORT_RAW_DBF_H_

#include <cstdint>
#include <string>
#include <vector>

class RawDbf {
 public:
  explicit RawDbf(const std::string& path);

  bool ok() const { return ok_; }
  uint32_t Records() const { return records_; }
  // The stored text of field name in record (1-based), trailing blanks
  // removed (and the leading blanks of a right-aligned N or F field); "?"
  // when there is no such record or field.
  std::string Value(uint32_t record, const std::string& name) const;
  // "record:field" for a byte offset inside a record's field, "header" for
  // one before the first record, "flag", "end" otherwise.
  std::string Where(uint64_t offset) const;
  // Where record (1-based) starts in the file.
  uint64_t RecordOffset(uint32_t record) const { return headerLength_ + uint64_t(record - 1) * recordLength_; }

 private:
  struct Field {
    std::string name;
    char type;
    uint32_t offset;  // within the record, after the deletion flag
    uint32_t width;
  };
  bool ok_ = false;
  std::vector<unsigned char> bytes_;
  uint32_t records_ = 0, headerLength_ = 0, recordLength_ = 0;
  std::vector<Field> fields_;
};

#endif  // TESTS_SUPPORT_RAW_DBF_H_
