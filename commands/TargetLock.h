// TargetLock: one conversion job per target table at a time, across
// processes and logon sessions (the window, vmconvert, a scheduled task).
// A named mutex per table in the Global\ namespace, named from the table's
// full path without regard to case and open to every account; where an
// account may not create a global object, the Local\ one of its session.
// The system releases it when its owner ends, however it ends. Owned by the
// thread that acquired it, which also releases it (or the destructor, on
// that thread).
#ifndef COMMANDS_TARGETLOCK_H_
#define COMMANDS_TARGETLOCK_H_

#include <windows.h>

#include <string>

class TargetLock {
 public:
  TargetLock() = default;
  ~TargetLock();
  TargetLock(const TargetLock&) = delete;
  TargetLock& operator=(const TargetLock&) = delete;

  // True once this process holds the table's lock; false when another job
  // holds it.
  bool Acquire(const char* table);
  void Release();
  // The mutex's name as last tried by Acquire.
  const std::string& name() const { return name_; }

 private:
  HANDLE mutex_ = nullptr;
  std::string name_;
};

#endif  // COMMANDS_TARGETLOCK_H_
