#include "convert/CPersonalDatabase.h"

#include <algorithm>
#include <cstring>

#include "engine/table.h"

const char* const CPersonalDatabase::kNames[kFields] = {
    "IDXP", "NAME", "DEPARTMENT", "TT1", "TY1", "TT2", "TY2", "TT3", "TY3", "TT4", "TY4", "TT5", "TY5", "TT6", "TY6"};

int CPersonalDatabase::Open(char* path) {
  int opened = CDatabase::Open(path);
  for (int k = 0; k < kFields; ++k) field_[k] = opened ? Lookup(kNames[k]) : nullptr;
  return opened;
}

int CPersonalDatabase::ReadField(int k, char* out, size_t capacity) {
  FieldAddr* entry = k >= 0 && k < kFields ? field_[k] : nullptr;
  if (!entry || !table) return 0;
  // The whole text in the entry's own buffer, then as much as fits.
  ReadEntry(*entry, entry->buffer);
  size_t n = std::min(std::strlen(entry->buffer), capacity);
  while (n > 0 && entry->buffer[n - 1] == ' ') --n;
  std::memcpy(out, entry->buffer, n);
  out[n] = '\0';
  return 1;
}

int CPersonalDatabase::ReplaceField(int k, const char* text) {
  FieldAddr* entry = k >= 0 && k < kFields ? field_[k] : nullptr;
  if (!entry || !table) return 0;
  ReplaceEntry(*entry, text);
  return 1;
}

bool CPersonalDatabase::OnReadRecord() const { return table && table->OnReadRecord(); }
