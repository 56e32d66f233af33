#include "vmconvert/WriteLog.h"

class LoggedFile : public xb::File {
 public:
  LoggedFile(WriteLog* log, std::unique_ptr<xb::File> base, const char* path)
      : log_(log), base_(std::move(base)), path_(path) {}

  bool ReadAt(uint64_t offset, void* buffer, size_t n, size_t* got) override {
    return base_->ReadAt(offset, buffer, n, got);
  }
  bool WriteAt(uint64_t offset, const void* buffer, size_t n) override {
    if (!log_->Record(path_, offset, buffer, n)) return true;
    return base_->WriteAt(offset, buffer, n);
  }
  bool Size(uint64_t* size) override { return base_->Size(size); }
  bool Truncate(uint64_t size) override { return log_->passThrough_ ? base_->Truncate(size) : true; }
  bool Sync() override { return base_->Sync(); }
  bool TryLock(uint64_t offset, uint64_t length) override { return base_->TryLock(offset, length); }
  bool TryLockShared(uint64_t offset, uint64_t length) override { return base_->TryLockShared(offset, length); }
  bool Unlock(uint64_t offset, uint64_t length) override { return base_->Unlock(offset, length); }

 private:
  WriteLog* log_;
  std::unique_ptr<xb::File> base_;
  std::string path_;
};

std::unique_ptr<xb::File> WriteLog::Open(const char* path) {
  std::unique_ptr<xb::File> f = base_->Open(path);
  return f ? std::unique_ptr<xb::File>(new LoggedFile(this, std::move(f), path)) : nullptr;
}

std::unique_ptr<xb::File> WriteLog::OpenReadOnly(const char* path) {
  std::unique_ptr<xb::File> f = base_->OpenReadOnly(path);
  return f ? std::unique_ptr<xb::File>(new LoggedFile(this, std::move(f), path)) : nullptr;
}

std::unique_ptr<xb::File> WriteLog::Create(const char* path) {
  // The jobs never create tables; a dry run must not either.
  if (!passThrough_) return nullptr;
  std::unique_ptr<xb::File> f = base_->Create(path);
  return f ? std::unique_ptr<xb::File>(new LoggedFile(this, std::move(f), path)) : nullptr;
}

bool WriteLog::Remove(const char* path) { return passThrough_ ? base_->Remove(path) : false; }

bool WriteLog::Replace(const char* from, const char* to) { return passThrough_ && base_->Replace(from, to); }

std::vector<WriteLog::Write> WriteLog::Writes() {
  std::lock_guard<std::mutex> lock(mutex_);
  return writes_;
}

bool WriteLog::Record(const std::string& path, uint64_t offset, const void* bytes, size_t n) {
  std::lock_guard<std::mutex> lock(mutex_);
  writes_.push_back({path, offset, std::string(static_cast<const char*>(bytes), n)});
  return passThrough_;
}
