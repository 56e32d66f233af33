// A swap undone destroys nothing: a backup goes back into service only as
// the swap left it, the table it replaces is kept first under a dated name
// (the server's later writes with it), an undo of an undo gives the
// swapped tables back, and a swap or an undo killed at any file change is
// taken back byte for byte.
#include <windows.h>

#include <gtest/gtest.h>

#include <map>
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
using Files = std::map<std::string, std::vector<unsigned char>>;

class UndoSwapTest : public VmconvertTest {
 protected:
  // The live table and the big one with their indexes, and an older backup
  // of an earlier swap (with its index) that differs from the live table.
  void Fresh() {
    ASSERT_TRUE(vmtables::MakeVmTable(live, Layout::kSmall, 20));
    ASSERT_TRUE(vmtables::MakeVmTable(big, Layout::kBig, 20, Variation{1, 0}));
    ASSERT_TRUE(vmtables::MakeVmTable(backup, Layout::kSmall, 20, Variation{2, 1}));
    AgeHeader(big);
    WriteBytes(dir.File("vm001.ndx"), {'l', 'i', 'v', 'e'});
    WriteBytes(dir.File("vm001_big.ndx"), {'b', 'i', 'g'});
    WriteBytes(dir.File("vm001_small.ndx"), {'o', 'l', 'd'});
  }
  // The six files a swap and its undo are about.
  Files Tables() {
    Files files;
    for (const char* name :
         {"vm001.dbf", "vm001.ndx", "vm001_big.dbf", "vm001_big.ndx", "vm001_small.dbf", "vm001_small.ndx"})
      files[name] = ReadBytes(dir.File(name));
    return files;
  }
  // Every file of the folder as it was in saved, and no other.
  void Restore(const Files& saved) {
    for (const auto& f : Snapshot(dir.path()))
      if (!saved.count(f.first)) DeleteFileA(f.first.c_str());
    for (const auto& f : saved) {
      DWORD attributes = GetFileAttributesA(f.first.c_str());
      if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) WriteBytes(f.first, f.second);
    }
  }
  std::string Swap() {
    Result run = Vmconvert(Paths() + " --swap --journal \"" + journal + "\"");
    EXPECT_EQ(run.status, 0) << run.err;
    return run.out;
  }

  std::string backup = dir.File("vm001_small.dbf");
  std::string journal = dir.File("run.jsonl");
};

// The server wrote to the live table after the swap: undo keeps that
// table, the write with it, under a dated name it names, and says so.
TEST_F(UndoSwapTest, TheServersWritesAfterASwapSurviveInAKeptCopy) {
  Fresh();
  Files before = Tables();
  Swap();
  ASSERT_TRUE(SetField(live, 3, "T05", "99"));
  std::vector<unsigned char> served = ReadBytes(live);
  Result undo = Vmconvert("undo \"" + journal + "\"");
  EXPECT_EQ(undo.status, 5) << undo.out << undo.err;
  EXPECT_EQ(ReadBytes(live), before["vm001.dbf"]) << "the table the swap replaced is back";
  std::string kept;
  for (const auto& f : Snapshot(dir.path()))
    if (f.second == served) kept = f.first;
  ASSERT_FALSE(kept.empty()) << "the server's write is gone: " << undo.out;
  EXPECT_TRUE(Has(undo.err, live + " changed since the swap")) << undo.err;
  EXPECT_TRUE(Has(undo.out, "kept " + live + " as " + kept + "\n")) << undo.out;
}

// A backup edited since the swap is not what the swap kept: it is not put
// into service, and the table in service stays as it is.
TEST_F(UndoSwapTest, AnEditedBackupIsNotPutIntoService) {
  Fresh();
  Swap();
  ASSERT_TRUE(SetField(backup, 3, "T05", "98"));
  std::vector<unsigned char> inService = ReadBytes(live);
  Result undo = Vmconvert("undo \"" + journal + "\"");
  EXPECT_EQ(undo.status, 5) << undo.out << undo.err;
  EXPECT_TRUE(Has(undo.err, "the backup " + backup + " changed since the swap")) << undo.err;
  EXPECT_EQ(ReadBytes(live), inService);
}

// Undo journals its own copies, so that undoing it gives the swapped
// tables back byte for byte; its report says what it did.
TEST_F(UndoSwapTest, AnUndoOfAnUndoGivesTheSwappedTablesBack) {
  Fresh();
  Files before = Tables();
  Swap();
  Files swapped = Tables();
  std::string undoJournal = dir.File("undo.jsonl"), report = dir.File("r.json");
  Result undo = Vmconvert("undo \"" + journal + "\" --journal \"" + undoJournal + "\" --report \"" + report + "\"");
  ASSERT_EQ(undo.status, 0) << undo.out << undo.err;
  EXPECT_TRUE(Tables() == before) << "undo: " << undo.out;
  nlohmann::json r = ReadJson(report);
  EXPECT_EQ(r["swap"], "done") << r.dump();
  EXPECT_FALSE(r["swap_copies"].empty());
  EXPECT_EQ(r["target_bytes_after"], int64_t(before["vm001_big.dbf"].size()));
  Result redo = Vmconvert("undo \"" + undoJournal + "\"");
  EXPECT_EQ(redo.status, 0) << redo.out << redo.err;
  EXPECT_TRUE(Tables() == swapped) << "the undo of the undo: " << redo.out;
}

// The test build kills the run at its n-th change of any file once the
// swap has begun (journal lines included), for every n until the swap
// completes; each run is undone byte for byte.
TEST_F(UndoSwapTest, ASwapKilledAtEveryFileChangeIsUndoneByteForByte) {
  int kills = 0;
  for (int n = 0; n < 200; ++n) {
    Fresh();
    Files before = Tables();
    DeleteFileA(journal.c_str());
    Result run;
    {
      ScopedEnv kill("VMCONVERT_KILL_IN_SWAP", std::to_string(n));
      run = Vmconvert(Paths() + " --swap --journal \"" + journal + "\"", Hooks());
    }
    if (run.status == 0) break;  // no change was left to be killed at
    ASSERT_EQ(run.status, 9) << "killed at change " << n << ": " << run.err;
    ++kills;
    Result undo = Vmconvert("undo \"" + journal + "\" --no-journal");
    EXPECT_EQ(undo.status, 0) << "killed at change " << n << ": " << undo.out << undo.err;
    EXPECT_TRUE(Tables() == before) << "killed at change " << n << ": " << undo.out;
  }
  EXPECT_GT(kills, 10) << "the swap was killed at too few places to prove anything";
}

// An undo killed at any change of a file completes when it is run again.
TEST_F(UndoSwapTest, AnUndoKilledAtEveryFileChangeCompletesWhenRunAgain) {
  Fresh();
  Files before = Tables();
  Swap();
  Files swapped = Snapshot(dir.path());
  int kills = 0;
  for (int n = 0; n < 200; ++n) {
    Restore(swapped);
    std::string first = dir.File("undo-first.jsonl");
    Result stopped;
    {
      ScopedEnv kill("VMCONVERT_KILL_IN_SWAP", std::to_string(n));
      stopped = Vmconvert("undo \"" + journal + "\" --journal \"" + first + "\"", Hooks());
    }
    if (stopped.status == 0) break;
    ASSERT_EQ(stopped.status, 9) << "killed at change " << n << ": " << stopped.err;
    ++kills;
    Result again = Vmconvert("undo \"" + journal + "\" --journal \"" + dir.File("undo-again.jsonl") + "\"");
    EXPECT_EQ(again.status, 0) << "killed at change " << n << ": " << again.out << again.err;
    EXPECT_TRUE(Tables() == before) << "killed at change " << n << ": " << again.out;
  }
  EXPECT_GT(kills, 10) << "the undo was killed at too few places to prove anything";
}

}  // namespace
