// The two blend forms against their per-channel rules and against each other.
#include <gtest/gtest.h>

#include "controls/g32_blend.h"

using g32::TColor32;

namespace {

uint32_t Ch(TColor32 c, int i) { return (c >> (8 * i)) & 0xFF; }

TColor32 Plain(TColor32 f, TColor32 b) {
  g32::BlendInPlacePlain(f, b);
  return b;
}
TColor32 Mmx(TColor32 f, TColor32 b) {
  g32::BlendInPlaceMmx(f, b);
  g32::EndBlend();
  return b;
}

const uint32_t kSamples[] = {0, 1, 2, 15, 64, 100, 127, 128, 129, 200, 254, 255};
constexpr int kN = sizeof kSamples / sizeof kSamples[0];

TColor32 Make(uint32_t a, int i) {
  return (a << 24) | (kSamples[i % kN] << 16) | (kSamples[(i + 3) % kN] << 8) | kSamples[(i + 7) % kN];
}

}  // namespace

TEST(Blend, DocumentedValues) {
  TColor32 white163 = 0xA3FFFFFF, black81 = 0x51000000;
  EXPECT_EQ(Ch(Plain(white163, 0xFFFFFFFF), 0), 254u);
  EXPECT_EQ(Ch(Mmx(white163, 0xFFFFFFFF), 0), 255u);
  EXPECT_EQ(Ch(Plain(white163, 0xFF000000), 1), 162u);
  EXPECT_EQ(Ch(Mmx(white163, 0xFF000000), 1), 162u);
  EXPECT_EQ(Ch(Plain(black81, 0xFFFFFFFF), 2), 173u);
  EXPECT_EQ(Ch(Mmx(black81, 0xFFFFFFFF), 2), 174u);
  EXPECT_EQ(Ch(Plain(0x01000041, 0x000000C1), 0), 191u);
  EXPECT_EQ(Ch(Mmx(0x01000041, 0x000000C1), 0), 193u);
}

TEST(Blend, AlphaZeroKeepsAndFullReplacesInBothForms) {
  for (int i = 0; i < kN; ++i)
    for (int j = 0; j < kN; ++j) {
      TColor32 b = Make(kSamples[j], j + 1);
      EXPECT_EQ(Plain(Make(0, i), b), b);
      EXPECT_EQ(Mmx(Make(0, i), b), b);
      EXPECT_EQ(Plain(Make(255, i), b), Make(255, i));
      EXPECT_EQ(Mmx(Make(255, i), b), Make(255, i));
    }
}

// Every alpha with a grid of colours on both sides, the alpha channels included: each
// form follows its own rounding rule in every channel, and the two forms stay within
// two of each other (the MMX form weighs the pixel by 256 - a, the plain one by 255 - a
// with its own rounding, so 1 over 65 on 193 gives 191 and 193).
TEST(Blend, FormsFollowTheirRulesAndAgreeWithinOne) {
  int differing = 0;
  for (uint32_t a = 0; a < 256; ++a)
    for (int i = 0; i < kN; ++i)
      for (int j = 0; j < kN; ++j) {
        TColor32 f = Make(a, i), b = Make(kSamples[(j + 5) % kN], j + 2);
        TColor32 p = Plain(f, b), m = Mmx(f, b);
        for (int c = 0; c < 4; ++c) {
          uint32_t fc = Ch(f, c), bc = Ch(b, c);
          uint32_t wantP = a == 0 ? bc : a == 255 ? fc : ((fc * a + 128) >> 8) + ((bc * (255 - a) + 128) >> 8);
          uint32_t wantM = a == 0 ? bc : a == 255 ? fc : (fc * a + bc * (256 - a) + 128) >> 8;
          ASSERT_EQ(Ch(p, c), wantP) << std::hex << f << " over " << b << " channel " << c;
          ASSERT_EQ(Ch(m, c), wantM) << std::hex << f << " over " << b << " channel " << c;
          int d = static_cast<int>(Ch(p, c)) - static_cast<int>(Ch(m, c));
          ASSERT_LE(std::abs(d), 2);
          differing += d != 0;
        }
      }
  EXPECT_GT(differing, 0);  // the rules really differ, so the comparison has teeth
}

TEST(Blend, ProcessorSelection) {
  EXPECT_FALSE(g32::CpuHasMmxFrom(false, 0x00000F00, 0x00800000));
  EXPECT_FALSE(g32::CpuHasMmxFrom(true, 0x00000400, 0x00800000));  // family 4
  EXPECT_FALSE(g32::CpuHasMmxFrom(true, 0x00000500, 0x007FFFFF));  // no MMX bit
  EXPECT_TRUE(g32::CpuHasMmxFrom(true, 0x00000500, 0x00800000));
  EXPECT_TRUE(g32::CpuHasMmxFrom(true, 0x000306C3, 0x00800000));
  // Every 64-bit processor has MMX.
  EXPECT_TRUE(g32::CpuHasMmx());
  EXPECT_EQ(g32::MmxActive, g32::CpuHasMmx());
  EXPECT_EQ(g32::BlendInPlace, g32::MmxActive ? &g32::BlendInPlaceMmx : &g32::BlendInPlacePlain);
  const uint64_t* table = g32::AlphaTable();
  ASSERT_EQ(table != nullptr, g32::MmxActive);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(table) % 8, 0u);
  EXPECT_EQ(table[0], 0u);
  EXPECT_EQ(table[128], 0x0080008000800080ull);
  EXPECT_EQ(table[255], 0x00FF00FF00FF00FFull);
}
