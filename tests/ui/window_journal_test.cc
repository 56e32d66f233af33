// The window's runs keep the trail as vmconvert's do: a journal beside the
// target with its report, named as the window's, which `vmconvert undo`
// takes back byte for byte however the run ended - done, cancelled, its
// swap answered Yes, or its program killed part-way - and which `vmconvert
// history` lists.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "app/resource.h"
#include "journal/Journal.h"
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
  // Starts the window, runs Small -> Big to its end and declines the swap;
  // the run's journal, or "" where the run did not come to its end.
  std::string RunAndDecline() {
    Start();
    HWND progress = StartSmallToBig();
    if (!progress) return "";
    if (!ui::WaitUntil([&] { return ui::Text(progress, IDOK) == "OK"; })) return "";
    ui::Click(progress, IDOK);
    Answer(kConfirm, IDNO);
    return EndedJournal();
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
  std::string journal = RunAndDecline();
  ASSERT_FALSE(journal.empty()) << "the window's run came to no end";
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

// The texts of row row of list view list, a text a column.
std::vector<std::string> RowOf(HWND list, int row) {
  std::vector<std::string> texts;
  HWND header = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0));
  int columns = int(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0));
  for (int c = 0; c < columns; ++c) {
    char text[512] = "";
    LVITEMA item = {};
    item.iSubItem = c;
    item.pszText = text;
    item.cchTextMax = sizeof text;
    SendMessageA(list, LVM_GETITEMTEXTA, WPARAM(row), reinterpret_cast<LPARAM>(&item));
    texts.push_back(text);
  }
  return texts;
}

// The text of the system menu's item id of window.
std::string MenuText(HWND window, UINT id) {
  char text[128] = "";
  GetMenuStringA(GetSystemMenu(window, FALSE), id, text, sizeof text, MF_BYCOMMAND);
  return text;
}

class HistoryDialogTest : public WindowJournalTest {
 protected:
  // A window run of Small -> Big, its swap declined; the table as it was
  // before and as the run left it.
  void RunOnce() {
    Fresh(50);
    before = ReadBytes(File("vm001_big.dbf"));
    journal = RunAndDecline();
    ASSERT_FALSE(journal.empty()) << "the window's run came to no end";
    converted = ReadBytes(File("vm001_big.dbf"));
  }
  // The history dialog from the system menu, and its list.
  HWND Open() {
    EXPECT_EQ(MenuText(main, IDM_HISTORY), "Run history\x85");
    PostMessageA(main, WM_SYSCOMMAND, IDM_HISTORY, 0);
    HWND history = ui::Wait("Run history");
    list = history ? GetDlgItem(history, IDC_HISTORY_LIST) : nullptr;
    return history;
  }
  int Rows() { return int(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0)); }
  int SelectedRow() { return int(SendMessageA(list, LVM_GETNEXTITEM, WPARAM(-1), LVNI_SELECTED)); }

  std::vector<unsigned char> before, converted;
  std::string journal;
  HWND list = nullptr;
};

// The dialog lists the window's run, newest selected, with what it did;
// Undo shows what undo would do and asks: No writes nothing, Yes takes the
// run back byte for byte, says so, and the list shows the undo and the
// run it took back.
TEST_F(HistoryDialogTest, ListsTheRunAndUndoesItOnYesAndNothingOnNo) {
  ASSERT_NO_FATAL_FAILURE(RunOnce());
  HWND history = Open();
  ASSERT_NE(history, nullptr);
  EXPECT_EQ(ui::Text(history, IDC_HISTORY_UNDO), "Undo\x85");
  EXPECT_EQ(ui::Text(history, IDCANCEL), "Close");
  ASSERT_EQ(Rows(), 1);
  EXPECT_EQ(SelectedRow(), 0) << "the newest run is selected";
  std::vector<std::string> row = RowOf(list, 0);
  ASSERT_EQ(row.size(), 9u);
  EXPECT_EQ(row[1], "converter");
  EXPECT_EQ(row[3], "small-to-big");
  EXPECT_EQ(row[4], File("vm001.dbf") + " -> " + File("vm001_big.dbf"));
  EXPECT_EQ(row[5], "0 done");
  EXPECT_EQ(row[7], "none");
  EXPECT_EQ(row[8], "");
  ui::Click(history, IDC_HISTORY_REPORT);
  SeenBox report = Answer(Journal::ReportPath(journal).c_str(), IDOK);
  EXPECT_NE(report.text.find("\"program\": \"converter\""), std::string::npos) << "the run's whole report: " << report.text;

  ui::Click(history, IDC_HISTORY_UNDO);
  SeenBox asked = Answer(kConfirm, IDNO);
  EXPECT_NE(asked.text.find("It would put back "), std::string::npos) << asked.text;
  EXPECT_NE(asked.text.find("It would end with status 0: done."), std::string::npos) << asked.text;
  EXPECT_EQ(ReadBytes(File("vm001_big.dbf")), converted) << "No wrote";
  ASSERT_EQ(Journals().size(), 1u) << "No made a journal";

  ui::Click(history, IDC_HISTORY_UNDO);
  Answer(kConfirm, IDYES);
  SeenBox result = Answer("Information", IDOK);
  EXPECT_NE(result.text.find("The undo ended with status 0: done."), std::string::npos) << result.text;
  EXPECT_NE(result.text.find("Undo's journal: "), std::string::npos) << result.text;
  EXPECT_EQ(ReadBytes(File("vm001_big.dbf")), before) << "not byte for byte as before the run";
  ASSERT_EQ(Rows(), 2) << "the undo is listed too";
  EXPECT_EQ(RowOf(list, 0)[3], "undo");
  EXPECT_EQ(RowOf(list, 1)[8], "undone (0 done)");

  ui::Click(history, IDCANCEL);
  EXPECT_TRUE(ui::WaitGone(history));
}

// An undo refused by its dry run - the table is another now - says why in
// a box and writes nothing.
TEST_F(HistoryDialogTest, ARefusedUndoSaysWhyAndWritesNothing) {
  ASSERT_NO_FATAL_FAILURE(RunOnce());
  ASSERT_TRUE(vmtables::MakeVmTable(File("vm001_big.dbf"), vmtables::Layout::kBig, 50, Variation{3, 1}));
  std::vector<unsigned char> other = ReadBytes(File("vm001_big.dbf"));
  HWND history = Open();
  ASSERT_NE(history, nullptr);
  ui::Click(history, IDC_HISTORY_UNDO);
  SeenBox refused = Answer(kError, IDOK);
  EXPECT_EQ(refused.text.find("The run cannot be undone, and nothing was written:\n"), 0u) << refused.text;
  EXPECT_NE(refused.text.find("not the records the run changed"), std::string::npos) << refused.text;
  EXPECT_EQ(ReadBytes(File("vm001_big.dbf")), other);
  EXPECT_EQ(Journals().size(), 1u) << "a refused undo made a journal";
}

struct WindowSearch {
  DWORD pid;
  const char* caption;
  HWND found;
};

BOOL CALLBACK MatchWindow(HWND w, LPARAM p) {
  WindowSearch& s = *reinterpret_cast<WindowSearch*>(p);
  DWORD owner = 0;
  char text[256] = "";
  GetWindowThreadProcessId(w, &owner);
  GetWindowTextA(w, text, sizeof text);
  if (owner != s.pid || !IsWindowVisible(w) || std::string(text) != s.caption) return TRUE;
  s.found = w;
  return FALSE;
}

// The visible top-level window of process pid with this caption; null when
// none appeared within the time-out.
HWND WaitForWindowOf(DWORD pid, const char* caption) {
  WindowSearch search = {pid, caption, nullptr};
  ui::WaitUntil([&] {
    EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
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
