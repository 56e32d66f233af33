// What the tests of the real windows share: the program started on an
// interface thread of its own and driven as the operator drives it, in a
// fresh folder, with the INI file it reads.
#ifndef TESTS_UI_UI_FIXTURE_H_
#define TESTS_UI_UI_FIXTURE_H_

#include <windows.h>
#include <process.h>

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "app/CConverterApp.h"
#include "convert/JobState.h"
#include "db/EngineContext.h"
#include "tests/support/box_watcher.h"
#include "tests/support/fault_file_system.h"
#include "tests/support/temp_dir.h"
#include "tests/support/ui_driver.h"
#include "tools/vmtables.h"


inline const char kMainCaption[] = "Veltrano database converter";
inline const char kConfirm[] = "Please confirm ...";
inline const char kError[] = "Error !";
inline const char kProgress[] = "Convert database";

inline std::string IniPath() {
  char dir[MAX_PATH];
  GetWindowsDirectoryA(dir, MAX_PATH);
  return std::string(dir) + "\\kxaconf.ini";
}

inline void SetIni(const char* value) {
  WritePrivateProfileStringA("Config", "Vm001Path", value, "kxaconf.ini");
  WritePrivateProfileStringA(nullptr, nullptr, nullptr, "kxaconf.ini");  // flush
}

inline void WriteFileOfSize(const std::string& path, size_t size) {
  WriteBytes(path, std::vector<unsigned char>(size, 'x'));
}

inline BOOL CALLBACK PressOk(HWND window, LPARAM) {
  PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  return TRUE;
}

class ConverterUiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Short, so that the live path fits its 80 characters.
    static int serial = 0;
    dir = "c:\\ui" + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(serial++);
    CreateDirectoryA(dir.c_str(), nullptr);
    DeleteFileA(IniPath().c_str());
  }

  void TearDown() override {
    JobState::beginThread = _beginthread;
    ShutDown();
    JobState::WaitForWorker();
    engineContext.setFileSystem(xb::FileSystem::Default());
    DeleteFileA(IniPath().c_str());
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
  }

  std::string File(const std::string& name) { return dir + "\\" + name; }

  // Starts the program's start-up on its own interface thread.
  void Start() {
    appEnded = false;
    ui_ = std::thread([this] {
      CConverterApp app;
      app.InitInstance();
      workerWhenAppEnded = JobState::workerActive;
      appEnded = true;
    });
    main = ui::Wait(kMainCaption);
    ASSERT_NE(main, nullptr) << "the main dialog did not appear";
  }

  // Closes whatever is open, the main dialog last, and waits for the
  // interface thread to end.
  void ShutDown() {
    if (!ui_.joinable()) return;
    bool ended = ui::WaitUntil(
        [&] {
          for (HWND w : ProcessDialogs()) {
            if (w == main) continue;
            for (int id : {IDNO, IDCANCEL, IDOK})
              if (GetDlgItem(w, id)) {
                PostMessageA(w, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
                break;
              }
          }
          if (ProcessDialogs().size() <= 1 && IsWindow(main)) ui::Click(main, IDOK);
          Sleep(20);
          return !IsWindow(main);
        },
        20000);
    if (ended) ui_.join();
    else ui_.detach();
  }

  // The box with this caption: what it shows; then presses button.
  SeenBox Answer(const char* caption, int button) {
    HWND box = ui::Wait(caption);
    EXPECT_NE(box, nullptr) << "no box \"" << caption << "\" appeared";
    if (!box) return SeenBox();
    SeenBox seen = ReadBox(box);
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
    ui::WaitGone(box);
    return seen;
  }

  // Live small table, big table (every copied field different when slow,
  // else a few), index files of both.
  void MakeVoicemail(uint32_t records, vmtables::Variation v) {
    ASSERT_TRUE(vmtables::MakeVmTable(File("vm001.dbf"), vmtables::Layout::kSmall, records));
    ASSERT_TRUE(vmtables::MakeVmTable(File("vm001_big.dbf"), vmtables::Layout::kBig, records, v));
    WriteBytes(File("vm001.ndx"), {'l', 'i', 'v', 'e'});
    WriteBytes(File("vm001_big.ndx"), {'b', 'i', 'g'});
    SetIni(File("vm001.dbf").c_str());
  }

  // Personal tables old.dbf and new.dbf of records each (some fields of
  // the new one differ), typed in; "Old -> New" is clicked and its
  // question answered. What the question showed.
  SeenBox AskOldToNew(uint32_t records, int answer) {
    EXPECT_TRUE(vmtables::MakePersonalTable(File("old.dbf"), records));
    EXPECT_TRUE(vmtables::MakePersonalTable(File("new.dbf"), records, vmtables::Variation{3, 0}));
    Start();
    ui::SetText(main, IDC_OLD_PERSONAL, File("old.dbf"));
    ui::SetText(main, IDC_NEW_PERSONAL, File("new.dbf"));
    ui::Click(main, IDC_OLD_TO_NEW);
    return Answer(kConfirm, answer);
  }

  // Types the big table's path and starts "Small -> Big", answering the
  // question Yes; returns the progress dialog.
  HWND StartSmallToBig() {
    ui::SetText(main, IDC_BIG_PATH, File("vm001_big.dbf"));
    ui::Click(main, IDC_SMALL_TO_BIG);
    Answer(kConfirm, IDYES);
    return ui::Wait(kProgress);
  }

  // Waits for the job's end in progress, presses OK, takes the swap and
  // its report, and waits for the dialog to close.
  void SwapAfterTheEnd(HWND progress) {
    ASSERT_NE(progress, nullptr);
    ASSERT_TRUE(ui::WaitUntil([&] { return ui::Text(progress, IDOK) == "OK"; }));
    ui::Click(progress, IDOK);
    Answer(kConfirm, IDYES);
    EXPECT_EQ(Answer("Information", IDOK).text, "The files where successfully copied.");
    EXPECT_TRUE(ui::WaitGone(progress));
  }

  DWORD HoldAWorkerUnseen();
  bool ReleaseWorker(DWORD worker);

  FaultFileSystem failingWrites;  // under the jobs of HoldAWorkerUnseen
  std::string dir;
  HWND main = nullptr;
  std::thread ui_;
  std::atomic<bool> appEnded{false};
  int workerWhenAppEnded = -1;
};

// The worker is held in boxes of its own (the file layer fails its
// writes) for as long as the test needs it running; Escape leaves it
// running unseen. Returns the worker's thread.
inline DWORD ConverterUiTest::HoldAWorkerUnseen() {
  MakeVoicemail(12000, vmtables::Variation{1, 0});
  failingWrites.writesBeforeFailure = 0;
  failingWrites.writesFailIn = "vm001_big.dbf";  // the table's, not the journal's
  engineContext.setFileSystem(&failingWrites);
  Start();
  HWND progress = StartSmallToBig();
  EXPECT_NE(progress, nullptr);
  HWND box = ui::Wait("Error");
  EXPECT_NE(box, nullptr) << "the worker's failed write shows its box";
  PostMessageA(progress, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);  // Escape
  EXPECT_TRUE(ui::WaitGone(progress, 10000)) << "Escape closes the dialog, with no question";
  EXPECT_EQ(JobState::workerActive, 1) << "the job runs on unseen";
  return box ? GetWindowThreadProcessId(box, nullptr) : 0;
}

// Lets the held worker go: it ends after the record in hand, one box for
// each of that record's fields it could not write. Only the worker's own
// windows are pressed.
inline bool ConverterUiTest::ReleaseWorker(DWORD worker) {
  JobState::running = 0;
  bool ended = ui::WaitUntil([&] {
    EnumThreadWindows(worker, PressOk, 0);
    return JobState::workerActive == 0;
  });
  engineContext.setFileSystem(xb::FileSystem::Default());
  return ended;
}

#endif  // TESTS_UI_UI_FIXTURE_H_
