// ShowError: the warning box of the table layer, the commands and the jobs.
// One OK button, the exclamation icon, owned by the calling thread's active
// window (none on a worker thread); returns when the operator closes it.
#ifndef DB_SHOWERROR_H_
#define DB_SHOWERROR_H_

void ShowError(const char* text, const char* caption);

#endif  // DB_SHOWERROR_H_
