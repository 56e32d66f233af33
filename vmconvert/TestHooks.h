// TestHooks: in the test build (VMCONVERT_TEST_HOOKS) only, a file layer
// under the job that fails what a test asks for, through the environment:
//   VMCONVERT_UNREADABLE=FROM:TO   every read of the target that touches
//                                  bytes FROM to TO-1 fails, as a bad spot
//                                  on the disk or another program's lock
//   VMCONVERT_KILL_AFTER_WRITES=N  the process ends, as a kill would, when
//                                  it is about to write the target once
//                                  more after N writes
// The shipped build has no such layer: FileLayer returns base.
#ifndef VMCONVERT_TESTHOOKS_H_
#define VMCONVERT_TESTHOOKS_H_

#include "engine/file_system.h"

namespace TestHooks {

// The file system the job runs on for target: base, or in the test build
// base under the layer the environment asks for. Lives for the process.
xb::FileSystem* FileLayer(xb::FileSystem* base, const char* target);

}  // namespace TestHooks

#endif  // VMCONVERT_TESTHOOKS_H_
