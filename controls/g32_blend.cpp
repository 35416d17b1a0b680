#include "controls/g32_blend.h"

#include <cpuid.h>
#include <mmintrin.h>

#include <cstdlib>
#include <cstring>

namespace g32 {
namespace {

// 2056 bytes, the start rounded up to a multiple of 8 for aligned 64-bit loads.
struct TAlphaTable {
  explicit TAlphaTable(bool wanted) {
    if (!wanted) return;
    raw = static_cast<unsigned char*>(std::malloc(2056));
    uintptr_t p = (reinterpret_cast<uintptr_t>(raw) + 7) & ~uintptr_t{7};
    entries = reinterpret_cast<uint64_t*>(p);
    for (uint64_t i = 0; i < 256; ++i) entries[i] = i | (i << 16) | (i << 32) | (i << 48);
  }
  ~TAlphaTable() { std::free(raw); }
  unsigned char* raw = nullptr;
  uint64_t* entries = nullptr;
};

// The MMX form needs the table even when called directly on a processor that the
// selection turned down (tests); such a table is made on first use.
const uint64_t* Weights();

bool DetectMmx() { return CpuHasMmx(); }

}  // namespace

bool CpuHasMmxFrom(bool hasCpuid, uint32_t eax1, uint32_t edx1) {
  if (!hasCpuid) return false;
  if (((eax1 >> 8) & 0xF) < 5) return false;
  return (edx1 & 0x800000) != 0;
}

bool CpuHasMmx() {
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  // __get_cpuid answers 0 when the processor has no CPUID function 1; on x64 the
  // instruction itself always exists, so the flag-flip test of older processors is moot.
  bool has = __get_cpuid(1, &eax, &ebx, &ecx, &edx) != 0;
  return CpuHasMmxFrom(has, eax, edx);
}

const bool MmxActive = DetectMmx();
static TAlphaTable gTable(MmxActive);
const TBlendInPlace BlendInPlace = MmxActive ? BlendInPlaceMmx : BlendInPlacePlain;

namespace {
const uint64_t* Weights() {
  if (gTable.entries) return gTable.entries;
  static TAlphaTable spare(true);
  return spare.entries;
}
}  // namespace

const uint64_t* AlphaTable() { return gTable.entries; }

void BlendInPlacePlain(TColor32 F, TColor32& B) {
  uint32_t a = F >> 24;
  if (a == 0) return;
  if (a == 255) {
    B = F;
    return;
  }
  uint32_t na = 255 - a;
  // Two channels at a time: each product fits in its 16-bit half.
  uint32_t fRB = (((F & 0x00FF00FF) * a + 0x00800080) >> 8) & 0x00FF00FF;
  uint32_t fAG = (((F & 0xFF00FF00) >> 8) * a + 0x00800080) & 0xFF00FF00;
  uint32_t bRB = (((B & 0x00FF00FF) * na + 0x00800080) >> 8) & 0x00FF00FF;
  uint32_t bAG = (((B & 0xFF00FF00) >> 8) * na + 0x00800080) & 0xFF00FF00;
  B = (fRB | fAG) + (bRB | bAG);
}

void BlendInPlaceMmx(TColor32 F, TColor32& B) {
  uint32_t a = F >> 24;
  if (a == 0) return;
  if (a == 255) {
    B = F;
    return;
  }
  const uint64_t* table = Weights();
  __m64 zero = _mm_setzero_si64();
  __m64 f = _mm_unpacklo_pi8(_mm_cvtsi32_si64(static_cast<int>(F)), zero);
  __m64 b = _mm_unpacklo_pi8(_mm_cvtsi32_si64(static_cast<int>(B)), zero);
  __m64 weight, bias;
  std::memcpy(&weight, &table[a], 8);
  std::memcpy(&bias, &table[128], 8);
  // B * 256 + bias + (F - B) * a, in 16-bit lanes, then >> 8.
  __m64 r = _mm_add_pi16(_mm_add_pi16(_mm_slli_pi16(b, 8), bias), _mm_mullo_pi16(_mm_sub_pi16(f, b), weight));
  r = _mm_packs_pu16(_mm_srli_pi16(r, 8), zero);
  B = static_cast<uint32_t>(_mm_cvtsi64_si32(r));
}

void EndBlend() {
  if (MmxActive) _mm_empty();
}

}  // namespace g32
