#include "convert/JobReport.h"

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

void EndWorker() { JobState::workerActive = 0; }
