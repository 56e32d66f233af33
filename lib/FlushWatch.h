// FlushWatch: a server's flush of a pipe with a bound. The platform's flush
// returns once the reader has taken everything written, and otherwise
// waits without limit. One watching thread of the process looks at every
// flush in progress every 50 ms and cancels those that have waited their
// patience or whose thread's service is stopping. A flush costs no more
// than the platform's own call and a lock; the watcher sleeps while no
// flush is in progress. Internal to the library: nothing here is exported.
#ifndef LIB_FLUSHWATCH_H_
#define LIB_FLUSHWATCH_H_

#include <windows.h>

namespace FlushWatch {

// FlushFileBuffers(pipe), cancelled once patienceMs have passed since the
// call or once *stop (when not null) is set; true when the flush
// succeeded. Without a watcher (its thread could not start) the flush is
// the platform's, unbounded.
bool Flush(HANDLE pipe, volatile LONG* stop, DWORD patienceMs);

}  // namespace FlushWatch

#endif  // LIB_FLUSHWATCH_H_
