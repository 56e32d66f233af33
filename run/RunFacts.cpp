#include "run/RunFacts.h"

#include <windows.h>

#include <cstdio>

#include "engine/file_system.h"

void StartReport(RunReport& report) {
  SYSTEMTIME t;
  GetSystemTime(&t);
  char when[32];
  std::snprintf(when, sizeof when, "%04u-%02u-%02uT%02u:%02u:%02uZ", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute,
                t.wSecond);
  report.startedAt = when;
  report.version = CONVERTER_VERSION;
  char name[256];
  DWORD size = sizeof name;
  if (GetComputerNameA(name, &size)) report.computer.assign(name, size);
  size = sizeof name;
  if (GetUserNameA(name, &size) && size > 0) report.user.assign(name, size - 1);  // size counts the NUL
}

int64_t FileBytes(xb::FileSystem& fs, const std::string& path) {
  uint64_t size = 0;
  return fs.FileSize(path.c_str(), &size) ? int64_t(size) : -1;
}
