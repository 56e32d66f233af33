#include "app/PathNames.h"

#include <io.h>
#include <windows.h>

#include <cctype>
#include <cstring>

#include "app/framework/ResourceString.h"

const char kDefaultBigPath[] = "\\db1\\vm001_big.dbf";
const char kDefaultSmallPath[] = "\\db1\\vm001_small.dbf";
const char kDefaultOldPersonal[] = "\\db1\\kxpersonal.dbf";
const char kDefaultNewPersonal[] = "\\db1\\kxpers_new.dbf";

namespace {

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

bool BackupName(const char* path, const char* suffix, char (&out)[128]) {
  size_t length = std::strlen(path);
  if (length < 4) return false;
  std::string name = std::string(path, length - 4) + suffix;
  return CopyPath(out, sizeof out, name.c_str());
}

IndexNameResult IndexName(const char* path, char (&out)[80]) {
  std::string name = Lower(path);
  size_t at = name.find("dbf");
  if (at == std::string::npos) return IndexNameResult::kNoDbf;
  name = name.substr(0, at) + "ndx";
  return CopyPath(out, sizeof out, name.c_str()) ? IndexNameResult::kBuilt : IndexNameResult::kTooLong;
}

bool ReadLivePath(char (&out)[80]) {
  char value[1024];
  GetPrivateProfileStringA("Config", "Vm001Path", "\\db1\\", value, sizeof value, "kxaconf.ini");
  return LivePathFromIni(value, out);
}

std::string CheckTypedPath(const char* typed, char* field, size_t size, unsigned int empty, unsigned int missing) {
  if (!CopyPath(field, size, typed))
    return FillPlaceholders("The path %1 is too long !\nA path may have at most 127 characters.", typed, nullptr);
  if (field[0] == '\0') return LoadResString(empty);
  if (_access(field, 0) != 0) return FillPlaceholders(LoadResString(missing), field, nullptr);
  return std::string();
}
