#include "tests/support/fault_file_system.h"

class FaultFile : public xb::FileWrapper {
 public:
  FaultFile(FaultFileSystem* fs, std::unique_ptr<xb::File> base, const char* path)
      : FileWrapper(std::move(base)), fs_(fs), path_(path) {}

  bool ReadAt(uint64_t offset, void* buffer, size_t n, size_t* got) override {
    const FaultFileSystem::Range& bad = fs_->unreadable;
    ++fs_->reads;
    if (path_ == bad.path && offset < bad.to && offset + n > bad.from) return false;
    if (!fs_->NextReadFails()) return base()->ReadAt(offset, buffer, n, got);
    if (!fs_->shortReads) return false;
    return base()->ReadAt(offset, buffer, n / 2, got);
  }
  bool WriteAt(uint64_t offset, const void* buffer, size_t n) override {
    fs_->log.push_back({path_, offset, n});
    if (!fs_->NextWriteFails(path_)) return base()->WriteAt(offset, buffer, n);
    if (fs_->failHalfWay) base()->WriteAt(offset, buffer, n / 2);
    return false;
  }
  bool Sync() override {
    ++fs_->syncs;
    return !FaultFileSystem::Fails(&fs_->syncsBeforeFailure) && base()->Sync();
  }

 private:
  FaultFileSystem* fs_;
  std::string path_;
};

std::unique_ptr<xb::File> FaultFileSystem::Open(const char* path) {
  if (refuseWriteAccess) return nullptr;
  return FileSystemWrapper::Open(path);
}

std::unique_ptr<xb::File> FaultFileSystem::Create(const char* path) {
  ++creates;
  return Fails(&createsBeforeFailure) ? nullptr : FileSystemWrapper::Create(path);
}

std::unique_ptr<xb::File> FaultFileSystem::CreateNew(const char* path) {
  ++creates;
  return Fails(&createsBeforeFailure) ? nullptr : FileSystemWrapper::CreateNew(path);
}

bool FaultFileSystem::Replace(const char* from, const char* to) {
  ++replaces;
  return !failReplace && !Fails(&replacesBeforeFailure) && FileSystemWrapper::Replace(from, to);
}

bool FaultFileSystem::Fails(int* countdown) {
  if (*countdown < 0) return false;
  if (*countdown == 0) return true;
  --*countdown;
  return false;
}

std::unique_ptr<xb::File> FaultFileSystem::WrapFile(std::unique_ptr<xb::File> file, const char* path) {
  return std::unique_ptr<xb::File>(new FaultFile(this, std::move(file), path));
}

bool FaultFileSystem::NextWriteFails(const std::string& path) {
  ++writes;
  const std::string& only = writesFailIn;
  bool aimed = only.empty() || (path.size() >= only.size() && path.compare(path.size() - only.size(), only.size(), only) == 0);
  return aimed && Fails(&writesBeforeFailure);
}

bool FaultFileSystem::NextReadFails() { return Fails(&readsBeforeFailure); }
