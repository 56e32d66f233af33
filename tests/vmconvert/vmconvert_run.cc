#include "tests/vmconvert/vmconvert_run.h"

#include <windows.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "tests/support/process.h"

std::string program;

std::string Hooks() {
  size_t slash = program.find_last_of("\\\\/");
  return (slash == std::string::npos ? "" : program.substr(0, slash + 1)) + "vmconvert_hooks.exe";
}

Result Vmconvert(const std::string& args, const std::string& exe) {
  ProcessResult r = RunProcess("\"" + exe + "\" " + args, true);
  return Result{r.status, r.out, r.err};
}

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

unsigned NumberAfter(const std::string& text, const std::string& label) {
  size_t at = text.find(label);
  return at == std::string::npos ? 0 : unsigned(std::strtoul(text.c_str() + at + label.size(), nullptr, 10));
}

std::string JournalOf(const std::string& out) {
  size_t at = out.find("journal: ");
  if (at == std::string::npos) return std::string();
  size_t end = out.find('\n', at);
  return out.substr(at + 9, end - at - 9);
}

void AgeHeader(const std::string& path) {
  std::vector<unsigned char> bytes = ReadBytes(path);
  bytes[1] = 120;  // 2020
  bytes[2] = 1;
  bytes[3] = 2;
  WriteBytes(path, bytes);
}

nlohmann::json ReadJson(const std::string& path) {
  std::vector<unsigned char> bytes = ReadBytes(path);
  return nlohmann::json::parse(bytes.begin(), bytes.end(), nullptr, false);
}

std::string Upper(std::string path) {
  for (char& c : path) c = char(std::toupper(static_cast<unsigned char>(c)));
  return path;
}

std::map<std::string, std::vector<unsigned char>> Snapshot(const std::string& folder) {
  std::map<std::string, std::vector<unsigned char>> files;
  for (const auto& e : std::filesystem::recursive_directory_iterator(folder))
    files[e.path().string()] = e.is_regular_file() ? ReadBytes(e.path().string()) : std::vector<unsigned char>();
  return files;
}

std::vector<std::string> Lines(const std::string& path) {
  std::vector<unsigned char> bytes = ReadBytes(path);
  std::vector<std::string> lines;
  std::string line;
  for (unsigned char c : bytes) {
    if (c != '\n') {
      line += char(c);
      continue;
    }
    lines.push_back(line);
    line.clear();
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

void WriteLines(const std::string& path, const std::vector<std::string>& lines) {
  std::vector<unsigned char> bytes;
  for (const std::string& line : lines) {
    bytes.insert(bytes.end(), line.begin(), line.end());
    bytes.push_back('\n');
  }
  WriteBytes(path, bytes);
}

ScopedEnv::ScopedEnv(const char* name, const std::string& value) : name_(name) {
  SetEnvironmentVariableA(name, value.c_str());
}

ScopedEnv::~ScopedEnv() { SetEnvironmentVariableA(name_, nullptr); }

void VmconvertTest::SetUp() {
  live = dir.File("vm001.dbf");
  big = dir.File("vm001_big.dbf");
}

void VmconvertTest::TearDown() {
  for (const char* hook : {"VMCONVERT_EVENT_AFTER_STEPS", "VMCONVERT_UNREADABLE", "VMCONVERT_KILL_AFTER_WRITES"})
    SetEnvironmentVariableA(hook, nullptr);
}

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: vmconvert_test PATH-TO-VMCONVERT.EXE\n");
    return 2;
  }
  program = argv[1];
  return RUN_ALL_TESTS();
}
