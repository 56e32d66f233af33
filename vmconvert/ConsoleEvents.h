// ConsoleEvents: every console event (Ctrl+C, Ctrl+Break, closing the
// console, logoff, shutdown) cancels the job the way the window's confirmed
// cancel does: it finishes its record and closes its tables. Closing the
// console, logoff and shutdown end the process once the handler returns, so
// those wait (up to 4.5 s) until the run says it has written everything.
#ifndef VMCONVERT_CONSOLEEVENTS_H_
#define VMCONVERT_CONSOLEEVENTS_H_

class ConsoleProgress;

namespace ConsoleEvents {

// Installs the handler.
void Catch();
// True once an event has asked the job to stop.
bool Cancelled();
// The run has written its summary and report: an ending event may go on.
void RunFinished();
// Only in the test build (VMCONVERT_TEST_HOOKS): delivers the event named
// by VMCONVERT_EVENT_AFTER_STEPS=n[:c|break|close|logoff|shutdown] (Ctrl+C
// when none is named) once progress has counted n steps ("end" for n: once
// the job's end message has come), on a thread of its own as the system
// would. Does nothing in the shipped build.
void DeliverWhenDue(const ConsoleProgress& progress);

}  // namespace ConsoleEvents

#endif  // VMCONVERT_CONSOLEEVENTS_H_
