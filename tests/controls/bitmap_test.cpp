// The 32-bit bitmap: its picture in a top-down section, its clipped drawing and its copies.
#include <gtest/gtest.h>

#include <vector>

#include "controls/g32.h"

using namespace g32;

namespace {

struct TEvents {
  std::vector<char> log;  // 'c' changed, 'r' resized
  void Hook(TBitmap32& b) {
    b.OnChange = [this](TThreadPersistent*) { log.push_back('c'); };
    b.OnResize = [this](TThreadPersistent*) { log.push_back('r'); };
  }
};

void Fill(TBitmap32& b, TColor32 v) {
  for (int i = 0; i < b.Width() * b.Height(); ++i) b.Bits()[i] = v;
}

int Count(const TBitmap32& b, TColor32 v) {
  int n = 0;
  for (int i = 0; i < b.Width() * b.Height(); ++i) n += b.Bits()[i] == v;
  return n;
}

}  // namespace

TEST(Bitmap32, SizesHandlesAndEvents) {
  TBitmap32 b;
  TEvents ev;
  ev.Hook(b);
  EXPECT_TRUE(b.IsEmpty());
  EXPECT_EQ(b.Handle(), nullptr);

  EXPECT_TRUE(b.SetSize(-5, 10));
  EXPECT_EQ(b.Width(), 0);
  EXPECT_EQ(b.Height(), 10);
  EXPECT_TRUE(b.IsEmpty());
  EXPECT_EQ(b.BitmapHandle(), nullptr);
  EXPECT_EQ(b.Bits(), nullptr);
  b.FillRectClipped(0, 0, 5, 5, 1);
  b.HLineClipped(0, 0, 4, 1);
  b.VLineClipped(0, 0, 4, 1);
  b.FrameRectClipped(0, 0, 4, 4, 1);
  b.RaiseRectClipped(0, 0, 4, 4, 32);
  EXPECT_EQ(ev.log, (std::vector<char>{'c', 'r'}));

  ev.log.clear();
  EXPECT_TRUE(b.SetSize(3, 2));
  EXPECT_EQ(ev.log, (std::vector<char>{'c', 'r'}));
  EXPECT_FALSE(b.IsEmpty());
  EXPECT_NE(b.Handle(), nullptr);
  EXPECT_EQ(GetCurrentObject(b.Handle(), OBJ_BITMAP), b.BitmapHandle());

  ev.log.clear();
  EXPECT_FALSE(b.SetSize(3, 2));
  EXPECT_TRUE(ev.log.empty());

  // Updates only count; nothing is announced while one is open.
  b.BeginUpdate();
  b.SetSize(4, 4);
  b.EndUpdate();
  EXPECT_EQ(ev.log, (std::vector<char>{'r'}));

  b.SetDrawMode(TDrawMode::dmBlend);
  b.SetDrawMode(TDrawMode::dmBlend);
  b.SetMasterAlpha(255);
  EXPECT_EQ(ev.log, (std::vector<char>{'r', 'c'}));
}

TEST(Bitmap32, PixelsAreTopDownInTheSection) {
  TBitmap32 b;
  b.SetSize(3, 2);
  EXPECT_EQ(b.PixelPtr(2, 1) - b.Bits(), 5);
  EXPECT_EQ(b.RowPtr(1) - b.Bits(), 3);
  Fill(b, 0xFF000000);
  *b.PixelPtr(2, 0) = 0xFF112233;  // top right
  *b.PixelPtr(0, 1) = 0xFF445566;  // bottom left
  GdiFlush();
  EXPECT_EQ(GetPixel(b.Handle(), 2, 0), RGB(0x11, 0x22, 0x33));
  EXPECT_EQ(GetPixel(b.Handle(), 0, 1), RGB(0x44, 0x55, 0x66));
  EXPECT_EQ(GetPixel(b.Handle(), 0, 0), RGB(0, 0, 0));
}

TEST(Bitmap32, ClippedLinesAndFills) {
  TBitmap32 b;
  b.SetSize(100, 100);
  Fill(b, 0);
  b.FillRectClipped(-10, -10, 5, 5, 7);
  EXPECT_EQ(Count(b, 7), 25);
  EXPECT_EQ(b.Pixel(4, 4), 7u);
  EXPECT_EQ(b.Pixel(5, 4), 0u);

  Fill(b, 0);
  b.HLineClipped(60, 3, 40, 9);  // reversed ends
  EXPECT_EQ(Count(b, 9), 21);
  EXPECT_EQ(b.Pixel(40, 3), 9u);
  EXPECT_EQ(b.Pixel(60, 3), 9u);
  b.VLineClipped(5, 150, -20, 8);  // reversed and beyond both ends
  EXPECT_EQ(Count(b, 8), 100);
  b.HLineClipped(0, 100, 10, 6);   // row outside
  b.VLineClipped(-1, 0, 10, 6);    // column outside
  EXPECT_EQ(Count(b, 6), 0);

  Fill(b, 0);
  b.FrameRectClipped(10, 10, 11, 15, 5);  // one pixel wide
  EXPECT_EQ(Count(b, 5), 5);
  for (int y = 10; y < 15; ++y) EXPECT_EQ(b.Pixel(10, y), 5u);
  Fill(b, 0);
  b.FrameRectClipped(10, 10, 14, 13, 5);
  EXPECT_EQ(Count(b, 5), 4 + 4 + 1 + 1);
  EXPECT_EQ(b.Pixel(11, 11), 0u);
  EXPECT_EQ(b.Pixel(13, 11), 5u);

  Fill(b, 0);
  b.FillRectClipped(100, 0, 120, 10, 4);  // starts at the right edge
  b.FillRectClipped(5, 5, 5, 10, 4);      // no width
  EXPECT_EQ(Count(b, 4), 0);
}

TEST(Bitmap32, RaisedAndSunkenEdges) {
  TBitmap32 b;
  b.SetSize(6, 5);
  Fill(b, 0xFF808080);
  b.RaiseRectClipped(0, 0, 6, 5, 32);
  TColor32 tl = 0xFF808080, br = 0xFF808080;
  BlendInPlace(0xA3FFFFFF, tl);  // white at 32 * 512 / 100 = 163
  BlendInPlace(0x51000000, br);  // black at 32 * 255 / 100 = 81
  EndBlend();
  for (int x = 0; x < 6; ++x) {
    EXPECT_EQ(b.Pixel(x, 0), tl) << x;
    EXPECT_EQ(b.Pixel(x, 4), br) << x;
  }
  for (int y = 1; y < 4; ++y) {
    EXPECT_EQ(b.Pixel(0, y), tl);
    EXPECT_EQ(b.Pixel(5, y), br);
    EXPECT_EQ(b.Pixel(2, y), 0xFF808080u);
  }
  Fill(b, 0xFF808080);
  b.RaiseRectClipped(0, 0, 6, 5, -32);  // sunken: dark top-left
  TColor32 dark = 0xFF808080;
  BlendInPlace(0x51000000, dark);
  EndBlend();
  EXPECT_EQ(b.Pixel(2, 0), dark);

  TEvents ev;
  ev.Hook(b);
  Fill(b, 0xFF808080);
  b.RaiseRectClipped(0, 0, 6, 5, 0);
  EXPECT_EQ(Count(b, 0xFF808080), 30);
  EXPECT_EQ(ev.log, (std::vector<char>{'c'}));
  b.RaiseRectClipped(6, 0, 9, 5, 32);  // outside: not even Changed
  EXPECT_EQ(ev.log, (std::vector<char>{'c'}));
}

TEST(Bitmap32, ColourHelpers) {
  EXPECT_EQ(RgbToColor32(0x00112233), 0xFF332211u);
  EXPECT_EQ(ToColor32(clBtnFace), RgbToColor32(GetSysColor(COLOR_BTNFACE)));
  EXPECT_EQ(WithAlpha(0x12345678, 300), 0xFF345678u);
  EXPECT_EQ(WithAlpha(0x12345678, -3), 0x00345678u);
  EXPECT_EQ(AdjustBrightness(0x80F01008, 32), 0x80FF3028u);
  EXPECT_EQ(AdjustBrightness(0xFF101020, -32), 0xFF000000u);
  int a = 5, c = 2;
  EXPECT_TRUE(ClipSpan(a, c, 4));
  EXPECT_EQ(a, 2);
  EXPECT_EQ(c, 3);
  a = 5, c = 7;
  EXPECT_FALSE(ClipSpan(a, c, 4));
  EXPECT_TRUE(IsRectEmpty(MakeRect(3, 0, 3, 5)));
  RECT r = InflateRectBy(MakeRect(1, 2, 3, 4), -1, 2);
  EXPECT_EQ(r.left, 2);
  EXPECT_EQ(r.top, 0);
  EXPECT_EQ(r.right, 2);
  EXPECT_EQ(r.bottom, 6);
}

TEST(Bitmap32, AssignStreamAndWindowsBitmaps) {
  TBitmap32 a;
  a.SetSize(4, 3);
  for (int i = 0; i < 12; ++i) a.Bits()[i] = 0x10203040u + i;
  a.SetDrawMode(TDrawMode::dmCustom);
  a.SetMasterAlpha(77);
  a.OuterColor = 0x55;
  bool aEvent = false;
  a.OnChange = [&](TThreadPersistent*) { aEvent = true; };

  TBitmap32 b;
  TEvents ev;
  ev.Hook(b);
  b.Assign(&a);
  EXPECT_TRUE(SameBitmap(a, b));
  EXPECT_EQ(b.DrawMode(), TDrawMode::dmCustom);
  EXPECT_EQ(b.MasterAlpha(), 77u);
  EXPECT_EQ(b.OuterColor, 0x55u);
  EXPECT_FALSE(aEvent);
  EXPECT_EQ(ev.log, (std::vector<char>{'r', 'c'}));  // inside the bracket only the resize
  b.Bits()[5] ^= 1;
  EXPECT_FALSE(SameBitmap(a, b));

  TBitmap32 c;
  c.ReadData(a.WriteData());
  EXPECT_TRUE(SameBitmap(a, c));
  EXPECT_EQ(a.WriteData().size(), 8u + 48u);
  std::vector<uint8_t> shortData = a.WriteData();
  shortData.resize(20);
  EXPECT_THROW(c.ReadData(shortData), EBitmapError);

  TBitmap32 empty1, empty2;
  EXPECT_TRUE(SameBitmap(empty1, empty2));
  EXPECT_FALSE(SameBitmap(a, empty1));
  EXPECT_FALSE(SameBitmap(empty1, a));
  b.Assign(nullptr);
  EXPECT_TRUE(b.IsEmpty());

  // A 32-bit Windows bitmap keeps its alpha bytes; a 24-bit one gets 255.
  HBITMAP h32 = a.CopyToWindowsBitmap();
  ASSERT_NE(h32, nullptr);
  TBitmap32 d;
  d.CopyFromWindowsBitmap(h32);
  EXPECT_TRUE(SameBitmap(a, d));
  DeleteObject(h32);

  BITMAPINFO bi{};
  bi.bmiHeader = {sizeof(BITMAPINFOHEADER), 2, -2, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP h24 = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  ASSERT_NE(h24, nullptr);
  uint8_t* p = static_cast<uint8_t*>(bits);  // rows of 6 bytes padded to 8
  p[0] = 0x33, p[1] = 0x22, p[2] = 0x11;
  GdiFlush();
  d.CopyFromWindowsBitmap(h24);
  EXPECT_EQ(d.Width(), 2);
  EXPECT_EQ(d.Height(), 2);
  EXPECT_EQ(d.Pixel(0, 0), 0xFF112233u);
  EXPECT_EQ(Count(d, 0xFF000000), 3);
  DeleteObject(h24);
}
