#include "convert/CVmDatabase.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>

#include "convert/ReadTextCut.h"
#include "convert/VmFieldNames.h"

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

int CVmDatabase::Open(char* path) { return CDatabase::Open(path); }

int CVmDatabase::ReadRecord(unsigned int record, VmRecord* image) {
  if (!table) return 0;
  if (!Position(record)) return 0;
  for (int n = 1; n <= VmRecord::kFields; ++n) {
    if (VmRecord::IsText(n))
      ReadTextCut(*this, StoredName(n), image->Text(n), VmRecord::TextCapacity(n));
    else
      Read(StoredName(n), image->Number(n));
  }
  return 1;
}

int CVmDatabase::ReplaceField(unsigned int first, unsigned int lastIndex, const char* name,
                              const char* value) {
  if (!table) return 0;
  int n = FieldNumberOf(name);
  if (n == 0) return -1;
  char* stored = StoredName(n);
  // Records first to lastIndex + 1, counted wide so that the end cannot wrap.
  uint64_t last = std::min<uint64_t>(uint64_t(lastIndex) + 1, UINT_MAX);
  for (uint64_t r = first; r <= last; ++r) {
    // A record that was not reached takes no write: the table would still
    // stand on another one.
    if (!Position(unsigned(r))) continue;
    if (VmRecord::IsText(n))
      Replace(stored, const_cast<char*>(value));
    else
      Replace(stored, AtoiRule(value));
  }
  return 1;
}
