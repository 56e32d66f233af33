// converter.exe, for now a console program: makes a sample table with the
// table layer and prints it back. The exported classes live in this
// executable.
#include <cstdio>
#include <string>

#include "db/CDatabase.h"

namespace {

FIELD4INFO kSample[] = {{"IDXP", 'C', 6, 0, 0},
                        {"NAME", 'C', 24, 0, 0},
                        {"DEPARTMENT", 'C', 16, 0, 0},
                        {"TT1", 'N', 8, 0, 0},
                        {nullptr, 0, 0, 0, 0}};

const char* const kRows[][3] = {{"100", "Ada Lindqvist", "Alarms"},
                                {"101", "Bruno Castellan", "Voicemail"},
                                {"102", "Chiara Okafor", "Night shift"}};

char* S(const std::string& s) { return const_cast<char*>(s.c_str()); }

}  // namespace

int main(int argc, char** argv) {
  std::string path = argc > 1 ? argv[1] : "sample.dbf";
  CDatabase db;
  if (!db.Create(S(path), kSample)) {
    std::fprintf(stderr, "cannot create %s\n", path.c_str());
    return 2;
  }
  int n = 0;
  for (const auto& row : kRows) {
    db.Append();
    db.Replace(S("IDXP"), S(row[0]));
    db.Replace(S("NAME"), S(row[1]));
    db.Replace(S("DEPARTMENT"), S(row[2]));
    ++n;
    db.Replace(S("TT1"), 1000 * n + n);
  }
  db.Close();

  if (!db.Open(S(path))) {
    std::fprintf(stderr, "cannot open %s\n", path.c_str());
    return 2;
  }
  std::printf("%s: %u records\n", path.c_str(), db.RecCount());
  char idxp[7], name[25], department[17];
  int tt1 = 0;
  for (db.Top(); db.RecCount(); db.Skip(1)) {
    db.Read(S("IDXP"), idxp);
    db.Read(S("NAME"), name);
    db.Read(S("DEPARTMENT"), department);
    db.Read(S("TT1"), &tt1);
    std::printf("%u  %-6s %-24s %-16s %8d\n", db.RecNo(), idxp, name, department, tt1);
    if (db.RecNo() == db.RecCount()) break;
  }
  db.Close();
  return 0;
}
