#include "convert/CVmDatabase.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>

#include "convert/CutText.h"
#include "convert/VmFieldNames.h"
#include "engine/field.h"
#include "engine/table.h"

namespace {

// "T01" to "T99", built once; CDatabase takes names as char*.
char (&StoredNames())[VmRecord::kFields][4] {
  static char names[VmRecord::kFields][4];
  static bool built = [] {
    for (int n = 1; n <= VmRecord::kFields; ++n) std::snprintf(names[n - 1], sizeof names[0], "T%02d", n);
    return true;
  }();
  (void)built;
  return names;
}

char* StoredName(int n) { return StoredNames()[n - 1]; }

// The C library's atoi rule: leading blanks, an optional sign, decimal
// digits up to the first other character; 0 when there are none. Out of
// range values stop at the 32-bit limits instead of overflowing.
int32_t AtoiRule(const char* text) {
  while (*text == ' ' || (*text >= '\t' && *text <= '\r')) ++text;
  bool negative = *text == '-';
  if (*text == '-' || *text == '+') ++text;
  long long value = 0;
  for (; *text >= '0' && *text <= '9'; ++text) {
    value = value * 10 + (*text - '0');
    if (value > 1LL + INT32_MAX) value = 1LL + INT32_MAX;
  }
  if (negative) value = -value;
  if (value > INT32_MAX) value = INT32_MAX;
  return int32_t(value);
}

int FieldNumberOf(const char* name) {
  for (int k = 0; k < VmRecord::kFields; ++k)
    if (std::strcmp(VmFieldNames[k], name) == 0) return k + 1;
  return 0;
}

}  // namespace

CVmDatabase::CVmDatabase(char* path) { Open(path); }

int CVmDatabase::Open(char* path) {
  int opened = CDatabase::Open(path);
  ResolveFields();
  return opened;
}

void CVmDatabase::ResolveFields() {
  for (int n = 1; n <= VmRecord::kFields; ++n) {
    int number = table && fields ? table->FieldNumber(StoredName(n)) : 0;
    field_[n] = number >= 1 && unsigned(number) <= fieldCount ? &fields[number - 1] : nullptr;
  }
}

int CVmDatabase::Reach(unsigned int record) { return table ? Position(record) : 0; }

int32_t CVmDatabase::Number(int n) const { return Width(n) ? field_[n]->field->AsInt() : 0; }

bool CVmDatabase::SameBytes(int n, const CVmDatabase& other) const {
  return Width(n) && other.Width(n) && field_[n]->field->SameBytes(*other.field_[n]->field);
}

unsigned int CVmDatabase::Width(int n) const {
  return table && n >= 1 && n <= VmRecord::kFields && field_[n] ? field_[n]->length : 0;
}

int CVmDatabase::ReadWhole(int n, char* out) {
  if (!Width(n)) return 0;
  ReadEntry(*field_[n], out);
  return 1;
}

int CVmDatabase::ReadRecord(unsigned int record, VmRecord* image) {
  if (!table) return 0;
  if (!Position(record)) return 0;
  for (int n = 1; n <= VmRecord::kFields; ++n) {
    if (!field_[n]) continue;
    if (!VmRecord::IsText(n)) {
      *image->Number(n) = field_[n]->field->AsInt();
      continue;
    }
    // The whole text, then cut to the member.
    char* whole = field_[n]->buffer;
    ReadWhole(n, whole);
    CutText(whole, image->Text(n), VmRecord::TextCapacity(n));
  }
  return 1;
}

int CVmDatabase::ReplaceField(unsigned int first, unsigned int lastIndex, const char* name,
                              const char* value) {
  if (!table) return 0;
  int n = FieldNumberOf(name);
  return n == 0 ? -1 : ReplaceField(first, lastIndex, n, value);
}

int CVmDatabase::ReplaceField(unsigned int first, unsigned int lastIndex, int n, const char* value) {
  if (!table) return 0;
  if (n < 1 || n > VmRecord::kFields) return -1;
  // Records first to lastIndex + 1, counted wide so that the end cannot wrap.
  uint64_t last = std::min<uint64_t>(uint64_t(lastIndex) + 1, UINT_MAX);
  for (uint64_t r = first; r <= last; ++r) {
    // A record that was not reached takes no write: the table would still
    // stand on another one. A field the table lacks takes none either, as
    // Replace by its name would.
    if (!PositionToWrite(unsigned(r)) || !field_[n]) continue;
    if (VmRecord::IsText(n))
      ReplaceEntry(*field_[n], value);
    else
      ReplaceEntry(*field_[n], AtoiRule(value));
  }
  return 1;
}
