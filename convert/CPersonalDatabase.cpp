#include "convert/CPersonalDatabase.h"

#include "convert/CutText.h"

const char* const CPersonalDatabase::kNames[kFields] = {
    "IDXP", "NAME", "DEPARTMENT", "TT1", "TY1", "TT2", "TY2", "TT3", "TY3", "TT4", "TY4", "TT5", "TY5", "TT6", "TY6"};

int CPersonalDatabase::Open(char* path) {
  int opened = OpenThrough(files_, path);
  for (int k = 0; k < kFields; ++k) field_[k] = opened ? Lookup(kNames[k]) : nullptr;
  return opened;
}

FieldAddr* CPersonalDatabase::Entry(int k) const { return table && k >= 0 && k < kFields ? field_[k] : nullptr; }

unsigned int CPersonalDatabase::Width(int k) const {
  FieldAddr* entry = Entry(k);
  return entry ? entry->length : 0;
}

int CPersonalDatabase::ReadField(int k, char* out, size_t capacity) {
  FieldAddr* entry = Entry(k);
  if (!entry) return 0;
  // The whole text in the entry's own buffer, then as much as fits.
  ReadEntry(*entry, entry->buffer);
  CutText(entry->buffer, out, capacity);
  return 1;
}

int CPersonalDatabase::ReplaceField(int k, const char* text) {
  FieldAddr* entry = Entry(k);
  if (!entry) return 0;
  ReplaceEntry(*entry, text);
  return 1;
}

