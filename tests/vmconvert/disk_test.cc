// A disk that fills is told as what it is: a journal that fills it ends
// with its end line and a true status, a swap or an undo without room for
// its copies is refused before it changes anything, and the room is said.
// The test build's file layer keeps the disk's room (VMCONVERT_FREE_BYTES).
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "engine/file_system.h"
#include "tests/support/temp_dir.h"
#include "tests/vmconvert/vmconvert_run.h"
#include "tools/vmtables.h"

namespace {

using vmtables::Layout;
using vmtables::Variation;

class DiskFullTest : public VmconvertTest {
 protected:
  void Fresh(uint32_t records) {
    ASSERT_TRUE(vmtables::MakeVmTable(live, Layout::kSmall, records));
    ASSERT_TRUE(vmtables::MakeVmTable(big, Layout::kBig, records, Variation{1, 0}));
    AgeHeader(big);
  }
  Result WithRoom(uint64_t free, const std::string& args) {
    ScopedEnv room("VMCONVERT_FREE_BYTES", std::to_string(free));
    return Vmconvert(args, Hooks());
  }
};

// The journal fills the disk part-way: the run is not called killed. Its
// journal ends with its end line and status 5, the message names the disk
// and its room, history shows status 5, and once there is room again undo
// takes the run back byte for byte.
TEST_F(DiskFullTest, AJournalThatFillsTheDiskEndsWithItsEndLineAndATrueStatus) {
  Fresh(300);
  std::vector<unsigned char> before = ReadBytes(big);
  Result run = WithRoom(200000, Paths());
  EXPECT_EQ(run.status, 5) << run.out << run.err;
  EXPECT_TRUE(Has(run.err, "could not be written (" + xb::FileErrorText(ERROR_DISK_FULL) + "; ")) << run.err;
  EXPECT_TRUE(Has(run.err, " bytes are free on the disk of " + dir.File("vmconvert-journal"))) << run.err;
  std::string journal = JournalOf(run.out);
  std::vector<std::string> lines = Lines(journal);
  ASSERT_GE(lines.size(), 3u) << journal;
  nlohmann::json end = nlohmann::json::parse(lines.back(), nullptr, false);
  EXPECT_EQ(end.value("type", ""), "end") << lines.back();
  EXPECT_EQ(end.value("status", -1), 5) << lines.back();
  EXPECT_GT(end.value("fields_written", 0), 0) << "the disk filled before any change";
  Result history = Vmconvert("history \"" + big + "\"");
  EXPECT_TRUE(Has(history.out, "  small-to-big  status 5  ")) << history.out;
  EXPECT_FALSE(Has(history.out, "killed")) << history.out;
  Result undo = Vmconvert("undo \"" + journal + "\"");
  EXPECT_EQ(undo.status, 0) << undo.out << undo.err;
  EXPECT_EQ(ReadBytes(big), before) << "not byte for byte as before the run";
}

// A swap needs room for all its staged copies at once: with a byte too
// few it is refused before the job (status 6), saying what it needs and
// what is free, and no table is written - only the refusal's record in
// the journal folder; with them all it runs.
TEST_F(DiskFullTest, ASwapWithoutRoomIsRefusedBeforeTheJob) {
  Fresh(300);
  WriteBytes(dir.File("vm001.ndx"), std::vector<unsigned char>(1000, 'l'));
  WriteBytes(dir.File("vm001_big.ndx"), std::vector<unsigned char>(2000, 'b'));
  uint64_t needed = ReadBytes(live).size() + ReadBytes(big).size() + 1000 + 2000;
  auto tables = Snapshot(dir.path());
  Result refused = WithRoom(needed - 1, Paths() + " --swap");
  EXPECT_EQ(refused.status, 6) << refused.out << refused.err;
  EXPECT_TRUE(Has(refused.err, "has no room for the swap's copies")) << refused.err;
  EXPECT_TRUE(Has(refused.err, "They need " + std::to_string(needed) + " bytes, but only " +
                                   std::to_string(needed - 1) + " bytes are free there."))
      << refused.err;
  auto after = Snapshot(dir.path());
  for (auto f = after.begin(); f != after.end();)
    f = Has(f->first, "vmconvert-journal") ? after.erase(f) : std::next(f);
  EXPECT_TRUE(after == tables) << "a table was written, created or removed";
  Result history = Vmconvert("history \"" + big + "\"");
  EXPECT_TRUE(Has(history.out, "  small-to-big  status 6  0 fields written")) << history.out;
  EXPECT_TRUE(Has(history.out, "has no room for the swap's copies")) << history.out;
  Result ran = WithRoom(needed + 1000000, Paths() + " --swap");
  EXPECT_EQ(ran.status, 0) << ran.out << ran.err;
}

// Undo checks its room the same way before its first copy.
TEST_F(DiskFullTest, AnUndoWithoutRoomForItsCopiesIsRefused) {
  Fresh(300);
  Result run = Vmconvert(Paths() + " --swap");
  ASSERT_EQ(run.status, 0) << run.err;
  auto folder = Snapshot(dir.path());
  Result refused = WithRoom(1000, "undo \"" + JournalOf(run.out) + "\"");
  EXPECT_EQ(refused.status, 6) << refused.out << refused.err;
  EXPECT_TRUE(Has(refused.err, "undo's copies need ")) << refused.err;
  EXPECT_TRUE(Has(refused.err, "but only 1000 are free there; nothing was undone")) << refused.err;
  EXPECT_TRUE(Snapshot(dir.path()) == folder) << "a file was written, created or removed";
}

}  // namespace
