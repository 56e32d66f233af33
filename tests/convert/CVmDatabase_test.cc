// The voicemail table class: whole records in, single fields out by logical
// name, on tables made by the generator.
#include "convert/CVmDatabase.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "convert/VmFieldNames.h"
#include "db/EngineContext.h"
#include "tests/support/box_watcher.h"
#include "tests/support/fault_file_system.h"
#include "tests/support/raw_dbf.h"
#include "tests/support/temp_dir.h"
#include "tools/vmtables.h"
#include "tests/support/engine_layer.h"
#include "tests/support/mutable_text.h"

namespace {

using vmtables::Layout;


class CVmDatabaseTest : public ::testing::Test {
 protected:
  // Opens a fresh generated table of the layout with records records.
  void Make(Layout layout, uint32_t records = 10) {
    path = dir.File(layout == Layout::kBig ? "big.dbf" : "small.dbf");
    ASSERT_TRUE(vmtables::MakeVmTable(path, layout, records));
    ASSERT_EQ(db.Open(S(path)), 1);
  }
  void TearDown() override { db.Close(); }

  std::string Raw(uint32_t record, const char* field) { return RawDbf(path).Value(record, field); }

  TempDir dir;
  std::string path;
  VmRecord scratch{};
  BoxWatcher boxes;
  CVmDatabase db{S(std::string())};
};

TEST_F(CVmDatabaseTest, ReadRecordOnASmallTableLeavesTheBigMembersAlone) {
  Make(Layout::kSmall);
  VmRecord image;
  std::memset(&image, 0x5A, sizeof image);
  ASSERT_EQ(db.ReadRecord(3, &image), 1);
  EXPECT_EQ(std::to_string(image.status), vmtables::VmValue(Layout::kSmall, 3, 2));
  EXPECT_EQ(std::to_string(image.p_ogm4), vmtables::VmValue(Layout::kSmall, 3, 30));
  EXPECT_EQ(image.phone, vmtables::VmValue(Layout::kSmall, 3, 31));
  EXPECT_EQ(image.text_opt1, vmtables::VmValue(Layout::kSmall, 3, 33));
  VmRecord untouched;
  std::memset(&untouched, 0x5A, sizeof untouched);
  EXPECT_EQ(std::memcmp(image.string65_4, untouched.string65_4,
                        sizeof image - offsetof(VmRecord, string65_4)),
            0)
      << "members 34 to 99 keep what they held";
  EXPECT_EQ(boxes.Summary(), "");
}

TEST_F(CVmDatabaseTest, ReadRecordOnABigTableFillsEveryMember) {
  Make(Layout::kBig);
  VmRecord image{};
  ASSERT_EQ(db.ReadRecord(7, &image), 1);
  EXPECT_EQ(image.string30_9, vmtables::VmValue(Layout::kBig, 7, 53));
  EXPECT_EQ(std::to_string(image.num10_1), vmtables::VmValue(Layout::kBig, 7, 59));
  EXPECT_EQ(std::to_string(image.num1_16), vmtables::VmValue(Layout::kBig, 7, 99));
}

TEST_F(CVmDatabaseTest, TextsLoseTrailingBlanksOnlyAndWideFieldsAreCut) {
  Make(Layout::kBig);
  db.Go(2);
  db.Replace(S("T31"), S("  0301 555   "));
  std::string wide(50, 'w');
  wide[20] = '!';
  db.Replace(S("T41"), S(wide + wide));  // a 100-wide field, a member of 100
  VmRecord image{};
  db.ReadRecord(2, &image);
  EXPECT_STREQ(image.phone, "  0301 555");
  EXPECT_EQ(std::string(image.string100_1), wide + wide);
}

TEST_F(CVmDatabaseTest, ATableWiderThanTheRecordIsCutAtTheMember) {
  path = dir.File("wide.dbf");
  FIELD4INFO fields[] = {{"T02", 'N', 5, 0, 0}, {"T31", 'C', 80, 0, 0}, {nullptr, 0, 0, 0, 0}};
  ASSERT_EQ(db.Create(S(path), fields), 1);
  db.Append();
  std::string text = std::string(49, 'a') + "  tail";
  db.Replace(S("T31"), S(text));
  VmRecord image;
  std::memset(&image, 0x5A, sizeof image);
  ASSERT_EQ(db.ReadRecord(1, &image), 1);
  EXPECT_EQ(std::string(image.phone), std::string(49, 'a')) << "cut at 50, the cut's blank dropped";
  EXPECT_EQ(image.pager[0], 0x5A) << "the next member is untouched";
}

TEST_F(CVmDatabaseTest, ReplaceFieldFindsLogicalNamesExactly) {
  Make(Layout::kBig);
  EXPECT_EQ(db.ReplaceField(1, 0, "Status", "3"), -1);
  EXPECT_EQ(Raw(1, "T02"), vmtables::VmValue(Layout::kBig, 1, 2)) << "nothing written for an unknown name";
  EXPECT_EQ(db.ReplaceField(1, 0, "status", "3"), 1);
  EXPECT_EQ(Raw(1, "T02"), "3");
  EXPECT_EQ(db.ReplaceField(1, 0, "string30_9", "sixty"), 1);
  EXPECT_EQ(Raw(1, "T53"), "sixty");
  EXPECT_EQ(db.ReplaceField(1, 0, "num10_1", "-42"), 1);
  EXPECT_EQ(Raw(1, "T59"), "-42");
}

TEST_F(CVmDatabaseTest, NumericValuesFollowTheAtoiRule) {
  Make(Layout::kSmall);
  const struct { const char* text; const char* stored; } cases[] = {
      {"12abc", "12"}, {"", "0"}, {"-7", "-7"}, {"  +15", "15"}, {"x9", "0"}, {"99999999999", "*****"}};
  for (const auto& c : cases) {
    db.ReplaceField(1, 0, "index", c.text);
    EXPECT_EQ(Raw(1, "T01"), c.stored) << "value text \"" << c.text << "\"";
  }
}

TEST_F(CVmDatabaseTest, ReplaceFieldWritesFirstThroughLastIndexPlusOne) {
  Make(Layout::kSmall);
  auto pagers = [&] {
    std::string out;
    for (uint32_t r = 4; r <= 8; ++r) out += Raw(r, "T32") == "P" ? "P" : ".";
    return out;
  };
  db.ReplaceField(5, 3, "pager", "P");
  EXPECT_EQ(pagers(), ".....") << "(5, 3) writes nothing";
  db.ReplaceField(5, 4, "pager", "P");
  EXPECT_EQ(pagers(), ".P...") << "(5, 4) writes record 5 alone";
  db.ReplaceField(5, 6, "pager", "P");
  EXPECT_EQ(pagers(), ".PPP.") << "(5, 6) writes records 5, 6 and 7";
}

TEST_F(CVmDatabaseTest, AClosedObjectNeitherReadsNorWrites) {
  CVmDatabase closed(S(dir.File("missing.dbf")));
  VmRecord image{};
  image.status = 77;
  EXPECT_EQ(closed.ReadRecord(1, &image), 0);
  EXPECT_EQ(image.status, 77);
  EXPECT_EQ(closed.ReplaceField(1, 0, "status", "1"), 0);
  EXPECT_EQ(closed.ReplaceField(1, 0, "nonsense", "1"), 0) << "no table is checked before the name";
  EXPECT_EQ(boxes.Summary(), "");
}

// A record past the end, or one whose read fails, shows the table layer's
// box; the image keeps what it held and no write lands on the record the
// table stood on before.
TEST_F(CVmDatabaseTest, ARecordOutOfReachOrUnreadableIsNeitherReadNorWritten) {
  for (bool unreadable : {false, true}) {
    Make(Layout::kSmall, 3);
    FaultFileSystem fs;
    ScopedFileSystem layer(&fs);
    ASSERT_EQ(db.Open(S(path)), 1);
    ASSERT_EQ(db.ReadRecord(3, &scratch), 1);
    std::vector<unsigned char> before = ReadBytes(path);
    unsigned int record = unreadable ? 2 : 4;
    fs.readsBeforeFailure = unreadable ? 0 : -1;
    VmRecord image{};
    image.status = 77;
    EXPECT_EQ(db.ReadRecord(record, &image), 0) << (unreadable ? "unreadable" : "past the end");
    EXPECT_EQ(image.status, 77) << "the image was filled from somewhere";
    EXPECT_EQ(db.ReplaceField(record, record - 1, "status", "1"), 1);
    fs.readsBeforeFailure = -1;
    db.Close();
    EXPECT_EQ(ReadBytes(path), before) << "a write landed on another record";
    EXPECT_EQ(boxes.Summary(), "Error|CDatabase::Go\nError|CDatabase::Go");
    boxes.Clear();
  }
}

}  // namespace
