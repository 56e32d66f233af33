#include "tests/support/fault_file_system.h"

class FaultFile : public xb::File {
 public:
  FaultFile(FaultFileSystem* fs, std::unique_ptr<xb::File> base, const char* path)
      : fs_(fs), base_(std::move(base)), path_(path) {}

  bool ReadAt(uint64_t offset, void* buffer, size_t n, size_t* got) override {
    const FaultFileSystem::Range& bad = fs_->unreadable;
    if (path_ == bad.path && offset < bad.to && offset + n > bad.from) return false;
    if (!fs_->NextReadFails()) return base_->ReadAt(offset, buffer, n, got);
    if (!fs_->shortReads) return false;
    return base_->ReadAt(offset, buffer, n / 2, got);
  }
  bool WriteAt(uint64_t offset, const void* buffer, size_t n) override {
    fs_->log.push_back({path_, offset, n});
    if (!fs_->NextWriteFails()) return base_->WriteAt(offset, buffer, n);
    if (fs_->failHalfWay) base_->WriteAt(offset, buffer, n / 2);
    return false;
  }
  bool Size(uint64_t* size) override { return base_->Size(size); }
  bool Truncate(uint64_t size) override { return base_->Truncate(size); }
  bool Sync() override {
    ++fs_->syncs;
    return base_->Sync();
  }
  bool TryLock(uint64_t offset, uint64_t length) override { return base_->TryLock(offset, length); }
  bool TryLockShared(uint64_t offset, uint64_t length) override { return base_->TryLockShared(offset, length); }
  bool Unlock(uint64_t offset, uint64_t length) override { return base_->Unlock(offset, length); }

 private:
  FaultFileSystem* fs_;
  std::unique_ptr<xb::File> base_;
  std::string path_;
};

std::unique_ptr<xb::File> FaultFileSystem::Open(const char* path) {
  if (refuseWriteAccess) return nullptr;
  std::unique_ptr<xb::File> f = base_->Open(path);
  return f ? std::unique_ptr<xb::File>(new FaultFile(this, std::move(f), path)) : nullptr;
}

std::unique_ptr<xb::File> FaultFileSystem::OpenReadOnly(const char* path) {
  std::unique_ptr<xb::File> f = base_->OpenReadOnly(path);
  return f ? std::unique_ptr<xb::File>(new FaultFile(this, std::move(f), path)) : nullptr;
}

std::unique_ptr<xb::File> FaultFileSystem::Create(const char* path) {
  std::unique_ptr<xb::File> f = base_->Create(path);
  return f ? std::unique_ptr<xb::File>(new FaultFile(this, std::move(f), path)) : nullptr;
}

bool FaultFileSystem::NextWriteFails() {
  ++writes;
  if (writesBeforeFailure < 0) return false;
  if (writesBeforeFailure == 0) return true;
  --writesBeforeFailure;
  return false;
}

bool FaultFileSystem::NextReadFails() {
  if (readsBeforeFailure < 0) return false;
  if (readsBeforeFailure == 0) return true;
  --readsBeforeFailure;
  return false;
}
