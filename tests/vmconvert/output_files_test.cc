// vmconvert's own output files, the report and the journal, can never
// destroy a table: a path that names a file the run reads or writes, or the
// other output, refuses the run (status 1); a report replaces only one of
// ours or an empty file, a journal nothing (status 6). Nothing is created
// and every file stays byte for byte as it was.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/temp_dir.h"
#include "tests/vmconvert/vmconvert_run.h"
#include "tools/vmtables.h"

namespace {

using vmtables::Layout;
using vmtables::Variation;

class OutputFilesTest : public VmconvertTest {
 protected:
  // Fresh tables, their indexes and a file of the operator's.
  void MakeFiles() {
    ASSERT_TRUE(vmtables::MakeVmTable(live, Layout::kSmall, 10));
    ASSERT_TRUE(vmtables::MakeVmTable(big, Layout::kBig, 10, Variation{1, 0}));
    WriteBytes(dir.File("vm001.ndx"), {'l', 'i', 'v', 'e'});
    WriteBytes(dir.File("vm001_big.ndx"), {'b', 'i', 'g'});
    WriteBytes(dir.File("notes.txt"), {'m', 'i', 'n', 'e'});
    CreateDirectoryA(dir.File("sub").c_str(), nullptr);
  }
};

TEST_F(OutputFilesTest, NoReportOrJournalPathCanDestroyAFile) {
  std::string relativeLive = dir.File("sub\\..\\vm001.dbf");
  const struct {
    const char* what;
    std::string args;
    int status;
    std::vector<std::string> said;  // each part in standard error
  } cases[] = {
      {"a usage error whose report names the live table", Paths() + " --bogus --report \"" + live + "\"", 1,
       {"unknown option --bogus", "no report written", live}},
      {"the report names the target", Paths() + " --report \"" + big + "\"", 1, {"the report", "the target table"}},
      {"the report names the live table", Paths() + " --report \"" + live + "\"", 1, {"the report", "the live table"}},
      {"the report names the live table in other letters", Paths() + " --report \"" + Upper(live) + "\"", 1,
       {"the report", "the live table"}},
      {"the report names the live table by another spelling", Paths() + " --report \"" + relativeLive + "\"", 1,
       {"the report", "the live table"}},
      {"the report names the live table's index", Paths() + " --swap --report \"" + dir.File("vm001.ndx") + "\"",
       1, {"the report", "the live table's index"}},
      {"the report names the swap's backup", Paths() + " --swap --report \"" + dir.File("vm001_small.dbf") + "\"",
       1, {"the report", "the swap's backup"}},
      {"the journal names the live table", Paths() + " --journal \"" + live + "\"", 1,
       {"the journal", "the live table"}},
      {"the journal names the target", Paths() + " --journal \"" + big + "\"", 1, {"the journal", "the target table"}},
      {"the report and the journal are one file",
       Paths() + " --report \"" + dir.File("r.json") + "\" --journal \"" + dir.File("R.JSON") + "\"", 1,
       {"the report", "the journal"}},
      {"the report names a text file that is not ours", Paths() + " --report \"" + dir.File("notes.txt") + "\"", 6,
       {"not a vmconvert report"}},
      {"the journal names a file that is there", Paths() + " --journal \"" + dir.File("notes.txt") + "\"", 6,
       {"never replaces a file"}},
      {"undo of a journal that is not there, its report naming a table",
       "undo \"" + dir.File("none.jsonl") + "\" --report \"" + big + "\"", 6, {"not a vmconvert report"}},
      {"undo whose report names the journal undone",
       "undo \"" + dir.File("notes.txt") + "\" --report \"" + dir.File("notes.txt") + "\"", 1,
       {"the report", "the journal undone"}},
  };
  for (const auto& c : cases) {
    MakeFiles();
    auto before = Snapshot(dir.path());
    Result r = Vmconvert(c.args);
    EXPECT_EQ(r.status, c.status) << c.what << ": " << r.out << r.err;
    for (const std::string& part : c.said) EXPECT_TRUE(Has(r.err, part)) << c.what << ": no \"" << part << "\" in " << r.err;
    EXPECT_TRUE(Snapshot(dir.path()) == before) << c.what << ": a file was written, created or removed";
  }
}

// A report of ours, or an empty file, is replaced as before.
TEST_F(OutputFilesTest, AReportOfOursOrAnEmptyFileIsReplaced) {
  for (const std::vector<unsigned char>& there :
       {std::vector<unsigned char>(), std::vector<unsigned char>{'{', '"', 's', 'w', 'a', 'p', '"', ':', '"', 'x', '"', '}'}}) {
    MakeFiles();
    WriteBytes(dir.File("r.json"), there);
    Result r = Vmconvert(Paths() + " --dry-run --report \"" + dir.File("r.json") + "\"");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadJson(dir.File("r.json"))["exit_status"], 0) << "the report was not written over " << there.size()
                                                             << " bytes";
  }
}

}  // namespace
