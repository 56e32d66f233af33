// The small-to-big and big-to-small jobs, run on their own thread against
// a window that records WM_JOB_PROGRESS, on generated tables; what they
// wrote is read back through an independent reader and the file system's
// write log.
#include "convert/VmCopyJob.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "convert/JobState.h"
#include "db/CDatabase.h"
#include "db/EngineContext.h"
#include "engine/file_system.h"
#include "tests/support/box_watcher.h"
#include "tests/support/fault_file_system.h"
#include "tests/support/job_runner.h"
#include "tests/support/raw_dbf.h"
#include "tests/support/temp_dir.h"
#include "tools/vmtables.h"
#include "tests/support/engine_layer.h"
#include "tests/support/table_edit.h"

namespace {

using vmtables::Layout;
using vmtables::Variation;


// A voicemail table of the layout with its definitions changed by edit
// (a field dropped, a width changed); every field holds the generator's
// value for its number, Tnn being field nn.
void MakeEdited(const std::string& path, Layout layout, uint32_t records,
                const std::function<void(std::vector<FIELD4INFO>&)>& edit, Variation v = {},
                const std::function<std::string(uint32_t, int)>& text = nullptr) {
  std::vector<FIELD4INFO> defs;
  for (const FIELD4INFO* d = vmtables::VmFields(layout); d->name; ++d) defs.push_back(*d);
  edit(defs);
  defs.push_back({nullptr, 0, 0, 0, 0});
  CDatabase db;
  ASSERT_EQ(db.Create(S(path), defs.data()), 1);
  for (uint32_t r = 1; r <= records; ++r) {
    ASSERT_EQ(db.Append(), 1);
    for (const FIELD4INFO& d : defs) {
      if (!d.name) break;
      int n = std::atoi(d.name + 1);
      std::string value = text ? text(r, n) : "";
      if (value.empty()) value = vmtables::VmValue(layout, r, n, v);
      db.Replace(S(d.name), S(value));
    }
  }
  db.Close();
}

void Drop(std::vector<FIELD4INFO>& defs, const char* name) {
  defs.erase(std::remove_if(defs.begin(), defs.end(), [&](const FIELD4INFO& d) { return !std::strcmp(d.name, name); }),
             defs.end());
}

class VmCopyJobTest : public ::testing::Test {
 protected:
  void SetUp() override {
    live = dir.File("vm001.dbf");
    big = dir.File("vm001_big.dbf");
    small = dir.File("vm001_small.dbf");
    std::snprintf(JobState::livePath, sizeof JobState::livePath, "%s", live.c_str());
    std::snprintf(JobState::bigPath, sizeof JobState::bigPath, "%s", big.c_str());
    std::snprintf(JobState::smallPath, sizeof JobState::smallPath, "%s", small.c_str());
  }
  // The writes that reached the table at path, as "record:field", leaving
  // out the header (its date and count).
  std::vector<std::string> FieldWrites(const std::string& path) { return ::FieldWrites(fs, path); }

  // Changes fields of a table through the table layer.
  void Set(const std::string& path, uint32_t record, const char* field, const std::string& value) {
    ASSERT_TRUE(SetField(path, record, field, value));
  }

  TempDir dir;
  FaultFileSystem fs;
  ScopedFileSystem layer{&fs};
  BoxWatcher boxes;
  JobRunner runner;
  std::string live, big, small;
};

TEST_F(VmCopyJobTest, AgreeingTablesGetNoWriteAndNinetyNineStepsThenTheEnd) {
  ASSERT_TRUE(vmtables::MakeVmTable(live, Layout::kSmall, 12000));
  ASSERT_TRUE(vmtables::MakeVmTable(big, Layout::kBig, 12000));
  std::vector<unsigned char> before = ReadBytes(big);
  fs.log.clear();
  ASSERT_TRUE(runner.Run(SmallToBigJob));
  ASSERT_EQ(runner.messages().size(), 100u);
  EXPECT_EQ(runner.Steps(), 99);
  EXPECT_EQ(runner.messages().back().wparam, 1u) << "the final message comes last";
  EXPECT_EQ(runner.messages().back().running, 1) << "running is cleared after the final message";
  EXPECT_EQ(JobState::running, 0);
  EXPECT_EQ(JobState::sourceTable, nullptr);
  EXPECT_EQ(JobState::targetTable, nullptr);
  EXPECT_TRUE(fs.log.empty()) << fs.log.size() << " writes, expected none";
  EXPECT_EQ(ReadBytes(big), before);
  EXPECT_EQ(boxes.Summary(), "");
}

TEST_F(VmCopyJobTest, OnlyDifferingFieldsAreWrittenInFieldOrderAndOnlyT02ToT33) {
  ASSERT_TRUE(vmtables::MakeVmTable(live, Layout::kSmall, 200));
  ASSERT_TRUE(vmtables::MakeVmTable(big, Layout::kBig, 200));
  Set(big, 5, "T09", "1");          // pwd
  Set(big, 5, "T31", "0301 999");   // phone
  Set(live, 7, "T01", "4242");      // index: never carried
  Set(big, 8, "T34", "own text");   // string65_4: never written
  Set(live, 9, "T20", "-3");        // a negative number keeps its sign
  Set(big, 10, "T32", RawDbf(live).Value(10, "T32") + "   ");  // only trailing blanks differ
  Set(big, 11, "T33", "NORTH GATE");
  Set(live, 11, "T33", "North Gate");  // only case differs
  Set(big, 12, "T10", "0007");
  Set(live, 12, "T10", "   7");      // same integer, different text
  fs.log.clear();
  ASSERT_TRUE(runner.Run(SmallToBigJob));

  EXPECT_EQ(FieldWrites(big), (std::vector<std::string>{"5:T09", "5:T31", "9:T20", "11:T33"}));
  EXPECT_TRUE(FieldWrites(live).empty()) << "the live table is only read";
  RawDbf after(big);
  EXPECT_EQ(after.Value(5, "T09"), vmtables::VmValue(Layout::kSmall, 5, 9));
  EXPECT_EQ(after.Value(5, "T31"), vmtables::VmValue(Layout::kSmall, 5, 31));
  EXPECT_EQ(after.Value(7, "T01"), vmtables::VmValue(Layout::kBig, 7, 1));
  EXPECT_EQ(after.Value(8, "T34"), "own text");
  EXPECT_EQ(after.Value(9, "T20"), "-3");
  EXPECT_EQ(after.Value(11, "T33"), "North Gate");
  EXPECT_EQ(after.Value(12, "T10"), "0007");
  EXPECT_EQ(runner.Steps(), 99) << "short tables keep the full progress";
  EXPECT_EQ(boxes.Summary(), "") << "records beyond the tables' end show no box";
}

TEST_F(VmCopyJobTest, EveryFieldDifferingIsCarriedAndASecondRunWritesNothing) {
  ASSERT_TRUE(vmtables::MakeVmTable(live, Layout::kBig, 300));
  ASSERT_TRUE(vmtables::MakeVmTable(small, Layout::kSmall, 300, Variation{1, 0}));
  ASSERT_TRUE(runner.Run(BigToSmallJob));
  RawDbf after(small);
  for (uint32_t r = 1; r <= 300; r += 37)
    for (int n = 1; n <= 33; ++n) {
      char field[4];
      std::snprintf(field, sizeof field, "T%02d", n);
      std::string expected = n == 1 ? vmtables::VmValue(Layout::kSmall, r, 1, Variation{1, 0})
                                    : vmtables::VmValue(Layout::kBig, r, n);
      if (n >= 31) expected.resize(std::min<size_t>(expected.size(), n == 33 ? 30 : 20));
      EXPECT_EQ(after.Value(r, field), expected) << "record " << r << " field " << field;
    }
  fs.log.clear();
  JobRunner again;
  ASSERT_TRUE(again.Run(BigToSmallJob));
  EXPECT_EQ(again.Steps(), 99);
  EXPECT_TRUE(FieldWrites(small).empty()) << FieldWrites(small).size() << " writes on the second run";
}

TEST_F(VmCopyJobTest, ATextTooWideForTheSmallTableIsStoredCut) {
  ASSERT_TRUE(vmtables::MakeVmTable(live, Layout::kBig, 3));
  ASSERT_TRUE(vmtables::MakeVmTable(small, Layout::kSmall, 3));
  Set(live, 2, "T31", "0301 555 0000 extension 12");  // 26 characters, the small field holds 20
  ASSERT_TRUE(runner.Run(BigToSmallJob));
  EXPECT_EQ(FieldWrites(small), std::vector<std::string>{"2:T31"});
  EXPECT_EQ(RawDbf(small).Value(2, "T31"), "0301 555 0000 extens");
  // The next run finds the texts different again and replaces the field,
  // but the bytes it stores are those already there, so no write is due.
  std::vector<unsigned char> before = ReadBytes(small);
  JobRunner again;
  ASSERT_TRUE(again.Run(BigToSmallJob));
  EXPECT_EQ(ReadBytes(small), before);
}

TEST_F(VmCopyJobTest, ACancelFinishesTheRecordInHandAndTouchesNoMore) {
  ASSERT_TRUE(vmtables::MakeVmTable(live, Layout::kSmall, 12000));
  ASSERT_TRUE(vmtables::MakeVmTable(big, Layout::kBig, 12000, Variation{1, 0}));
  runner.CancelAfterStep(4);  // sent after record 481
  ASSERT_TRUE(runner.Run(SmallToBigJob));
  EXPECT_EQ(runner.Steps(), 4);
  EXPECT_EQ(runner.Ends(), 1);
  EXPECT_EQ(runner.messages().back().running, 0);
  RawDbf after(big);
  EXPECT_EQ(after.Value(481, "T02"), vmtables::VmValue(Layout::kSmall, 481, 2));
  EXPECT_EQ(after.Value(482, "T02"), vmtables::VmValue(Layout::kBig, 482, 2, Variation{1, 0}));
  EXPECT_EQ(after.Value(12000, "T33"), vmtables::VmValue(Layout::kBig, 12000, 33, Variation{1, 0}));
  EXPECT_EQ(JobState::targetTable, nullptr);
}

TEST_F(VmCopyJobTest, RunningAlreadyClearOpensAndClosesAndSendsOnlyTheEnd) {
  ASSERT_TRUE(vmtables::MakeVmTable(live, Layout::kSmall, 5));
  ASSERT_TRUE(vmtables::MakeVmTable(big, Layout::kBig, 5, Variation{1, 0}));
  fs.log.clear();
  ASSERT_TRUE(runner.Run(SmallToBigJob, 0));
  ASSERT_EQ(runner.messages().size(), 1u);
  EXPECT_EQ(runner.messages()[0].wparam, 1u);
  EXPECT_TRUE(FieldWrites(big).empty());
}

TEST_F(VmCopyJobTest, AMissingTableShowsOneBoxWithItsPathAndSendsNothing) {
  ASSERT_TRUE(vmtables::MakeVmTable(live, Layout::kSmall, 5));
  ASSERT_TRUE(runner.Run(SmallToBigJob));  // the big table does not exist
  EXPECT_TRUE(runner.messages().empty());
  EXPECT_EQ(JobState::running, 1) << "the dialog is left in its running state";
  EXPECT_EQ(JobState::sourceTable, nullptr) << "the open source is closed and released too";
  EXPECT_EQ(JobState::targetTable, nullptr);
  EXPECT_EQ(boxes.Summary(), "Error !|The database " + big +
                                 " could not be opend !\nPlease check that the database exists.\n" +
                                 xb::FileErrorText(ERROR_FILE_NOT_FOUND));
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_TRUE(boxes.Boxes()[0].exclamation);
  EXPECT_EQ(boxes.Boxes()[0].buttons, std::vector<int>{IDOK});
  // The live table was let go: it can be replaced now.
  EXPECT_TRUE(vmtables::MakeVmTable(live, Layout::kSmall, 1));

  boxes.Clear();
  std::remove(live.c_str());
  JobRunner second;
  ASSERT_TRUE(second.Run(BigToSmallJob));
  EXPECT_TRUE(second.messages().empty());
  EXPECT_EQ(boxes.Summary(), "Error !|The database " + live +
                                 " could not be opend !\nPlease check that the database exists.\n" +
                                 xb::FileErrorText(ERROR_FILE_NOT_FOUND));
}

TEST_F(VmCopyJobTest, AFailingWriteShowsTheTableLayersBoxAndTheJobGoesOn) {
  ASSERT_TRUE(vmtables::MakeVmTable(live, Layout::kSmall, 3));
  ASSERT_TRUE(vmtables::MakeVmTable(big, Layout::kBig, 3));
  Set(big, 2, "T02", "9");
  Set(big, 3, "T02", "9");
  fs.writesBeforeFailure = 0;  // every write fails from now on
  ASSERT_TRUE(runner.Run(SmallToBigJob));
  fs.writesBeforeFailure = -1;
  EXPECT_EQ(boxes.Summary(), "Error|CDatabase::Replace\nError|CDatabase::Replace\nError|CDatabase::Close")
      << "the last change, still failing, is given up when the table closes";
  EXPECT_EQ(runner.Ends(), 1);
}


TEST_F(VmCopyJobTest, FieldsTheSourceLacksAreNeverWrittenAndSaidOnce) {
  MakeEdited(live, Layout::kSmall, 50, [](std::vector<FIELD4INFO>& d) { Drop(d, "T33"); Drop(d, "T05"); });
  Variation every{1, 0};
  ASSERT_TRUE(vmtables::MakeVmTable(big, Layout::kBig, 50, every));
  ASSERT_TRUE(runner.Run(SmallToBigJob));
  RawDbf after(big);
  for (uint32_t r = 1; r <= 50; ++r) {
    EXPECT_EQ(after.Value(r, "T33"), vmtables::VmValue(Layout::kBig, r, 33, every)) << "record " << r;
    EXPECT_EQ(after.Value(r, "T05"), vmtables::VmValue(Layout::kBig, r, 5, every)) << "record " << r;
    EXPECT_EQ(after.Value(r, "T06"), vmtables::VmValue(Layout::kSmall, r, 6)) << "record " << r;
  }
  EXPECT_EQ(boxes.Summary(), "Error !|The database " + live +
                                 " has no field T05, T33 !\nThese fields were not converted; the target keeps its own values.");
  EXPECT_EQ(runner.Steps(), 99);
}

TEST_F(VmCopyJobTest, WideTextsAreComparedAndWrittenWhole) {
  auto wide = [](std::vector<FIELD4INFO>& d) {
    for (FIELD4INFO& f : d)
      if (!std::strcmp(f.name, "T31")) f.len = 80;
  };
  const std::string head(50, 'x');
  std::string source = head + "source tail";  // 61 characters
  MakeEdited(live, Layout::kSmall, 3, wide, {}, [&](uint32_t r, int n) { return n == 31 && r == 2 ? source : ""; });
  MakeEdited(big, Layout::kBig, 3, wide, {}, [&](uint32_t r, int n) { return n == 31 && r == 2 ? head + "target" : ""; });
  fs.log.clear();
  ASSERT_TRUE(runner.Run(SmallToBigJob));
  EXPECT_EQ(RawDbf(big).Value(2, "T31"), source) << "a difference past character 50 was not carried whole";
  std::vector<std::string> writes = FieldWrites(big);
  EXPECT_EQ(std::count(writes.begin(), writes.end(), "2:T31"), 1) << "one write of the whole text";
}

TEST_F(VmCopyJobTest, RecordsBeyondEitherTablesEndAreSkippedAndSaidOnce) {
  struct Case { Layout liveLayout; uint32_t liveRecords, targetRecords; bool toBig; } cases[] = {
      {Layout::kSmall, 500, 100, true}, {Layout::kBig, 100, 500, false}};
  for (const Case& c : cases) {
    boxes.Clear();
    const std::string& target = c.toBig ? big : small;
    ASSERT_TRUE(vmtables::MakeVmTable(live, c.liveLayout, c.liveRecords));
    ASSERT_TRUE(vmtables::MakeVmTable(target, c.toBig ? Layout::kBig : Layout::kSmall, c.targetRecords, Variation{1, 0}));
    JobRunner run;
    ASSERT_TRUE(run.Run(c.toBig ? SmallToBigJob : BigToSmallJob));
    EXPECT_EQ(RawDbf(target).Records(), c.targetRecords) << "the target keeps its size";
    const std::string& shorter = c.liveRecords < c.targetRecords ? live : target;
    EXPECT_EQ(boxes.Summary(), "Error !|The database " + shorter +
                                   " holds only 100 records !\n400 records of the other database were not converted.");
    EXPECT_EQ(run.Steps(), 99);
    EXPECT_EQ(run.Ends(), 1);
  }
}

}  // namespace
