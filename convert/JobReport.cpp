#include "convert/JobReport.h"

#include <cstdarg>
#include <cstdio>
#include <string>

#include "messages/ResourceString.h"
#include "convert/JobState.h"
#include "messages/ShowError.h"
#include "messages/StringIds.h"

void SendJobProgress(WPARAM wparam) { SendMessageA(JobState::progressWindow, WM_JOB_PROGRESS, wparam, 0); }

void ShowOpenError(unsigned int id, const char* path, const char* why) {
  std::string text;
  AfxFormatString1(text, id, path);
  if (why && *why) text += std::string("\n") + why;
  ShowError(text.c_str(), LoadResString(IDS_ERROR_CAPTION).c_str());
}

void ShowFormattedError(unsigned int id, ...) {
  char text[512];
  va_list arguments;
  va_start(arguments, id);
  std::vsnprintf(text, sizeof text, LoadResString(id).c_str(), arguments);
  va_end(arguments);
  ShowError(text, LoadResString(IDS_ERROR_CAPTION).c_str());
}

void EndWorker() { JobState::workerActive = 0; }
