#include "commands/CFile.h"

#include "engine/file_system.h"

bool CFile::GetStatus(const char* path, CFileStatus& status) {
  uint64_t size = 0;
  if (!xb::FileSystem::Default()->FileSize(path, &size)) return false;
  status.m_size = int64_t(size);
  return true;
}
