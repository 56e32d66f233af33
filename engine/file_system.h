// The program's only contact with the operating system's files: open a
// file shared for reading and writing (or reading only), create one anew
// or only where none is, read and write at an offset, take a byte-range
// lock, make the file durable, put one file in place of another, make and
// list a folder, tell whether a file is there, what file a path names
// (its identity) and how much room its disk has left, and tell today's
// date. Tests substitute their own FileSystem to inject faults.
#ifndef ENGINE_FILE_SYSTEM_H_
#define ENGINE_FILE_SYSTEM_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

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
  // Creates a file for reading and writing only where nothing of that
  // name is there; null (nothing touched, LastFileError saying why) when
  // something is, or on failure. Checking and creating are one step, so
  // two processes never both get one name.
  virtual std::unique_ptr<File> CreateNew(const char* path) = 0;
  // Removes a file; true when it is gone (a missing file counts as gone).
  virtual bool Remove(const char* path) = 0;
  // A file of the program's own at path, empty, for reading and writing:
  // whatever the name held is removed first, so that a name that is also
  // another file's (a hard or symbolic link) loses it and nothing is
  // written through it. Null when the name cannot be freed or the file
  // made.
  std::unique_ptr<File> CreateFresh(const char* path) { return Remove(path) ? CreateNew(path) : nullptr; }
  // Puts the file at from in place of the file at to in one step and makes
  // the change durable; false (both files as they were) when it cannot.
  virtual bool Replace(const char* from, const char* to) = 0;
  // True when a file or a folder of that name is there, whether or not it
  // can be opened.
  virtual bool Exists(const char* path) = 0;
  // The size of the file at path, asked without opening it (so a file
  // another program holds open, sharing nothing, has one too); false when
  // there is no such file.
  virtual bool FileSize(const char* path, uint64_t* size) = 0;
  // Makes the folder at path (its parent must be there); true when a
  // folder of that name is there afterwards, made now or before.
  virtual bool MakeFolder(const char* path) = 0;
  // The names (without the folder) of the files in folder whose names end
  // with suffix, letter case aside; folders are left out. False when the
  // folder cannot be listed.
  virtual bool List(const char* folder, const char* suffix, std::vector<std::string>* names) = 0;
  // What file path names, however spelled: the volume and file index on
  // Windows, device and inode on POSIX, as text; "" when nothing there can
  // be looked at. Folders have one too.
  virtual std::string Identity(const char* path) = 0;
  // The bytes this account may still write on the volume that holds path
  // (a file or a folder); false when the system cannot tell.
  virtual bool FreeBytes(const char* path, uint64_t* bytes) = 0;
  // True when a and b name one existing file, however spelled (their
  // identities); false when either cannot be looked at.
  bool SameFile(const char* a, const char* b) {
    std::string x = Identity(a);
    return !x.empty() && x == Identity(b);
  }
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
