// Processes a test starts: another program, or this one in another role.
#ifndef TESTS_SUPPORT_PROCESS_H_
#define TESTS_SUPPORT_PROCESS_H_

#include <windows.h>

#include <string>

struct ProcessResult {
  int status = -1;  // exit status; -1 when it could not be started or did not end in time
  std::string out;  // standard output and error, when captured (text-mode line ends
  std::string err;  // made plain)
};

// Runs commandLine and waits up to waitMs for it to end. With capture, its
// standard output and error are pipes read until it has ended; without, it
// inherits this process's.
ProcessResult RunProcess(const std::string& commandLine, bool capture, DWORD waitMs = INFINITE);

// Starts commandLine and does not wait; false when it could not be started.
bool StartProcess(const std::string& commandLine);

// This program's own path.
std::string SelfPath();

#endif  // TESTS_SUPPORT_PROCESS_H_
