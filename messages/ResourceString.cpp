#include "messages/ResourceString.h"

#include <windows.h>

std::string LoadResString(unsigned int id) {
  // With no buffer, LoadStringW hands out the read-only resource text itself,
  // so no entry is ever cut at a buffer's size.
  const wchar_t* text = nullptr;
  int length = LoadStringW(GetModuleHandleW(nullptr), id, reinterpret_cast<LPWSTR>(&text), 0);
  if (length <= 0 || !text) return std::string();
  int bytes = WideCharToMultiByte(CP_ACP, 0, text, length, nullptr, 0, nullptr, nullptr);
  std::string out(size_t(bytes), '\0');
  WideCharToMultiByte(CP_ACP, 0, text, length, &out[0], bytes, nullptr, nullptr);
  return out;
}

std::string FillPlaceholders(const std::string& pattern, const char* arg1, const char* arg2) {
  std::string out;
  out.reserve(pattern.size() + 128);
  for (size_t i = 0; i < pattern.size(); ++i) {
    const char* arg = nullptr;
    if (pattern[i] == '%' && i + 1 < pattern.size()) {
      if (pattern[i + 1] == '1') arg = arg1;
      if (pattern[i + 1] == '2') arg = arg2;
    }
    if (!arg) {
      out += pattern[i];
      continue;
    }
    out += arg;
    ++i;
  }
  return out;
}

void AfxFormatString1(std::string& out, unsigned int id, const char* arg1) {
  out = FillPlaceholders(LoadResString(id), arg1, nullptr);
}

void AfxFormatString2(std::string& out, unsigned int id, const char* arg1, const char* arg2) {
  out = FillPlaceholders(LoadResString(id), arg1, arg2);
}
