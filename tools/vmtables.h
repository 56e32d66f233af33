// vmtables: makes voicemail tables (small and big layout) and personal
// tables with realistic, reproducible contents, for tests, benchmarks and
// the demo. The value of every field is a function of the record number,
// the field and a Variation, so two tables can be made to agree, or to
// differ in chosen fields, and a test can say what any field holds.
#ifndef TOOLS_VMTABLES_H_
#define TOOLS_VMTABLES_H_

#include <cstdint>
#include <string>

#include "engine/field_info.h"

namespace vmtables {

enum class Layout { kSmall, kBig };

// Field n of record r differs from the plain table's when every != 0 and
// (r + n) % every == 0; shift picks which different value it gets (0 and 1
// give different ones). every = 1 changes every field of every record.
struct Variation {
  uint32_t every = 0;
  uint32_t shift = 0;
};

// Field definitions, ended by a null name. Voicemail: "T01" to "T33"
// (small) or "T99" (big). Personal: the fifteen copied fields, then "NOTE",
// which the conversion never touches.
const FIELD4INFO* VmFields(Layout layout);
const FIELD4INFO* PersonalFields();
int PersonalFieldCount();

// The text a field holds (as the table stores it, without padding).
// field is 1-based in the layout's definition order.
std::string VmValue(Layout layout, uint32_t record, int field, Variation v = {});
std::string PersonalValue(uint32_t record, int field, Variation v = {});

// Replace any file at path with a table of that many records. False when
// the table could not be written.
bool MakeVmTable(const std::string& path, Layout layout, uint32_t records, Variation v = {});
bool MakePersonalTable(const std::string& path, uint32_t records, Variation v = {});

}  // namespace vmtables

#endif  // TOOLS_VMTABLES_H_
