// vmconvert undo: a run taken back from its journal, byte for byte, and
// what undo refuses.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/raw_dbf.h"
#include "tests/support/table_edit.h"
#include "tests/support/temp_dir.h"
#include "tests/vmconvert/vmconvert_run.h"
#include "tools/vmtables.h"

namespace {

using vmtables::Layout;
using vmtables::Variation;

class UndoTest : public VmconvertTest {
 protected:
  struct Job {
    const char* name;
    std::string args, target;
  };
  // The three jobs over fresh tables in which every copied field differs.
  std::vector<Job> Jobs() {
    std::string oldTable = dir.File("kxpersonal.dbf"), newTable = dir.File("kxpers_new.dbf");
    std::string small = dir.File("vm001_small.dbf"), bigLive = dir.File("big\\vm001.dbf");
    CreateDirectoryA(dir.File("big").c_str(), nullptr);
    return {{"small-to-big", Paths(), big},
            {"big-to-small", "big-to-small --live \"" + bigLive + "\" --small \"" + small + "\"", small},
            {"old-to-new", "old-to-new --old \"" + oldTable + "\" --new \"" + newTable + "\"", newTable}};
  }
  void Make(const Job& job) {
    if (std::string(job.name) == "small-to-big") {
      ASSERT_TRUE(vmtables::MakeVmTable(live, Layout::kSmall, 300));
      ASSERT_TRUE(vmtables::MakeVmTable(big, Layout::kBig, 300, Variation{1, 0}));
    } else if (std::string(job.name) == "big-to-small") {
      ASSERT_TRUE(vmtables::MakeVmTable(dir.File("big\\vm001.dbf"), Layout::kBig, 3000));
      ASSERT_TRUE(vmtables::MakeVmTable(job.target, Layout::kSmall, 3000, Variation{1, 0}));
    } else {
      ASSERT_TRUE(vmtables::MakePersonalTable(dir.File("kxpersonal.dbf"), 200));
      ASSERT_TRUE(vmtables::MakePersonalTable(job.target, 200, Variation{1, 0}));
    }
    AgeHeader(job.target);
  }
  Result Undo(const std::string& journal, const std::string& more = "") {
    return Vmconvert("undo \"" + journal + "\"" + more);
  }
};

// (a) and (e): each job, undone, leaves its target byte for byte as it
// was, date included; the undo of the undo gives the converted table back.
TEST_F(UndoTest, EachJobUndoneLeavesItsTargetAsItWasAndUndoingTheUndoRedoesIt) {
  for (const Job& job : Jobs()) {
    Make(job);
    std::vector<unsigned char> before = ReadBytes(job.target);
    Result run = Vmconvert(job.args);
    ASSERT_EQ(run.status, 0) << job.name << ": " << run.err;
    std::vector<unsigned char> converted = ReadBytes(job.target);
    ASSERT_NE(converted, before) << job.name;
    std::string journal = JournalOf(run.out);
    ASSERT_FALSE(journal.empty()) << job.name << ": the run named no journal: " << run.out;
    Result undo = Undo(journal);
    EXPECT_EQ(undo.status, 0) << job.name << ": " << undo.out << undo.err;
    EXPECT_EQ(ReadBytes(job.target), before) << job.name << ": not byte for byte as before the run";
    Result redo = Undo(JournalOf(undo.out));
    EXPECT_EQ(redo.status, 0) << job.name << ": " << redo.err;
    EXPECT_EQ(ReadBytes(job.target), converted) << job.name << ": the undo of the undo";
  }
}

// (b): the run is stopped as a kill would stop it, after 0 to many writes;
// its journal takes the target back byte for byte each time. An undo
// stopped the same way completes when it is run again.
TEST_F(UndoTest, ARunKilledAtAnyMomentIsUndoneByteForByte) {
  ASSERT_TRUE(vmtables::MakeVmTable(live, Layout::kSmall, 40));
  for (int writes : {0, 1, 2, 3, 17, 200, 1000}) {
    ASSERT_TRUE(vmtables::MakeVmTable(big, Layout::kBig, 40, Variation{1, 0}));
    AgeHeader(big);
    std::vector<unsigned char> before = ReadBytes(big);
    std::string journal = dir.File("run-" + std::to_string(writes) + ".jsonl");
    SetEnvironmentVariableA("VMCONVERT_KILL_AFTER_WRITES", std::to_string(writes).c_str());
    Result killed = Vmconvert(Paths() + " --journal \"" + journal + "\"", Hooks());
    SetEnvironmentVariableA("VMCONVERT_KILL_AFTER_WRITES", nullptr);
    EXPECT_EQ(killed.status, 9) << writes << " writes: " << killed.err;
    std::string undoJournal = dir.File("undo-" + std::to_string(writes) + ".jsonl");
    SetEnvironmentVariableA("VMCONVERT_KILL_AFTER_WRITES", "5");
    Result stopped = Vmconvert("undo \"" + journal + "\" --journal \"" + undoJournal + "\"", Hooks());
    SetEnvironmentVariableA("VMCONVERT_KILL_AFTER_WRITES", nullptr);
    Result undo = Undo(journal, " --no-journal");
    EXPECT_EQ(undo.status, 0) << writes << " writes: " << undo.out << undo.err;
    EXPECT_EQ(ReadBytes(big), before) << "killed after " << writes << " writes (undo stopped: "
                                      << stopped.status << ")";
  }
}

// (c): a field changed after the run is kept, listed, and the status is 5.
TEST_F(UndoTest, AFieldChangedSinceTheRunIsKeptAndListed) {
  ASSERT_TRUE(vmtables::MakeVmTable(live, Layout::kSmall, 10));
  ASSERT_TRUE(vmtables::MakeVmTable(big, Layout::kBig, 10, Variation{1, 0}));
  Result run = Vmconvert(Paths());
  ASSERT_EQ(run.status, 0) << run.err;
  ASSERT_TRUE(SetField(big, 4, "T05", "77"));
  Result undo = Undo(JournalOf(run.out));
  EXPECT_EQ(undo.status, 5) << undo.out;
  EXPECT_TRUE(Has(undo.out, "changed since the run, left as they are: 1\n  record 4 T05: now \"77\"")) << undo.out;
  EXPECT_EQ(RawDbf(big).Value(4, "T05"), "77");
  EXPECT_EQ(RawDbf(big).Value(5, "T05"), vmtables::VmValue(Layout::kBig, 5, 5, Variation{1, 0}));
}

// (d): a run with --swap, undone: the live table, its index and the target
// byte for byte as before.
TEST_F(UndoTest, ASwapIsUndoneFirst) {
  ASSERT_TRUE(vmtables::MakeVmTable(live, Layout::kSmall, 30));
  ASSERT_TRUE(vmtables::MakeVmTable(big, Layout::kBig, 30, Variation{1, 0}));
  WriteBytes(dir.File("vm001.ndx"), {'l', 'i', 'v', 'e'});
  WriteBytes(dir.File("vm001_big.ndx"), {'b', 'i', 'g'});
  std::vector<unsigned char> liveBefore = ReadBytes(live), bigBefore = ReadBytes(big);
  Result run = Vmconvert(Paths() + " --swap");
  ASSERT_EQ(run.status, 0) << run.err;
  ASSERT_NE(ReadBytes(live), liveBefore);
  Result undo = Undo(JournalOf(run.out));
  EXPECT_EQ(undo.status, 0) << undo.out << undo.err;
  EXPECT_EQ(ReadBytes(live), liveBefore) << "the live table";
  EXPECT_EQ(ReadBytes(dir.File("vm001.ndx")), (std::vector<unsigned char>{'l', 'i', 'v', 'e'})) << "its index";
  EXPECT_EQ(ReadBytes(big), bigBefore) << "the target";
}

// A journal that cannot be made refuses the run before it writes; a dry
// run of undo lists what it would put back and writes nothing.
TEST_F(UndoTest, NoJournalNoRunAndADryRunOfUndoWritesNothing) {
  ASSERT_TRUE(vmtables::MakeVmTable(live, Layout::kSmall, 10));
  ASSERT_TRUE(vmtables::MakeVmTable(big, Layout::kBig, 10, Variation{1, 0}));
  std::vector<unsigned char> before = ReadBytes(big);
  Result refused = Vmconvert(Paths() + " --journal \"" + dir.path() + "\"");
  EXPECT_EQ(refused.status, 6) << refused.err;
  EXPECT_TRUE(Has(refused.err, "cannot be made; nothing was converted")) << refused.err;
  EXPECT_EQ(ReadBytes(big), before);
  Result run = Vmconvert(Paths());
  ASSERT_EQ(run.status, 0) << run.err;
  std::vector<unsigned char> converted = ReadBytes(big);
  Result dry = Undo(JournalOf(run.out), " --dry-run");
  EXPECT_EQ(dry.status, 0) << dry.err;
  EXPECT_TRUE(Has(dry.out, "to put back: 320\n")) << dry.out;
  EXPECT_TRUE(Has(dry.out, "record 1 T02: ")) << dry.out;
  EXPECT_EQ(ReadBytes(big), converted) << "a dry run wrote";
}

// (f): a journal of another table is refused, with nothing written.
TEST_F(UndoTest, AJournalOfAnotherTableIsRefused) {
  ASSERT_TRUE(vmtables::MakeVmTable(live, Layout::kSmall, 10));
  ASSERT_TRUE(vmtables::MakeVmTable(big, Layout::kBig, 10, Variation{1, 0}));
  Result run = Vmconvert(Paths());
  ASSERT_EQ(run.status, 0) << run.err;
  ASSERT_TRUE(vmtables::MakeVmTable(big, Layout::kSmall, 10, Variation{1, 0}));  // another table in its place
  std::vector<unsigned char> other = ReadBytes(big);
  Result undo = Undo(JournalOf(run.out));
  EXPECT_EQ(undo.status, 6) << undo.out;
  EXPECT_TRUE(Has(undo.err, "is not the one the journal")) << undo.err;
  EXPECT_EQ(ReadBytes(big), other);
}


}  // namespace
