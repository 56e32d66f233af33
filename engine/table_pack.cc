// Table::Pack: the packed table is written beside the file and put in its
// place in one step, alone.
#include "engine/table.h"

#include <cstring>

namespace xb {

bool Table::Pack() {
  if (!file_ || readOnly_) return false;
  WritePending();
  if (Pending()) return false;
  bool tookLock = !locked_;
  if (!Lock()) return false;
  // Only a table no other handle has open may be replaced: take the whole
  // open range, which every other handle shares.
  file_->Unlock(kOpenOffset, kLockLength);
  bool alone = file_->TryLock(kOpenOffset, kLockLength);
  std::string temp = path_ + ".pack";
  bool built = alone && RefreshCount() && WritePacked(temp.c_str());
  if (!built) {
    fs_->Remove(temp.c_str());
    if (alone) file_->Unlock(kOpenOffset, kLockLength);
    file_->TryLockShared(kOpenOffset, kLockLength);
    if (tookLock) Unlock();
    return false;
  }
  // Our handle goes first: the replace needs the file closed everywhere.
  // A program other than ours that holds it open (its writes would go on
  // into the old file) is seen where the system can tell: then the file
  // stays as it is.
  file_.reset();
  locked_ = false;
  bool replaced = fs_->OpenNowhereElse(path_.c_str()) && fs_->Replace(temp.c_str(), path_.c_str());
  if (!replaced) fs_->Remove(temp.c_str());
  if (!Reopen()) return false;
  if (!tookLock) Lock();
  return replaced;
}

// The header and descriptors as found with the new count and today's
// date, the live records in their order, the end marker; then synced.
bool Table::WritePacked(const char* temp) {
  std::unique_ptr<File> out = fs_->CreateFresh(temp);
  if (!out) return false;
  std::vector<uint8_t> head(headerLength_);
  size_t got = 0;
  if (!file_->ReadAt(0, head.data(), head.size(), &got) || got != head.size()) return false;
  std::vector<uint8_t> rec(recordLength_);
  uint32_t kept = 0;
  for (uint32_t r = 1; r <= count_; ++r) {
    if (!file_->ReadAt(RecordOffset(r), rec.data(), rec.size(), &got) || got != rec.size()) return false;
    if (rec[0] == dbf::kDeletedFlag) continue;
    if (!out->WriteAt(RecordOffset(++kept), rec.data(), rec.size())) return false;
  }
  const uint8_t end = dbf::kEndMarker;
  dbf::StampDate(head.data(), fs_->Today());
  dbf::Put32(&head[dbf::kRecordCount], kept);
  return out->WriteAt(RecordOffset(kept + 1), &end, 1) && out->WriteAt(0, head.data(), head.size()) &&
         out->Sync();
}

// The structure is the one already known (fields keep their addresses);
// only the header and the count are read again.
bool Table::Reopen() {
  file_ = OpenShared(fs_, path_.c_str(), &readOnly_);
  if (!file_) return false;
  size_t got = 0;
  if (!file_->ReadAt(0, header_, sizeof header_, &got) || got != sizeof header_ || !RefreshCount()) {
    file_.reset();
    return false;
  }
  dateTouched_ = true;
  Load(count_ ? 1 : count_ + 1);
  return true;
}

}  // namespace xb
