// WriteLog: the engine's file layer with every write recorded (file,
// offset, bytes). With passThrough off the writes are recorded and
// reported as done but never reach the file: a dry run compares exactly as
// a real run and changes nothing. A write is recorded without an
// allocation of its own: its bytes go to one growing buffer, its file's
// path is kept once per opened file.
#ifndef VMCONVERT_WRITELOG_H_
#define VMCONVERT_WRITELOG_H_

#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "engine/file_system.h"

class WriteLog : public xb::FileSystem {
 public:
  // One recorded write; valid until the log records another or goes.
  struct Write {
    const std::string& path;
    uint64_t offset;
    std::string_view bytes;
  };

  explicit WriteLog(bool passThrough) : passThrough_(passThrough) {}

  std::unique_ptr<xb::File> Open(const char* path) override;
  std::unique_ptr<xb::File> OpenReadOnly(const char* path) override;
  std::unique_ptr<xb::File> Create(const char* path) override;
  bool Remove(const char* path) override;
  bool Replace(const char* from, const char* to) override;
  xb::Date Today() override { return base_->Today(); }
  void Pause(unsigned milliseconds) override { base_->Pause(milliseconds); }

  // The writes so far, in order: Count() of them, the i-th by At(i).
  // REQUIRES: no file of the log is written meanwhile.
  size_t Count() const { return entries_.size(); }
  Write At(size_t i) const;

 private:
  friend class LoggedFile;
  struct Entry {
    size_t file;    // index into paths_
    uint64_t offset;
    size_t from;    // the bytes: bytes_[from, from + size)
    size_t size;
  };
  std::unique_ptr<xb::File> Wrap(std::unique_ptr<xb::File> file, const char* path);
  // False when the write is to be swallowed.
  bool Record(size_t file, uint64_t offset, const void* bytes, size_t n);

  bool passThrough_;
  xb::FileSystem* base_ = xb::FileSystem::Default();
  std::mutex mutex_;
  std::vector<std::string> paths_;  // one per file opened through the log
  std::vector<Entry> entries_;
  std::string bytes_;
};

#endif  // VMCONVERT_WRITELOG_H_
