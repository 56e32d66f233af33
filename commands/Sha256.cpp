#include "commands/Sha256.h"

#include <windows.h>
#include <bcrypt.h>

#include <cstdint>

namespace {

// The algorithm's provider, opened once for the process; null when the
// system has none.
BCRYPT_ALG_HANDLE Provider() {
  static BCRYPT_ALG_HANDLE provider = [] {
    BCRYPT_ALG_HANDLE h = nullptr;
    return BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&h, BCRYPT_SHA256_ALGORITHM, nullptr, 0)) ? h : nullptr;
  }();
  return provider;
}

}  // namespace

Sha256::Sha256() {
  BCRYPT_HASH_HANDLE h = nullptr;
  if (Provider() && BCRYPT_SUCCESS(BCryptCreateHash(Provider(), &h, nullptr, 0, nullptr, 0, 0))) hash_ = h;
}

Sha256::~Sha256() {
  if (hash_) BCryptDestroyHash(static_cast<BCRYPT_HASH_HANDLE>(hash_));
}

void Sha256::Add(const void* data, size_t n) {
  const UCHAR* bytes = static_cast<const UCHAR*>(data);
  // The system takes at most a ULONG of bytes a call.
  for (size_t done = 0; hash_ && !failed_ && done < n;) {
    ULONG part = ULONG(n - done < 0x40000000u ? n - done : 0x40000000u);
    failed_ = !BCRYPT_SUCCESS(
        BCryptHashData(static_cast<BCRYPT_HASH_HANDLE>(hash_), const_cast<UCHAR*>(bytes + done), part, 0));
    done += part;
  }
}

std::string Sha256::Hex() {
  static const char kHex[] = "0123456789abcdef";
  UCHAR digest[32];
  if (!hash_ || failed_ || !BCRYPT_SUCCESS(BCryptFinishHash(static_cast<BCRYPT_HASH_HANDLE>(hash_), digest,
                                                            sizeof digest, 0)))
    return std::string();
  std::string hex;
  for (UCHAR b : digest) {
    hex += kHex[b >> 4];
    hex += kHex[b & 15];
  }
  return hex;
}
