#include "convert/VmFieldNames.h"

#include <cstdio>

#include "convert/VmRecord.h"

const char* const VmFieldNames[99] = {
#define VM_NUM_NAME(name) #name,
#define VM_TEXT_NAME(name, capacity) #name,
    VM_RECORD_FIELDS(VM_NUM_NAME, VM_TEXT_NAME)
#undef VM_NUM_NAME
#undef VM_TEXT_NAME
};

#define VM_COUNT_NUM(name) +1
#define VM_COUNT_TEXT(name, capacity) +1
static_assert(0 VM_RECORD_FIELDS(VM_COUNT_NUM, VM_COUNT_TEXT) == VmRecord::kFields,
              "the field list names every field T01 to T99 once");
#undef VM_COUNT_NUM
#undef VM_COUNT_TEXT

const char* VmStoredName(int n) {
  static char names[VmRecord::kFields][4];
  static const bool built = [] {
    for (int k = 1; k <= VmRecord::kFields; ++k) std::snprintf(names[k - 1], sizeof names[0], "T%02d", k);
    return true;
  }();
  (void)built;
  return n >= 1 && n <= VmRecord::kFields ? names[n - 1] : "";
}
