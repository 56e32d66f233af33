// Sha256: the SHA-256 digest (FIPS 180-4) of bytes given in pieces, as 64
// lower-case hexadecimal digits, by the system's own cryptography (CNG,
// bcrypt.dll). What a journal records of a file the swap places, so that
// undo can tell the file is still the one it left. Where the system cannot
// give a digest, Hex is "", which matches no recorded digest.
#ifndef COMMANDS_SHA256_H_
#define COMMANDS_SHA256_H_

#include <cstddef>
#include <string>

class Sha256 {
 public:
  Sha256();
  ~Sha256();
  Sha256(const Sha256&) = delete;
  Sha256& operator=(const Sha256&) = delete;

  void Add(const void* data, size_t n);
  // The digest of everything added; the object is spent after it.
  std::string Hex();

 private:
  void* hash_ = nullptr;  // the system's hash object; null when it could not be made
  bool failed_ = false;   // a piece could not be added
};

#endif  // COMMANDS_SHA256_H_
