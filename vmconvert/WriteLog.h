// WriteLog: the engine's file layer with every write recorded (file,
// offset, bytes). With passThrough off the writes are recorded and
// reported as done but never reach the file: a dry run compares exactly as
// a real run and changes nothing.
#ifndef VMCONVERT_WRITELOG_H_
#define VMCONVERT_WRITELOG_H_

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/file_system.h"

class WriteLog : public xb::FileSystem {
 public:
  struct Write {
    std::string path;
    uint64_t offset;
    std::string bytes;
  };

  explicit WriteLog(bool passThrough) : passThrough_(passThrough) {}

  std::unique_ptr<xb::File> Open(const char* path) override;
  std::unique_ptr<xb::File> OpenReadOnly(const char* path) override;
  std::unique_ptr<xb::File> Create(const char* path) override;
  bool Remove(const char* path) override;
  bool Replace(const char* from, const char* to) override;
  xb::Date Today() override { return base_->Today(); }
  void Pause(unsigned milliseconds) override { base_->Pause(milliseconds); }

  // The writes so far, in order.
  std::vector<Write> Writes();

 private:
  friend class LoggedFile;
  // False when the write is to be swallowed.
  bool Record(const std::string& path, uint64_t offset, const void* bytes, size_t n);

  bool passThrough_;
  xb::FileSystem* base_ = xb::FileSystem::Default();
  std::mutex mutex_;
  std::vector<Write> writes_;
};

#endif  // VMCONVERT_WRITELOG_H_
