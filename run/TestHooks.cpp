#include "run/TestHooks.h"

#ifdef VMCONVERT_TEST_HOOKS
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <memory>

#include "commands/PathNames.h"
#include "engine/file_wrapper.h"

namespace {

// A count from the environment; -1 when it is not set.
long Count(const char* name) {
  const char* value = std::getenv(name);
  return value ? std::atol(value) : -1;
}

// As a kill at that moment would: nothing after runs, nothing is flushed
// or closed.
void Kill() { TerminateProcess(GetCurrentProcess(), 9); }

bool IsJournal(const char* path) {
  size_t n = std::strlen(path);
  return n >= 6 && _stricmp(path + n - 6, ".jsonl") == 0;
}

class FaultyFiles : public xb::FileSystemWrapper, public RunProbe {
 public:
  FaultyFiles() {
    const char* range = std::getenv("VMCONVERT_UNREADABLE");
    if (range) {
      char* colon = nullptr;
      unreadableFrom_ = std::strtoull(range, &colon, 10);
      unreadableTo_ = colon && *colon == ':' ? std::strtoull(colon + 1, nullptr, 10) : unreadableFrom_;
    }
    targetWritesBeforeKill_ = Count("VMCONVERT_KILL_AFTER_WRITES");
    changesBeforeKill_ = Count("VMCONVERT_KILL_IN_SWAP");
    journalWritesBeforeFailure_ = Count("VMCONVERT_JOURNAL_FAILS_AFTER");
    long free = Count("VMCONVERT_FREE_BYTES");
    diskLimited_ = free >= 0;
    free_ = diskLimited_ ? uint64_t(free) : 0;
  }

  void Aim(const std::string& target) override { target_ = FileIdentity(target.c_str()); }
  void SwapBegins() override { swapping_ = true; }

  std::unique_ptr<xb::File> Create(const char* path) override {
    Changing();
    GiveBack(path);
    return FileSystemWrapper::Create(path);
  }
  std::unique_ptr<xb::File> CreateNew(const char* path) override {
    Changing();
    return FileSystemWrapper::CreateNew(path);
  }
  bool Remove(const char* path) override {
    Changing();
    uint64_t size = SizeOf(path);
    bool removed = FileSystemWrapper::Remove(path);
    if (removed) free_ += size;
    return removed;
  }
  bool Replace(const char* from, const char* to) override {
    Changing();
    uint64_t size = SizeOf(to);
    bool replaced = FileSystemWrapper::Replace(from, to);
    if (replaced) free_ += size;
    return replaced;
  }
  bool FreeBytes(const char* path, uint64_t* bytes) override {
    if (!diskLimited_) return FileSystemWrapper::FreeBytes(path, bytes);
    *bytes = free_;
    return true;
  }

 private:
  enum class Role { kOther, kTarget, kJournal };

  class File : public xb::FileWrapper {
   public:
    File(std::unique_ptr<xb::File> base, FaultyFiles* layer, Role role)
        : FileWrapper(std::move(base)), layer_(layer), role_(role) {}
    bool ReadAt(uint64_t offset, void* buffer, size_t n, size_t* got) override {
      if (role_ == Role::kTarget && offset < layer_->unreadableTo_ && offset + n > layer_->unreadableFrom_) {
        SetLastError(ERROR_LOCK_VIOLATION);
        return false;
      }
      return FileWrapper::ReadAt(offset, buffer, n, got);
    }
    bool WriteAt(uint64_t offset, const void* buffer, size_t n) override {
      layer_->Changing();
      if (role_ == Role::kTarget && Due(&layer_->targetWritesBeforeKill_)) Kill();
      if (role_ == Role::kJournal && Due(&layer_->journalWritesBeforeFailure_)) {
        layer_->journalWritesBeforeFailure_ = 0;  // and every write after
        return DiskFull();
      }
      uint64_t size = 0, end = offset + n;
      if (layer_->diskLimited_ && FileWrapper::Size(&size) && end > size) {
        if (end - size > layer_->free_) return DiskFull();
        layer_->free_ -= end - size;
      }
      return FileWrapper::WriteAt(offset, buffer, n);
    }
    bool Truncate(uint64_t size) override {
      layer_->Changing();
      uint64_t was = 0;
      if (layer_->diskLimited_ && FileWrapper::Size(&was) && size < was) layer_->free_ += was - size;
      return FileWrapper::Truncate(size);
    }

   private:
    static bool DiskFull() {
      SetLastError(ERROR_DISK_FULL);
      return false;
    }

    FaultyFiles* layer_;
    Role role_;
  };

  // True when a countdown has run out; counts one down otherwise.
  static bool Due(long* countdown) {
    if (*countdown == 0) return true;
    if (*countdown > 0) --*countdown;
    return false;
  }

  void Changing() {
    if (swapping_ && Due(&changesBeforeKill_)) Kill();
  }

  uint64_t SizeOf(const char* path) {
    uint64_t size = 0;
    return base()->FileSize(path, &size) ? size : 0;
  }

  // A file about to be emptied gives its room back.
  void GiveBack(const char* path) {
    if (diskLimited_) free_ += SizeOf(path);
  }

  std::unique_ptr<xb::File> WrapFile(std::unique_ptr<xb::File> file, const char* path) override {
    Role role = IsJournal(path) ? Role::kJournal : FileIdentity(path) == target_ ? Role::kTarget : Role::kOther;
    return std::unique_ptr<xb::File>(new File(std::move(file), this, role));
  }

  std::string target_;  // FileIdentity of the run's target
  uint64_t unreadableFrom_ = 0, unreadableTo_ = 0;
  long targetWritesBeforeKill_ = -1, changesBeforeKill_ = -1, journalWritesBeforeFailure_ = -1;
  bool diskLimited_ = false;
  uint64_t free_ = 0;  // the bytes the disk has left, when diskLimited_
  bool swapping_ = false;
};

FaultyFiles& Layer() {
  static FaultyFiles layer;
  return layer;
}

}  // namespace

xb::FileSystem* TestHooks::Files() { return &Layer(); }
RunProbe* TestHooks::Probe() { return &Layer(); }

#else

xb::FileSystem* TestHooks::Files() { return xb::FileSystem::Default(); }
RunProbe* TestHooks::Probe() { return nullptr; }

#endif
