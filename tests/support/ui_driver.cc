#include "tests/support/ui_driver.h"

#include <commctrl.h>

#include "tests/support/box_watcher.h"

namespace ui {

bool WaitUntil(const std::function<bool()>& condition, int timeoutMs) {
  DWORD start = GetTickCount();
  while (!condition()) {
    if (int(GetTickCount() - start) > timeoutMs) return false;
    Sleep(5);
  }
  return true;
}

HWND Wait(const std::string& caption, int timeoutMs) {
  HWND found = nullptr;
  WaitUntil(
      [&] {
        for (HWND w : ProcessDialogs()) {
          char text[256] = {};
          GetWindowTextA(w, text, sizeof text);
          if (caption == text) found = w;
        }
        return found != nullptr;
      },
      timeoutMs);
  return found;
}

bool WaitGone(HWND window, int timeoutMs) {
  return WaitUntil([&] { return !IsWindow(window) || !IsWindowVisible(window); }, timeoutMs);
}

std::string Text(HWND dialog, int id) {
  char text[1024] = {};
  GetDlgItemTextA(dialog, id, text, sizeof text);
  return text;
}

void SetText(HWND dialog, int id, const std::string& text) { SetDlgItemTextA(dialog, id, text.c_str()); }

bool Enabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != 0; }

void Click(HWND dialog, int id) {
  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

int BarPos(HWND dialog, int id) { return int(SendMessageA(GetDlgItem(dialog, id), PBM_GETPOS, 0, 0)); }

}  // namespace ui
