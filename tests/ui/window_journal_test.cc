// The window's runs keep the trail as vmconvert's do: a journal beside the
// target with its report, named as the window's, which `vmconvert undo`
// takes back byte for byte however the run ended - done, cancelled, its
// swap answered Yes, or its program killed part-way - and which `vmconvert
// history` lists.
#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "app/resource.h"
#include "tests/support/process.h"
#include "tests/ui/ui_fixture.h"

namespace {

using vmtables::Variation;
using Files = std::map<std::string, std::vector<unsigned char>>;

const char* const kSwapFiles[] = {"vm001.dbf",       "vm001.ndx",      "vm001_big.dbf",
                                  "vm001_big.ndx",   "vm001_small.dbf", "vm001_small.ndx"};

ProcessResult Vmconvert(const std::string& args) { return RunProcess("\"" VMCONVERT_EXE "\" " + args, true); }

nlohmann::json ReadJson(const std::string& path) {
  std::vector<unsigned char> bytes = ReadBytes(path);
  return nlohmann::json::parse(bytes.begin(), bytes.end(), nullptr, false);
}

class WindowJournalTest : public ConverterUiTest {
 protected:
  enum class End { kDone, kCancelled, kSwapped };
  void RunEndedAndUndone(End end);

  // The voicemail tables, their indexes, and an older backup of an earlier
  // swap with its index, so that a swap's every file is there before it.
  void Fresh(uint32_t records) {
    MakeVoicemail(records, Variation{1, 0});
    ASSERT_TRUE(vmtables::MakeVmTable(File("vm001_small.dbf"), vmtables::Layout::kSmall, records, Variation{2, 1}));
    WriteBytes(File("vm001_small.ndx"), {'o', 'l', 'd'});
  }
  Files SwapFiles() {
    Files files;
    for (const char* name : kSwapFiles) files[name] = ReadBytes(File(name));
    return files;
  }
  // The journals beside the big table.
  std::vector<std::string> Journals() {
    std::vector<std::string> found;
    WIN32_FIND_DATAA data;
    HANDLE h = FindFirstFileA(File("vmconvert-journal\\*.jsonl").c_str(), &data);
    for (bool more = h != INVALID_HANDLE_VALUE; more; more = FindNextFileA(h, &data) != 0)
      found.push_back(File("vmconvert-journal\\") + data.cFileName);
    if (h != INVALID_HANDLE_VALUE) FindClose(h);
    return found;
  }
  // The one journal of the test's run, once its run has ended: its report
  // beside it has its status.
  std::string EndedJournal() {
    std::string journal;
    bool ended = ui::WaitUntil([&] {
      std::vector<std::string> found = Journals();
      if (found.size() != 1) return false;
      journal = found[0];
      nlohmann::json report = ReadJson(journal.substr(0, journal.size() - 1));  // empty until the run ends
      return report.is_object() && report.value("exit_status", -1) >= 0;
    });
    std::string open;
    for (HWND w : ProcessDialogs()) open += " [" + ReadBox(w).caption + ": " + ReadBox(w).text + "]";
    EXPECT_TRUE(ended) << "the run left no journal with its report; journals: " << Journals().size() << open;
    return journal;
  }
};

// A window run ended each way the operator can end it: its journal names
// the window, its report is kept beside it with the status the run ended
// with, and vmconvert undo gives back every file the run changed, swap
// included, byte for byte.
void WindowJournalTest::RunEndedAndUndone(End end) {
  Fresh(end == End::kCancelled ? 12000 : 200);
  Files before = SwapFiles();
  Start();
  HWND progress = StartSmallToBig();
  ASSERT_NE(progress, nullptr);
  if (end == End::kCancelled) {
    ASSERT_TRUE(ui::WaitUntil([&] { return !ui::Text(progress, IDC_STATUS_TEXT).empty(); }));
    ui::Click(progress, IDOK);
    Answer(kConfirm, IDYES);
  } else {
    ASSERT_TRUE(ui::WaitUntil([&] { return ui::Text(progress, IDOK) == "OK"; }));
    ui::Click(progress, IDOK);
    Answer(kConfirm, end == End::kSwapped ? IDYES : IDNO);
    if (end == End::kSwapped) {
      EXPECT_EQ(Answer("Information", IDOK).text, "The files where successfully copied.");
    }
  }
  EXPECT_TRUE(ui::WaitGone(progress));
  std::string journal = EndedJournal();
  ASSERT_FALSE(journal.empty());
  nlohmann::json report = ReadJson(journal.substr(0, journal.size() - 1));
  EXPECT_EQ(report["program"], "converter");
  EXPECT_EQ(report["exit_status"], end == End::kCancelled ? 3 : 0) << report.dump();
  EXPECT_EQ(report["swap"], end == End::kSwapped ? "done" : "not asked") << report.dump();
  EXPECT_NE(SwapFiles(), before) << "the run changed nothing";
  ShutDown();
  ProcessResult undo = Vmconvert("undo \"" + journal + "\" --no-journal");
  EXPECT_EQ(undo.status, 0) << undo.out << undo.err;
  EXPECT_TRUE(SwapFiles() == before) << "not byte for byte as before the run: " << undo.out;
}

TEST_F(WindowJournalTest, ARunDoneIsJournaledAndUndoneByteForByte) { RunEndedAndUndone(End::kDone); }
TEST_F(WindowJournalTest, ARunCancelledIsJournaledAndUndoneByteForByte) { RunEndedAndUndone(End::kCancelled); }
TEST_F(WindowJournalTest, ARunWhoseSwapWasAnsweredYesIsUndoneByteForByte) { RunEndedAndUndone(End::kSwapped); }

// history lists the window's run among vmconvert's and names the program
// that made each.
TEST_F(WindowJournalTest, HistoryListsTheWindowsRunAndNamesItsProgram) {
  Fresh(20);
  Start();
  HWND progress = StartSmallToBig();
  ASSERT_NE(progress, nullptr);
  ASSERT_TRUE(ui::WaitUntil([&] { return ui::Text(progress, IDOK) == "OK"; }));
  ui::Click(progress, IDOK);
  Answer(kConfirm, IDNO);
  std::string journal = EndedJournal();
  ShutDown();
  Sleep(1100);  // journals record their start by the second
  ProcessResult run = Vmconvert("small-to-big --live \"" + File("vm001.dbf") + "\" --big \"" +
                                File("vm001_big.dbf") + "\"");
  ASSERT_EQ(run.status, 0) << run.err;
  ProcessResult history = Vmconvert("history \"" + File("vm001_big.dbf") + "\"");
  ASSERT_EQ(history.status, 0) << history.err;
  EXPECT_NE(history.out.find("2 runs, newest first"), std::string::npos) << history.out;
  size_t window = history.out.find("  converter  small-to-big  status 0  ");
  size_t console = history.out.find("  vmconvert  small-to-big  status 0  ");
  EXPECT_NE(window, std::string::npos) << history.out;
  EXPECT_LT(console, window) << "the newer vmconvert run first: " << history.out;
  EXPECT_NE(history.out.find(journal), std::string::npos) << history.out;
}

// The visible top-level window of process pid with this caption; null when
// none appeared within the time-out.
HWND WaitForWindowOf(DWORD pid, const char* caption) {
  struct Search {
    DWORD pid;
    const char* caption;
    HWND found;
  } search = {pid, caption, nullptr};
  ui::WaitUntil([&] {
    EnumWindows(
        [](HWND w, LPARAM p) -> BOOL {
          Search& s = *reinterpret_cast<Search*>(p);
          DWORD owner = 0;
          char text[256] = "";
          GetWindowThreadProcessId(w, &owner);
          GetWindowTextA(w, text, sizeof text);
          if (owner != s.pid || !IsWindowVisible(w) || std::string(text) != s.caption) return TRUE;
          s.found = w;
          return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found != nullptr;
  });
  return search.found;
}

// The program itself, killed as a kill would (the test build ends the
// process at its 40th write of the target), in the middle of the job:
// vmconvert undo gives the table back byte for byte.
TEST_F(WindowJournalTest, AWindowRunKilledMidJobIsUndoneByteForByte) {
  Fresh(300);
  std::vector<unsigned char> before = ReadBytes(File("vm001_big.dbf"));
  SetEnvironmentVariableA("VMCONVERT_KILL_AFTER_WRITES", "40");
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  std::string command = "\"" CONVERTER_HOOKS_EXE "\"";
  BOOL started = CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi);
  SetEnvironmentVariableA("VMCONVERT_KILL_AFTER_WRITES", nullptr);
  ASSERT_TRUE(started) << "the test build of the window could not be started";
  HWND window = WaitForWindowOf(pi.dwProcessId, kMainCaption);
  ASSERT_NE(window, nullptr);
  ui::SetText(window, IDC_BIG_PATH, File("vm001_big.dbf"));
  ui::Click(window, IDC_SMALL_TO_BIG);
  HWND question = WaitForWindowOf(pi.dwProcessId, kConfirm);
  ASSERT_NE(question, nullptr);
  PostMessageA(question, WM_COMMAND, MAKEWPARAM(IDYES, BN_CLICKED), 0);
  bool killed = WaitForSingleObject(pi.hProcess, 60000) == WAIT_OBJECT_0;
  if (!killed) TerminateProcess(pi.hProcess, 1);
  DWORD code = 0;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  ASSERT_TRUE(killed) << "the program was not killed at its 40th write";
  EXPECT_EQ(code, 9u);
  std::vector<std::string> journals = Journals();
  ASSERT_EQ(journals.size(), 1u);
  ASSERT_NE(ReadBytes(File("vm001_big.dbf")), before) << "killed before it wrote";
  ProcessResult undo = Vmconvert("undo \"" + journals[0] + "\"");
  EXPECT_EQ(undo.status, 0) << undo.out << undo.err;
  EXPECT_EQ(ReadBytes(File("vm001_big.dbf")), before) << "not byte for byte as before the run";
}

}  // namespace
