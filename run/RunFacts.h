// RunFacts: what a run's report says of it beyond the job: when and by
// whom it was started, and the files' sizes.
#ifndef RUN_RUNFACTS_H_
#define RUN_RUNFACTS_H_

#include <cstdint>
#include <string>

#include "run/RunReport.h"

namespace xb {
class FileSystem;
}  // namespace xb

// Fills started_at (UTC, now), version, computer and user.
void StartReport(RunReport& report);
// The size of the file at path in bytes, asked of fs; -1 when it cannot be
// looked at.
int64_t FileBytes(xb::FileSystem& fs, const std::string& path);

#endif  // RUN_RUNFACTS_H_
