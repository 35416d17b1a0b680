// Zip AES (AE-2) over CNG: PBKDF2-HMAC-SHA1 for the keys, AES in ECB mode over the counter
// blocks for the CTR key stream, HMAC-SHA1 over the encrypted bytes for the authentication code.
#include "ziplib/aes_zip.h"

#include <windows.h>
#include <bcrypt.h>

#include <cstring>
#include <vector>

namespace ziplib {
namespace {

constexpr size_t kBlock = 16;
constexpr size_t kStreamBlocks = 256;  // key stream made 4 KiB at a time

bool Good(NTSTATUS s) { return s >= 0; }

// HMAC-SHA1 of `data` under `key` in one go (used by the PBKDF2 fallback).
bool Hmac(BCRYPT_ALG_HANDLE alg, const uint8_t* key, size_t keyLen, const uint8_t* a, size_t aLen,
          const uint8_t* b, size_t bLen, uint8_t out[20]) {
  BCRYPT_HASH_HANDLE h = nullptr;
  if (!Good(BCryptCreateHash(alg, &h, nullptr, 0, const_cast<PUCHAR>(key), static_cast<ULONG>(keyLen), 0))) return false;
  bool ok = Good(BCryptHashData(h, const_cast<PUCHAR>(a), static_cast<ULONG>(aLen), 0)) &&
            (bLen == 0 || Good(BCryptHashData(h, const_cast<PUCHAR>(b), static_cast<ULONG>(bLen), 0))) &&
            Good(BCryptFinishHash(h, out, 20, 0));
  BCryptDestroyHash(h);
  return ok;
}

// PBKDF2-HMAC-SHA1; the system's own routine when it has one, else the same over its HMAC.
bool Pbkdf2(BCRYPT_ALG_HANDLE hmacAlg, const std::string& password, const uint8_t* salt, size_t saltLen,
            uint8_t* out, size_t outLen) {
  if (Good(BCryptDeriveKeyPBKDF2(hmacAlg, reinterpret_cast<PUCHAR>(const_cast<char*>(password.data())),
                                 static_cast<ULONG>(password.size()), const_cast<PUCHAR>(salt),
                                 static_cast<ULONG>(saltLen), kAesIterations, out, static_cast<ULONG>(outLen), 0)))
    return true;
  const uint8_t* pw = reinterpret_cast<const uint8_t*>(password.data());
  for (uint32_t block = 1; outLen > 0; ++block) {
    uint8_t be[4] = {static_cast<uint8_t>(block >> 24), static_cast<uint8_t>(block >> 16),
                     static_cast<uint8_t>(block >> 8), static_cast<uint8_t>(block)};
    uint8_t u[20], t[20];
    if (!Hmac(hmacAlg, pw, password.size(), salt, saltLen, be, 4, u)) return false;
    std::memcpy(t, u, 20);
    for (int i = 1; i < kAesIterations; ++i) {
      if (!Hmac(hmacAlg, pw, password.size(), u, 20, nullptr, 0, u)) return false;
      for (int k = 0; k < 20; ++k) t[k] ^= u[k];
    }
    size_t n = outLen < 20 ? outLen : 20;
    std::memcpy(out, t, n);
    out += n;
    outLen -= n;
  }
  return true;
}

}  // namespace

size_t AesSaltSize(int strength) { return strength >= 1 && strength <= 3 ? 4 + 4 * static_cast<size_t>(strength) : 0; }
size_t AesHeaderSize(int strength) { return AesSaltSize(strength) ? AesSaltSize(strength) + 2 : 0; }

std::string AesExtraField(uint16_t realMethod, int strength, uint16_t vendorVersion) {
  const uint8_t r[11] = {0x01, 0x99, 7, 0, static_cast<uint8_t>(vendorVersion), static_cast<uint8_t>(vendorVersion >> 8),
                         'A',  'E',  static_cast<uint8_t>(strength), static_cast<uint8_t>(realMethod),
                         static_cast<uint8_t>(realMethod >> 8)};
  return std::string(reinterpret_cast<const char*>(r), sizeof r);
}

bool FindAesExtra(const void* extra, size_t size, AesExtraInfo* info) {
  const uint8_t* p = static_cast<const uint8_t*>(extra);
  size_t i = 0;
  while (i + 4 <= size) {
    uint16_t id = static_cast<uint16_t>(p[i] | p[i + 1] << 8);
    size_t len = static_cast<size_t>(p[i + 2] | p[i + 3] << 8);
    if (i + 4 + len > size) return false;
    if (id == kAesExtraId) {
      const uint8_t* d = p + i + 4;
      if (len != 7 || d[2] != 'A' || d[3] != 'E' || d[4] < 1 || d[4] > 3) return false;
      info->vendorVersion = static_cast<uint16_t>(d[0] | d[1] << 8);
      info->strength = d[4];
      info->method = static_cast<uint16_t>(d[5] | d[6] << 8);
      return true;
    }
    i += 4 + len;
  }
  return false;
}

class AesCtrHmac {
 public:
  ~AesCtrHmac() {
    if (hash_) BCryptDestroyHash(hash_);
    if (key_) BCryptDestroyKey(key_);
    if (hmacAlg_) BCryptCloseAlgorithmProvider(hmacAlg_, 0);
    if (aesAlg_) BCryptCloseAlgorithmProvider(aesAlg_, 0);
  }

  // Derives the keys; *verifier receives the 2 verifier bytes.
  AesResult Init(const std::string& password, int strength, const uint8_t* salt, uint8_t verifier[2]) {
    size_t keyLen = 8 + 8 * static_cast<size_t>(strength);  // 16, 24, 32
    if (!Good(BCryptOpenAlgorithmProvider(&aesAlg_, BCRYPT_AES_ALGORITHM, nullptr, 0)) ||
        !Good(BCryptSetProperty(aesAlg_, BCRYPT_CHAINING_MODE, reinterpret_cast<PUCHAR>(const_cast<wchar_t*>(BCRYPT_CHAIN_MODE_ECB)),
                                sizeof(BCRYPT_CHAIN_MODE_ECB), 0)) ||
        !Good(BCryptOpenAlgorithmProvider(&hmacAlg_, BCRYPT_SHA1_ALGORITHM, nullptr, BCRYPT_ALG_HANDLE_HMAC_FLAG)))
      return AesResult::SystemError;
    std::vector<uint8_t> km(2 * keyLen + 2);
    if (!Pbkdf2(hmacAlg_, password, salt, AesSaltSize(strength), km.data(), km.size())) return AesResult::SystemError;
    verifier[0] = km[2 * keyLen];
    verifier[1] = km[2 * keyLen + 1];
    bool ok = Good(BCryptGenerateSymmetricKey(aesAlg_, &key_, nullptr, 0, km.data(), static_cast<ULONG>(keyLen), 0)) &&
              Good(BCryptCreateHash(hmacAlg_, &hash_, nullptr, 0, km.data() + keyLen, static_cast<ULONG>(keyLen), 0));
    SecureZeroMemory(km.data(), km.size());
    return ok ? AesResult::Ok : AesResult::SystemError;
  }

  // XORs the key stream into data (counter from 1, 64-bit little-endian in the block's first bytes).
  bool Crypt(uint8_t* data, size_t size) {
    while (size > 0) {
      if (streamPos_ == streamLen_ && !Refill()) return false;
      size_t n = streamLen_ - streamPos_;
      if (n > size) n = size;
      for (size_t i = 0; i < n; ++i) data[i] ^= stream_[streamPos_ + i];
      streamPos_ += n;
      data += n;
      size -= n;
    }
    return true;
  }

  bool Mac(const uint8_t* data, size_t size) {
    while (size > 0) {
      ULONG n = size > 0x40000000 ? 0x40000000 : static_cast<ULONG>(size);
      if (!Good(BCryptHashData(hash_, const_cast<PUCHAR>(data), n, 0))) return false;
      data += n;
      size -= n;
    }
    return true;
  }

  bool Code(uint8_t out[kAesAuthSize]) {
    uint8_t full[20];
    if (finished_ || !Good(BCryptFinishHash(hash_, full, 20, 0))) return false;
    finished_ = true;
    std::memcpy(out, full, kAesAuthSize);
    return true;
  }

 private:
  bool Refill() {
    uint8_t counters[kStreamBlocks * kBlock] = {};
    for (size_t b = 0; b < kStreamBlocks; ++b) {
      ++counter_;
      for (int k = 0; k < 8; ++k) counters[b * kBlock + k] = static_cast<uint8_t>(counter_ >> (8 * k));
    }
    ULONG done = 0;
    if (!Good(BCryptEncrypt(key_, counters, sizeof counters, nullptr, nullptr, 0, stream_, sizeof stream_, &done, 0)) ||
        done != sizeof stream_)
      return false;
    streamPos_ = 0;
    streamLen_ = sizeof stream_;
    return true;
  }

  BCRYPT_ALG_HANDLE aesAlg_ = nullptr, hmacAlg_ = nullptr;
  BCRYPT_KEY_HANDLE key_ = nullptr;
  BCRYPT_HASH_HANDLE hash_ = nullptr;
  uint64_t counter_ = 0;
  uint8_t stream_[kStreamBlocks * kBlock];
  size_t streamPos_ = 0, streamLen_ = 0;
  bool finished_ = false;
};

AesZipEncryptor::AesZipEncryptor() = default;
AesZipEncryptor::~AesZipEncryptor() = default;

AesResult AesZipEncryptor::Begin(const std::string& password, std::string* header) {
  constexpr int kStrength = 3;
  uint8_t salt[16];
  if (!Good(BCryptGenRandom(nullptr, salt, sizeof salt, BCRYPT_USE_SYSTEM_PREFERRED_RNG))) return AesResult::SystemError;
  s_.reset(new AesCtrHmac);
  uint8_t v[2];
  AesResult r = s_->Init(password, kStrength, salt, v);
  if (r != AesResult::Ok) {
    s_.reset();
    return r;
  }
  header->assign(reinterpret_cast<const char*>(salt), sizeof salt);
  header->append(reinterpret_cast<const char*>(v), 2);
  return AesResult::Ok;
}

AesResult AesZipEncryptor::Encrypt(uint8_t* data, size_t size) {
  if (!s_) return AesResult::BadParameter;
  return s_->Crypt(data, size) && s_->Mac(data, size) ? AesResult::Ok : AesResult::SystemError;
}

AesResult AesZipEncryptor::Finish(std::string* authCode) {
  if (!s_) return AesResult::BadParameter;
  uint8_t code[kAesAuthSize];
  bool ok = s_->Code(code);
  s_.reset();
  if (!ok) return AesResult::SystemError;
  authCode->assign(reinterpret_cast<const char*>(code), kAesAuthSize);
  return AesResult::Ok;
}

AesZipDecryptor::AesZipDecryptor() = default;
AesZipDecryptor::~AesZipDecryptor() = default;

AesResult AesZipDecryptor::Begin(const std::string& password, int strength, const void* header, size_t headerSize) {
  s_.reset();
  if (!AesSaltSize(strength) || headerSize != AesHeaderSize(strength)) return AesResult::BadParameter;
  const uint8_t* h = static_cast<const uint8_t*>(header);
  auto s = std::make_unique<AesCtrHmac>();
  uint8_t v[2];
  AesResult r = s->Init(password, strength, h, v);
  if (r != AesResult::Ok) return r;
  if (v[0] != h[headerSize - 2] || v[1] != h[headerSize - 1]) return AesResult::WrongPassword;
  s_ = std::move(s);
  return AesResult::Ok;
}

AesResult AesZipDecryptor::Decrypt(uint8_t* data, size_t size) {
  if (!s_) return AesResult::BadParameter;
  return s_->Mac(data, size) && s_->Crypt(data, size) ? AesResult::Ok : AesResult::SystemError;
}

AesResult AesZipDecryptor::Finish(const void* authCode, size_t size) {
  if (!s_) return AesResult::BadParameter;
  uint8_t code[kAesAuthSize];
  bool ok = s_->Code(code);
  s_.reset();
  if (!ok) return AesResult::SystemError;
  if (size != kAesAuthSize) return AesResult::BadData;
  // Constant-time compare.
  uint8_t diff = 0;
  const uint8_t* a = static_cast<const uint8_t*>(authCode);
  for (size_t i = 0; i < kAesAuthSize; ++i) diff |= static_cast<uint8_t>(a[i] ^ code[i]);
  return diff ? AesResult::BadData : AesResult::Ok;
}

}  // namespace ziplib
