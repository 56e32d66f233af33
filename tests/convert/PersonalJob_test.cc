// The personal job on generated tables, with a window that records its
// messages and a write log that shows what reached the new table.
#include "convert/PersonalJob.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "convert/JobState.h"
#include "db/CDatabase.h"
#include "messages/ShowError.h"
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

using vmtables::Variation;


const char* const kNames[] = {"IDXP", "NAME", "DEPARTMENT", "TT1", "TY1", "TT2", "TY2", "TT3",
                              "TY3",  "TT4",  "TY4",        "TT5", "TY5", "TT6", "TY6", "NOTE"};

class PersonalJobTest : public ::testing::Test {
 protected:
  void SetUp() override {
    oldPath = dir.File("kxpersonal.dbf");
    newPath = dir.File("kxpers_new.dbf");
    std::snprintf(JobState::oldPersonalPath, sizeof JobState::oldPersonalPath, "%s", oldPath.c_str());
    std::snprintf(JobState::newPersonalPath, sizeof JobState::newPersonalPath, "%s", newPath.c_str());
  }
  void Make(uint32_t oldRecords, uint32_t newRecords, Variation v = {1, 0}) {
    ASSERT_TRUE(vmtables::MakePersonalTable(oldPath, oldRecords));
    ASSERT_TRUE(vmtables::MakePersonalTable(newPath, newRecords, v));
    fs.log.clear();
  }

  void Set(const std::string& path, uint32_t record, const char* field, const std::string& value) {
    ASSERT_TRUE(SetField(path, record, field, value));
  }

  std::vector<std::string> FieldWrites() { return ::FieldWrites(fs, newPath); }

  // Whether every copied field of record r of the new table holds the old
  // table's value.
  bool Copied(uint32_t r) {
    RawDbf raw(newPath);
    for (int n = 1; n <= 15; ++n)
      if (raw.Value(r, kNames[n - 1]) != vmtables::PersonalValue(r, n)) return false;
    return true;
  }

  TempDir dir;
  FaultFileSystem fs;
  ScopedFileSystem layer{&fs};
  BoxWatcher boxes;
  JobRunner runner;
  std::string oldPath, newPath;
};

// A hundredth of the old table per step from 100 records on, the 99 steps
// spread over the pairs below that; never more than 99.
TEST_F(PersonalJobTest, EveryRunSendsNinetyNineStepsWhateverTheOldTablesSize) {
  const struct { uint32_t records; int steps; } cases[] = {{1000, 99}, {250, 99}, {100, 99}, {50, 99}, {1, 99}};
  for (const auto& c : cases) {
    Make(c.records, c.records);
    JobRunner r;
    ASSERT_TRUE(r.Run(PersonalJob));
    EXPECT_EQ(r.Steps(), c.steps) << c.records << " records";
    ASSERT_FALSE(r.messages().empty());
    EXPECT_EQ(r.messages().back().wparam, 1u);
    EXPECT_EQ(r.Ends(), 1);
    EXPECT_EQ(JobState::running, 0);
    EXPECT_TRUE(Copied(1) && Copied(c.records)) << c.records << " records";
  }
  EXPECT_EQ(boxes.Summary(), "");
}

TEST_F(PersonalJobTest, FieldsAreWrittenOnlyWhereTheTextsDiffer) {
  Make(5, 5, Variation{});
  Set(newPath, 2, "NAME", "Someone Else");
  Set(newPath, 2, "TY3", "Z");
  Set(oldPath, 3, "DEPARTMENT", RawDbf(newPath).Value(3, "DEPARTMENT") + "  ");  // trailing blanks
  Set(newPath, 4, "TT6", "x");
  Set(oldPath, 4, "TT6", "X");  // case counts
  Set(newPath, 4, "NOTE", "kept");
  fs.log.clear();
  ASSERT_TRUE(runner.Run(PersonalJob));
  EXPECT_EQ(FieldWrites(), (std::vector<std::string>{"2:NAME", "2:TY3", "4:TT6"}));
  EXPECT_EQ(RawDbf(newPath).Value(4, "TT6"), "X");
  EXPECT_EQ(RawDbf(newPath).Value(4, "NOTE"), "kept");
  fs.log.clear();
  JobRunner again;
  ASSERT_TRUE(again.Run(PersonalJob));
  EXPECT_TRUE(FieldWrites().empty()) << "a second run writes nothing";
}

TEST_F(PersonalJobTest, AnEmptyIdxpEndsTheWalk) {
  Make(6, 6);
  Set(oldPath, 3, "IDXP", "");
  ASSERT_TRUE(runner.Run(PersonalJob));
  EXPECT_TRUE(Copied(1));
  EXPECT_TRUE(Copied(2));
  EXPECT_FALSE(Copied(4)) << "records after the empty IDXP are not copied";
  EXPECT_EQ(RawDbf(newPath).Value(5, "NAME"), vmtables::PersonalValue(5, 2, Variation{1, 0}));
  EXPECT_EQ(runner.Ends(), 1);
  EXPECT_EQ(JobState::running, 0);
}

// A record that cannot be read is no end of the walk: its pair is left as
// it is, the walk goes on, and the operator is told once at the end.
TEST_F(PersonalJobTest, AnUnreadableRecordIsSaidAndTheWalkGoesOn) {
  for (const std::string* table : {&oldPath, &newPath}) {
    Make(5, 5);
    RawDbf raw(*table);
    fs.unreadable = {*table, raw.RecordOffset(3), raw.RecordOffset(4)};
    boxes.Clear();
    JobRunner r;
    ASSERT_TRUE(r.Run(PersonalJob));
    fs.unreadable = {};
    EXPECT_TRUE(Copied(1) && Copied(2)) << *table;
    EXPECT_FALSE(Copied(3)) << *table;
    EXPECT_TRUE(Copied(4) && Copied(5)) << "the walk stopped at the unreadable record of " << *table;
    for (const std::string& w : FieldWrites()) EXPECT_NE(w.substr(0, 2), "3:") << w;
    EXPECT_EQ(r.Ends(), 1);
    EXPECT_EQ(JobState::running, 0);
    EXPECT_EQ(boxes.Summary(), "Error !|1 records of the database " + *table +
                                   " could not be read !\nThey were not converted.")
        << "the unreadable record of " << *table << " was not said once";
    const JobOutcome& o = JobState::outcome;
    EXPECT_EQ(o.unreadSource + o.unreadTarget, 1u) << *table;
    EXPECT_EQ(*table == oldPath ? o.unreadSource : o.unreadTarget, 1u) << *table;
    EXPECT_EQ(o.compared, 4u) << *table;
    EXPECT_EQ(o.handled, 5u) << *table;
    EXPECT_FALSE(o.cancelled) << *table;
  }
}

// Texts wider than 127 characters are compared and written whole.
TEST_F(PersonalJobTest, WideTextsAreComparedAndWrittenWhole) {
  FIELD4INFO fields[] = {{"IDXP", 'C', 6, 0, 0}, {"NAME", 'C', 200, 0, 0}, {nullptr, 0, 0, 0, 0}};
  std::string name(194, 'n');
  name[150] = 'o';
  std::string almost = name;
  almost[150] = 'x';  // differs only after character 127
  for (const std::string* path : {&oldPath, &newPath}) {
    CDatabase db;
    ASSERT_EQ(db.Create(S(*path), fields), 1);
    ASSERT_EQ(db.Append(), 1);
    db.Replace(S("IDXP"), S("000001"));
    db.Replace(S("NAME"), S(path == &oldPath ? name : almost));
    db.Close();
  }
  fs.log.clear();
  ASSERT_TRUE(runner.Run(PersonalJob));
  EXPECT_EQ(RawDbf(newPath).Value(1, "NAME"), name) << "the new table's NAME is not the old one whole";
  EXPECT_EQ(FieldWrites(), std::vector<std::string>{"1:NAME"});
}

// The engine passes text bytes through unchanged: accented names in two
// code pages (the header's byte 29, the language driver) arrive byte for
// byte, and the new table keeps its own code-page byte.
TEST_F(PersonalJobTest, TextBytesAndTheCodePageByteSurviveInTwoCodePages) {
  const struct {
    const char* page;
    unsigned char driver;
    std::string name;
  } pages[] = {{"850", 0x02, "Ren\x82 M\x81ller \xA4"}, {"1252", 0x03, "Ren\xE9 M\xFCller \xF1"}};
  for (const auto& p : pages) {
    Make(5, 5);
    for (const std::string* path : {&oldPath, &newPath}) {
      std::vector<unsigned char> bytes = ReadBytes(*path);
      bytes[29] = p.driver;
      WriteBytes(*path, bytes);
    }
    Set(oldPath, 2, "NAME", p.name);
    ASSERT_TRUE(runner.Run(PersonalJob));
    EXPECT_EQ(RawDbf(newPath).Value(2, "NAME"), p.name) << "code page " << p.page;
    EXPECT_EQ(ReadBytes(newPath)[29], p.driver) << "code page " << p.page << ": the code-page byte";
    EXPECT_TRUE(Copied(4)) << p.page;
  }
}

int failedWriteBoxes = 0;
void CountBox(const char*, const char*, const ErrorPlace*) { ++failedWriteBoxes; }

// Writes fail from the n-th on, as on a disk that fills up: what the
// outcome calls written is exactly what changed in the file, and every
// other differing field is counted once as failed.
TEST_F(PersonalJobTest, TheOutcomeCountsWhatReachedTheFileAndNothingElse) {
  SetErrorSink(CountBox);
  for (int n : {0, 1, 17, 40}) {
    Make(5, 5);
    RawDbf before(newPath);
    fs.writesBeforeFailure = n;
    JobRunner r;
    ASSERT_TRUE(r.Run(PersonalJob));
    fs.writesBeforeFailure = -1;
    RawDbf after(newPath);
    uint32_t changed = 0;
    for (uint32_t record = 1; record <= 5; ++record)
      for (int k = 0; k < 15; ++k) changed += after.Value(record, kNames[k]) != before.Value(record, kNames[k]);
    const JobOutcome& o = JobState::outcome;
    EXPECT_EQ(o.Written(), changed) << "writes failing from write " << n;
    EXPECT_EQ(o.Written() + o.Failed(), 5u * 15) << "every field differs, and each is counted once";
    EXPECT_EQ(o.compared, 5u);
    EXPECT_EQ(failedWriteBoxes > 0, o.Failed() > 0) << n;
    failedWriteBoxes = 0;
  }
  SetErrorSink(nullptr);
}

TEST_F(PersonalJobTest, AnEmptyOldTableIsWalkedNotAtAll) {
  Make(0, 3);
  ASSERT_TRUE(runner.Run(PersonalJob));
  ASSERT_EQ(runner.messages().size(), 1u);
  EXPECT_EQ(runner.messages()[0].wparam, 1u);
  EXPECT_TRUE(FieldWrites().empty());
  EXPECT_EQ(boxes.Summary(), "");
}

TEST_F(PersonalJobTest, AShortNewTableIsNotOverwrittenAtItsLastRecord) {
  Make(8, 3);
  ASSERT_TRUE(runner.Run(PersonalJob));
  EXPECT_TRUE(Copied(3));
  EXPECT_EQ(RawDbf(newPath).Records(), 3u) << "nothing is appended";
  for (const std::string& w : FieldWrites()) EXPECT_NE(w.substr(0, 2), "4:") << w;
  EXPECT_EQ(FieldWrites().size(), 3u * 15) << "pairs 4 to 8 have no new record";
}

TEST_F(PersonalJobTest, ACancelFinishesThePairInHand) {
  Make(1000, 1000);
  runner.CancelAfterStep(3);  // after the pair with index 30
  ASSERT_TRUE(runner.Run(PersonalJob));
  EXPECT_EQ(runner.Steps(), 3);
  EXPECT_EQ(runner.Ends(), 1);
  EXPECT_TRUE(Copied(31));
  EXPECT_FALSE(Copied(32));
}

TEST_F(PersonalJobTest, MissingTablesShowTheirOwnBoxAndSendNothing) {
  ASSERT_TRUE(runner.Run(PersonalJob));
  EXPECT_TRUE(runner.messages().empty());
  EXPECT_EQ(JobState::running, 1);
  EXPECT_EQ(boxes.Summary(), "Error !|The old personal database " + oldPath + " could not be opend !\n" +
                                 xb::FileErrorText(ERROR_FILE_NOT_FOUND));

  boxes.Clear();
  ASSERT_TRUE(vmtables::MakePersonalTable(oldPath, 2));
  JobRunner second;
  ASSERT_TRUE(second.Run(PersonalJob));
  EXPECT_TRUE(second.messages().empty());
  EXPECT_EQ(boxes.Summary(), "Error !|The new personal database " + newPath + " could not be opend !\n" +
                                 xb::FileErrorText(ERROR_FILE_NOT_FOUND));
  EXPECT_TRUE(vmtables::MakePersonalTable(oldPath, 1)) << "the old table was let go";
}

TEST_F(PersonalJobTest, MissingAndOverWideFieldsStayInsideTheBuffers) {
  FIELD4INFO oldFields[] = {{"IDXP", 'C', 6, 0, 0}, {"NAME", 'C', 200, 0, 0}, {nullptr, 0, 0, 0, 0}};
  CDatabase db;
  ASSERT_EQ(db.Create(S(oldPath), oldFields), 1);
  db.Append();
  db.Replace(S("IDXP"), S("000001"));
  db.Replace(S("NAME"), S(std::string(126, 'n') + " tail of a long name"));
  db.Close();
  ASSERT_TRUE(vmtables::MakePersonalTable(newPath, 1));  // NAME 30 wide, IDXP "000001"
  fs.log.clear();
  ASSERT_TRUE(runner.Run(PersonalJob));
  EXPECT_EQ(FieldWrites(), std::vector<std::string>{"1:NAME"}) << "fields the old table lacks are not written";
  EXPECT_EQ(RawDbf(newPath).Value(1, "NAME"), std::string(30, 'n'));
  EXPECT_EQ(RawDbf(newPath).Value(1, "TT1"), vmtables::PersonalValue(1, 4));
}

}  // namespace
