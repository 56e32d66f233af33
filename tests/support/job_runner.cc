#include "tests/support/job_runner.h"

namespace {
const char kClass[] = "JobRunnerWindow";
}

JobRunner::JobRunner() {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = Proc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = kClass;
  RegisterClassA(&wc);  // fails harmlessly when already registered
  window_ = CreateWindowA(kClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
  SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

JobRunner::~JobRunner() { DestroyWindow(window_); }

bool JobRunner::Run(JobState::Job job, int running) {
  JobState::progressWindow = window_;
  JobState::running = running;
  if (!JobState::StartJob(job)) return false;
  DWORD start = GetTickCount();
  while (JobState::workerActive) {
    if (GetTickCount() - start > 60000) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
  }
  return true;
}

int JobRunner::Steps() const {
  int n = 0;
  for (const JobMessage& m : messages_) n += m.wparam == 0;
  return n;
}

int JobRunner::Ends() const { return int(messages_.size()) - Steps(); }

LRESULT CALLBACK JobRunner::Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg != WM_JOB_PROGRESS) return DefWindowProcA(hwnd, msg, wp, lp);
  JobRunner* self = reinterpret_cast<JobRunner*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  self->messages_.push_back({wp, lp, JobState::running});
  if (self->cancelAfter_ != 0 && self->Steps() == self->cancelAfter_) JobState::running = 0;
  return 1;
}
