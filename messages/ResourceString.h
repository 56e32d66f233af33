// String-table texts of the running program, and their "%1"/"%2" filled in
// the way the dialogs' messages expect.
#ifndef MESSAGES_RESOURCESTRING_H_
#define MESSAGES_RESOURCESTRING_H_

#include <string>

// Entry id of the program's string table; "" when there is none.
std::string LoadResString(unsigned int id);

// out = entry id with every "%1" replaced by arg1 (and "%2" by arg2); any
// other "%" stays as it is.
void AfxFormatString1(std::string& out, unsigned int id, const char* arg1);
void AfxFormatString2(std::string& out, unsigned int id, const char* arg1, const char* arg2);

// The replacement itself, on a given pattern.
std::string FillPlaceholders(const std::string& pattern, const char* arg1, const char* arg2);

#endif  // MESSAGES_RESOURCESTRING_H_
