// ReadTextCut: reads a field as text (trailing blanks dropped) into a buffer
// of capacity + 1 bytes, cutting a longer text at capacity characters (and
// dropping any blanks the cut leaves at its end).
// Returns CDatabase::Read's result: 0, with out untouched, when the table
// has no such field.
#ifndef CONVERT_READTEXTCUT_H_
#define CONVERT_READTEXTCUT_H_

#include <cstddef>

class CDatabase;

int ReadTextCut(CDatabase& table, char* name, char* out, size_t capacity);

#endif  // CONVERT_READTEXTCUT_H_
