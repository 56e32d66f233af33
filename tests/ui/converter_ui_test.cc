// The converter's windows, started for real and driven as the operator
// drives them: the main dialog's start-up, its three commands with their
// checks and questions, the progress dialog through whole jobs and cancels,
// and the table swap with the files it leaves.
#include <windows.h>
#include <commctrl.h>
#include <process.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "app/CConverterApp.h"
#include "app/CProgressDlg.h"
#include "app/resource.h"
#include "db/EngineContext.h"
#include "convert/JobState.h"
#include "engine/file_system.h"
#include "tests/support/box_watcher.h"
#include "tests/support/fault_file_system.h"
#include "tests/support/temp_dir.h"
#include "tests/support/ui_driver.h"
#include "tools/vmtables.h"

#include "tests/ui/ui_fixture.h"

namespace {

using vmtables::Layout;
using vmtables::Variation;

INT_PTR CALLBACK Inert(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

// A static's text in its own font, against its width: pixels missing.
int PixelsMissing(HWND label) {
  char text[256];
  GetWindowTextA(label, text, sizeof text);
  HDC dc = GetDC(label);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(label, WM_GETFONT, 0, 0)));
  SIZE size = {};
  GetTextExtentPoint32A(dc, text, int(std::strlen(text)), &size);
  SelectObject(dc, old);
  ReleaseDC(label, dc);
  RECT room;
  GetClientRect(label, &room);
  return size.cx - (room.right - room.left);
}

BOOL CALLBACK MeasureLeftStatic(HWND child, LPARAM into) {
  char cls[16];
  GetClassNameA(child, cls, sizeof cls);
  LONG style = GetWindowLongA(child, GWL_STYLE);
  if (lstrcmpiA(cls, "Static") == 0 && (style & SS_TYPEMASK) == SS_LEFT) {
    char text[256];
    GetWindowTextA(child, text, sizeof text);
    int missing = PixelsMissing(child);
    if (missing > 0)
      *reinterpret_cast<std::string*>(into) += "\"" + std::string(text) + "\" lacks " + std::to_string(missing) + " px; ";
  }
  return TRUE;
}

// Made from the templates alone, in the dialogs' own font: every label of
// the main window shows whole, and the progress dialog's job text keeps
// both ends of a long path, cutting it in the middle.
TEST(TextsTest, TextsFitTheirControls) {
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);
  HWND main = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_CONVERTER_DIALOG), nullptr, Inert, 0);
  ASSERT_NE(main, nullptr);
  std::string cut;
  EnumChildWindows(main, MeasureLeftStatic, reinterpret_cast<LPARAM>(&cut));
  DestroyWindow(main);
  EXPECT_EQ(cut, "") << "labels of the main window cut short";
  HWND progress = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_PROGRESS), nullptr, Inert, 0);
  ASSERT_NE(progress, nullptr);
  LONG style = GetWindowLongA(GetDlgItem(progress, IDC_JOB_TEXT), GWL_STYLE);
  DestroyWindow(progress);
  EXPECT_EQ(style & SS_ELLIPSISMASK, SS_PATHELLIPSIS) << "the job text is cut at its end, losing the table's name";
}

TEST_F(ConverterUiTest, StartUpWithoutAnIniFileShowsTheDefaults) {
  Start();
  EXPECT_STREQ(JobState::livePath, "\\db1\\.\\vm001.dbf");
  EXPECT_EQ(ui::Text(main, IDC_BIG_PATH), "\\db1\\vm001_big.dbf");
  EXPECT_EQ(ui::Text(main, IDC_SMALL_PATH), "\\db1\\vm001_small.dbf");
  EXPECT_EQ(ui::Text(main, IDC_OLD_PERSONAL), "\\db1\\kxpersonal.dbf");
  EXPECT_EQ(ui::Text(main, IDC_NEW_PERSONAL), "\\db1\\kxpers_new.dbf");
  EXPECT_TRUE(ui::Enabled(main, IDC_SMALL_TO_BIG)) << "a live table that is not there is offered small to big";
  EXPECT_FALSE(ui::Enabled(main, IDC_BIG_TO_SMALL));
  EXPECT_FALSE(ui::Enabled(main, IDC_SMALL_PATH));
  HMENU menu = GetSystemMenu(main, FALSE);
  char item[64] = {};
  GetMenuStringA(menu, IDM_ABOUTBOX, item, sizeof item, MF_BYCOMMAND);
  EXPECT_STREQ(item, "&About morlund...");
}

TEST_F(ConverterUiTest, TheLiveTablesSizeDecidesTheDirection) {
  const struct { size_t size; bool big; } cases[] = {{2100000, false}, {2100001, true}};
  for (const auto& c : cases) {
    WriteFileOfSize(File("vm001.dbf"), c.size);
    SetIni(("C:" + File("VM001.DBF").substr(2)).c_str());
    Start();
    EXPECT_EQ(JobState::livePath, File("vm001.dbf")) << "lower-cased, nothing appended";
    EXPECT_EQ(ui::Enabled(main, IDC_SMALL_TO_BIG), !c.big) << c.size << " bytes";
    EXPECT_EQ(ui::Enabled(main, IDC_BIG_PATH), !c.big) << c.size << " bytes";
    EXPECT_EQ(ui::Enabled(main, IDC_BIG_TO_SMALL), c.big) << c.size << " bytes";
    EXPECT_EQ(ui::Enabled(main, IDC_SMALL_PATH), c.big) << c.size << " bytes";
    ShutDown();
  }
  SetIni("D:\\DATA");
  Start();
  EXPECT_STREQ(JobState::livePath, "d:\\data.\\vm001.dbf");
}

TEST_F(ConverterUiTest, AnIniValueTooLongForTheLivePathRefusesTheVoicemailCommands) {
  ASSERT_TRUE(vmtables::MakeVmTable(File("vm001_big.dbf"), Layout::kBig, 3));
  SetIni(("c:\\" + std::string(70, 'd')).c_str());  // no room for ".\vm001.dbf"
  Start();
  EXPECT_STREQ(JobState::livePath, "");
  ui::SetText(main, IDC_BIG_PATH, File("vm001_big.dbf"));
  ui::Click(main, IDC_SMALL_TO_BIG);
  EXPECT_EQ(Answer(kError, IDOK).text,
            "The value Vm001Path in kxaconf.ini is too long to name the live table vm001.dbf !\n"
            "The voicemail conversions cannot be started.");
  EXPECT_EQ(ui::Wait(kConfirm, 2000), nullptr) << "nothing is asked or started";
}

TEST_F(ConverterUiTest, CommandsCheckTheirPathsBeforeAsking) {
  Start();
  ui::SetText(main, IDC_BIG_PATH, "");
  ui::Click(main, IDC_SMALL_TO_BIG);
  SeenBox box = Answer(kError, IDOK);
  EXPECT_EQ(box.text, "No big database defined to convert to !\nPlease enter the name and path of the big database.");
  EXPECT_TRUE(box.exclamation);

  ui::SetText(main, IDC_BIG_PATH, File("none.dbf"));
  ui::Click(main, IDC_SMALL_TO_BIG);
  EXPECT_EQ(Answer(kError, IDOK).text, "The big database " + File("none.dbf") +
                                           " was not found ! \nPlease make sure this database exists in the "
                                           "defined directory.");

  ui::SetText(main, IDC_OLD_PERSONAL, "");
  ui::SetText(main, IDC_NEW_PERSONAL, "");
  ui::Click(main, IDC_OLD_TO_NEW);
  EXPECT_EQ(Answer(kError, IDOK).text,
            "No old personal database defined !\nPlease enter the name and path of the old personal database.")
      << "the new path is not looked at";

  ui::SetText(main, IDC_OLD_PERSONAL, File("old.dbf"));
  ui::Click(main, IDC_OLD_TO_NEW);
  EXPECT_EQ(Answer(kError, IDOK).text, "The old personal database " + File("old.dbf") + " was not found !");

  WriteFileOfSize(File("old.dbf"), 10);
  ui::Click(main, IDC_OLD_TO_NEW);
  EXPECT_EQ(Answer(kError, IDOK).text,
            "No new personal database defined !\nPlease enter the name and path of the new personal database.");
  ui::SetText(main, IDC_NEW_PERSONAL, File("new.dbf"));
  ui::Click(main, IDC_OLD_TO_NEW);
  EXPECT_EQ(Answer(kError, IDOK).text, "The new personal database " + File("new.dbf") + " was not found !");

  std::string tooLong = dir + "\\" + std::string(130, 'p') + ".dbf";
  ui::SetText(main, IDC_BIG_PATH, tooLong);
  ui::Click(main, IDC_SMALL_TO_BIG);
  EXPECT_EQ(Answer(kError, IDOK).text,
            "The path " + tooLong + " is too long !\nA path may have at most 127 characters.");
  EXPECT_EQ(JobState::bigPath, File("none.dbf")) << "a refused path leaves its field as it was";
  EXPECT_EQ(ui::Wait(kProgress, 2000), nullptr) << "nothing starts";
}

// A target the program may not write is said once, before the question,
// and no job starts (it would show a box for every differing field).
TEST_F(ConverterUiTest, ATargetThatCannotBeWrittenIsSaidOnceAndNoJobStarts) {
  MakeVoicemail(20, Variation{1, 0});
  std::vector<unsigned char> big = ReadBytes(File("vm001_big.dbf"));
  ASSERT_TRUE(SetFileAttributesA(File("vm001_big.dbf").c_str(), FILE_ATTRIBUTE_READONLY));
  Start();
  ui::SetText(main, IDC_BIG_PATH, File("vm001_big.dbf"));
  ui::Click(main, IDC_SMALL_TO_BIG);
  SeenBox refusal = Answer(kError, IDOK);
  EXPECT_EQ(refusal.text.substr(0, refusal.text.find('\n')),
            "The database " + File("vm001_big.dbf") + " cannot be written !");
  EXPECT_EQ(ui::Wait(kConfirm, 2000), nullptr) << "the question came after the refusal";
  EXPECT_EQ(ui::Wait(kProgress, 1000), nullptr) << "a job started";
  SetFileAttributesA(File("vm001_big.dbf").c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(ReadBytes(File("vm001_big.dbf")), big);
}

TEST_F(ConverterUiTest, AnsweringNoStartsNothingAndKeepsThePaths) {
  SeenBox box = AskOldToNew(3, IDNO);
  std::vector<unsigned char> before = ReadBytes(File("new.dbf"));
  EXPECT_EQ(box.text, "Convert old personal database " + File("old.dbf") + " to new database " + File("new.dbf") + " ?");
  EXPECT_TRUE(box.question);
  EXPECT_EQ(box.buttons, (std::vector<int>{IDYES, IDNO}));
  EXPECT_EQ(JobState::oldPersonalPath, File("old.dbf"));
  EXPECT_EQ(JobState::newPersonalPath, File("new.dbf"));
  EXPECT_EQ(ui::Wait(kProgress, 2000), nullptr) << "no progress dialog, even after a while";
  EXPECT_EQ(ReadBytes(File("new.dbf")), before);
}

TEST_F(ConverterUiTest, AWholeSmallToBigRunThenTheSwapWithItsIndexes) {
  MakeVoicemail(200, Variation{7, 0});
  std::vector<unsigned char> live = ReadBytes(File("vm001.dbf"));
  Start();
  ui::SetText(main, IDC_BIG_PATH, File("vm001_big.dbf"));
  ui::Click(main, IDC_SMALL_TO_BIG);
  EXPECT_EQ(Answer(kConfirm, IDYES).text, "Convert voicemail database " + File("vm001.dbf") +
                                              " into big voicemail database " + File("vm001_big.dbf") +
                                              " ?\nThis could take several minutes to convert.");
  HWND progress = ui::Wait(kProgress);
  ASSERT_NE(progress, nullptr);
  EXPECT_FALSE(IsWindowEnabled(main)) << "the main dialog waits behind the progress dialog";
  ASSERT_TRUE(ui::WaitUntil([&] { return ui::Text(progress, IDOK) == "OK"; })) << ui::Text(progress, IDOK);
  EXPECT_EQ(ui::Text(progress, IDC_JOB_TEXT), "Converting voicemail database " + File("vm001.dbf") +
                                                  " into big voicemail database " + File("vm001_big.dbf") + " ");
  EXPECT_EQ(ui::Text(progress, IDC_STATUS_TEXT), "Database successfully converted");
  EXPECT_EQ(ui::BarPos(progress, IDC_PROGRESS_BAR), 100);
  EXPECT_EQ(JobState::progressCount, 99);
  std::vector<unsigned char> converted = ReadBytes(File("vm001_big.dbf"));

  ui::Click(progress, IDOK);
  EXPECT_EQ(Answer(kConfirm, IDYES).text,
            "Would you like to make a copy from the small database vm001.dbf in vm001_small.dbf and\n"
            "copy the big database " + File("vm001_big.dbf") + " into vm001.dbf ?");
  SeenBox report = Answer("Information", IDOK);
  EXPECT_EQ(report.text, "The files where successfully copied.");
  EXPECT_TRUE(report.information);
  EXPECT_TRUE(ui::WaitGone(progress));
  EXPECT_EQ(ReadBytes(File("vm001_small.dbf")), live);
  EXPECT_EQ(ReadBytes(File("vm001.dbf")), converted);
  EXPECT_EQ(ReadBytes(File("vm001_small.ndx")), (std::vector<unsigned char>{'l', 'i', 'v', 'e'}));
  EXPECT_EQ(ReadBytes(File("vm001.ndx")), (std::vector<unsigned char>{'b', 'i', 'g'}));
}

TEST_F(ConverterUiTest, AWholeBigToSmallRunThenTheSwapWithItsIndexes) {
  // A live table in the big layout, large enough to be taken for one.
  ASSERT_TRUE(vmtables::MakeVmTable(File("vm001.dbf"), Layout::kBig, 3000));
  ASSERT_GT(std::filesystem::file_size(File("vm001.dbf")), 2100000u);
  ASSERT_TRUE(vmtables::MakeVmTable(File("vm001_small.dbf"), Layout::kSmall, 3000, Variation{7, 0}));
  WriteBytes(File("vm001.ndx"), {'l', 'i', 'v', 'e'});
  WriteBytes(File("vm001_small.ndx"), {'s', 'm'});
  SetIni(File("vm001.dbf").c_str());
  std::vector<unsigned char> live = ReadBytes(File("vm001.dbf"));
  Start();
  EXPECT_FALSE(ui::Enabled(main, IDC_SMALL_TO_BIG));
  ui::SetText(main, IDC_SMALL_PATH, "");
  ui::Click(main, IDC_BIG_TO_SMALL);
  EXPECT_EQ(Answer(kError, IDOK).text,
            "No small database defined to convert to !\nPlease enter the name and path of the small database.");
  ui::SetText(main, IDC_SMALL_PATH, File("none.dbf"));
  ui::Click(main, IDC_BIG_TO_SMALL);
  EXPECT_EQ(Answer(kError, IDOK).text, "The small database " + File("none.dbf") +
                                           " was not found ! \nPlease make sure this database exists in the "
                                           "defined directory.");
  ui::SetText(main, IDC_SMALL_PATH, File("vm001_small.dbf"));
  ui::Click(main, IDC_BIG_TO_SMALL);
  EXPECT_EQ(Answer(kConfirm, IDYES).text, "Convert voicemail database " + File("vm001.dbf") +
                                              " into small voicemail database " + File("vm001_small.dbf") +
                                              " ?\nThis could take several minutes to convert.");
  HWND progress = ui::Wait(kProgress);
  ASSERT_NE(progress, nullptr);
  ASSERT_TRUE(ui::WaitUntil([&] { return ui::Text(progress, IDOK) == "OK"; })) << ui::Text(progress, IDOK);
  EXPECT_EQ(ui::Text(progress, IDC_JOB_TEXT), "Converting voicemail database " + File("vm001.dbf") +
                                                  " into small voicemail database " + File("vm001_small.dbf") + " ");
  EXPECT_EQ(ui::Text(progress, IDC_STATUS_TEXT), "Database successfully converted");
  EXPECT_EQ(JobState::progressCount, 99);
  std::vector<unsigned char> converted = ReadBytes(File("vm001_small.dbf"));
  EXPECT_NE(converted, ReadBytes(File("vm001.dbf")));

  ui::Click(progress, IDOK);
  EXPECT_EQ(Answer(kConfirm, IDYES).text,
            "Would you like to make a copy from the big database vm001.dbf in vm001_big.dbf and\n"
            "copy the small database " + File("vm001_small.dbf") + " into vm001.dbf ?");
  EXPECT_EQ(Answer("Information", IDOK).text, "The files where successfully copied.");
  EXPECT_TRUE(ui::WaitGone(progress));
  EXPECT_EQ(ReadBytes(File("vm001_big.dbf")), live);
  EXPECT_EQ(ReadBytes(File("vm001.dbf")), converted);
  EXPECT_EQ(ReadBytes(File("vm001_big.ndx")), (std::vector<unsigned char>{'l', 'i', 'v', 'e'}));
  EXPECT_EQ(ReadBytes(File("vm001.ndx")), (std::vector<unsigned char>{'s', 'm'}));
}

// 50 records: fewer than the hundred steps, which the bar still fills.
TEST_F(ConverterUiTest, AWholeOldToNewRunThenTheSwap) {
  AskOldToNew(50, IDYES);
  std::vector<unsigned char> old = ReadBytes(File("old.dbf"));  // the job only reads it
  HWND progress = ui::Wait(kProgress);
  ASSERT_NE(progress, nullptr);
  ASSERT_TRUE(ui::WaitUntil([&] { return ui::Text(progress, IDOK) == "OK"; })) << ui::Text(progress, IDOK);
  EXPECT_EQ(ui::Text(progress, IDC_JOB_TEXT),
            "Converting old personal database " + File("old.dbf") + " to new database " + File("new.dbf"));
  EXPECT_EQ(ui::Text(progress, IDC_STATUS_TEXT), "Database successfully converted");
  EXPECT_EQ(JobState::progressCount, 99) << "a table of 50 records still takes 99 steps";
  std::vector<unsigned char> converted = ReadBytes(File("new.dbf"));

  ui::Click(progress, IDOK);
  EXPECT_EQ(Answer(kConfirm, IDYES).text,
            "Copy new personal database " + File("new.dbf") + " to old database " + File("old.dbf") + " ?");
  EXPECT_EQ(Answer("Information", IDOK).text, "The files where successfully copied.");
  EXPECT_TRUE(ui::WaitGone(progress));
  EXPECT_EQ(ReadBytes(File("old_old.dbf")), old);
  EXPECT_EQ(ReadBytes(File("old.dbf")), converted);

  // The same again: the second swap must not copy the first one's table
  // over the only copy of the original.
  ASSERT_TRUE(vmtables::MakePersonalTable(File("new.dbf"), 50, Variation{4, 0}));
  ui::Click(main, IDC_OLD_TO_NEW);
  Answer(kConfirm, IDYES);
  SwapAfterTheEnd(ui::Wait(kProgress));
  EXPECT_EQ(ReadBytes(File("old_old.dbf")), converted);
  std::vector<std::string> kept;
  for (const auto& entry : std::filesystem::directory_iterator(dir))
    if (entry.path().filename().string().rfind("old_old-", 0) == 0) kept.push_back(entry.path().string());
  ASSERT_EQ(kept.size(), 1u) << "the original was not kept beside the backup";
  EXPECT_EQ(ReadBytes(kept[0]), old) << "the original is gone";
}

uintptr_t __cdecl NoThread(JobState::Job, unsigned, void*) { return uintptr_t(-1); }

TEST_F(ConverterUiTest, AJobThreadThatCannotStartIsSaidAndTheDialogStalls) {
  MakeVoicemail(3, Variation{1, 0});
  std::vector<unsigned char> big = ReadBytes(File("vm001_big.dbf"));
  JobState::beginThread = NoThread;
  Start();
  ui::SetText(main, IDC_BIG_PATH, File("vm001_big.dbf"));
  ui::Click(main, IDC_SMALL_TO_BIG);
  Answer(kConfirm, IDYES);
  EXPECT_EQ(Answer(kError, IDOK).text,
            "The conversion could not be started !\nPlease close other programs and try again.");
  HWND progress = ui::Wait(kProgress);
  ASSERT_NE(progress, nullptr);
  EXPECT_EQ(JobState::workerActive, 0);
  EXPECT_EQ(ui::Text(progress, IDOK), "Cancel");
  EXPECT_EQ(ui::BarPos(progress, IDC_PROGRESS_BAR), 0);
  ui::Click(progress, IDOK);
  EXPECT_EQ(Answer(kConfirm, IDYES).text, "Cancel converting process ?");
  EXPECT_TRUE(ui::WaitGone(progress));
  EXPECT_EQ(ReadBytes(File("vm001_big.dbf")), big);
}

TEST_F(ConverterUiTest, ASwapAnsweredNoTouchesNoFile) {
  MakeVoicemail(20, Variation{3, 0});
  Start();
  HWND progress = StartSmallToBig();
  ASSERT_TRUE(ui::WaitUntil([&] { return ui::Text(progress, IDOK) == "OK"; }));
  std::vector<unsigned char> live = ReadBytes(File("vm001.dbf"));
  ui::Click(progress, IDOK);
  Answer(kConfirm, IDNO);
  EXPECT_TRUE(ui::WaitGone(progress));
  EXPECT_EQ(ReadBytes(File("vm001.dbf")), live);
  EXPECT_FALSE(std::filesystem::exists(File("vm001_small.dbf")));
}

TEST_F(ConverterUiTest, AFailingBackupCopyLeavesTheLiveTableUntouched) {
  MakeVoicemail(20, Variation{3, 0});
  CreateDirectoryA(File("vm001_small.dbf").c_str(), nullptr);  // the backup cannot be written
  Start();
  HWND progress = StartSmallToBig();
  ASSERT_TRUE(ui::WaitUntil([&] { return ui::Text(progress, IDOK) == "OK"; }));
  std::vector<unsigned char> live = ReadBytes(File("vm001.dbf"));
  ui::Click(progress, IDOK);
  Answer(kConfirm, IDYES);
  EXPECT_EQ(Answer(kError, IDOK).text, "The file " + File("vm001.dbf") + " could not be copied to " +
                                           File("vm001_small.dbf") + " !\n" + xb::FileErrorText(ERROR_ACCESS_DENIED) +
                                           "\nThe table " + File("vm001.dbf") + " was not changed.")
      << "what failed, the system's reason, and what is where";
  EXPECT_EQ(ui::Wait("Information", 2000), nullptr) << "no success report after a failed copy";
  EXPECT_EQ(ReadBytes(File("vm001.dbf")), live);
  EXPECT_EQ(ReadBytes(File("vm001.ndx")), (std::vector<unsigned char>{'l', 'i', 'v', 'e'}));
}

TEST_F(ConverterUiTest, CancelAskedFirstAndConfirmedStopsTheJob) {
  MakeVoicemail(12000, Variation{1, 0});
  Start();
  HWND progress = StartSmallToBig();
  ASSERT_NE(progress, nullptr);
  ASSERT_TRUE(ui::WaitUntil([&] { return !ui::Text(progress, IDC_STATUS_TEXT).empty(); }));
  EXPECT_EQ(ui::Text(progress, IDOK), "Cancel");
  ui::Click(progress, IDOK);
  EXPECT_EQ(Answer(kConfirm, IDNO).text, "Cancel converting process ?");
  EXPECT_TRUE(IsWindowVisible(progress)) << "No keeps the job going";
  EXPECT_EQ(JobState::running, 1);
  ui::Click(progress, IDOK);
  Answer(kConfirm, IDYES);
  EXPECT_TRUE(ui::WaitGone(progress));
  EXPECT_TRUE(ui::WaitUntil([] { return JobState::workerActive == 0; }));
  EXPECT_LT(JobState::progressCount, 99) << "the job stopped early";
  EXPECT_EQ(ui::Wait("Information", 2000), nullptr) << "a cancelled job is offered no swap";
}


// A frozen window never answers; 2 s is a bound a busy machine keeps.
bool Answers(HWND window) {
  DWORD_PTR result;
  return SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 2000, &result) != 0;
}

TEST_F(ConverterUiTest, WhileAJobRunsUnseenTheWindowAnswersAndItsCommandsWait) {
  DWORD worker = HoldAWorkerUnseen();
  // A click that came before the buttons turned grey is handled at once.
  DWORD_PTR result;
  EXPECT_NE(SendMessageTimeoutA(main, WM_COMMAND, MAKEWPARAM(IDC_SMALL_TO_BIG, BN_CLICKED), 0, SMTO_NORMAL, 2000,
                                &result),
            0)
      << "the command waited for the job, with the window frozen";
  EXPECT_TRUE(Answers(main)) << "the window froze while the job's box was open";
  EXPECT_FALSE(ui::Enabled(main, IDC_SMALL_TO_BIG));
  EXPECT_FALSE(ui::Enabled(main, IDC_OLD_TO_NEW));
  EXPECT_EQ(ui::Wait(kConfirm, 3000), nullptr) << "no new job is offered while one runs";
  ASSERT_TRUE(ReleaseWorker(worker)) << "the worker never ended";
  EXPECT_TRUE(ui::WaitUntil([&] { return ui::Enabled(main, IDC_SMALL_TO_BIG) && ui::Enabled(main, IDC_OLD_TO_NEW); }))
      << "the commands come back once the job has ended";
  EXPECT_FALSE(ui::Enabled(main, IDC_BIG_TO_SMALL));
  ui::Click(main, IDC_SMALL_TO_BIG);
  Answer(kConfirm, IDNO);
}

TEST_F(ConverterUiTest, ExitWhileAJobRunsUnseenEndsTheProgramOnlyAfterTheJob) {
  std::vector<unsigned char> before;
  DWORD worker = HoldAWorkerUnseen();
  before = ReadBytes(File("vm001_big.dbf"));
  ui::Click(main, IDOK);  // Exit
  EXPECT_TRUE(ui::WaitGone(main));
  EXPECT_FALSE(ui::WaitUntil([&] { return appEnded.load(); }, 3000)) << "the program ended with its job running";
  ASSERT_TRUE(ReleaseWorker(worker)) << "the worker never ended";
  ASSERT_TRUE(ui::WaitUntil([&] { return appEnded.load(); })) << "the program did not end after its job";
  EXPECT_EQ(workerWhenAppEnded, 0);
  HANDLE target = CreateFileA(File("vm001_big.dbf").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_NE(target, INVALID_HANDLE_VALUE) << "the job's tables are closed";
  if (target != INVALID_HANDLE_VALUE) CloseHandle(target);
  EXPECT_EQ(ReadBytes(File("vm001_big.dbf")), before);
}

// The first swap makes the live table big; a second "Small -> Big" would
// copy it over the only copy of the original small table.
TEST_F(ConverterUiTest, AfterASwapTheNewLiveTablesSizeDecidesTheDirection) {
  ASSERT_TRUE(vmtables::MakeVmTable(File("vm001.dbf"), Layout::kSmall, 3000));
  ASSERT_TRUE(vmtables::MakeVmTable(File("vm001_big.dbf"), Layout::kBig, 3000, Variation{7, 0}));
  SetIni(File("vm001.dbf").c_str());
  std::vector<unsigned char> original = ReadBytes(File("vm001.dbf"));
  Start();
  SwapAfterTheEnd(StartSmallToBig());
  // The command has returned once the window answers; the worker may still
  // be letting go, and the commands return once it has.
  EXPECT_TRUE(Answers(main));
  EXPECT_TRUE(ui::WaitUntil([&] { return ui::Enabled(main, IDC_OLD_TO_NEW); }, 10000));
  EXPECT_FALSE(ui::Enabled(main, IDC_SMALL_TO_BIG))
      << "Small -> Big is still offered for a live table of " << std::filesystem::file_size(File("vm001.dbf")) << " bytes";
  EXPECT_FALSE(ui::Enabled(main, IDC_BIG_PATH));
  EXPECT_TRUE(ui::Enabled(main, IDC_BIG_TO_SMALL));
  EXPECT_TRUE(ui::Enabled(main, IDC_SMALL_PATH));
  EXPECT_EQ(ReadBytes(File("vm001_small.dbf")), original);
}

TEST_F(ConverterUiTest, AMissingLiveTableStallsTheDialogUntilCancelled) {
  ASSERT_TRUE(vmtables::MakeVmTable(File("vm001_big.dbf"), Layout::kBig, 3));
  SetIni(dir.c_str());  // no vm001.dbf there
  Start();
  HWND progress = StartSmallToBig();
  ASSERT_NE(progress, nullptr);
  EXPECT_EQ(Answer(kError, IDOK).text, "The database " + dir + ".\\vm001.dbf could not be opend !\n"
                                                                "Please check that the database exists.\n" +
                                           xb::FileErrorText(ERROR_FILE_NOT_FOUND))
      << "the original's words, and the system's reason on a line of its own";
  EXPECT_EQ(ui::Text(progress, IDOK), "Cancel");
  EXPECT_EQ(ui::Text(progress, IDC_STATUS_TEXT), "");
  EXPECT_EQ(ui::BarPos(progress, IDC_PROGRESS_BAR), 0);
  ui::Click(progress, IDOK);
  Answer(kConfirm, IDYES);
  EXPECT_TRUE(ui::WaitGone(progress));
}

TEST_F(ConverterUiTest, TheAboutBoxOpensFromInfoAndFromTheSystemMenu) {
  Start();
  ui::Click(main, IDC_INFO);
  HWND about = ui::Wait("About Morlund");
  ASSERT_NE(about, nullptr);
  ui::Click(about, IDOK);
  EXPECT_TRUE(ui::WaitGone(about));
  for (WPARAM command : {WPARAM(16), WPARAM(17)}) {
    PostMessageA(main, WM_SYSCOMMAND, command, 0);
    about = ui::Wait("About Morlund");
    ASSERT_NE(about, nullptr) << "system command " << command;
    ui::Click(about, IDOK);
    EXPECT_TRUE(ui::WaitGone(about));
  }
}

// The framework's help command, from any dialog, reaches the application.
struct HelpCountingApp : CConverterApp {
  std::atomic<int> helps{0};
  void OnHelp() override { ++helps; }
};

TEST_F(ConverterUiTest, TheHelpCommandReachesTheApplicationsHandler) {
  HelpCountingApp app;
  ui_ = std::thread([&] { app.InitInstance(); });
  main = ui::Wait(kMainCaption);
  ASSERT_NE(main, nullptr);
  DWORD_PTR result;
  SendMessageTimeoutA(main, WM_COMMAND, MAKEWPARAM(ID_HELP, 0), 0, SMTO_NORMAL, 5000, &result);
  EXPECT_EQ(app.helps, 1);
  EXPECT_TRUE(IsWindowVisible(main)) << "the help command closes nothing";
  ShutDown();  // before app goes
}

}  // namespace

namespace {

// The progress dialog on its own, with no job: the test sends what a job
// would.
TEST(ProgressDialogTest, StepsAndTheEndAsTheJobReportsThem) {
  std::thread ui([] {
    CProgressDlg dlg;
    dlg.smallToBigJob = dlg.bigToSmallJob = dlg.personalJob = 0;
    dlg.DoModal();
  });
  HWND p = ui::Wait(kProgress);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(ui::Text(p, IDOK), "Cancel");
  EXPECT_EQ(ui::BarPos(p, IDC_PROGRESS_BAR), 0);
  SendMessageA(p, WM_JOB_PROGRESS, 0, 0);
  EXPECT_EQ(ui::BarPos(p, IDC_PROGRESS_BAR), 1);
  EXPECT_EQ(ui::Text(p, IDC_STATUS_TEXT), "0 % converted") << "the count before the step";
  for (int i = 1; i < 124; ++i) SendMessageA(p, WM_JOB_PROGRESS, 0, 12345);
  EXPECT_EQ(ui::Text(p, IDC_STATUS_TEXT), "123 % converted");
  EXPECT_LT(ui::BarPos(p, IDC_PROGRESS_BAR), 100) << "the bar starts over past its end";
  SendMessageA(p, WM_JOB_PROGRESS, 2, 0);
  EXPECT_EQ(ui::BarPos(p, IDC_PROGRESS_BAR), 100);
  EXPECT_EQ(ui::Text(p, IDOK), "OK");
  EXPECT_EQ(ui::Text(p, IDC_STATUS_TEXT), "Database successfully converted");
  PostMessageA(p, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  EXPECT_TRUE(ui::WaitGone(p));
  ui.join();
}

// A job clears running only after the dialog has handled its end message:
// a click in between belongs to a finished job.
TEST(ProgressDialogTest, AClickAfterTheEndMessageClosesWithoutAskingToCancel) {
  JobState::running = 1;
  std::thread ui([] {
    CProgressDlg dlg;
    dlg.smallToBigJob = dlg.bigToSmallJob = dlg.personalJob = 0;
    dlg.DoModal();
  });
  HWND p = ui::Wait(kProgress);
  ASSERT_NE(p, nullptr);
  SendMessageA(p, WM_JOB_PROGRESS, 1, 0);
  ui::Click(p, IDOK);
  HWND question = ui::Wait(kConfirm, 3000);
  EXPECT_EQ(question, nullptr) << "a finished job was asked \"Cancel converting process ?\"";
  if (question) PostMessageA(question, WM_COMMAND, MAKEWPARAM(IDYES, BN_CLICKED), 0);
  EXPECT_TRUE(ui::WaitGone(p));
  ui.join();
  JobState::running = 0;
}

// The job ends while "Cancel converting process ?" is open: nothing is left
// to cancel, so Yes goes on as OK after the end does and offers the swap.
uintptr_t __cdecl PretendThread(JobState::Job, unsigned, void*) { return 1; }

TEST(ProgressDialogTest, ACancelAnsweredAfterTheJobEndedOffersTheSwap) {
  JobState::ThreadStarter saved = JobState::beginThread;
  JobState::beginThread = PretendThread;
  std::thread ui([] {
    CProgressDlg dlg;
    dlg.smallToBigJob = 1;
    dlg.bigToSmallJob = dlg.personalJob = 0;
    dlg.DoModal();
  });
  HWND p = ui::Wait(kProgress);
  ASSERT_NE(p, nullptr);
  ui::Click(p, IDOK);
  HWND question = ui::Wait(kConfirm);
  ASSERT_NE(question, nullptr);
  EXPECT_EQ(ReadBox(question).text, "Cancel converting process ?");
  SendMessageA(p, WM_JOB_PROGRESS, 1, 0);  // the job ends meanwhile
  PostMessageA(question, WM_COMMAND, MAKEWPARAM(IDYES, BN_CLICKED), 0);
  ui::WaitGone(question);
  HWND swap = ui::Wait(kConfirm, 10000);
  ASSERT_NE(swap, nullptr) << "a finished job was closed as cancelled, without the swap offer";
  EXPECT_NE(ReadBox(swap).text.find("Would you like to make a copy"), std::string::npos) << ReadBox(swap).text;
  EXPECT_EQ(JobState::running, 1) << "nothing was cancelled";
  PostMessageA(swap, WM_COMMAND, MAKEWPARAM(IDNO, BN_CLICKED), 0);
  EXPECT_TRUE(ui::WaitGone(p));
  ui.join();
  JobState::beginThread = saved;
  JobState::running = 0;
  JobState::workerActive = 0;
}

}  // namespace

namespace {

// Asks scripts/screenshots.sh for a picture of window: writes NAME.ready
// holding the screen rectangle of its client area as WxH+X+Y (without a
// window manager the frame and caption are not drawn), then waits for the
// script's NAME.done.
void Photograph(HWND window, const std::string& folder, const std::string& name) {
  RECT r;
  GetClientRect(window, &r);
  POINT origin = {0, 0};
  ClientToScreen(window, &origin);
  std::string geometry = std::to_string(r.right) + "x" + std::to_string(r.bottom) + "+" + std::to_string(origin.x) +
                         "+" + std::to_string(origin.y);
  WriteBytes(folder + "\\" + name + ".ready", std::vector<unsigned char>(geometry.begin(), geometry.end()));
  std::string done = folder + "\\" + name + ".done";
  ui::WaitUntil([&] { return GetFileAttributesA(done.c_str()) != INVALID_FILE_ATTRIBUTES; }, 30000);
}

// The template's size in pixels beside the window's client area, for the
// screenshot notes.
void ReportSize(HWND dialog, const char* name, int widthDu, int heightDu) {
  RECT du = {0, 0, widthDu, heightDu}, client;
  MapDialogRect(dialog, &du);
  GetClientRect(dialog, &client);
  std::printf("%s: template %dx%d du = %ldx%ld px, client area %ldx%ld px\n", name, widthDu, heightDu, du.right,
              du.bottom, client.right, client.bottom);
}

// Pictures of the three dialogs for scripts/screenshots.sh, which runs this
// under Xvfb and takes them: main, about and progress in $CONVERTER_SHOTS.
TEST_F(ConverterUiTest, DISABLED_Screenshots) {
  const char* out = std::getenv("CONVERTER_SHOTS");
  if (!out) GTEST_SKIP() << "CONVERTER_SHOTS names no folder";
  std::string folder = out;
  MakeVoicemail(12000, Variation{1, 0});
  Start();
  Sleep(500);
  ReportSize(main, "main", 365, 266);
  Photograph(main, folder, "main");
  ui::Click(main, IDC_INFO);
  HWND about = ui::Wait("About Morlund");
  ASSERT_NE(about, nullptr);
  Sleep(500);
  ReportSize(about, "about", 235, 134);
  Photograph(about, folder, "about");
  ui::Click(about, IDOK);
  ui::WaitGone(about);
  HWND progress = StartSmallToBig();
  ASSERT_NE(progress, nullptr);
  ui::WaitUntil([&] { return ui::Text(progress, IDC_STATUS_TEXT) == "20 % converted"; });
  ReportSize(progress, "progress", 265, 117);
  Photograph(progress, folder, "progress");
  // Cancelled, then taken back from the run history.
  ui::Click(progress, IDOK);
  Answer(kConfirm, IDYES);
  ui::WaitUntil([&] { return JobState::workerActive == 0 && ui::Enabled(main, IDC_SMALL_TO_BIG); });
  PostMessageA(main, WM_SYSCOMMAND, IDM_HISTORY, 0);
  HWND history = ui::Wait("Run history");
  ASSERT_NE(history, nullptr);
  Sleep(500);
  ReportSize(history, "history", 420, 200);
  Photograph(history, folder, "history");
  ui::Click(history, IDC_HISTORY_UNDO);
  HWND question = ui::Wait(kConfirm);
  ASSERT_NE(question, nullptr);
  Sleep(500);
  Photograph(question, folder, "undo-question");
  PostMessageA(question, WM_COMMAND, MAKEWPARAM(IDYES, BN_CLICKED), 0);
  HWND result = ui::Wait("Information");
  ASSERT_NE(result, nullptr);
  Sleep(500);
  Photograph(result, folder, "undo-done");
  PostMessageA(result, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
}

}  // namespace
