// Outputs: what vmconvert does with its outputs around a run, on the
// checks of OutputFiles: the outputs checked before anything is created
// or written, the report written (or why not, on standard error), and a
// command line that did not parse answered with its status and, where one
// may be written, its report. Files are looked at through TestHooks'.
#ifndef VMCONVERT_OUTPUTS_H_
#define VMCONVERT_OUTPUTS_H_

#include <string>

#include "vmconvert/Options.h"

struct RunReport;

// "vmconvert: error" and where to look for help, on standard error.
void PrintUsageError(const std::string& error);

// The report at path; false, said on standard error, when it cannot be
// written (the file there is then as it was).
bool WriteReport(const std::string& path, const RunReport& report);

// A command line that does not parse: status 1, with its report where one
// may be written.
int UsageError(int argc, char** argv, const std::string& error, RunReport& report);

// Before anything is created or written: an output that names a file the
// run reads or writes (status 1), a report that would replace a file not
// ours, or a journal that would replace any file (status 6). kDone when
// they pass; a refusal's report is written only where it may be.
int CheckOutputs(const Options& o, RunReport& report);

#endif  // VMCONVERT_OUTPUTS_H_
