// PBKDF2-HMAC-SHA1 and the HMAC-SHA1 authentication code on the SHA instructions, and the
// AES-256 CTR key stream on the AES instructions. The state of a digest stays in two registers (A..D from the highest lane
// down, E in the highest lane), and the blocks of the 1,000 rounds, a 20-byte digest with
// its padding, are made from those registers directly.
#include "ziplib/aes_hw.h"

#include <windows.h>
#include <cpuid.h>
#include <immintrin.h>

#include <algorithm>
#include <atomic>
#include <cstring>

namespace ziplib {
namespace {

#define QB_SHA_TARGET __attribute__((target("sha,sse4.1,ssse3")))
#define QB_AES_TARGET __attribute__((target("aes,sse4.1")))

struct State {
  __m128i abcd, e;
};

// Message words W[4g .. 4g+3] of group g >= 4 from the four groups before it.
QB_SHA_TARGET inline __m128i NextWords(const __m128i* w, int g) {
  return _mm_sha1msg2_epu32(_mm_xor_si128(_mm_sha1msg1_epu32(w[(g - 4) & 3], w[(g - 3) & 3]), w[(g - 2) & 3]),
                            w[(g - 1) & 3]);
}

// Groups first..last (of four rounds each) with the round function F.
template <int F>
QB_SHA_TARGET inline void Groups(int first, int last, __m128i* w, __m128i& abcd, __m128i& prev) {
  for (int g = first; g <= last; ++g) {
    if (g >= 4) w[g & 3] = NextWords(w, g);
    const __m128i e = _mm_sha1nexte_epu32(prev, w[g & 3]);
    prev = abcd;
    abcd = _mm_sha1rnds4_epu32(abcd, e, F);
  }
}

// One block of 16 message words (w[0] holds W0..W3, W0 in the highest lane).
QB_SHA_TARGET void Compress(State& s, __m128i w0, __m128i w1, __m128i w2, __m128i w3) {
  __m128i w[4] = {w0, w1, w2, w3};
  const State save = s;
  __m128i prev = s.abcd;
  s.abcd = _mm_sha1rnds4_epu32(s.abcd, _mm_add_epi32(s.e, w[0]), 0);
  Groups<0>(1, 4, w, s.abcd, prev);
  Groups<1>(5, 9, w, s.abcd, prev);
  Groups<2>(10, 14, w, s.abcd, prev);
  Groups<3>(15, 19, w, s.abcd, prev);
  s.e = _mm_sha1nexte_epu32(prev, save.e);
  s.abcd = _mm_add_epi32(s.abcd, save.abcd);
}

QB_SHA_TARGET __m128i ByteMask() { return _mm_set_epi64x(0x0001020304050607LL, 0x08090a0b0c0d0e0fLL); }

QB_SHA_TARGET void CompressBytes(State& s, const uint8_t* block) {
  const __m128i m = ByteMask();
  const __m128i* p = reinterpret_cast<const __m128i*>(block);
  Compress(s, _mm_shuffle_epi8(_mm_loadu_si128(p), m), _mm_shuffle_epi8(_mm_loadu_si128(p + 1), m),
           _mm_shuffle_epi8(_mm_loadu_si128(p + 2), m), _mm_shuffle_epi8(_mm_loadu_si128(p + 3), m));
}

QB_SHA_TARGET State Initial() {
  return {_mm_set_epi32(0x67452301, int(0xEFCDAB89), int(0x98BADCFE), 0x10325476), _mm_set_epi32(int(0xC3D2E1F0), 0, 0, 0)};
}

// The digest of `prefixBlocks` blocks already in s followed by len bytes of data.
QB_SHA_TARGET void Finish(State& s, uint64_t prefixBlocks, const uint8_t* data, size_t len) {
  const uint64_t bits = (prefixBlocks * 64 + len) * 8;
  for (; len >= 64; data += 64, len -= 64) CompressBytes(s, data);
  uint8_t tail[128] = {};
  std::memcpy(tail, data, len);
  tail[len] = 0x80;
  const size_t total = len + 9 <= 64 ? 64 : 128;
  for (int i = 0; i < 8; ++i) tail[total - 1 - i] = uint8_t(bits >> (8 * i));
  CompressBytes(s, tail);
  if (total == 128) CompressBytes(s, tail + 64);
}

// The block of a 20-byte digest that follows one 64-byte block: digest, the padding bit,
// and the length of 84 bytes.
QB_SHA_TARGET State AfterPad(const State& pad, const State& digest) {
  State s = pad;
  Compress(s, digest.abcd, _mm_or_si128(digest.e, _mm_set_epi32(0, int(0x80000000), 0, 0)), _mm_setzero_si128(),
           _mm_set_epi32(0, 0, 0, 84 * 8));
  return s;
}

// AfterPad for kLanes digests at once, each step done for every lane before the next: the
// lanes do not wait on each other, so the SHA unit works on one while another's result is
// still on its way.
constexpr int kLanes = 4;   // digests worked out side by side
template <int F>
QB_SHA_TARGET inline void LaneGroups(int first, int last, __m128i (*w)[4], __m128i* abcd, __m128i* prev) {
  for (int g = first; g <= last; ++g) {
    for (int l = 0; l < kLanes; ++l) {
      if (g >= 4) w[l][g & 3] = NextWords(w[l], g);
      const __m128i e = _mm_sha1nexte_epu32(prev[l], w[l][g & 3]);
      prev[l] = abcd[l];
      abcd[l] = _mm_sha1rnds4_epu32(abcd[l], e, F);
    }
  }
}

QB_SHA_TARGET void AfterPadLanes(const State& pad, State* s) {
  __m128i w[kLanes][4], abcd[kLanes], prev[kLanes];
  for (int l = 0; l < kLanes; ++l) {
    w[l][0] = s[l].abcd;
    w[l][1] = _mm_or_si128(s[l].e, _mm_set_epi32(0, int(0x80000000), 0, 0));
    w[l][2] = _mm_setzero_si128();
    w[l][3] = _mm_set_epi32(0, 0, 0, 84 * 8);
    prev[l] = pad.abcd;
    abcd[l] = _mm_sha1rnds4_epu32(pad.abcd, _mm_add_epi32(pad.e, w[l][0]), 0);
  }
  LaneGroups<0>(1, 4, w, abcd, prev);
  LaneGroups<1>(5, 9, w, abcd, prev);
  LaneGroups<2>(10, 14, w, abcd, prev);
  LaneGroups<3>(15, 19, w, abcd, prev);
  for (int l = 0; l < kLanes; ++l) {
    s[l].e = _mm_sha1nexte_epu32(prev[l], pad.e);
    s[l].abcd = _mm_add_epi32(abcd[l], pad.abcd);
  }
}

QB_SHA_TARGET void Store(const State& s, uint8_t out[20]) {
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_shuffle_epi8(s.abcd, ByteMask()));
  const uint32_t e = uint32_t(_mm_extract_epi32(s.e, 3));
  for (int i = 0; i < 4; ++i) out[16 + i] = uint8_t(e >> (24 - 8 * i));
}

// One step of the AES-256 key schedule: the next even round key from the one two before it
// and the assist word of the odd one.
QB_AES_TARGET inline __m128i EvenKey(__m128i prev, __m128i assist) {
  assist = _mm_shuffle_epi32(assist, 0xff);
  prev = _mm_xor_si128(prev, _mm_slli_si128(prev, 4));
  prev = _mm_xor_si128(prev, _mm_slli_si128(prev, 8));
  return _mm_xor_si128(prev, assist);
}
// The next odd round key from the one two before it and the even key just made.
QB_AES_TARGET inline __m128i OddKey(__m128i prev, __m128i even) {
  const __m128i assist = _mm_shuffle_epi32(_mm_aeskeygenassist_si128(even, 0), 0xaa);
  prev = _mm_xor_si128(prev, _mm_slli_si128(prev, 4));
  prev = _mm_xor_si128(prev, _mm_slli_si128(prev, 8));
  return _mm_xor_si128(prev, assist);
}

// Round keys rk[0] and rk[1] from the two before them.
template <int Rcon>
QB_AES_TARGET inline void KeyPair(__m128i* rk) {
  rk[0] = EvenKey(rk[-2], _mm_aeskeygenassist_si128(rk[-1], Rcon));
  rk[1] = OddKey(rk[-1], rk[0]);
}

std::atomic<bool> systemOnly{false};

// The states after the key's inner and outer pad blocks; a key longer than a block is
// replaced by its digest first.
QB_SHA_TARGET void PadStates(const uint8_t* keyData, size_t keyLen, State* inner, State* outer) {
  uint8_t key[64] = {};
  if (keyLen > 64) {
    State k = Initial();
    Finish(k, 0, keyData, keyLen);
    Store(k, key);
  } else if (keyLen > 0) {
    std::memcpy(key, keyData, keyLen);
  }
  uint8_t pad[64];
  *inner = Initial();
  *outer = Initial();
  for (int i = 0; i < 64; ++i) pad[i] = key[i] ^ 0x36;
  CompressBytes(*inner, pad);
  for (int i = 0; i < 64; ++i) pad[i] = key[i] ^ 0x5c;
  CompressBytes(*outer, pad);
  SecureZeroMemory(key, sizeof key);
  SecureZeroMemory(pad, sizeof pad);
}

}  // namespace

void UseSystemRoutinesOnly(bool on) { systemOnly = on; }

bool HasAesInstructions() {
  static const bool has = [] {
    unsigned a, b, c, d;
    return __get_cpuid(1, &a, &b, &c, &d) && (c & bit_AES) && (c & bit_SSE4_1);
  }();
  return has && !systemOnly;
}

QB_AES_TARGET void ExpandAes256Key(const uint8_t key[32], AesRoundKeys* out) {
  __m128i* rk = reinterpret_cast<__m128i*>(out->bytes);
  rk[0] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(key));
  rk[1] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(key + 16));
  // The round constants must be immediates: one call per pair of round keys.
  KeyPair<0x01>(rk + 2);
  KeyPair<0x02>(rk + 4);
  KeyPair<0x04>(rk + 6);
  KeyPair<0x08>(rk + 8);
  KeyPair<0x10>(rk + 10);
  KeyPair<0x20>(rk + 12);
  rk[14] = EvenKey(rk[12], _mm_aeskeygenassist_si128(rk[13], 0x40));
}

QB_AES_TARGET void XorAesKeyStream(const AesRoundKeys& keys, uint64_t counter, size_t skip, uint8_t* data,
                                   size_t size) {
  const __m128i* rk = reinterpret_cast<const __m128i*>(keys.bytes);
  constexpr int kBlocks = 8;   // blocks in flight, to keep the AES unit busy
  while (size > 0) {
    __m128i b[kBlocks];
    for (int l = 0; l < kBlocks; ++l) b[l] = _mm_xor_si128(_mm_set_epi64x(0, int64_t(counter + l)), rk[0]);
    for (int r = 1; r < 14; ++r)
      for (int l = 0; l < kBlocks; ++l) b[l] = _mm_aesenc_si128(b[l], rk[r]);
    for (int l = 0; l < kBlocks; ++l) b[l] = _mm_aesenclast_si128(b[l], rk[14]);
    if (skip == 0 && size >= sizeof b) {
      __m128i* d = reinterpret_cast<__m128i*>(data);
      for (int l = 0; l < kBlocks; ++l) _mm_storeu_si128(d + l, _mm_xor_si128(_mm_loadu_si128(d + l), b[l]));
      data += sizeof b;
      size -= sizeof b;
      counter += kBlocks;
      continue;
    }
    alignas(16) uint8_t stream[kBlocks * 16];
    for (int l = 0; l < kBlocks; ++l) _mm_store_si128(reinterpret_cast<__m128i*>(stream + 16 * l), b[l]);
    const size_t n = std::min(size, sizeof stream - skip);
    for (size_t i = 0; i < n; ++i) data[i] ^= stream[skip + i];
    data += n;
    size -= n;
    counter += kBlocks;
    skip = 0;
  }
}

bool HasShaInstructions() {
  static const bool has = [] {
    unsigned a, b, c, d;
    if (!__get_cpuid(1, &a, &b, &c, &d) || !(c & bit_SSSE3) || !(c & bit_SSE4_1)) return false;
    if (!__get_cpuid_count(7, 0, &a, &b, &c, &d)) return false;
    return (b & bit_SHA) != 0;
  }();
  return has && !systemOnly;
}

QB_SHA_TARGET bool Pbkdf2Sha1(const std::string& password, const uint8_t* salt, size_t saltLen, int iterations,
                              uint8_t* out, size_t outLen) {
  if (saltLen > 51) return false;
  State inner, outer;
  PadStates(reinterpret_cast<const uint8_t*>(password.data()), password.size(), &inner, &outer);
  // The output blocks are independent: kLanes of them are worked out side by side.
  for (uint32_t block = 1; outLen > 0; block += kLanes) {
    State u[kLanes], t[kLanes];
    for (int l = 0; l < kLanes; ++l) {
      uint8_t first[55];
      std::memcpy(first, salt, saltLen);
      for (int i = 0; i < 4; ++i) first[saltLen + i] = uint8_t((block + l) >> (24 - 8 * i));
      u[l] = inner;
      Finish(u[l], 1, first, saltLen + 4);
      u[l] = AfterPad(outer, u[l]);
      t[l] = u[l];
    }
    for (int i = 1; i < iterations; ++i) {
      AfterPadLanes(inner, u);
      AfterPadLanes(outer, u);
      for (int l = 0; l < kLanes; ++l) {
        t[l].abcd = _mm_xor_si128(t[l].abcd, u[l].abcd);
        t[l].e = _mm_xor_si128(t[l].e, u[l].e);
      }
    }
    for (int l = 0; l < kLanes && outLen > 0; ++l) {
      uint8_t digest[20];
      Store(t[l], digest);
      const size_t n = outLen < 20 ? outLen : 20;
      std::memcpy(out, digest, n);
      out += n;
      outLen -= n;
      SecureZeroMemory(digest, sizeof digest);
    }
  }
  return true;
}

static_assert(sizeof(State) <= HmacSha1::kStateBytes && alignof(State) <= 16, "a digest state fits its place");

QB_SHA_TARGET void HmacSha1::Init(const uint8_t* key, size_t keyLen) {
  PadStates(key, keyLen, reinterpret_cast<State*>(inner_), reinterpret_cast<State*>(outer_));
  std::memcpy(state_, inner_, sizeof state_);
  blocks_ = 1;
  used_ = 0;
}

QB_SHA_TARGET void HmacSha1::Update(const uint8_t* data, size_t size) {
  State& s = *reinterpret_cast<State*>(state_);
  while (size > 0) {
    if (used_ == 0 && size >= 64) {
      CompressBytes(s, data);
      ++blocks_;
      data += 64;
      size -= 64;
      continue;
    }
    const size_t n = std::min(size, sizeof block_ - used_);
    std::memcpy(block_ + used_, data, n);
    used_ += n;
    data += n;
    size -= n;
    if (used_ == sizeof block_) {
      CompressBytes(s, block_);
      ++blocks_;
      used_ = 0;
    }
  }
}

QB_SHA_TARGET void HmacSha1::Final(uint8_t out[20]) {
  State s = *reinterpret_cast<State*>(state_);
  Finish(s, blocks_, block_, used_);
  Store(AfterPad(*reinterpret_cast<const State*>(outer_), s), out);
  SecureZeroMemory(state_, sizeof state_);
  SecureZeroMemory(block_, sizeof block_);
}

HmacSha1::~HmacSha1() {
  SecureZeroMemory(inner_, sizeof inner_);
  SecureZeroMemory(outer_, sizeof outer_);
}

}  // namespace ziplib
