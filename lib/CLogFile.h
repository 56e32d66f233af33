// CLogFile: a CDosFile meant for log files; everything it does is
// CDosFile's. It has no append mode and takes no lock: several objects,
// threads or programs that each SeekEof and then Write one file lose
// lines to each other. The safe use is one shared object, with the
// callers' own lock held around each SeekEof and Write.
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
