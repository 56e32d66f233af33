// What the tests of vmconvert.exe share: running the program (or its test
// build) as a script would, reading what it prints and writes, and a
// fixture with a live and a big table's paths in a fresh folder.
#ifndef TESTS_VMCONVERT_VMCONVERT_RUN_H_
#define TESTS_VMCONVERT_VMCONVERT_RUN_H_

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "tests/support/temp_dir.h"

extern std::string program;  // vmconvert.exe, from the command line

struct Result {
  int status;
  std::string out, err;
};

// The test build of vmconvert, beside it.
std::string Hooks();
// Runs vmconvert (or exe) with args; standard output and error are pipes.
Result Vmconvert(const std::string& args, const std::string& exe = program);
bool Has(const std::string& text, const std::string& part);
// The number after "label " in text; 0 when it is not there.
unsigned NumberAfter(const std::string& text, const std::string& label);
// The path after "journal: " in a run's output; "" when none.
std::string JournalOf(const std::string& out);
// An older date in the header, so that a run's date stamp is a change
// undo must take back too.
void AgeHeader(const std::string& path);
// The JSON file at path; discarded (is_discarded()) when it is not JSON.
nlohmann::json ReadJson(const std::string& path);
// path in upper case.
std::string Upper(std::string path);
// Every file under folder with its bytes (a folder's are empty).
std::map<std::string, std::vector<unsigned char>> Snapshot(const std::string& folder);
// A text file's lines without their line ends, and back (each line ended).
std::vector<std::string> Lines(const std::string& path);
void WriteLines(const std::string& path, const std::vector<std::string>& lines);
// Sets environment variable name to value for the life of the object (a
// test build hook), and clears it after.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* name_;
};

class VmconvertTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  std::string Paths() { return "small-to-big --live \"" + live + "\" --big \"" + big + "\""; }

  TempDir dir;
  std::string live, big;
};

#endif  // TESTS_VMCONVERT_VMCONVERT_RUN_H_
