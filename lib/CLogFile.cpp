#include "lib/CLogFile.h"

CLogFile::CLogFile(const char* name) : CDosFile(name) {}

CLogFile::CLogFile(const CLogFile& other) : CDosFile(other) {}

CLogFile::~CLogFile() {}

CLogFile& CLogFile::operator=(const CLogFile& other) {
  CDosFile::operator=(other);
  return *this;
}
