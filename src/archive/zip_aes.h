#pragma once
// Entries protected in the WinZip AES form: a salt, a two-byte password verifier, the data
// encrypted in AES counter mode, and the first 10 bytes of an HMAC-SHA1 over the encrypted data.
// Only the counter mode and this framing are ours; the primitives come from platform/crypto.h.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/crypto.h"

namespace kbt {

constexpr uint16_t kAesMethod = 99;
constexpr uint16_t kAesExtraId = 0x9901;
constexpr size_t kAesExtraSize = 11;  // with its 4-byte header
constexpr size_t kAesVerifierSize = 2;
constexpr size_t kAesAuthCodeSize = 10;
constexpr unsigned kAesIterations = 1000;
// The strength this tool writes: 3, AES-256.
constexpr uint8_t kAesStrength256 = 3;

// 1, 2, 3: AES-128, -192, -256; 0 for a strength there is no such key for.
size_t AesKeySize(uint8_t strength);
inline size_t AesSaltSize(uint8_t strength) { return AesKeySize(strength) / 2; }

// The 0x9901 extra field: vendor version (1: AE-1, the CRC is kept; 2: AE-2, it is 0), "AE",
// strength, and the method the data was compressed with before encryption.
struct AesExtra {
  uint16_t version = 2;
  uint8_t strength = kAesStrength256;
  uint16_t method = 8;
};
std::string EncodeAesExtra(const AesExtra& extra);
enum class AesExtraFound { Missing, Malformed, Found };
// Looks through an entry's extra fields for the AES one.
AesExtraFound FindAesExtra(const unsigned char* fields, size_t size, AesExtra& extra);

// Encrypts or decrypts (the same thing in counter mode) and authenticates one entry's data.
class ZipAesCipher {
 public:
  // Derives the keys from the password (UTF-8) and the salt: once per entry.
  [[nodiscard]] bool Start(const std::string& password, const unsigned char* salt, uint8_t strength);
  // The verifier the password gave.
  const unsigned char* Verifier() const { return verifier_; }
  // Encrypts in place, the authentication code covering the result.
  [[nodiscard]] bool Encrypt(unsigned char* data, size_t size);
  // Decrypts in place, the authentication code covering the input.
  [[nodiscard]] bool Decrypt(unsigned char* data, size_t size);
  // The authentication code of all the encrypted data.
  [[nodiscard]] bool Finish(unsigned char (&code)[kAesAuthCodeSize]);

 private:
  bool ApplyKeystream(unsigned char* data, size_t size);

  platform::AesBlockCipher aes_;
  platform::HmacSha1 hmac_;
  unsigned char verifier_[kAesVerifierSize] = {};
  uint64_t counter_ = 0;  // of the last block of keystream made
  unsigned char keystream_[platform::AesBlockCipher::kBlockSize] = {};
  size_t used_ = platform::AesBlockCipher::kBlockSize;  // of the current keystream block
  std::vector<unsigned char> blocks_;
};

}  // namespace kbt
