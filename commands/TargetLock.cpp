#include "commands/TargetLock.h"

#include <string>

#include "commands/PathNames.h"

namespace {
const size_t kNameRoom = 200;
}  // namespace

TargetLock::~TargetLock() { Release(); }

// The mutex named name, open to every account, so that a job of another
// logon session (a scheduled task) and the window see the same one.
HANDLE CreateShared(const std::string& name) {
  SECURITY_DESCRIPTOR everyone;
  InitializeSecurityDescriptor(&everyone, SECURITY_DESCRIPTOR_REVISION);
  SetSecurityDescriptorDacl(&everyone, TRUE, nullptr, FALSE);
  SECURITY_ATTRIBUTES sa = {sizeof sa, &everyone, FALSE};
  return CreateMutexA(&sa, FALSE, name.c_str());
}

bool TargetLock::Acquire(const char* table) {
  Release();
  std::string id = FileIdentity(table);
  for (char& c : id)
    if (c == '\\') c = '/';  // a backslash would name a namespace
  // Object names end at the path limit; the path's end tells tables apart.
  if (id.size() > kNameRoom) id = id.substr(id.size() - kNameRoom);
  // One name for every logon session; where an account may not create a
  // global object, its own session's.
  name_ = "Global\\converter-target:" + id;
  HANDLE mutex = CreateShared(name_);
  if (!mutex) {
    name_ = "Local\\converter-target:" + id;
    mutex = CreateMutexA(nullptr, FALSE, name_.c_str());
  }
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
