// WriteObserver: what a table tells its observer about each change of a
// record's field, so that a caller can say exactly what reached the file
// and keep a record of it ahead of the write. Every call comes on the
// thread that uses the table, from inside the table operation named.
#ifndef ENGINE_WRITE_OBSERVER_H_
#define ENGINE_WRITE_OBSERVER_H_

#include <cstdint>

namespace xb {

class WriteObserver {
 public:
  virtual ~WriteObserver() = default;

  // Field number field (1-based) of record is about to change in memory
  // from before to after (width bytes each, the stored bytes); nothing of
  // it is written yet. Called by the assignment, only when the bytes
  // differ. False refuses the change: the field keeps its bytes and the
  // next Flush reports a failed write (as for a record never read).
  virtual bool Changed(uint32_t record, unsigned field, const uint8_t* before, const uint8_t* after,
                       unsigned width) = 0;
  // The change of field in record reached the file (written), or was given
  // up unwritten: the table moved to another record or was closed while
  // its write kept failing. Each change is settled once.
  virtual void Settled(uint32_t record, unsigned field, bool written) = 0;
  // The header's bytes from offset change in memory from before to after
  // (n bytes each: the date of the last update, with a table's first
  // change of a session); nothing of it is written yet.
  virtual void HeaderChanged(uint32_t offset, const uint8_t* before, const uint8_t* after, unsigned n) {
    (void)offset, (void)before, (void)after, (void)n;
  }
};

}  // namespace xb

#endif  // ENGINE_WRITE_OBSERVER_H_
