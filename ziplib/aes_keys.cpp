// PBKDF2-HMAC-SHA1 on the SHA instructions. The state of a digest stays in two registers
// (A..D from the highest lane down, E in the highest lane), and the blocks of the 1,000
// rounds, a 20-byte digest with its padding, are made from those registers directly.
#include "ziplib/aes_keys.h"

#include <windows.h>
#include <cpuid.h>
#include <immintrin.h>

#include <cstring>

namespace ziplib {
namespace {

#define QB_SHA_TARGET __attribute__((target("sha,sse4.1,ssse3")))

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

QB_SHA_TARGET void Store(const State& s, uint8_t out[20]) {
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_shuffle_epi8(s.abcd, ByteMask()));
  const uint32_t e = uint32_t(_mm_extract_epi32(s.e, 3));
  for (int i = 0; i < 4; ++i) out[16 + i] = uint8_t(e >> (24 - 8 * i));
}

}  // namespace

bool HasShaInstructions() {
  static const bool has = [] {
    unsigned a, b, c, d;
    if (!__get_cpuid(1, &a, &b, &c, &d) || !(c & bit_SSSE3) || !(c & bit_SSE4_1)) return false;
    if (!__get_cpuid_count(7, 0, &a, &b, &c, &d)) return false;
    return (b & bit_SHA) != 0;
  }();
  return has;
}

QB_SHA_TARGET bool Pbkdf2Sha1(const std::string& password, const uint8_t* salt, size_t saltLen, int iterations,
                              uint8_t* out, size_t outLen) {
  if (saltLen > 51) return false;
  // The HMAC key: the password, or its digest when longer than a block.
  uint8_t key[64] = {};
  if (password.size() > 64) {
    State k = Initial();
    Finish(k, 0, reinterpret_cast<const uint8_t*>(password.data()), password.size());
    Store(k, key);
  } else {
    std::memcpy(key, password.data(), password.size());
  }
  uint8_t pad[64];
  State inner = Initial(), outer = Initial();
  for (int i = 0; i < 64; ++i) pad[i] = key[i] ^ 0x36;
  CompressBytes(inner, pad);
  for (int i = 0; i < 64; ++i) pad[i] = key[i] ^ 0x5c;
  CompressBytes(outer, pad);
  for (uint32_t block = 1; outLen > 0; ++block) {
    uint8_t first[55];
    std::memcpy(first, salt, saltLen);
    for (int i = 0; i < 4; ++i) first[saltLen + i] = uint8_t(block >> (24 - 8 * i));
    State u = inner;
    Finish(u, 1, first, saltLen + 4);
    u = AfterPad(outer, u);
    State t = u;
    for (int i = 1; i < iterations; ++i) {
      u = AfterPad(outer, AfterPad(inner, u));
      t.abcd = _mm_xor_si128(t.abcd, u.abcd);
      t.e = _mm_xor_si128(t.e, u.e);
    }
    uint8_t digest[20];
    Store(t, digest);
    const size_t n = outLen < 20 ? outLen : 20;
    std::memcpy(out, digest, n);
    out += n;
    outLen -= n;
    SecureZeroMemory(digest, sizeof digest);
  }
  SecureZeroMemory(key, sizeof key);
  SecureZeroMemory(pad, sizeof pad);
  return true;
}

}  // namespace ziplib
