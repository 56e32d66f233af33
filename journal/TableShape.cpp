#include "journal/TableShape.h"

#include <cstdlib>
#include <cstring>
#include <memory>

#include "engine/dbf_format.h"
#include "engine/file_system.h"

namespace {

const uint64_t kPrime = 0x100000001b3ull;  // FNV's 64-bit prime

// FNV-1a's step over eight bytes at a time, each product folded so that
// its high bits reach the low ones; the bytes left over one by one.
uint64_t Mix(uint64_t hash, const uint8_t* bytes, size_t n) {
  for (; n >= 8; bytes += 8, n -= 8) {
    uint64_t word;
    std::memcpy(&word, bytes, sizeof word);
    hash = (hash ^ word) * kPrime;
    hash ^= hash >> 32;
  }
  for (; n > 0; ++bytes, --n) hash = (hash ^ *bytes) * kPrime;
  return hash;
}

// A whole number of at most 8 digits at text[*at], up to stop.
bool TakeNumber(const std::string& text, size_t* at, char stop, uint32_t* out) {
  size_t end = text.find(stop, *at);
  if (end == std::string::npos) end = text.size();
  if (end == *at || end - *at > 8) return false;
  uint32_t n = 0;
  for (size_t i = *at; i < end; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    n = n * 10 + uint32_t(text[i] - '0');
  }
  *out = n;
  *at = end;
  return true;
}

}  // namespace

unsigned TableShape::FieldNumber(const std::string& name) const {
  for (size_t i = 0; i < names.size(); ++i)
    if (names[i] == name) return unsigned(i + 1);
  return 0;
}

bool ReadShape(xb::FileSystem& fs, const std::string& path, TableShape* shape) {
  std::unique_ptr<xb::File> file = fs.OpenReadOnly(path.c_str());
  uint64_t size = 0;
  uint8_t head[xb::dbf::kHeaderSize];
  size_t got = 0;
  if (!file || !file->Size(&size) || !file->ReadAt(0, head, sizeof head, &got) || got != sizeof head) return false;
  xb::dbf::Header h = xb::dbf::ReadHeader(head);
  if (h.headerLength <= xb::dbf::kHeaderSize || h.headerLength > size) return false;
  std::vector<uint8_t> area(h.headerLength - xb::dbf::kHeaderSize);
  std::vector<xb::dbf::Descriptor> fields;
  if (!file->ReadAt(xb::dbf::kHeaderSize, area.data(), area.size(), &got) || got != area.size() ||
      !xb::dbf::ReadDescriptors(area.data(), area.size(), h.recordLength, &fields))
    return false;
  *shape = TableShape();
  shape->bytes = int64_t(size);
  shape->records = h.count;
  shape->headerLength = h.headerLength;
  shape->recordLength = h.recordLength;
  uint32_t offset = 1;
  for (const xb::dbf::Descriptor& f : fields) {
    shape->fields += (shape->fields.empty() ? "" : ",") + std::string(f.name) + ":" + f.type + ":" +
                     std::to_string(offset) + ":" + std::to_string(f.width);
    shape->names.push_back(f.name);
    shape->offsets.push_back(offset);
    shape->widths.push_back(f.width);
    offset += f.width;
  }
  return true;
}

bool ParseFields(const std::string& fields, uint32_t recordLength, TableShape* shape) {
  shape->names.clear();
  shape->offsets.clear();
  shape->widths.clear();
  uint32_t next = 1;  // the deletion flag comes first
  for (size_t at = 0; at < fields.size(); ++at) {
    size_t colon = fields.find(':', at);
    if (colon == std::string::npos || colon == at || colon - at > 11 || colon + 2 >= fields.size() ||
        fields[colon + 2] != ':')
      return false;
    uint32_t offset = 0, width = 0;
    size_t p = colon + 3;
    if (!TakeNumber(fields, &p, ':', &offset) || p >= fields.size() || (++p, !TakeNumber(fields, &p, ',', &width)))
      return false;
    if (offset != next || width == 0 || uint64_t(offset) + width > recordLength) return false;
    shape->names.push_back(fields.substr(at, colon - at));
    shape->offsets.push_back(offset);
    shape->widths.push_back(width);
    next = offset + width;
    at = p;  // at the comma, or the end
  }
  shape->fields = fields;
  shape->recordLength = recordLength;
  return !shape->names.empty();
}

uint64_t RecordIdentity(const uint8_t* image, const TableShape& shape, const std::vector<uint8_t>& excluded) {
  uint64_t hash = Mix(0xcbf29ce484222325ull, image, 1);
  for (size_t i = 0; i < shape.names.size(); ++i)
    if (i + 1 >= excluded.size() || !excluded[i + 1]) hash = Mix(hash, image + shape.offsets[i], shape.widths[i]);
  return hash;
}
