// Warnings: where the table layer's and the jobs' warnings go during a
// run: kept for the report, every one, and shown in boxes as the window
// shows them, or (vmconvert without --boxes) on standard error, escaped. A table-layer warning names
// the operation, the table's full path, the record and field and the
// system's reason; one like an earlier one but for its record is not shown
// again, only counted (PrintRepeats). Safe from any thread.
#ifndef RUN_WARNINGS_H_
#define RUN_WARNINGS_H_

#include <string>
#include <vector>

namespace Warnings {

// Sends every warning here from now on: boxes, or standard error; the
// warnings kept so far are forgotten (a new run begins).
void Catch(bool boxes);
// Every warning so far, in order, with where it happened.
std::vector<std::string> All();
// "... and 9599 more like it: ..." for each warning that came again.
void PrintRepeats();
// "vmconvert: text" on standard error (not kept as a warning).
void PrintError(const std::string& text);
// The last PrintError text, else the first warning; "" when neither.
std::string LastError();

}  // namespace Warnings

#endif  // RUN_WARNINGS_H_
