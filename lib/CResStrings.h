// CResStrings: a record of 257 words. Construction clears the first word
// only; assignment copies all of them.
#ifndef LIB_CRESSTRINGS_H_
#define LIB_CRESSTRINGS_H_

#include <cstdint>

#include "export/Export.h"

class CONVERTER_API CResStrings {
 public:
  CResStrings();
  CResStrings& operator=(const CResStrings& other);

  uint32_t words[257];  // word 0: 0 after construction; the rest as found
};

#endif  // LIB_CRESSTRINGS_H_
