#include "vmconvert/WriteLog.h"

class LoggedFile : public xb::File {
 public:
  LoggedFile(WriteLog* log, std::unique_ptr<xb::File> base, size_t file)
      : log_(log), base_(std::move(base)), file_(file) {}

  bool ReadAt(uint64_t offset, void* buffer, size_t n, size_t* got) override {
    return base_->ReadAt(offset, buffer, n, got);
  }
  bool WriteAt(uint64_t offset, const void* buffer, size_t n) override {
    if (!log_->Record(file_, offset, buffer, n)) return true;
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
  size_t file_;  // the log's index of this file's path
};

std::unique_ptr<xb::File> WriteLog::Wrap(std::unique_ptr<xb::File> file, const char* path) {
  if (!file) return nullptr;
  std::lock_guard<std::mutex> lock(mutex_);
  paths_.push_back(path);
  return std::unique_ptr<xb::File>(new LoggedFile(this, std::move(file), paths_.size() - 1));
}

std::unique_ptr<xb::File> WriteLog::Open(const char* path) { return Wrap(base_->Open(path), path); }

std::unique_ptr<xb::File> WriteLog::OpenReadOnly(const char* path) { return Wrap(base_->OpenReadOnly(path), path); }

std::unique_ptr<xb::File> WriteLog::Create(const char* path) {
  // The jobs never create tables; a dry run must not either.
  if (!passThrough_) return nullptr;
  return Wrap(base_->Create(path), path);
}

bool WriteLog::Remove(const char* path) { return passThrough_ ? base_->Remove(path) : false; }

bool WriteLog::Replace(const char* from, const char* to) { return passThrough_ && base_->Replace(from, to); }

WriteLog::Write WriteLog::At(size_t i) const {
  const Entry& e = entries_[i];
  return Write{paths_[e.file], e.offset, std::string_view(bytes_).substr(e.from, e.size)};
}

bool WriteLog::Record(size_t file, uint64_t offset, const void* bytes, size_t n) {
  std::lock_guard<std::mutex> lock(mutex_);
  entries_.push_back(Entry{file, offset, bytes_.size(), n});
  bytes_.append(static_cast<const char*>(bytes), n);
  return passThrough_;
}
