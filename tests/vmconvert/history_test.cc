// vmconvert history: what ran and what it did, newest first, from the
// journal folder alone; every run also keeps its report beside its
// journal, so the trail is there without --report.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "tests/support/table_edit.h"
#include "tests/support/temp_dir.h"
#include "tests/vmconvert/vmconvert_run.h"
#include "tools/vmtables.h"

namespace {

using vmtables::Layout;
using vmtables::Variation;

// Standard output's lines.
std::vector<std::string> OutLines(const std::string& out) {
  std::vector<std::string> lines;
  for (size_t at = 0; at < out.size();) {
    size_t end = out.find('\n', at);
    lines.push_back(out.substr(at, end - at));
    at = end == std::string::npos ? out.size() : end + 1;
  }
  return lines;
}

class HistoryTest : public VmconvertTest {
 protected:
  // A run of args, and a second's pause: journals record their start by
  // the second.
  std::string Run(const std::string& args, int status = 0, const std::string& exe = program) {
    Result r = Vmconvert(args, exe);
    EXPECT_EQ(r.status, status) << args << ": " << r.err;
    Sleep(1100);
    return JournalOf(r.out);
  }
};

// Three runs and an undo of the last, as the operator reads them the next
// morning, and as a script reads them (--json).
TEST_F(HistoryTest, RunsAndTheirUndoAreListedNewestFirstWithWhatTheyDid) {
  ASSERT_TRUE(vmtables::MakeVmTable(live, Layout::kSmall, 5));
  ASSERT_TRUE(vmtables::MakeVmTable(big, Layout::kBig, 5, Variation{1, 0}));
  std::string first = Run(Paths());
  std::string second = Run(Paths());
  ASSERT_TRUE(SetField(live, 2, "T05", "41"));
  std::string third = Run(Paths() + " --swap");
  std::string undo = Run("undo \"" + third + "\"");
  nlohmann::json kept = ReadJson(first.substr(0, first.size() - 1));
  EXPECT_EQ(kept["exit_status"], 0) << "the first run's report beside its journal";
  EXPECT_EQ(kept["fields_written_total"], 160);

  Result history = Vmconvert("history \"" + big + "\"");
  ASSERT_EQ(history.status, 0) << history.err;
  std::vector<std::string> lines = OutLines(history.out);
  ASSERT_EQ(lines.size(), 5u) << history.out;
  EXPECT_TRUE(Has(lines[0], "4 runs, newest first")) << lines[0];
  const struct {
    std::string journal;
    std::vector<std::string> said;
  } expected[] = {
      {undo, {"  undo  status 0  1 fields written  swap done"}},
      {third, {"  small-to-big  status 0  1 fields written  swap done", "undone by " + undo + " (status 0)"}},
      {second, {"  small-to-big  status 0  0 fields written  swap none"}},
      {first, {"  small-to-big  status 0  160 fields written  swap none"}},
  };
  for (size_t i = 0; i < 4; ++i) {
    const std::string& line = lines[i + 1];
    EXPECT_TRUE(Has(line, expected[i].journal)) << "run " << i << " out of order: " << line;
    for (const std::string& part : expected[i].said) EXPECT_TRUE(Has(line, part)) << line << "\nlacks " << part;
  }

  Result json = Vmconvert("history --journal-dir \"" + dir.File("vmconvert-journal") + "\" --json");
  ASSERT_EQ(json.status, 0) << json.err;
  std::vector<std::string> objects = OutLines(json.out);
  ASSERT_EQ(objects.size(), 4u) << json.out;
  nlohmann::json newest = nlohmann::json::parse(objects[1], nullptr, false);
  EXPECT_EQ(newest["journal"], third);
  EXPECT_EQ(newest["command"], "small-to-big");
  EXPECT_EQ(newest["status"], 0);
  EXPECT_EQ(newest["swap"], "done");
  EXPECT_EQ(newest["killed"], false);
  EXPECT_EQ(newest["undone_by"], undo);
  EXPECT_FALSE(newest["computer"].get<std::string>().empty());
}

// A run killed part-way has no end line: it is listed as killed, with the
// fields its journal holds; a journal that cannot be read is listed as
// such, never left out.
TEST_F(HistoryTest, AKilledRunAndADamagedJournalAreListedAsWhatTheyAre) {
  ASSERT_TRUE(vmtables::MakeVmTable(live, Layout::kSmall, 5));
  ASSERT_TRUE(vmtables::MakeVmTable(big, Layout::kBig, 5, Variation{1, 0}));
  std::string killed;
  {
    ScopedEnv kill("VMCONVERT_KILL_AFTER_WRITES", "40");
    killed = dir.File("vmconvert-journal\\killed.jsonl");
    CreateDirectoryA(dir.File("vmconvert-journal").c_str(), nullptr);
    Run(Paths() + " --journal \"" + killed + "\"", 9, Hooks());
  }
  std::string damaged = dir.File("vmconvert-journal\\damaged.jsonl");
  WriteBytes(damaged, {'{', '"', 't', 'y', 'p', 'e', '"', ':', '"', 'r', 'u', 'n', '\n'});
  Result history = Vmconvert("history \"" + big + "\"");
  ASSERT_EQ(history.status, 0) << history.err;
  std::vector<std::string> lines = OutLines(history.out);
  ASSERT_EQ(lines.size(), 3u) << history.out;
  std::string killedLine = Has(lines[1], killed) ? lines[1] : lines[2];
  std::string damagedLine = Has(lines[1], damaged) ? lines[1] : lines[2];
  EXPECT_TRUE(Has(killedLine, "  small-to-big  killed (no end line)  --count counts its fields")) << killedLine;
  EXPECT_TRUE(Has(damagedLine, "unreadable: line 1 ")) << damagedLine;
  Result counted = Vmconvert("history \"" + big + "\" --count");
  EXPECT_TRUE(Has(counted.out, "  small-to-big  killed (no end line)  64 fields journaled")) << counted.out;

  Result missing = Vmconvert("history --journal-dir \"" + dir.File("nowhere") + "\"");
  EXPECT_EQ(missing.status, 6) << "a folder that is not there is no empty history";
}

}  // namespace

namespace {

// True when text holds a byte a terminal takes as a control: anything
// below a blank but the line end, and DEL.
bool HoldsControls(const std::string& text) {
  for (unsigned char c : text)
    if ((c < 0x20 && c != '\n') || c == 0x7F) return true;
  return false;
}

}  // namespace

// A journal is input from outside: its texts reach the terminal escaped,
// in history's lines and undo's messages alike, so that none can clear the
// screen, set the title or print a line that looks like one of ours.
// (history reads a journal's run line and end line; undo reads it whole.)
TEST_F(HistoryTest, NoTextOfAJournalReachesTheTerminalRaw) {
  ASSERT_TRUE(vmtables::MakeVmTable(live, Layout::kSmall, 5));
  ASSERT_TRUE(vmtables::MakeVmTable(big, Layout::kBig, 5, Variation{1, 0}));
  std::string named = Run(Paths()), crafted = Run(Paths());
  std::vector<std::string> lines = Lines(named);
  ASSERT_GE(lines.size(), 2u);
  nlohmann::json run = nlohmann::json::parse(lines[0]);
  run["computer"] = "VM\x1b[2J\x1b[31mEVIL\nFAKE 2099-01-01 status 0";
  lines[0] = run.dump();
  WriteLines(named, lines);
  lines = Lines(crafted);
  lines.insert(lines.begin() + 1, "{\"type\":\"field\",\"record\":1,\"field\":\"\\u001b]0;owned\\u0007\",\"offset\":1,"
                                  "\"before\":\"x\",\"after\":\"y\"}");
  WriteLines(crafted, lines);

  Result history = Vmconvert("history \"" + big + "\"");
  Result undo = Vmconvert("undo \"" + crafted + "\"");
  for (const Result* r : {&history, &undo})
    EXPECT_FALSE(HoldsControls(r->out + r->err)) << "a control byte reached the terminal:\n" << r->out << r->err;
  std::vector<std::string> shown = OutLines(history.out);
  EXPECT_EQ(shown.size(), 3u) << "a line for each run, and no other:\n" << history.out;
  EXPECT_TRUE(Has(history.out, "VM\\u001b[2J\\u001b[31mEVIL\\u000aFAKE 2099-01-01 status 0\\")) << history.out;
  EXPECT_FALSE(Has(history.out, "\nFAKE")) << history.out;
  EXPECT_EQ(undo.status, 6) << undo.err;
  EXPECT_TRUE(Has(undo.err, "(\"\\u001b]0;owned\\u0007\")")) << undo.err;
}

// history sees everything that concerns a table: a run refused once its
// target was known, with its status and reason; each run's source; and,
// asked of the live table, the swap that put a table in its place and the
// undo that took it back.
TEST_F(HistoryTest, HistorySeesRefusedRunsSourcesAndTheLiveTablesSwapsAndUndos) {
  ASSERT_TRUE(vmtables::MakeVmTable(live, Layout::kSmall, 3000));
  ASSERT_TRUE(vmtables::MakeVmTable(big, Layout::kBig, 3000, Variation{7, 0}));
  std::string swap = Run(Paths() + " --swap");
  Run(Paths() + " --swap", 6);  // the live table is big now: only big-to-small fits it
  std::string undo = Run("undo \"" + swap + "\"");

  Result ofBig = Vmconvert("history \"" + big + "\"");
  std::vector<std::string> lines = OutLines(ofBig.out);
  ASSERT_EQ(lines.size(), 4u) << ofBig.out;
  EXPECT_TRUE(Has(lines[2], "  small-to-big  status 6  0 fields written  swap none")) << lines[2];
  EXPECT_TRUE(Has(lines[2], "Only big-to-small fits it.")) << "the refusal's reason: " << lines[2];
  EXPECT_TRUE(Has(lines[3], "  " + live + " -> " + big + "  ")) << "the run's source: " << lines[3];

  Result ofLive = Vmconvert("history \"" + live + "\"");
  lines = OutLines(ofLive.out);
  ASSERT_EQ(lines.size(), 3u) << "the live table's swap and its undo, and nothing else: " << ofLive.out;
  EXPECT_TRUE(Has(lines[1], "  undo  status 0") && Has(lines[1], undo)) << lines[1];
  EXPECT_TRUE(Has(lines[2], "  small-to-big  status 0") && Has(lines[2], "swap done") && Has(lines[2], swap))
      << lines[2];
}
