// CFileStat: a record of 43 words that begins with a file name stored in
// place. Filename() is the address of the record itself.
#ifndef LIB_CFILESTAT_H_
#define LIB_CFILESTAT_H_

#include <cstdint>

#include "export/Export.h"

class CONVERTER_API CFileStat {
 public:
  char* Filename();
  CFileStat& operator=(const CFileStat& other);

  char name[128];       // NUL-terminated file name
  uint32_t detail[11];  // size, dates and attributes of the file
};

#endif  // LIB_CFILESTAT_H_
