#include "vmconvert/CompareCommand.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "commands/ExitStatus.h"
#include "commands/PathNames.h"
#include "engine/file_system.h"
#include "journal/JournalText.h"
#include "journal/TableShape.h"
#include "messages/Printable.h"
#include "run/TestHooks.h"
#include "run/Warnings.h"

namespace {

// Records read at once from each table.
const uint32_t kChunk = 256;

struct Table {
  std::string path;
  TableShape shape;
  std::unique_ptr<xb::File> file;
};

bool OpenTable(xb::FileSystem& fs, const std::string& given, Table* t) {
  t->path = FullPath(given.c_str());
  t->file = fs.OpenReadOnly(t->path.c_str());
  return t->file && ReadShape(fs, t->path, &t->shape);
}

// Records first to first + n - 1 of t into bytes; false when they cannot
// be read whole.
bool ReadRecords(Table& t, uint32_t first, uint32_t n, std::vector<uint8_t>* bytes) {
  bytes->resize(size_t(n) * t.shape.recordLength);
  size_t got = 0;
  return t.file->ReadAt(t.shape.RecordOffset(first), bytes->data(), bytes->size(), &got) && got == bytes->size();
}

void Say(bool json, uint32_t record, const std::string& field, const std::string& a, const std::string& b) {
  if (json)
    std::printf("{\"record\":%u,\"field\":%s,\"a\":%s,\"b\":%s}\n", unsigned(record), EncodeBytes(field).c_str(),
                EncodeBytes(a).c_str(), EncodeBytes(b).c_str());
  else
    std::printf("record %u %s: \"%s\" / \"%s\"\n", unsigned(record), Printable(field).c_str(), ShownBytes(a).c_str(),
                ShownBytes(b).c_str());
}

// Each field of the records in hand that differs, said; how many did.
uint32_t Differences(const TableShape& s, uint32_t record, const uint8_t* a, const uint8_t* b, bool json) {
  uint32_t found = 0;
  if (a[0] != b[0]) {
    Say(json, record, "(deleted)", std::string(1, char(a[0])), std::string(1, char(b[0])));
    ++found;
  }
  for (size_t f = 0; f < s.names.size(); ++f) {
    const uint8_t *x = a + s.offsets[f], *y = b + s.offsets[f];
    if (std::equal(x, x + s.widths[f], y)) continue;
    Say(json, record, s.names[f], std::string(reinterpret_cast<const char*>(x), s.widths[f]),
        std::string(reinterpret_cast<const char*>(y), s.widths[f]));
    ++found;
  }
  return found;
}

}  // namespace

int RunCompare(const Options& o) {
  xb::FileSystem& fs = *TestHooks::Files();
  Table a, b;
  for (const auto& t : {std::make_pair(&o.compareA, &a), std::make_pair(&o.compareB, &b)})
    if (!OpenTable(fs, *t.first, t.second)) {
      Warnings::PrintError("the table " + Printable(t.second->path) + " cannot be read as a table");
      return kNotOpened;
    }
  if (a.shape.fields != b.shape.fields || a.shape.headerLength != b.shape.headerLength) {
    Warnings::PrintError("the tables " + Printable(a.path) + " and " + Printable(b.path) +
                         " are not of one layout, so their records cannot be compared field by field");
    return kRefused;
  }
  if (!o.json) std::printf("compare: %s / %s\n", Printable(a.path).c_str(), Printable(b.path).c_str());
  uint32_t both = std::min(a.shape.records, b.shape.records), fields = 0, records = 0;
  std::vector<uint8_t> x, y;
  for (uint32_t first = 1; first <= both; first += kChunk) {
    uint32_t n = std::min(kChunk, both - first + 1);
    if (!ReadRecords(a, first, n, &x) || !ReadRecords(b, first, n, &y)) {
      Warnings::PrintError("records " + std::to_string(first) + " to " + std::to_string(first + n - 1) +
                           " cannot be read");
      return kNotOpened;
    }
    for (uint32_t i = 0; i < n; ++i) {
      size_t at = size_t(i) * a.shape.recordLength;
      uint32_t found = Differences(a.shape, first + i, &x[at], &y[at], o.json);
      fields += found;
      records += found > 0;
    }
  }
  if (o.json)
    std::printf("{\"a\":%s,\"b\":%s,\"records_compared\":%u,\"records_a\":%u,\"records_b\":%u,"
                "\"records_differing\":%u,\"fields_differing\":%u}\n",
                EncodeBytes(a.path).c_str(), EncodeBytes(b.path).c_str(), unsigned(both), unsigned(a.shape.records),
                unsigned(b.shape.records), unsigned(records), unsigned(fields));
  else
    std::printf("records compared: %u (%u in the first, %u in the second)\nrecords that differ: %u\n"
                "fields that differ: %u\n",
                unsigned(both), unsigned(a.shape.records), unsigned(b.shape.records), unsigned(records),
                unsigned(fields));
  return fields > 0 || a.shape.records != b.shape.records ? kDiffers : kDone;
}
