#include "vmconvert/TestHooks.h"

#ifdef VMCONVERT_TEST_HOOKS
#include <windows.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "engine/file_wrapper.h"

namespace {

// What the environment asks of the target's file.
struct Faults {
  uint64_t unreadableFrom = 0, unreadableTo = 0;
  long writesBeforeKill = -1;  // the process ends before the next write once 0
};

class FaultyTarget : public xb::FileSystemWrapper {
 public:
  FaultyTarget(xb::FileSystem* base, const char* target, Faults faults)
      : FileSystemWrapper(base), target_(target), faults_(faults) {}

 private:
  class File : public xb::FileWrapper {
   public:
    File(std::unique_ptr<xb::File> base, Faults* faults) : FileWrapper(std::move(base)), faults_(faults) {}
    bool ReadAt(uint64_t offset, void* buffer, size_t n, size_t* got) override {
      if (offset < faults_->unreadableTo && offset + n > faults_->unreadableFrom) {
        SetLastError(ERROR_LOCK_VIOLATION);
        return false;
      }
      return FileWrapper::ReadAt(offset, buffer, n, got);
    }
    bool WriteAt(uint64_t offset, const void* buffer, size_t n) override {
      // As a kill at that moment would: nothing after runs, nothing is
      // flushed or closed.
      if (faults_->writesBeforeKill == 0) TerminateProcess(GetCurrentProcess(), 9);
      if (faults_->writesBeforeKill > 0) --faults_->writesBeforeKill;
      return FileWrapper::WriteAt(offset, buffer, n);
    }

   private:
    Faults* faults_;
  };

  std::unique_ptr<xb::File> WrapFile(std::unique_ptr<xb::File> file, const char* path) override {
    if (target_ != path) return file;
    return std::unique_ptr<xb::File>(new File(std::move(file), &faults_));
  }

  std::string target_;
  Faults faults_;
};

}  // namespace

xb::FileSystem* TestHooks::FileLayer(xb::FileSystem* base, const char* target) {
  const char* range = std::getenv("VMCONVERT_UNREADABLE");
  const char* kill = std::getenv("VMCONVERT_KILL_AFTER_WRITES");
  if (!range && !kill) return base;
  Faults faults;
  if (range) {
    char* colon = nullptr;
    faults.unreadableFrom = std::strtoull(range, &colon, 10);
    faults.unreadableTo = colon && *colon == ':' ? std::strtoull(colon + 1, nullptr, 10) : faults.unreadableFrom;
  }
  if (kill) faults.writesBeforeKill = std::atol(kill);
  static FaultyTarget layer(base, target, faults);
  return &layer;
}

#else

xb::FileSystem* TestHooks::FileLayer(xb::FileSystem* base, const char*) { return base; }

#endif
