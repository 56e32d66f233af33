#include "convert/JobState.h"

#include <process.h>

namespace JobState {

char livePath[80];
char bigPath[128];
char smallPath[128];
char oldPersonalPath[128];
char newPersonalPath[128];
HWND progressWindow;
int32_t progressCount;
std::atomic<int32_t> running;
CVmDatabase* sourceTable;
CVmDatabase* targetTable;
std::atomic<int32_t> workerActive;
JobOutcome outcome;
xb::FileSystem* files;
ThreadStarter beginThread = _beginthread;

bool StartJob(Job job) {
  workerActive = 1;
  if (beginThread(job, 0, nullptr) != uintptr_t(-1)) return true;
  workerActive = 0;
  return false;
}

void WaitForWorker() {
  while (workerActive) Sleep(10);
}

}  // namespace JobState
