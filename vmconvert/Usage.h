// Usage: vmconvert's --help and --version texts. The exit statuses, the
// report's keys and the swap key's values come from the one list of each
// (ExitStatus.h, RunReport), which README and the operator's guide repeat
// word for word; a test holds them to it.
#ifndef VMCONVERT_USAGE_H_
#define VMCONVERT_USAGE_H_

#include <string>

// The whole help text.
std::string Usage();

extern const char kVersion[];

#endif  // VMCONVERT_USAGE_H_
