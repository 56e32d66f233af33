#include "tests/support/process.h"

#include <thread>

namespace {

// What the child writes to pipe, until the child has ended and the pipe
// is empty, or waitMs have passed. It does not wait for the pipe's end:
// a process the child started (Wine's desktop process, when the child is
// the first in the prefix to need one) can hold the writing end for ever.
std::string Drain(HANDLE pipe, HANDLE child, DWORD waitMs) {
  std::string text;
  char buffer[4096];
  DWORD start = GetTickCount();
  for (bool ended = false;;) {
    DWORD waiting = 0, got = 0;
    if (!PeekNamedPipe(pipe, nullptr, 0, nullptr, &waiting, nullptr)) break;  // the pipe's end
    if (waiting == 0) {
      if (ended || (waitMs != INFINITE && GetTickCount() - start >= waitMs)) break;
      // Looked at once more after the child has ended, for its last bytes.
      ended = WaitForSingleObject(child, 10) == WAIT_OBJECT_0;
      continue;
    }
    if (!ReadFile(pipe, buffer, waiting < sizeof buffer ? waiting : DWORD(sizeof buffer), &got, nullptr) || got == 0)
      break;
    for (DWORD i = 0; i < got; ++i)
      if (buffer[i] != '\r') text += buffer[i];
  }
  return text;
}

// A start that fails is tried twice more: a machine under load may refuse
// one for a moment.
bool Start(std::string line, STARTUPINFOA& si, bool inherit, PROCESS_INFORMATION& pi) {
  si.cb = sizeof si;
  for (int attempt = 0; attempt < 3; ++attempt) {
    if (CreateProcessA(nullptr, &line[0], nullptr, nullptr, inherit, 0, nullptr, nullptr, &si, &pi)) return true;
    Sleep(200);
  }
  return false;
}

}  // namespace

ProcessResult RunProcess(const std::string& commandLine, bool capture, DWORD waitMs) {
  ProcessResult r;
  SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
  HANDLE outRead = nullptr, outWrite = nullptr, errRead = nullptr, errWrite = nullptr;
  STARTUPINFOA si = {};
  if (capture) {
    CreatePipe(&outRead, &outWrite, &sa, 0);
    CreatePipe(&errRead, &errWrite, &sa, 0);
    SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = outWrite;
    si.hStdError = errWrite;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  }
  PROCESS_INFORMATION pi = {};
  bool started = Start(commandLine, si, capture, pi);
  if (capture) {
    CloseHandle(outWrite);
    CloseHandle(errWrite);
  }
  if (started && capture) {
    // The error pipe is read on the side so that neither pipe can fill up.
    std::thread reader([&] { r.err = Drain(errRead, pi.hProcess, waitMs); });
    r.out = Drain(outRead, pi.hProcess, waitMs);
    reader.join();
  }
  if (capture) {
    CloseHandle(outRead);
    CloseHandle(errRead);
  }
  if (!started) {
    r.err = "the process could not be started: error " + std::to_string(GetLastError());
    return r;
  }
  DWORD status = DWORD(-1);
  if (WaitForSingleObject(pi.hProcess, waitMs) == WAIT_OBJECT_0) GetExitCodeProcess(pi.hProcess, &status);
  r.status = int(status);
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);
  return r;
}

bool StartProcess(const std::string& commandLine) {
  STARTUPINFOA si = {};
  PROCESS_INFORMATION pi = {};
  if (!Start(commandLine, si, false, pi)) return false;
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);
  return true;
}

std::string SelfPath() {
  char path[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  return std::string(path, n);
}
