// A load check of the pipe service: a 4-thread echo service in this process
// and a burst of client processes (this program again, with --clients),
// each opening connections one after another and sending messages; every
// answer is checked. Not a timed test: it prints what it sustained.
// Usage: pipe_load [PROCESSES [CONNECTIONS [MESSAGES [BYTES]]]]
// BYTES: each message's size on the wire, its NUL included (at least the
// client's own label; at most 8187, so that the answer fits a message).
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "lib/CNamedPipe.h"
#include "lib/CPipeService.h"
#include "tests/support/pipe_echo.h"

namespace {

const int kThreads = 4;

// One client process: connections one after another, messages on each.
// Exit status: the number of lost or wrong answers (0 when all came back).
int Clients(const char* name, int connections, int messages, int bytes) {
  int lost = 0;
  for (int c = 0; c < connections; ++c) {
    CNamedPipe client;
    client.InitClient(nullptr, name);
    int tries = 0;
    while (!client.Connect(kThreads, 0) && tries++ < 2000) Sleep(5);
    if (client.state != 2) {
      lost += messages;
      continue;
    }
    for (int m = 0; m < messages; ++m) {
      std::string text = std::to_string(GetCurrentProcessId()) + "-" + std::to_string(c) + "-" + std::to_string(m);
      if (int(text.size()) < bytes - 1) text.resize(size_t(bytes - 1), 'x');
      client.WriteString(const_cast<char*>(text.c_str()));
      char reply[CNamedPipe::kMaxMessage] = "";
      int waited = 0;
      while (!client.ReadString(reply, 0) && waited++ < 10000) Sleep(1);
      if (std::string(reply) != "echo:" + text) ++lost;
    }
    client.Disconnect();
  }
  return lost;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 6 && std::strcmp(argv[1], "--clients") == 0)
    return Clients(argv[2], std::atoi(argv[3]), std::atoi(argv[4]), std::atoi(argv[5]));
  int processes = argc > 1 ? std::atoi(argv[1]) : 8;
  int connections = argc > 2 ? std::atoi(argv[2]) : 10;
  int messages = argc > 3 ? std::atoi(argv[3]) : 20;
  int bytes = argc > 4 ? std::atoi(argv[4]) : 0;
  if (bytes > CNamedPipe::kMaxMessage - 5) {
    std::fprintf(stderr, "pipe_load: at most %d bytes a message\n", CNamedPipe::kMaxMessage - 5);
    return 2;
  }
  std::string name = "pipe_load_" + std::to_string(GetCurrentProcessId());
  CPipeService service(name.c_str(), kThreads, reinterpret_cast<void*>(&PipeEcho), 0);
  service.Start();

  char self[MAX_PATH];
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  auto start = std::chrono::steady_clock::now();
  std::vector<PROCESS_INFORMATION> children;
  for (int p = 0; p < processes; ++p) {
    std::string line = "\"" + std::string(self) + "\" --clients " + name + " " + std::to_string(connections) + " " +
                       std::to_string(messages) + " " + std::to_string(bytes);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
      children.push_back(pi);
  }
  long lost = long(processes - int(children.size())) * connections * messages;
  for (PROCESS_INFORMATION& pi : children) {
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD status = 0;
    GetExitCodeProcess(pi.hProcess, &status);
    lost += long(status);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
  }
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  while (!service.Stop(10000, 0)) Sleep(10);
  long sent = long(processes) * connections * messages;
  std::printf("%d client processes x %d connections x %d messages of %d bytes = %ld messages, %ld lost or wrong\n",
              processes, connections, messages, bytes, sent, lost);
  std::printf("%.2f s: %.0f connections/s, %.0f messages/s answered\n", seconds,
              processes * connections / seconds, (sent - lost) / seconds);
  return lost == 0 ? 0 : 1;
}
