// TableLayout: where the fields of a table file lie, read from its header,
// to name the record and field a write went to. Keeps the file open for
// reading until it goes, so that listing many writes opens it once.
#ifndef VMCONVERT_TABLELAYOUT_H_
#define VMCONVERT_TABLELAYOUT_H_

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

class TableLayout {
 public:
  // Reads the header of the table at path; ok() is false when it cannot.
  explicit TableLayout(const std::string& path);
  ~TableLayout();
  TableLayout(const TableLayout&) = delete;
  TableLayout& operator=(const TableLayout&) = delete;

  bool ok() const { return ok_; }
  // The record (1-based) and field a byte offset falls in; false for the
  // header, a deletion flag or past the records.
  bool Locate(uint64_t offset, uint32_t* record, std::string* field) const;
  // The field's stored text in the file now, without its padding.
  std::string StoredText(uint32_t record, const std::string& field) const;

 private:
  struct Field {
    std::string name;
    uint32_t offset, width;
  };
  // Up to n bytes at offset; fewer at the end of the file or on an error.
  std::string ReadRange(uint64_t offset, size_t n) const;

  FILE* file_;  // null when the file could not be opened
  bool ok_ = false;
  uint32_t headerLength_ = 0, recordLength_ = 0;
  std::vector<Field> fields_;
};

// text without leading and trailing blanks.
std::string Trimmed(const std::string& text);

#endif  // VMCONVERT_TABLELAYOUT_H_
