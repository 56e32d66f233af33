#include "commands/TableSwap.h"

#include <windows.h>

#include <algorithm>
#include <vector>

#include "commands/PathNames.h"
#include "messages/ResourceString.h"
#include "messages/StringIds.h"

namespace {

const DWORD kChunk = 64 * 1024;

bool Exists(const std::string& path) {
  return !path.empty() && GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string Temporary(const std::string& target) { return target + ".swap"; }

// Reads up to size bytes; the count read, or -1 on failure.
long ReadChunk(HANDLE file, char* buffer, DWORD size) {
  DWORD got = 0;
  return ReadFile(file, buffer, size, &got, nullptr) ? long(got) : -1;
}

bool CopyBytes(HANDLE from, HANDLE to) {
  std::vector<char> buffer(kChunk);
  for (;;) {
    long got = ReadChunk(from, buffer.data(), kChunk);
    if (got < 0) return false;
    if (got == 0) return true;
    DWORD written = 0;
    if (!WriteFile(to, buffer.data(), DWORD(got), &written, nullptr) || written != DWORD(got)) return false;
  }
}

HANDLE OpenToRead(const std::string& path) {
  // The server may hold the table open for writing beside us.
  return CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool CopyFlushed(const std::string& from, const std::string& to) {
  HANDLE source = OpenToRead(from);
  if (source == INVALID_HANDLE_VALUE) return false;
  HANDLE target = CreateFileA(to.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  bool ok = target != INVALID_HANDLE_VALUE && CopyBytes(source, target) && FlushFileBuffers(target);
  if (target != INVALID_HANDLE_VALUE && !CloseHandle(target)) ok = false;
  CloseHandle(source);
  return ok;
}

bool SameBytes(const std::string& a, const std::string& b) {
  HANDLE first = OpenToRead(a), second = OpenToRead(b);
  bool same = first != INVALID_HANDLE_VALUE && second != INVALID_HANDLE_VALUE;
  std::vector<char> x(kChunk), y(kChunk);
  while (same) {
    long gotX = ReadChunk(first, x.data(), kChunk), gotY = ReadChunk(second, y.data(), kChunk);
    same = gotX >= 0 && gotX == gotY && std::equal(x.begin(), x.begin() + gotX, y.begin());
    if (gotX <= 0) break;
  }
  if (first != INVALID_HANDLE_VALUE) CloseHandle(first);
  if (second != INVALID_HANDLE_VALUE) CloseHandle(second);
  return same;
}

}  // namespace

TableSwap::TableSwap(const char* live, const char* converted, const char* suffix) {
  Plan(live, converted, suffix, true);
}

TableSwap::TableSwap(const char* oldTable, const char* newTable) { Plan(oldTable, newTable, "_old.dbf", false); }

void TableSwap::Plan(const char* replaced, const char* replacement, const char* suffix, bool indexes) {
  replaced_ = replaced;
  replacement_ = replacement;
  if (!BackupName(replaced, suffix, &backup_)) {
    error_ = FillPlaceholders(LoadResString(IDS_NO_BACKUP_NAME), replaced, nullptr);
    return;
  }
  if (!indexes) return;
  replacedIndex_ = IndexName(replaced);
  replacementIndex_ = IndexName(replacement);
  backupIndex_ = IndexName(backup_.c_str());
}

bool TableSwap::Refused() {
  const std::string* tables[] = {&replaced_, &replacement_, &backup_};
  for (int i = 0; i < 3; ++i)
    for (int j = i + 1; j < 3; ++j)
      if (FileIdentity(tables[i]->c_str()) == FileIdentity(tables[j]->c_str())) {
        error_ = FillPlaceholders(LoadResString(IDS_ONE_FILE), tables[i]->c_str(), tables[j]->c_str());
        return true;
      }
  if (Exists(replacedIndex_) && !Exists(replacementIndex_)) {
    error_ = FillPlaceholders(LoadResString(IDS_NO_CONVERTED_INDEX), replaced_.c_str(), replacement_.c_str());
    return true;
  }
  return false;
}

bool TableSwap::Run() {
  if (!error_.empty() || Refused()) return false;
  std::vector<Copy> backups = {{replaced_, backup_}};
  std::vector<Copy> replacements = {{replacement_, replaced_}};
  if (Exists(replacedIndex_)) backups.push_back({replacedIndex_, backupIndex_});
  if (!replacedIndex_.empty() && Exists(replacementIndex_)) replacements.push_back({replacementIndex_, replacedIndex_});

  for (const Copy& c : backups)
    if (!Stage(c) || !Place(c)) return Fail(c, IDS_NOT_CHANGED, replaced_, "");
  for (size_t i = 0; i < replacements.size(); ++i) {
    if (Stage(replacements[i])) continue;
    for (size_t j = 0; j < i; ++j) DeleteFileA(Temporary(replacements[j].to).c_str());
    return Fail(replacements[i], IDS_NOT_CHANGED_COPY_IN, replaced_, backup_);
  }
  // Both copies are ready; the table and then its index take their places.
  for (size_t i = 0; i < replacements.size(); ++i) {
    if (Place(replacements[i])) continue;
    for (size_t j = i + 1; j < replacements.size(); ++j) DeleteFileA(Temporary(replacements[j].to).c_str());
    return Fail(replacements[i], i == 0 ? IDS_NOT_CHANGED_COPY_IN : IDS_RESTORE_FROM, replaced_, backup_);
  }
  return true;
}

bool TableSwap::Stage(const Copy& c) {
  std::string temp = Temporary(c.to);
  if (CopyFlushed(c.from, temp) && SameBytes(c.from, temp)) return true;
  DeleteFileA(temp.c_str());
  return false;
}

bool TableSwap::Place(const Copy& c) {
  std::string temp = Temporary(c.to);
  if (!MoveFileExA(temp.c_str(), c.to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    DeleteFileA(temp.c_str());
    return false;
  }
  copied_.push_back({c.from, c.to});
  return true;
}

bool TableSwap::Fail(const Copy& c, unsigned after, const std::string& arg1, const std::string& arg2) {
  error_ = FillPlaceholders(LoadResString(IDS_NOT_COPIED), c.from.c_str(), c.to.c_str()) + "\n" +
           FillPlaceholders(LoadResString(after), arg1.c_str(), arg2.c_str());
  return false;
}
