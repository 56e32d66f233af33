// FileWrapper and FileSystemWrapper: a File and a FileSystem that hand every
// call to another one. A layer that changes a few calls (faults, counting,
// writes swallowed) derives from them and overrides only those; a
// FileSystemWrapper wraps each file it opens with WrapFile.
#ifndef ENGINE_FILE_WRAPPER_H_
#define ENGINE_FILE_WRAPPER_H_

#include <memory>
#include <utility>

#include "engine/file_system.h"

namespace xb {

class FileWrapper : public File {
 public:
  explicit FileWrapper(std::unique_ptr<File> base) : base_(std::move(base)) {}

  bool ReadAt(uint64_t offset, void* buffer, size_t n, size_t* got) override {
    return base_->ReadAt(offset, buffer, n, got);
  }
  bool WriteAt(uint64_t offset, const void* buffer, size_t n) override { return base_->WriteAt(offset, buffer, n); }
  bool Size(uint64_t* size) override { return base_->Size(size); }
  bool Truncate(uint64_t size) override { return base_->Truncate(size); }
  bool Sync() override { return base_->Sync(); }
  bool TryLock(uint64_t offset, uint64_t length) override { return base_->TryLock(offset, length); }
  bool TryLockShared(uint64_t offset, uint64_t length) override { return base_->TryLockShared(offset, length); }
  bool Unlock(uint64_t offset, uint64_t length) override { return base_->Unlock(offset, length); }

 protected:
  File* base() const { return base_.get(); }

 private:
  std::unique_ptr<File> base_;
};

class FileSystemWrapper : public FileSystem {
 public:
  // base is not owned; by default the operating system's.
  explicit FileSystemWrapper(FileSystem* base = FileSystem::Default()) : base_(base) {}

  std::unique_ptr<File> Open(const char* path) override { return Wrapped(base_->Open(path), path); }
  std::unique_ptr<File> OpenReadOnly(const char* path) override {
    return Wrapped(base_->OpenReadOnly(path), path);
  }
  std::unique_ptr<File> Create(const char* path) override { return Wrapped(base_->Create(path), path); }
  std::unique_ptr<File> CreateNew(const char* path) override { return Wrapped(base_->CreateNew(path), path); }
  bool OpenNowhereElse(const char* path) override { return base_->OpenNowhereElse(path); }
  bool Remove(const char* path) override { return base_->Remove(path); }
  bool Replace(const char* from, const char* to) override { return base_->Replace(from, to); }
  bool Exists(const char* path) override { return base_->Exists(path); }
  bool FileSize(const char* path, uint64_t* size) override { return base_->FileSize(path, size); }
  bool MakeFolder(const char* path) override { return base_->MakeFolder(path); }
  bool List(const char* folder, const char* suffix, std::vector<std::string>* names) override {
    return base_->List(folder, suffix, names);
  }
  std::string Identity(const char* path) override { return base_->Identity(path); }
  bool FreeBytes(const char* path, uint64_t* bytes) override { return base_->FreeBytes(path, bytes); }
  Date Today() override { return base_->Today(); }
  void Pause(unsigned milliseconds) override { base_->Pause(milliseconds); }

 protected:
  FileSystem* base() const { return base_; }
  // The file this layer hands out for file, opened at path; by default
  // file itself.
  virtual std::unique_ptr<File> WrapFile(std::unique_ptr<File> file, const char*) { return file; }

 private:
  std::unique_ptr<File> Wrapped(std::unique_ptr<File> file, const char* path) {
    return file ? WrapFile(std::move(file), path) : nullptr;
  }

  FileSystem* base_;
};

}  // namespace xb

#endif  // ENGINE_FILE_WRAPPER_H_
