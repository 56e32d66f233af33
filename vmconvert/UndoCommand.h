// UndoCommand: `vmconvert undo JOURNAL`, the journal subsystem's Undo run
// from the command line: what it checked, kept, copied, put back and left
// is said on standard output (refusals and what was left of the swap on
// standard error) and in the report. A dry run says the same of what the
// undo would do, and does nothing.
#ifndef VMCONVERT_UNDOCOMMAND_H_
#define VMCONVERT_UNDOCOMMAND_H_

#include "vmconvert/Options.h"
#include "run/RunReport.h"

// The status (see ExitStatus.h): 6 a journal refused whole (nothing done),
// 7 another job converts into its table, 4 the swap's undo failed, 5 left
// fields, records or swap files, or a write that failed; report filled as
// for a job.
int RunUndo(const Options& o, RunReport& report);

#endif  // VMCONVERT_UNDOCOMMAND_H_
