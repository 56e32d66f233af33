// The small-to-big job's work on our engine, natively: records 1 to 12000
// of a small-layout table compared with a big-layout one, fields T02 to T30
// as integers and T31 to T33 as texts, each differing field written and
// flushed to the file at once. Field numbers are resolved once. Prints the
// seconds of the loop and the fields written.
// Usage: compare_write_loop SOURCE TARGET
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>

#include "engine/context.h"
#include "engine/field.h"
#include "engine/table.h"

// Texts compare without their padding, as the job compares them.
void TrimRight(char* text) {
  size_t n = std::strlen(text);
  while (n > 0 && text[n - 1] == ' ') --n;
  text[n] = '\0';
}

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: compare_write_loop SOURCE TARGET\n");
    return 2;
  }
  xb::Context context;
  std::unique_ptr<xb::Table> source = xb::Table::Open(context, argv[1]);
  std::unique_ptr<xb::Table> target = xb::Table::Open(context, argv[2]);
  if (!source || !target) {
    std::fprintf(stderr, "compare_write_loop: a table could not be opened\n");
    return 1;
  }
  xb::Field* from[34] = {};
  xb::Field* to[34] = {};
  for (int f = 2; f <= 33; ++f) {
    char name[4];
    std::snprintf(name, sizeof name, "T%02d", f);
    from[f] = source->FieldAt(source->FieldNumber(name));
    to[f] = target->FieldAt(target->FieldNumber(name));
    if (!from[f] || !to[f]) return 1;
  }
  auto start = std::chrono::steady_clock::now();
  long written = 0;
  uint32_t last = std::min<uint32_t>(12000, std::min(source->RecCount(), target->RecCount()));
  for (uint32_t r = 1; r <= last; ++r) {
    if (!source->Go(r) || !target->Go(r)) continue;
    for (int f = 2; f <= 33; ++f) {
      char a[128], b[128];
      if (f <= 30) {
        int32_t value = from[f]->AsInt();
        if (value == to[f]->AsInt()) continue;
        std::snprintf(a, sizeof a, "%d", int(value));
      } else {
        from[f]->CopyText(a, sizeof a);
        to[f]->CopyText(b, sizeof b);
        TrimRight(a);
        TrimRight(b);
        if (std::strcmp(a, b) == 0) continue;
      }
      target->GoToWrite(r);
      to[f]->AssignText(a);
      if (!target->Flush()) return 1;
      ++written;
    }
  }
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("%.3f s, %ld fields written\n", seconds, written);
  return source->Close() && target->Close() ? 0 : 1;
}
