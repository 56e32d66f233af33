#include "commands/CFile.h"

#include <windows.h>

bool CFile::GetStatus(const char* path, CFileStatus& status) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data)) return false;
  status.m_size = int64_t(uint64_t(data.nFileSizeHigh) << 32 | data.nFileSizeLow);
  return true;
}
