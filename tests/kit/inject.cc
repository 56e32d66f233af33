// Loads a DLL into a running program, the way a caller's code comes to run
// inside the converter: starts the program with RESULTS in the environment
// as EXAMPLE_RESULTS, waits until it waits for input, has a thread of the
// program call LoadLibraryA on the DLL, then waits until the results file
// ends with "done" (or the program ends, or the time runs out) and ends
// the program. Prints the results; exit status 0 only when "done" came.
// Usage: inject PROGRAM DLL RESULTS SECONDS
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

std::string Contents(const char* path) {
  std::string text;
  FILE* f = std::fopen(path, "rb");
  if (!f) return text;
  char chunk[4096];
  size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) text.append(chunk, n);
  std::fclose(f);
  return text;
}

bool EndsWith(const std::string& text, const char* end) {
  size_t n = std::strlen(end);
  return text.size() >= n && text.compare(text.size() - n, n, end) == 0;
}

// The results end with a line "done" (a text-mode file: CR LF).
bool Done(const std::string& text) { return EndsWith(text, "\ndone\r\n") || EndsWith(text, "\ndone\n"); }

// Runs LoadLibraryA(dll) on a new thread of process; false, with the
// reason printed, when the thread cannot start or the load fails.
bool LoadInto(HANDLE process, const char* dll, DWORD waitMs) {
  size_t size = std::strlen(dll) + 1;
  void* remote = VirtualAllocEx(process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  if (!remote || !WriteProcessMemory(process, remote, dll, size, nullptr)) {
    std::printf("inject: cannot write the DLL's name into the program (error %lu)\n", GetLastError());
    return false;
  }
  // kernel32 sits at one address in every process of a session.
  auto load = reinterpret_cast<LPTHREAD_START_ROUTINE>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "LoadLibraryA")));
  HANDLE thread = CreateRemoteThread(process, nullptr, 0, load, remote, 0, nullptr);
  if (!thread) {
    std::printf("inject: cannot start a thread in the program (error %lu)\n", GetLastError());
    return false;
  }
  DWORD code = 0;
  bool ended = WaitForSingleObject(thread, waitMs) == WAIT_OBJECT_0;
  GetExitCodeThread(thread, &code);  // the module's address, cut to 32 bits
  CloseHandle(thread);
  if (!ended || code == 0) {
    std::printf("inject: LoadLibraryA(%s) in the program %s\n", dll, ended ? "failed" : "did not return");
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::printf("usage: inject PROGRAM DLL RESULTS SECONDS\n");
    return 2;
  }
  const char* results = argv[3];
  DWORD waitMs = static_cast<DWORD>(std::atoi(argv[4])) * 1000;
  DeleteFileA(results);
  SetEnvironmentVariableA("EXAMPLE_RESULTS", results);
  std::string command = std::string("\"") + argv[1] + "\"";
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION program = {};
  if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &program)) {
    std::printf("inject: cannot start %s (error %lu)\n", argv[1], GetLastError());
    return 1;
  }
  WaitForInputIdle(program.hProcess, waitMs);
  bool loaded = LoadInto(program.hProcess, argv[2], waitMs);
  std::string text;
  for (DWORD waited = 0; loaded && waited < waitMs; waited += 100) {
    text = Contents(results);
    if (Done(text) || WaitForSingleObject(program.hProcess, 100) == WAIT_OBJECT_0) break;
  }
  text = Contents(results);
  DWORD code = STILL_ACTIVE;
  GetExitCodeProcess(program.hProcess, &code);
  if (code != STILL_ACTIVE) std::printf("inject: the program ended, with status %lu\n", code);
  TerminateProcess(program.hProcess, 0);
  WaitForSingleObject(program.hProcess, waitMs);
  CloseHandle(program.hThread);
  CloseHandle(program.hProcess);
  std::fputs(text.c_str(), stdout);
  return loaded && Done(text) ? 0 : 1;
}
