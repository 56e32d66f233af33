#include "tests/support/pipe_echo.h"

#include <windows.h>

#include <string>

#include "lib/CPipeService.h"

void PipeEcho(CPipeService* service) {
  if (!service->WaitForConn()) return;
  CNamedPipe* pipe = service->Pipe();
  char text[CNamedPipe::kMaxMessage];
  while (pipe->IsConnected() && !service->stopRequested) {
    if (!pipe->ReadString(text, 0)) {
      Sleep(1);
      continue;
    }
    std::string reply = std::string("echo:") + text;
    pipe->WriteString(const_cast<char*>(reply.c_str()));
  }
  pipe->Disconnect();
}
