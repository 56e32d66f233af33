#include "lib/CResStrings.h"

#include <cstring>

// The other words are left as they are, as the record has always done.
CResStrings::CResStrings() { words[0] = 0; }

CResStrings& CResStrings::operator=(const CResStrings& other) {
  std::memmove(words, other.words, sizeof words);
  return *this;
}
