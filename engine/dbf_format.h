// Byte layout of a dBASE III PLUS table file, shared by reader and writer.
//
// File    = header, field descriptors, terminator, records, end marker.
// Header (32 bytes):
//   0      version byte (low three bits 3 for dBASE III and later; 0x83 with memo)
//   1..3   date of last update: year - 1900, month, day
//   4..7   record count, unsigned 32-bit little endian
//   8..9   header length in bytes (where the first record starts), 16-bit LE
//   10..11 record length in bytes, deletion flag included, 16-bit LE
//   12..31 reserved, zero
// Field descriptor (32 bytes each, from offset 32):
//   0..10  name, ASCII, NUL-padded (all 11 bytes may be used)
//   11     type letter: C N F D L M ...
//   12..15 reserved (in-memory address for some writers)
//   16     width in bytes (1..254)
//   17     decimal count
//   18..31 reserved
// Terminator: one byte 0x0D after the last descriptor.
// Record: one deletion flag byte (' ' live, '*' deleted), then each field's
//   bytes in descriptor order, as text.
// End marker: 0x1A after the last record.
#ifndef ENGINE_DBF_FORMAT_H_
#define ENGINE_DBF_FORMAT_H_

#include <cstddef>
#include <cstdint>

namespace xb {
namespace dbf {

constexpr size_t kHeaderSize = 32;
constexpr size_t kVersion = 0;
constexpr size_t kDateYear = 1;
constexpr size_t kDateMonth = 2;
constexpr size_t kDateDay = 3;
constexpr size_t kRecordCount = 4;
constexpr size_t kHeaderLength = 8;
constexpr size_t kRecordLength = 10;

constexpr size_t kDescriptorSize = 32;
constexpr size_t kDescName = 0;
constexpr size_t kDescNameSize = 11;
constexpr size_t kDescType = 11;
constexpr size_t kDescWidth = 16;
constexpr size_t kDescDecimals = 17;

constexpr uint8_t kTerminator = 0x0D;
constexpr uint8_t kEndMarker = 0x1A;
constexpr uint8_t kLiveFlag = ' ';
constexpr uint8_t kDeletedFlag = '*';
constexpr uint8_t kVersionPlain = 0x03;
constexpr uint8_t kVersionMemo = 0x83;

constexpr unsigned kMaxWidth = 254;
constexpr unsigned kMaxFields = 1024;  // far above any real table; bounds a bad header

inline uint16_t Get16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
inline uint32_t Get32(const uint8_t* p) {
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
inline void Put16(uint8_t* p, uint16_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}
inline void Put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}

// True for a version byte this engine reads: dBASE III and its relatives
// with or without memo (0x03, 0x83, 0x8B, 0xCB ...).
inline bool IsKnownVersion(uint8_t v) { return (v & 0x07) == 0x03; }

inline bool IsNumericType(char type) { return type == 'N' || type == 'F'; }

}  // namespace dbf
}  // namespace xb

#endif  // ENGINE_DBF_FORMAT_H_
