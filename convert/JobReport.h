// What a job's worker thread tells the operator and the progress dialog.
#ifndef CONVERT_JOBREPORT_H_
#define CONVERT_JOBREPORT_H_

#include <windows.h>

// Sends WM_JOB_PROGRESS (wparam, 0) to JobState::progressWindow and waits
// until it has been handled (at once when there is no such window).
void SendJobProgress(WPARAM wparam);

// The "Error !" box for a table that could not be opened: string-table
// entry id, its "%1" replaced by path, then why (the system's reason) on a
// line of its own.
void ShowOpenError(unsigned int id, const char* path, const char* why);
// The "Error !" box with string-table entry id as a printf format for the
// arguments that follow (a text cut at 511 characters).
void ShowFormattedError(unsigned int id, ...);

// The worker's very last step: it touches nothing shared afterwards.
void EndWorker();

#endif  // CONVERT_JOBREPORT_H_
