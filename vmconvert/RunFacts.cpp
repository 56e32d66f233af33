#include "vmconvert/RunFacts.h"

#include <windows.h>

#include <cstdio>

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

int64_t FileBytes(const char* path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data)) return -1;
  return int64_t(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
}
