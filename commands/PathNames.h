// The names the converter builds from table paths, each into a fixed
// buffer. Every function refuses (false) rather than write past its buffer.
#ifndef COMMANDS_PATHNAMES_H_
#define COMMANDS_PATHNAMES_H_

#include <cstddef>
#include <string>

namespace xb {
class FileSystem;
}  // namespace xb

// The paths the window and vmconvert start from.
extern const char kDefaultBigPath[];       // \db1\vm001_big.dbf
extern const char kDefaultSmallPath[];     // \db1\vm001_small.dbf
extern const char kDefaultOldPersonal[];   // \db1\kxpersonal.dbf
extern const char kDefaultNewPersonal[];   // \db1\kxpers_new.dbf

// The live table's path from the INI value: lower-cased, with ".\vm001.dbf"
// appended unless it names "vm001.dbf" already. False, with out empty,
// when the result would not fit 80 bytes.
bool LivePathFromIni(const char* value, char (&out)[80]);

// Reads Vm001Path of kxaconf.ini (default "\db1\") into out by the rule
// above. The value is read wider than out, so that one too long is refused
// (false, out empty) rather than cut.
bool ReadLivePath(char (&out)[80]);

// A conversion command's checks of a typed path: copied into field (size
// bytes), then given and naming an existing file or directory. "" when it
// passes; otherwise the message to show: string-table entry empty or
// missing (with the path), or our own for a path too long for field, which
// is then left as it was.
std::string CheckTypedPath(const char* typed, char* field, size_t size, unsigned int empty, unsigned int missing);

// path without its last four characters, then suffix ("_small.dbf",
// "_big.dbf", "_old.dbf"). False for a path of fewer than four characters
// or a name longer than the platform's path limit.
bool BackupName(const char* path, const char* suffix, std::string* out);

// The index file of a table whose own extension is "dbf" (any case): the
// path lower-cased with that extension replaced by "ndx". "" for any other
// path, which has no index file of its own.
std::string IndexName(const char* path);

// The full path of a file as the system resolves it now (current drive
// and folder); the path as given when it cannot be made full.
std::string FullPath(const char* path);
// The folder path is in: path up to its last separator; "." when it has
// none.
std::string FolderOf(const std::string& path);
// FullPath lower-cased: two spellings of one file give the same text.
std::string FileIdentity(const char* path);
// True when a and b name one file: by the file system's identity where
// both exist (hard links and short names included), by FileIdentity
// otherwise.
bool OneFile(xb::FileSystem& fs, const std::string& a, const std::string& b);

// The window's rule for the live table's layout: more than 2100000 bytes
// is the big layout. A table that cannot be looked at counts as small.
bool LiveTableIsBig(const char* livePath);

// Copies text into a path field of size bytes; false (field untouched)
// when it does not fit.
bool CopyPath(char* field, size_t size, const char* text);

// The local time now as "YYYYMMDD-HHMMSS", the stamp in the names of kept
// backups and journals.
std::string LocalStamp();

// Puts the full path of the path in field (size bytes) in its place, as
// the system resolves it now (current drive and folder); false (field
// untouched) when it cannot be made or does not fit.
bool MakeFull(char* field, size_t size);

// "" when this program may write the file at path; else string-table entry
// IDS_NOT_WRITABLE naming it, with the system's reason.
std::string WriteRefusal(const char* path);

// The system's text for error code (a GetLastError value), without its
// line end.
std::string SystemReason(unsigned long code);

#endif  // COMMANDS_PATHNAMES_H_
