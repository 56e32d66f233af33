#include "app/AskYesNo.h"

#include <windows.h>

#include <string>

#include "messages/ResourceString.h"
#include "messages/StringIds.h"

bool AskYesNo(const char* text, const char* caption, int noIsDefault) {
  UINT type = MB_YESNO | MB_ICONQUESTION | (noIsDefault ? MB_DEFBUTTON2 : MB_DEFBUTTON1);
  return MessageBoxA(GetActiveWindow(), text, caption, type) == IDYES;
}

bool AskString(unsigned int id, const char* arg1, const char* arg2) {
  std::string text;
  AfxFormatString2(text, id, arg1, arg2);
  return AskYesNo(text.c_str(), LoadResString(IDS_CONFIRM_CAPTION).c_str(), 0);
}
