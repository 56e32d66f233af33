#include "tests/support/memory_file_system.h"

#include <algorithm>
#include <cctype>
#include <cstring>

class MemoryFileSystem::MemoryFile : public xb::File {
 public:
  MemoryFile(MemoryFileSystem* fs, Data data, bool writable) : fs_(fs), data_(std::move(data)), writable_(writable) {}

  bool ReadAt(uint64_t offset, void* buffer, size_t n, size_t* got) override {
    *got = offset >= data_->size() ? 0 : std::min<size_t>(n, data_->size() - size_t(offset));
    if (*got) std::memcpy(buffer, data_->data() + offset, *got);
    return true;
  }
  bool WriteAt(uint64_t offset, const void* buffer, size_t n) override {
    if (!writable_) return false;
    uint64_t end = offset + n;
    if (end > data_->size()) {
      if (end - data_->size() > fs_->free) return false;
      fs_->free -= end - data_->size();
      data_->resize(size_t(end), '\0');
    }
    std::memcpy(&(*data_)[size_t(offset)], buffer, n);
    return true;
  }
  bool Size(uint64_t* size) override {
    *size = data_->size();
    return true;
  }
  bool Truncate(uint64_t size) override {
    if (!writable_) return false;
    if (size > data_->size() && size - data_->size() > fs_->free) return false;
    fs_->free += data_->size();
    fs_->free -= size;
    data_->resize(size_t(size), '\0');
    return true;
  }
  bool Sync() override { return true; }
  bool TryLock(uint64_t, uint64_t) override { return true; }
  bool TryLockShared(uint64_t, uint64_t) override { return true; }
  bool Unlock(uint64_t, uint64_t) override { return true; }

 private:
  MemoryFileSystem* fs_;
  Data data_;
  bool writable_;
};

std::string MemoryFileSystem::Key(const std::string& path) {
  std::string key = path;
  for (char& c : key) c = c == '/' ? '\\' : char(std::tolower(static_cast<unsigned char>(c)));
  while (key.size() > 1 && key.back() == '\\') key.pop_back();
  return key;
}

std::unique_ptr<xb::File> MemoryFileSystem::Handle(const std::string& key, bool writable) {
  auto f = files_.find(key);
  if (f == files_.end()) return nullptr;
  return std::unique_ptr<xb::File>(new MemoryFile(this, f->second, writable));
}

std::unique_ptr<xb::File> MemoryFileSystem::Open(const char* path) { return Handle(Key(path), true); }
std::unique_ptr<xb::File> MemoryFileSystem::OpenReadOnly(const char* path) { return Handle(Key(path), false); }

std::unique_ptr<xb::File> MemoryFileSystem::Create(const char* path) {
  std::string key = Key(path);
  if (folders_.count(key)) return nullptr;
  auto f = files_.find(key);
  if (f != files_.end()) {
    free += f->second->size();
    f->second->clear();
  } else {
    files_[key] = std::make_shared<std::string>();
  }
  return Handle(key, true);
}

std::unique_ptr<xb::File> MemoryFileSystem::CreateNew(const char* path) {
  return Exists(path) ? nullptr : Create(path);
}

bool MemoryFileSystem::Remove(const char* path) {
  auto f = files_.find(Key(path));
  if (f == files_.end()) return true;
  free += f->second->size();
  files_.erase(f);
  return true;
}

bool MemoryFileSystem::Replace(const char* from, const char* to) {
  auto f = files_.find(Key(from));
  if (f == files_.end() || folders_.count(Key(to))) return false;
  Data data = f->second;
  files_.erase(f);
  Remove(to);
  files_[Key(to)] = data;
  return true;
}

bool MemoryFileSystem::Exists(const char* path) { return files_.count(Key(path)) || folders_.count(Key(path)); }

bool MemoryFileSystem::FileSize(const char* path, uint64_t* size) {
  auto f = files_.find(Key(path));
  if (f == files_.end()) return false;
  *size = f->second->size();
  return true;
}

bool MemoryFileSystem::MakeFolder(const char* path) {
  if (files_.count(Key(path))) return false;
  folders_.insert(Key(path));
  return true;
}

bool MemoryFileSystem::List(const char* folder, const char* suffix, std::vector<std::string>* names) {
  names->clear();
  std::string prefix = Key(folder) + "\\", end = Key(suffix);
  if (!folders_.count(Key(folder))) return false;
  for (const auto& f : files_) {
    const std::string& key = f.first;
    if (key.compare(0, prefix.size(), prefix) != 0 || key.find('\\', prefix.size()) != std::string::npos) continue;
    if (key.size() >= end.size() && key.compare(key.size() - end.size(), end.size(), end) == 0)
      names->push_back(key.substr(prefix.size()));
  }
  return true;
}

std::string MemoryFileSystem::Identity(const char* path) { return Exists(path) ? Key(path) : std::string(); }

bool MemoryFileSystem::FreeBytes(const char*, uint64_t* bytes) {
  *bytes = free;
  return true;
}

std::string MemoryFileSystem::Bytes(const std::string& path) const {
  auto f = files_.find(Key(path));
  return f == files_.end() ? std::string() : *f->second;
}

void MemoryFileSystem::Put(const std::string& path, const std::string& bytes) {
  files_[Key(path)] = std::make_shared<std::string>(bytes);
}
