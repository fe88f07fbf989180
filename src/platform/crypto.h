#pragma once
// The cryptography a protected backup needs, taken from the system (CNG on Windows, OpenSSL's
// libcrypto natively): nothing here is an algorithm of our own.
#include <cstddef>
#include <memory>

namespace kbt::platform {

// PBKDF2 with HMAC-SHA1 (RFC 2898).
[[nodiscard]] bool DerivePbkdf2Sha1(const unsigned char* password, size_t passwordSize, const unsigned char* salt,
                                    size_t saltSize, unsigned iterations, unsigned char* key, size_t keySize);

// Bytes from the system's cryptographic random source.
[[nodiscard]] bool RandomBytes(unsigned char* bytes, size_t size);

// AES with a 128-, 192- or 256-bit key, one block at a time and without chaining (ECB): the
// counter mode of zip entries is built on it.
class AesBlockCipher {
 public:
  static constexpr size_t kBlockSize = 16;
  AesBlockCipher();
  ~AesBlockCipher();
  AesBlockCipher(const AesBlockCipher&) = delete;
  AesBlockCipher& operator=(const AesBlockCipher&) = delete;

  [[nodiscard]] bool SetKey(const unsigned char* key, size_t keySize);
  // Encrypts `blocks` whole blocks from `in` to `out`.
  [[nodiscard]] bool EncryptBlocks(const unsigned char* in, unsigned char* out, size_t blocks);

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

// HMAC-SHA1 over data given in parts.
class HmacSha1 {
 public:
  static constexpr size_t kSize = 20;
  HmacSha1();
  ~HmacSha1();
  HmacSha1(const HmacSha1&) = delete;
  HmacSha1& operator=(const HmacSha1&) = delete;

  [[nodiscard]] bool Start(const unsigned char* key, size_t keySize);
  [[nodiscard]] bool Update(const unsigned char* data, size_t size);
  [[nodiscard]] bool Finish(unsigned char (&code)[kSize]);

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace kbt::platform
