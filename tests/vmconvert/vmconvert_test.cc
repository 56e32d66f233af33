// vmconvert.exe run as a script would run it: its exit statuses, what it
// prints, and what it leaves in the table files.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/raw_dbf.h"
#include "tests/support/temp_dir.h"
#include "tools/vmtables.h"

namespace {

using vmtables::Layout;
using vmtables::Variation;

std::string program;  // vmconvert.exe, from the command line

struct Result {
  int status;
  std::string out, err;
};

std::string Drain(HANDLE pipe) {
  std::string text;
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(pipe, buffer, sizeof buffer, &got, nullptr) && got > 0)
    for (DWORD i = 0; i < got; ++i)
      if (buffer[i] != '\r') text += buffer[i];  // text-mode line ends
  return text;
}

// Runs vmconvert with args; standard output and error are pipes.
Result Vmconvert(const std::string& args) {
  SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
  HANDLE outRead, outWrite, errRead, errWrite;
  CreatePipe(&outRead, &outWrite, &sa, 0);
  CreatePipe(&errRead, &errWrite, &sa, 0);
  SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdOutput = outWrite;
  si.hStdError = errWrite;
  si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  PROCESS_INFORMATION pi = {};
  std::string line = "\"" + program + "\" " + args;
  Result r{-1, "", ""};
  if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) return r;
  CloseHandle(outWrite);
  CloseHandle(errWrite);
  // Read the error pipe on the side so that neither pipe can fill up.
  std::string err;
  std::thread reader([&] { err = Drain(errRead); });
  r.out = Drain(outRead);
  reader.join();
  WaitForSingleObject(pi.hProcess, INFINITE);
  DWORD status = 0;
  GetExitCodeProcess(pi.hProcess, &status);
  r.status = int(status);
  r.err = err;
  for (HANDLE h : {pi.hProcess, pi.hThread, outRead, errRead}) CloseHandle(h);
  return r;
}

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class VmconvertTest : public ::testing::Test {
 protected:
  void SetUp() override {
    live = dir.File("vm001.dbf");
    big = dir.File("vm001_big.dbf");
  }
  void TearDown() override { SetEnvironmentVariableA("VMCONVERT_CTRL_C_AFTER_STEPS", nullptr); }

  std::string Paths() { return "small-to-big --live \"" + live + "\" --big \"" + big + "\""; }

  TempDir dir;
  std::string live, big;
};

TEST_F(VmconvertTest, UsageErrorsAndHelp) {
  for (const char* args : {"", "convert", "small-to-big --old x", "old-to-new --new", "--big x small-to-big",
                           "small-to-big --big a --big b", "small-to-big --dry-run --swap"}) {
    Result r = Vmconvert(args);
    EXPECT_EQ(r.status, 1) << "\"" << args << "\"";
    EXPECT_TRUE(Has(r.err, "usage: vmconvert")) << r.err;
  }
  Result help = Vmconvert("--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_TRUE(Has(help.out, "Exit status: 0 done, 1 usage error")) << help.out;
}

TEST_F(VmconvertTest, PathChecksSayWhatTheWindowSays) {
  Result empty = Vmconvert("small-to-big --live x --big \"\"");
  EXPECT_EQ(empty.status, 2);
  EXPECT_EQ(empty.err,
            "vmconvert: No big database defined to convert to !\nPlease enter the name and path of the big database.\n");
  Result missing = Vmconvert("big-to-small --live x --small \"" + dir.File("none.dbf") + "\"");
  EXPECT_EQ(missing.status, 2);
  EXPECT_TRUE(Has(missing.err, "The small database " + dir.File("none.dbf") + " was not found ! \n")) << missing.err;
  Result oldMissing = Vmconvert("old-to-new --old \"" + dir.File("old.dbf") + "\" --new \"" + dir.File("new.dbf") + "\"");
  EXPECT_EQ(oldMissing.status, 2);
  EXPECT_TRUE(Has(oldMissing.err, "The old personal database " + dir.File("old.dbf") + " was not found !"));
  EXPECT_TRUE(oldMissing.out.empty()) << oldMissing.out;
}

TEST_F(VmconvertTest, AMissingLiveTableIsReportedAndNothingRuns) {
  ASSERT_TRUE(vmtables::MakeVmTable(big, Layout::kBig, 10));
  Result r = Vmconvert(Paths() + " --quiet-boxes");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "Error !: The database " + live + " could not be opend !\nPlease check that the database exists.\n");
  EXPECT_FALSE(Has(r.out, "% converted"));
}

TEST_F(VmconvertTest, ADryRunListsTheWritesAndChangesNothing) {
  ASSERT_TRUE(vmtables::MakeVmTable(live, Layout::kSmall, 50));
  ASSERT_TRUE(vmtables::MakeVmTable(big, Layout::kBig, 40, Variation{5, 0}));
  std::vector<unsigned char> bytes = ReadBytes(big);
  Result dry = Vmconvert(Paths() + " --dry-run --quiet-boxes");
  EXPECT_EQ(dry.status, 0) << dry.err;
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

  Result real = Vmconvert(Paths() + " --quiet-boxes");
  EXPECT_EQ(real.status, 0);
  EXPECT_TRUE(Has(real.out, "fields written: " + std::to_string(listed) + "\n")) << real.out;
  EXPECT_EQ(RawDbf(big).Value(3, "T02"), vmtables::VmValue(Layout::kSmall, 3, 2));
  Result again = Vmconvert(Paths() + " --quiet-boxes");
  EXPECT_TRUE(Has(again.out, "fields written: 0\n")) << again.out;
}

TEST_F(VmconvertTest, CtrlCIsAConfirmedCancel) {
  ASSERT_TRUE(vmtables::MakeVmTable(live, Layout::kSmall, 12000));
  ASSERT_TRUE(vmtables::MakeVmTable(big, Layout::kBig, 12000, Variation{1, 0}));
  SetEnvironmentVariableA("VMCONVERT_CTRL_C_AFTER_STEPS", "3");
  Result r = Vmconvert(Paths() + " --quiet-boxes");
  EXPECT_EQ(r.status, 3) << r.out << r.err;
  EXPECT_TRUE(Has(r.out, "cancelled after about")) << r.out;
  RawDbf after(big);
  EXPECT_EQ(after.Value(1, "T02"), vmtables::VmValue(Layout::kSmall, 1, 2)) << "the first records were converted";
  EXPECT_EQ(after.Value(12000, "T02"), vmtables::VmValue(Layout::kBig, 12000, 2, Variation{1, 0}))
      << "the last were not";
  EXPECT_TRUE(DeleteFileA(big.c_str())) << "the tables were closed";
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
  EXPECT_EQ(second.status, 2);
  EXPECT_TRUE(Has(second.err, "The live table " + live + " is larger than 2100000 bytes and so has the big layout !"))
      << second.err;
  EXPECT_EQ(ReadBytes(dir.File("vm001_small.dbf")), original) << "the original small table is kept";
  Result back = Vmconvert("big-to-small --live \"" + live + "\" --small \"" + dir.File("vm001_small.dbf") + "\" --quiet-boxes");
  EXPECT_EQ(back.status, 0) << "the direction that fits runs: " << back.err;
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

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: vmconvert_test PATH-TO-VMCONVERT.EXE\n");
    return 2;
  }
  program = argv[1];
  return RUN_ALL_TESTS();
}
