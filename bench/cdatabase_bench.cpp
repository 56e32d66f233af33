// Times CDatabase on a 12000-record table of the big voicemail layout:
// reading all 99 fields of every record, replacing one field per record
// with write-through, and a plain sequential read of the same file.
// Usage: cdatabase_bench [DIR]
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "db/CDatabase.h"

namespace {

constexpr unsigned kRecords = 12000;

// Width of field n (1..99) in the big layout.
unsigned short Width(int n) {
  if (n <= 30) return 10;
  if (n <= 33) return 50;
  if (n <= 40) return 65;
  if (n <= 44) return 100;
  if (n <= 52) return 30;
  if (n == 53) return 60;
  if (n <= 58) return 22;
  if (n <= 64) return 10;
  if (n <= 68) return 6;
  if (n <= 78) return 4;
  if (n <= 83) return 2;
  return 1;
}

bool IsText(int n) { return n >= 31 && n <= 58; }

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

char* S(const std::string& s) { return const_cast<char*>(s.c_str()); }

std::string Name(int n) {
  char name[4];
  std::snprintf(name, sizeof name, "T%02d", n);
  return name;
}

}  // namespace

int main(int argc, char** argv) {
  std::string path = std::string(argc > 1 ? argv[1] : ".") + "\\bench_big.dbf";
  std::vector<std::string> names;
  std::vector<FIELD4INFO> defs;
  for (int n = 1; n <= 99; ++n) names.push_back(Name(n));
  for (int n = 1; n <= 99; ++n)
    defs.push_back({names[n - 1].c_str(), short(IsText(n) ? 'C' : 'N'), Width(n), 0, 0});
  defs.push_back({nullptr, 0, 0, 0, 0});

  CDatabase db;
  auto t0 = std::chrono::steady_clock::now();
  if (!db.Create(S(path), defs.data())) return 2;
  db.SetFlush(0);
  for (unsigned r = 1; r <= kRecords; ++r) {
    db.Append();
    for (int n = 1; n <= 99; ++n) {
      if (IsText(n))
        db.Replace(S(names[n - 1]), S("text " + std::to_string(r * 100 + n)));
      else
        db.Replace(S(names[n - 1]), int((r * 7 + unsigned(n)) % 9));
    }
  }
  db.Close();
  double build = Seconds(t0);

  t0 = std::chrono::steady_clock::now();
  db.Open(S(path));
  char text[128];
  int value = 0;
  long long checksum = 0;
  for (unsigned r = 1; r <= kRecords; ++r) {
    db.Go(r);
    for (int n = 1; n <= 99; ++n) {
      if (IsText(n)) {
        db.Read(S(names[n - 1]), text);
        checksum += text[0];
      } else {
        db.Read(S(names[n - 1]), &value);
        checksum += value;
      }
    }
  }
  db.Close();
  double readAll = Seconds(t0);

  t0 = std::chrono::steady_clock::now();
  db.Open(S(path));
  for (unsigned r = 1; r <= kRecords; ++r) {
    db.Go(r);
    db.Replace(S("T02"), int(r % 100));
  }
  db.Close();
  double replace = Seconds(t0);

  t0 = std::chrono::steady_clock::now();
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  std::vector<char> block(65536);
  DWORD got = 0;
  unsigned long long bytes = 0;
  while (ReadFile(h, block.data(), DWORD(block.size()), &got, nullptr) && got > 0) {
    bytes += got;
    checksum += block[0];
  }
  CloseHandle(h);
  double plain = Seconds(t0);

  std::printf("table: %u records, 99 fields, %llu bytes (checksum %lld)\n", kRecords, bytes, checksum);
  std::printf("build with flush off:                 %8.3f s\n", build);
  std::printf("read 99 fields of every record:       %8.3f s  (%.0f x plain read)\n", readAll,
              readAll / plain);
  std::printf("replace T02 of every record, flushed: %8.3f s  (%.0f x plain read)\n", replace,
              replace / plain);
  std::printf("plain sequential read of the file:    %8.3f s\n", plain);
  DeleteFileA(path.c_str());
  return 0;
}
