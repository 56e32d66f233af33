// File status as the dialogs ask for it.
#ifndef COMMANDS_CFILE_H_
#define COMMANDS_CFILE_H_

#include <cstdint>

struct CFileStatus {
  int64_t m_size = 0;  // bytes
};

class CFile {
 public:
  // The status of the file at path; false (status unchanged) when there is
  // no such file or it cannot be read.
  static bool GetStatus(const char* path, CFileStatus& status);
};

#endif  // COMMANDS_CFILE_H_
