// The gradient bar's pixels for known sizes, colours, contrasts and positions, and the
// paint box's buffer and repaint rules, offscreen and in a real window under Xvfb.
#include <gtest/gtest.h>

#include "controls/g32_progressbar.h"

using namespace g32;

namespace {

constexpr TColor kBack = 0x00808080;      // a grey trough
constexpr TColor kBar = 0x00FEE4D8;       // the count-down window's bar colour
constexpr TColor32 kBar32 = 0xFFD8E4FE;

TColor32 Frame() { return RgbToColor32(GetSysColor(COLOR_WINDOWFRAME)); }
TColor32 Blend(TColor32 f, TColor32 b) {
  BlendInPlace(f, b);
  EndBlend();
  return b;
}
TColor32 Lit(TColor32 c) { return Blend(0xA3FFFFFF, c); }    // raised edge, top and left
TColor32 Shade(TColor32 c) { return Blend(0x51000000, c); }  // raised edge, bottom and right

// Paints the bar into its buffer as a repaint of the window would.
void Render(TG32_ProgressBar& bar) {
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP target = CreateCompatibleBitmap(GetDC(nullptr), bar.Width() + 1, bar.Height() + 1);
  HGDIOBJ old = SelectObject(dc, target);
  bar.Paint(dc);
  SelectObject(dc, old);
  DeleteObject(target);
  DeleteDC(dc);
}

struct TCountingBar : TG32_ProgressBar {
  int paints = 0;
  void PaintBuffer() override {
    ++paints;
    TG32_ProgressBar::PaintBuffer();
  }
};

TG32_ProgressBar* MakeBar(TG32_ProgressBar& bar, int w, int h, int contrast, int position) {
  bar.SetBounds(0, 0, w, h);
  bar.SetBackColor(kBack);
  bar.SetColor(kBar);
  bar.SetContrast(contrast);
  bar.SetPosition(position);
  Render(bar);
  return &bar;
}

}  // namespace

TEST(ProgressBar, Defaults) {
  TG32_ProgressBar bar;
  EXPECT_EQ(bar.Width(), 150);
  EXPECT_EQ(bar.Height(), 16);
  EXPECT_EQ(bar.BackColor(), 0x80000010u);
  EXPECT_EQ(bar.Contrast(), 64);
  EXPECT_TRUE(bar.Framed());
  EXPECT_EQ(bar.Min(), 0);
  EXPECT_EQ(bar.Max(), 100);
  EXPECT_TRUE(bar.ParentColor());
  bar.SetColor(kBar);
  EXPECT_FALSE(bar.ParentColor());
  EXPECT_EQ(bar.Color(), kBar);
}

// The worked example: framed 240 x 9, contrast 95, half way.
TEST(ProgressBar, FramedHalfBarPixels) {
  TG32_ProgressBar bar;
  MakeBar(bar, 240, 9, 95, 50);
  const TBitmap32& b = bar.Buffer;
  ASSERT_GE(b.Width(), 240);
  TColor32 frame = Frame(), back = ToColor32(kBack), dark = 0xFF606060;
  for (int x = 0; x < 240; ++x) {
    ASSERT_EQ(b.Pixel(x, 0), frame) << x;
    ASSERT_EQ(b.Pixel(x, 8), frame) << x;
  }
  for (int y = 0; y < 9; ++y) {
    EXPECT_EQ(b.Pixel(0, y), frame);
    EXPECT_EQ(b.Pixel(239, y), frame);
    EXPECT_EQ(b.Pixel(120, y), frame) << "end mark, row " << y;
  }
  // Rows 1..7 shaded by these amounts around the bar colour.
  const int offsets[7] = {40, 27, 13, 0, -13, -27, -40};
  for (int y = 2; y <= 6; ++y) {
    TColor32 shaded = AdjustBrightness(kBar32, offsets[y - 1]);
    EXPECT_EQ(b.Pixel(60, y), shaded) << y;
    EXPECT_EQ(b.Pixel(2, y), shaded) << y;
    EXPECT_EQ(b.Pixel(1, y), Lit(shaded)) << y;
    EXPECT_EQ(b.Pixel(119, y), Shade(shaded)) << y;
  }
  EXPECT_EQ(b.Pixel(4, 4), kBar32);  // the middle row is the colour itself
  for (int x = 1; x <= 119; ++x) {
    ASSERT_EQ(b.Pixel(x, 1), Lit(AdjustBrightness(kBar32, 40))) << x;
    ASSERT_EQ(b.Pixel(x, 7), Shade(AdjustBrightness(kBar32, -40))) << x;
  }
  // The trough right of the bar: dark inner top row, no light edges when framed.
  for (int x = 121; x <= 238; ++x) ASSERT_EQ(b.Pixel(x, 1), dark) << x;
  for (int y = 2; y <= 7; ++y) {
    EXPECT_EQ(b.Pixel(200, y), back);
    EXPECT_EQ(b.Pixel(238, y), back);
  }
}

TEST(ProgressBar, EmptyAndFullBars) {
  TColor32 frame = Frame(), back = ToColor32(kBack), dark = 0xFF606060;
  for (auto [min, max, pos] : {std::tuple{0, 100, 0}, {0, 100, -5}, {10, 10, 50}, {20, 10, 15}}) {
    TG32_ProgressBar bar;
    bar.SetMin(min);
    bar.SetMax(max);
    MakeBar(bar, 240, 9, 95, pos);
    for (int x = 2; x <= 238; ++x)
      for (int y = 2; y <= 7; ++y) ASSERT_EQ(bar.Buffer.Pixel(x, y), back) << x << "," << y;
    for (int y = 2; y <= 7; ++y) EXPECT_EQ(bar.Buffer.Pixel(1, y), dark);
  }
  for (int pos : {100, 250}) {
    TG32_ProgressBar bar;
    MakeBar(bar, 240, 9, 95, pos);
    EXPECT_EQ(bar.Buffer.Pixel(238, 4), Shade(kBar32)) << pos;
    EXPECT_EQ(bar.Buffer.Pixel(237, 4), kBar32);
    EXPECT_EQ(bar.Buffer.Pixel(239, 4), frame);
  }
  // Positions that are byte counts: the bar still shows the right share.
  TG32_ProgressBar big;
  big.SetMax(2000000000);
  MakeBar(big, 240, 9, 95, 1000000000);
  EXPECT_EQ(big.Buffer.Pixel(120, 4), frame);
  EXPECT_EQ(big.Buffer.Pixel(118, 4), kBar32);
  EXPECT_EQ(big.Buffer.Pixel(121, 4), back);
}

TEST(ProgressBar, ContrastFlatNegativeAndSaturated) {
  TG32_ProgressBar flat;
  MakeBar(flat, 100, 12, 0, 100);
  for (int y = 2; y <= 9; ++y) EXPECT_EQ(flat.Buffer.Pixel(50, y), kBar32) << y;
  EXPECT_EQ(flat.Buffer.Pixel(50, 1), Lit(kBar32));
  EXPECT_EQ(flat.Buffer.Pixel(50, 10), Shade(kBar32));

  TG32_ProgressBar neg;
  MakeBar(neg, 240, 9, -95, 100);
  EXPECT_EQ(neg.Buffer.Pixel(60, 2), AdjustBrightness(kBar32, -27));
  EXPECT_EQ(neg.Buffer.Pixel(60, 6), AdjustBrightness(kBar32, 27));

  TG32_ProgressBar sat;
  MakeBar(sat, 100, 12, 5000, 100);
  EXPECT_EQ(sat.Buffer.Pixel(50, 2), 0xFFFFFFFFu);
  EXPECT_EQ(sat.Buffer.Pixel(50, 9), 0xFF000000u);
}

TEST(ProgressBar, UnframedTroughHasLightEdges) {
  TG32_ProgressBar bar;
  bar.SetFramed(false);
  bar.SetBounds(0, 0, 50, 10);
  bar.SetBackColor(0x00101010);
  bar.SetColor(kBar);
  bar.SetPosition(50);
  Render(bar);
  const TBitmap32& b = bar.Buffer;
  // D = back - 32 clamps at 0, and the light edge is D + 64, not back + 32.
  EXPECT_EQ(b.Pixel(40, 0), 0xFF000000u);
  EXPECT_EQ(b.Pixel(40, 9), 0xFF404040u);
  EXPECT_EQ(b.Pixel(49, 5), 0xFF404040u);
  EXPECT_EQ(b.Pixel(40, 5), 0xFF101010u);
  // The bar starts at column 0 and covers half of the 50 columns.
  EXPECT_EQ(b.Pixel(0, 5), Lit(AdjustBrightness(kBar32, 0)));
  EXPECT_EQ(b.Pixel(24, 5), Shade(kBar32));
  EXPECT_EQ(b.Pixel(25, 5), 0xFF101010u);
}

TEST(ProgressBar, OneRowBarEdgeColumnsReachPastTheRow) {
  TG32_ProgressBar bar;
  MakeBar(bar, 50, 3, 95, 100);
  TColor32 frame = Frame();
  // Bar area: row 1 only. Its side columns run from row 2 to row 0, swapped and clipped,
  // so they also cover the frame rows above and below (the trough's dark left column,
  // swapped the same way, had already reached the bottom frame row).
  EXPECT_EQ(bar.Buffer.Pixel(1, 0), Lit(frame));
  EXPECT_EQ(bar.Buffer.Pixel(1, 2), Lit(0xFF606060));
  EXPECT_EQ(bar.Buffer.Pixel(48, 0), Shade(frame));
  EXPECT_EQ(bar.Buffer.Pixel(48, 2), Shade(frame));
  EXPECT_EQ(bar.Buffer.Pixel(20, 1), Shade(Lit(kBar32)));  // top and bottom row are one
}

TEST(PaintBox, BufferSlack) {
  TG32_ProgressBar box;
  box.SetBounds(0, 0, 192, 192);
  Render(box);
  EXPECT_EQ(box.Buffer.Width(), 232);
  EXPECT_EQ(box.Buffer.Height(), 232);

  box.SetBounds(0, 0, 100, 10);
  Render(box);
  EXPECT_EQ(box.Buffer.Width(), 100);  // more than 40 too wide: shrinks to fit
  box.SetBounds(0, 0, 101, 10);
  Render(box);
  EXPECT_EQ(box.Buffer.Width(), 141);
  HBITMAP handle = box.Buffer.BitmapHandle();
  for (int w = 101; w <= 141; w += 8) {
    box.SetBounds(0, 0, w, 10);
    Render(box);
  }
  EXPECT_EQ(box.Buffer.BitmapHandle(), handle);
  EXPECT_EQ(box.Buffer.Width(), 141);
  box.SetBounds(0, 0, 100, 10);
  Render(box);
  EXPECT_EQ(box.Buffer.Width(), 100);

  box.BufferSlack = -1;
  box.SetBounds(0, 0, 120, 11);
  Render(box);
  EXPECT_EQ(box.Buffer.Width(), 120);
  EXPECT_EQ(box.Buffer.Height(), 11);
}

TEST(PaintBox, ZeroSizeAndStaleness) {
  TCountingBar box;
  box.SetBounds(0, 0, 0, 9);
  Render(box);
  EXPECT_TRUE(box.Buffer.IsEmpty());
  EXPECT_EQ(box.paints, 1);
  Render(box);
  EXPECT_EQ(box.paints, 1);  // current: only the copy
  box.Invalidate();
  Render(box);
  EXPECT_EQ(box.paints, 2);
  int afters = 0;
  box.OnAfterPaint = [&](TCustomPaintBox32*) { ++afters; };
  Render(box);
  EXPECT_EQ(afters, 1);
}

namespace {
LRESULT CALLBACK HostProc(HWND w, UINT m, WPARAM wp, LPARAM lp) { return DefWindowProcW(w, m, wp, lp); }
HWND MakeHost() {
  WNDCLASSW wc{};
  wc.lpfnWndProc = HostProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  wc.lpszClassName = L"QbBarTestHost";
  RegisterClassW(&wc);
  HWND w = CreateWindowExW(WS_EX_TOPMOST, L"QbBarTestHost", L"bar host", WS_POPUP | WS_VISIBLE, 100, 100, 300, 60,
                           nullptr, nullptr, wc.hInstance, nullptr);
  UpdateWindow(w);
  return w;
}
void Pump() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
}
}  // namespace

TEST(ProgressBarWindow, PositionRepaintsAtOnceOtherSettersOnlyMarkStale) {
  HWND host = MakeHost();
  ASSERT_NE(host, nullptr);
  {
    TCountingBar bar;
    bar.SetBounds(10, 10, 240, 9);
    bar.SetBackColor(kBack);
    bar.SetColor(kBar);
    bar.SetContrast(95);
    ASSERT_TRUE(bar.CreateWnd(host));
    UpdateWindow(bar.Handle());
    Pump();
    int n = bar.paints;
    EXPECT_GE(n, 1);
    EXPECT_TRUE(bar.BufferCurrent);

    bar.SetPosition(0);  // unchanged
    EXPECT_EQ(bar.paints, n);
    EXPECT_TRUE(bar.BufferCurrent);
    bar.SetPosition(60);  // drawn before the call returns
    EXPECT_EQ(bar.paints, n + 1);
    EXPECT_TRUE(bar.BufferCurrent);
    bar.SetMax(100);  // same value, still stale
    EXPECT_FALSE(bar.BufferCurrent);
    EXPECT_EQ(bar.paints, n + 1);
    UpdateWindow(bar.Handle());
    EXPECT_EQ(bar.paints, n + 2);

    // What reaches the screen is the buffer: column 100 of the window is bar, 200 trough.
    HDC dc = GetDC(bar.Handle());
    EXPECT_EQ(RgbToColor32(GetPixel(dc, 100, 4)), kBar32);
    EXPECT_EQ(RgbToColor32(GetPixel(dc, 200, 4)), ToColor32(kBack));
    EXPECT_EQ(RgbToColor32(GetPixel(dc, 143, 4)), Frame());  // end mark at 60 %: 238 * 60 div 100 + 1
    ReleaseDC(bar.Handle(), dc);
  }
  DestroyWindow(host);
}
