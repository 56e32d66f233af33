// FileCopy: whole-file copies as the swap and undo make them, through the
// engine's file layer: staged beside the file they replace (its name with
// ".swap"), flushed, compared byte for byte with their source, and only
// then moved over it in one step, written through. Also the size and
// SHA-256 of a file, and the dated names under which a file is kept rather
// than overwritten.
#ifndef COMMANDS_FILECOPY_H_
#define COMMANDS_FILECOPY_H_

#include <cstdint>
#include <set>
#include <string>

namespace xb {
class FileSystem;
}  // namespace xb

struct FileDigest {
  uint64_t bytes = 0;
  std::string sha256;  // 64 hexadecimal digits
  bool operator==(const FileDigest& o) const { return bytes == o.bytes && sha256 == o.sha256; }
  bool operator!=(const FileDigest& o) const { return !(*this == o); }
};

// Where a copy to `to` is staged.
std::string StagingName(const std::string& to);
// The size and digest of the file at path; false when it cannot be read.
bool DigestFile(xb::FileSystem& fs, const std::string& path, FileDigest* digest);
// True when both files can be read and hold the same bytes.
bool SameBytes(xb::FileSystem& fs, const std::string& a, const std::string& b);
// Copies from to StagingName(to), flushed and compared with from; staged
// (when not null) receives the staged copy's digest. False, with the
// staging copy removed and *why (when not null) the system's reason, when
// any step fails.
bool StageCopy(xb::FileSystem& fs, const std::string& from, const std::string& to, FileDigest* staged,
               std::string* why = nullptr);
// Moves the staged copy over to in one step; false (the staging copy
// removed, to as it was, *why the reason) when it cannot.
bool PlaceCopy(xb::FileSystem& fs, const std::string& to, std::string* why = nullptr);
// StageCopy, then PlaceCopy.
bool CopyWhole(xb::FileSystem& fs, const std::string& from, const std::string& to);

// path with stamp ("-20261209-031500") before its extension, made unique
// among the files there, and the names in taken (FileIdentity of each),
// with "-2", "-3"...: "kxpersonal_old-20261209-031500.dbf".
std::string DatedName(xb::FileSystem& fs, const std::string& path, const std::string& stamp,
                      const std::set<std::string>& taken = {});
// True when name is a DatedName of path (any stamp, any "-N"), letter case
// aside.
bool IsDatedName(const std::string& name, const std::string& path);

#endif  // COMMANDS_FILECOPY_H_
