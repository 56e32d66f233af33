// MemoryFileSystem: files and folders kept in memory, for in-process tests
// of what reads and writes through the file layer: every name is known by
// its path alone (letter case and separators aside), nothing is shared
// with another process, and the disk's room can be made as small as a
// test needs (free): a write that would take a file past its size takes
// room from it and fails, writing nothing, when there is too little.
#ifndef TESTS_SUPPORT_MEMORY_FILE_SYSTEM_H_
#define TESTS_SUPPORT_MEMORY_FILE_SYSTEM_H_

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "engine/file_system.h"

class MemoryFileSystem : public xb::FileSystem {
 public:
  std::unique_ptr<xb::File> Open(const char* path) override;
  std::unique_ptr<xb::File> OpenReadOnly(const char* path) override;
  bool OpenNowhereElse(const char*) override { return true; }
  std::unique_ptr<xb::File> Create(const char* path) override;
  std::unique_ptr<xb::File> CreateNew(const char* path) override;
  bool Remove(const char* path) override;
  bool Replace(const char* from, const char* to) override;
  bool Exists(const char* path) override;
  bool FileSize(const char* path, uint64_t* size) override;
  bool MakeFolder(const char* path) override;
  bool List(const char* folder, const char* suffix, std::vector<std::string>* names) override;
  std::string Identity(const char* path) override;
  bool FreeBytes(const char* path, uint64_t* bytes) override;
  xb::Date Today() override { return xb::Date{2026, 12, 8}; }
  void Pause(unsigned) override {}

  // The bytes of the file at path; empty when there is none.
  std::string Bytes(const std::string& path) const;
  void Put(const std::string& path, const std::string& bytes);

  uint64_t free = UINT64_MAX;  // the disk's room left, in bytes

 private:
  class MemoryFile;
  using Data = std::shared_ptr<std::string>;
  static std::string Key(const std::string& path);
  std::unique_ptr<xb::File> Handle(const std::string& key, bool writable);

  std::map<std::string, Data> files_;  // by Key
  std::set<std::string> folders_;      // by Key
};

#endif  // TESTS_SUPPORT_MEMORY_FILE_SYSTEM_H_
