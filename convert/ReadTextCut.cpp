#include "convert/ReadTextCut.h"

#include <algorithm>
#include <cstring>

#include "db/CDatabase.h"
#include "engine/dbf_format.h"

int ReadTextCut(CDatabase& table, char* name, char* out, size_t capacity) {
  // CDatabase::Read writes up to the field's width and a terminator.
  size_t width = table.FieldLength(name);
  if (width <= capacity) return table.Read(name, out);
  char whole[xb::dbf::kMaxWidth + 1];
  if (width > xb::dbf::kMaxWidth) return 0;
  int found = table.Read(name, whole);
  if (!found) return 0;
  size_t n = std::min(std::strlen(whole), capacity);
  while (n > 0 && whole[n - 1] == ' ') --n;  // a cut may end on blanks
  std::memcpy(out, whole, n);
  out[n] = '\0';
  return found;
}
