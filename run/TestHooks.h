// TestHooks: in the test builds (VMCONVERT_TEST_HOOKS) only, a file layer
// under every file of the run that fails what a test asks for, through the
// environment:
//   VMCONVERT_UNREADABLE=FROM:TO   every read of the target that touches
//                                  bytes FROM to TO-1 fails, as a bad spot
//                                  on the disk or another program's lock
//   VMCONVERT_KILL_AFTER_WRITES=N  the process ends, as a kill would, when
//                                  it is about to write the target once
//                                  more after N writes
//   VMCONVERT_KILL_IN_SWAP=N       the process ends when it is about to
//                                  change any file (create, write, cut,
//                                  replace, remove) once more after N such
//                                  changes since the swap (or an undo)
//                                  began; reads change nothing, so these
//                                  are every state a kill can leave
//   VMCONVERT_JOURNAL_FAILS_AFTER=N  the journal's writes (any *.jsonl)
//                                  after N fail, every one after as well
//   VMCONVERT_FREE_BYTES=N         the disk has N bytes free when the run
//                                  starts: a write that would take a file
//                                  past its size takes room from them and
//                                  fails (ERROR_DISK_FULL, nothing written)
//                                  when they do not suffice; cutting,
//                                  emptying, replacing and removing a file
//                                  give its room back; FreeBytes says
//                                  what is left
// The shipped build has no such layer: Files returns the system's.
#ifndef RUN_TESTHOOKS_H_
#define RUN_TESTHOOKS_H_

#include <string>

#include "engine/file_system.h"
#include "run/RunProbe.h"

namespace TestHooks {

// The file system every file of the run goes through; lives for the
// process.
xb::FileSystem* Files();
// What aims the faults at a run's target and counts a swap's changes;
// null in the shipped build.
RunProbe* Probe();

}  // namespace TestHooks

#endif  // RUN_TESTHOOKS_H_
