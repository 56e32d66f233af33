// JobRunner: stands in for the progress dialog. It owns a window that
// receives WM_JOB_PROGRESS, starts a job through JobState, and records the
// messages in the order they came, with JobState::running as it stood when
// each arrived. A test may cancel (clear running) once a given number of
// step messages has arrived, as a confirmed cancel would.
#ifndef TESTS_SUPPORT_JOB_RUNNER_H_
#define TESTS_SUPPORT_JOB_RUNNER_H_

#include <windows.h>

#include <vector>

#include "convert/JobState.h"

struct JobMessage {
  WPARAM wparam;
  LPARAM lparam;
  int running;
};

class JobRunner {
 public:
  JobRunner();
  ~JobRunner();
  JobRunner(const JobRunner&) = delete;
  JobRunner& operator=(const JobRunner&) = delete;

  // Clears running when the step-th step message arrives (0: never).
  void CancelAfterStep(int step) { cancelAfter_ = step; }
  // Sets running (1 unless given) and starts job, and handles its messages
  // until the worker has ended. False if it did not end within a minute.
  bool Run(JobState::Job job, int running = 1);

  const std::vector<JobMessage>& messages() const { return messages_; }
  int Steps() const;
  // Number of final messages (wparam not 0).
  int Ends() const;

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

  HWND window_;
  int cancelAfter_ = 0;
  std::vector<JobMessage> messages_;
};

#endif  // TESTS_SUPPORT_JOB_RUNNER_H_
