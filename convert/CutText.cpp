#include "convert/CutText.h"

#include <algorithm>
#include <cstring>

void CutText(const char* whole, char* out, size_t capacity) {
  size_t n = std::min(std::strlen(whole), capacity);
  while (n > 0 && whole[n - 1] == ' ') --n;
  std::memmove(out, whole, n);
  out[n] = '\0';
}
