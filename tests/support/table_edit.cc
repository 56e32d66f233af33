#include "tests/support/table_edit.h"

#include "db/CDatabase.h"
#include "tests/support/raw_dbf.h"

bool SetField(const std::string& path, uint32_t record, const char* field, const std::string& value) {
  CDatabase db;
  if (!db.Open(S(path))) return false;
  db.Go(record);
  db.Replace(S(field), S(value));
  db.Close();
  return true;
}

std::vector<std::string> FieldWrites(const FaultFileSystem& fs, const std::string& path) {
  RawDbf raw(path);
  std::vector<std::string> out;
  for (const auto& w : fs.log)
    if (w.path == path && raw.Where(w.offset) != "header") out.push_back(raw.Where(w.offset));
  return out;
}
