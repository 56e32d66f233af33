// RunFacts: what vmconvert's report says of the run beyond the job: when
// and by whom it was started, the files' sizes, and where the report goes
// when the command line itself is wrong.
#ifndef VMCONVERT_RUNFACTS_H_
#define VMCONVERT_RUNFACTS_H_

#include <cstdint>
#include <string>

#include "vmconvert/RunReport.h"

// Fills started_at (UTC, now), version, computer and user.
void StartReport(RunReport& report);
// The size of the file at path in bytes; -1 when it cannot be looked at.
int64_t FileBytes(const char* path);
// The value of the last --report on a command line that did not parse
// ("--report FILE" or "--report=FILE"); "" when there is none.
std::string ReportPathIn(int argc, char** argv);

#endif  // VMCONVERT_RUNFACTS_H_
