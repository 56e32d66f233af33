#include "commands/PathNames.h"

#include <io.h>
#include <windows.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "commands/CFile.h"
#include "engine/file_system.h"
#include "messages/ResourceString.h"
#include "messages/StringIds.h"

const char kDefaultBigPath[] = "\\db1\\vm001_big.dbf";
const char kDefaultSmallPath[] = "\\db1\\vm001_small.dbf";
const char kDefaultOldPersonal[] = "\\db1\\kxpersonal.dbf";
const char kDefaultNewPersonal[] = "\\db1\\kxpers_new.dbf";

namespace {

const int32_t kBigLayoutAbove = 2100000;

std::string Lower(const char* text) {
  std::string out(text);
  for (char& c : out) c = char(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

}  // namespace

bool CopyPath(char* field, size_t size, const char* text) {
  size_t length = std::strlen(text);
  if (length >= size) return false;
  std::memcpy(field, text, length + 1);
  return true;
}

bool LivePathFromIni(const char* value, char (&out)[80]) {
  std::string path = Lower(value);
  if (path.find("vm001.dbf") == std::string::npos) path += ".\\vm001.dbf";
  out[0] = '\0';
  return CopyPath(out, sizeof out, path.c_str());
}

bool BackupName(const char* path, const char* suffix, std::string* out) {
  size_t length = std::strlen(path);
  if (length < 4) return false;
  *out = std::string(path, length - 4) + suffix;
  return out->size() < MAX_PATH;
}

std::string IndexName(const char* path) {
  std::string name = Lower(path);
  size_t dot = name.find_last_of(".\\/:");
  if (dot == std::string::npos || name[dot] != '.' || name.compare(dot, std::string::npos, ".dbf") != 0)
    return std::string();
  return name.replace(dot + 1, 3, "ndx");
}

std::string FullPath(const char* path) {
  char full[MAX_PATH];
  DWORD length = GetFullPathNameA(path, MAX_PATH, full, nullptr);
  return length && length < MAX_PATH ? std::string(full, length) : std::string(path);
}

std::string FolderOf(const std::string& path) {
  size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

std::string FileIdentity(const char* path) {
  std::string out = FullPath(path);
  CharLowerBuffA(&out[0], DWORD(out.size()));
  return out;
}

bool OneFile(xb::FileSystem& fs, const std::string& a, const std::string& b) {
  return fs.SameFile(a.c_str(), b.c_str()) || FileIdentity(a.c_str()) == FileIdentity(b.c_str());
}

bool LiveTableIsBig(const char* livePath) {
  CFileStatus status;
  return CFile::GetStatus(livePath, status) && int32_t(status.m_size) > kBigLayoutAbove;
}

bool ReadLivePath(char (&out)[80]) {
  char value[1024];
  GetPrivateProfileStringA("Config", "Vm001Path", "\\db1\\", value, sizeof value, "kxaconf.ini");
  return LivePathFromIni(value, out);
}

std::string CheckTypedPath(const char* typed, char* field, size_t size, unsigned int empty, unsigned int missing) {
  if (!CopyPath(field, size, typed))
    return FillPlaceholders(LoadResString(IDS_PATH_TOO_LONG), typed, nullptr);
  if (field[0] == '\0') return LoadResString(empty);
  if (_access(field, 0) != 0) return FillPlaceholders(LoadResString(missing), field, nullptr);
  return std::string();
}

std::string LocalStamp() {
  SYSTEMTIME t;
  GetLocalTime(&t);
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%04u%02u%02u-%02u%02u%02u", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute,
                t.wSecond);
  return stamp;
}

bool MakeFull(char* field, size_t size) {
  char full[MAX_PATH];
  DWORD length = GetFullPathNameA(field, MAX_PATH, full, nullptr);
  return length && length < MAX_PATH && CopyPath(field, size, full);
}

std::string SystemReason(unsigned long code) { return xb::FileErrorText(code); }

std::string WriteRefusal(const char* path) {
  DWORD code = ERROR_SUCCESS;
  DWORD attributes = GetFileAttributesA(path);
  // A file marked read-only is refused whatever the account may do.
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
    code = ERROR_ACCESS_DENIED;
  } else {
    HANDLE h = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
      CloseHandle(h);
      return std::string();
    }
    code = GetLastError();
  }
  return FillPlaceholders(LoadResString(IDS_NOT_WRITABLE), path, SystemReason(code).c_str());
}
