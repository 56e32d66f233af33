#include "lib/CFileStat.h"

#include <cstring>

char* CFileStat::Filename() { return name; }

CFileStat& CFileStat::operator=(const CFileStat& other) {
  std::memmove(this, &other, sizeof *this);
  return *this;
}
