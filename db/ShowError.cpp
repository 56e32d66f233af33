#include "db/ShowError.h"

#include <windows.h>

void ShowError(const char* text, const char* caption) {
  MessageBoxA(GetActiveWindow(), text, caption, MB_OK | MB_ICONEXCLAMATION);
}
