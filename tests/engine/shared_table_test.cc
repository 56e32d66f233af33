// The engine beside another writer and over a failing file layer: what it
// reads is what the file holds, what it writes is only what changed, and
// nothing it could not do is reported as done.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <string>

#ifdef _WIN32
#include <windows.h>
#endif

#include "engine/dbf_format.h"
#include "engine/table.h"
#include "tests/support/fault_file_system.h"
#include "tests/support/temp_dir.h"

namespace {

using Bytes = std::vector<unsigned char>;

const FIELD4INFO kRow[] = {
    {"A", 'C', 4, 0, 0}, {"B", 'C', 4, 0, 0}, {"C", 'C', 4, 0, 0}, {nullptr, 0, 0, 0, 0}};
// Header 32 + 3 descriptors + terminator = 129; record 1 + 4 + 4 + 4 = 13.
constexpr size_t kHeader = 129;
constexpr size_t kRecord = 13;

class SharedTableTest : public ::testing::Test {
 protected:
  void SetUp() override { context.setFileSystem(&fs); }

  // Records "a1 b1 c1", "a2 b2 c2" ..., closed.
  void Make(int records) {
    std::unique_ptr<xb::Table> t = xb::Table::Create(context, path.c_str(), kRow);
    ASSERT_NE(t, nullptr);
    for (int i = 1; i <= records; ++i) {
      ASSERT_TRUE(t->Append());
      for (int f = 1; f <= 3; ++f) t->FieldAt(f)->AssignText((std::string(1, char('a' + f - 1)) + std::to_string(i)).c_str());
    }
    ASSERT_TRUE(t->Close());
  }

  std::unique_ptr<xb::Table> Open() {
    std::unique_ptr<xb::Table> t = xb::Table::Open(context, path.c_str());
    EXPECT_NE(t, nullptr);
    return t;
  }

  static std::string Text(xb::Table& t, int field) {
    char buf[16];
    t.FieldAt(field)->CopyText(buf, sizeof buf);
    return buf;
  }

  // Field f (1..3) of record r as the file holds it.
  std::string OnDisk(uint32_t r, int f) {
    Bytes b = ReadBytes(path);
    return std::string(reinterpret_cast<char*>(&b[kHeader + (r - 1) * kRecord + 1 + (f - 1) * 4]), 4);
  }

  // Another program's change: the bytes of field f of record r.
  void WriteOnDisk(uint32_t r, int f, const char* text) {
    Bytes b = ReadBytes(path);
    std::memcpy(&b[kHeader + (r - 1) * kRecord + 1 + (f - 1) * 4], text, 4);
    WriteBytes(path, b);
  }

  // Another program's append: one record, the end marker and the count.
  void AppendOnDisk(const char* row) {
    Bytes b = ReadBytes(path);
    uint32_t count = xb::dbf::Get32(&b[4]);
    b.resize(kHeader + count * kRecord);
    b.push_back(' ');
    b.insert(b.end(), row, row + 12);
    b.push_back(0x1A);
    xb::dbf::Put32(&b[4], count + 1);
    WriteBytes(path, b);
  }

  TempDir dir;
  FaultFileSystem fs;
  xb::Context context;
  std::string path = dir.File("shared.dbf");
};

TEST_F(SharedTableTest, ARecordThatCannotBeReadFailsItsPositioningAndTakesNoWrite) {
  struct Case {
    const char* what;
    bool shortRead;
    bool (*move)(xb::Table&);
  } cases[] = {
      {"Go, read fails", false, [](xb::Table& t) { return t.Go(2); }},
      {"Go, read comes up short", true, [](xb::Table& t) { return t.Go(2); }},
      {"Top", false, [](xb::Table& t) { return t.Top(); }},
      {"Bottom", true, [](xb::Table& t) { return t.Bottom(); }},
      {"Skip", false, [](xb::Table& t) { return t.Skip(1); }},
  };
  for (const Case& c : cases) {
    Make(3);
    Bytes before = ReadBytes(path);
    std::unique_ptr<xb::Table> t = Open();
    ASSERT_TRUE(t->Go(1));
    fs.readsBeforeFailure = 0;
    fs.shortReads = c.shortRead;
    EXPECT_FALSE(c.move(*t)) << c.what << ": the positioning must fail";
    fs.readsBeforeFailure = -1;
    EXPECT_FALSE(t->OnReadRecord()) << c.what;
    t->FieldAt(1)->AssignText("zz");
    EXPECT_FALSE(t->Flush()) << c.what << ": an assignment to an unread record is a failed write";
    t->Close();
    EXPECT_EQ(ReadBytes(path), before) << c.what << ": the unread record was written";
  }
}

TEST_F(SharedTableTest, OurFirstChangeOfTheDayKeepsAnotherWritersAppendedRecords) {
  Make(2);
  Bytes b = ReadBytes(path);
  b[29] = 0x57;  // a codepage mark, and other bytes we never write
  b[12] = 0x11;
  b[28] = 0x01;
  WriteBytes(path, b);
  fs.today = xb::Date{2027, 2, 3};  // the header's date is old: the first change dates it
  std::unique_ptr<xb::Table> t = Open();
  AppendOnDisk("a3  b3  c3  ");
  std::unique_ptr<xb::Table> other = Open();
  ASSERT_TRUE(other->Append());
  other->FieldAt(1)->AssignText("a4");
  ASSERT_TRUE(other->Flush());
  ASSERT_TRUE(t->Go(1));
  t->FieldAt(2)->AssignText("ours");
  ASSERT_TRUE(t->Flush());
  Bytes after = ReadBytes(path);
  EXPECT_EQ(xb::dbf::Get32(&after[4]), 4u) << "the count on disk lost the other writers' records";
  EXPECT_EQ(after[1], 127);
  EXPECT_EQ(after[2], 2);
  EXPECT_EQ(after[3], 3);
  ASSERT_TRUE(t->Append());
  t->Close();
  other->Close();
  after = ReadBytes(path);
  EXPECT_EQ(xb::dbf::Get32(&after[4]), 5u);
  for (size_t i : {0u, 8u, 9u, 10u, 11u, 12u, 28u, 29u, 30u, 31u})
    EXPECT_EQ(after[i], b[i]) << "header byte " << i << " changed";
}

TEST_F(SharedTableTest, WithFlushDeferredOnlyTheChangedFieldsAreWritten) {
  Make(1);
  std::unique_ptr<xb::Table> t = Open();
  t->FieldAt(1)->AssignText("new1");
  t->FieldAt(3)->AssignText("new3");
  WriteOnDisk(1, 2, "srv2");  // the server changes the field in between
  ASSERT_TRUE(t->Flush());
  EXPECT_EQ(OnDisk(1, 1), "new1");
  EXPECT_EQ(OnDisk(1, 2), "srv2") << "an unchanged field was written back from our copy";
  EXPECT_EQ(OnDisk(1, 3), "new3");
}

// Every read fails while the positionings for writing are tried: the
// record in hand is not read again, any other record is.
TEST_F(SharedTableTest, AWriteOnTheRecordInHandReadsItNotAgainAndAReadSeesTheFile) {
  Make(2);
  std::unique_ptr<xb::Table> t = Open();
  ASSERT_TRUE(t->Go(1));
  WriteOnDisk(1, 2, "srv2");  // the server changes another field meanwhile
  fs.readsBeforeFailure = 0;
  EXPECT_TRUE(t->GoToWrite(1)) << "the record in hand was read again";
  fs.readsBeforeFailure = -1;
  t->FieldAt(1)->AssignText("new1");
  ASSERT_TRUE(t->Flush());
  EXPECT_EQ(OnDisk(1, 1), "new1");
  EXPECT_EQ(OnDisk(1, 2), "srv2") << "only the changed field is written";
  t->FieldAt(3)->AssignText("new3");  // pending: it waits for its flush
  fs.readsBeforeFailure = 0;
  EXPECT_TRUE(t->GoToWrite(1)) << "with a change pending the record in hand is not read again either";
  EXPECT_EQ(OnDisk(1, 3), "c1  ") << "the pending change was written before its flush";
  EXPECT_FALSE(t->GoToWrite(2)) << "another record is read, and here that fails";
  fs.readsBeforeFailure = -1;
  EXPECT_EQ(OnDisk(1, 3), "new3") << "leaving the record wrote its change";
  ASSERT_TRUE(t->Go(1));
  EXPECT_EQ(Text(*t, 2), "srv2") << "a read sees the file as it is";
}

// The bytes compared are those each table read from its file.
TEST_F(SharedTableTest, SameBytesComparesWhatEachTableReadAndNothingUnread) {
  Make(2);
  std::unique_ptr<xb::Table> a = Open(), b = Open();
  ASSERT_TRUE(a->Go(1));
  ASSERT_TRUE(b->Go(1));
  EXPECT_TRUE(a->FieldAt(1)->SameBytes(*b->FieldAt(1)));
  EXPECT_FALSE(a->FieldAt(1)->SameBytes(*b->FieldAt(2))) << "a1 against b1";
  WriteOnDisk(1, 1, "srv1");
  ASSERT_TRUE(b->Go(1));
  EXPECT_FALSE(a->FieldAt(1)->SameBytes(*b->FieldAt(1))) << "the other table read the server's change";
  fs.readsBeforeFailure = 0;
  EXPECT_FALSE(b->Go(2));
  fs.readsBeforeFailure = -1;
  ASSERT_TRUE(a->Go(2));
  EXPECT_FALSE(a->FieldAt(1)->SameBytes(*b->FieldAt(1))) << "a record that could not be read equals nothing";
}

TEST_F(SharedTableTest, AFailedWriteStaysPendingUntilARetryWritesIt) {
  Make(1);
  std::unique_ptr<xb::Table> t = Open();
  t->FieldAt(1)->AssignText("once");
  fs.writesBeforeFailure = 0;
  EXPECT_FALSE(t->Flush());
  fs.writesBeforeFailure = -1;
  EXPECT_EQ(Text(*t, 1), "once");
  EXPECT_EQ(OnDisk(1, 1), "a1  ");
  t->FieldAt(1)->AssignText("once");  // the caller tries the same value again
  EXPECT_TRUE(t->Flush());
  EXPECT_EQ(OnDisk(1, 1), "once") << "the retry wrote nothing";
}

TEST_F(SharedTableTest, ATableThatMayOnlyBeReadOpensAndRefusesEveryWrite) {
  Make(2);
  Bytes before = ReadBytes(path);
#ifdef _WIN32
  struct Case { const char* what; bool attribute; } cases[] = {{"read-only attribute", true}, {"shared for reading only", false}};
  for (const Case& c : cases) {
    HANDLE holder = INVALID_HANDLE_VALUE;
    if (c.attribute)
      ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
    else
      holder = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (!c.attribute) {
      ASSERT_NE(holder, INVALID_HANDLE_VALUE) << GetLastError();
    }
#else
  struct Case { const char* what; } cases[] = {{"no write access"}};
  for (const Case& c : cases) {
    fs.refuseWriteAccess = true;
#endif
    std::unique_ptr<xb::Table> t = xb::Table::Open(context, path.c_str());
    ASSERT_NE(t, nullptr) << c.what;
    EXPECT_TRUE(t->ReadOnly()) << c.what;
    EXPECT_EQ(t->RecCount(), 2u);
    ASSERT_TRUE(t->Go(2));
    EXPECT_EQ(Text(*t, 2), "b2  ");
    t->FieldAt(2)->AssignText("no");
    EXPECT_FALSE(t->Flush()) << c.what;
    EXPECT_FALSE(t->Append()) << c.what;
    EXPECT_FALSE(t->Pack()) << c.what;
    t->Close();
#ifdef _WIN32
    if (holder != INVALID_HANDLE_VALUE) CloseHandle(holder);
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
#else
    fs.refuseWriteAccess = false;
#endif
    EXPECT_EQ(ReadBytes(path), before) << c.what;
  }
}

TEST_F(SharedTableTest, PackIsRefusedWhileAnotherHandleHasTheTableOpen) {
  Make(3);
  std::unique_ptr<xb::Table> t = Open();
  t->Go(2);
  t->Delete();
  ASSERT_TRUE(t->Flush());
  Bytes before = ReadBytes(path);
  {
    std::unique_ptr<xb::Table> other = Open();
    EXPECT_FALSE(t->Pack()) << "another handle would keep the old record numbers";
    EXPECT_EQ(ReadBytes(path), before);
    EXPECT_EQ(other->RecCount(), 3u);
  }
  xb::Field* kept = t->FieldAt(1);
  EXPECT_TRUE(t->Pack()) << "alone, it packs";
  EXPECT_EQ(t->RecCount(), 2u);
  ASSERT_TRUE(t->Go(2));
  EXPECT_EQ(Text(*t, 1), "a3  ");
  EXPECT_EQ(t->FieldAt(1), kept) << "fields keep their addresses across a pack";
  kept->AssignText("x3");
  EXPECT_TRUE(t->Flush());
  t->Close();
  EXPECT_EQ(OnDisk(2, 1), "x3  ");
}

// Every record is there exactly once after a pack that fails at any write,
// whole or half-way, or at the final replace: either the table as it was or
// the packed table, and nothing else in the folder.
TEST_F(SharedTableTest, APackInterruptedAnywhereLosesAndDuplicatesNothing) {
  for (bool halfWay : {false, true}) {
    for (int failAt = 0;; ++failAt) {
      Make(5);
      std::unique_ptr<xb::Table> t = Open();
      for (uint32_t r : {2u, 4u}) {
        t->Go(r);
        t->Delete();
      }
      ASSERT_TRUE(t->Flush());
      Bytes before = ReadBytes(path);
      fs.writesBeforeFailure = failAt;
      fs.failHalfWay = halfWay;
      bool packed = t->Pack();
      bool failed = fs.writesBeforeFailure == 0;
      fs.writesBeforeFailure = -1;
      t->Close();
      std::unique_ptr<xb::Table> again = Open();
      ASSERT_NE(again, nullptr);
      std::string names;
      for (uint32_t r = 1; r <= again->RecCount(); ++r) {
        again->Go(r);
        names += Text(*again, 1).substr(0, 2) + (again->Deleted() ? "*" : "");
      }
      again->Close();
      if (!packed) {
        EXPECT_EQ(names, "a1a2*a3a4*a5") << "failed at write " << failAt;
        EXPECT_EQ(ReadBytes(path), before) << "failed at write " << failAt;
      } else {
        EXPECT_EQ(names, "a1a3a5") << "packed with write " << failAt;
      }
      EXPECT_FALSE(std::ifstream(path + ".pack").good()) << "the packed copy was left behind";
      if (!failed) break;  // this pack reached its end: every write point is tried
    }
  }
  Make(3);
  std::unique_ptr<xb::Table> t = Open();
  t->Go(1);
  t->Delete();
  t->Flush();
  fs.failReplace = true;
  EXPECT_FALSE(t->Pack());
  fs.failReplace = false;
  EXPECT_EQ(t->RecCount(), 3u) << "the table is still open on the unpacked file";
  EXPECT_TRUE(t->Go(3));
  EXPECT_EQ(Text(*t, 1), "a3  ");
}

}  // namespace
