// JobOutcome: what a job did, filled in by the job as it works. The job
// resets it when it starts; it may be read once the worker has ended
// (JobState::workerActive is 0). The window does not look at it;
// vmconvert's summary and report come from it alone.
//
// The field counts come from the target table itself: a write counts as
// written when its bytes reached the file, and as failed when the table
// gave it up (moved on or closed while its write kept failing). A dry run's
// writes, swallowed by its file layer, count as written.
#ifndef CONVERT_JOBOUTCOME_H_
#define CONVERT_JOBOUTCOME_H_

#include <cstdint>
#include <string>
#include <vector>

#include "engine/write_observer.h"

class CDatabase;

class JobOutcome : public xb::WriteObserver {
 public:
  struct FieldCount {
    std::string name;      // the target's field name ("T05", "NAME")
    uint32_t written = 0;  // writes that reached the file
    uint32_t failed = 0;   // writes the table gave up
  };

  // Back to nothing done (the listener stays); walkLength is how many
  // records (voicemail) or pairs (personal) the walk covers when it is not
  // cancelled.
  void Start(uint32_t walkLength);
  // Takes the open target's field names, for the counts by field number.
  void NameFields(CDatabase& target);

  bool Changed(uint32_t record, unsigned field, const uint8_t* before, const uint8_t* after,
               unsigned width) override;
  bool Writing(uint32_t record, const uint8_t* image, size_t length) override;
  void Settled(uint32_t record, unsigned field, bool written) override;
  void HeaderChanged(uint32_t offset, const uint8_t* before, const uint8_t* after, unsigned n) override;

  bool opened = false;           // both tables opened: the walk began
  uint32_t walkLength = 0;       // records or pairs the whole walk covers
  uint32_t handled = 0;          // records or pairs the walk dealt with
  uint32_t compared = 0;         // read in both tables and compared
  uint32_t beyondSourceEnd = 0;  // handled records past the source's last
  uint32_t beyondTargetEnd = 0;  // handled records past the target's last
  uint32_t unreadSource = 0;     // records of the source that could not be read
  uint32_t unreadTarget = 0;     // records of the target that could not be read
  bool cancelled = false;        // a cancel stopped the walk with records left
  uint32_t stoppedAfter = 0;     // cancelled: the last record dealt with (0: none)
  std::vector<FieldCount> fields;  // by the target's field number - 1
  // Told of every change and its settling as well, on the job's thread
  // (vmconvert's listing); not owned, null for none.
  xb::WriteObserver* listener = nullptr;

  // The target's name of field number field (1-based); "" when none.
  const std::string& FieldName(unsigned field) const;
  uint32_t Written() const;
  uint32_t Failed() const;
};

#endif  // CONVERT_JOBOUTCOME_H_
