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

TEST_F(UndoRefusalTest, ACraftedLineRefusesTheWholeJournalAndNothingIsWritten) {
  std::string notes = dir.File("notes.txt");
  const struct {
    const char* what;
    std::function<std::string(const Converted&)> line;
  } cases[] = {
      {"a field line at the header's record count",
       [](const Converted& r) { return FieldLine("4", "\xff\xff\xff\xff", At(r.table, 4, 4)); }},
      {"a field line at offset 0", [](const Converted& r) { return FieldLine("0", "HACKED", At(r.table, 0, 6)); }},
      {"a field line 10 MiB past the end",
       [](const Converted& r) { return FieldLine(std::to_string(r.table.size() + (10u << 20)), "HACKED", ""); }},
      {"a field line without an offset", [](const Converted& r) { return FieldLine("", "HACKED", At(r.table, 0, 6)); }},
      {"a field line with a word for its offset",
       [](const Converted& r) { return FieldLine("\"abc\"", "HACKED", At(r.table, 0, 6)); }},
      {"a field line wider than its field",
       [](const Converted& r) {
         return FieldLine(std::to_string(r.offset), std::string(r.width + 5, 'X'),
                          At(r.table, r.offset, r.width + 5));
       }},
      {"a field line behind a prefix",
       [](const Converted& r) {
         return "garbage " + FieldLine(std::to_string(r.offset), std::string(r.width, 'Y'),
                                       At(r.table, r.offset, r.width));
       }},
      {"a copy line naming a file of the operator's",
       [&](const Converted&) { return "{\"type\":\"copy\",\"from\":" + Encoded(notes) + ",\"to\":" + Encoded(live) + "}"; }},
      {"a kept line naming a file of the operator's",
       [&](const Converted&) { return "{\"type\":\"kept\",\"from\":" + Encoded(live) + ",\"to\":" + Encoded(notes) + "}"; }},
      {"a line of a type undo does not know", [](const Converted&) { return std::string("{\"type\":\"erase\"}"); }},
  };
  std::string journal = dir.File("run.jsonl");
  for (const auto& c : cases) {
    Converted run = RunOnce(journal);
    std::vector<std::string> lines = Lines(journal);
    ASSERT_GE(lines.size(), 3u);
    lines.insert(lines.end() - 1, c.line(run));  // just before the end line
    WriteLines(journal, lines);
    auto before = Snapshot(dir.path());
    Result undo = Vmconvert("undo \"" + journal + "\"");
    EXPECT_EQ(undo.status, 6) << c.what << ": " << undo.out << undo.err;
    EXPECT_TRUE(Has(undo.err, "line " + std::to_string(lines.size() - 1))) << c.what << ": " << undo.err;
    EXPECT_TRUE(Snapshot(dir.path()) == before) << c.what << ": a file was written, created or removed";
  }
}

}  // namespace
