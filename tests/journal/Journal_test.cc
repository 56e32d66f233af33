// The journal, its reader and undo's plan in-process, over a file system
// kept in memory: what the journal writes for each change, that a full
// disk leaves room for its end line, that the reader refuses each crafted
// line for its own reason, and that undo's plan puts back only what the
// run wrote, into records still the run's.
#include "journal/Journal.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "engine/context.h"
#include "engine/file_wrapper.h"
#include "engine/table.h"
#include "journal/JournalFile.h"
#include "journal/JournalText.h"
#include "journal/RunHistory.h"
#include "journal/Undo.h"
#include "tests/support/memory_file_system.h"

namespace {

const char kTable[] = "C:\\mem\\vm001_big.dbf";
const char kJournal[] = "C:\\mem\\vmconvert-journal\\run.jsonl";

// The lines of text, without their line ends; a last line without one too.
std::vector<std::string> LinesOf(const std::string& text) {
  std::vector<std::string> lines;
  for (size_t at = 0; at < text.size();) {
    size_t end = text.find('\n', at);
    lines.push_back(text.substr(at, end == std::string::npos ? std::string::npos : end - at));
    at = end == std::string::npos ? text.size() : end + 1;
  }
  return lines;
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

class JournalTest : public ::testing::Test {
 protected:
  // A table of three records with two text fields, A (4 wide) and B (2).
  void SetUp() override {
    fs.MakeFolder("C:\\mem");
    xb::Context context;
    context.setFileSystem(&fs);
    FIELD4INFO fields[] = {{"A", 'C', 4, 0, 0}, {"B", 'C', 2, 0, 0}, {nullptr, 0, 0, 0, 0}};
    std::unique_ptr<xb::Table> table = xb::Table::Create(context, kTable, fields);
    ASSERT_TRUE(table);
    for (int i = 0; i < 3; ++i) {
      ASSERT_TRUE(table->Append());
      table->FieldAt(1)->AssignText(("a" + std::to_string(i + 1)).c_str());
      table->FieldAt(2)->AssignText("b");
    }
    ASSERT_TRUE(table->Close());
    ASSERT_TRUE(ReadShape(fs, kTable, &shape));
  }

  std::map<std::string, std::string> RunLine() {
    return {{"command", "\"small-to-big\""}, {"source", EncodeBytes("C:\\mem\\vm001.dbf")},
            {"target", EncodeBytes(kTable)}, {"started_at", "\"2026-12-11T03:15:00Z\""}};
  }

  // The image of record as the file holds it.
  std::vector<uint8_t> Image(uint32_t record) {
    std::string bytes = fs.Bytes(kTable);
    return std::vector<uint8_t>(bytes.begin() + long(shape.RecordOffset(record)),
                                bytes.begin() + long(shape.RecordOffset(record) + shape.recordLength));
  }

  // Puts text into field (1 A, 2 B) of record in the table's file.
  void Store(uint32_t record, unsigned field, const std::string& text) {
    std::string bytes = fs.Bytes(kTable);
    std::string cell = text + std::string(shape.widths[field - 1] - text.size(), ' ');
    bytes.replace(size_t(shape.FieldOffset(record, field)), cell.size(), cell);
    fs.Put(kTable, bytes);
  }

  // A journal of a run that wrote "xx" into B of records 1 and 2, both
  // journaled and written to the table, as a run leaves them.
  void Journaled() {
    Journal journal;
    ASSERT_TRUE(journal.Begin(&fs, kJournal, RunLine(), shape));
    for (uint32_t record : {1u, 2u}) {
      std::vector<uint8_t> image = Image(record);
      ASSERT_TRUE(journal.Changed(record, 2, &image[5], reinterpret_cast<const uint8_t*>("xx"), 2));
      image[5] = image[6] = 'x';
      ASSERT_TRUE(journal.Writing(record, image.data(), image.size()));
      Store(record, 2, "xx");
    }
    ASSERT_TRUE(journal.End(0, 2, false, ""));
  }

  MemoryFileSystem fs;
  TableShape shape;
};

// A field changed twice before its write is one line: its bytes before the
// first change, and those about to be written, from the record's image.
// The deletion flag is no field of the journal's: its change is refused.
TEST_F(JournalTest, AFieldChangedTwiceIsOneLineWithItsFirstBytesAndThoseWritten) {
  Journal journal;
  ASSERT_TRUE(journal.Begin(&fs, kJournal, RunLine(), shape));
  std::vector<uint8_t> image = Image(1);
  const uint8_t* b = reinterpret_cast<const uint8_t*>("b ");
  ASSERT_TRUE(journal.Changed(1, 2, b, reinterpret_cast<const uint8_t*>("x "), 2));
  ASSERT_TRUE(journal.Changed(1, 2, reinterpret_cast<const uint8_t*>("x "), reinterpret_cast<const uint8_t*>("y "), 2));
  EXPECT_FALSE(journal.Changed(1, 0, reinterpret_cast<const uint8_t*>(" "), reinterpret_cast<const uint8_t*>("*"), 1))
      << "the deletion flag's change was taken";
  image[5] = 'y';
  ASSERT_TRUE(journal.Writing(1, image.data(), image.size()));
  ASSERT_TRUE(journal.End(0, 1, false, ""));
  std::vector<std::string> lines = LinesOf(fs.Bytes(kJournal));
  ASSERT_EQ(lines.size(), 4u) << fs.Bytes(kJournal);
  EXPECT_EQ(lines[2], "{\"type\":\"field\",\"record\":1,\"field\":\"B\",\"offset\":" +
                          std::to_string(shape.FieldOffset(1, 2)) + ",\"before\":\"b \",\"after\":\"y \"}");
  EXPECT_EQ(lines[3], "{\"type\":\"end\",\"cancelled\":false,\"copies\":0,\"fields_written\":1,\"reason\":\"\",\"status\":0}");
}

// The disk fills while the journal grows: the line that does not fit is
// refused, and the end line still goes in, in the room kept for it; the
// journal reads back whole, ended, and holds no blanks after its end.
TEST_F(JournalTest, AJournalOnADiskThatFillsStillEndsWithItsEndLine) {
  Journal journal;
  fs.free = 100000;
  ASSERT_TRUE(journal.Begin(&fs, kJournal, RunLine(), shape));
  std::vector<uint8_t> image = Image(1);
  int written = 0;
  for (int n = 0; n < 100000 && journal.Changed(1, 2, &image[5], reinterpret_cast<const uint8_t*>("xx"), 2) &&
                  journal.Writing(1, image.data(), image.size());
       ++n)
    ++written;
  EXPECT_TRUE(journal.failed()) << "the disk never filled";
  EXPECT_GT(written, 100) << "the disk filled at once";
  ASSERT_TRUE(journal.End(5, uint32_t(written), false, "the disk is full")) << journal.error();
  JournalFile read;
  std::string why;
  ASSERT_TRUE(read.Read(fs, kJournal, &why)) << why;
  EXPECT_TRUE(read.end.present);
  EXPECT_EQ(read.end.status, 5);
  EXPECT_EQ(read.end.reason, "the disk is full");
  EXPECT_EQ(read.batches.size(), size_t(written));
  EXPECT_EQ(fs.Bytes(kJournal).back(), '\n') << "blanks were left after the end line";
}

// The reader refuses every line that is not of the journal's own form or
// does not fit its run line, each for its own reason.
TEST_F(JournalTest, TheReaderRefusesEachCraftedLineForItsOwnReason) {
  Journaled();
  const std::string good = fs.Bytes(kJournal);
  std::vector<std::string> lines = LinesOf(good);
  ASSERT_EQ(lines.size(), 6u) << good;
  const std::string field1 = lines[2];
  auto with = [&](const std::string& from, const std::string& to) {
    std::string line = field1;
    return line.replace(line.find(from), from.size(), to);
  };
  const struct {
    const char* what;
    std::string line;
    const char* reason;
  } cases[] = {
      {"a key given twice", with("\"field\":\"B\"", "\"field\":\"B\",\"field\":\"A\""),
       "is not one flat JSON object on a line of its own"},
      {"an offset that is a string", with("\"offset\":", "\"offset\":\"1\",\"x\":"),
       "gives no offset as a number"},
      {"a negative offset", with("\"offset\":", "\"offset\":-"), "gives no offset as a number"},
      {"a record that is a word", with("\"record\":1", "\"record\":true"), "names a record the run's table did not have"},
      {"bytes that are a number", with("\"after\":\"xx\"", "\"after\":12"), "gives bytes that are not the width of field B"},
      {"a code point beyond a byte", with("\"after\":\"xx\"", "\"after\":\"x\\u0100\""),
       "is not one flat JSON object on a line of its own"},
      {"a nested object", with("\"after\":\"xx\"", "\"after\":{\"x\":1}"), "is not one flat JSON object"},
      {"the field at another field's offset",
       with("\"offset\":" + std::to_string(shape.FieldOffset(1, 2)), "\"offset\":" + std::to_string(shape.FieldOffset(1, 1))),
       "gives offset"},
      {"a record the table never had", with("\"record\":1", "\"record\":9"), "names a record the run's table did not have"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> crafted = lines;
    crafted[2] = c.line;
    fs.Put(kJournal, Joined(crafted));
    JournalFile read;
    std::string why;
    EXPECT_FALSE(read.Read(fs, kJournal, &why)) << c.what;
    EXPECT_EQ(why.find("line 3 " + std::string(c.reason)), 0u) << c.what << ": expected \"line 3 " << c.reason
                                                                << "...\", got \"" << why << "\"";
  }
}

// Undo's plan puts back what the run wrote and nothing else: a field
// still holding what the run wrote, in a record whose other bytes are the
// run's; a record changed elsewhere is left, a field changed since is
// listed, and a journal none of whose records is the table's is refused.
TEST_F(JournalTest, UndosPlanPutsBackOnlyWhatTheRunWroteWhereTheRecordIsStillTheRuns) {
  Journaled();
  const struct {
    const char* what;
    std::function<void()> change;
    bool refused;
    size_t puts, changed, moved;
  } cases[] = {
      {"the table as the run left it", [] {}, false, 2, 0, 0},
      {"field B of record 2 changed since", [this] { Store(2, 2, "zz"); }, false, 1, 1, 0},
      {"record 1 changed elsewhere", [this] { Store(1, 1, "qq"); }, false, 1, 0, 1},
      {"every record the run changed is another", [this] { Store(1, 1, "qq"), Store(2, 1, "qq"); }, true, 0, 0, 0},
  };
  const std::string table = fs.Bytes(kTable);
  for (const auto& c : cases) {
    fs.Put(kTable, table);
    c.change();
    const std::string before = fs.Bytes(kTable);
    UndoRequest request;
    request.journal = kJournal;
    request.fs = &fs;
    Undo undo(request);
    ASSERT_TRUE(undo.Load()) << c.what << ": " << undo.outcome().refusal;
    EXPECT_EQ(!undo.Plan(), c.refused) << c.what << ": " << undo.outcome().refusal;
    EXPECT_EQ(undo.outcome().puts.size(), c.refused ? 0 : c.puts) << c.what;
    EXPECT_EQ(undo.outcome().changed.size(), c.changed) << c.what;
    EXPECT_EQ(undo.outcome().moved.size(), c.refused ? 0 : c.moved) << c.what;
    EXPECT_EQ(fs.Bytes(kTable), before) << c.what << ": the plan wrote";
  }
}

// The bytes read through it, of every file.
class CountingReads : public xb::FileSystemWrapper {
 public:
  using FileSystemWrapper::FileSystemWrapper;
  uint64_t bytes = 0;

 private:
  class File : public xb::FileWrapper {
   public:
    File(std::unique_ptr<xb::File> base, uint64_t* bytes) : FileWrapper(std::move(base)), bytes_(bytes) {}
    bool ReadAt(uint64_t offset, void* buffer, size_t n, size_t* got) override {
      bool read = FileWrapper::ReadAt(offset, buffer, n, got);
      *bytes_ += *got;
      return read;
    }

   private:
    uint64_t* bytes_;
  };
  std::unique_ptr<xb::File> WrapFile(std::unique_ptr<xb::File> file, const char*) override {
    return std::unique_ptr<xb::File>(new File(std::move(file), &bytes));
  }
};

// History reads what it shows: a journal of megabytes, ended or killed, is
// read at its two ends, a few kilobytes; only counting a killed run's
// fields reads it whole.
TEST_F(JournalTest, HistoryReadsALargeJournalAtItsEndsOnly) {
  Journal journal;
  ASSERT_TRUE(journal.Begin(&fs, kJournal, RunLine(), shape));
  std::vector<uint8_t> image = Image(1);
  const int kBatches = 20000;
  for (int n = 0; n < kBatches; ++n) {
    const char* after = n % 2 ? "xx" : "yy";
    ASSERT_TRUE(journal.Changed(1, 2, &image[5], reinterpret_cast<const uint8_t*>(after), 2));
    image[5] = image[6] = after[0];
    ASSERT_TRUE(journal.Writing(1, image.data(), image.size()));
  }
  const std::string killed = fs.Bytes(kJournal);
  ASSERT_TRUE(journal.End(0, kBatches, false, ""));
  ASSERT_GT(fs.Bytes(kJournal).size(), 2u << 20) << "not a large journal";
  const std::string folder = "C:\\mem\\vmconvert-journal";
  const struct {
    const char* what;
    bool killed, count;
    uint64_t most;  // bytes read at most
  } cases[] = {{"ended", false, false, 16 * 1024}, {"killed", true, false, 16 * 1024}, {"killed, counted", true, true, UINT64_MAX}};
  for (const auto& c : cases) {
    if (c.killed) fs.Put(kJournal, killed);
    CountingReads counting(&fs);
    std::vector<HistoryEntry> entries = ReadHistory(counting, folder, "", c.count);
    ASSERT_EQ(entries.size(), 1u) << c.what;
    const HistoryEntry& e = entries[0];
    EXPECT_EQ(e.unreadable, "") << c.what;
    EXPECT_EQ(e.end.present, !c.killed) << c.what;
    EXPECT_EQ(e.end.fieldsWritten, c.killed ? 0 : uint64_t(kBatches)) << c.what;
    EXPECT_EQ(e.counted, c.count) << c.what;
    EXPECT_EQ(e.fieldsJournaled, c.count ? uint64_t(kBatches) : 0) << c.what;
    EXPECT_LE(counting.bytes, c.most) << c.what << ": history read " << counting.bytes << " bytes";
    EXPECT_GE(counting.bytes, c.count ? uint64_t(killed.size()) : 0) << c.what << ": counted without reading it whole";
  }
}

}  // namespace
