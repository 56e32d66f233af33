#include "lib/FlushWatch.h"

namespace {

const DWORD kTickMs = 50;

// A flush in progress, on its thread's stack while it is in the list.
struct Watched {
  DWORD threadId;
  volatile LONG* stop;
  DWORD start;
  DWORD patienceMs;
  Watched* previous;
  Watched* next;
};

SRWLOCK lock = SRWLOCK_INIT;
CONDITION_VARIABLE work = CONDITION_VARIABLE_INIT;
Watched* watched = nullptr;  // under lock
INIT_ONCE started = INIT_ONCE_STATIC_INIT;

bool Overdue(const Watched& flush, DWORD now) {
  return (flush.stop && *flush.stop) || now - flush.start >= flush.patienceMs;
}

// Called with the lock held, so that the thread is still inside its flush
// (or waiting for the lock to leave the list) and its identifier still its
// own. A cancel that came before the flush's call began cancels nothing:
// the next tick cancels again.
void Cancel(DWORD threadId) {
  HANDLE thread = OpenThread(THREAD_TERMINATE, FALSE, threadId);
  if (!thread) return;
  CancelSynchronousIo(thread);
  CloseHandle(thread);
}

DWORD WINAPI Watch(void*) {
  AcquireSRWLockExclusive(&lock);
  for (;;) {
    SleepConditionVariableSRW(&work, &lock, watched ? kTickMs : INFINITE, 0);
    DWORD now = GetTickCount();
    for (Watched* flush = watched; flush; flush = flush->next)
      if (Overdue(*flush, now)) Cancel(flush->threadId);
  }
}

BOOL CALLBACK StartWatcher(INIT_ONCE*, void*, void**) {
  HANDLE thread = CreateThread(nullptr, 0, Watch, nullptr, 0, nullptr);
  if (!thread) return FALSE;
  CloseHandle(thread);
  return TRUE;
}

void Enter(Watched& flush) {
  AcquireSRWLockExclusive(&lock);
  bool wasIdle = watched == nullptr;
  flush.next = watched;
  if (watched) watched->previous = &flush;
  watched = &flush;
  ReleaseSRWLockExclusive(&lock);
  if (wasIdle) WakeConditionVariable(&work);
}

void Leave(Watched& flush) {
  AcquireSRWLockExclusive(&lock);
  if (flush.previous) flush.previous->next = flush.next;
  else watched = flush.next;
  if (flush.next) flush.next->previous = flush.previous;
  ReleaseSRWLockExclusive(&lock);
}

}  // namespace

namespace FlushWatch {

bool Flush(HANDLE pipe, volatile LONG* stop, DWORD patienceMs) {
  if (!InitOnceExecuteOnce(&started, StartWatcher, nullptr, nullptr)) return FlushFileBuffers(pipe) != FALSE;
  Watched flush = {GetCurrentThreadId(), stop, GetTickCount(), patienceMs, nullptr, nullptr};
  Enter(flush);
  bool flushed = FlushFileBuffers(pipe) != FALSE;
  Leave(flush);
  return flushed;
}

}  // namespace FlushWatch
