#include "convert/CVmDatabase.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "convert/CutText.h"
#include "convert/VmFieldNames.h"

namespace {

int FieldNumberOf(const char* name) {
  for (int k = 0; k < VmRecord::kFields; ++k)
    if (std::strcmp(VmFieldNames[k], name) == 0) return k + 1;
  return 0;
}

}  // namespace

CVmDatabase::CVmDatabase(char* path, xb::FileSystem* files) : files_(files) { Open(path); }

int CVmDatabase::Open(char* path) {
  int opened = OpenThrough(files_, path);
  ResolveFields();
  return opened;
}

void CVmDatabase::ResolveFields() {
  for (int n = 1; n <= VmRecord::kFields; ++n) {
    field_[n] = Lookup(VmStoredName(n));
  }
}

int CVmDatabase::Reach(unsigned int record) { return table ? Position(record) : 0; }

int32_t CVmDatabase::Number(int n) const { return Width(n) ? EntryNumber(*field_[n]) : 0; }

bool CVmDatabase::SameBytes(int n, const CVmDatabase& other) const {
  return Width(n) && other.Width(n) && CDatabase::SameBytes(*field_[n], *other.field_[n]);
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
      *image->Number(n) = EntryNumber(*field_[n]);
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
