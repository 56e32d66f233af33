#include "tests/support/pipe_echo.h"

#include <windows.h>

#include <string>

#include "lib/CPipeService.h"

namespace {

// Polls after a message before the handler pauses a millisecond at a time.
const int kYields = 50;

}  // namespace

void PipeEcho(CPipeService* service) {
  if (!service->WaitForConn()) return;
  CNamedPipe* pipe = service->Pipe();
  char text[CNamedPipe::kMaxMessage];
  // A client's next message mostly follows its answer at once: right after
  // a message the handler only yields between polls, and pauses once the
  // client has been quiet for a while.
  int quiet = 0;
  // Messages first: a client that wrote and left at once is answered too.
  for (;;) {
    if (pipe->ReadString(text, 0)) {
      std::string reply = std::string("echo:") + text;
      if (!pipe->WriteString(const_cast<char*>(reply.c_str()))) break;  // not read: the client is dropped
      quiet = 0;
      continue;
    }
    if (!pipe->IsConnected() || service->stopRequested) break;
    Sleep(++quiet < kYields ? 0 : 1);
  }
  pipe->Disconnect();
}
