// TargetLock: one conversion job per target table at a time, across
// processes (the window and vmconvert). A named mutex per table, named
// from the table's full path without regard to case; the system releases
// it when its owner ends, however it ends. Owned by the thread that
// acquired it, which also releases it (or the destructor, on that thread).
#ifndef COMMANDS_TARGETLOCK_H_
#define COMMANDS_TARGETLOCK_H_

#include <windows.h>

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

 private:
  HANDLE mutex_ = nullptr;
};

#endif  // COMMANDS_TARGETLOCK_H_
