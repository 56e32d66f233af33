// Drives this process's dialogs from a test thread, the way an operator
// would: finds windows by caption, reads and types control texts, clicks
// buttons (posted, so a click that opens a modal box does not block the
// test). Every wait gives up after a time-out and says so.
#ifndef TESTS_SUPPORT_UI_DRIVER_H_
#define TESTS_SUPPORT_UI_DRIVER_H_

#include <windows.h>

#include <functional>
#include <string>

namespace ui {

// The visible dialog or box of this process with this caption; null when
// none appeared within the time-out.
HWND Wait(const std::string& caption, int timeoutMs = 60000);
// True once the window has gone.
bool WaitGone(HWND window, int timeoutMs = 60000);
// True once condition holds.
bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 60000);

std::string Text(HWND dialog, int id);
void SetText(HWND dialog, int id, const std::string& text);
bool Enabled(HWND dialog, int id);
// Posts a click of button id.
void Click(HWND dialog, int id);
// The position of a progress bar.
int BarPos(HWND dialog, int id);

}  // namespace ui

#endif  // TESTS_SUPPORT_UI_DRIVER_H_
