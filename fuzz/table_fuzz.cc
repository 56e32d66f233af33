// Opens arbitrary bytes as a table, walks every record and reads and writes
// every field; then opens them again through CDatabase and plays the
// input's last 128 bytes as a script of CDatabase operations (Go to any number,
// Skip, Find, Read, Replace, Lock, Append, Blank, Delete, Recall, Pack,
// CopyRecord, SetFlush). Whatever the bytes, neither the engine nor the
// class may crash or touch memory outside its buffers.
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>

#include "db/CDatabase.h"
#include "messages/ShowError.h"
#include "engine/table.h"

// Warnings are counted, not shown: there is nobody to press OK.
static unsigned warnings = 0;
void ShowError(const char*, const char*) { ++warnings; }
void ShowErrorAt(const char*, const char*, const ErrorPlace&) { ++warnings; }
void SetErrorSink(ErrorSink) {}

namespace {

std::string ScratchPath() {
  char path[64];
  std::snprintf(path, sizeof path, "/tmp/xbfuzz-%d.dbf", int(getpid()));
  return path;
}

bool WriteTable(const std::string& path, const uint8_t* data, size_t size);
void WalkEngine(const std::string& path);
void PlayScript(const std::string& path, const uint8_t* script, size_t n);

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = ScratchPath();
  // The whole input is the table; its last bytes (the records, usually)
  // double as the script, so every corpus table also drives the class.
  size_t scriptSize = std::min<size_t>(size, 128);
  if (!WriteTable(path, data, size)) return 0;
  WalkEngine(path);
  if (!WriteTable(path, data, size)) return 0;
  PlayScript(path, data + size - scriptSize, scriptSize);
  return 0;
}

namespace {

bool WriteTable(const std::string& path, const uint8_t* data, size_t size) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  std::fwrite(data, 1, size, f);
  return std::fclose(f) == 0;
}

void WalkEngine(const std::string& path) {
  xb::Context context;
  std::unique_ptr<xb::Table> table = xb::Table::Open(context, path.c_str());
  if (!table) return;
  char text[300];
  unsigned steps = 0;
  for (table->Top(); steps < 64; ++steps) {
    for (unsigned n = 1; n <= table->FieldCount(); ++n) {
      xb::Field* field = table->FieldAt(int(n));
      field->CopyText(text, sizeof text);
      (void)field->AsInt();
      table->FieldNumber(field->Name());
      if (steps % 2) field->AssignText(text + 1);
      else field->AssignDouble(-12345.678);
    }
    table->Flush();
    if (steps == 3) table->Delete();
    if (!table->Skip(1)) break;
  }
  table->Go(0);
  table->Go(table->RecCount() + 5);
  table->Bottom();
  table->Append();
  table->Pack();
  table->Close();
}

char* Name(CDatabase& db, uint8_t pick) {
  static char unknown[] = "NO_SUCH";
  unsigned count = 0;
  while (count < 1024 && db.Fieldname(count + 1)[0]) ++count;
  return count && pick % 8 ? db.Fieldname(pick % count + 1) : unknown;
}

void PlayScript(const std::string& path, const uint8_t* script, size_t n) {
  CDatabase db;
  if (!db.Open(const_cast<char*>(path.c_str()))) return;
  char text[300];
  char value[] = "fuzzed text that is longer than most fields of any table, by design";
  for (size_t i = 0; i + 1 < n; i += 2) {
    uint8_t op = script[i], arg = script[i + 1];
    int number = int(int8_t(arg));
    switch (op % 16) {
      case 0: db.Go(arg); break;
      case 1: db.Go(0xFFFFFFF0u + arg); break;
      case 2: db.Skip(number); break;
      case 3: db.Top(); break;
      case 4: db.Bottom(); break;
      case 5: if (db.FieldLength(Name(db, arg)) < sizeof text) db.Read(Name(db, arg), text); break;
      case 6: { int v = 0; db.Read(Name(db, arg), &v); break; }
      case 7: db.Replace(Name(db, arg), value + arg % 40); break;
      case 8: db.Replace(Name(db, arg), number * 1000003); break;
      case 9: db.Find(Name(db, arg), number); break;
      case 10: db.Find(Name(db, arg), value + arg % 60); break;
      case 11: db.Lock(); db.Unlock(); break;
      case 12: db.Append(); break;
      case 13: arg % 3 == 0 ? db.Blank() : arg % 3 == 1 ? db.Delete() : db.Recall(); break;
      case 14: arg % 2 ? db.Pack() : db.CopyRecord(arg, db.RecNo()); break;
      default: db.SetFlush(arg % 2); db.Flush(); break;
    }
  }
  db.Close();
}

}  // namespace
