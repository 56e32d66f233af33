// Byte layout of a dBASE III PLUS table file, shared by reader and writer.
//
// File    = header, field descriptors, terminator, records, end marker.
// Header (32 bytes):
//   0      version byte (see IsKnownVersion)
//   1..3   date of last update: year - 1900, month, day
//   4..7   record count, unsigned 32-bit little endian
//   8..9   header length in bytes (where the first record starts), 16-bit LE
//   10..11 record length in bytes, deletion flag included, 16-bit LE
//   12..31 reserved, zero
// Field descriptor (32 bytes each, from offset 32):
//   0..10  name, ASCII, NUL-padded (all 11 bytes may be used)
//   11     type letter: C N F D L M ...
//   12..15 reserved (in-memory address for some writers)
//   16     width in bytes (1..254); for a C field the low byte of its width
//   17     decimal count; for a C field the high byte of its width (the
//          wide character fields of 1990s xBase writers: C(300) is 44, 1)
//   18..31 reserved
// Terminator: one byte 0x0D after the last descriptor, at a descriptor
//   boundary. Anything between it and the header length (a 0x00 of the
//   older 32n+34 form, the 263-byte backlink of Visual FoxPro tables, other
//   padding) belongs to the header: records start at the header length.
// Record: one deletion flag byte (' ' live, '*' deleted), then each field's
//   bytes in descriptor order, as text.
// End marker: 0x1A after the last record.
#ifndef ENGINE_DBF_FORMAT_H_
#define ENGINE_DBF_FORMAT_H_

#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/file_system.h"

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

constexpr unsigned kMaxWidth = 254;         // of any field but C
constexpr unsigned kMaxTextWidth = 0xFFFE;  // of a C field: a record is at most 0xFFFF bytes
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

// True for a version byte whose table has the dBASE III layout above
// (32-byte descriptors, records of a flag and the fields' bytes):
//   0x03 FoxBASE+ / dBASE III PLUS and later, no memo; 0x83 with memo
//   0x8B dBASE IV with memo
//   0x43, 0x63 dBASE IV SQL table and system files, no memo; 0xCB with memo
//   0x30, 0x31, 0x32 Visual FoxPro (plain, autoincrement, varchar)
//   0xF5 FoxPro 2.x with memo; 0xFB FoxBASE
// 0x04 is dBASE level 7, whose own form has a 68-byte header and 48-byte
// descriptors; other writers also use it on tables of the dBASE III layout
// above. Such a table opens only when it has that layout whole: 32-byte
// descriptors, the terminator after them, and widths that add up to the
// record length (IsDbase3Only). Others (0x02 FoxBASE, 0x8C dBASE 7 with
// memo, anything unknown) are refused.
inline bool IsKnownVersion(uint8_t v) {
  switch (v) {
    case 0x03: case 0x83: case 0x8B: case 0x43: case 0x63: case 0xCB:
    case 0x30: case 0x31: case 0x32: case 0xF5: case 0xFB: case 0x04:
      return true;
    default:
      return false;
  }
}

// True for a version byte whose own form is not the dBASE III layout, so
// that a table of it opens only with that layout whole (the terminator
// present where the descriptors end).
inline bool IsDbase3Only(uint8_t v) { return v == 0x04; }

inline bool IsNumericType(char type) { return type == 'N' || type == 'F'; }

// True for a field whose bytes are binary, not text, in the Visual FoxPro
// forms: I (4-byte integer), Y (currency), T (date and time), B (double,
// 8 bytes; a 10-byte B is a dBASE memo number, text), M, G and P of 4
// bytes (memo block numbers), the _NullFlags field (type 0), Q and V
// (varbinary, varchar). Their empty value is binary zeros; every other
// field's is blanks.
inline bool IsBinaryType(char type, unsigned width) {
  switch (type) {
    case 'I': case 'Y': case 'T': case '0': case 'Q': case 'V': return true;
    case 'B': return width == 8;
    case 'M': case 'G': case 'P': return width == 4;
    default: return false;
  }
}

// The header's fields that the engine reads.
struct Header {
  uint8_t version = kVersionPlain;
  uint32_t count = 0;          // records, as the header says
  uint32_t headerLength = 0;   // where record 1 starts
  uint32_t recordLength = 0;   // the deletion flag included
};

// One field descriptor as the engine uses it.
struct Descriptor {
  char name[kDescNameSize + 1];  // NUL-terminated
  char type;
  unsigned width;
  unsigned decimals;
};

// The header fields of bytes (kHeaderSize of them).
Header ReadHeader(const uint8_t* bytes);

// The descriptors of the area between the header and the first record
// (header length - 32 bytes). They run until a terminator at a descriptor
// boundary; whatever follows it belongs to the header. Without one, an area
// that leaves exactly one byte after the last whole descriptor is still
// read (some writers put something else there), unless needTerminator.
// A C field's width is its decimal count times 256 plus its width byte;
// binary fields must have their type's width (I 4, Y and T 8).
// False, with out unchanged,
// for an area that is not a list of 1 to kMaxFields named descriptors of
// widths 1 to kMaxWidth (kMaxTextWidth for C) whose widths and flag add up
// to recordLength.
bool ReadDescriptors(const uint8_t* area, size_t size, uint32_t recordLength, std::vector<Descriptor>* out,
                     bool needTerminator = false);

// The bytes of a new, empty table of these fields: header dated today,
// descriptors (names upper-cased), terminator, end marker. REQUIRES:
// fields were checked (names of 1 to 10 characters, widths that fit).
std::vector<uint8_t> EmptyTable(const std::vector<Descriptor>& fields, Date today);

// Puts date into the header's date bytes; true when they changed.
bool StampDate(uint8_t* header, Date date);

}  // namespace dbf
}  // namespace xb

#endif  // ENGINE_DBF_FORMAT_H_
