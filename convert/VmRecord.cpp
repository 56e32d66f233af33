#include "convert/VmRecord.h"

namespace {

struct Slot {
  size_t offset;
  size_t capacity;  // 0 for a numeric field
};

// Where each field lives in a VmRecord, in field order.
const Slot kSlots[VmRecord::kFields] = {
#define VM_NUM_SLOT(name) {offsetof(VmRecord, name), 0},
#define VM_TEXT_SLOT(name, capacity) {offsetof(VmRecord, name), (capacity)},
    VM_RECORD_FIELDS(VM_NUM_SLOT, VM_TEXT_SLOT)
#undef VM_NUM_SLOT
#undef VM_TEXT_SLOT
};

const Slot* SlotOf(int n) { return n >= 1 && n <= VmRecord::kFields ? &kSlots[n - 1] : nullptr; }

}  // namespace

int32_t* VmRecord::Number(int n) {
  const Slot* s = SlotOf(n);
  if (!s || s->capacity != 0) return nullptr;
  return reinterpret_cast<int32_t*>(reinterpret_cast<char*>(this) + s->offset);
}

char* VmRecord::Text(int n) {
  const Slot* s = SlotOf(n);
  if (!s || s->capacity == 0) return nullptr;
  return reinterpret_cast<char*>(this) + s->offset;
}

size_t VmRecord::TextCapacity(int n) {
  const Slot* s = SlotOf(n);
  return s ? s->capacity : 0;
}
