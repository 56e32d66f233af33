// AskYesNo: a question box owned by the calling thread's active window,
// with Yes and No and the question icon; Yes is the default button, or No
// when noIsDefault is non-zero. True when the answer is Yes.
#ifndef APP_ASKYESNO_H_
#define APP_ASKYESNO_H_

bool AskYesNo(const char* text, const char* caption, int noIsDefault);

// AskYesNo with string-table entry id, its "%1" and "%2" filled in, under
// the caption of entry 106, "Please confirm ...", Yes the default.
bool AskString(unsigned int id, const char* arg1, const char* arg2);

#endif  // APP_ASKYESNO_H_
