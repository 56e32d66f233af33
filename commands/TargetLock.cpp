#include "commands/TargetLock.h"

#include <string>

#include "commands/PathNames.h"

namespace {
const size_t kNameRoom = 200;
}  // namespace

TargetLock::~TargetLock() { Release(); }

bool TargetLock::Acquire(const char* table) {
  Release();
  std::string name = FileIdentity(table);
  for (char& c : name)
    if (c == '\\') c = '/';  // a backslash would name a namespace
  // Object names end at the path limit; the path's end tells tables apart.
  if (name.size() > kNameRoom) name = name.substr(name.size() - kNameRoom);
  name = "Local\\converter-target:" + name;
  HANDLE mutex = CreateMutexA(nullptr, FALSE, name.c_str());
  if (!mutex) return false;
  DWORD wait = WaitForSingleObject(mutex, 0);
  if (wait != WAIT_OBJECT_0 && wait != WAIT_ABANDONED) {
    CloseHandle(mutex);
    return false;
  }
  mutex_ = mutex;
  return true;
}

void TargetLock::Release() {
  if (!mutex_) return;
  ReleaseMutex(mutex_);
  CloseHandle(mutex_);
  mutex_ = nullptr;
}
