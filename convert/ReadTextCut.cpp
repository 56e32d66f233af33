#include "convert/ReadTextCut.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "db/CDatabase.h"

int ReadTextCut(CDatabase& table, char* name, char* out, size_t capacity) {
  // CDatabase::Read writes up to the field's width and a terminator.
  size_t width = table.FieldLength(name);
  if (width <= capacity) return table.Read(name, out);
  std::vector<char> whole(width + 1);
  int found = table.Read(name, whole.data());
  if (!found) return 0;
  size_t n = std::min(std::strlen(whole.data()), capacity);
  while (n > 0 && whole[n - 1] == ' ') --n;  // a cut may end on blanks
  std::memcpy(out, whole.data(), n);
  out[n] = '\0';
  return found;
}
