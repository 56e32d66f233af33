// ShowError: the warning box of the table layer, the commands and the jobs.
// One OK button, the exclamation icon, owned by the calling thread's active
// window (none on a worker thread); returns when the operator closes it.
//
// A program with nobody to press OK (an unattended console run) may send
// the warnings elsewhere with SetErrorSink; null restores the boxes. A
// warning of the table layer also says where it happened (ShowErrorAt): the
// box shows its text alone, a sink gets the place too.
#ifndef MESSAGES_SHOWERROR_H_
#define MESSAGES_SHOWERROR_H_

// Where a table-layer warning happened; each part null or 0 when unknown.
struct ErrorPlace {
  const char* table;   // the table's full path
  unsigned record;     // the record number
  const char* field;   // the field's name
  const char* reason;  // the system's text for the last error
};

void ShowError(const char* text, const char* caption);
void ShowErrorAt(const char* text, const char* caption, const ErrorPlace& place);

// place is null for a warning that has none.
typedef void (*ErrorSink)(const char* text, const char* caption, const ErrorPlace* place);
void SetErrorSink(ErrorSink sink);

#endif  // MESSAGES_SHOWERROR_H_
