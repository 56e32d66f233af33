// A stand-in for Windows' net.exe in the recipes' tests: appends its
// arguments as a line to the file NET_LOG names, and ends with the status
// NET_STOP_STATUS (for "net stop") or NET_START_STATUS (for "net start")
// gives, 0 when unset, as net does for a service that stops or starts.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

int main(int argc, char** argv) {
  std::string line = "net";
  for (int i = 1; i < argc; ++i) line += std::string(" ") + argv[i];
  if (const char* log = std::getenv("NET_LOG")) {
    if (FILE* f = std::fopen(log, "a")) {
      std::fprintf(f, "%s\n", line.c_str());
      std::fclose(f);
    }
  }
  const char* verb = argc > 1 ? argv[1] : "";
  const char* status = std::getenv(std::strcmp(verb, "stop") == 0 ? "NET_STOP_STATUS" : "NET_START_STATUS");
  std::printf("The service was %s.\n", std::strcmp(verb, "stop") == 0 ? "stopped" : "started");
  return status ? std::atoi(status) : 0;
}
