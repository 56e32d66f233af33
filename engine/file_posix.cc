// POSIX file layer: pread/pwrite, fcntl record locks, fsync, rename,
// mkdir and readdir, stat's device and inode for file identities, statvfs.
// Locks belong to the open file (Linux's open file description locks)
// where the system has them, so that two handles conflict as on Windows;
// elsewhere they belong to the process.
#ifndef _WIN32

#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "engine/file_system.h"

namespace xb {
namespace {

class PosixFile : public File {
 public:
  explicit PosixFile(int fd) : fd_(fd) {}
  ~PosixFile() override { close(fd_); }
  PosixFile(const PosixFile&) = delete;
  PosixFile& operator=(const PosixFile&) = delete;

  bool ReadAt(uint64_t offset, void* buffer, size_t n, size_t* got) override {
    size_t done = 0;
    while (done < n) {
      ssize_t r = pread(fd_, static_cast<char*>(buffer) + done, n - done, off_t(offset + done));
      if (r < 0 && errno == EINTR) continue;
      if (r < 0) return false;
      if (r == 0) break;
      done += size_t(r);
    }
    *got = done;
    return true;
  }

  bool WriteAt(uint64_t offset, const void* buffer, size_t n) override {
    size_t done = 0;
    while (done < n) {
      ssize_t r = pwrite(fd_, static_cast<const char*>(buffer) + done, n - done, off_t(offset + done));
      if (r < 0 && errno == EINTR) continue;
      if (r <= 0) return false;
      done += size_t(r);
    }
    return true;
  }

  bool Size(uint64_t* size) override {
    struct stat st;
    if (fstat(fd_, &st) != 0) return false;
    *size = uint64_t(st.st_size);
    return true;
  }

  bool Truncate(uint64_t size) override { return ftruncate(fd_, off_t(size)) == 0; }
  bool Sync() override { return fsync(fd_) == 0; }
  bool TryLock(uint64_t offset, uint64_t length) override { return SetLock(F_WRLCK, offset, length); }
  bool TryLockShared(uint64_t offset, uint64_t length) override { return SetLock(F_RDLCK, offset, length); }
  bool Unlock(uint64_t offset, uint64_t length) override { return SetLock(F_UNLCK, offset, length); }

 private:
  bool SetLock(short type, uint64_t offset, uint64_t length) {
    struct flock fl = {};
    fl.l_type = type;
    fl.l_whence = SEEK_SET;
    fl.l_start = off_t(offset);
    fl.l_len = off_t(length);
#ifdef F_OFD_SETLK
    return fcntl(fd_, F_OFD_SETLK, &fl) == 0;
#else
    return fcntl(fd_, F_SETLK, &fl) == 0;
#endif
  }

  int fd_;
};

class PosixFileSystem : public FileSystem {
 public:
  std::unique_ptr<File> Open(const char* path) override { return OpenWith(path, O_RDWR); }
  std::unique_ptr<File> OpenReadOnly(const char* path) override { return OpenWith(path, O_RDONLY); }
  bool OpenNowhereElse(const char*) override { return true; }
  std::unique_ptr<File> Create(const char* path) override {
    return OpenWith(path, O_RDWR | O_CREAT | O_TRUNC);
  }
  std::unique_ptr<File> CreateNew(const char* path) override {
    return OpenWith(path, O_RDWR | O_CREAT | O_EXCL);
  }
  bool Remove(const char* path) override { return unlink(path) == 0 || errno == ENOENT; }

  bool Replace(const char* from, const char* to) override {
    if (rename(from, to) != 0) return false;
    // The rename is durable once the folder holding both names is.
    std::string folder(to);
    size_t slash = folder.find_last_of('/');
    folder = slash == std::string::npos ? "." : slash == 0 ? "/" : folder.substr(0, slash);
    int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return true;
    fsync(fd);
    close(fd);
    return true;
  }

  bool Exists(const char* path) override {
    struct stat st;
    return stat(path, &st) == 0;
  }

  bool FileSize(const char* path, uint64_t* size) override {
    struct stat st;
    if (stat(path, &st) != 0 || !S_ISREG(st.st_mode)) return false;
    *size = uint64_t(st.st_size);
    return true;
  }

  bool MakeFolder(const char* path) override {
    if (mkdir(path, 0755) == 0) return true;
    struct stat st;
    return stat(path, &st) == 0 && S_ISDIR(st.st_mode);
  }

  bool List(const char* folder, const char* suffix, std::vector<std::string>* names) override {
    names->clear();
    DIR* d = opendir(folder);
    if (!d) return false;
    size_t k = std::strlen(suffix);
    for (struct dirent* e; (e = readdir(d)) != nullptr;) {
      std::string name = e->d_name;
      struct stat st;
      if (name.size() < k || strcasecmp(name.c_str() + name.size() - k, suffix) != 0) continue;
      if (stat((std::string(folder) + "/" + name).c_str(), &st) == 0 && S_ISREG(st.st_mode)) names->push_back(name);
    }
    closedir(d);
    return true;
  }

  std::string Identity(const char* path) override {
    struct stat st;
    if (stat(path, &st) != 0) return std::string();
    return std::to_string(uint64_t(st.st_dev)) + "-" + std::to_string(uint64_t(st.st_ino));
  }

  bool FreeBytes(const char* path, uint64_t* bytes) override {
    struct statvfs vfs;
    std::string at = path;
    if (statvfs(at.c_str(), &vfs) != 0) {
      size_t slash = at.find_last_of('/');
      at = slash == std::string::npos ? "." : slash == 0 ? "/" : at.substr(0, slash);
      if (statvfs(at.c_str(), &vfs) != 0) return false;
    }
    *bytes = uint64_t(vfs.f_bavail) * vfs.f_frsize;
    return true;
  }

  Date Today() override {
    time_t now = time(nullptr);
    struct tm local;
    localtime_r(&now, &local);
    return Date{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
  }

  void Pause(unsigned milliseconds) override { usleep(useconds_t(milliseconds) * 1000); }

 private:
  static std::unique_ptr<File> OpenWith(const char* path, int flags) {
    int fd = open(path, flags | O_CLOEXEC, 0644);
    if (fd < 0) return nullptr;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
      close(fd);
      return nullptr;
    }
    return std::unique_ptr<File>(new PosixFile(fd));
  }
};

}  // namespace

FileSystem* FileSystem::Default() {
  static PosixFileSystem fs;
  return &fs;
}

std::string LastFileError() { return errno ? FileErrorText(unsigned(errno)) : std::string(); }

std::string FileErrorText(unsigned long code) { return std::strerror(int(code)); }

}  // namespace xb

#endif  // !_WIN32
