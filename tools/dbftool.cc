// dbftool: a small command-line window on the table engine.
//   dbftool dump PATH          prints every record: number, deletion mark,
//                              then each field's stored text between bars
//   dbftool sample PATH        makes a table of every field type with a few
//                              records, the second one deleted
//   dbftool set PATH RECORD FIELD TEXT   assigns TEXT to one field
//   dbftool append PATH FIELD TEXT       adds a record with one field set
//   dbftool pack PATH          removes the deleted records
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "engine/table.h"

namespace {

int Dump(const char* path) {
  xb::Context context;
  std::unique_ptr<xb::Table> t = xb::Table::Open(context, path);
  if (!t) {
    std::fprintf(stderr, "dbftool: %s is not a table this engine can open\n", path);
    return 2;
  }
  std::printf("records %u fields %u\n", t->RecCount(), t->FieldCount());
  for (unsigned n = 1; n <= t->FieldCount(); ++n) {
    xb::Field* f = t->FieldAt(int(n));
    std::printf("field %s %c %u %u\n", f->Name(), f->Type(), f->Width(), f->Decimals());
  }
  // Every field at its full width, however wide (a C field reaches 0xFFFF).
  size_t widest = 0;
  for (unsigned n = 1; n <= t->FieldCount(); ++n) widest = std::max<size_t>(widest, t->FieldAt(int(n))->Width());
  std::vector<char> text(widest + 1);
  for (uint32_t r = 1; r <= t->RecCount(); ++r) {
    t->Go(r);
    std::printf("%u %c", r, t->Deleted() ? '*' : ' ');
    for (unsigned n = 1; n <= t->FieldCount(); ++n) {
      t->FieldAt(int(n))->CopyText(text.data(), text.size());
      std::printf("|%s", text.data());
    }
    std::printf("|\n");
  }
  return 0;
}

int Sample(const char* path) {
  static const FIELD4INFO kFields[] = {{"NAME", 'C', 12, 0, 0}, {"QTY", 'N', 5, 0, 0},
                                       {"PRICE", 'N', 9, 2, 0}, {"RATE", 'F', 8, 3, 0},
                                       {"BORN", 'D', 8, 0, 0},  {"ACTIVE", 'L', 1, 0, 0},
                                       {nullptr, 0, 0, 0, 0}};
  static const struct { const char* name; int qty; double price; double rate; const char* born; const char* active; } kRows[] = {
      {"Ada", 3, 12.5, 0.125, "19991231", "T"},
      {"Bruno", -40, -7.25, 1.5, "20000229", "F"},
      {"Chiara Okafo", 0, 123456.78, -2.0, "20261208", "T"},
  };
  xb::Context context;
  std::unique_ptr<xb::Table> t = xb::Table::Create(context, path, kFields);
  if (!t) {
    std::fprintf(stderr, "dbftool: cannot create %s\n", path);
    return 2;
  }
  for (const auto& row : kRows) {
    if (!t->Append()) return 2;
    t->FieldAt(1)->AssignText(row.name);
    t->FieldAt(2)->AssignDouble(row.qty);
    t->FieldAt(3)->AssignDouble(row.price);
    t->FieldAt(4)->AssignDouble(row.rate);
    t->FieldAt(5)->AssignText(row.born);
    t->FieldAt(6)->AssignText(row.active);
  }
  t->Go(2);
  t->Delete();
  return t->Close() ? 0 : 2;
}

int Edit(int argc, char** argv) {
  const char* command = argv[1];
  const char* path = argv[2];
  xb::Context context;
  std::unique_ptr<xb::Table> t = xb::Table::Open(context, path);
  if (!t) {
    std::fprintf(stderr, "dbftool: %s is not a table this engine can open\n", path);
    return 2;
  }
  bool ok = false;
  if (std::strcmp(command, "set") == 0 && argc == 6) {
    ok = t->Go(uint32_t(std::strtoul(argv[3], nullptr, 10)));
    xb::Field* f = t->FieldAt(t->FieldNumber(argv[4]));
    ok = ok && f;
    if (ok) f->AssignText(argv[5]);
  } else if (std::strcmp(command, "append") == 0 && argc == 5) {
    ok = t->Append();
    xb::Field* f = t->FieldAt(t->FieldNumber(argv[3]));
    ok = ok && f;
    if (ok) f->AssignText(argv[4]);
  } else if (std::strcmp(command, "pack") == 0 && argc == 3) {
    ok = t->Pack();
  }
  if (!t->Close()) ok = false;
  return ok ? 0 : 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "dump") == 0) return Dump(argv[2]);
  if (argc == 3 && std::strcmp(argv[1], "sample") == 0) return Sample(argv[2]);
  if (argc >= 3 && (!std::strcmp(argv[1], "set") || !std::strcmp(argv[1], "append") || !std::strcmp(argv[1], "pack")))
    return Edit(argc, argv);
  std::fprintf(stderr,
               "usage: dbftool dump PATH | sample PATH | set PATH RECORD FIELD TEXT |\n"
               "       append PATH FIELD TEXT | pack PATH\n");
  return 1;
}
