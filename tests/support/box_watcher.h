// BoxWatcher: sees this process's message boxes as the operator does. A
// thread finds every top-level dialog-class window of the process, records
// its caption, text, icon and buttons, and presses the answer it was given
// (OK when none is queued).
#ifndef TESTS_SUPPORT_BOX_WATCHER_H_
#define TESTS_SUPPORT_BOX_WATCHER_H_

#include <windows.h>

#include <atomic>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct SeenBox {
  std::string caption;
  std::string text;
  bool exclamation = false;  // the warning icon
  bool question = false;     // the question icon
  bool information = false;  // the information icon
  std::vector<int> buttons;  // ids among IDOK, IDCANCEL, IDYES, IDNO present
};

// The visible top-level dialog-class windows (boxes and dialogs) of this
// process.
std::vector<HWND> ProcessDialogs();
// What a message box shows.
SeenBox ReadBox(HWND box);

class BoxWatcher {
 public:
  BoxWatcher();
  ~BoxWatcher();
  BoxWatcher(const BoxWatcher&) = delete;
  BoxWatcher& operator=(const BoxWatcher&) = delete;

  // The button (IDYES, IDNO, IDOK ...) to press for the next box.
  void Answer(int id);
  // Boxes seen and closed so far.
  std::vector<SeenBox> Boxes();
  // Texts of the boxes seen so far, "caption|text" each, joined by newlines.
  std::string Summary();
  void Clear();

 private:
  void Run();
  void Handle(HWND box);

  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::vector<SeenBox> boxes_;
  std::deque<int> answers_;
  std::thread thread_;
};

#endif  // TESTS_SUPPORT_BOX_WATCHER_H_
