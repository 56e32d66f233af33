// The names the converter builds from table paths, each into a fixed
// buffer. Every function refuses (false) rather than write past its buffer.
#ifndef APP_PATHNAMES_H_
#define APP_PATHNAMES_H_

#include <cstddef>

// The live table's path from the INI value: lower-cased, with ".\vm001.dbf"
// appended unless it names "vm001.dbf" already. False, with out empty,
// when the result would not fit 80 bytes.
bool LivePathFromIni(const char* value, char (&out)[80]);

// path without its last four characters, then suffix ("_small.dbf",
// "_big.dbf", "_old.dbf"). False for a path of fewer than four characters
// or a name longer than 127 characters.
bool BackupName(const char* path, const char* suffix, char (&out)[128]);

enum class IndexNameResult { kBuilt, kNoDbf, kTooLong };

// The index file of a table: the path lower-cased, its first "dbf"
// replaced by "ndx" and the rest dropped (79 characters at most). kNoDbf
// when the lower-cased path has no "dbf".
IndexNameResult IndexName(const char* path, char (&out)[80]);

// Copies text into a path field of size bytes; false (field untouched)
// when it does not fit.
bool CopyPath(char* field, size_t size, const char* text);

#endif  // APP_PATHNAMES_H_
