// Sha256: the SHA-256 digest (FIPS 180-4) of bytes given in pieces, as 64
// lower-case hexadecimal digits. What a journal records of a file the swap
// places, so that undo can tell the file is still the one it left.
#ifndef COMMANDS_SHA256_H_
#define COMMANDS_SHA256_H_

#include <cstddef>
#include <cstdint>
#include <string>

class Sha256 {
 public:
  Sha256();
  void Add(const void* data, size_t n);
  // The digest of everything added; the object is spent after it.
  std::string Hex();

 private:
  void Block(const uint8_t* block);

  uint32_t state_[8];
  uint8_t pending_[64];  // the bytes of an unfinished block
  size_t used_ = 0;      // of pending_
  uint64_t total_ = 0;   // bytes added
};

#endif  // COMMANDS_SHA256_H_
