// Summary: what vmconvert prints of a run on standard output, all of it
// from the job's outcome: the dry run's listing of each write as the job
// makes it, and the counts at the end.
#ifndef VMCONVERT_SUMMARY_H_
#define VMCONVERT_SUMMARY_H_

#include <string>

#include "convert/JobOutcome.h"

// "T05 (status)" for a voicemail field, the name alone otherwise.
std::string FieldLabel(const std::string& field, bool voicemail);

// Lists each change of the target as the job makes it:
//   record 7 T05 (status): target "1" -> source "2"
// with the stored texts without their padding. Set as the outcome's
// listener for a dry run.
class DryRunListing : public xb::WriteObserver {
 public:
  DryRunListing(const JobOutcome& outcome, bool voicemail) : outcome_(outcome), voicemail_(voicemail) {}

  bool Changed(uint32_t record, unsigned field, const uint8_t* before, const uint8_t* after,
               unsigned width) override;
  void Settled(uint32_t, unsigned, bool) override {}

 private:
  const JobOutcome& outcome_;
  bool voicemail_;
};

// The counts: records compared, beyond either table's end and unreadable,
// fields written (or that would be, for a dry run) and failed, each per
// field, and the time.
void PrintSummary(const JobOutcome& outcome, bool dryRun, bool voicemail, double seconds);

#endif  // VMCONVERT_SUMMARY_H_
