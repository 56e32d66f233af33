#include "engine/dbf_format.h"

#include <cstring>

namespace xb {
namespace dbf {

namespace {

char Upper(char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; }

// A binary field of the wrong width cannot be read as its type.
bool FitsItsType(const Descriptor& f) {
  switch (f.type) {
    case 'I': return f.width == 4;
    case 'Y': case 'T': return f.width == 8;
    default: return true;
  }
}

}  // namespace

Header ReadHeader(const uint8_t* bytes) {
  Header h;
  h.version = bytes[kVersion];
  h.count = Get32(&bytes[kRecordCount]);
  h.headerLength = Get16(&bytes[kHeaderLength]);
  h.recordLength = Get16(&bytes[kRecordLength]);
  return h;
}

bool ReadDescriptors(const uint8_t* area, size_t size, uint32_t recordLength, std::vector<Descriptor>* out,
                     bool needTerminator) {
  std::vector<Descriptor> fields;
  uint32_t offset = 1;
  size_t at = 0;
  bool terminated = false;
  for (; at < size; at += kDescriptorSize) {
    const uint8_t* d = area + at;
    if (d[0] == kTerminator) {
      terminated = true;
      break;
    }
    if (at + kDescriptorSize > size) break;
    Descriptor f;
    std::memcpy(f.name, d + kDescName, kDescNameSize);
    f.name[kDescNameSize] = '\0';
    f.type = char(d[kDescType]);
    f.width = d[kDescWidth];
    f.decimals = d[kDescDecimals];
    if (f.type == 'C') {
      f.width += f.decimals * 256u;
      f.decimals = 0;
    }
    if (f.name[0] == '\0' || f.width == 0 || f.width > (f.type == 'C' ? kMaxTextWidth : kMaxWidth)) return false;
    if (!FitsItsType(f)) return false;
    if (fields.size() >= kMaxFields) return false;
    fields.push_back(f);
    offset += f.width;
  }
  if (fields.empty() || recordLength != offset) return false;
  if (!terminated && (needTerminator || fields.size() * kDescriptorSize + 1 != size)) return false;
  *out = std::move(fields);
  return true;
}

std::vector<uint8_t> EmptyTable(const std::vector<Descriptor>& fields, Date today) {
  uint32_t recordLength = 1;
  for (const Descriptor& f : fields) recordLength += f.width;
  size_t headerLength = kHeaderSize + fields.size() * kDescriptorSize + 1;
  std::vector<uint8_t> image(headerLength + 1, 0);
  image[kVersion] = kVersionPlain;
  StampDate(image.data(), today);
  Put16(&image[kHeaderLength], uint16_t(headerLength));
  Put16(&image[kRecordLength], uint16_t(recordLength));
  for (size_t i = 0; i < fields.size(); ++i) {
    uint8_t* d = &image[kHeaderSize + i * kDescriptorSize];
    const Descriptor& f = fields[i];
    for (size_t k = 0; f.name[k] && k < kDescNameSize; ++k) d[kDescName + k] = uint8_t(Upper(f.name[k]));
    d[kDescType] = uint8_t(f.type);
    d[kDescWidth] = uint8_t(f.width & 0xFF);
    d[kDescDecimals] = uint8_t(f.type == 'C' ? f.width >> 8 : IsNumericType(f.type) ? f.decimals : 0);
  }
  image[headerLength - 1] = kTerminator;
  image[headerLength] = kEndMarker;
  return image;
}

bool StampDate(uint8_t* header, Date date) {
  const uint8_t stamp[3] = {uint8_t(date.year - 1900), uint8_t(date.month), uint8_t(date.day)};
  if (std::memcmp(&header[kDateYear], stamp, sizeof stamp) == 0) return false;
  std::memcpy(&header[kDateYear], stamp, sizeof stamp);
  return true;
}

}  // namespace dbf
}  // namespace xb
