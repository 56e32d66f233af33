// vmconvert.exe run as a script would run it: its exit statuses, what it
// prints, and what it leaves in the table files.
#include <windows.h>

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "commands/PathNames.h"
#include "commands/TargetLock.h"
#include "engine/file_system.h"
#include "tests/support/raw_dbf.h"
#include "tests/support/table_edit.h"
#include "tests/support/temp_dir.h"
#include "tests/vmconvert/vmconvert_run.h"
#include "tools/vmtables.h"

namespace {

using vmtables::Layout;
using vmtables::Variation;

TEST_F(VmconvertTest, AUsageErrorHelpAndVersion) {
  Result r = Vmconvert("small-to-big --bogus");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "vmconvert: unknown option --bogus\nTry 'vmconvert --help' for the commands and options.\n")
      << "the error and one line pointing to the help, not the whole help";
  Result help = Vmconvert("small-to-big --help");
  EXPECT_EQ(help.status, 0);
  EXPECT_TRUE(Has(help.out, "Exit status:")) << help.out;
  Result version = Vmconvert("--version");
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "vmconvert 2.0.0\n");
}

// The report is made before the job, so a run whose outcome could not be
// told never starts; and every exit, a usage error's too, leaves a fresh one.
TEST_F(VmconvertTest, EveryExitWritesAFreshReportAndAnUnwritableOneRefusesTheRun) {
  ASSERT_TRUE(vmtables::MakeVmTable(live, Layout::kSmall, 10));
  ASSERT_TRUE(vmtables::MakeVmTable(big, Layout::kBig, 10, Variation{1, 0}));
  std::vector<unsigned char> before = ReadBytes(big);
  Result refused = Vmconvert(Paths() + " --report \"" + dir.path() + "\"");
  EXPECT_EQ(refused.status, 6) << refused.err;
  EXPECT_TRUE(Has(refused.err, "could not be written")) << refused.err;
  EXPECT_EQ(ReadBytes(big), before) << "the run went on without its report";

  std::string path = dir.File("r.json");
  ASSERT_EQ(Vmconvert(Paths() + " --dry-run --report \"" + path + "\"").status, 0) << "an earlier report";
  Result usage = Vmconvert("small-to-big --report \"" + path + "\" --bogus");
  EXPECT_EQ(usage.status, 1);
  std::vector<unsigned char> bytes = ReadBytes(path);
  nlohmann::json report = nlohmann::json::parse(bytes.begin(), bytes.end(), nullptr, false);
  EXPECT_EQ(report["exit_status"], 1) << std::string(bytes.begin(), bytes.end());
  EXPECT_EQ(report["reason"], "unknown option --bogus");
  EXPECT_EQ(report["version"], "2.0.0");
}

// check, for monitoring: compares as a dry run does, lists nothing, writes
// nothing; 8 while fields differ, 0 once the tables agree.
TEST_F(VmconvertTest, CheckSaysWhetherTheTablesAgree) {
  ASSERT_TRUE(vmtables::MakeVmTable(live, Layout::kSmall, 30));
  ASSERT_TRUE(vmtables::MakeVmTable(big, Layout::kBig, 30, Variation{7, 0}));
  std::vector<unsigned char> before = ReadBytes(big);
  std::string args = "check small-to-big --live \"" + live + "\" --big \"" + big + "\"";
  Result differ = Vmconvert(args);
  EXPECT_EQ(differ.status, 8) << differ.err;
  EXPECT_EQ(ReadBytes(big), before) << "a check writes nothing";
  EXPECT_FALSE(Has(differ.out, "\nrecord ")) << "a check lists nothing: " << differ.out;
  EXPECT_GT(NumberAfter(differ.out, "fields that would be written:"), 0u) << differ.out;
  ASSERT_EQ(Vmconvert(Paths()).status, 0) << "the run itself";
  Result agree = Vmconvert(args);
  EXPECT_EQ(agree.status, 0) << agree.out << agree.err;
  EXPECT_TRUE(Has(agree.out, "fields that would be written: 0\n")) << agree.out;
}

// Records 5 to 100 of the target cannot be read (the test build's file
// layer fails them as a locked range would). The first warning names the
// operation, the table's full path, the record and the system's reason;
// the 95 like it are counted, not printed; the report keeps them all.
TEST_F(VmconvertTest, WarningsSayWhereAndRepeatsAreCounted) {
  ASSERT_TRUE(vmtables::MakeVmTable(live, Layout::kSmall, 200));
  ASSERT_TRUE(vmtables::MakeVmTable(big, Layout::kBig, 200, Variation{1, 0}));
  RawDbf layout(big);
  std::string range = std::to_string(layout.RecordOffset(5)) + ":" + std::to_string(layout.RecordOffset(101));
  SetEnvironmentVariableA("VMCONVERT_UNREADABLE", range.c_str());
  Result r = Vmconvert(Paths() + " --report \"" + dir.File("r.json") + "\"", Hooks());
  SetEnvironmentVariableA("VMCONVERT_UNREADABLE", nullptr);
  EXPECT_EQ(r.status, 5) << r.err;
  EXPECT_TRUE(Has(r.err, "Error: CDatabase::Go (table " + big + ", record 5): ")) << r.err;
  EXPECT_FALSE(Has(r.err, "record 6)")) << "a repeat was printed: " << r.err;
  EXPECT_TRUE(Has(r.err, "... and 95 more like it: Error: CDatabase::Go (table " + big)) << r.err;
  std::vector<unsigned char> bytes = ReadBytes(dir.File("r.json"));
  nlohmann::json report = nlohmann::json::parse(bytes.begin(), bytes.end(), nullptr, false);
  EXPECT_EQ(report["warnings"].size(), 96u) << "the report keeps every one";
  EXPECT_EQ(report["records_unreadable"]["target"], 96);
}

// --live naming the live table's folder, as Vm001Path may.
TEST_F(VmconvertTest, TheLiveTableByItsFolder) {
  ASSERT_TRUE(vmtables::MakeVmTable(live, Layout::kSmall, 5));
  ASSERT_TRUE(vmtables::MakeVmTable(big, Layout::kBig, 5, Variation{2, 0}));
  std::string folder = live.substr(0, live.rfind('\\'));
  Result r = Vmconvert("--dry-run --live \"" + folder + "\" --big \"" + big + "\" -- small-to-big");
  EXPECT_EQ(r.status, 0) << r.err;
  std::string lower = live;
  for (char& c : lower) c = char(tolower(c));
  EXPECT_TRUE(Has(r.out, ": " + lower + " -> " + big + "\n"))
      << "the paths as the system resolved them, \\.\\ gone: " << r.out;
  EXPECT_TRUE(Has(r.out, "records compared: 5\n")) << r.out;
}

TEST_F(VmconvertTest, PathChecksSayWhatTheWindowSays) {
  Result empty = Vmconvert("small-to-big --live x --big \"\"");
  EXPECT_EQ(empty.status, 6);
  EXPECT_EQ(empty.err,
            "vmconvert: No big database defined to convert to !\nPlease enter the name and path of the big database.\n");
  Result missing = Vmconvert("big-to-small --live x --small \"" + dir.File("none.dbf") + "\"");
  EXPECT_EQ(missing.status, 6);
  EXPECT_TRUE(Has(missing.err, "The small database " + dir.File("none.dbf") + " was not found ! \n")) << missing.err;
  Result oldMissing = Vmconvert("old-to-new --old \"" + dir.File("old.dbf") + "\" --new \"" + dir.File("new.dbf") + "\"");
  EXPECT_EQ(oldMissing.status, 6);
  EXPECT_TRUE(Has(oldMissing.err, "The old personal database " + dir.File("old.dbf") + " was not found !"));
  EXPECT_EQ(oldMissing.out, "status 6: refused\n") << "nothing but the status line";
}

// Every run's output ends with its status, as a number and in words, for
// the log a scheduled task keeps.
TEST_F(VmconvertTest, EveryRunEndsWithItsStatusInWords) {
  ASSERT_TRUE(vmtables::MakeVmTable(live, Layout::kSmall, 20));
  ASSERT_TRUE(vmtables::MakeVmTable(big, Layout::kBig, 20, Variation{1, 0}));
  const struct {
    std::string args;
    const char* last;
  } cases[] = {
      {"check " + Paths(), "status 8: fields differ"},
      {Paths(), "status 0: done"},
      {Paths() + " --bogus", "status 1: usage error"},
      {"undo \"" + dir.File("none.jsonl") + "\"", "status 6: refused"},
      {"compare \"" + live + "\" \"" + big + "\"", "status 6: refused"},
  };
  for (const auto& c : cases) {
    Result r = Vmconvert(c.args);
    std::string out = r.out.substr(0, r.out.size() - 1);
    EXPECT_EQ(out.substr(out.rfind('\n') + 1), c.last) << c.args << ":\n" << r.out;
  }
}

// compare lists what differs between two tables of one layout, field by
// field (--json for a script), and refuses two layouts; a --live naming a
// table other than vm001.dbf - a kept copy - takes it as named, so that a
// job brings its fields into the live table.
TEST_F(VmconvertTest, CompareShowsWhatDiffersAndAKeptCopyCanBeTheLiveTable) {
  std::string kept = dir.File("vm001-20261210-031500.dbf");
  ASSERT_TRUE(vmtables::MakeVmTable(big, Layout::kBig, 3000));
  ASSERT_TRUE(vmtables::MakeVmTable(kept, Layout::kBig, 3000));
  ASSERT_TRUE(SetField(kept, 7, "T05", "9"));
  ASSERT_TRUE(SetField(kept, 9, "T12", "x"));
  Result same = Vmconvert("compare \"" + big + "\" \"" + big + "\"");
  EXPECT_EQ(same.status, 0) << same.out << same.err;
  Result differ = Vmconvert("compare \"" + big + "\" \"" + kept + "\"");
  EXPECT_EQ(differ.status, 8) << differ.err;
  EXPECT_TRUE(Has(differ.out, "\nrecord 7 T05: \"")) << differ.out;
  EXPECT_TRUE(Has(differ.out, "\nrecords that differ: 2\nfields that differ: 2\n")) << differ.out;
  Result json = Vmconvert("compare \"" + big + "\" \"" + kept + "\" --json");
  std::vector<std::string> lines;
  for (size_t at = 0, end; (end = json.out.find('\n', at)) != std::string::npos; at = end + 1)
    lines.push_back(json.out.substr(at, end - at));
  ASSERT_GE(lines.size(), 3u) << json.out;
  nlohmann::json first = nlohmann::json::parse(lines[0], nullptr, false);
  EXPECT_EQ(first.value("record", 0), 7) << lines[0];
  EXPECT_EQ(first.value("field", ""), "T05") << lines[0];
  nlohmann::json summary = nlohmann::json::parse(lines[2], nullptr, false);
  EXPECT_EQ(summary.value("fields_differing", 0), 2) << lines[2];

  ASSERT_TRUE(vmtables::MakeVmTable(live, Layout::kSmall, 3000));
  Result back = Vmconvert("big-to-small --live \"" + kept + "\" --small \"" + live + "\"");
  EXPECT_EQ(back.status, 0) << back.err;
  EXPECT_TRUE(Has(back.out, "big-to-small: " + kept + " -> " + live)) << "the kept copy as named: " << back.out;
  RawDbf restored(live);
  EXPECT_EQ(restored.Value(7, "T05"), "9") << "the kept copy's field came back";
}

// A live table that cannot be opened is said with the system's reason on
// a line of its own: one that is not there, and one the server holds
// open sharing nothing.
TEST_F(VmconvertTest, ALiveTableThatCannotBeOpenedIsReportedWithWhyAndNothingRuns) {
  ASSERT_TRUE(vmtables::MakeVmTable(big, Layout::kBig, 10));
  const std::string said = "Error !: The database " + live + " could not be opend !\nPlease check that the database exists.\n";
  Result missing = Vmconvert(Paths() + " --quiet-boxes");
  EXPECT_EQ(missing.status, 2);
  EXPECT_EQ(missing.err, said + xb::FileErrorText(ERROR_FILE_NOT_FOUND) + "\n");
  EXPECT_FALSE(Has(missing.out, "% converted"));
  ASSERT_TRUE(vmtables::MakeVmTable(live, Layout::kSmall, 10));
  HANDLE server = CreateFileA(live.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(server, INVALID_HANDLE_VALUE);
  Result held = Vmconvert(Paths() + " --no-journal");
  CloseHandle(server);
  EXPECT_EQ(held.status, 2);
  EXPECT_EQ(held.err, said + xb::FileErrorText(ERROR_SHARING_VIOLATION) + "\n");
}

TEST_F(VmconvertTest, ADryRunListsTheWritesAndChangesNothing) {
  ASSERT_TRUE(vmtables::MakeVmTable(live, Layout::kSmall, 50));
  ASSERT_TRUE(vmtables::MakeVmTable(big, Layout::kBig, 40, Variation{5, 0}));
  std::vector<unsigned char> bytes = ReadBytes(big);
  Result dry = Vmconvert(Paths() + " --dry-run --quiet-boxes");
  EXPECT_EQ(dry.status, 5) << "the live table is longer than the big one: " << dry.err;
  EXPECT_FALSE(Has(dry.out, "% compared")) << "progress goes to standard error";
  EXPECT_TRUE(Has(dry.err, "100 % compared")) << dry.err;
  EXPECT_FALSE(Has(dry.err, "% converted")) << "a dry run converts nothing: " << dry.err;
  EXPECT_EQ(ReadBytes(big), bytes) << "a dry run writes nothing";
  EXPECT_TRUE(Has(dry.out, "records compared: 40\nrecords beyond either table's end: 11960\n")) << dry.out;
  // Field 2 of record 3 is one of those the variation changed.
  EXPECT_TRUE(Has(dry.out, "record 3 T02 (status): target \"" +
                               vmtables::VmValue(Layout::kBig, 3, 2, Variation{5, 0}) + "\" -> source \"" +
                               vmtables::VmValue(Layout::kSmall, 3, 2) + "\"\n"))
      << dry.out;
  int listed = 0;
  for (size_t at = dry.out.find("\nrecord "); at != std::string::npos; at = dry.out.find("\nrecord ", at + 1)) ++listed;
  EXPECT_EQ(listed, 40 * 32 / 5) << "every fifth copied field of every record";
  EXPECT_TRUE(Has(dry.out, "fields that would be written: " + std::to_string(listed) + "\n")) << dry.out;

  Result real = Vmconvert(Paths());
  EXPECT_EQ(real.status, 5) << "warned, and still written";
  EXPECT_TRUE(Has(real.err, "Error !: The database " + live + " holds only") ||
              Has(real.err, "Error !: The database " + big + " holds only 40 records !"))
      << real.err;
  EXPECT_TRUE(Has(real.out, "fields written: " + std::to_string(listed) + "\n")) << real.out;
  EXPECT_EQ(RawDbf(big).Value(3, "T02"), vmtables::VmValue(Layout::kSmall, 3, 2));
  Result again = Vmconvert(Paths() + " --quiet-boxes");
  EXPECT_TRUE(Has(again.out, "fields written: 0\n")) << again.out;
}

// The test build delivers the event on a thread of its own, as the system
// does; the shipped program has no such hook.
// Every field of every record differs, so the run's counts can be checked
// against what really changed in the file.
TEST_F(VmconvertTest, EveryConsoleEventIsAConfirmedCancelWithExactCounts) {
  ASSERT_TRUE(vmtables::MakeVmTable(live, Layout::kSmall, 12000));
  for (const char* event : {"c", "break", "close", "logoff", "shutdown"}) {
    ASSERT_TRUE(vmtables::MakeVmTable(big, Layout::kBig, 12000, Variation{1, 0}));
    RawDbf before(big);
    SetEnvironmentVariableA("VMCONVERT_EVENT_AFTER_STEPS", (std::string("3:") + event).c_str());
    Result r = Vmconvert(Paths(), Hooks());
    EXPECT_EQ(r.status, 3) << event << ": " << r.out << r.err;
    unsigned stopped = NumberAfter(r.out, "cancelled after record");
    EXPECT_TRUE(Has(r.out, "cancelled after record " + std::to_string(stopped) + " of 12000;")) << r.out;
    EXPECT_GE(stopped, 360u) << event << ": three steps of 120 records came first";
    EXPECT_LT(stopped, 12000u) << event;
    RawDbf after(big);
    EXPECT_EQ(after.Records(), 12000u) << event;
    unsigned changed = 0, changedBeyond = 0;
    for (uint32_t n = 1; n <= 12000; ++n) {
      bool differs = after.Value(n, "T02") != before.Value(n, "T02");
      changed += differs;
      changedBeyond += differs && n > stopped;
    }
    EXPECT_EQ(changed, stopped) << event << ": every record up to the one it stopped after, and no other";
    EXPECT_EQ(changedBeyond, 0u) << event;
    EXPECT_EQ(NumberAfter(r.out, "records compared:"), stopped) << event << ": " << r.out;
    EXPECT_EQ(NumberAfter(r.out, "T02 (status):"), stopped) << event;
    EXPECT_EQ(NumberAfter(r.out, "fields written:"), stopped * 32) << event;
    EXPECT_FALSE(Has(r.err, "100 %")) << event << ": a cancelled run never reads 100 %: " << r.err;
    EXPECT_TRUE(Has(r.err, "cancelled at ")) << event << ": " << r.err;
    EXPECT_TRUE(DeleteFileA(big.c_str())) << event << ": the tables were closed";
  }
  SetEnvironmentVariableA("VMCONVERT_EVENT_AFTER_STEPS", "3");
  ASSERT_TRUE(vmtables::MakeVmTable(big, Layout::kBig, 12000, Variation{1, 0}));
  Result shipped = Vmconvert(Paths());
  EXPECT_EQ(shipped.status, 0) << "the shipped program has no test hook";
}

// A cancel that comes once the job has dealt with every record cancels
// nothing: the run is done.
TEST_F(VmconvertTest, ACancelAfterTheLastRecordLeavesTheRunDone) {
  ASSERT_TRUE(vmtables::MakeVmTable(live, Layout::kSmall, 200));
  ASSERT_TRUE(vmtables::MakeVmTable(big, Layout::kBig, 200, Variation{1, 0}));
  SetEnvironmentVariableA("VMCONVERT_EVENT_AFTER_STEPS", "end:c");
  Result r = Vmconvert(Paths() + " --report \"" + dir.File("r.json") + "\"", Hooks());
  EXPECT_FALSE(Has(r.out, "cancelled")) << r.out;
  EXPECT_TRUE(Has(r.err, "100 % converted")) << r.err;
  std::vector<unsigned char> bytes = ReadBytes(dir.File("r.json"));
  nlohmann::json report = nlohmann::json::parse(bytes.begin(), bytes.end(), nullptr, false);
  EXPECT_EQ(report["cancelled"], false) << std::string(bytes.begin(), bytes.end());
}

// A target that may only be read is refused before the job, with one
// message naming it and the system's reason; a dry run says the real run
// would be refused. (How failing writes are counted: PersonalJob_test.)
TEST_F(VmconvertTest, ATargetThatCannotBeWrittenIsRefusedBeforeTheJob) {
  ASSERT_TRUE(vmtables::MakeVmTable(live, Layout::kSmall, 50));
  ASSERT_TRUE(vmtables::MakeVmTable(big, Layout::kBig, 50, Variation{1, 0}));
  std::vector<unsigned char> original = ReadBytes(big);
  ASSERT_TRUE(SetFileAttributesA(big.c_str(), FILE_ATTRIBUTE_READONLY));
  Result r = Vmconvert(Paths() + " --report \"" + dir.File("report.json") + "\"");
  Result dry = Vmconvert(Paths() + " --dry-run");
  SetFileAttributesA(big.c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(r.status, 2) << r.out << r.err;
  std::string said = "The database " + big + " cannot be written !\n";
  EXPECT_TRUE(Has(r.err, said)) << r.err;
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 3) << "one message, not one per field: " << r.err;
  EXPECT_FALSE(Has(r.out, "fields written")) << "no job ran: " << r.out;
  EXPECT_EQ(ReadBytes(big), original);
  std::vector<unsigned char> bytes = ReadBytes(dir.File("report.json"));
  nlohmann::json report = nlohmann::json::parse(bytes.begin(), bytes.end(), nullptr, false);
  EXPECT_EQ(report["exit_status"], 2) << std::string(bytes.begin(), bytes.end());
  EXPECT_TRUE(Has(report["reason"].get<std::string>(), said)) << report["reason"];
  EXPECT_EQ(dry.status, 2) << dry.err;
  EXPECT_TRUE(Has(dry.err, "a real run would be refused: " + said)) << dry.err;
  EXPECT_TRUE(Has(dry.out, "fields that would be written: 1600\n")) << "the dry run still compares: " << dry.out;
}

TEST_F(VmconvertTest, SwapAfterARunAndAFailingBackup) {
  ASSERT_TRUE(vmtables::MakeVmTable(live, Layout::kSmall, 20));
  ASSERT_TRUE(vmtables::MakeVmTable(big, Layout::kBig, 20, Variation{3, 0}));
  std::vector<unsigned char> oldLive = ReadBytes(live);
  CreateDirectoryA(dir.File("vm001_small.dbf").c_str(), nullptr);
  Result failed = Vmconvert(Paths() + " --swap --quiet-boxes");
  EXPECT_EQ(failed.status, 4);
  EXPECT_TRUE(Has(failed.err, "could not be copied")) << failed.err;
  EXPECT_EQ(ReadBytes(live), oldLive) << "the live table survives a failed backup";

  RemoveDirectoryA(dir.File("vm001_small.dbf").c_str());
  Result ok = Vmconvert(Paths() + " --swap --quiet-boxes");
  EXPECT_EQ(ok.status, 0) << ok.err;
  EXPECT_TRUE(Has(ok.out, "The files where successfully copied.")) << ok.out;
  EXPECT_EQ(ReadBytes(dir.File("vm001_small.dbf")), oldLive);
  EXPECT_EQ(ReadBytes(live), ReadBytes(big));
}

// Two personal swaps in a row: the second would copy the swapped-in table
// over the only copy of the original. The original is kept under its own
// dated name, and the output and the report say where.
TEST_F(VmconvertTest, TwoPersonalSwapsInARowKeepTheOriginal) {
  std::string oldTable = dir.File("kxpersonal.dbf"), newTable = dir.File("kxpers_new.dbf");
  ASSERT_TRUE(vmtables::MakePersonalTable(oldTable, 30));
  ASSERT_TRUE(vmtables::MakePersonalTable(newTable, 30, Variation{2, 0}));
  std::vector<unsigned char> original = ReadBytes(oldTable);
  std::string args = "old-to-new --old \"" + oldTable + "\" --new \"" + newTable + "\" --swap --report \"" +
                     dir.File("r.json") + "\"";
  Result first = Vmconvert(args);
  ASSERT_EQ(first.status, 0) << first.err;
  ASSERT_TRUE(vmtables::MakePersonalTable(newTable, 30, Variation{3, 0}));
  Result second = Vmconvert(args);
  ASSERT_EQ(second.status, 0) << second.err;
  std::vector<unsigned char> bytes = ReadBytes(dir.File("r.json"));
  nlohmann::json report = nlohmann::json::parse(bytes.begin(), bytes.end(), nullptr, false);
  ASSERT_EQ(report["backups_kept"].size(), 1u) << std::string(bytes.begin(), bytes.end());
  std::string kept = report["backups_kept"][0][1];
  EXPECT_EQ(report["backups_kept"][0][0], dir.File("kxpersonal_old.dbf"));
  EXPECT_EQ(ReadBytes(kept), original) << "the original is gone";
  EXPECT_TRUE(Has(second.out, "kept the older backup " + dir.File("kxpersonal_old.dbf") + " as " + kept + "\n"))
      << second.out;
}

// Everything --swap will refuse is refused before the job writes: here a
// live index without a converted one.
TEST_F(VmconvertTest, ASwapThatWouldBeRefusedStopsTheRunBeforeItWrites) {
  ASSERT_TRUE(vmtables::MakeVmTable(live, Layout::kSmall, 20));
  ASSERT_TRUE(vmtables::MakeVmTable(big, Layout::kBig, 20, Variation{1, 0}));
  WriteBytes(dir.File("vm001.ndx"), {'i'});
  std::vector<unsigned char> before = ReadBytes(big);
  Result r = Vmconvert(Paths() + " --swap");
  EXPECT_EQ(r.status, 6) << r.err;
  EXPECT_TRUE(Has(r.err, "has an index file, but the converted table")) << r.err;
  EXPECT_EQ(ReadBytes(big), before) << "fields were written before the refusal";
  EXPECT_EQ(r.out, "status 6: refused\n") << "nothing but the status line";
}

// After the first swap the live table is big; a second small-to-big swap
// would copy it over the only copy of the original small table.
TEST_F(VmconvertTest, ASecondSwapIsRefusedByTheLiveTablesSize) {
  ASSERT_TRUE(vmtables::MakeVmTable(live, Layout::kSmall, 3000));
  ASSERT_TRUE(vmtables::MakeVmTable(big, Layout::kBig, 3000, Variation{7, 0}));
  ASSERT_GT(std::filesystem::file_size(big), 2100000u);
  std::vector<unsigned char> original = ReadBytes(live);
  Result first = Vmconvert(Paths() + " --swap --quiet-boxes");
  ASSERT_EQ(first.status, 0) << first.err;
  Result second = Vmconvert(Paths() + " --swap --quiet-boxes");
  EXPECT_EQ(second.status, 6);
  EXPECT_TRUE(Has(second.err, "The live table " + live + " is larger than 2100000 bytes and so has the big layout !"))
      << second.err;
  EXPECT_EQ(ReadBytes(dir.File("vm001_small.dbf")), original) << "the original small table is kept";
  Result back = Vmconvert("big-to-small --live \"" + live + "\" --small \"" + dir.File("vm001_small.dbf") + "\" --quiet-boxes");
  EXPECT_EQ(back.status, 0) << "the direction that fits runs: " << back.err;
}

// A job holding the target (as the window's job would) refuses a second
// one into the same table however it is spelled, and lets it run after.
TEST_F(VmconvertTest, OneJobPerTargetTableAtATime) {
  ASSERT_TRUE(vmtables::MakeVmTable(live, Layout::kSmall, 5));
  ASSERT_TRUE(vmtables::MakeVmTable(big, Layout::kBig, 5, Variation{2, 0}));
  std::vector<unsigned char> before = ReadBytes(big);
  TargetLock other;
  std::string upper = big;
  for (char& c : upper) c = char(toupper(c));
  ASSERT_TRUE(other.Acquire(upper.c_str()));
  Result refused = Vmconvert(Paths());
  EXPECT_EQ(refused.status, 7) << refused.err;
  EXPECT_TRUE(Has(refused.err, "The table " + big + " is being converted by another job !")) << refused.err;
  EXPECT_EQ(ReadBytes(big), before) << "nothing was written";
  other.Release();
  Result ran = Vmconvert(Paths());
  EXPECT_EQ(ran.status, 0) << ran.err;
  EXPECT_NE(ReadBytes(big), before);
}

// The lock knows a table by what file it is, not by how it is spelled: a
// job holding a table through a linked folder refuses a run naming it
// through the folder itself, and a job holding the live table refuses a
// run whose swap would replace it (a run without a swap only reads it).
TEST_F(VmconvertTest, OneRunPerTableWhateverPathNamesIt) {
  const std::string linked = CONVERTER_LINKED_FOLDER;
  const std::string real = linked + "\\real\\", link = linked + "\\link\\";
  std::string realLive = real + "vm001.dbf", realBig = real + "vm001_big.dbf";
  ASSERT_TRUE(vmtables::MakeVmTable(realLive, Layout::kSmall, 5));
  ASSERT_TRUE(vmtables::MakeVmTable(realBig, Layout::kBig, 5, Variation{2, 0}));
  std::vector<unsigned char> before = ReadBytes(realBig);
  std::string args = "small-to-big --live \"" + realLive + "\" --big \"" + realBig + "\" --no-journal";
  const struct {
    const char* held;  // in the link folder
    std::string more;
    int status;
  } cases[] = {
      {"vm001_big.dbf", "", 7},
      {"vm001.dbf", " --swap", 7},
      {"vm001_small.dbf", " --swap", 7},  // the swap's backup, not there yet
      {"vm001.dbf", "", 0},
  };
  for (const auto& c : cases) {
    TargetLock other;
    ASSERT_TRUE(other.Acquire((link + c.held).c_str()));
    Result r = Vmconvert(args + c.more);
    EXPECT_EQ(r.status, c.status) << c.held << c.more << ": " << r.err;
    if (c.status != 7) continue;
    EXPECT_TRUE(Has(r.err, "is being converted by another job !")) << r.err;
    EXPECT_EQ(ReadBytes(realBig), before) << c.held << c.more << ": written beside a job that holds it";
  }
  for (const char* name : {"vm001.dbf", "vm001_big.dbf", "vm001_small.dbf", "vm001_small.dbf.swap"})
    DeleteFileA((real + name).c_str());
}

// The lock lives in the Global\\ namespace, so that a scheduled task in
// session 0 and the window in the operator's session meet: a mutex of that
// name, made here by hand, refuses the run.
TEST_F(VmconvertTest, TheTargetLockIsGlobalAcrossLogonSessions) {
  ASSERT_TRUE(vmtables::MakeVmTable(live, Layout::kSmall, 5));
  ASSERT_TRUE(vmtables::MakeVmTable(big, Layout::kBig, 5, Variation{2, 0}));
  std::string id = FileIdentity(big.c_str());
  for (char& c : id)
    if (c == '\\') c = '/';
  HANDLE held = CreateMutexA(nullptr, TRUE, ("Global\\converter-target:" + id).c_str());
  ASSERT_NE(held, nullptr);
  Result refused = Vmconvert(Paths());
  EXPECT_EQ(refused.status, 7) << refused.err;
  ReleaseMutex(held);
  CloseHandle(held);
  TargetLock mine;
  ASSERT_TRUE(mine.Acquire(big.c_str()));
  ASSERT_FALSE(mine.names().empty());
  EXPECT_EQ(mine.names()[0], "converter-target:" + id);
}

TEST_F(VmconvertTest, AWarningStopsTheSwapAndTheReportSaysWhatHappened) {
  ASSERT_TRUE(vmtables::MakeVmTable(live, Layout::kSmall, 30));
  ASSERT_TRUE(vmtables::MakeVmTable(big, Layout::kBig, 20, Variation{4, 0}));
  std::vector<unsigned char> liveBefore = ReadBytes(live);
  std::string reportPath = dir.File("report.json");
  Result r = Vmconvert(Paths() + " --swap --report \"" + reportPath + "\"");
  EXPECT_EQ(r.status, 5) << r.err;
  EXPECT_EQ(ReadBytes(live), liveBefore) << "no swap after a warning";
  std::vector<unsigned char> bytes = ReadBytes(reportPath);
  nlohmann::json report = nlohmann::json::parse(bytes.begin(), bytes.end(), nullptr, false);
  ASSERT_FALSE(report.is_discarded()) << std::string(bytes.begin(), bytes.end());
  EXPECT_EQ(report["command"], "small-to-big");
  EXPECT_EQ(report["source"], live);
  EXPECT_EQ(report["target"], big);
  EXPECT_EQ(report["records_compared"], 20);
  EXPECT_TRUE(Has(r.out, "records compared: 20\n")) << r.out;
  EXPECT_EQ(report["records_beyond_source_end"], 12000 - 30);
  EXPECT_EQ(report["records_beyond_target_end"], 12000 - 20);
  int written = 0;
  for (const auto& f : report["fields_written"].items()) written += f.value().get<int>();
  EXPECT_TRUE(Has(r.out, "fields written: " + std::to_string(written) + "\n")) << r.out;
  EXPECT_GT(written, 0);
  ASSERT_EQ(report["warnings"].size(), 1u);
  EXPECT_TRUE(Has(report["warnings"][0].get<std::string>(), "holds only 20 records !"));
  EXPECT_EQ(report["cancelled"], false);
  EXPECT_EQ(report["swap"], "not made");
  EXPECT_EQ(report["exit_status"], 5);
  EXPECT_GE(report["seconds"].get<double>(), 0.0);
}

// What Windows shows in a program's properties, and what it reads before
// starting it.
TEST_F(VmconvertTest, BothProgramsCarryAVersionAndAManifest) {
  size_t slash = program.find_last_of("\\/");
  std::string folder = slash == std::string::npos ? "" : program.substr(0, slash + 1);
  const struct {
    std::string path, description;
    bool commonControls;
  } programs[] = {{program, "Veltrano database converter, console front end", false},
                  {folder + "..\\app\\converter.exe", "Veltrano database converter", true}};
  for (const auto& p : programs) {
    DWORD ignored = 0, size = GetFileVersionInfoSizeA(p.path.c_str(), &ignored);
    ASSERT_GT(size, 0u) << p.path << " has no version resource";
    std::vector<char> info(size);
    ASSERT_TRUE(GetFileVersionInfoA(p.path.c_str(), 0, size, info.data()));
    auto value = [&](const char* name) {
      char* text = nullptr;
      UINT length = 0;
      std::string key = std::string("\\StringFileInfo\\040904b0\\") + name;
      return VerQueryValueA(info.data(), key.c_str(), reinterpret_cast<void**>(&text), &length) && text
                 ? std::string(text)
                 : std::string("<none>");
    };
    EXPECT_EQ(value("FileVersion"), "2.0.0") << p.path;
    EXPECT_EQ(value("ProductName"), "Veltrano database converter") << p.path;
    EXPECT_EQ(value("FileDescription"), p.description) << p.path;
    HMODULE module = LoadLibraryExA(p.path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr) << p.path;
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
    ASSERT_NE(found, nullptr) << p.path << " has no manifest";
    const char* xml = static_cast<const char*>(LockResource(LoadResource(module, found)));
    std::string manifest(xml, SizeofResource(module, found));
    FreeLibrary(module);
    EXPECT_TRUE(Has(manifest, "level=\"asInvoker\"")) << manifest;
    EXPECT_TRUE(Has(manifest, "<supportedOS Id=\"{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}\"/>")) << manifest;
    EXPECT_TRUE(Has(manifest, ">true</dpiAware>")) << manifest;
    EXPECT_EQ(Has(manifest, "Common-Controls\" version=\"6.0.0.0\""), p.commonControls) << manifest;
  }
}

TEST_F(VmconvertTest, TheLiveTableComesFromTheIniFileByDefault) {
  ASSERT_TRUE(vmtables::MakeVmTable(live, Layout::kSmall, 5));
  ASSERT_TRUE(vmtables::MakeVmTable(big, Layout::kBig, 5));
  std::string upper = live;
  for (char& c : upper) c = char(toupper(c));
  WritePrivateProfileStringA("Config", "Vm001Path", upper.c_str(), "kxaconf.ini");
  WritePrivateProfileStringA(nullptr, nullptr, nullptr, "kxaconf.ini");
  Result r = Vmconvert("small-to-big --big \"" + big + "\" --quiet-boxes");
  WritePrivateProfileStringA("Config", nullptr, nullptr, "kxaconf.ini");
  EXPECT_EQ(r.status, 0) << r.err;
  std::string lower = upper;
  for (char& c : lower) c = char(tolower(c));
  EXPECT_TRUE(Has(r.out, "small-to-big: " + lower + " -> ")) << r.out;
}


}  // namespace
