#include "tests/support/pipe_echo.h"

#include <windows.h>

#include <string>

#include "lib/CPipeService.h"

void PipeEcho(CPipeService* service) {
  if (!service->WaitForConn()) return;
  CNamedPipe* pipe = service->Pipe();
  char text[CNamedPipe::kMaxMessage];
  // Messages first: a client that wrote and left at once is answered too.
  for (;;) {
    if (pipe->ReadString(text, 0)) {
      std::string reply = std::string("echo:") + text;
      if (!pipe->WriteString(const_cast<char*>(reply.c_str()))) break;  // not read: the client is dropped
      continue;
    }
    if (!pipe->IsConnected() || service->stopRequested) break;
    Sleep(1);
  }
  pipe->Disconnect();
}
