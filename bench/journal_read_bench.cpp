// Reading a journal back as undo reads it: a journal of RECORDS records
// (one field changed in each: a record line and a field line a record) is
// written in DIR through the journal itself, then read and checked whole
// (JournalFile::Read) RUNS times; prints its size and the median time.
// Usage: journal_read_bench DIR [RECORDS [RUNS]]   (1000000 and 3 unless given)
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/file_system.h"
#include "journal/Journal.h"
#include "journal/JournalFile.h"
#include "journal/JournalText.h"
#include "journal/TableShape.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: journal_read_bench DIR [RECORDS [RUNS]]\n");
    return 2;
  }
  std::string dir = argv[1], path = dir + "\\bench.jsonl";
  uint32_t records = argc > 2 ? uint32_t(std::strtoul(argv[2], nullptr, 10)) : 1000000;
  int runs = argc > 3 ? std::atoi(argv[3]) : 3;
  xb::FileSystem* fs = xb::FileSystem::Default();
  fs->Remove(path.c_str());
  fs->Remove(Journal::RoomPath(path).c_str());

  TableShape shape;
  if (!ParseFields("A:C:1:10,B:N:11:5", 16, &shape)) return 1;
  shape.headerLength = 97;
  shape.records = records;
  shape.bytes = int64_t(97 + uint64_t(records) * 16);
  Journal journal;
  if (!journal.Begin(fs, path, {{"command", "\"small-to-big\""}, {"source", EncodeBytes("C:\\db1\\vm001.dbf")},
                                 {"target", EncodeBytes("C:\\db1\\vm001_big.dbf")}},
                     shape))
    return std::fprintf(stderr, "the journal cannot be made: %s\n", journal.error().c_str()), 1;
  std::vector<uint8_t> image(16, ' ');
  for (uint32_t r = 1; r <= records; ++r) {
    const uint8_t before[5] = {' ', ' ', ' ', ' ', '1'}, after[5] = {' ', ' ', ' ', ' ', '2'};
    std::copy(after, after + 5, image.begin() + 11);
    if (!journal.Changed(r, 2, before, after, 5) || !journal.Writing(r, image.data(), image.size())) return 1;
  }
  journal.End(0, records, false, "");

  std::vector<double> seconds;
  uint64_t size = 0;
  fs->FileSize(path.c_str(), &size);
  for (int i = 0; i < runs; ++i) {
    JournalFile read;
    std::string why;
    auto start = std::chrono::steady_clock::now();
    bool ok = read.Read(*fs, path, &why);
    seconds.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    if (!ok || read.batches.size() != records) return std::fprintf(stderr, "not read back: %s\n", why.c_str()), 1;
  }
  std::sort(seconds.begin(), seconds.end());
  std::printf("journal of %u records, %.1f MB: read and checked in %.3f s (median of %d)\n", unsigned(records),
              double(size) / 1e6, seconds[seconds.size() / 2], runs);
  fs->Remove(path.c_str());
  return 0;
}
