// CDosFile and its relatives on real files.
#include "lib/CDosFile.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "lib/AssignOnlyRecords.h"
#include "lib/CFileStat.h"
#include "lib/CLogFile.h"
#include "lib/CResStrings.h"
#include "tests/support/mutable_text.h"
#include "tests/support/temp_dir.h"

namespace {

const unsigned long kReadWrite = OF_READWRITE | OF_SHARE_DENY_NONE;

class CDosFileTest : public ::testing::Test {
 protected:
  std::string Make(const std::string& bytes) {
    WriteBytes(path, std::vector<unsigned char>(bytes.begin(), bytes.end()));
    return path;
  }
  TempDir dir;
  std::string path = dir.File("lines.txt");
};

// Each call's text and the position after it.
std::string Lines(CDosFile& f, unsigned long size, int calls) {
  std::string out;
  char buffer[64];
  for (int i = 0; i < calls; ++i) {
    std::memset(buffer, '#', sizeof buffer);
    if (!f.ReadLine(buffer, size)) return out + "[failed]";
    out += "[" + std::string(buffer) + "]@" + std::to_string(f.GetPos());
  }
  return out;
}

// Opening an open file again, or copying one, leaves no second handle on it
// and no name with two owners: once closed, the file can be deleted.
TEST_F(CDosFileTest, ReopeningAndCopyingLeaveOneOwnerOfTheFile) {
  const struct {
    const char* what;
    void (*use)(CDosFile& f);
  } cases[] = {
      {"Open twice", [](CDosFile& f) { f.Open(kReadWrite); }},
      {"Create on an open file", [](CDosFile& f) { f.Create(kReadWrite); }},
      {"a copy made and dropped",
       [](CDosFile& f) {
         CDosFile copy(f);
         EXPECT_EQ(copy.GetPos(), -1) << "a copy is closed";
       }},
  };
  for (const auto& c : cases) {
    Make("abc");
    {
      CLogFile f(path.c_str());
      ASSERT_EQ(f.Open(kReadWrite), 1) << c.what;
      c.use(f);
      CLogFile copy(f);
      EXPECT_EQ(copy.Open(OF_READ), 1) << c.what << ": the copy has the name";
      copy.Close();
      EXPECT_EQ(f.Write(const_cast<char*>("x"), 1), 1) << c.what << ": the original still writes";
      EXPECT_EQ(f.Close(), 1) << c.what;
    }
    EXPECT_TRUE(DeleteFileA(path.c_str())) << c.what << ": a handle on the file was left open";
  }
}

TEST_F(CDosFileTest, ReadLineSplitsOnCrLfOnly) {
  Make("ab\r\n\r\nx\ny\r\nlast");
  CDosFile f(path.c_str());
  ASSERT_EQ(f.Open(OF_READ), 1);
  EXPECT_EQ(Lines(f, 64, 5), "[ab]@4[]@6[x\ny]@11[last]@15[]@15")
      << "a lone LF is text; at end of file an empty line and no move";
}

TEST_F(CDosFileTest, ReadLineLongerThanTheBufferComesInPieces) {
  Make("abcdefgh\r\nz\r\n");
  CDosFile f(path.c_str());
  ASSERT_EQ(f.Open(OF_READ), 1);
  EXPECT_EQ(Lines(f, 4, 4), "[abc]@3[def]@6[gh\r]@9[\nz\r]@12")
      << "a CR at the end of the block stays; the next line starts with the LF";
}

TEST_F(CDosFileTest, ReadLineWithNoRoomFailsWithoutWriting) {
  Make("abc\r\n");
  CDosFile f(path.c_str());
  ASSERT_EQ(f.Open(OF_READ), 1);
  char c = '#';
  EXPECT_EQ(f.ReadLine(&c, 0), 0);
  EXPECT_EQ(c, '#');
  EXPECT_EQ(Lines(f, 1, 1), "[]@0") << "size 1 has room for the NUL alone";
}

TEST_F(CDosFileTest, ReadWriteSeekAndEndOfFile) {
  CDosFile f(path.c_str());
  ASSERT_EQ(f.Create(kReadWrite), 1);
  char text[] = "hello world";
  unsigned long done = 99;
  EXPECT_EQ(f.Write(text, 11, &done), 1);
  EXPECT_EQ(done, 11u);
  EXPECT_EQ(f.GetPos(), 11);
  EXPECT_EQ(f.Seek(6), 1);
  char got[8] = {};
  EXPECT_EQ(f.Read(got, 5, &done), 1);
  EXPECT_EQ(std::string(got, done), "world");
  EXPECT_EQ(f.Read(got, 5, &done), 1);
  EXPECT_EQ(done, 0u) << "a read at end of file succeeds with nothing";
  EXPECT_EQ(f.Seek(0), 1);
  EXPECT_EQ(f.SeekEof(), 1);
  EXPECT_EQ(f.GetPos(), 11);
  EXPECT_EQ(f.Close(), 1);
  EXPECT_EQ(f.Close(), 0) << "a closed file cannot be closed again";
}

TEST_F(CDosFileTest, CreateEmptiesAnExistingFileAndAFailedOpenLeavesItClosed) {
  Make("old contents");
  CDosFile f(path.c_str());
  ASSERT_EQ(f.Create(kReadWrite), 1);
  EXPECT_EQ(f.SeekEof(), 1);
  EXPECT_EQ(f.GetPos(), 0);
  f.Close();
  CDosFile nowhere(dir.File("no-such-dir/x.txt").c_str());
  EXPECT_EQ(nowhere.Create(kReadWrite), 0);
  EXPECT_EQ(nowhere.GetPos(), -1);
  CDosFile missing(dir.File("missing.txt").c_str());
  EXPECT_EQ(missing.Open(OF_READ), 0);
}

TEST_F(CDosFileTest, AClosedOrNamelessFileFailsEverything) {
  CDosFile nameless(nullptr);
  EXPECT_EQ(nameless.Create(kReadWrite), 0);
  EXPECT_EQ(nameless.Open(OF_READ), 0);
  CDosFile f(path.c_str());
  char buffer[8] = "keep";
  unsigned long done = 77;
  EXPECT_EQ(f.Read(buffer, 4, &done), 0);
  EXPECT_EQ(f.Write(buffer, 4, &done), 0);
  EXPECT_EQ(done, 77u) << "the count stays untouched on a closed file";
  EXPECT_EQ(f.Seek(0), 0);
  EXPECT_EQ(f.SeekEof(), 0);
  EXPECT_EQ(f.GetPos(), -1);
  EXPECT_EQ(f.ReadLine(buffer, sizeof buffer), 0);
  EXPECT_STREQ(buffer, "keep");
}

TEST_F(CDosFileTest, AssignmentCopiesTheNameAndLeavesTheCopyClosed) {
  Make("shared\r\n");
  CLogFile original(path.c_str());
  ASSERT_EQ(original.Open(OF_READ), 1);
  CLogFile other(dir.File("other.log").c_str());
  ASSERT_EQ(other.Create(kReadWrite), 1);
  other = original;
  EXPECT_EQ(other.GetPos(), -1) << "the target's own file was closed, none taken over";
  EXPECT_EQ(other.Open(OF_READ), 1) << "the copy knows the name";
  char line[16];
  EXPECT_EQ(other.ReadLine(line, sizeof line), 1);
  EXPECT_STREQ(line, "shared");
  EXPECT_EQ(original.ReadLine(line, sizeof line), 1) << "the original's file is still its own";
  EXPECT_STREQ(line, "shared");
  other = other;
  EXPECT_EQ(other.GetPos(), 8) << "assigning an object to itself changes nothing";
}

// The platform's write call takes a count of 0 as "end the file here": an
// empty write must not reach it.
TEST_F(CDosFileTest, AnEmptyWriteLeavesTheFileWhole) {
  Make("abcdef");
  CDosFile f(path.c_str());
  ASSERT_EQ(f.Open(kReadWrite), 1);
  ASSERT_EQ(f.Seek(2), 1);
  unsigned long done = 99;
  EXPECT_EQ(f.Write(const_cast<char*>(""), 0, &done), 1);
  EXPECT_EQ(done, 0u);
  EXPECT_EQ(f.Write(const_cast<char*>(""), 0), 1);
  EXPECT_EQ(f.SeekEof(), 1);
  EXPECT_EQ(f.GetPos(), 6) << "bytes after the position of an empty write";
}

// Several threads logging through one shared object under their own lock
// keep every line (the header's safe use).
TEST_F(CDosFileTest, OneSharedLogUnderALockKeepsEveryLine) {
  CLogFile log(path.c_str());
  ASSERT_EQ(log.Create(kReadWrite), 1);
  std::mutex lock;
  std::vector<std::thread> writers;
  for (int t = 0; t < 4; ++t)
    writers.emplace_back([&, t] {
      for (int i = 0; i < 500; ++i) {
        std::string line = "thread " + std::to_string(t) + " line " + std::to_string(i) + "\r\n";
        std::lock_guard<std::mutex> hold(lock);
        log.SeekEof();
        log.Write(S(line), static_cast<unsigned long>(line.size()));
      }
    });
  for (std::thread& w : writers) w.join();
  ASSERT_EQ(log.Seek(0), 1);
  int lines = 0;
  char text[64];
  while (log.ReadLine(text, sizeof text) && text[0]) ++lines;
  EXPECT_EQ(lines, 2000);
}

TEST(RecordTest, RecordsKeepTheirLayoutAndCopyEveryWord) {
  CResStrings strings;
  EXPECT_EQ(strings.words[0], 0u);
  CFileStat stat;
  EXPECT_EQ(static_cast<void*>(stat.Filename()), static_cast<void*>(&stat));
  std::strcpy(stat.Filename(), "vm001.dbf");
  stat.detail[10] = 7;
  CFileStat copy;
  EXPECT_EQ(&(copy = stat), &copy);
  EXPECT_STREQ(copy.Filename(), "vm001.dbf");
  EXPECT_EQ(copy.detail[10], 7u);
  CModem modem, modem2;
  for (uint32_t i = 0; i < 97; ++i) modem.words[i] = i * 3;
  modem2 = modem;
  EXPECT_EQ(std::memcmp(modem.words, modem2.words, sizeof modem.words), 0);
}

}  // namespace
