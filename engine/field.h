// Field: one column of an open table. Reads and writes the column's bytes in
// the table's current record, as text. Owned by its Table; valid while the
// table is open.
#ifndef ENGINE_FIELD_H_
#define ENGINE_FIELD_H_

#include <cstddef>
#include <cstdint>

#include "engine/dbf_format.h"

namespace xb {

class Table;

// The C library's atoi rule on the text from text up to end (or its first
// NUL): leading blanks skipped, an optional sign, then decimal digits up to
// the first other character, saturated to the 32-bit range; 0 without
// digits.
int32_t AtoiRule(const char* text, const char* end);

class Field {
 public:
  // REQUIRES: name is NUL-terminated with at most 11 characters.
  Field(Table* table, const char* name, char type, unsigned offset, unsigned width,
        unsigned decimals);

  const char* Name() const { return name_; }  // as the table stores it
  char Type() const { return type_; }
  unsigned Width() const { return width_; }
  unsigned Decimals() const { return decimals_; }
  unsigned Offset() const { return offset_; }  // from the record's start (after the flag)

  // Copies the field's text of the current record, NUL-terminated, writing
  // at most size bytes (a text longer than size - 1 is cut). Blanks where
  // the table stands on no record. Does nothing when size is 0.
  void CopyText(char* buffer, size_t size) const;

  // The field's text as an integer, by the C library's atoi rule: leading
  // blanks skipped, an optional sign, then decimal digits up to the first
  // other character, saturated to the 32-bit range; 0 without digits. The
  // same for every field type, so a number kept in a character field is
  // read as the number it shows.
  int32_t AsInt() const;

  // True when other (of this table or another) has the same width and both
  // hold the same bytes in their tables' current records, read from the
  // file; false otherwise. Lets a comparison skip converting equal values.
  bool SameBytes(const Field& other) const;

  // Stores text, cut to the width or padded with blanks.
  void AssignText(const char* text);

  // Stores a number: an N or F field gets it right-aligned with the field's
  // decimals, or asterisks when it does not fit; any other field gets it
  // left-aligned without decimals.
  void AssignDouble(double value);

 private:
  // Formats value into out (width bytes, no NUL); false when it does not fit.
  bool FormatNumber(double value, char* out) const;

  Table* table_;
  char name_[dbf::kDescNameSize + 1];
  char type_;
  unsigned offset_;
  unsigned width_;
  unsigned decimals_;
};

}  // namespace xb

#endif  // ENGINE_FIELD_H_
