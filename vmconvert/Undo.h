// Undo: `vmconvert undo JOURNAL` takes a run back from its journal. It
// refuses, writing nothing, a target that is not the journal's table (full
// path, header length, record length, fields). If the run made a swap, the
// replaced table and its index come back from their backups first, copied
// as the swap copies. Then, newest first, every field whose stored bytes
// are still those the run wrote gets its old bytes back; one that already
// holds its old bytes is left (the run was stopped before that write); one
// that holds anything else was changed since, and is left and listed
// (status 5). The header bytes come back the same way. Undo journals its
// own field writes (so they can themselves be undone; the swap's copies
// back are not redone by that) unless told not to; a dry run lists and
// writes nothing. An undo stopped at any moment can be run again.
#ifndef VMCONVERT_UNDO_H_
#define VMCONVERT_UNDO_H_

#include "vmconvert/Options.h"
#include "vmconvert/RunReport.h"

// The status (see ExitStatus.h); report filled as for a job.
int RunUndo(const Options& o, RunReport& report);

#endif  // VMCONVERT_UNDO_H_
