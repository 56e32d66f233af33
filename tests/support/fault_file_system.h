// FaultFileSystem: the real file system with faults on demand. Writes can
// fail from the n-th on or stop half-way, reads can fail or come up short
// from the n-th on or wherever they touch one range of one file, a replace
// can fail, and every write is counted; the
// date is fixed so that header bytes are predictable.
#ifndef TESTS_SUPPORT_FAULT_FILE_SYSTEM_H_
#define TESTS_SUPPORT_FAULT_FILE_SYSTEM_H_

#include <memory>
#include <string>
#include <vector>

#include "engine/file_wrapper.h"

class FaultFileSystem : public xb::FileSystemWrapper {
 public:
  FaultFileSystem() = default;

  std::unique_ptr<xb::File> Open(const char* path) override;
  std::unique_ptr<xb::File> Create(const char* path) override;
  std::unique_ptr<xb::File> CreateNew(const char* path) override;
  bool OpenNowhereElse(const char* path) override {
    return !openElsewhere && FileSystemWrapper::OpenNowhereElse(path);
  }
  bool Replace(const char* from, const char* to) override;
  xb::Date Today() override { return today; }
  void Pause(unsigned) override {}

  // Writes after this many more succeed fail (negative: never); with
  // writesFailIn set, only the writes of files whose path ends with it
  // count and fail.
  int writesBeforeFailure = -1;
  std::string writesFailIn;
  // A failing write first writes half of its bytes.
  bool failHalfWay = false;
  // Reads after this many more succeed fail (negative: never); with
  // shortReads they return half of what was asked instead.
  int readsBeforeFailure = -1;
  bool shortReads = false;
  // Every read of this file that touches bytes from..to-1 fails, however
  // often it is tried: a bad spot on the disk.
  struct Range {
    std::string path;
    uint64_t from = 0, to = 0;
  } unreadable;
  bool failReplace = false;
  // Another program has every file open (OpenNowhereElse says no).
  bool openElsewhere = false;
  // Syncs, creates and replaces after this many more succeed fail
  // (negative: never).
  int syncsBeforeFailure = -1;
  int createsBeforeFailure = -1;  // Create and CreateNew
  int replacesBeforeFailure = -1;
  // Open for writing is refused, as for a file this user may only read.
  bool refuseWriteAccess = false;
  int writes = 0;        // writes attempted
  struct Write {
    std::string path;
    uint64_t offset;
    size_t size;
  };
  std::vector<Write> log;  // every write attempted, in order
  int syncs = 0;         // syncs done
  int reads = 0;         // reads attempted
  int creates = 0;       // creates attempted
  int replaces = 0;      // replaces attempted
  xb::Date today{2026, 12, 8};

 private:
  friend class FaultFile;
  bool NextWriteFails(const std::string& path);
  bool NextReadFails();
  // Counts a call of its kind and says whether it fails, by its countdown.
  static bool Fails(int* countdown);
  std::unique_ptr<xb::File> WrapFile(std::unique_ptr<xb::File> file, const char* path) override;
};

#endif  // TESTS_SUPPORT_FAULT_FILE_SYSTEM_H_
