// RunFacts: what vmconvert's report says of the run beyond the job: when
// and by whom it was started, and the files' sizes.
#ifndef VMCONVERT_RUNFACTS_H_
#define VMCONVERT_RUNFACTS_H_

#include <cstdint>
#include <string>

#include "vmconvert/RunReport.h"

// Fills started_at (UTC, now), version, computer and user.
void StartReport(RunReport& report);
// The size of the file at path in bytes; -1 when it cannot be looked at.
int64_t FileBytes(const char* path);

#endif  // VMCONVERT_RUNFACTS_H_
