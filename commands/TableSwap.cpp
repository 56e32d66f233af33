#include "commands/TableSwap.h"

#include <windows.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "commands/PathNames.h"
#include "engine/file_system.h"
#include "messages/ResourceString.h"
#include "messages/StringIds.h"

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

std::string TableSwap::Check(xb::FileSystem& fs) {
  fs_ = &fs;
  if (!error_.empty() || Refused()) return error_;
  std::string refusal = BackupRefusal(backup_);
  if (refusal.empty() && Exists(replacedIndex_)) refusal = BackupRefusal(backupIndex_);
  return refusal.empty() ? RoomRefusal() : refusal;
}

uint64_t TableSwap::Size(const std::string& path) const {
  uint64_t size = 0;
  return !path.empty() && fs_->FileSize(path.c_str(), &size) ? size : 0;
}

// Every copy is staged beside the table it replaces before the first is
// placed, so the disk holding the replaced table needs room for all of
// them at once: the backups of the table and its index, and the converted
// table and its index.
uint64_t TableSwap::BytesNeeded() const {
  uint64_t bytes = Size(replaced_) + Size(replacement_) + Size(replacedIndex_);
  return bytes + (replacedIndex_.empty() ? 0 : Size(replacementIndex_));
}

std::string TableSwap::RoomRefusal() const {
  uint64_t free = 0, needed = BytesNeeded();
  if (!fs_->FreeBytes(replaced_.c_str(), &free) || free >= needed) return std::string();
  return FillPlaceholders(LoadResString(IDS_NO_ROOM_FOR_SWAP), FolderOf(replaced_).c_str(),
                          (std::to_string(needed) + " bytes, but only " + std::to_string(free)).c_str());
}

std::string TableSwap::BackupRefusal(const std::string& to) const {
  DWORD attributes = GetFileAttributesA(to.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
    return FillPlaceholders(LoadResString(IDS_BACKUP_NOT_WRITABLE), to.c_str(), SystemReason(ERROR_ACCESS_DENIED).c_str());
  std::string probe = StagingName(to);
  if (fs_->CreateFresh(probe.c_str())) {
    fs_->Remove(probe.c_str());
    return std::string();
  }
  return FillPlaceholders(LoadResString(IDS_BACKUP_NOT_WRITABLE), to.c_str(), SystemReason(GetLastError()).c_str());
}

std::vector<std::pair<std::string, std::string>> TableSwap::Tables() const {
  std::vector<std::pair<std::string, std::string>> files = {
      {indexes_ ? "the live table" : "the old personal table", replaced_},
      {indexes_ ? "the target table" : "the new personal table", replacement_},
      {"the swap's backup", backup_},
      {"the live table's index", replacedIndex_},
      {"the target table's index", replacementIndex_},
      {"the swap's backup index", backupIndex_}};
  files.erase(std::remove_if(files.begin(), files.end(), [](const auto& f) { return f.second.empty(); }), files.end());
  return files;
}

std::vector<std::string> TableSwap::Replaced() const {
  std::vector<std::string> files = {replaced_};
  if (!replacedIndex_.empty()) files.push_back(replacedIndex_);
  return files;
}

std::vector<std::pair<std::string, std::string>> TableSwap::Files() const {
  std::vector<std::pair<std::string, std::string>> files = Tables();
  for (const std::string* written : {&replaced_, &backup_, &replacedIndex_, &backupIndex_})
    if (!written->empty()) files.push_back({"a staging copy of the swap", StagingName(*written)});
  return files;
}

bool TableSwap::Run(xb::FileSystem& fs) {
  fs_ = &fs;
  if (!error_.empty() || Refused()) return false;
  std::string noRoom = RoomRefusal();
  if (!noRoom.empty()) return error_ = noRoom, false;
  std::vector<Copy> backups = {{replaced_, backup_}};
  std::vector<Copy> replacements = {{replacement_, replaced_}};
  if (Exists(replacedIndex_)) backups.push_back({replacedIndex_, backupIndex_});
  if (!replacedIndex_.empty() && Exists(replacementIndex_)) replacements.push_back({replacementIndex_, replacedIndex_});

  const std::string stamp = "-" + LocalStamp();
  for (const Copy& c : backups) {
    FileDigest staged;
    if (!KeepOlderBackup(c, stamp) || !StageCopy(*fs_, c.from, c.to, &staged, &reason_) || !Place(c, staged))
      return Fail(c, IDS_NOT_CHANGED, replaced_, "");
  }
  std::vector<FileDigest> staged(replacements.size());
  for (size_t i = 0; i < replacements.size(); ++i) {
    if (StageCopy(*fs_, replacements[i].from, replacements[i].to, &staged[i], &reason_)) continue;
    for (size_t j = 0; j < i; ++j) fs_->Remove(StagingName(replacements[j].to).c_str());
    return Fail(replacements[i], IDS_NOT_CHANGED_COPY_IN, replaced_, backup_);
  }
  // Both copies are ready; the table and then its index take their places.
  for (size_t i = 0; i < replacements.size(); ++i) {
    if (Place(replacements[i], staged[i])) continue;
    for (size_t j = i + 1; j < replacements.size(); ++j) fs_->Remove(StagingName(replacements[j].to).c_str());
    return Fail(replacements[i], i == 0 ? IDS_NOT_CHANGED_COPY_IN : IDS_RESTORE_FROM, replaced_, backup_);
  }
  return true;
}

bool TableSwap::KeepOlderBackup(const Copy& c, const std::string& stamp) {
  if (!Exists(c.to) || SameBytes(*fs_, c.from, c.to)) return true;
  std::string kept = DatedName(*fs_, c.to, stamp);
  FileDigest digest;
  if (journal_ && !DigestFile(*fs_, c.to, &digest)) return false;
  if (journal_ && !journal_->Keeping(c.to, kept, digest)) return !(journalFailed_ = true);
  if (!fs_->Replace(c.to.c_str(), kept.c_str())) {
    reason_ = xb::LastFileError();
    return false;
  }
  kept_.push_back({c.to, kept});
  return true;
}

bool TableSwap::Place(const Copy& c, const FileDigest& placed) {
  if (journal_ && !journal_->Copying(c.from, c.to, placed)) {
    journalFailed_ = true;
    fs_->Remove(StagingName(c.to).c_str());
    return false;
  }
  if (!PlaceCopy(*fs_, c.to, &reason_)) return false;
  copied_.push_back({c.from, c.to});
  return true;
}

bool TableSwap::Fail(const Copy& c, unsigned after, const std::string& arg1, const std::string& arg2) {
  error_ = FillPlaceholders(LoadResString(IDS_NOT_COPIED), c.from.c_str(), c.to.c_str()) + "\n" +
           (journalFailed_ ? "Its journal line could not be written, so it was not made.\n"
            : reason_.empty() ? "" : reason_ + "\n") +
           FillPlaceholders(LoadResString(after), arg1.c_str(), arg2.c_str());
  return false;
}
