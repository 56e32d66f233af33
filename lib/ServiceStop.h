// ServiceStop: what a pipe service's thread knows of its service's stop,
// for the endpoint's waits that would otherwise not end: each pipe thread
// names its service's stop flag, and code on that thread asks it. Internal
// to the library: nothing here is exported.
#ifndef LIB_SERVICESTOP_H_
#define LIB_SERVICESTOP_H_

#include <windows.h>

namespace ServiceStop {

// Names the stop flag of the calling thread's service; null for none.
void Bind(volatile LONG* flag);
// The calling thread's stop flag, null on a thread of no service.
volatile LONG* Flag();
// True when the calling thread belongs to a service that is stopping.
bool Requested();

}  // namespace ServiceStop

#endif  // LIB_SERVICESTOP_H_
