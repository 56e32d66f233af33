// CutText: a field's whole text (trailing blanks already dropped) put into
// a buffer that holds capacity characters and a terminator: cut at
// capacity, and any blanks the cut leaves at its end dropped too.
#ifndef CONVERT_CUTTEXT_H_
#define CONVERT_CUTTEXT_H_

#include <cstddef>

// REQUIRES: out holds capacity + 1 bytes; whole is NUL-terminated.
void CutText(const char* whole, char* out, size_t capacity);

#endif  // CONVERT_CUTTEXT_H_
