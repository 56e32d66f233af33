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

  // Field number field (1-based) of record changes in memory from before to
  // after (width bytes each, the stored bytes); nothing of it is written
  // yet. Called by the assignment, only when the bytes differ.
  virtual void Changed(uint32_t record, unsigned field, const uint8_t* before, const uint8_t* after,
                       unsigned width) = 0;
  // The change of field in record reached the file (written), or was given
  // up unwritten: the table moved to another record or was closed while
  // its write kept failing. Each change is settled once.
  virtual void Settled(uint32_t record, unsigned field, bool written) = 0;
};

}  // namespace xb

#endif  // ENGINE_WRITE_OBSERVER_H_
