// Windows CNG (bcrypt): the system's own implementations of every primitive.
#include "platform/crypto.h"

#include "platform/unique_handle.h"
#include "platform/win32/wide.h"

#include <bcrypt.h>

#include <climits>
#include <vector>

namespace kbt::platform {
namespace {

bool Succeeded(NTSTATUS status) { return status >= 0; }

struct AlgorithmTraits {
  using Type = BCRYPT_ALG_HANDLE;
  static Type Invalid() { return nullptr; }
  static bool Close(Type handle) { return Succeeded(BCryptCloseAlgorithmProvider(handle, 0)); }
};
struct KeyTraits {
  using Type = BCRYPT_KEY_HANDLE;
  static Type Invalid() { return nullptr; }
  static bool Close(Type handle) { return Succeeded(BCryptDestroyKey(handle)); }
};
struct HashTraits {
  using Type = BCRYPT_HASH_HANDLE;
  static Type Invalid() { return nullptr; }
  static bool Close(Type handle) { return Succeeded(BCryptDestroyHash(handle)); }
};

UniqueHandle<AlgorithmTraits> OpenAlgorithm(const wchar_t* name, ULONG flags) {
  BCRYPT_ALG_HANDLE handle = nullptr;
  if (!Succeeded(BCryptOpenAlgorithmProvider(&handle, name, nullptr, flags))) return {};
  return UniqueHandle<AlgorithmTraits>(handle);
}

}  // namespace

bool DerivePbkdf2Sha1(const unsigned char* password, size_t passwordSize, const unsigned char* salt, size_t saltSize,
                      unsigned iterations, unsigned char* key, size_t keySize) {
  if (passwordSize > ULONG_MAX || saltSize > ULONG_MAX || keySize > ULONG_MAX) return false;
  const auto hmac = OpenAlgorithm(BCRYPT_SHA1_ALGORITHM, BCRYPT_ALG_HANDLE_HMAC_FLAG);
  return hmac && Succeeded(BCryptDeriveKeyPBKDF2(hmac.Get(), const_cast<PUCHAR>(password), static_cast<ULONG>(passwordSize),
                                                 const_cast<PUCHAR>(salt), static_cast<ULONG>(saltSize), iterations, key,
                                                 static_cast<ULONG>(keySize), 0));
}

bool RandomBytes(unsigned char* bytes, size_t size) {
  return size <= ULONG_MAX &&
         Succeeded(BCryptGenRandom(nullptr, bytes, static_cast<ULONG>(size), BCRYPT_USE_SYSTEM_PREFERRED_RNG));
}

struct AesBlockCipher::Impl {
  UniqueHandle<AlgorithmTraits> algorithm;
  UniqueHandle<KeyTraits> key;  // destroyed before its provider is closed
};

AesBlockCipher::AesBlockCipher() : impl_(std::make_unique<Impl>()) {}
AesBlockCipher::~AesBlockCipher() = default;

bool AesBlockCipher::SetKey(const unsigned char* key, size_t keySize) {
  impl_->key.Reset();
  if (keySize != 16 && keySize != 24 && keySize != 32) return false;
  if (!impl_->algorithm) {
    impl_->algorithm = OpenAlgorithm(BCRYPT_AES_ALGORITHM, 0);
    if (!impl_->algorithm ||
        !Succeeded(BCryptSetProperty(impl_->algorithm.Get(), BCRYPT_CHAINING_MODE,
                                     reinterpret_cast<PUCHAR>(const_cast<wchar_t*>(BCRYPT_CHAIN_MODE_ECB)),
                                     sizeof BCRYPT_CHAIN_MODE_ECB, 0))) {
      impl_->algorithm.Reset();
      return false;
    }
  }
  BCRYPT_KEY_HANDLE handle = nullptr;
  if (!Succeeded(BCryptGenerateSymmetricKey(impl_->algorithm.Get(), &handle, nullptr, 0, const_cast<PUCHAR>(key),
                                            static_cast<ULONG>(keySize), 0)))
    return false;
  impl_->key.Reset(handle);
  return true;
}

bool AesBlockCipher::EncryptBlocks(const unsigned char* in, unsigned char* out, size_t blocks) {
  if (!impl_->key) return false;
  while (blocks > 0) {
    const size_t now = blocks < size_t{1} << 20 ? blocks : size_t{1} << 20;
    const ULONG bytes = static_cast<ULONG>(now * kBlockSize);
    ULONG written = 0;
    if (!Succeeded(BCryptEncrypt(impl_->key.Get(), const_cast<PUCHAR>(in), bytes, nullptr, nullptr, 0, out, bytes,
                                 &written, 0)) ||
        written != bytes)
      return false;
    in += bytes;
    out += bytes;
    blocks -= now;
  }
  return true;
}

struct HmacSha1::Impl {
  UniqueHandle<AlgorithmTraits> algorithm;
  UniqueHandle<HashTraits> hash;
};

HmacSha1::HmacSha1() : impl_(std::make_unique<Impl>()) {}
HmacSha1::~HmacSha1() = default;

bool HmacSha1::Start(const unsigned char* key, size_t keySize) {
  impl_->hash.Reset();
  if (keySize > ULONG_MAX) return false;
  if (!impl_->algorithm) impl_->algorithm = OpenAlgorithm(BCRYPT_SHA1_ALGORITHM, BCRYPT_ALG_HANDLE_HMAC_FLAG);
  BCRYPT_HASH_HANDLE handle = nullptr;
  if (!impl_->algorithm || !Succeeded(BCryptCreateHash(impl_->algorithm.Get(), &handle, nullptr, 0,
                                                       const_cast<PUCHAR>(key), static_cast<ULONG>(keySize), 0)))
    return false;
  impl_->hash.Reset(handle);
  return true;
}

bool HmacSha1::Update(const unsigned char* data, size_t size) {
  while (impl_->hash && size > 0) {
    const ULONG now = size < ULONG_MAX ? static_cast<ULONG>(size) : ULONG_MAX;
    if (!Succeeded(BCryptHashData(impl_->hash.Get(), const_cast<PUCHAR>(data), now, 0))) return false;
    data += now;
    size -= now;
  }
  return static_cast<bool>(impl_->hash);
}

bool HmacSha1::Finish(unsigned char (&code)[kSize]) {
  const bool done = impl_->hash && Succeeded(BCryptFinishHash(impl_->hash.Get(), code, kSize, 0));
  impl_->hash.Reset();
  return done;
}

}  // namespace kbt::platform
