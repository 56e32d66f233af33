// JobState: the one conversion job of the process, shared by the dialogs
// and the job's worker thread. The paths and progressWindow are written
// before the worker starts and only read by it; running is written by both
// sides (1 by the starter, 0 by a confirmed cancel and by the job as its
// last step); progressCount belongs to the interface thread.
//
// workerActive tells when the worker has let go of everything here: set by
// StartJob, cleared by the job after its very last step, whichever way it
// ends (a failed open included). A new job waits for it (WaitForWorker),
// since running alone is cleared early by a cancel.
#ifndef CONVERT_JOBSTATE_H_
#define CONVERT_JOBSTATE_H_

#include <windows.h>

#include <atomic>
#include <cstdint>

#include "convert/JobOutcome.h"

class CVmDatabase;
namespace xb {
class FileSystem;
}  // namespace xb

// The message a job sends to progressWindow: wparam 0 one step (one
// hundredth of the work), any other wparam (jobs send 1) the end, after the
// job has closed its tables. lparam is 0.
constexpr UINT WM_JOB_PROGRESS = WM_USER + 1;

namespace JobState {

extern char livePath[80];
extern char bigPath[128];
extern char smallPath[128];
extern char oldPersonalPath[128];
extern char newPersonalPath[128];
extern HWND progressWindow;
extern int32_t progressCount;
extern std::atomic<int32_t> running;
extern CVmDatabase* sourceTable;
extern CVmDatabase* targetTable;
extern std::atomic<int32_t> workerActive;
// What the last job did (see JobOutcome): the job's own while it runs.
extern JobOutcome outcome;
// The file layer the job opens its tables through (not owned; null for
// the engine's own), written like the paths before the worker starts.
extern xb::FileSystem* files;

// A job's thread routine: takes a null argument and ends its thread by
// returning.
typedef void(__cdecl* Job)(void*);

// How StartJob starts a thread: _beginthread, unless a test puts a
// failing stand-in here.
typedef uintptr_t(__cdecl* ThreadStarter)(Job, unsigned, void*);
extern ThreadStarter beginThread;

// Sets workerActive and starts job with beginThread (default stack, null
// argument); the caller has set running. False when the thread could not
// be started: workerActive is cleared again.
bool StartJob(Job job);

// Returns once the previous worker, if any, has ended.
void WaitForWorker();

}  // namespace JobState

#endif  // CONVERT_JOBSTATE_H_
