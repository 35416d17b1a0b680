// Zip AES (AE-2) over CNG: PBKDF2-HMAC-SHA1 for the keys, AES in ECB mode over the counter
// blocks for the CTR key stream, HMAC-SHA1 over the encrypted bytes for the authentication code.
// The derivation, the AES-256 key stream and the code run on the processor's instructions
// where it has them (aes_hw.cpp).
#include "ziplib/aes_zip.h"

#include <windows.h>
#include <bcrypt.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "ziplib/aes_hw.h"

namespace ziplib {
namespace {

constexpr size_t kBlock = 16;
constexpr size_t kStreamBlocks = 1024;  // key stream made up to 16 KiB at a time

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

// PBKDF2-HMAC-SHA1: on the processor's SHA instructions when it has them, else the
// system's own routine when it has one, else the same over its HMAC.
bool Pbkdf2(BCRYPT_ALG_HANDLE hmacAlg, const std::string& password, const uint8_t* salt, size_t saltLen,
            uint8_t* out, size_t outLen) {
  if (HasShaInstructions()) return Pbkdf2Sha1(password, salt, saltLen, kAesIterations, out, outLen);
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

// The two algorithm providers, opened once for the process and shared by every entry and
// thread: opening them per entry cost more than encrypting a small file. They live as long
// as the process.
struct Providers {
  BCRYPT_ALG_HANDLE aes = nullptr, hmac = nullptr;
  bool ok = false;
};
const Providers& Cng() {
  static const Providers p = [] {
    Providers q;
    q.ok = Good(BCryptOpenAlgorithmProvider(&q.aes, BCRYPT_AES_ALGORITHM, nullptr, 0)) &&
           Good(BCryptSetProperty(q.aes, BCRYPT_CHAINING_MODE,
                                  reinterpret_cast<PUCHAR>(const_cast<wchar_t*>(BCRYPT_CHAIN_MODE_ECB)),
                                  sizeof(BCRYPT_CHAIN_MODE_ECB), 0)) &&
           Good(BCryptOpenAlgorithmProvider(&q.hmac, BCRYPT_SHA1_ALGORITHM, nullptr, BCRYPT_ALG_HANDLE_HMAC_FLAG));
    return q;
  }();
  return p;
}

// The key stream of `blocks` counter blocks from counter `first` (64-bit little-endian in
// each block's first bytes) into out.
bool MakeStream(BCRYPT_KEY_HANDLE key, uint64_t first, size_t blocks, uint8_t* out) {
  std::memset(out, 0, blocks * kBlock);
  for (size_t b = 0; b < blocks; ++b)
    for (int k = 0; k < 8; ++k) out[b * kBlock + k] = static_cast<uint8_t>((first + b) >> (8 * k));
  const ULONG len = static_cast<ULONG>(blocks * kBlock);
  ULONG done = 0;
  return Good(BCryptEncrypt(key, out, len, nullptr, nullptr, 0, out, len, &done, 0)) && done == len;
}

size_t BlocksFor(size_t skip, size_t size) {
  return std::min(kStreamBlocks, (skip + size + kBlock - 1) / kBlock);
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
    SecureZeroMemory(&roundKeys_, sizeof roundKeys_);
  }

  // Derives the keys; *verifier receives the 2 verifier bytes.
  AesResult Init(const std::string& password, int strength, const uint8_t* salt, uint8_t verifier[2]) {
    size_t keyLen = 8 + 8 * static_cast<size_t>(strength);  // 16, 24, 32
    const Providers& cng = Cng();
    if (!cng.ok) return AesResult::SystemError;
    uint8_t km[2 * 32 + 2];
    const size_t kmLen = 2 * keyLen + 2;
    if (!Pbkdf2(cng.hmac, password, salt, AesSaltSize(strength), km, kmLen)) return AesResult::SystemError;
    verifier[0] = km[2 * keyLen];
    verifier[1] = km[2 * keyLen + 1];
    hw_ = keyLen == 32 && HasAesInstructions();
    if (hw_) ExpandAes256Key(km, &roundKeys_);
    shaHw_ = HasShaInstructions();
    if (shaHw_) hmac_.Init(km + keyLen, keyLen);
    bool ok = (hw_ || Good(BCryptGenerateSymmetricKey(cng.aes, &key_, nullptr, 0, km, static_cast<ULONG>(keyLen), 0))) &&
              (shaHw_ || Good(BCryptCreateHash(cng.hmac, &hash_, nullptr, 0, km + keyLen, static_cast<ULONG>(keyLen), 0)));
    SecureZeroMemory(km, sizeof km);
    return ok ? AesResult::Ok : AesResult::SystemError;
  }

  // XORs the key stream into data (counter from 1, 64-bit little-endian in the block's first bytes).
  bool Crypt(uint8_t* data, size_t size) {
    if (hw_) {
      XorAesKeyStream(roundKeys_, pos_ / kBlock + 1, static_cast<size_t>(pos_ % kBlock), data, size);
      pos_ += size;
      return true;
    }
    while (size > 0) {
      if (streamPos_ == streamLen_ && !Refill(size)) return false;
      size_t n = streamLen_ - streamPos_;
      if (n > size) n = size;
      for (size_t i = 0; i < n; ++i) data[i] ^= stream_[streamPos_ + i];
      streamPos_ += n;
      data += n;
      size -= n;
    }
    return true;
  }

  // The same key stream from byte `at` of the data on, with a key of its own, so that
  // several threads can encrypt parts of one entry at once; the running stream is untouched.
  bool CryptAt(uint64_t at, uint8_t* data, size_t size) const {
    if (hw_) {
      XorAesKeyStream(roundKeys_, at / kBlock + 1, static_cast<size_t>(at % kBlock), data, size);
      return true;
    }
    BCRYPT_KEY_HANDLE key = nullptr;
    if (!Good(BCryptDuplicateKey(key_, &key, nullptr, 0, 0))) return false;
    std::vector<uint8_t> stream(kStreamBlocks * kBlock);
    bool ok = true;
    while (ok && size > 0) {
      const size_t skip = static_cast<size_t>(at % kBlock);
      const size_t blocks = BlocksFor(skip, size);
      ok = MakeStream(key, at / kBlock + 1, blocks, stream.data());
      const size_t n = std::min(size, blocks * kBlock - skip);
      for (size_t i = 0; ok && i < n; ++i) data[i] ^= stream[skip + i];
      at += n;
      data += n;
      size -= n;
    }
    BCryptDestroyKey(key);
    return ok;
  }

  bool Mac(const uint8_t* data, size_t size) {
    if (shaHw_) {
      hmac_.Update(data, size);
      return true;
    }
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
    if (finished_) return false;
    if (shaHw_) hmac_.Final(full);
    else if (!Good(BCryptFinishHash(hash_, full, 20, 0))) return false;
    finished_ = true;
    std::memcpy(out, full, kAesAuthSize);
    return true;
  }

 private:
  // Makes the key stream for the next `size` bytes (at most kStreamBlocks blocks): a small
  // entry costs the blocks it needs only.
  bool Refill(size_t size) {
    const size_t blocks = BlocksFor(0, size);
    if (!MakeStream(key_, counter_ + 1, blocks, stream_)) return false;
    counter_ += blocks;
    streamPos_ = 0;
    streamLen_ = blocks * kBlock;
    return true;
  }

  BCRYPT_KEY_HANDLE key_ = nullptr;   // the system's key, without the AES instructions
  bool hw_ = false;                   // the key stream from the AES instructions
  AesRoundKeys roundKeys_;
  uint64_t pos_ = 0;                  // bytes of the key stream used (with hw_)
  bool shaHw_ = false;                // the code from the SHA instructions
  HmacSha1 hmac_;
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

AesResult AesZipEncryptor::EncryptPart(uint64_t offset, uint8_t* data, size_t size) const {
  if (!s_) return AesResult::BadParameter;
  return s_->CryptAt(offset, data, size) ? AesResult::Ok : AesResult::SystemError;
}

AesResult AesZipEncryptor::Authenticate(const uint8_t* data, size_t size) {
  if (!s_) return AesResult::BadParameter;
  return s_->Mac(data, size) ? AesResult::Ok : AesResult::SystemError;
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
