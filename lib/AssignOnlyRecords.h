// Library classes that this program carries only for their assignment:
// each is a record of 32-bit words, and assignment copies every word and
// returns the target.
#ifndef LIB_ASSIGNONLYRECORDS_H_
#define LIB_ASSIGNONLYRECORDS_H_

#include <cstdint>

#include "export/Export.h"

class CONVERTER_API CLauncher {
 public:
  CLauncher& operator=(const CLauncher& other);
  uint32_t words[4];
};

class CONVERTER_API CUserProfile {
 public:
  CUserProfile& operator=(const CUserProfile& other);
  uint32_t words[1];
};

class CONVERTER_API CCommandLine {
 public:
  CCommandLine& operator=(const CCommandLine& other);
  uint32_t words[2];
};

class CONVERTER_API CDde {
 public:
  CDde& operator=(const CDde& other);
  uint32_t words[28];
};

class CONVERTER_API CModem {
 public:
  CModem& operator=(const CModem& other);
  uint32_t words[97];
};

class CONVERTER_API CDBRelation {
 public:
  CDBRelation& operator=(const CDBRelation& other);
  uint32_t words[9];
};

class CONVERTER_API CProcess {
 public:
  CProcess& operator=(const CProcess& other);
  uint32_t words[6];
};

#endif  // LIB_ASSIGNONLYRECORDS_H_
