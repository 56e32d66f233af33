// Win32 file layer: shared handles, ReadFile/WriteFile at the handle's
// position (moved only when it is not already there), LockFileEx ranges,
// FlushFileBuffers, MoveFileEx, CreateDirectory and FindFirstFile, file
// identities by volume and file index, GetDiskFreeSpaceEx.
#ifdef _WIN32

#include <windows.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>

#include "engine/file_system.h"

namespace xb {
namespace {

OVERLAPPED At(uint64_t offset) {
  OVERLAPPED ov = {};
  ov.Offset = DWORD(offset);
  ov.OffsetHigh = DWORD(offset >> 32);
  return ov;
}

// One ReadFile or WriteFile moves at most this many bytes.
constexpr size_t kChunk = 1u << 30;

class Win32File : public File {
 public:
  explicit Win32File(HANDLE h) : h_(h) {}
  ~Win32File() override { CloseHandle(h_); }
  Win32File(const Win32File&) = delete;
  Win32File& operator=(const Win32File&) = delete;

  bool ReadAt(uint64_t offset, void* buffer, size_t n, size_t* got) override {
    size_t done = 0;
    if (!Seek(offset)) return false;
    while (done < n) {
      DWORD want = DWORD(n - done < kChunk ? n - done : kChunk);
      DWORD read = 0;
      if (!ReadFile(h_, static_cast<char*>(buffer) + done, want, &read, nullptr)) return Lost();
      if (read == 0) break;  // end of file
      done += read;
    }
    position_ = offset + done;
    *got = done;
    return true;
  }

  bool WriteAt(uint64_t offset, const void* buffer, size_t n) override {
    size_t done = 0;
    if (!Seek(offset)) return false;
    while (done < n) {
      DWORD want = DWORD(n - done < kChunk ? n - done : kChunk);
      DWORD written = 0;
      if (!WriteFile(h_, static_cast<const char*>(buffer) + done, want, &written, nullptr) || written == 0)
        return Lost();
      done += written;
    }
    position_ = offset + done;
    return true;
  }

  bool Size(uint64_t* size) override {
    LARGE_INTEGER li;
    if (!GetFileSizeEx(h_, &li)) return false;
    *size = uint64_t(li.QuadPart);
    return true;
  }

  bool Truncate(uint64_t size) override {
    FILE_END_OF_FILE_INFO info;
    info.EndOfFile.QuadPart = LONGLONG(size);
    return SetFileInformationByHandle(h_, FileEndOfFileInfo, &info, sizeof info) != 0;
  }

  bool Sync() override { return FlushFileBuffers(h_) != 0; }

  bool TryLock(uint64_t offset, uint64_t length) override {
    OVERLAPPED ov = At(offset);
    return LockFileEx(h_, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, DWORD(length),
                      DWORD(length >> 32), &ov) != 0;
  }

  bool TryLockShared(uint64_t offset, uint64_t length) override {
    OVERLAPPED ov = At(offset);
    return LockFileEx(h_, LOCKFILE_FAIL_IMMEDIATELY, 0, DWORD(length), DWORD(length >> 32), &ov) != 0;
  }

  bool Unlock(uint64_t offset, uint64_t length) override {
    OVERLAPPED ov = At(offset);
    return UnlockFileEx(h_, 0, DWORD(length), DWORD(length >> 32), &ov) != 0;
  }

 private:
  // The handle's own position rather than an OVERLAPPED offset: the
  // positioned form costs an order of magnitude more per call under Wine,
  // and a File is used by one thread at a time. The position is our own
  // handle's, not the file's contents: a record read where the last call
  // ended (the next record of a walk, the next field of a record) is read
  // from the file all the same, with one call instead of two.
  bool Seek(uint64_t offset) {
    if (offset == position_) return true;
    LARGE_INTEGER to;
    to.QuadPart = LONGLONG(offset);
    if (!SetFilePointerEx(h_, to, nullptr, FILE_BEGIN)) return Lost();
    position_ = offset;
    return true;
  }

  // After a failed call the handle's position is not known.
  bool Lost() {
    position_ = kUnknown;
    return false;
  }

  static constexpr uint64_t kUnknown = ~uint64_t(0);
  HANDLE h_;
  uint64_t position_ = 0;  // where the handle's position is, kUnknown when not known
};

class Win32FileSystem : public FileSystem {
 public:
  // A file marked read-only is never opened for writing, whatever the
  // account may do (Wine lets an administrator's handle write it).
  std::unique_ptr<File> Open(const char* path) override {
    DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) return nullptr;
    return OpenWith(path, GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING);
  }
  std::unique_ptr<File> OpenReadOnly(const char* path) override {
    return OpenWith(path, GENERIC_READ, OPEN_EXISTING);
  }
  bool OpenNowhereElse(const char* path) override {
    HANDLE h = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    CloseHandle(h);
    return true;
  }
  std::unique_ptr<File> Create(const char* path) override {
    return OpenWith(path, GENERIC_READ | GENERIC_WRITE, CREATE_ALWAYS);
  }
  std::unique_ptr<File> CreateNew(const char* path) override {
    return OpenWith(path, GENERIC_READ | GENERIC_WRITE, CREATE_NEW);
  }

  bool Replace(const char* from, const char* to) override {
    return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
  }

  bool Remove(const char* path) override {
    if (DeleteFileA(path)) return true;
    DWORD e = GetLastError();
    return e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND;
  }

  bool Exists(const char* path) override { return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }

  bool FileSize(const char* path, uint64_t* size) override {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data) || (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
      return false;
    *size = uint64_t(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
    return true;
  }

  bool MakeFolder(const char* path) override {
    if (CreateDirectoryA(path, nullptr)) return true;
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
  }

  bool List(const char* folder, const char* suffix, std::vector<std::string>* names) override {
    names->clear();
    WIN32_FIND_DATAA found;
    HANDLE h = FindFirstFileA((std::string(folder) + "\\*").c_str(), &found);
    if (h == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
    do {
      if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && EndsWith(found.cFileName, suffix))
        names->push_back(found.cFileName);
    } while (FindNextFileA(h, &found));
    bool complete = GetLastError() == ERROR_NO_MORE_FILES;
    FindClose(h);
    return complete;
  }

  std::string Identity(const char* path) override {
    BY_HANDLE_FILE_INFORMATION info;
    if (!Identify(path, &info)) return std::string();
    char text[32];
    std::snprintf(text, sizeof text, "%08lx-%08lx%08lx", static_cast<unsigned long>(info.dwVolumeSerialNumber),
                  static_cast<unsigned long>(info.nFileIndexHigh), static_cast<unsigned long>(info.nFileIndexLow));
    return text;
  }

  // The system asks for a folder: a file's own is taken.
  bool FreeBytes(const char* path, uint64_t* bytes) override {
    std::string folder = path;
    DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
      size_t slash = folder.find_last_of("\\/");
      folder = slash == std::string::npos ? std::string(".") : folder.substr(0, slash + 1);
    }
    ULARGE_INTEGER available;
    if (!GetDiskFreeSpaceExA(folder.c_str(), &available, nullptr, nullptr)) return false;
    *bytes = available.QuadPart;
    return true;
  }

  Date Today() override {
    SYSTEMTIME st;
    GetLocalTime(&st);
    return Date{st.wYear, st.wMonth, st.wDay};
  }

  void Pause(unsigned milliseconds) override { Sleep(milliseconds); }

 private:
  // The file's identity, asked through a handle that may neither read nor
  // write, so that any file, folders included, can be looked at.
  static bool Identify(const char* path, BY_HANDLE_FILE_INFORMATION* info) {
    HANDLE h = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    bool known = GetFileInformationByHandle(h, info) != 0;
    CloseHandle(h);
    return known;
  }

  static bool EndsWith(const char* name, const char* suffix) {
    size_t n = std::strlen(name), k = std::strlen(suffix);
    if (k > n) return false;
    for (size_t i = 0; i < k; ++i)
      if (std::tolower(static_cast<unsigned char>(name[n - k + i])) != std::tolower(static_cast<unsigned char>(suffix[i])))
        return false;
    return true;
  }

  static std::unique_ptr<File> OpenWith(const char* path, DWORD access, DWORD disposition) {
    HANDLE h = CreateFileA(path, access,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return nullptr;
    if (GetFileType(h) != FILE_TYPE_DISK) {
      CloseHandle(h);
      return nullptr;
    }
    return std::unique_ptr<File>(new Win32File(h));
  }
};

}  // namespace

FileSystem* FileSystem::Default() {
  static Win32FileSystem fs;
  return &fs;
}

std::string LastFileError() {
  DWORD code = GetLastError();
  return code == ERROR_SUCCESS ? std::string() : FileErrorText(code);
}

std::string FileErrorText(unsigned long code) {
  char text[512] = "";
  DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text,
                           sizeof text, nullptr);
  std::string out(text, n);
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r' || out.back() == ' ')) out.pop_back();
  return out.empty() ? "error " + std::to_string(code) : out;
}

}  // namespace xb

#endif  // _WIN32
