// ShowError: the warning box of the table layer, the commands and the jobs.
// One OK button, the exclamation icon, owned by the calling thread's active
// window (none on a worker thread); returns when the operator closes it.
//
// A program with nobody to press OK (an unattended console run) may send
// the warnings elsewhere with SetErrorSink; null restores the boxes.
#ifndef MESSAGES_SHOWERROR_H_
#define MESSAGES_SHOWERROR_H_

void ShowError(const char* text, const char* caption);

typedef void (*ErrorSink)(const char* text, const char* caption);
void SetErrorSink(ErrorSink sink);

#endif  // MESSAGES_SHOWERROR_H_
