// Times the three conversion jobs on 12000-record tables made by vmtables:
// each job once over tables that already agree and once where every copied
// field of every record differs. A counting file layer shows where the time
// goes: reads, writes and syncs reaching the operating system; a counting
// operator new shows that the work per record allocates nothing (the count
// is the same for any number of records).
// Usage: job_bench [DIR [RECORDS]]   (RECORDS: 12000 unless given)
#include <windows.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>

#include "convert/JobState.h"
#include "convert/PersonalJob.h"
#include "convert/VmCopyJob.h"
#include "db/CDatabase.h"
#include "db/EngineContext.h"
#include "engine/file_wrapper.h"
#include "tools/vmtables.h"

std::atomic<long> allocations{0};

void* operator new(size_t size) {
  ++allocations;
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void* operator new[](size_t size) { return operator new(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept {
  ++allocations;
  return std::malloc(size ? size : 1);
}
void* operator new[](size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
void operator delete[](void* p, size_t) noexcept { std::free(p); }

namespace {

using vmtables::Layout;
using vmtables::Variation;

struct Counts {
  long reads = 0, writes = 0, syncs = 0;
};

class CountingFile : public xb::FileWrapper {
 public:
  CountingFile(Counts* c, std::unique_ptr<xb::File> base) : FileWrapper(std::move(base)), c_(c) {}
  bool ReadAt(uint64_t o, void* b, size_t n, size_t* got) override {
    ++c_->reads;
    return base()->ReadAt(o, b, n, got);
  }
  bool WriteAt(uint64_t o, const void* b, size_t n) override {
    ++c_->writes;
    return base()->WriteAt(o, b, n);
  }
  bool Sync() override {
    ++c_->syncs;
    return base()->Sync();
  }

 private:
  Counts* c_;
};

class CountingFileSystem : public xb::FileSystemWrapper {
 public:
  Counts counts;

 private:
  std::unique_ptr<xb::File> WrapFile(std::unique_ptr<xb::File> f, const char*) override {
    return std::unique_ptr<xb::File>(new CountingFile(&counts, std::move(f)));
  }
};

CountingFileSystem countingFs;

void Set(char* buffer, size_t size, const std::string& value) { std::snprintf(buffer, size, "%s", value.c_str()); }

// Runs job on this thread (no progress window: its messages go nowhere).
void Time(const char* label, JobState::Job job) {
  countingFs.counts = Counts();
  long allocated = allocations;
  JobState::progressWindow = nullptr;
  JobState::running = 1;
  JobState::workerActive = 1;
  auto t0 = std::chrono::steady_clock::now();
  job(nullptr);
  double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  const Counts& c = countingFs.counts;
  std::printf("%-38s %7.3f s  reads %6ld  writes %6ld  syncs %ld  allocations %ld\n", label, s, c.reads, c.writes,
              c.syncs, allocations - allocated);
}

}  // namespace

int main(int argc, char** argv) {
  std::string dir = argc > 1 ? argv[1] : ".";
  std::string live = dir + "\\vm001.dbf", big = dir + "\\vm001_big.dbf", small = dir + "\\vm001_small.dbf";
  std::string oldP = dir + "\\kxpersonal.dbf", newP = dir + "\\kxpers_new.dbf";
  Set(JobState::livePath, sizeof JobState::livePath, live);
  Set(JobState::bigPath, sizeof JobState::bigPath, big);
  Set(JobState::smallPath, sizeof JobState::smallPath, small);
  Set(JobState::oldPersonalPath, sizeof JobState::oldPersonalPath, oldP);
  Set(JobState::newPersonalPath, sizeof JobState::newPersonalPath, newP);
  engineContext.setFileSystem(&countingFs);
  const Variation every{1, 0};
  const uint32_t n = argc > 2 ? uint32_t(std::atoi(argv[2])) : 12000;

  vmtables::MakeVmTable(live, Layout::kSmall, n);
  vmtables::MakeVmTable(big, Layout::kBig, n);
  Time("small-to-big, tables agree", SmallToBigJob);
  vmtables::MakeVmTable(big, Layout::kBig, n, every);
  Time("small-to-big, every T02-T33 differs", SmallToBigJob);

  vmtables::MakeVmTable(live, Layout::kBig, n);
  vmtables::MakeVmTable(small, Layout::kSmall, n);
  Time("big-to-small, tables agree", BigToSmallJob);
  vmtables::MakeVmTable(small, Layout::kSmall, n, every);
  Time("big-to-small, every T02-T33 differs", BigToSmallJob);

  vmtables::MakePersonalTable(oldP, n);
  vmtables::MakePersonalTable(newP, n);
  Time("personal, tables agree", PersonalJob);
  vmtables::MakePersonalTable(newP, n, every);
  Time("personal, every field differs", PersonalJob);
  return 0;
}
