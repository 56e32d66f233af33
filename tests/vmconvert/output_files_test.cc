// vmconvert's own output files, the report and the journal, can never
// destroy a table: a path that names a file the run reads or writes, or the
// other output, refuses the run (status 1); a report replaces only one of
// ours or an empty file, a journal nothing (status 6). Nothing is created
// and every file stays byte for byte as it was.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

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

// A report replaces only a report: one with our mark, one an earlier
// version wrote (every key it wrote), or an empty file. A JSON file whose
// keys are report keys but which is no report of ours - a script's own
// settings, an empty object - is left as it is (status 6).
TEST_F(OutputFilesTest, AReportReplacesOnlyAReport) {
  MakeFiles();
  std::string report = dir.File("r.json");
  ASSERT_EQ(Vmconvert(Paths() + " --dry-run --report \"" + report + "\"").status, 0);
  nlohmann::json marked = ReadJson(report), unmarked = marked;
  unmarked.erase("report_format");
  unmarked.erase("program");
  const struct {
    std::string there;
    int status;
  } cases[] = {
      {"", 0},
      {marked.dump(2), 0},
      {unmarked.dump(2), 0},
      {"{\"user\":\"mine\",\"computer\":\"x\"}", 6},
      {"{}", 6},
  };
  for (const auto& c : cases) {
    WriteBytes(report, std::vector<unsigned char>(c.there.begin(), c.there.end()));
    Result r = Vmconvert(Paths() + " --dry-run --report \"" + report + "\"");
    EXPECT_EQ(r.status, c.status) << c.there << ": " << r.err;
    std::vector<unsigned char> now = ReadBytes(report);
    if (c.status == 0)
      EXPECT_EQ(ReadJson(report)["exit_status"], 0) << "not written over " << c.there;
    else
      EXPECT_EQ(std::string(now.begin(), now.end()), c.there) << "a file that is not a report was replaced";
  }
}

// The tables and their indexes in folder, with their bytes.
std::map<std::string, std::vector<unsigned char>> Tables(const std::string& folder) {
  std::map<std::string, std::vector<unsigned char>> tables;
  for (const auto& e : std::filesystem::directory_iterator(folder)) {
    std::string extension = e.path().extension().string();
    if (extension == ".dbf" || extension == ".ndx") tables[e.path().filename().string()] = ReadBytes(e.path().string());
  }
  return tables;
}

// What a run makes for itself beside the files it names - the journal's
// room, the report's part, the swap's staging copies - is made anew: a
// file of that name that is another name of a table (a hard link) loses
// that name, and nothing is written through it. Each run ends as the same
// run ends with nothing there.
TEST_F(OutputFilesTest, WhatARunMakesForItselfIsNeverWrittenThroughALink) {
  const std::string args =
      Paths() + " --swap --journal \"" + dir.File("j.jsonl") + "\" --report \"" + dir.File("r.json") + "\"";
  auto fresh = [&] {
    for (const auto& e : std::filesystem::directory_iterator(dir.path())) std::filesystem::remove_all(e.path());
    MakeFiles();
  };
  fresh();
  Result clean = Vmconvert(args);
  ASSERT_EQ(clean.status, 0) << clean.err;
  const auto expected = Tables(dir.path());
  const struct {
    const char* made;   // a file the run makes for itself
    const char* table;  // the table or index it is planted as another name of
  } cases[] = {
      {"j.jsonl.room", "vm001.dbf"},       {"r.json.part", "vm001.dbf"},
      {"vm001.dbf.swap", "vm001_big.dbf"}, {"vm001_small.dbf.swap", "vm001.dbf"},
      {"vm001.ndx.swap", "vm001_big.ndx"}, {"vm001_small.ndx.swap", "vm001.ndx"},
  };
  for (const auto& c : cases) {
    fresh();
    ASSERT_TRUE(CreateHardLinkA(dir.File(c.made).c_str(), dir.File(c.table).c_str(), nullptr)) << c.made;
    Result r = Vmconvert(args);
    EXPECT_EQ(r.status, 0) << c.made << " as another name of " << c.table << ": " << r.err;
    EXPECT_TRUE(Tables(dir.path()) == expected) << c.made << " as another name of " << c.table
                                                << ": the tables are not as the run leaves them";
  }
}

// The journal folder holds the trail alone: a report named at it, before
// it is there, or at a file inside it, is refused (status 1) with nothing
// made, and the next run journals there as before.
TEST_F(OutputFilesTest, AReportIsNeverTheJournalFolderNorInIt) {
  MakeFiles();
  std::string folder = dir.File("vmconvert-journal");
  for (const std::string& report : {folder, folder + "\\r.json", Upper(folder) + "\\..\\vmconvert-journal\\x.json"}) {
    Result r = Vmconvert(Paths() + " --report \"" + report + "\"");
    EXPECT_EQ(r.status, 1) << report << ": " << r.err;
    EXPECT_TRUE(Has(r.err, "the journal folder")) << r.err;
    EXPECT_EQ(GetFileAttributesA(folder.c_str()), INVALID_FILE_ATTRIBUTES) << report << ": something was made";
  }
  Result run = Vmconvert(Paths());
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_FALSE(JournalOf(run.out).empty()) << run.out;
}

}  // namespace

namespace {

// "YYYYMMDD-HHMMSS" of the local time seconds from now.
std::string StampIn(int seconds) {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  ULARGE_INTEGER t{{now.dwLowDateTime, now.dwHighDateTime}};
  t.QuadPart += uint64_t(seconds) * 10000000;
  FILETIME then{t.LowPart, t.HighPart}, local;
  SYSTEMTIME s;
  FileTimeToLocalFileTime(&then, &local);
  FileTimeToSystemTime(&local, &s);
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%04u%02u%02u-%02u%02u%02u", s.wYear, s.wMonth, s.wDay, s.wHour, s.wMinute,
                s.wSecond);
  return stamp;
}

}  // namespace

// A default journal name is taken only where neither the journal nor its
// report is there, whatever is there: at the names of this and the next
// seconds a folder of the operator's where the journal would go, and a
// file another program holds open, sharing nothing, where the second
// name's report would go. Both stay as they are, and the run journals at
// the third name.
TEST_F(OutputFilesTest, WhatIsAtTheNextDefaultJournalNamesIsLeftAlone) {
  MakeFiles();
  std::string folder = dir.File("vmconvert-journal");
  CreateDirectoryA(folder.c_str(), nullptr);
  std::vector<std::string> folders;
  std::vector<HANDLE> held;
  for (int s = 0; s < 8; ++s) {
    folders.push_back(folder + "\\" + StampIn(s) + "-small-to-big.jsonl");
    CreateDirectoryA(folders.back().c_str(), nullptr);
    WriteBytes(folders.back() + "\\mine", {'m', 'i', 'n', 'e'});
    std::string report = folder + "\\" + StampIn(s) + "-small-to-big-2.json";
    WriteBytes(report, {'m', 'i', 'n', 'e'});
    held.push_back(CreateFileA(report.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_NE(held.back(), INVALID_HANDLE_VALUE);
  }
  Result r = Vmconvert(Paths());
  for (HANDLE h : held) CloseHandle(h);
  ASSERT_EQ(r.status, 0) << r.err;
  std::string journal = JournalOf(r.out);
  EXPECT_TRUE(Has(journal, "-small-to-big-3.jsonl")) << journal;
  for (const std::string& f : folders)
    EXPECT_EQ(ReadBytes(f + "\\mine"), (std::vector<unsigned char>{'m', 'i', 'n', 'e'})) << f;
  std::vector<std::string> lines = Lines(journal);
  ASSERT_GE(lines.size(), 2u);
  EXPECT_TRUE(Has(lines.front(), "\"type\":\"run\"") && Has(lines.back(), "\"type\":\"end\"")) << journal;
}

// Two runs started together into two tables of one folder choose their
// journals' names at the same moment, as two scheduled tasks of one minute
// would: each keeps a journal of its own, whole, and each is undone byte
// for byte.
TEST_F(OutputFilesTest, TwoRunsStartedTogetherKeepAJournalEach) {
  std::string other = dir.File("vm001_big2.dbf");
  for (int round = 0; round < 3; ++round) {
    MakeFiles();
    ASSERT_TRUE(vmtables::MakeVmTable(other, Layout::kBig, 10, Variation{2, 0}));
    std::vector<unsigned char> bigBefore = ReadBytes(big), otherBefore = ReadBytes(other);
    Result first, second;
    std::thread a([&] { first = Vmconvert(Paths()); });
    std::thread b([&] { second = Vmconvert("small-to-big --live \"" + live + "\" --big \"" + other + "\""); });
    a.join();
    b.join();
    ASSERT_EQ(first.status, 0) << first.err;
    ASSERT_EQ(second.status, 0) << second.err;
    std::string j1 = JournalOf(first.out), j2 = JournalOf(second.out);
    ASSERT_NE(j1, j2) << "round " << round << ": two runs journaled into one file";
    for (const std::string& journal : {j1, j2}) {
      std::vector<std::string> lines = Lines(journal);
      int runs = 0, ends = 0;
      for (const std::string& line : lines) {
        runs += Has(line, "\"type\":\"run\"");
        ends += Has(line, "\"type\":\"end\"");
      }
      EXPECT_EQ(runs * 10 + ends, 11) << journal << ": not one run line and one end line";
    }
    EXPECT_EQ(Vmconvert("undo \"" + j1 + "\"").status, 0);
    EXPECT_EQ(Vmconvert("undo \"" + j2 + "\"").status, 0);
    EXPECT_EQ(ReadBytes(big), bigBefore) << "round " << round;
    EXPECT_EQ(ReadBytes(other), otherBefore) << "round " << round;
  }
}
