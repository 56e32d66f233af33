// CLogFile: a CDosFile meant for log files; everything it does is
// CDosFile's.
#ifndef LIB_CLOGFILE_H_
#define LIB_CLOGFILE_H_

#include "lib/CDosFile.h"

class CONVERTER_API CLogFile : public CDosFile {
 public:
  CLogFile(const char* name);
  CLogFile(const CLogFile& other);
  ~CLogFile();
  CLogFile& operator=(const CLogFile& other);
};

#endif  // LIB_CLOGFILE_H_
