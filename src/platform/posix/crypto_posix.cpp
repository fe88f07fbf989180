// libcrypto: Debian ships and maintains it on every machine, it is already on the build's
// package list for signing, and its AES uses the processor's AES instructions. Nettle would do
// as well; one library for all four primitives is what matters.
#include "platform/crypto.h"

#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

#include <climits>
#include <string>

namespace kbt::platform {

bool DerivePbkdf2Sha1(const unsigned char* password, size_t passwordSize, const unsigned char* salt, size_t saltSize,
                      unsigned iterations, unsigned char* key, size_t keySize) {
  if (passwordSize > INT_MAX || saltSize > INT_MAX || keySize > INT_MAX || iterations > INT_MAX) return false;
  return PKCS5_PBKDF2_HMAC_SHA1(reinterpret_cast<const char*>(password), static_cast<int>(passwordSize), salt,
                                static_cast<int>(saltSize), static_cast<int>(iterations), static_cast<int>(keySize),
                                key) == 1;
}

bool RandomBytes(unsigned char* bytes, size_t size) {
  return size <= INT_MAX && RAND_bytes(bytes, static_cast<int>(size)) == 1;
}

struct AesBlockCipher::Impl {
  EVP_CIPHER_CTX* context = EVP_CIPHER_CTX_new();
  ~Impl() { EVP_CIPHER_CTX_free(context); }
};

AesBlockCipher::AesBlockCipher() : impl_(std::make_unique<Impl>()) {}
AesBlockCipher::~AesBlockCipher() = default;

bool AesBlockCipher::SetKey(const unsigned char* key, size_t keySize) {
  const EVP_CIPHER* cipher = keySize == 16 ? EVP_aes_128_ecb()
                             : keySize == 24 ? EVP_aes_192_ecb()
                             : keySize == 32 ? EVP_aes_256_ecb()
                                             : nullptr;
  return cipher && impl_->context && EVP_EncryptInit_ex(impl_->context, cipher, nullptr, key, nullptr) == 1 &&
         EVP_CIPHER_CTX_set_padding(impl_->context, 0) == 1;
}

bool AesBlockCipher::EncryptBlocks(const unsigned char* in, unsigned char* out, size_t blocks) {
  while (blocks > 0) {
    const size_t now = blocks < size_t{1} << 20 ? blocks : size_t{1} << 20;
    int written = 0;
    if (EVP_EncryptUpdate(impl_->context, out, &written, in, static_cast<int>(now * kBlockSize)) != 1 ||
        written != static_cast<int>(now * kBlockSize))
      return false;
    in += now * kBlockSize;
    out += now * kBlockSize;
    blocks -= now;
  }
  return true;
}

struct HmacSha1::Impl {
  EVP_MAC* mac = EVP_MAC_fetch(nullptr, "HMAC", nullptr);
  EVP_MAC_CTX* context = nullptr;
  ~Impl() {
    EVP_MAC_CTX_free(context);
    EVP_MAC_free(mac);
  }
};

HmacSha1::HmacSha1() : impl_(std::make_unique<Impl>()) {}
HmacSha1::~HmacSha1() = default;

bool HmacSha1::Start(const unsigned char* key, size_t keySize) {
  if (!impl_->mac) return false;
  EVP_MAC_CTX_free(impl_->context);
  impl_->context = EVP_MAC_CTX_new(impl_->mac);
  std::string digest = "SHA1";
  const OSSL_PARAM params[] = {OSSL_PARAM_construct_utf8_string(OSSL_MAC_PARAM_DIGEST, digest.data(), 0),
                               OSSL_PARAM_construct_end()};
  return impl_->context && EVP_MAC_init(impl_->context, key, keySize, params) == 1;
}

bool HmacSha1::Update(const unsigned char* data, size_t size) {
  return impl_->context && EVP_MAC_update(impl_->context, data, size) == 1;
}

bool HmacSha1::Finish(unsigned char (&code)[kSize]) {
  size_t length = 0;
  return impl_->context && EVP_MAC_final(impl_->context, code, &length, kSize) == 1 && length == kSize;
}

}  // namespace kbt::platform
