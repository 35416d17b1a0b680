#pragma once
// The costly parts of AES entries on the processor's own instructions, where it has them:
// the key derivation (PBKDF2-HMAC-SHA1 with the entry's salt) and the authentication code
// on its SHA instructions, the AES-256 key stream on its AES instructions. Every entry has
// a salt of its own, so every entry costs a derivation of 1,000 rounds; done through the
// system's routines it cost several times as much as compressing an average small file,
// and their key stream ran at a tenth of the compression's speed. Without those
// instructions the system's routines do the work (aes_zip.cpp).
#include <cstddef>
#include <cstdint>
#include <string>

namespace ziplib {

// True when the processor has the SHA and SSE4.1 instructions the fast derivation uses.
bool HasShaInstructions();

// For tests: the system's routines do all the work even on a processor with the
// instructions, so that both ways can be checked on one machine.
void UseSystemRoutinesOnly(bool on);

// PBKDF2-HMAC-SHA1 of password and salt (at most 51 bytes) over `iterations` rounds into
// out (outLen bytes). Only with HasShaInstructions(); false when the salt is too long.
bool Pbkdf2Sha1(const std::string& password, const uint8_t* salt, size_t saltLen, int iterations, uint8_t* out,
                size_t outLen);

// HMAC-SHA1 over data given in pieces, on the SHA instructions (only with
// HasShaInstructions()): the authentication code of an entry.
class HmacSha1 {
 public:
  ~HmacSha1();
  void Init(const uint8_t* key, size_t keyLen);
  void Update(const uint8_t* data, size_t size);
  void Final(uint8_t out[20]);   // once, after the last Update
  static constexpr size_t kStateBytes = 32;

 private:
  // The digest states after the key's pad blocks and the running one, kept as bytes here.
  alignas(16) uint8_t inner_[kStateBytes], outer_[kStateBytes], state_[kStateBytes];
  uint8_t block_[64];
  size_t used_ = 0;
  uint64_t blocks_ = 0;   // blocks compressed, the pad block included
};

// True when the processor has the AES instructions the fast key stream uses.
bool HasAesInstructions();

// The 15 round keys of an AES-256 key.
struct AesRoundKeys {
  alignas(16) uint8_t bytes[15 * 16];
};
// Only with HasAesInstructions().
void ExpandAes256Key(const uint8_t key[32], AesRoundKeys* out);
// XORs into data the CTR key stream that starts `skip` bytes (0..15) into the block of
// counter `counter` (64-bit little-endian in each block's first bytes, the rest zero).
void XorAesKeyStream(const AesRoundKeys& keys, uint64_t counter, size_t skip, uint8_t* data, size_t size);

}  // namespace ziplib
