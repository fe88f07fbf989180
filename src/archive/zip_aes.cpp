#include "archive/zip_aes.h"

#include <algorithm>
#include <cstring>

namespace kbt {
namespace {
constexpr size_t kBlock = platform::AesBlockCipher::kBlockSize;
// Keystream made at a time: big enough that the system's AES runs at full speed.
constexpr size_t kKeystreamBlocks = 4096;
}  // namespace

size_t AesKeySize(uint8_t strength) { return strength >= 1 && strength <= 3 ? 8u + 8u * strength : 0; }

std::string EncodeAesExtra(const AesExtra& extra) {
  const unsigned char bytes[kAesExtraSize] = {kAesExtraId & 0xFF, kAesExtraId >> 8, 7, 0,
                                              static_cast<unsigned char>(extra.version), 0, 'A', 'E',
                                              extra.strength, static_cast<unsigned char>(extra.method & 0xFF),
                                              static_cast<unsigned char>(extra.method >> 8)};
  return std::string(reinterpret_cast<const char*>(bytes), sizeof bytes);
}

AesExtraFound FindAesExtra(const unsigned char* fields, size_t size, AesExtra& extra) {
  for (size_t at = 0; at + 4 <= size;) {
    const unsigned id = fields[at] | fields[at + 1] << 8;
    const size_t length = fields[at + 2] | fields[at + 3] << 8;
    if (length > size - at - 4) return id == kAesExtraId ? AesExtraFound::Malformed : AesExtraFound::Missing;
    if (id == kAesExtraId) {
      const unsigned char* data = fields + at + 4;
      if (length != 7 || data[2] != 'A' || data[3] != 'E') return AesExtraFound::Malformed;
      extra.version = static_cast<uint16_t>(data[0] | data[1] << 8);
      extra.strength = data[4];
      extra.method = static_cast<uint16_t>(data[5] | data[6] << 8);
      return AesExtraFound::Found;
    }
    at += 4 + length;
  }
  return AesExtraFound::Missing;
}

bool ZipAesCipher::Start(const std::string& password, const unsigned char* salt, uint8_t strength) {
  const size_t keySize = AesKeySize(strength);
  if (keySize == 0) return false;
  // The encryption key, the authentication key, then the verifier.
  unsigned char derived[2 * 32 + kAesVerifierSize];
  const size_t derivedSize = 2 * keySize + kAesVerifierSize;
  const bool started =
      platform::DerivePbkdf2Sha1(reinterpret_cast<const unsigned char*>(password.data()), password.size(), salt,
                                 AesSaltSize(strength), kAesIterations, derived, derivedSize) &&
      aes_.SetKey(derived, keySize) && hmac_.Start(derived + keySize, keySize);
  std::memcpy(verifier_, derived + 2 * keySize, kAesVerifierSize);
  std::memset(derived, 0, sizeof derived);
  counter_ = 0;
  used_ = kBlock;
  return started;
}

// The keystream is AES of a little-endian block counter that starts at 1.
bool ZipAesCipher::ApplyKeystream(unsigned char* data, size_t size) {
  while (size > 0) {
    if (used_ == kBlock && size >= kBlock) {
      // Whole blocks in bulk.
      const size_t blocks = std::min(size / kBlock, kKeystreamBlocks);
      blocks_.assign(blocks * kBlock, 0);
      for (size_t b = 0; b < blocks; ++b) {
        const uint64_t value = ++counter_;
        for (size_t i = 0; i < 8; ++i) blocks_[b * kBlock + i] = static_cast<unsigned char>(value >> (8 * i));
      }
      if (!aes_.EncryptBlocks(blocks_.data(), blocks_.data(), blocks)) return false;
      for (size_t i = 0; i < blocks * kBlock; ++i) data[i] ^= blocks_[i];
      data += blocks * kBlock;
      size -= blocks * kBlock;
      continue;
    }
    if (used_ == kBlock) {
      unsigned char block[kBlock] = {};
      const uint64_t value = ++counter_;
      for (size_t i = 0; i < 8; ++i) block[i] = static_cast<unsigned char>(value >> (8 * i));
      if (!aes_.EncryptBlocks(block, keystream_, 1)) return false;
      used_ = 0;
    }
    const size_t now = std::min(size, kBlock - used_);
    for (size_t i = 0; i < now; ++i) data[i] ^= keystream_[used_ + i];
    used_ += now;
    data += now;
    size -= now;
  }
  return true;
}

bool ZipAesCipher::Encrypt(unsigned char* data, size_t size) {
  return ApplyKeystream(data, size) && hmac_.Update(data, size);
}

bool ZipAesCipher::Decrypt(unsigned char* data, size_t size) {
  return hmac_.Update(data, size) && ApplyKeystream(data, size);
}

bool ZipAesCipher::Finish(unsigned char (&code)[kAesAuthCodeSize]) {
  unsigned char full[platform::HmacSha1::kSize];
  if (!hmac_.Finish(full)) return false;
  std::memcpy(code, full, kAesAuthCodeSize);
  return true;
}

}  // namespace kbt
