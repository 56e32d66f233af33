// TargetLock: one conversion job per table at a time, across processes and
// logon sessions (the window, vmconvert, a scheduled task). A named mutex
// per file a job writes, in the Global\ namespace and open to every
// account (where an account may not create a global object, the Local\ one
// of its session), named from the file's identity where the file is there
// (its volume and file index: every spelling, link, mapped drive or share
// that reaches the file meets the same lock), from its folder's identity
// and its name where only the folder is, and from its full path, letter
// case aside, where neither is. The target is locked under its full
// path as well, the name earlier versions lock, so that they and this one
// see each other. The system releases the mutexes when their owner ends,
// however it ends. Owned by the thread that acquired them, which also
// releases them (or the destructor, on that thread).
#ifndef COMMANDS_TARGETLOCK_H_
#define COMMANDS_TARGETLOCK_H_

#include <windows.h>

#include <string>
#include <vector>

namespace xb {
class FileSystem;
}  // namespace xb

class TargetLock {
 public:
  TargetLock() = default;
  ~TargetLock();
  TargetLock(const TargetLock&) = delete;
  TargetLock& operator=(const TargetLock&) = delete;

  // True once this process holds the lock of every file in files (the
  // target first), each asked of fs; false, holding none, when another job
  // holds any of them.
  bool Acquire(xb::FileSystem& fs, const std::vector<std::string>& files);
  // The same for table alone, through the system's files.
  bool Acquire(const char* table);
  void Release();
  // The mutexes' names as last tried by Acquire, the target's first.
  const std::vector<std::string>& names() const { return names_; }

 private:
  bool Take(const std::string& name);

  std::vector<HANDLE> mutexes_;
  std::vector<std::string> names_;
};

#endif  // COMMANDS_TARGETLOCK_H_
