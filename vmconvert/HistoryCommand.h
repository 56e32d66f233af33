// HistoryCommand: `vmconvert history [TARGET]`, what the journal folder
// beside TARGET (or --journal-dir DIR; by default the folder beside the
// window's default tables, \db1\vmconvert-journal) records, newest first,
// one line a run: when, who (computer and user), the command, its status,
// the fields written, the swap, whether it was cancelled or killed (no end
// line), and whether a later undo took it back; --json prints each as a
// JSON object on a line. A journal that cannot be read is listed as such.
#ifndef VMCONVERT_HISTORYCOMMAND_H_
#define VMCONVERT_HISTORYCOMMAND_H_

#include "vmconvert/Options.h"

// The status: 0, or 6 when the folder is not there.
int RunHistory(const Options& o);

#endif  // VMCONVERT_HISTORYCOMMAND_H_
