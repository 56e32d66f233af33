// Warnings: where the table layer's and the jobs' warnings go in vmconvert:
// kept for the report, and shown on standard error (or, with --boxes, in
// boxes as the window shows them). Safe from any thread.
#ifndef VMCONVERT_WARNINGS_H_
#define VMCONVERT_WARNINGS_H_

#include <string>
#include <vector>

namespace Warnings {

// Sends every warning here from now on: boxes, or standard error.
void Catch(bool boxes);
// "caption: text" of every warning so far, in order.
std::vector<std::string> All();
// "vmconvert: text" on standard error (not kept as a warning).
void PrintError(const std::string& text);
// The last PrintError text, else the first warning; "" when neither.
std::string LastError();

}  // namespace Warnings

#endif  // VMCONVERT_WARNINGS_H_
