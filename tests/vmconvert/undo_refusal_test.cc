// Undo obeys no journal line it has not checked: a line that does not fit
// the run's own line and the table as it is now refuses the whole journal
// (status 6), names the line, and nothing is written or created.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "tests/support/temp_dir.h"
#include "tests/vmconvert/vmconvert_run.h"
#include "tools/vmtables.h"

namespace {

using vmtables::Layout;
using vmtables::Variation;
using Bytes = std::vector<unsigned char>;

// bytes as the journal keeps them: a JSON string, every byte that is not
// printable ASCII as \u00XX.
std::string Encoded(const std::string& bytes) {
  std::string out = "\"";
  for (unsigned char c : bytes) {
    char escaped[8];
    if (c == '"' || c == '\\') {
      out += '\\';
      out += char(c);
    } else if (c >= 0x20 && c < 0x7F) {
      out += char(c);
    } else {
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      out += escaped;
    }
  }
  return out + "\"";
}

std::string At(const Bytes& table, uint64_t offset, size_t n) {
  return offset + n <= table.size() ? std::string(table.begin() + long(offset), table.begin() + long(offset + n))
                                    : std::string();
}

// A field line with its offset as written (a raw JSON value; "" for none).
std::string FieldLine(const std::string& offset, const std::string& before, const std::string& after) {
  return "{\"type\":\"field\",\"record\":1,\"field\":\"T02\"" + (offset.empty() ? "" : ",\"offset\":" + offset) +
         ",\"before\":" + Encoded(before) + ",\"after\":" + Encoded(after) + "}";
}

// What a crafted line may use: the converted table's bytes, and where the
// run's own first field line (record 1, T02) says that field lies.
struct Converted {
  Bytes table;
  uint64_t offset;
  size_t width;
};

class UndoRefusalTest : public VmconvertTest {
 protected:
  // Fresh tables and a run over them with its journal at journal.
  Converted RunOnce(const std::string& journal) {
    EXPECT_TRUE(vmtables::MakeVmTable(live, Layout::kSmall, 10));
    EXPECT_TRUE(vmtables::MakeVmTable(big, Layout::kBig, 10, Variation{1, 0}));
    WriteBytes(dir.File("notes.txt"), {'m', 'i', 'n', 'e'});
    DeleteFileA(journal.c_str());
    Result r = Vmconvert(Paths() + " --swap --journal \"" + journal + "\"");
    EXPECT_EQ(r.status, 0) << r.err;
    nlohmann::json first;
    for (const std::string& line : Lines(journal)) {
      first = nlohmann::json::parse(line, nullptr, false);
      if (first.value("type", "") == "field") break;
    }
    EXPECT_EQ(first.value("field", ""), "T02") << first.dump();
    return Converted{ReadBytes(big), first.value("offset", uint64_t(0)), first.value("before", std::string()).size()};
  }
};

// Each crafted line is put inside record 1's group, just after its record
// line, where a field line of its own would stand: so each is refused by
// the check meant for it, which the reason names.
TEST_F(UndoRefusalTest, ACraftedLineRefusesTheWholeJournalForItsOwnReasonAndNothingIsWritten) {
  std::string notes = dir.File("notes.txt");
  const struct {
    const char* what;
    std::function<std::string(const Converted&)> line;
    std::function<std::string(const Converted&)> reason;
  } cases[] = {
      {"a field line at the header's record count",
       [](const Converted& r) { return FieldLine("4", "\xff\xff\xff\xff", At(r.table, 4, 4)); },
       [](const Converted& r) { return "gives offset 4, but field T02 of record 1 lies at " + std::to_string(r.offset); }},
      {"a field line at offset 0", [](const Converted& r) { return FieldLine("0", "HACKED", At(r.table, 0, 6)); },
       [](const Converted& r) { return "gives offset 0, but field T02 of record 1 lies at " + std::to_string(r.offset); }},
      {"a field line 10 MiB past the end",
       [](const Converted& r) { return FieldLine(std::to_string(r.table.size() + (10u << 20)), "HACKED", ""); },
       [](const Converted& r) {
         return "gives offset " + std::to_string(r.table.size() + (10u << 20)) + ", but field T02 of record 1";
       }},
      {"a field line without an offset", [](const Converted& r) { return FieldLine("", "HACKED", At(r.table, 0, 6)); },
       [](const Converted&) { return std::string("gives no offset as a number"); }},
      {"a field line with a word for its offset",
       [](const Converted& r) { return FieldLine("\"abc\"", "HACKED", At(r.table, 0, 6)); },
       [](const Converted&) { return std::string("gives no offset as a number"); }},
      {"a field line wider than its field",
       [](const Converted& r) {
         return FieldLine(std::to_string(r.offset), std::string(r.width + 5, 'X'), At(r.table, r.offset, r.width + 5));
       },
       [](const Converted&) { return std::string("gives bytes that are not the width of field T02"); }},
      {"a field line of record 2, where record 2's field lies",
       [](const Converted& r) {
         uint64_t length = r.table[10] | r.table[11] << 8;
         std::string line =
             FieldLine(std::to_string(r.offset + length), std::string(r.width, 'Y'), std::string(r.width, 'Z'));
         return line.replace(line.find("\"record\":1"), 10, "\"record\":2");
       },
       [](const Converted&) { return std::string("is not preceded by its record's record line"); }},
      {"a field line of a field the table lacks",
       [](const Converted& r) {
         std::string line = FieldLine(std::to_string(r.offset), std::string(r.width, 'Y'), std::string(r.width, 'Z'));
         return line.replace(line.find("T02"), 3, "T00");
       },
       [](const Converted&) { return std::string("names a field the run's table does not have (\"T00\")"); }},
      {"a field line behind a prefix",
       [](const Converted& r) {
         return "garbage " + FieldLine(std::to_string(r.offset), std::string(r.width, 'Y'), At(r.table, r.offset, r.width));
       },
       [](const Converted&) { return std::string("is not one flat JSON object on a line of its own"); }},
      {"a copy line naming a file of the operator's",
       [&](const Converted&) { return "{\"type\":\"copy\",\"from\":" + Encoded(notes) + ",\"to\":" + Encoded(live) + "}"; },
       [&](const Converted&) { return "names " + notes + ", which is none of the swap's files of " + big; }},
      {"a kept line naming a file of the operator's",
       [&](const Converted&) { return "{\"type\":\"kept\",\"from\":" + Encoded(live) + ",\"to\":" + Encoded(notes) + "}"; },
       [&](const Converted&) { return "names " + notes + ", which is none of the swap's files of " + big; }},
      {"a line of a type undo does not know", [](const Converted&) { return std::string("{\"type\":\"erase\"}"); },
       [](const Converted&) { return std::string("is of a type undo does not know (\"erase\")"); }},
  };
  std::string journal = dir.File("run.jsonl");
  for (const auto& c : cases) {
    Converted run = RunOnce(journal);
    std::vector<std::string> lines = Lines(journal);
    ASSERT_GE(lines.size(), 3u);
    ASSERT_NE(lines[1].find("\"type\":\"record\",\"record\":         1,"), std::string::npos) << lines[1];
    lines.insert(lines.begin() + 2, c.line(run));  // inside record 1's group
    WriteLines(journal, lines);
    auto before = Snapshot(dir.path());
    Result undo = Vmconvert("undo \"" + journal + "\"");
    EXPECT_EQ(undo.status, 6) << c.what << ": " << undo.out << undo.err;
    EXPECT_TRUE(Has(undo.err, "line 3 " + c.reason(run))) << c.what << ": expected \"line 3 " << c.reason(run)
                                                          << "\", got " << undo.err;
    EXPECT_TRUE(Snapshot(dir.path()) == before) << c.what << ": a file was written, created or removed";
  }
}

}  // namespace
