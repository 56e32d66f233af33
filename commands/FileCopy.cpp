#include "commands/FileCopy.h"

#include <algorithm>
#include <cctype>
#include <memory>
#include <vector>

#include "commands/PathNames.h"
#include "commands/Sha256.h"
#include "engine/file_system.h"

namespace {

const size_t kChunk = 64 * 1024;

// Reads up to size bytes at offset; the count read, or -1 on failure.
long ReadChunk(xb::File& file, uint64_t offset, char* buffer, size_t size) {
  size_t got = 0;
  return file.ReadAt(offset, buffer, size, &got) ? long(got) : -1;
}

bool CopyBytes(xb::File& from, xb::File& to) {
  std::vector<char> buffer(kChunk);
  for (uint64_t offset = 0;;) {
    long got = ReadChunk(from, offset, buffer.data(), kChunk);
    if (got < 0) return false;
    if (got == 0) return true;
    if (!to.WriteAt(offset, buffer.data(), size_t(got))) return false;
    offset += uint64_t(got);
  }
}

// False, with *why (when not null and still empty) taking the system's
// reason for the call that just failed.
bool Failed(std::string* why) {
  if (why && why->empty()) *why = xb::LastFileError();
  return false;
}

// The server may hold the table open for writing beside us: the source is
// opened shared, for reading only. The target's name is freed before: a
// name that is the source's too (a link) then loses it at once, where an
// open source would keep it until closed.
bool CopyFlushed(xb::FileSystem& fs, const std::string& from, const std::string& to, std::string* why) {
  std::unique_ptr<xb::File> target = fs.CreateFresh(to.c_str());
  if (!target) return Failed(why);
  std::unique_ptr<xb::File> source = fs.OpenReadOnly(from.c_str());
  return (source && CopyBytes(*source, *target) && target->Sync()) || Failed(why);
}

// True when a and b hold the same bytes; digest (when not null) takes b's.
bool Compare(xb::FileSystem& fs, const std::string& a, const std::string& b, FileDigest* digest) {
  std::unique_ptr<xb::File> first = fs.OpenReadOnly(a.c_str()), second = fs.OpenReadOnly(b.c_str());
  if (!first || !second) return false;
  std::vector<char> x(kChunk), y(kChunk);
  Sha256 sha;
  for (uint64_t offset = 0;;) {
    long gotX = ReadChunk(*first, offset, x.data(), kChunk), gotY = ReadChunk(*second, offset, y.data(), kChunk);
    if (gotX < 0 || gotX != gotY || !std::equal(x.begin(), x.begin() + gotX, y.begin())) return false;
    if (gotX == 0) break;
    sha.Add(y.data(), size_t(gotY));
    offset += uint64_t(gotX);
  }
  if (digest) {
    uint64_t size = 0;
    second->Size(&size);
    *digest = FileDigest{size, sha.Hex()};
  }
  return true;
}

// Where a stamp goes in path: before its extension, or at its end.
size_t StampPlace(const std::string& path) {
  size_t dot = path.find_last_of(".\\/:");
  return dot != std::string::npos && path[dot] == '.' ? dot : path.size();
}

bool Digits(const std::string& text, size_t at, size_t n) {
  if (at + n > text.size()) return false;
  for (size_t i = at; i < at + n; ++i)
    if (!std::isdigit(static_cast<unsigned char>(text[i]))) return false;
  return true;
}

}  // namespace

std::string StagingName(const std::string& to) { return to + ".swap"; }

bool DigestFile(xb::FileSystem& fs, const std::string& path, FileDigest* digest) {
  std::unique_ptr<xb::File> file = fs.OpenReadOnly(path.c_str());
  if (!file) return false;
  std::vector<char> buffer(kChunk);
  Sha256 sha;
  uint64_t offset = 0;
  for (long got; (got = ReadChunk(*file, offset, buffer.data(), kChunk)) != 0; offset += uint64_t(got)) {
    if (got < 0) return false;
    sha.Add(buffer.data(), size_t(got));
  }
  *digest = FileDigest{offset, sha.Hex()};
  return true;
}

bool SameBytes(xb::FileSystem& fs, const std::string& a, const std::string& b) { return Compare(fs, a, b, nullptr); }

bool StageCopy(xb::FileSystem& fs, const std::string& from, const std::string& to, FileDigest* staged,
               std::string* why) {
  std::string temp = StagingName(to);
  bool copied = CopyFlushed(fs, from, temp, why);
  if (copied && Compare(fs, from, temp, staged)) return true;
  if (copied && why && why->empty()) *why = "the copy does not read back as its source";
  fs.Remove(temp.c_str());
  return false;
}

bool PlaceCopy(xb::FileSystem& fs, const std::string& to, std::string* why) {
  std::string temp = StagingName(to);
  if (fs.Replace(temp.c_str(), to.c_str())) return true;
  Failed(why);
  fs.Remove(temp.c_str());
  return false;
}

bool CopyWhole(xb::FileSystem& fs, const std::string& from, const std::string& to) {
  return StageCopy(fs, from, to, nullptr) && PlaceCopy(fs, to);
}

std::string DatedName(xb::FileSystem& fs, const std::string& path, const std::string& stamp,
                      const std::set<std::string>& taken) {
  size_t at = StampPlace(path);
  std::string name = path.substr(0, at) + stamp + path.substr(at);
  for (int n = 2; fs.OpenReadOnly(name.c_str()) || taken.count(FileIdentity(name.c_str())); ++n)
    name = path.substr(0, at) + stamp + "-" + std::to_string(n) + path.substr(at);
  return name;
}

bool IsDatedName(const std::string& name, const std::string& path) {
  std::string n = FileIdentity(name.c_str()), p = FileIdentity(path.c_str());
  size_t at = StampPlace(p);
  std::string stem = p.substr(0, at), extension = p.substr(at);
  if (n.size() < stem.size() + 16 + extension.size() || n.compare(0, stem.size(), stem) != 0 ||
      n.compare(n.size() - extension.size(), extension.size(), extension) != 0)
    return false;
  // "-YYYYMMDD-HHMMSS", then "-N" or nothing.
  size_t i = stem.size();
  if (n[i] != '-' || !Digits(n, i + 1, 8) || n[i + 9] != '-' || !Digits(n, i + 10, 6)) return false;
  std::string rest = n.substr(i + 16, n.size() - extension.size() - i - 16);
  return rest.empty() || (rest.size() >= 2 && rest[0] == '-' && Digits(rest, 1, rest.size() - 1));
}
