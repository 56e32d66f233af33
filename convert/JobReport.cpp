#include "convert/JobReport.h"

#include <cstdarg>
#include <cstdio>
#include <string>

#include "app/framework/ResourceString.h"
#include "convert/JobState.h"
#include "db/ShowError.h"

namespace {
const unsigned int kErrorCaption = 102;
}

void SendJobProgress(WPARAM wparam) { SendMessageA(JobState::progressWindow, WM_JOB_PROGRESS, wparam, 0); }

void ShowPathError(unsigned int id, const char* path) {
  std::string text;
  AfxFormatString1(text, id, path);
  ShowError(text.c_str(), LoadResString(kErrorCaption).c_str());
}

void ShowFormattedError(unsigned int id, ...) {
  char text[512];
  va_list arguments;
  va_start(arguments, id);
  std::vsnprintf(text, sizeof text, LoadResString(id).c_str(), arguments);
  va_end(arguments);
  ShowError(text, LoadResString(kErrorCaption).c_str());
}

void EndWorker() { JobState::workerActive = 0; }
