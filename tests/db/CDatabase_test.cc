// CDatabase over the engine, with its warning boxes seen as real boxes.
#include "db/CDatabase.h"

#include <gtest/gtest.h>

#include <string>

#include "db/EngineContext.h"
#include "tests/support/box_watcher.h"
#include "tests/support/fault_file_system.h"
#include "tests/support/temp_dir.h"
#include "tests/support/mutable_text.h"

namespace {

FIELD4INFO kFields[] = {{"IDXP", 'C', 8, 0, 0},
                        {"NAME", 'C', 20, 0, 0},
                        {"COUNT", 'N', 6, 0, 0},
                        {nullptr, 0, 0, 0, 0}};

// Shows what the class keeps to itself.
class Probe : public CDatabase {
 public:
  using CDatabase::HoldChanges;
  using CDatabase::WriteChanges;
  int flushFlag() const { return flush; }
  bool isOpen() const { return table != nullptr && fields != nullptr; }
  unsigned int count() const { return fieldCount; }
};


class CDatabaseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    engineContext.setFileSystem(&fs);
    path = dir.File("pers.dbf");
  }
  void TearDown() override {
    db.Close();
    engineContext.setFileSystem(xb::FileSystem::Default());
  }

  // A table of rows "IDXP|NAME|COUNT", made through the class itself.
  void Make(std::initializer_list<const char*> rows) {
    ASSERT_EQ(db.Create(S(path.c_str()), kFields), 1);
    for (const char* row : rows) {
      std::string r = row;
      size_t a = r.find('|'), b = r.rfind('|');
      ASSERT_EQ(db.Append(), 1);
      db.Replace(S("IDXP"), S(r.substr(0, a).c_str()));
      db.Replace(S("NAME"), S(r.substr(a + 1, b - a - 1).c_str()));
      db.Replace(S("COUNT"), atoi(r.substr(b + 1).c_str()));
    }
    db.Top();
  }

  std::string Name() {
    char text[21] = "untouched";
    db.Read(S("NAME"), text);
    return text;
  }

  TempDir dir;
  FaultFileSystem fs;
  std::string path;
  BoxWatcher boxes;
  Probe db;
};

TEST_F(CDatabaseTest, OpenFailsQuietlyAndAFailedReopenLeavesTheObjectClosed) {
  EXPECT_EQ(db.Open(S(dir.File("missing.dbf").c_str())), 0);
  Make({"1|a|1"});
  EXPECT_TRUE(db.isOpen());
  EXPECT_EQ(db.Open(S(dir.File("missing.dbf").c_str())), 0);
  EXPECT_FALSE(db.isOpen());
  EXPECT_EQ(db.IsField(S("NAME")), 0);
  EXPECT_EQ(db.Close(), 1);
  EXPECT_EQ(db.Close(), 1) << "closing a closed object still succeeds";
  EXPECT_EQ(boxes.Summary(), "");
}

TEST_F(CDatabaseTest, OpenTurnsFlushBackOnAndReopensCleanly) {
  Make({"1|a|1", "2|b|2"});
  db.SetFlush(0);
  EXPECT_EQ(db.flushFlag(), 0);
  EXPECT_EQ(db.Open(S(path.c_str())), 1);
  EXPECT_EQ(db.flushFlag(), 1);
  EXPECT_EQ(db.count(), 3u);
  EXPECT_EQ(db.RecCount(), 2u);
}

TEST_F(CDatabaseTest, CreateReplacesAnExistingTableAndLeavesItOpen) {
  Make({"1|a|1", "2|b|2"});
  db.Close();
  ASSERT_EQ(db.Create(S(path.c_str()), kFields), 1);
  EXPECT_TRUE(db.isOpen());
  EXPECT_EQ(db.RecCount(), 0u);
  EXPECT_STREQ(db.Fieldname(1), "IDXP");
  EXPECT_STREQ(db.Fieldname(3), "COUNT");
  EXPECT_STREQ(db.Fieldname(4), "") << "no fourth field";
  EXPECT_EQ(db.FieldLength(S("NAME")), 20u);
  EXPECT_EQ(db.FieldLength(S("NOPE")), 0u);
}

TEST_F(CDatabaseTest, CreateThatTheEngineRefusesShowsItsBox) {
  FIELD4INFO bad[] = {{"X", 'C', 0, 0, 0}, {nullptr, 0, 0, 0, 0}};
  EXPECT_EQ(db.Create(S(path.c_str()), bad), 0);
  EXPECT_FALSE(db.isOpen());
  EXPECT_EQ(boxes.Summary(), "Error|CDatabase::Create");
}

TEST_F(CDatabaseTest, TextReadsDropTrailingBlanksOnly) {
  Make({"1|ab|1", "2||2", "3|  lead|3"});
  EXPECT_EQ(Name(), "ab");
  db.Go(2);
  EXPECT_EQ(Name(), "");
  db.Go(3);
  EXPECT_EQ(Name(), "  lead");
  char text[8] = "same";
  EXPECT_EQ(db.Read(S("NOPE"), text), 0);
  EXPECT_STREQ(text, "same");
  int value = 42;
  EXPECT_EQ(db.Read(S("COUNT"), &value), 1);
  EXPECT_EQ(value, 3);
  value = 42;
  EXPECT_EQ(db.Read(S("NOPE"), &value), 0);
  EXPECT_EQ(value, 42);
  EXPECT_EQ(db.Replace(S("NOPE"), S("x")), 0);
  EXPECT_EQ(db.Replace(S("NOPE"), 5), 0);
  EXPECT_EQ(boxes.Summary(), "");
}

TEST_F(CDatabaseTest, ReplaceReachesTheFileAtOnce) {
  Make({"1|a|1", "2|b|2"});
  db.Go(2);
  db.Replace(S("NAME"), S("written"));
  db.Replace(S("COUNT"), -17);
  Probe reader;
  ASSERT_EQ(reader.Open(S(path.c_str())), 1);
  reader.Go(2);
  char text[21];
  reader.Read(S("NAME"), text);
  int value = 0;
  reader.Read(S("COUNT"), &value);
  reader.Close();
  EXPECT_STREQ(text, "written");
  EXPECT_EQ(value, -17);
}

TEST_F(CDatabaseTest, TextFindSearchesForwardFromTheCurrentRecord) {
  Make({"1|x|1", "2|y|2", "3|x|3", "4|z|4"});
  db.Go(2);
  EXPECT_EQ(db.Find(S("NAME"), "x"), 3u);
  EXPECT_EQ(db.RecNo(), 3u);
  EXPECT_EQ(db.Find(S("NAME"), "x"), 3u) << "the current record already matches";
  EXPECT_EQ(db.Find(S("NAME"), "y"), 0u);
  EXPECT_EQ(db.RecNo(), 4u) << "the walk stops at the last record";
  db.Top();
  EXPECT_EQ(db.Find(S("NAME"), "x "), 0u) << "trailing blanks never match";
  db.Top();
  EXPECT_EQ(db.Find(S("NAME"), "X"), 0u) << "letter case counts";
  db.Top();
  EXPECT_EQ(db.Find(S("NOPE"), "x"), 0u);
  EXPECT_EQ(db.RecNo(), 1u);
}

TEST_F(CDatabaseTest, FindOnAnEmptyTableFindsNothing) {
  Make({});
  EXPECT_EQ(db.Find(S("NAME"), ""), 0u) << "record 1 does not exist";
  EXPECT_EQ(db.Find(S("COUNT"), 0), 0u);
}

// A record the engine cannot read, and a table that may only be read: the
// operator sees the box, and no byte of the file changes.
TEST_F(CDatabaseTest, UnreadableRecordsAndReadOnlyTablesShowTheirBoxesAndWriteNothing) {
  Make({"1|a|1", "2|b|2"});
  db.Close();
  std::vector<unsigned char> before = ReadBytes(path);
  ASSERT_EQ(db.Open(S(path.c_str())), 1);
  fs.readsBeforeFailure = 0;
  db.Go(2);
  fs.readsBeforeFailure = -1;
  EXPECT_EQ(Name(), "") << "an unread record shows no stale text";
  EXPECT_EQ(db.Replace(S("NAME"), S("lost")), 1);
  EXPECT_EQ(boxes.Summary(), "Error|CDatabase::Go\nError|CDatabase::Replace");
  db.Close();
  EXPECT_EQ(ReadBytes(path), before);

  boxes.Clear();
  fs.refuseWriteAccess = true;
  ASSERT_EQ(db.Open(S(path.c_str())), 1) << "a source that may only be read still opens";
  db.Go(2);
  EXPECT_EQ(Name(), "b");
  EXPECT_EQ(db.Replace(S("NAME"), S("lost")), 1);
  EXPECT_EQ(db.Append(), 0);
  db.Close();
  fs.refuseWriteAccess = false;
  EXPECT_EQ(boxes.Summary(), "Error|CDatabase::Replace\nError|CDatabase::Close")
      << "the change still pending is given up at the close, and that is said too";
  EXPECT_EQ(ReadBytes(path), before);
}

// A record that cannot be read holds nothing to copy or to find: its
// blanks are not its contents.
TEST_F(CDatabaseTest, AnUnreadableRecordIsNeitherCopiedNorFound) {
  Make({"1|a|1", "2|b|2", "3|c|3"});
  db.Close();
  std::vector<unsigned char> before = ReadBytes(path);
  ASSERT_EQ(db.Open(S(path.c_str())), 1);
  uint64_t record2 = 32 + 3 * 32 + 1 + 1 * (1 + 8 + 20 + 6);
  fs.unreadable = {path, record2, record2 + 1 + 8 + 20 + 6};
  db.CopyRecord(2, 3);
  EXPECT_EQ(boxes.Summary(), "Error|CDatabase::Go");
  EXPECT_EQ(ReadBytes(path), before) << "the unread record's blanks were copied over record 3";
  db.Top();
  EXPECT_EQ(db.Find(S("NAME"), ""), 0u) << "the unread record's blank name was found";
  db.Top();
  EXPECT_EQ(db.Find(S("COUNT"), 0), 0u) << "the unread record's blank count was found as 0";
  db.Top();
  EXPECT_EQ(db.Find(S("NAME"), "c"), 3u) << "the search goes on past the unread record";
  fs.unreadable = {};
}

TEST_F(CDatabaseTest, IntegerFindComparesValues) {
  Make({"1|a|10", "2|b|-5", "3|c|10"});
  db.Go(2);
  EXPECT_EQ(db.Find(S("COUNT"), 10), 3u);
  db.Top();
  EXPECT_EQ(db.Find(S("COUNT"), -5), 2u);
  EXPECT_EQ(db.Find(S("COUNT"), 7), 0u);
}

TEST_F(CDatabaseTest, FindOnAWideFieldStaysInsideItsBuffer) {
  FIELD4INFO wide[] = {{"NOTE", 'C', 254, 0, 0}, {nullptr, 0, 0, 0, 0}};
  ASSERT_EQ(db.Create(S(path.c_str()), wide), 1);
  db.Append();
  std::string full(254, 'w');
  db.Replace(S("NOTE"), S(full.c_str()));
  db.Top();
  EXPECT_EQ(db.Find(S("NOTE"), full.c_str()), 1u);
}

TEST_F(CDatabaseTest, WarningBoxesNameTheOperationUnderErrorWithOneOkButton) {
  Make({"1|a|1"});
  db.Go(5);
  std::vector<SeenBox> seen = boxes.Boxes();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].caption, "Error");
  EXPECT_EQ(seen[0].text, "CDatabase::Go");
  EXPECT_TRUE(seen[0].exclamation);
  EXPECT_EQ(seen[0].buttons, std::vector<int>{IDOK});
  EXPECT_EQ(db.RecNo(), 1u) << "a failed Go stays where it was";
}

TEST_F(CDatabaseTest, AFailingFlushShowsItsBoxAndTheOperationStillSucceeds) {
  Make({"1|a|1", "2|b|2"});
  fs.writesBeforeFailure = 0;
  EXPECT_EQ(db.Replace(S("NAME"), S("b")), 1);
  EXPECT_EQ(db.Replace(S("COUNT"), 9), 1);
  db.Blank();
  db.Delete();
  db.Recall();
  db.CopyRecord(2, 1);
  db.SetFlush(0);
  db.Replace(S("NAME"), S("c"));
  db.Flush();
  fs.writesBeforeFailure = -1;
  EXPECT_EQ(boxes.Summary(),
            "Error|CDatabase::Replace\nError|CDatabase::Replace\nError|CDatabase::Blank\n"
            "Error|CDatabase::Delete\nError|CDatabase::Recall\nError|CDatabase::CopyRecord\n"
            "Error|CDatabase::Flush");
}

// A table that does not reach the disk whole at its close (the last flush
// or the sync fails) is said, as every other failure of the class is.
TEST_F(CDatabaseTest, ACloseThatIsNotDurableShowsItsBox) {
  const struct {
    const char* what;
    int FaultFileSystem::*countdown;
  } cases[] = {{"the sync fails", &FaultFileSystem::syncsBeforeFailure},
               {"the last write fails", &FaultFileSystem::writesBeforeFailure}};
  for (const auto& c : cases) {
    Make({"1|a|1"});
    db.SetFlush(0);
    db.Replace(S("NAME"), S("b"));
    fs.*c.countdown = 0;
    EXPECT_EQ(db.Close(), 1) << c.what;
    fs.*c.countdown = -1;
    EXPECT_EQ(boxes.Summary(), "Error|CDatabase::Close") << c.what;
    boxes.Clear();
  }
  db.Close();
  EXPECT_EQ(boxes.Summary(), "") << "closing a closed object says nothing";
}

TEST_F(CDatabaseTest, WithFlushOffChangesWaitForFlush) {
  Make({"1|a|1"});
  db.SetFlush(0);
  int writes = fs.writes;
  db.Replace(S("NAME"), S("later"));
  EXPECT_EQ(fs.writes, writes);
  db.Flush();
  EXPECT_GT(fs.writes, writes);
  EXPECT_EQ(boxes.Summary(), "");
}

// A record's changes held and written together leave the caller's flush
// setting as it was, off as well as on.
TEST_F(CDatabaseTest, HeldChangesKeepTheCallersFlushSetting) {
  Make({"1|a|1"});
  for (int setting : {0, 1}) {
    db.SetFlush(setting);
    int flush = db.HoldChanges();
    db.Replace(S("NAME"), S(setting ? "on" : "off"));
    db.WriteChanges("CDatabase::Replace", flush);
    EXPECT_EQ(db.flushFlag(), setting);
    EXPECT_EQ(Name(), setting ? "on" : "off") << "the held change was written";
  }
  EXPECT_EQ(boxes.Summary(), "");
}

TEST_F(CDatabaseTest, AppendReportsTheEngineResultWithoutABox) {
  Make({});
  EXPECT_EQ(db.Append(), 1);
  fs.writesBeforeFailure = 0;
  EXPECT_EQ(db.Append(), 0);
  fs.writesBeforeFailure = -1;
  EXPECT_EQ(db.RecCount(), 1u);
  EXPECT_EQ(boxes.Summary(), "");
}

TEST_F(CDatabaseTest, EmptyTableTopAndBottomShowNoBox) {
  Make({});
  db.Top();
  db.Bottom();
  EXPECT_EQ(boxes.Summary(), "");
  EXPECT_EQ(db.Skip(1), db.RecNo());
}

TEST_F(CDatabaseTest, CopyRecordCopiesEveryFieldWithItsPadding) {
  Make({"1|source|7", "2|target|8"});
  db.CopyRecord(1, 2);
  EXPECT_EQ(db.RecNo(), 2u);
  EXPECT_EQ(Name(), "source");
  int value = 0;
  db.Read(S("COUNT"), &value);
  EXPECT_EQ(value, 7);
  db.CopyRecord(2, 2);
  EXPECT_EQ(Name(), "source");
  EXPECT_EQ(boxes.Summary(), "");
  db.CopyRecord(9, 1);  // Go fails, the copy goes on from record 2
  EXPECT_EQ(boxes.Summary(), "Error|CDatabase::Go");
  db.Go(1);
  EXPECT_EQ(Name(), "source");
}

TEST_F(CDatabaseTest, DeletePackAndRecallThroughTheClass) {
  Make({"1|a|1", "2|b|2", "3|c|3"});
  db.Go(2);
  db.Delete();
  db.Pack();
  EXPECT_EQ(db.RecCount(), 2u);
  db.Go(2);
  EXPECT_EQ(Name(), "c");
}

TEST_F(CDatabaseTest, ACopySharesTheOpenTable) {
  Make({"1|a|1", "2|b|2"});
  Probe copy;
  static_cast<CDatabase&>(copy) = db;
  copy.Go(2);
  EXPECT_EQ(db.RecNo(), 2u) << "one table, one current record";
  CDatabase constructed(db);
  EXPECT_EQ(constructed.RecCount(), 2u);
}

TEST_F(CDatabaseTest, OperationsOnAClosedObjectFailSafely) {
  EXPECT_EQ(db.RecCount(), 0u);
  EXPECT_EQ(db.RecNo(), 0u);
  EXPECT_EQ(db.Skip(1), 0u);
  EXPECT_EQ(db.Append(), 0);
  EXPECT_STREQ(db.Fieldname(1), "");
  EXPECT_EQ(db.Find(S("NAME"), "x"), 0u);
  db.Pack();
  db.Lock();
  db.Unlock();
  db.Go(1);
  EXPECT_EQ(boxes.Summary(), "Error|CDatabase::Go");
}

}  // namespace
