// DryRunFileSystem: the operating system's file system with every change
// swallowed. Writes and truncations report success and never reach a file;
// nothing is created, removed or replaced. A dry run's job compares
// exactly as a real run does and changes nothing.
#ifndef RUN_DRYRUNFILESYSTEM_H_
#define RUN_DRYRUNFILESYSTEM_H_

#include <memory>

#include "engine/file_wrapper.h"

class DryRunFileSystem : public xb::FileSystemWrapper {
 public:
  using FileSystemWrapper::FileSystemWrapper;
  std::unique_ptr<xb::File> Create(const char*) override { return nullptr; }
  std::unique_ptr<xb::File> CreateNew(const char*) override { return nullptr; }
  bool MakeFolder(const char*) override { return false; }
  bool Remove(const char*) override { return false; }
  bool Replace(const char*, const char*) override { return false; }

 private:
  class File : public xb::FileWrapper {
   public:
    using FileWrapper::FileWrapper;
    bool WriteAt(uint64_t, const void*, size_t) override { return true; }
    bool Truncate(uint64_t) override { return true; }
  };

  std::unique_ptr<xb::File> WrapFile(std::unique_ptr<xb::File> file, const char*) override {
    return std::unique_ptr<xb::File>(new File(std::move(file)));
  }
};

#endif  // RUN_DRYRUNFILESYSTEM_H_
