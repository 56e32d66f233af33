// A load check of the pipe service beside the pipe's own speed, in one run:
// the same bursts of client processes (this program again, with --clients),
// each opening connections one after another and sending messages, every
// answer checked, against
//   1. a bare Win32 echo: one blocking thread per instance,
//      CreateNamedPipe / ConnectNamedPipe / ReadFile / WriteFile, with bare
//      clients (CreateFile, WriteFile, ReadFile until the NUL);
//   2. a 4-thread CPipeService with an echo handler, the same bare clients;
//   3. the same service with CNamedPipe clients (polled, as the server's
//      programs use them).
// The clock runs from the moment every client process has made its first
// connection and had an answer on it (a start event they then wait on):
// starting processes and the first connects are not counted (the service's
// threads look for a client every threads x 100 ms, as they must), later
// connections are.
// With one connection a process, the figures are round trips alone. Not a
// timed test: it prints what each sustained and the ratios to 1.
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
const DWORD kBufferSize = 4096;
const int kYields = 50;

std::string Message(int connection, int message, int bytes) {
  std::string text = std::to_string(GetCurrentProcessId()) + "-" + std::to_string(connection) + "-" +
                     std::to_string(message);
  if (int(text.size()) < bytes - 1) text.resize(size_t(bytes - 1), 'x');
  return text;
}

std::string Path(const char* name) { return std::string("\\\\.\\PIPE\\") + name; }

// Reads from pipe until a NUL ends a message; false when the pipe ends.
bool ReadMessage(HANDLE pipe, std::string& message) {
  message.clear();
  char chunk[kBufferSize];
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(pipe, chunk, sizeof chunk, &got, nullptr) || got == 0) return false;
    message.append(chunk, got);
    if (message.back() == '\0') {
      message.pop_back();
      return true;
    }
  }
}

bool WriteMessage(HANDLE pipe, const std::string& text) {
  DWORD wrote = 0;
  return WriteFile(pipe, text.c_str(), DWORD(text.size() + 1), &wrote, nullptr) && wrote == text.size() + 1;
}

// Tells the starter this client is ready (its semaphore) and waits for the
// start (its event); both named after the pipe.
void AwaitStart(const char* name) {
  std::string ready = std::string(name) + "_ready", go = std::string(name) + "_go";
  HANDLE readySemaphore = OpenSemaphoreA(SEMAPHORE_MODIFY_STATE, FALSE, ready.c_str());
  HANDLE goEvent = OpenEventA(SYNCHRONIZE, FALSE, go.c_str());
  if (readySemaphore) ReleaseSemaphore(readySemaphore, 1, nullptr);
  if (goEvent) WaitForSingleObject(goEvent, INFINITE);
  if (readySemaphore) CloseHandle(readySemaphore);
  if (goEvent) CloseHandle(goEvent);
}

// Client processes: connections one after another, messages on each.
// Exit status: the number of lost or wrong answers (0 when all came back).
int BareClients(const char* name, int connections, int messages, int bytes) {
  int lost = 0;
  std::string path = Path(name);
  for (int c = 0; c < connections; ++c) {
    HANDLE pipe = INVALID_HANDLE_VALUE;
    for (int tries = 0; pipe == INVALID_HANDLE_VALUE && tries < 2000; ++tries) {
      pipe = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
      if (pipe == INVALID_HANDLE_VALUE && !WaitNamedPipeA(path.c_str(), 50)) Sleep(5);
    }
    if (pipe == INVALID_HANDLE_VALUE) {
      if (c == 0) AwaitStart(name);
      lost += messages;
      continue;
    }
    std::string reply;
    for (int m = c == 0 ? -1 : 0; m < messages; ++m) {
      std::string text = Message(c, m, bytes);
      bool answered = WriteMessage(pipe, text) && ReadMessage(pipe, reply) && reply == "echo:" + text;
      if (m < 0) AwaitStart(name);  // the first answer, not counted
      else if (!answered) ++lost;
    }
    CloseHandle(pipe);
  }
  return lost;
}

int LibraryClients(const char* name, int connections, int messages, int bytes) {
  int lost = 0;
  for (int c = 0; c < connections; ++c) {
    CNamedPipe client;
    client.InitClient(nullptr, name);
    int tries = 0;
    while (!client.Connect(kThreads, 0) && tries++ < 2000) Sleep(5);
    if (client.state != 2) {
      if (c == 0) AwaitStart(name);
      lost += messages;
      continue;
    }
    for (int m = c == 0 ? -1 : 0; m < messages; ++m) {
      std::string text = Message(c, m, bytes);
      client.WriteString(const_cast<char*>(text.c_str()));
      char reply[CNamedPipe::kMaxMessage] = "";
      // Yields between the first polls, as the echo handler does, then
      // pauses a millisecond at a time (10 s in all).
      for (int polls = 0; !client.ReadString(reply, 0) && polls < 10000 + kYields; ++polls)
        Sleep(polls < kYields ? 0 : 1);
      if (m < 0) AwaitStart(name);  // the first answer, not counted
      else if (std::string(reply) != "echo:" + text) ++lost;
    }
    client.Disconnect();
  }
  return lost;
}

// The bare echo: kThreads blocking instances of one name, each answering
// its client's messages until the client leaves, until stop.
struct BareEcho {
  std::string path;
  volatile LONG stop = 0;
  std::vector<HANDLE> threads;

  static DWORD WINAPI Serve(void* argument) {
    BareEcho* echo = static_cast<BareEcho*>(argument);
    HANDLE pipe = CreateNamedPipeA(echo->path.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT,
                                   kThreads, kBufferSize, kBufferSize, 1000, nullptr);
    if (pipe == INVALID_HANDLE_VALUE) return 1;
    std::string text;
    while (!echo->stop) {
      if (!ConnectNamedPipe(pipe, nullptr) && GetLastError() != ERROR_PIPE_CONNECTED) continue;
      while (!echo->stop && ReadMessage(pipe, text) && WriteMessage(pipe, "echo:" + text)) {
      }
      DisconnectNamedPipe(pipe);
    }
    CloseHandle(pipe);
    return 0;
  }

  void Start(const char* name) {
    path = Path(name);
    for (int i = 0; i < kThreads; ++i) threads.push_back(CreateThread(nullptr, 0, Serve, this, 0, nullptr));
  }

  // Each thread waits in ConnectNamedPipe: a client per thread wakes it.
  void Stop() {
    InterlockedExchange(&stop, 1);
    for (HANDLE thread : threads) {
      while (WaitForSingleObject(thread, 0) == WAIT_TIMEOUT) {
        HANDLE wake = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (wake != INVALID_HANDLE_VALUE) CloseHandle(wake);
        WaitForSingleObject(thread, 50);
      }
      CloseHandle(thread);
    }
  }
};

struct Burst {
  int processes, connections, messages, bytes;
};

struct Result {
  double seconds;
  long lost;
  double perSecond;
};

// Starts the client processes of kind ("bare" or "library") on name and
// waits for them all.
Result RunClients(const char* kind, const std::string& name, const Burst& burst) {
  char self[MAX_PATH];
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  HANDLE ready = CreateSemaphoreA(nullptr, 0, burst.processes, (name + "_ready").c_str());
  HANDLE go = CreateEventA(nullptr, TRUE, FALSE, (name + "_go").c_str());
  std::vector<PROCESS_INFORMATION> children;
  for (int p = 0; p < burst.processes; ++p) {
    std::string line = "\"" + std::string(self) + "\" --clients " + kind + " " + name + " " +
                       std::to_string(burst.connections) + " " + std::to_string(burst.messages) + " " +
                       std::to_string(burst.bytes);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
      children.push_back(pi);
  }
  for (size_t i = 0; i < children.size(); ++i) WaitForSingleObject(ready, 60000);
  auto start = std::chrono::steady_clock::now();
  SetEvent(go);
  long lost = long(burst.processes - int(children.size())) * burst.connections * burst.messages;
  for (PROCESS_INFORMATION& pi : children) {
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD status = 0;
    GetExitCodeProcess(pi.hProcess, &status);
    lost += long(status);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
  }
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  CloseHandle(ready);
  CloseHandle(go);
  long sent = long(burst.processes) * burst.connections * burst.messages;
  return {seconds, lost, (sent - lost) / seconds};
}

void Print(const char* what, const Result& result, const Burst& burst) {
  std::printf("%-40s %6.2f s  %5.0f connections/s  %6.0f messages/s answered  %ld lost or wrong\n", what,
              result.seconds, burst.processes * burst.connections / result.seconds, result.perSecond, result.lost);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 7 && std::strcmp(argv[1], "--clients") == 0) {
    int (*clients)(const char*, int, int, int) = std::strcmp(argv[2], "bare") == 0 ? BareClients : LibraryClients;
    return clients(argv[3], std::atoi(argv[4]), std::atoi(argv[5]), std::atoi(argv[6]));
  }
  Burst burst = {argc > 1 ? std::atoi(argv[1]) : 8, argc > 2 ? std::atoi(argv[2]) : 10,
                 argc > 3 ? std::atoi(argv[3]) : 20, argc > 4 ? std::atoi(argv[4]) : 0};
  if (burst.bytes > CNamedPipe::kMaxMessage - 5) {
    std::fprintf(stderr, "pipe_load: at most %d bytes a message\n", CNamedPipe::kMaxMessage - 5);
    return 2;
  }
  std::printf("%d client processes x %d connections x %d messages of %d bytes\n", burst.processes,
              burst.connections, burst.messages, burst.bytes);
  std::string id = std::to_string(GetCurrentProcessId());

  BareEcho bare;
  bare.Start(("pipe_bare_" + id).c_str());
  Result pipe = RunClients("bare", "pipe_bare_" + id, burst);
  bare.Stop();
  Print("bare Win32 echo, bare clients", pipe, burst);

  std::string name = "pipe_load_" + id;
  CPipeService service(name.c_str(), kThreads, reinterpret_cast<void*>(&PipeEcho), 0);
  service.Start();
  Result served = RunClients("bare", name, burst);
  Result library = RunClients("library", name, burst);
  while (!service.Stop(10000, 0)) Sleep(10);
  Print("CPipeService echo, bare clients", served, burst);
  Print("CPipeService echo, CNamedPipe clients", library, burst);
  std::printf("ratio to the bare echo: %.2fx with bare clients, %.2fx with CNamedPipe clients\n",
              served.perSecond / pipe.perSecond, library.perSecond / pipe.perSecond);
  return pipe.lost == 0 && served.lost == 0 && library.lost == 0 ? 0 : 1;
}
