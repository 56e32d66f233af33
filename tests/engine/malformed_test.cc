// Every way a table file can be wrong: each either opens with a stated
// reading or fails to open, and none is changed by being opened, walked,
// read and closed.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>

#include "engine/dbf_format.h"
#include "engine/table.h"
#include "tests/support/fault_file_system.h"
#include "tests/support/temp_dir.h"

namespace {

using Bytes = std::vector<unsigned char>;

const FIELD4INFO kTwo[] = {{"CODE", 'C', 4, 0, 0}, {"QTY", 'N', 5, 0, 0}, {nullptr, 0, 0, 0, 0}};
// Header 32 + 2 descriptors + terminator = 97; record 1 + 4 + 5 = 10.
constexpr size_t kHeaderLength = 97;
constexpr size_t kRecordLength = 10;

struct Case {
  const char* what;
  std::function<void(Bytes&)> damage;
  bool opens;
  uint32_t records;  // when it opens
  unsigned fields;
};

class MalformedTest : public ::testing::TestWithParam<Case> {
 protected:
  Bytes GoodTable() {
    xb::Context context;
    context.setFileSystem(&fs);
    std::unique_ptr<xb::Table> t = xb::Table::Create(context, path.c_str(), kTwo);
    for (int i = 0; i < 3; ++i) {
      t->Append();
      t->FieldAt(1)->AssignText("abcd");
      t->FieldAt(2)->AssignDouble(i);
    }
    t->Close();
    return ReadBytes(path);
  }

  TempDir dir;
  FaultFileSystem fs;
  std::string path = dir.File("t.dbf");
};

TEST_P(MalformedTest, OpensAsStatedOrNotAtAllAndStaysUnchanged) {
  const Case& c = GetParam();
  Bytes bytes = GoodTable();
  c.damage(bytes);
  WriteBytes(path, bytes);

  xb::Context context;
  context.setFileSystem(&fs);
  std::unique_ptr<xb::Table> t = xb::Table::Open(context, path.c_str());
  ASSERT_EQ(t != nullptr, c.opens) << c.what;
  if (t) {
    EXPECT_EQ(t->RecCount(), c.records) << c.what;
    EXPECT_EQ(t->FieldCount(), c.fields) << c.what;
    char buf[300];
    if (c.records > 0) {
      t->Go(c.records);
      t->FieldAt(1)->CopyText(buf, sizeof buf);
      EXPECT_STREQ(buf, "abcd") << c.what << ": records start where the header length says";
      EXPECT_EQ(t->FieldAt(2)->AsInt(), int(c.records) - 1) << c.what;
    }
    for (t->Top();; ) {
      for (unsigned f = 1; f <= t->FieldCount(); ++f) {
        t->FieldAt(int(f))->CopyText(buf, sizeof buf);
        (void)t->FieldAt(int(f))->AsInt();
      }
      if (!t->Skip(1)) break;
    }
    t->Close();
  }
  EXPECT_EQ(ReadBytes(path), bytes) << c.what << ": reading changed the file";
}

void Set16(Bytes& b, size_t at, unsigned v) { xb::dbf::Put16(&b[at], uint16_t(v)); }

// Puts n bytes of fill right after the terminator, inside the header.
void PadHeader(Bytes& b, size_t n, uint8_t fill) {
  b.insert(b.begin() + kHeaderLength, n, fill);
  Set16(b, 8, unsigned(kHeaderLength + n));
}

// The same two fields and records in dBASE 7's own form.
Bytes Dbase7Form(const Bytes& b) {
  Bytes out(b.begin(), b.begin() + 32);
  out[0] = 0x04;
  out.resize(68, 0);  // the language driver's name and reserved bytes
  const struct { const char* name; char type; uint8_t width; } fields[] = {{"CODE", 'C', 4}, {"QTY", 'N', 5}};
  for (const auto& f : fields) {
    Bytes d(48, 0);
    for (size_t i = 0; f.name[i]; ++i) d[i] = uint8_t(f.name[i]);
    d[32] = uint8_t(f.type);
    d[33] = f.width;
    out.insert(out.end(), d.begin(), d.end());
  }
  out.push_back(0x0D);
  Set16(out, 8, unsigned(out.size()));
  out.insert(out.end(), b.begin() + kHeaderLength, b.end());
  return out;
}

Case VersionCase(uint8_t version, bool opens) {
  static char names[256][40];
  char* name = names[version];
  std::snprintf(name, sizeof names[0], "version byte 0x%02X", version);
  return {name, [version](Bytes& b) { b[0] = version; }, opens, opens ? 3u : 0u, opens ? 2u : 0u};
}

const Case kCases[] = {
    {"intact", [](Bytes&) {}, true, 3, 2},
    {"zero bytes", [](Bytes& b) { b.clear(); }, false, 0, 0},
    {"truncated header", [](Bytes& b) { b.resize(20); }, false, 0, 0},
    {"truncated descriptors", [](Bytes& b) { b.resize(60); }, false, 0, 0},
    {"not a table", [](Bytes& b) { for (size_t i = 0; i < b.size(); ++i) b[i] = "Hello, world\n"[i % 13]; }, false, 0, 0},
    {"unknown version byte", [](Bytes& b) { b[0] = 0x00; }, false, 0, 0},
    {"memo version byte", [](Bytes& b) { b[0] = 0x83; }, true, 3, 2},
    {"header length too small", [](Bytes& b) { Set16(b, 8, 64); }, false, 0, 0},
    {"header length past the file", [](Bytes& b) { Set16(b, 8, 60000); }, false, 0, 0},
    {"header length inside the descriptors", [](Bytes& b) { Set16(b, 8, 65); }, false, 0, 0},
    {"record length too short", [](Bytes& b) { Set16(b, 10, 9); }, false, 0, 0},
    {"record length too long", [](Bytes& b) { Set16(b, 10, 11); }, false, 0, 0},
    {"record length zero", [](Bytes& b) { Set16(b, 10, 0); }, false, 0, 0},
    {"count larger than the file holds: the records it does hold",
     [](Bytes& b) { xb::dbf::Put32(&b[4], 1000000); }, true, 3, 2},
    {"count of 0xFFFFFFFF", [](Bytes& b) { xb::dbf::Put32(&b[4], 0xFFFFFFFFu); }, true, 3, 2},
    {"last record cut short: only whole records count",
     [](Bytes& b) { b.resize(kHeaderLength + 2 * kRecordLength + 4); }, true, 2, 2},
    {"count smaller than the file holds: the header's count",
     [](Bytes& b) { xb::dbf::Put32(&b[4], 1); }, true, 1, 2},
    {"terminator missing where the header ends", [](Bytes& b) { b[96] = ' '; }, true, 3, 2},
    {"end marker missing", [](Bytes& b) { b.pop_back(); }, true, 3, 2},
    {"end marker wrong", [](Bytes& b) { b.back() = 'x'; }, true, 3, 2},
    {"11-byte field name without NUL",
     [](Bytes& b) { for (int i = 0; i < 11; ++i) b[32 + i] = uint8_t('A' + i); }, true, 3, 2},
    {"empty field name", [](Bytes& b) { b[32] = 0; }, false, 0, 0},
    {"zero fields", [](Bytes& b) { b[32] = 0x0D; Set16(b, 8, 33); Set16(b, 10, 1); }, false, 0, 0},
    {"field width 0", [](Bytes& b) { b[32 + 16] = 0; }, false, 0, 0},
    {"N field width 255", [](Bytes& b) { b[64 + 16] = 255; Set16(b, 10, 1 + 4 + 255); }, false, 0, 0},
    {"a wide C field (width byte and decimal count) whose width overruns the record",
     [](Bytes& b) { b[32 + 17] = 1; }, false, 0, 0},
    {"a binary field of the wrong width: I of 5", [](Bytes& b) { b[64 + 11] = 'I'; }, false, 0, 0},
    {"a binary field of the wrong width: T of 5", [](Bytes& b) { b[0] = 0x30; b[64 + 11] = 'T'; }, false, 0, 0},
    {"unknown field type reads as text", [](Bytes& b) { b[32 + 11] = 'Q'; }, true, 3, 2},
    {"no records at all", [](Bytes& b) { b.resize(kHeaderLength); xb::dbf::Put32(&b[4], 0); }, true, 0, 2},
    {"terminator and a 0x00 (the older 32n+34 form)", [](Bytes& b) { PadHeader(b, 1, 0x00); }, true, 3, 2},
    {"terminator and padding up to the header length", [](Bytes& b) { PadHeader(b, 31, ' '); }, true, 3, 2},
    {"Visual FoxPro: terminator and the 263-byte backlink",
     [](Bytes& b) { b[0] = 0x30; PadHeader(b, 263, 0x00); }, true, 3, 2},
    {"no terminator where one is due, padding after it",
     [](Bytes& b) { PadHeader(b, 1, 0x00); b[96] = ' '; }, false, 0, 0},
    {"0x04 in the dBASE III layout without its terminator",
     [](Bytes& b) { b[0] = 0x04; b[96] = ' '; }, false, 0, 0},
    {"0x04 in its own dBASE 7 form: 68-byte header, 48-byte descriptors",
     [](Bytes& b) { b = Dbase7Form(b); }, false, 0, 0},
    {"a terminator inside a descriptor is no terminator",
     [](Bytes& b) { b[64 + 5] = 0x0D; PadHeader(b, 1, 0x00); b[96] = ' '; }, false, 0, 0},
};

const Case kVersions[] = {
    VersionCase(0x03, true), VersionCase(0x83, true), VersionCase(0x8B, true), VersionCase(0x43, true),
    VersionCase(0x63, true), VersionCase(0xCB, true), VersionCase(0x30, true), VersionCase(0x31, true),
    VersionCase(0x32, true), VersionCase(0xF5, true), VersionCase(0xFB, true),
    VersionCase(0x04, true),
    VersionCase(0x02, false), VersionCase(0x8C, false), VersionCase(0x0B, false),
    VersionCase(0x13, false), VersionCase(0x7B, false), VersionCase(0xFF, false),
};

INSTANTIATE_TEST_SUITE_P(Files, MalformedTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& info) {
                           return "case" + std::to_string(info.index);
                         });
INSTANTIATE_TEST_SUITE_P(Versions, MalformedTest, ::testing::ValuesIn(kVersions),
                         [](const ::testing::TestParamInfo<Case>& info) {
                           return "version" + std::to_string(info.index);
                         });

}  // namespace
