#include "commands/TargetLock.h"

#include <set>

#include "commands/PathNames.h"
#include "engine/file_system.h"

namespace {

const size_t kNameRoom = 200;

// The mutex named name, open to every account, so that a job of another
// logon session (a scheduled task) and the window see the same one.
HANDLE CreateShared(const std::string& name) {
  SECURITY_DESCRIPTOR everyone;
  InitializeSecurityDescriptor(&everyone, SECURITY_DESCRIPTOR_REVISION);
  SetSecurityDescriptorDacl(&everyone, TRUE, nullptr, FALSE);
  SECURITY_ATTRIBUTES sa = {sizeof sa, &everyone, FALSE};
  return CreateMutexA(&sa, FALSE, name.c_str());
}

// path as a mutex name's part: no backslash (it would name a namespace),
// and at most kNameRoom characters, the path's end telling tables apart.
std::string PathPart(const char* path) {
  std::string id = FileIdentity(path);
  for (char& c : id)
    if (c == '\\') c = '/';
  return id.size() > kNameRoom ? id.substr(id.size() - kNameRoom) : id;
}

// What names the file at path however it is spelled: its identity; for a
// file not there yet (a backup a swap will make) its folder's identity and
// its name; else its full path.
std::string FileKey(xb::FileSystem& fs, const std::string& path) {
  std::string identity = fs.Identity(path.c_str());
  if (!identity.empty()) return identity;
  std::string folder = fs.Identity(FolderOf(path).c_str());
  if (folder.empty()) return PathPart(path.c_str());
  std::string name = FileIdentity(path.c_str());
  return folder + "/" + name.substr(name.find_last_of("\\/") + 1);
}

}  // namespace

TargetLock::~TargetLock() { Release(); }

bool TargetLock::Acquire(const char* table) { return Acquire(*xb::FileSystem::Default(), {table}); }

bool TargetLock::Acquire(xb::FileSystem& fs, const std::vector<std::string>& files) {
  Release();
  names_.clear();
  std::set<std::string> named;
  for (size_t i = 0; i < files.size(); ++i) {
    const char* path = files[i].c_str();
    if (i == 0) names_.push_back("converter-target:" + PathPart(path));
    std::string name = "converter-file:" + FileKey(fs, files[i]);
    if (named.insert(name).second) names_.push_back(name);
  }
  for (const std::string& name : names_)
    if (!Take(name)) {
      Release();
      return false;
    }
  return true;
}

// One name for every logon session; where an account may not create a
// global object, its own session's.
bool TargetLock::Take(const std::string& name) {
  HANDLE mutex = CreateShared("Global\\" + name);
  if (!mutex) mutex = CreateMutexA(nullptr, FALSE, ("Local\\" + name).c_str());
  if (!mutex) return false;
  DWORD wait = WaitForSingleObject(mutex, 0);
  if (wait != WAIT_OBJECT_0 && wait != WAIT_ABANDONED) {
    CloseHandle(mutex);
    return false;
  }
  mutexes_.push_back(mutex);
  return true;
}

void TargetLock::Release() {
  for (HANDLE mutex : mutexes_) {
    ReleaseMutex(mutex);
    CloseHandle(mutex);
  }
  mutexes_.clear();
}
