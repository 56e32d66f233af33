#include "tests/support/box_watcher.h"

namespace {

const int kButtons[] = {IDOK, IDCANCEL, IDYES, IDNO};

struct Search {
  DWORD pid;
  std::vector<HWND> found;
};

BOOL CALLBACK Collect(HWND hwnd, LPARAM lp) {
  Search* s = reinterpret_cast<Search*>(lp);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  char cls[32] = {};
  GetClassNameA(hwnd, cls, sizeof cls);
  if (pid == s->pid && std::string(cls) == "#32770" && IsWindowVisible(hwnd)) s->found.push_back(hwnd);
  return TRUE;
}

// The message box's icon, compared with the system's shared icons.
BOOL CALLBACK FindIcon(HWND child, LPARAM lp) {
  HICON* icon = reinterpret_cast<HICON*>(lp);
  if ((GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) != SS_ICON) return TRUE;
  *icon = reinterpret_cast<HICON>(SendMessageA(child, STM_GETICON, 0, 0));
  return FALSE;
}

}  // namespace

std::vector<HWND> ProcessDialogs() {
  Search s{GetCurrentProcessId(), {}};
  EnumWindows(Collect, reinterpret_cast<LPARAM>(&s));
  return s.found;
}

SeenBox ReadBox(HWND box) {
  SeenBox seen;
  char text[1024] = {};
  GetWindowTextA(box, text, sizeof text);
  seen.caption = text;
  text[0] = '\0';
  GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
  seen.text = text;
  HICON icon = nullptr;
  EnumChildWindows(box, FindIcon, reinterpret_cast<LPARAM>(&icon));
  seen.exclamation = icon && icon == LoadIcon(nullptr, IDI_EXCLAMATION);
  seen.question = icon && icon == LoadIcon(nullptr, IDI_QUESTION);
  seen.information = icon && icon == LoadIcon(nullptr, IDI_INFORMATION);
  for (int id : kButtons)
    if (GetDlgItem(box, id)) seen.buttons.push_back(id);
  return seen;
}

BoxWatcher::BoxWatcher() : thread_([this] { Run(); }) {}

BoxWatcher::~BoxWatcher() {
  stop_ = true;
  thread_.join();
}

void BoxWatcher::Answer(int id) {
  std::lock_guard<std::mutex> lock(mutex_);
  answers_.push_back(id);
}

std::vector<SeenBox> BoxWatcher::Boxes() {
  std::lock_guard<std::mutex> lock(mutex_);
  return boxes_;
}

std::string BoxWatcher::Summary() {
  std::string out;
  for (const SeenBox& b : Boxes()) out += (out.empty() ? "" : "\n") + b.caption + "|" + b.text;
  return out;
}

void BoxWatcher::Clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  boxes_.clear();
}

void BoxWatcher::Run() {
  while (!stop_) {
    for (HWND box : ProcessDialogs()) Handle(box);
    Sleep(5);
  }
}

void BoxWatcher::Handle(HWND box) {
  SeenBox seen = ReadBox(box);
  int answer = IDOK;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!answers_.empty()) {
      answer = answers_.front();
      answers_.pop_front();
    }
    boxes_.push_back(seen);
  }
  HWND button = GetDlgItem(box, answer);
  if (button)
    SendMessageA(box, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED), reinterpret_cast<LPARAM>(button));
  else
    SendMessageA(box, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED), 0);
  // Wait until the box is gone, so it is never recorded twice.
  for (int i = 0; i < 400 && IsWindow(box); ++i) Sleep(5);
}
