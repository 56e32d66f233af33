#include "app/AskYesNo.h"

#include <windows.h>

bool AskYesNo(const char* text, const char* caption, int noIsDefault) {
  UINT type = MB_YESNO | MB_ICONQUESTION | (noIsDefault ? MB_DEFBUTTON2 : MB_DEFBUTTON1);
  return MessageBoxA(GetActiveWindow(), text, caption, type) == IDYES;
}
