#include "commands/TableSwap.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

#include "commands/PathNames.h"
#include "db/EngineContext.h"
#include "messages/ResourceString.h"
#include "messages/StringIds.h"

namespace {

const size_t kChunk = 64 * 1024;

std::string Temporary(const std::string& target) { return target + ".swap"; }

// Reads up to size bytes at offset; the count read, or -1 on failure.
long ReadChunk(xb::File& file, uint64_t offset, char* buffer, size_t size) {
  size_t got = 0;
  return file.ReadAt(offset, buffer, size, &got) ? long(got) : -1;
}

bool CopyBytes(xb::File& from, xb::File& to) {
  std::vector<char> buffer(kChunk);
  for (uint64_t offset = 0;;) {
    long got = ReadChunk(from, offset, buffer.data(), kChunk);
    if (got < 0) return false;
    if (got == 0) return true;
    if (!to.WriteAt(offset, buffer.data(), size_t(got))) return false;
    offset += uint64_t(got);
  }
}

// The server may hold the table open for writing beside us: the source is
// opened shared, for reading only.
bool CopyFlushed(xb::FileSystem& fs, const std::string& from, const std::string& to) {
  std::unique_ptr<xb::File> source = fs.OpenReadOnly(from.c_str());
  if (!source) return false;
  std::unique_ptr<xb::File> target = fs.Create(to.c_str());
  return target && CopyBytes(*source, *target) && target->Sync();
}

bool SameBytes(xb::FileSystem& fs, const std::string& a, const std::string& b) {
  std::unique_ptr<xb::File> first = fs.OpenReadOnly(a.c_str()), second = fs.OpenReadOnly(b.c_str());
  if (!first || !second) return false;
  std::vector<char> x(kChunk), y(kChunk);
  for (uint64_t offset = 0;;) {
    long gotX = ReadChunk(*first, offset, x.data(), kChunk), gotY = ReadChunk(*second, offset, y.data(), kChunk);
    if (gotX < 0 || gotX != gotY || !std::equal(x.begin(), x.begin() + gotX, y.begin())) return false;
    if (gotX == 0) return true;
    offset += uint64_t(gotX);
  }
}

}  // namespace

TableSwap::TableSwap(const char* live, const char* converted, const char* suffix) {
  Plan(live, converted, suffix, true);
}

TableSwap::TableSwap(const char* oldTable, const char* newTable) { Plan(oldTable, newTable, "_old.dbf", false); }

void TableSwap::Plan(const char* replaced, const char* replacement, const char* suffix, bool indexes) {
  replaced_ = replaced;
  replacement_ = replacement;
  indexes_ = indexes;
  if (!BackupName(replaced, suffix, &backup_)) {
    error_ = FillPlaceholders(LoadResString(IDS_NO_BACKUP_NAME), replaced, nullptr);
    return;
  }
  if (!indexes) return;
  replacedIndex_ = IndexName(replaced);
  replacementIndex_ = IndexName(replacement);
  backupIndex_ = IndexName(backup_.c_str());
}

bool TableSwap::Exists(const std::string& path) const {
  return !path.empty() && fs_->OpenReadOnly(path.c_str()) != nullptr;
}

bool TableSwap::Refused() {
  const std::string* tables[] = {&replaced_, &replacement_, &backup_};
  for (int i = 0; i < 3; ++i)
    for (int j = i + 1; j < 3; ++j)
      if (OneFile(*fs_, *tables[i], *tables[j])) {
        error_ = FillPlaceholders(LoadResString(IDS_ONE_FILE), tables[i]->c_str(), tables[j]->c_str());
        return true;
      }
  if (Exists(replacedIndex_) && !Exists(replacementIndex_)) {
    error_ = FillPlaceholders(LoadResString(IDS_NO_CONVERTED_INDEX), replaced_.c_str(), replacement_.c_str());
    return true;
  }
  return false;
}

std::string TableSwap::Check() {
  fs_ = engineContext.fileSystem();
  if (!error_.empty() || Refused()) return error_;
  std::string refusal = BackupRefusal(backup_);
  if (refusal.empty() && Exists(replacedIndex_)) refusal = BackupRefusal(backupIndex_);
  return refusal;
}

std::string TableSwap::BackupRefusal(const std::string& to) const {
  DWORD attributes = GetFileAttributesA(to.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
    return FillPlaceholders(LoadResString(IDS_BACKUP_NOT_WRITABLE), to.c_str(), SystemReason(ERROR_ACCESS_DENIED).c_str());
  std::string probe = Temporary(to);
  if (fs_->Create(probe.c_str())) {
    fs_->Remove(probe.c_str());
    return std::string();
  }
  return FillPlaceholders(LoadResString(IDS_BACKUP_NOT_WRITABLE), to.c_str(), SystemReason(GetLastError()).c_str());
}

std::vector<std::pair<std::string, std::string>> TableSwap::Files() const {
  bool personal = !indexes_;
  std::vector<std::pair<std::string, std::string>> files = {
      {personal ? "the old personal table" : "the live table", replaced_},
      {personal ? "the new personal table" : "the target table", replacement_},
      {"the swap's backup", backup_},
      {"the live table's index", replacedIndex_},
      {"the target table's index", replacementIndex_},
      {"the swap's backup index", backupIndex_}};
  for (const std::string* written : {&replaced_, &backup_, &replacedIndex_, &backupIndex_})
    files.push_back({"a staging copy of the swap", written->empty() ? std::string() : Temporary(*written)});
  files.erase(std::remove_if(files.begin(), files.end(), [](const auto& f) { return f.second.empty(); }), files.end());
  return files;
}

bool TableSwap::Run() {
  fs_ = engineContext.fileSystem();
  if (!error_.empty() || Refused()) return false;
  std::vector<Copy> backups = {{replaced_, backup_}};
  std::vector<Copy> replacements = {{replacement_, replaced_}};
  if (Exists(replacedIndex_)) backups.push_back({replacedIndex_, backupIndex_});
  if (!replacedIndex_.empty() && Exists(replacementIndex_)) replacements.push_back({replacementIndex_, replacedIndex_});

  const std::string stamp = "-" + LocalStamp();
  for (const Copy& c : backups)
    if (!KeepOlderBackup(c, stamp) || !Stage(c) || !Place(c)) return Fail(c, IDS_NOT_CHANGED, replaced_, "");
  for (size_t i = 0; i < replacements.size(); ++i) {
    if (Stage(replacements[i])) continue;
    for (size_t j = 0; j < i; ++j) fs_->Remove(Temporary(replacements[j].to).c_str());
    return Fail(replacements[i], IDS_NOT_CHANGED_COPY_IN, replaced_, backup_);
  }
  // Both copies are ready; the table and then its index take their places.
  for (size_t i = 0; i < replacements.size(); ++i) {
    if (Place(replacements[i])) continue;
    for (size_t j = i + 1; j < replacements.size(); ++j) fs_->Remove(Temporary(replacements[j].to).c_str());
    return Fail(replacements[i], i == 0 ? IDS_NOT_CHANGED_COPY_IN : IDS_RESTORE_FROM, replaced_, backup_);
  }
  return true;
}

std::string TableSwap::KeptName(const std::string& backup, const std::string& stamp) const {
  size_t dot = backup.find_last_of(".\\/:");
  size_t at = dot != std::string::npos && backup[dot] == '.' ? dot : backup.size();
  std::string name = backup.substr(0, at) + stamp + backup.substr(at);
  for (int n = 2; Exists(name); ++n) name = backup.substr(0, at) + stamp + "-" + std::to_string(n) + backup.substr(at);
  return name;
}

bool TableSwap::KeepOlderBackup(const Copy& c, const std::string& stamp) {
  if (!Exists(c.to) || SameBytes(*fs_, c.from, c.to)) return true;
  std::string kept = KeptName(c.to, stamp);
  if (!fs_->Replace(c.to.c_str(), kept.c_str())) return false;
  kept_.push_back({c.to, kept});
  return true;
}

bool TableSwap::CopyWhole(const std::string& from, const std::string& to) {
  fs_ = engineContext.fileSystem();
  Copy c{from, to};
  return Stage(c) && Place(c);
}

bool TableSwap::Stage(const Copy& c) {
  std::string temp = Temporary(c.to);
  if (CopyFlushed(*fs_, c.from, temp) && SameBytes(*fs_, c.from, temp)) return true;
  fs_->Remove(temp.c_str());
  return false;
}

bool TableSwap::Place(const Copy& c) {
  std::string temp = Temporary(c.to);
  if (!fs_->Replace(temp.c_str(), c.to.c_str())) {
    fs_->Remove(temp.c_str());
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
