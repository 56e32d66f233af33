// The table engine's only contact with the operating system: open a file
// shared for reading and writing (or reading only), read and write at an
// offset, take a byte-range lock, make the file durable, put one file in
// place of another, tell whether a file is there and whether two paths
// name one file, and tell today's date.
// Tests substitute their own FileSystem to inject faults.
#ifndef ENGINE_FILE_SYSTEM_H_
#define ENGINE_FILE_SYSTEM_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace xb {

class File {
 public:
  virtual ~File() = default;
  // Reads up to n bytes at offset; *got receives the count (short at end of file).
  virtual bool ReadAt(uint64_t offset, void* buffer, size_t n, size_t* got) = 0;
  // Writes all n bytes at offset or reports false.
  virtual bool WriteAt(uint64_t offset, const void* buffer, size_t n) = 0;
  virtual bool Size(uint64_t* size) = 0;
  virtual bool Truncate(uint64_t size) = 0;
  // Hands the file's data to stable storage (fsync / FlushFileBuffers).
  virtual bool Sync() = 0;
  // Exclusive lock of a byte range without waiting; false when another
  // handle holds any lock on it.
  virtual bool TryLock(uint64_t offset, uint64_t length) = 0;
  // Shared lock of a byte range without waiting; false when another handle
  // holds it exclusively. Many handles may share a range.
  virtual bool TryLockShared(uint64_t offset, uint64_t length) = 0;
  virtual bool Unlock(uint64_t offset, uint64_t length) = 0;
};

struct Date {
  int year;   // e.g. 2026
  int month;  // 1..12
  int day;    // 1..31
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // Opens an existing file for reading and writing, shared with other
  // processes; null when it cannot.
  virtual std::unique_ptr<File> Open(const char* path) = 0;
  // Opens an existing file for reading only, shared with readers and
  // writers; null when it cannot. Writes through it fail.
  virtual std::unique_ptr<File> OpenReadOnly(const char* path) = 0;
  // True when no other handle, of any program, has the file at path open
  // now: on Windows an open that shares nothing succeeds (and is closed at
  // once). POSIX has no such open: there it is always true, and only the
  // engine's own handles are seen (by their shared lock, see Table::Pack).
  virtual bool OpenNowhereElse(const char* path) = 0;
  // Creates (or empties) a file for reading and writing; null on failure.
  virtual std::unique_ptr<File> Create(const char* path) = 0;
  // Removes a file; true when it is gone (a missing file counts as gone).
  virtual bool Remove(const char* path) = 0;
  // Puts the file at from in place of the file at to in one step and makes
  // the change durable; false (both files as they were) when it cannot.
  virtual bool Replace(const char* from, const char* to) = 0;
  // True when a file or a folder of that name is there, whether or not it
  // can be opened.
  virtual bool Exists(const char* path) = 0;
  // True when a and b name one existing file, however spelled (the same
  // volume and file index on Windows, device and inode on POSIX); false
  // when either cannot be looked at.
  virtual bool SameFile(const char* a, const char* b) = 0;
  virtual Date Today() = 0;
  // Sleeps briefly while waiting for a lock.
  virtual void Pause(unsigned milliseconds) = 0;

  // The operating system's file system; lives for the whole process.
  static FileSystem* Default();
};

// The operating system's text for the last error of this thread's file
// calls (the last error code as it stands now); "" when it has none.
std::string LastFileError();
// The operating system's text for error code (GetLastError's on Windows,
// errno's elsewhere), without its line end.
std::string FileErrorText(unsigned long code);

}  // namespace xb

#endif  // ENGINE_FILE_SYSTEM_H_
