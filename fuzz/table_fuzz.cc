// Opens arbitrary bytes as a table, walks every record and reads and writes
// every field. Whatever the bytes, the engine must neither crash nor touch
// memory outside its buffers.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "engine/table.h"

namespace {

std::string ScratchPath() {
  char path[64];
  std::snprintf(path, sizeof path, "/tmp/xbfuzz-%d.dbf", int(getpid()));
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = ScratchPath();
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);

  xb::Context context;
  std::unique_ptr<xb::Table> table = xb::Table::Open(context, path.c_str());
  if (!table) return 0;
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
    if (table->Skip(1) != 0) break;
  }
  table->Go(0);
  table->Go(table->RecCount() + 5);
  table->Bottom();
  table->Append();
  table->Pack();
  table->Close();
  return 0;
}
