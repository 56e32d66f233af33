// vmgen: makes sample tables for the converter.
//   vmgen small|big|personal PATH RECORDS [EVERY [SHIFT]]
// EVERY and SHIFT make a variant: field n of record r differs from the
// plain table's when (r + n) % EVERY == 0.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tools/vmtables.h"

int main(int argc, char** argv) {
  if (argc < 4 || argc > 6) {
    std::fprintf(stderr, "usage: vmgen small|big|personal PATH RECORDS [EVERY [SHIFT]]\n");
    return 1;
  }
  uint32_t records = uint32_t(std::strtoul(argv[3], nullptr, 10));
  vmtables::Variation v;
  if (argc > 4) v.every = uint32_t(std::strtoul(argv[4], nullptr, 10));
  if (argc > 5) v.shift = uint32_t(std::strtoul(argv[5], nullptr, 10));
  bool ok;
  if (std::strcmp(argv[1], "small") == 0)
    ok = vmtables::MakeVmTable(argv[2], vmtables::Layout::kSmall, records, v);
  else if (std::strcmp(argv[1], "big") == 0)
    ok = vmtables::MakeVmTable(argv[2], vmtables::Layout::kBig, records, v);
  else if (std::strcmp(argv[1], "personal") == 0)
    ok = vmtables::MakePersonalTable(argv[2], records, v);
  else {
    std::fprintf(stderr, "vmgen: unknown kind %s\n", argv[1]);
    return 1;
  }
  if (!ok) std::fprintf(stderr, "vmgen: could not write %s\n", argv[2]);
  return ok ? 0 : 2;
}
