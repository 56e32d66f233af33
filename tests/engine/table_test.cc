// The engine's table file: layout on disk, navigation, field values,
// maintenance and write-through.
#include "engine/table.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "engine/dbf_format.h"
#include "tests/support/fault_file_system.h"
#include "tests/support/temp_dir.h"

// Reachable, so that leak checkers stay quiet about the table a test abandons.
xb::Table* abandonedTable = nullptr;

namespace {

const FIELD4INFO kPeople[] = {
    {"NAME", 'C', 10, 0, 0}, {"AGE", 'N', 3, 0, 0},   {"PAY", 'N', 8, 2, 0},
    {"BORN", 'D', 8, 0, 0},  {"OK", 'L', 1, 0, 0},    {nullptr, 0, 0, 0, 0}};

class TableTest : public ::testing::Test {
 protected:
  void SetUp() override {
    context.setFileSystem(&fs);
    path = dir.File("people.dbf");
  }

  std::unique_ptr<xb::Table> Make(int records) {
    std::unique_ptr<xb::Table> t = xb::Table::Create(context, path.c_str(), kPeople);
    EXPECT_NE(t, nullptr);
    for (int i = 0; i < records; ++i) {
      EXPECT_TRUE(t->Append());
      t->FieldAt(1)->AssignText(("n" + std::to_string(i + 1)).c_str());
      t->FieldAt(2)->AssignDouble(i + 1);
      EXPECT_TRUE(t->Flush());
    }
    return t;
  }

  std::string Text(xb::Table& t, const char* name) {
    xb::Field* f = t.FieldAt(t.FieldNumber(name));
    std::vector<char> buf(f->Width() + 1);
    f->CopyText(buf.data(), buf.size());
    return buf.data();
  }

  TempDir dir;
  FaultFileSystem fs;
  xb::Context context;
  std::string path;
};

TEST_F(TableTest, CreateWritesDbaseThreeHeaderDescriptorsTerminatorAndEndMarker) {
  Make(0)->Close();
  std::vector<unsigned char> b = ReadBytes(path);
  ASSERT_EQ(b.size(), 32u + 5 * 32 + 1 + 1);
  EXPECT_EQ(b[0], 0x03);
  EXPECT_EQ(b[1], 126);  // 2026 - 1900
  EXPECT_EQ(b[2], 12);
  EXPECT_EQ(b[3], 8);
  EXPECT_EQ(xb::dbf::Get32(&b[4]), 0u);
  EXPECT_EQ(xb::dbf::Get16(&b[8]), 32 + 5 * 32 + 1);
  EXPECT_EQ(xb::dbf::Get16(&b[10]), 1 + 10 + 3 + 8 + 8 + 1);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(&b[32])), "NAME");
  EXPECT_EQ(b[32 + 11], 'C');
  EXPECT_EQ(b[64 + 16], 3);   // AGE width
  EXPECT_EQ(b[96 + 17], 2);   // PAY decimals
  EXPECT_EQ(b[32 + 5 * 32], 0x0D);
  EXPECT_EQ(b.back(), 0x1A);
}

TEST_F(TableTest, CreateRefusesBadDefinitions) {
  const FIELD4INFO none[] = {{nullptr, 0, 0, 0, 0}};
  const FIELD4INFO zeroWidth[] = {{"A", 'C', 0, 0, 0}, {nullptr, 0, 0, 0, 0}};
  // A C field may be as wide as a record allows; an N field not past 20.
  const FIELD4INFO wide[] = {{"A", 'C', 0xFFFF, 0, 0}, {nullptr, 0, 0, 0, 0}};
  const FIELD4INFO wideNumber[] = {{"A", 'N', 255, 0, 0}, {nullptr, 0, 0, 0, 0}};
  const FIELD4INFO longName[] = {{"ABCDEFGHIJK", 'C', 5, 0, 0}, {nullptr, 0, 0, 0, 0}};
  const FIELD4INFO twice[] = {{"A", 'C', 5, 0, 0}, {"a", 'N', 5, 0, 0}, {nullptr, 0, 0, 0, 0}};
  const FIELD4INFO badType[] = {{"A", 'X', 5, 0, 0}, {nullptr, 0, 0, 0, 0}};
  // No memo file is written, so a memo field would make a table other
  // readers refuse.
  const FIELD4INFO memo[] = {{"A", 'C', 5, 0, 0}, {"NOTES", 'M', 10, 0, 0}, {nullptr, 0, 0, 0, 0}};
  for (const FIELD4INFO* defs : {none, zeroWidth, wide, wideNumber, longName, twice, badType, memo})
    EXPECT_EQ(xb::Table::Create(context, path.c_str(), defs), nullptr) << "first field " << (defs[0].name ? defs[0].name : "(none)");
}

TEST_F(TableTest, AppendWritesCountRecordAndEndMarkerAtOnce) {
  std::unique_ptr<xb::Table> t = Make(3);
  // Seen from the file while the table is still open.
  std::vector<unsigned char> b = ReadBytes(path);
  uint32_t hl = xb::dbf::Get16(&b[8]), rl = xb::dbf::Get16(&b[10]);
  EXPECT_EQ(xb::dbf::Get32(&b[4]), 3u);
  ASSERT_EQ(b.size(), hl + 3 * rl + 1);
  EXPECT_EQ(b.back(), 0x1A);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(&b[hl + 2 * rl]), 1 + 10 + 3), " n3" "        " "  3");
  EXPECT_EQ(t->RecCount(), 3u);
  EXPECT_EQ(t->RecNo(), 3u);
}

TEST_F(TableTest, TextIsPaddedOrCutToTheWidth) {
  std::unique_ptr<xb::Table> t = Make(1);
  xb::Field* name = t->FieldAt(1);
  name->AssignText("ab");
  EXPECT_EQ(Text(*t, "NAME"), "ab        ");
  name->AssignText("abcdefghijKLMNOP");
  EXPECT_EQ(Text(*t, "NAME"), "abcdefghij");
  char small[4];
  name->CopyText(small, sizeof small);
  EXPECT_STREQ(small, "abc") << "a copy into a smaller buffer is cut at its size";
}

TEST_F(TableTest, NumbersAreRightAlignedWithDecimalsOrAsterisksWhenTheyDoNotFit) {
  std::unique_ptr<xb::Table> t = Make(1);
  struct Case { const char* field; double value; const char* stored; } cases[] = {
      {"AGE", 7, "  7"},       {"AGE", -12, "-12"},       {"AGE", 1000, "***"},
      {"AGE", -100, "***"},    {"PAY", 3.5, "    3.50"},  {"PAY", -0.001, "    0.00"},
      {"PAY", 123456.78, "123456.78"},  // 9 characters: does not fit 8
      {"NAME", 42, "42        "},
  };
  for (const Case& c : cases) {
    t->FieldAt(t->FieldNumber(c.field))->AssignDouble(c.value);
    std::string expected = c.stored;
    if (expected.size() > 8 && std::string(c.field) == "PAY") expected = "********";
    EXPECT_EQ(Text(*t, c.field), expected) << c.field << " = " << c.value;
  }
}

TEST_F(TableTest, IntegerReadIsTheAtoiRuleOfAnyFieldsText) {
  std::unique_ptr<xb::Table> t = Make(1);
  xb::Field* age = t->FieldAt(2);
  xb::Field* pay = t->FieldAt(3);
  struct Case { xb::Field* f; const char* text; int32_t value; } cases[] = {
      {age, "  5", 5}, {age, "-7 ", -7}, {age, "+9", 9}, {age, "   ", 0}, {age, "1 2", 1},
      {age, "x12", 0}, {pay, "   12.75", 12}, {pay, " -3.99", -3}, {pay, "99999999", 99999999},
  };
  for (const Case& c : cases) {
    c.f->AssignText(c.text);
    EXPECT_EQ(c.f->AsInt(), c.value) << "text '" << c.text << "'";
  }
  // A table whose number is kept in a character field still carries it.
  struct Text { const char* text; int32_t value; } texts[] = {{"123", 123}, {" -45x", -45}, {"abc", 0}, {"", 0}};
  for (const Text& c : texts) {
    t->FieldAt(1)->AssignText(c.text);
    EXPECT_EQ(t->FieldAt(1)->AsInt(), c.value) << "character field '" << c.text << "'";
  }
}

TEST_F(TableTest, FieldLookupIgnoresCaseAndKnowsNoOtherName) {
  std::unique_ptr<xb::Table> t = Make(0);
  EXPECT_EQ(t->FieldNumber("NAME"), 1);
  EXPECT_EQ(t->FieldNumber("pay"), 3);
  EXPECT_EQ(t->FieldNumber("Ok"), 5);
  EXPECT_EQ(t->FieldNumber("NAMEX"), 0);
  EXPECT_EQ(t->FieldNumber(""), 0);
  EXPECT_EQ(t->FieldAt(0), nullptr);
  EXPECT_EQ(t->FieldAt(6), nullptr);
  EXPECT_STREQ(t->FieldAt(4)->Name(), "BORN");
}

TEST_F(TableTest, EmptyTableTopAndBottomSucceedOnNoRecord) {
  std::unique_ptr<xb::Table> t = Make(0);
  EXPECT_TRUE(t->Top());
  EXPECT_EQ(t->RecNo(), 1u);
  EXPECT_TRUE(t->Bottom());
  EXPECT_EQ(t->RecNo(), 1u);
  EXPECT_EQ(Text(*t, "NAME"), "          ");
  t->FieldAt(1)->AssignText("ghost");
  EXPECT_EQ(Text(*t, "NAME"), "          ") << "no record: nothing to write into";
  EXPECT_FALSE(t->Skip(1));
  EXPECT_FALSE(t->Go(1));
  EXPECT_TRUE(t->Close());
  EXPECT_EQ(ReadBytes(path).size(), 32u + 5 * 32 + 2);
}

TEST_F(TableTest, GoOutsideTheTableFailsAndStays) {
  std::unique_ptr<xb::Table> t = Make(5);
  EXPECT_TRUE(t->Go(3));
  EXPECT_FALSE(t->Go(0));
  EXPECT_FALSE(t->Go(6));
  EXPECT_FALSE(t->Go(0xFFFFFFFFu));
  EXPECT_EQ(t->RecNo(), 3u);
  EXPECT_EQ(Text(*t, "NAME"), "n3        ");
}

TEST_F(TableTest, SkipStopsAtTheFirstAndLastRecord) {
  std::unique_ptr<xb::Table> t = Make(5);
  t->Top();
  EXPECT_TRUE(t->Skip(2));
  EXPECT_EQ(t->RecNo(), 3u);
  EXPECT_FALSE(t->Skip(10));
  EXPECT_EQ(t->RecNo(), 5u);
  EXPECT_FALSE(t->Skip(1));
  EXPECT_EQ(t->RecNo(), 5u) << "a skip past the end no longer moves";
  EXPECT_FALSE(t->Skip(-9));
  EXPECT_EQ(t->RecNo(), 1u);
  EXPECT_TRUE(t->Bottom());
  EXPECT_EQ(t->RecNo(), 5u);
}

TEST_F(TableTest, DeleteRecallAndPackRemoveOnlyDeletedRecords) {
  std::unique_ptr<xb::Table> t = Make(5);
  for (uint32_t r : {2u, 4u, 5u}) {
    t->Go(r);
    t->Delete();
    EXPECT_TRUE(t->Deleted());
  }
  t->Go(5);
  t->Recall();
  EXPECT_FALSE(t->Deleted());
  EXPECT_TRUE(t->Pack());
  EXPECT_EQ(t->RecCount(), 3u);
  EXPECT_EQ(t->RecNo(), 1u);
  std::string names;
  for (uint32_t r = 1; r <= 3; ++r) {
    t->Go(r);
    names += Text(*t, "NAME").substr(0, 2);
  }
  EXPECT_EQ(names, "n1n3n5");
  t->Close();
  std::vector<unsigned char> b = ReadBytes(path);
  EXPECT_EQ(b.size(), xb::dbf::Get16(&b[8]) + 3u * xb::dbf::Get16(&b[10]) + 1);
  EXPECT_EQ(xb::dbf::Get32(&b[4]), 3u);
  EXPECT_EQ(b.back(), 0x1A);
}

// Makes name another name (a hard link) of the file at existing.
bool HardLink(const std::string& name, const std::string& existing) {
#ifdef _WIN32
  return CreateHardLinkA(name.c_str(), existing.c_str(), nullptr) != 0;
#else
  return link(existing.c_str(), name.c_str()) == 0;
#endif
}

// The pack builds the table anew in a file of its own beside it: a name
// there that is another file's too loses that name, and the other file
// keeps its bytes.
TEST_F(TableTest, APackNeverWritesThroughALinkWhereItBuildsTheTable) {
  std::unique_ptr<xb::Table> t = Make(3);
  t->Go(2);
  t->Delete();
  ASSERT_TRUE(t->Flush());
  std::string other = dir.File("other.dbf");
  WriteBytes(other, {'m', 'i', 'n', 'e'});
  ASSERT_TRUE(HardLink(path + ".pack", other));
  EXPECT_TRUE(t->Pack());
  EXPECT_EQ(t->RecCount(), 2u);
  EXPECT_EQ(ReadBytes(other), (std::vector<unsigned char>{'m', 'i', 'n', 'e'})) << "the pack wrote into another file";
}

TEST_F(TableTest, BlankClearsEveryFieldButKeepsTheDeletionFlag) {
  std::unique_ptr<xb::Table> t = Make(1);
  t->Delete();
  t->Blank();
  EXPECT_EQ(Text(*t, "NAME"), "          ");
  EXPECT_EQ(Text(*t, "AGE"), "   ");
  EXPECT_TRUE(t->Deleted());
}

TEST_F(TableTest, FlushMakesAChangeVisibleToAnotherReaderAndWritesOnlyChangedBytes) {
  std::unique_ptr<xb::Table> t = Make(2);
  std::unique_ptr<xb::Table> reader = xb::Table::Open(context, path.c_str());
  ASSERT_NE(reader, nullptr);
  t->Go(1);
  t->FieldAt(2)->AssignText("77");
  int before = fs.writes;
  EXPECT_TRUE(t->Flush());
  EXPECT_EQ(fs.writes - before, 1) << "one write: the changed field; the header's date is current";
  reader->Go(1);
  EXPECT_EQ(Text(*reader, "AGE"), "77 ");
  EXPECT_EQ(Text(*reader, "NAME"), "n1        ");
  before = fs.writes;
  t->FieldAt(2)->AssignText("77");
  EXPECT_TRUE(t->Flush());
  EXPECT_EQ(fs.writes, before) << "assigning the same text writes nothing";
}

TEST_F(TableTest, FirstChangeOfTheDayDatesTheHeader) {
  Make(1)->Close();
  fs.today = xb::Date{2027, 1, 31};
  std::unique_ptr<xb::Table> t = xb::Table::Open(context, path.c_str());
  t->Close();
  EXPECT_EQ(ReadBytes(path)[1], 126) << "opening and closing does not date the table";
  t = xb::Table::Open(context, path.c_str());
  t->FieldAt(1)->AssignText("x");
  t->Flush();
  std::vector<unsigned char> b = ReadBytes(path);
  EXPECT_EQ(b[1], 127);
  EXPECT_EQ(b[2], 1);
  EXPECT_EQ(b[3], 31);
}

TEST_F(TableTest, MovingToAnotherRecordWritesPendingChanges) {
  std::unique_ptr<xb::Table> t = Make(2);
  t->Go(1);
  t->FieldAt(1)->AssignText("moved");
  t->Go(2);
  std::unique_ptr<xb::Table> reader = xb::Table::Open(context, path.c_str());
  EXPECT_EQ(Text(*reader, "NAME"), "moved     ");
}

TEST_F(TableTest, AProgramThatDiesAfterAFlushLosesNothingFlushed) {
  std::unique_ptr<xb::Table> t = Make(3);
  t->Go(2);
  t->FieldAt(1)->AssignText("kept");
  t->Flush();
  t->FieldAt(2)->AssignText("999");  // never flushed, never closed
  abandonedTable = t.release();  // the process "dies": no destructor, no close
  std::unique_ptr<xb::Table> again = xb::Table::Open(context, path.c_str());
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(again->RecCount(), 3u);
  again->Go(2);
  EXPECT_EQ(Text(*again, "NAME"), "kept      ");
  EXPECT_EQ(Text(*again, "AGE"), "  2");
}

TEST_F(TableTest, AFailedWriteIsReportedByTheNextFlushAndNotAgain) {
  std::unique_ptr<xb::Table> t = Make(1);
  t->FieldAt(1)->AssignText("lost");
  fs.writesBeforeFailure = 0;
  EXPECT_FALSE(t->Flush());
  fs.writesBeforeFailure = -1;
  EXPECT_TRUE(t->Flush());
  t->FieldAt(1)->AssignText("moved");
  fs.writesBeforeFailure = 0;
  t->Go(1);  // the pending write fails on the move
  fs.writesBeforeFailure = -1;
  EXPECT_FALSE(t->Flush());
}

TEST_F(TableTest, AFailedAppendLeavesTheCountAsItWas) {
  std::unique_ptr<xb::Table> t = Make(2);
  fs.writesBeforeFailure = 1;  // the record reaches the file, the header does not
  fs.failHalfWay = true;
  EXPECT_FALSE(t->Append());
  EXPECT_EQ(t->RecCount(), 2u);
  fs.writesBeforeFailure = -1;
  t->Close();
  std::unique_ptr<xb::Table> again = xb::Table::Open(context, path.c_str());
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(again->RecCount(), 2u);
}

TEST_F(TableTest, CloseMakesTheFileDurableAndIsHarmlessTwice) {
  std::unique_ptr<xb::Table> t = Make(1);
  int syncs = fs.syncs;
  EXPECT_TRUE(t->Close());
  EXPECT_EQ(fs.syncs, syncs + 1);
  EXPECT_TRUE(t->Close());
  EXPECT_FALSE(t->Flush()) << "a closed table cannot flush";
  EXPECT_FALSE(t->Go(1));
}

TEST_F(TableTest, ARecordAppendedByAnotherWriterCanBeReached) {
  std::unique_ptr<xb::Table> t = Make(2);
  std::unique_ptr<xb::Table> other = xb::Table::Open(context, path.c_str());
  ASSERT_TRUE(other->Append());
  other->FieldAt(1)->AssignText("third");
  other->Flush();
  EXPECT_TRUE(t->Go(3));
  EXPECT_EQ(Text(*t, "NAME"), "third     ");
  EXPECT_TRUE(t->Append());
  EXPECT_EQ(t->RecNo(), 4u) << "an append goes after the other writer's record";
}

TEST_F(TableTest, LockIsTakenOnceAndReleased) {
  std::unique_ptr<xb::Table> t = Make(1);
  EXPECT_TRUE(t->Lock());
  EXPECT_TRUE(t->Lock());
  EXPECT_TRUE(t->Unlock());
  EXPECT_TRUE(t->Unlock());
}

// Whether another writer could take the table lock now: another handle
// on Windows, another process elsewhere (POSIX locks belong to processes).
bool AnotherWriterCanLock(xb::Context& context, const std::string& path) {
#ifdef _WIN32
  std::unique_ptr<xb::Table> other = xb::Table::Open(context, path.c_str());
  return other && other->Lock();
#else
  pid_t child = fork();
  if (child == 0) {
    std::unique_ptr<xb::Table> other = xb::Table::Open(context, path.c_str());
    _exit(other && other->Lock() ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
#endif
}

TEST_F(TableTest, ASecondWriterCannotTakeTheLockUntilItIsReleased) {
  std::unique_ptr<xb::Table> t = Make(1);
  ASSERT_TRUE(t->Lock());
  EXPECT_FALSE(AnotherWriterCanLock(context, path));
  t->Unlock();
  EXPECT_TRUE(AnotherWriterCanLock(context, path));
}

// Another program (not this engine) holds the table open, as a script or
// the server might: its writes would go on into the old file after a
// replace. The file layer tells of it (on Windows, an open that shares
// nothing fails); Pack then refuses and the file stays as it was.
TEST_F(TableTest, PackRefusesWhileAnotherProgramHasTheFileOpen) {
  std::unique_ptr<xb::Table> t = Make(3);
  t->Go(2);
  t->Delete();
  ASSERT_TRUE(t->Flush());
  std::vector<unsigned char> before = ReadBytes(path);
  fs.openElsewhere = true;
  EXPECT_FALSE(t->Pack()) << "packed under another program's open handle";
  fs.openElsewhere = false;
  EXPECT_EQ(t->RecCount(), 3u);
  EXPECT_EQ(ReadBytes(path), before) << "the refused pack changed the file";
  EXPECT_TRUE(t->Pack()) << "alone again, the pack goes ahead";
  EXPECT_EQ(t->RecCount(), 2u);
  t->Close();
}

// Character fields wider than 255, as 1990s xBase writers store them: the
// width's low byte in the width byte, its high byte in the decimal count.
// Created, read back, written and reported at their full width.
TEST_F(TableTest, CharacterFieldsWiderThan255KeepTheirWholeWidth) {
  const FIELD4INFO kWide[] = {{"ID", 'C', 3, 0, 0}, {"TEXT", 'C', 300, 0, 0}, {nullptr, 0, 0, 0, 0}};
  std::unique_ptr<xb::Table> t = xb::Table::Create(context, path.c_str(), kWide);
  ASSERT_NE(t, nullptr);
  std::vector<unsigned char> bytes = ReadBytes(path);
  EXPECT_EQ(bytes[64 + xb::dbf::kDescWidth], 44) << "300 = 1 * 256 + 44";
  EXPECT_EQ(bytes[64 + xb::dbf::kDescDecimals], 1);
  EXPECT_EQ(xb::dbf::Get16(&bytes[xb::dbf::kRecordLength]), 1 + 3 + 300);
  ASSERT_TRUE(t->Append());
  std::string text(299, 'w');
  text += 'z';
  t->FieldAt(2)->AssignText(text.c_str());
  ASSERT_TRUE(t->Close());
  t = xb::Table::Open(context, path.c_str());
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->FieldAt(2)->Width(), 300u);
  EXPECT_EQ(t->FieldAt(2)->Decimals(), 0u);
  t->Go(1);
  EXPECT_EQ(Text(*t, "TEXT"), text) << "read at its full width";
  t->Close();
}

// A Visual FoxPro table's binary fields (I, Y, T, an 8-byte B) are empty
// when they hold binary zeros; a new or blanked record gets those, and its
// text fields blanks, so that other readers read 0, not 0x20202020.
TEST_F(TableTest, AppendAndBlankGiveEachFieldTypeItsOwnEmptyValue) {
  const FIELD4INFO kFields[] = {{"I1", 'C', 4, 0, 0}, {"Y1", 'C', 8, 0, 0}, {"T1", 'C', 8, 0, 0},
                                {"B1", 'C', 8, 0, 0}, {"NAME", 'C', 5, 0, 0}, {"MEMO", 'C', 10, 0, 0},
                                {nullptr, 0, 0, 0, 0}};
  ASSERT_NE(xb::Table::Create(context, path.c_str(), kFields), nullptr);
  std::vector<unsigned char> bytes = ReadBytes(path);
  bytes[xb::dbf::kVersion] = 0x30;
  const char types[] = {'I', 'Y', 'T', 'B', 'C', 'M'};  // a 10-byte M is a dBASE memo number: text
  for (size_t i = 0; i < sizeof types; ++i) bytes[32 + 32 * i + xb::dbf::kDescType] = uint8_t(types[i]);
  WriteBytes(path, bytes);
  std::unique_ptr<xb::Table> t = xb::Table::Open(context, path.c_str());
  ASSERT_NE(t, nullptr);
  ASSERT_TRUE(t->Append());
  const std::string expected = std::string(1, ' ') + std::string(28, '\0') + std::string(15, ' ');
  auto record = [&] {
    std::vector<unsigned char> b = ReadBytes(path);
    return std::string(b.begin() + 32 * 7 + 1, b.begin() + 32 * 7 + 1 + 44);
  };
  EXPECT_EQ(record(), expected) << "the appended record";
  t->FieldAt(1)->AssignText("\x01\x02\x03\x04");
  t->FieldAt(5)->AssignText("abc");
  ASSERT_TRUE(t->Flush());
  t->Blank();
  ASSERT_TRUE(t->Flush());
  EXPECT_EQ(record(), expected) << "the blanked record";
  t->Close();
}

// What an observer hears: each change once, settled once, as the file saw it.
class Recorder : public xb::WriteObserver {
 public:
  bool Changed(uint32_t record, unsigned field, const uint8_t* before, const uint8_t* after,
               unsigned width) override {
    events.push_back("changed " + std::to_string(record) + ":" + std::to_string(field) + " \"" +
                     std::string(reinterpret_cast<const char*>(before), width) + "\" -> \"" +
                     std::string(reinterpret_cast<const char*>(after), width) + "\"");
    return !refuse;
  }
  bool Writing(uint32_t record, const uint8_t* image, size_t length) override {
    events.push_back("writing " + std::to_string(record) + " \"" +
                     std::string(reinterpret_cast<const char*>(image), 14) + "\" of " + std::to_string(length));
    return !refuseWriting;
  }
  void HeaderChanged(uint32_t offset, const uint8_t*, const uint8_t* after, unsigned n) override {
    events.push_back("header " + std::to_string(offset) + " " + std::to_string(n) + " to year " +
                     std::to_string(1900 + after[0]));
  }
  void Settled(uint32_t record, unsigned field, bool written) override {
    events.push_back(std::string(written ? "written " : "given up ") + std::to_string(record) + ":" +
                     std::to_string(field));
  }
  std::vector<std::string> events;
  bool refuse = false;
  bool refuseWriting = false;
};

TEST_F(TableTest, AnObserverHearsEachChangeOnceAndHowItSettled) {
  const struct {
    const char* name;
    int failingWrites;  // writes that fail from the first attempt on (-1: none)
    bool moveAway;      // the table moves on before the write could succeed
    std::vector<std::string> heard;
  } cases[] = {
      {"written at once", -1, false, {"changed 1:1 \"n1        \" -> \"x         \"", "writing 1 \" x           1\" of 31", "written 1:1"}},
      {"written by the retry", 1, false,
       {"changed 1:1 \"n1        \" -> \"x         \"", "writing 1 \" x           1\" of 31", "written 1:1"}},
      {"given up on the move", 100, true,
       {"changed 1:1 \"n1        \" -> \"x         \"", "writing 1 \" x           1\" of 31", "given up 1:1"}},
      {"given up at close", 100, false,
       {"changed 1:1 \"n1        \" -> \"x         \"", "writing 1 \" x           1\" of 31", "given up 1:1"}},
  };
  for (const auto& c : cases) {
    std::unique_ptr<xb::Table> t = Make(2);
    Recorder recorder;
    t->SetObserver(&recorder);
    t->Go(1);
    t->FieldAt(1)->AssignText("x");
    t->FieldAt(1)->AssignText("x");  // the same bytes again: no change
    fs.writesBeforeFailure = c.failingWrites < 0 ? -1 : 0;
    t->Flush();
    if (c.failingWrites == 1) fs.writesBeforeFailure = -1;
    t->Flush();
    if (c.moveAway) t->Go(2);
    t->Close();
    fs.writesBeforeFailure = -1;
    EXPECT_EQ(recorder.events, c.heard) << c.name;
  }
  // A change the observer refuses is not made, and the flush says so.
  std::unique_ptr<xb::Table> t = Make(1);
  Recorder refusing;
  refusing.refuse = true;
  t->SetObserver(&refusing);
  t->FieldAt(1)->AssignText("y");
  EXPECT_FALSE(t->Flush());
  EXPECT_EQ(Text(*t, "NAME"), "n1        ");
  t->Close();
}

// Every change is told, so that what an observer records ahead of the
// write is what is written: a field changed again before its write (told
// from its pending bytes), and the deletion flag (part 0). Each part is
// still written, and settled, once.
TEST_F(TableTest, AnObserverHearsEveryChangeOfAPendingFieldAndTheDeletionFlag) {
  std::unique_ptr<xb::Table> t = Make(1);
  Recorder recorder;
  t->SetObserver(&recorder);
  ASSERT_TRUE(t->Go(1));
  t->FieldAt(1)->AssignText("x");
  t->FieldAt(1)->AssignText("y");
  t->Delete();
  ASSERT_TRUE(t->Flush());
  t->Close();
  EXPECT_EQ(recorder.events,
            (std::vector<std::string>{"changed 1:1 \"n1        \" -> \"x         \"",
                                      "changed 1:1 \"x         \" -> \"y         \"", "changed 1:0 \" \" -> \"*\"",
                                      "writing 1 \"*y           1\" of 31", "written 1:0", "written 1:1"}));
}

// The changes of a record made before its write come to the observer as
// one group, the date stamp with them. A group refused at Writing is not
// written at all: each change is given up, the record reads as the file
// holds it and the header keeps its date; the next change dates it again.
TEST_F(TableTest, AGroupRefusedBeforeItsWriteLeavesTheFileAsItWas) {
  Make(2)->Close();
  std::vector<unsigned char> bytes = ReadBytes(path);
  bytes[1] = 120;  // an older date, so that the first change stamps it
  WriteBytes(path, bytes);
  std::unique_ptr<xb::Table> t = xb::Table::Open(context, path.c_str());
  Recorder recorder;
  recorder.refuseWriting = true;
  t->SetObserver(&recorder);
  ASSERT_TRUE(t->Go(1));
  t->FieldAt(1)->AssignText("x");
  t->FieldAt(2)->AssignDouble(7);
  EXPECT_FALSE(t->Flush());
  EXPECT_EQ(recorder.events, (std::vector<std::string>{"changed 1:1 \"n1        \" -> \"x         \"",
                                                       "header 1 3 to year 2026", "changed 1:2 \"  1\" -> \"  7\"",
                                                       "writing 1 \" x           7\" of 31", "given up 1:1",
                                                       "given up 1:2"}));
  EXPECT_EQ(Text(*t, "NAME"), "n1        ") << "the record as the file holds it";
  EXPECT_EQ(ReadBytes(path), bytes) << "nothing of the group reached the file";
  recorder.events.clear();
  recorder.refuseWriting = false;
  t->FieldAt(1)->AssignText("z");
  EXPECT_TRUE(t->Flush());
  EXPECT_EQ(recorder.events, (std::vector<std::string>{"changed 1:1 \"n1        \" -> \"z         \"",
                                                       "header 1 3 to year 2026", "writing 1 \" z           1\" of 31",
                                                       "written 1:1"}));
  t->Close();
  EXPECT_EQ(ReadBytes(path)[1], 126) << "dated with the group that was written";
}

// FlushEach writes each changed field by a write call of its own, in the
// order the fields were changed, and names those that failed or that the
// observer refused; a failed one stays pending, as with Flush.
TEST_F(TableTest, FlushEachWritesEveryFieldApartInTheOrderChanged) {
  const struct {
    const char* what;
    int writesBeforeFailure;
    bool refuse;
    std::vector<unsigned> failed;
    std::vector<std::string> written;  // "record:field" of each write, in order
  } cases[] = {
      {"every write succeeds", -1, false, {}, {"1:3", "1:1"}},
      {"the second write fails", 1, false, {1}, {"1:3", "1:1"}},
      {"the observer refuses the group", -1, true, {3, 1}, {}},
  };
  for (const auto& c : cases) {
    Make(1)->Close();
    std::unique_ptr<xb::Table> t = xb::Table::Open(context, path.c_str());
    Recorder recorder;
    recorder.refuseWriting = c.refuse;
    t->SetObserver(&recorder);
    ASSERT_TRUE(t->Go(1));
    t->FieldAt(3)->AssignDouble(12.5);
    t->FieldAt(1)->AssignText("x");
    fs.log.clear();
    fs.writesBeforeFailure = c.writesBeforeFailure;
    std::vector<unsigned> failed;
    EXPECT_EQ(t->FlushEach(&failed), c.failed.empty()) << c.what;
    fs.writesBeforeFailure = -1;
    EXPECT_EQ(failed, c.failed) << c.what;
    std::vector<std::string> written;
    for (const auto& w : fs.log) {
      if (w.offset < 32 * 6 + 1) continue;  // the header's date
      uint64_t at = (w.offset - (32 * 6 + 1)) % 31;
      written.push_back("1:" + std::string(at == 1 ? "1" : at == 14 ? "3" : "?"));
      EXPECT_EQ(w.size, at == 1 ? 10u : 8u) << c.what << ": one field, no more";
    }
    EXPECT_EQ(written, c.written) << c.what;
    EXPECT_TRUE(t->Flush()) << c.what << ": what failed is written by the next flush, what was refused is gone";
    EXPECT_EQ(Text(*t, "NAME"), c.refuse ? "n1        " : "x         ") << c.what;
    t->Close();
  }
}

}  // namespace
