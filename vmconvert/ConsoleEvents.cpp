#include "vmconvert/ConsoleEvents.h"

#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "convert/JobState.h"
#include "vmconvert/ConsoleProgress.h"

namespace {

// The system allows about five seconds after closing, logoff and shutdown.
const DWORD kEndingWaitMs = 4500;

volatile LONG cancelled = 0;
HANDLE finished = CreateEventA(nullptr, TRUE, FALSE, nullptr);

BOOL WINAPI OnConsoleEvent(DWORD event) {
  JobState::running = 0;
  InterlockedExchange(&cancelled, 1);
  if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT)
    WaitForSingleObject(finished, kEndingWaitMs);
  return TRUE;
}

}  // namespace

namespace ConsoleEvents {

void Catch() { SetConsoleCtrlHandler(OnConsoleEvent, TRUE); }

bool Cancelled() { return cancelled != 0; }

void RunFinished() { SetEvent(finished); }

#ifdef VMCONVERT_TEST_HOOKS
namespace {
DWORD WINAPI Deliver(void* event) { return OnConsoleEvent(DWORD(uintptr_t(event))); }
}  // namespace

void DeliverWhenDue(const ConsoleProgress& progress) {
  static const char* setting = std::getenv("VMCONVERT_EVENT_AFTER_STEPS");
  static bool delivered = false;
  if (!setting || delivered) return;
  bool atEnd = std::strncmp(setting, "end", 3) == 0;
  if (atEnd ? !progress.ended() : progress.steps() < std::atoi(setting)) return;
  delivered = true;
  const char* name = std::strchr(setting, ':');
  static const struct {
    const char* name;
    DWORD event;
  } kEvents[] = {{"break", CTRL_BREAK_EVENT},
                 {"close", CTRL_CLOSE_EVENT},
                 {"logoff", CTRL_LOGOFF_EVENT},
                 {"shutdown", CTRL_SHUTDOWN_EVENT}};
  DWORD event = CTRL_C_EVENT;
  for (const auto& e : kEvents)
    if (name && std::strcmp(name + 1, e.name) == 0) event = e.event;
  CloseHandle(CreateThread(nullptr, 0, Deliver, reinterpret_cast<void*>(uintptr_t(event)), 0, nullptr));
}
#else
void DeliverWhenDue(const ConsoleProgress&) {}
#endif

}  // namespace ConsoleEvents
