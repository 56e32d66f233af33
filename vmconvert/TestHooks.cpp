#include "vmconvert/TestHooks.h"

#ifdef VMCONVERT_TEST_HOOKS
#include <windows.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "engine/file_wrapper.h"

namespace {

class UnreadableRange : public xb::FileSystemWrapper {
 public:
  UnreadableRange(xb::FileSystem* base, const char* target, uint64_t from, uint64_t to)
      : FileSystemWrapper(base), target_(target), from_(from), to_(to) {}

 private:
  class File : public xb::FileWrapper {
   public:
    File(std::unique_ptr<xb::File> base, uint64_t from, uint64_t to) : FileWrapper(std::move(base)), from_(from), to_(to) {}
    bool ReadAt(uint64_t offset, void* buffer, size_t n, size_t* got) override {
      if (offset < to_ && offset + n > from_) {
        SetLastError(ERROR_LOCK_VIOLATION);
        return false;
      }
      return FileWrapper::ReadAt(offset, buffer, n, got);
    }

   private:
    uint64_t from_, to_;
  };

  std::unique_ptr<xb::File> WrapFile(std::unique_ptr<xb::File> file, const char* path) override {
    if (target_ != path) return file;
    return std::unique_ptr<xb::File>(new File(std::move(file), from_, to_));
  }

  std::string target_;
  uint64_t from_, to_;
};

}  // namespace

xb::FileSystem* TestHooks::FileLayer(xb::FileSystem* base, const char* target) {
  const char* range = std::getenv("VMCONVERT_UNREADABLE");
  if (!range) return base;
  char* colon = nullptr;
  uint64_t from = std::strtoull(range, &colon, 10);
  uint64_t to = colon && *colon == ':' ? std::strtoull(colon + 1, nullptr, 10) : from;
  static UnreadableRange layer(base, target, from, to);
  return &layer;
}

#else

xb::FileSystem* TestHooks::FileLayer(xb::FileSystem* base, const char*) { return base; }

#endif
