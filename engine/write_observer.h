// WriteObserver: what a table tells its observer about each change of a
// record's fields and of its header, so that a caller can say exactly what
// reached the file and keep a record of it ahead of the write. Every call
// comes on the thread that uses the table, from inside the table operation
// named.
//
// The order, for each record: Changed for every change of a part of it as
// it is made - a field's, the deletion flag's (part 0), and a part's that
// changed already and is not written yet - (and HeaderChanged with the
// table's first change of a session), then one Writing before the first
// of those changes is written, then Settled once for each part that
// changed, however often it changed before its write. A record's changes
// made before it is written (flush off, or the changes of one record made
// together) come to the observer as one group under one Writing, so an
// observer that records them can write that record's lines in one call;
// the image Writing is handed holds each part as it will be written.
#ifndef ENGINE_WRITE_OBSERVER_H_
#define ENGINE_WRITE_OBSERVER_H_

#include <cstddef>
#include <cstdint>

namespace xb {

class WriteObserver {
 public:
  virtual ~WriteObserver() = default;

  // Part field of record (a field's 1-based number, or 0 for the deletion
  // flag) is about to change in memory from before to after (width bytes
  // each, the stored bytes; before is what the record in memory holds,
  // which for a pending part is its last change); nothing of it is
  // written yet. Called by the assignment, only when the bytes differ.
  // False refuses the change: the part keeps its bytes and the next Flush
  // reports a failed write (as for a record never read).
  virtual bool Changed(uint32_t record, unsigned field, const uint8_t* before, const uint8_t* after,
                       unsigned width) = 0;
  // The changes told by Changed and HeaderChanged since the last Writing
  // are about to be written: nothing of them has reached the file yet.
  // image is record as it will stand once they have (length bytes, the
  // deletion flag first). False refuses them all: none is written, each
  // field change is settled unwritten, the record reads as the file holds
  // it, the header keeps its date, and the next Flush reports a failed
  // write.
  virtual bool Writing(uint32_t record, const uint8_t* image, size_t length) {
    (void)record, (void)image, (void)length;
    return true;
  }
  // The changes of part field in record reached the file (written), or
  // were given up unwritten: the table moved to another record or was
  // closed while its write kept failing, or Writing refused it. Each part
  // is settled once for the changes made to it before its write.
  virtual void Settled(uint32_t record, unsigned field, bool written) = 0;
  // The header's bytes from offset change in memory from before to after
  // (n bytes each: the date of the last update, with a table's first
  // change of a session); nothing of it is written yet. It is written with
  // the changes of the next Writing, and refused with them.
  virtual void HeaderChanged(uint32_t offset, const uint8_t* before, const uint8_t* after, unsigned n) {
    (void)offset, (void)before, (void)after, (void)n;
  }
};

}  // namespace xb

#endif  // ENGINE_WRITE_OBSERVER_H_
