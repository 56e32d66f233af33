#include "vmconvert/TestHooks.h"

#ifdef VMCONVERT_TEST_HOOKS
#include <windows.h>

#include <cstdlib>
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

class FaultyFiles : public xb::FileSystemWrapper {
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
  }

  void Aim(const std::string& target, const std::string& journal) {
    target_ = FileIdentity(target.c_str());
    journal_ = journal.empty() ? std::string() : FileIdentity(journal.c_str());
  }
  void SwapBegins() { swapping_ = true; }

  std::unique_ptr<xb::File> Create(const char* path) override {
    Changing();
    return FileSystemWrapper::Create(path);
  }
  bool Remove(const char* path) override {
    Changing();
    return FileSystemWrapper::Remove(path);
  }
  bool Replace(const char* from, const char* to) override {
    Changing();
    return FileSystemWrapper::Replace(from, to);
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
        SetLastError(ERROR_DISK_FULL);
        return false;
      }
      return FileWrapper::WriteAt(offset, buffer, n);
    }
    bool Truncate(uint64_t size) override {
      layer_->Changing();
      return FileWrapper::Truncate(size);
    }

   private:
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

  std::unique_ptr<xb::File> WrapFile(std::unique_ptr<xb::File> file, const char* path) override {
    std::string id = FileIdentity(path);
    Role role = id == target_ ? Role::kTarget : !journal_.empty() && id == journal_ ? Role::kJournal : Role::kOther;
    return std::unique_ptr<xb::File>(new File(std::move(file), this, role));
  }

  std::string target_, journal_;  // FileIdentity of each
  uint64_t unreadableFrom_ = 0, unreadableTo_ = 0;
  long targetWritesBeforeKill_ = -1, changesBeforeKill_ = -1, journalWritesBeforeFailure_ = -1;
  bool swapping_ = false;
};

FaultyFiles& Layer() {
  static FaultyFiles layer;
  return layer;
}

}  // namespace

xb::FileSystem* TestHooks::Files() { return &Layer(); }
void TestHooks::Aim(const std::string& target, const std::string& journal) { Layer().Aim(target, journal); }
void TestHooks::SwapBegins() { Layer().SwapBegins(); }

#else

xb::FileSystem* TestHooks::Files() { return xb::FileSystem::Default(); }
void TestHooks::Aim(const std::string&, const std::string&) {}
void TestHooks::SwapBegins() {}

#endif
