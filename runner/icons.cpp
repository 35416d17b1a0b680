#include "runner/icons.h"

#include <cstdint>
#include <vector>

namespace {

constexpr int kSize = 16;

// A 16 x 16 picture of 32-bit pixels (0xAARRGGBB); alpha 0 is transparent.
struct TPicture {
  uint32_t px[kSize][kSize] = {};
  void Set(int x, int y, uint32_t c) {
    if (x >= 0 && x < kSize && y >= 0 && y < kSize) px[y][x] = c;
  }
  void Fill(int l, int t, int r, int b, uint32_t c) {  // r, b exclusive
    for (int y = t; y < b; ++y)
      for (int x = l; x < r; ++x) Set(x, y, c);
  }
  void Frame(int l, int t, int r, int b, uint32_t c) {
    for (int x = l; x < r; ++x) Set(x, t, c), Set(x, b - 1, c);
    for (int y = t; y < b; ++y) Set(l, y, c), Set(r - 1, y, c);
  }
  void Line(int x0, int y0, int x1, int y1, uint32_t c) {
    const int dx = x1 > x0 ? x1 - x0 : x0 - x1, dy = y1 > y0 ? y0 - y1 : y1 - y0;
    const int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
    int err = dx + dy;
    for (;;) {
      Set(x0, y0, c);
      if (x0 == x1 && y0 == y1) break;
      const int e2 = 2 * err;
      if (e2 >= dy) err += dy, x0 += sx;
      if (e2 <= dx) err += dx, y0 += sy;
    }
  }
};

constexpr uint32_t kInk = 0xFF202020, kPaper = 0xFFF4E8C8, kGreen = 0xFF1E9E32, kBlue = 0xFF2060D0,
                   kRed = 0xFFD02020, kGold = 0xFFD0A000, kGrey = 0xFF808080;

// The zip as a small box with a zipper down its middle.
void DrawBox(TPicture& p) {
  p.Fill(1, 3, 12, 15, kPaper);
  p.Frame(1, 3, 12, 15, kInk);
  for (int y = 4; y < 14; y += 2) p.Set(6, y, kInk);
}

// A page with the letter A: the archive attribute.
void DrawArchivePage(TPicture& p, uint32_t letter) {
  p.Fill(3, 1, 13, 15, 0xFFFFFFFF);
  p.Frame(3, 1, 13, 15, kInk);
  p.Line(5, 13, 8, 3, letter);
  p.Line(8, 3, 11, 13, letter);
  p.Line(6, 9, 10, 9, letter);
}

void DrawPicture(TStatusIcon which, TPicture& p) {
  switch (which) {
    case TStatusIcon::Add:  // box and a plus
      DrawBox(p);
      p.Fill(9, 1, 16, 8, 0);
      p.Fill(12, 1, 14, 8, kGreen);
      p.Fill(9, 3, 16, 5, kGreen);
      break;
    case TStatusIcon::Update:  // box and a circling arrow
      DrawBox(p);
      p.Line(10, 2, 14, 2, kBlue);
      p.Line(14, 2, 14, 6, kBlue);
      p.Line(12, 4, 14, 6, kBlue);
      p.Line(14, 6, 15, 4, kBlue);
      break;
    case TStatusIcon::Freshen:  // box and a star
      DrawBox(p);
      p.Line(13, 0, 13, 6, kGold);
      p.Line(10, 3, 15, 3, kGold);
      p.Line(11, 1, 15, 5, kGold);
      p.Line(11, 5, 15, 1, kGold);
      break;
    case TStatusIcon::Test:  // a tick
      p.Line(2, 8, 6, 12, kGreen);
      p.Line(2, 9, 6, 13, kGreen);
      p.Line(6, 12, 14, 3, kGreen);
      p.Line(6, 13, 14, 4, kGreen);
      break;
    case TStatusIcon::StoreAndZip:  // a box inside a box
      p.Fill(0, 0, 16, 16, kPaper);
      p.Frame(0, 0, 16, 16, kInk);
      p.Frame(4, 4, 12, 12, kInk);
      p.Fill(5, 5, 11, 11, kGold);
      break;
    case TStatusIcon::ArchiveOnly:
      DrawArchivePage(p, kBlue);
      break;
    case TStatusIcon::ResetArchive:  // the letter crossed out
      DrawArchivePage(p, kGrey);
      p.Line(1, 14, 15, 2, kRed);
      break;
    case TStatusIcon::Password:  // a padlock
      p.Frame(4, 1, 12, 9, kInk);
      p.Fill(2, 7, 14, 15, kGold);
      p.Frame(2, 7, 14, 15, kInk);
      p.Fill(7, 10, 9, 13, kInk);
      break;
    case TStatusIcon::AfterDate:  // a calendar leaf
      p.Fill(1, 2, 15, 15, 0xFFFFFFFF);
      p.Frame(1, 2, 15, 15, kInk);
      p.Fill(1, 2, 15, 5, kRed);
      for (int y = 7; y < 14; y += 3)
        for (int x = 3; x < 14; x += 3) p.Fill(x, y, x + 2, y + 2, kGrey);
      break;
    case TStatusIcon::DeleteOriginal:  // a page with a red cross
      p.Fill(3, 1, 13, 15, 0xFFFFFFFF);
      p.Frame(3, 1, 13, 15, kInk);
      p.Line(4, 4, 12, 12, kRed);
      p.Line(5, 4, 13, 12, kRed);
      p.Line(12, 4, 4, 12, kRed);
      p.Line(13, 4, 5, 12, kRed);
      break;
  }
}

}  // namespace

HICON CreateStatusIcon(TStatusIcon which) {
  TPicture pic;
  DrawPicture(which, pic);

  BITMAPV5HEADER bi{};
  bi.bV5Size = sizeof bi;
  bi.bV5Width = kSize;
  bi.bV5Height = -kSize;  // top-down
  bi.bV5Planes = 1;
  bi.bV5BitCount = 32;
  bi.bV5Compression = BI_BITFIELDS;
  bi.bV5RedMask = 0x00FF0000;
  bi.bV5GreenMask = 0x0000FF00;
  bi.bV5BlueMask = 0x000000FF;
  bi.bV5AlphaMask = 0xFF000000;
  void* bits = nullptr;
  HDC screen = GetDC(nullptr);
  HBITMAP color = CreateDIBSection(screen, reinterpret_cast<BITMAPINFO*>(&bi), DIB_RGB_COLORS, &bits, nullptr, 0);
  ReleaseDC(nullptr, screen);
  if (!color) return nullptr;
  auto* out = static_cast<uint32_t*>(bits);
  for (int y = 0; y < kSize; ++y)
    for (int x = 0; x < kSize; ++x) out[y * kSize + x] = pic.px[y][x];
  GdiFlush();

  // The mask: set where the picture is transparent (for screens without alpha).
  std::vector<uint16_t> maskRows(kSize, 0);
  for (int y = 0; y < kSize; ++y) {
    uint16_t row = 0;
    for (int x = 0; x < kSize; ++x)
      if ((pic.px[y][x] >> 24) == 0) row |= static_cast<uint16_t>(0x8000 >> x);
    // Monochrome rows are big-endian words.
    maskRows[y] = static_cast<uint16_t>((row >> 8) | (row << 8));
  }
  HBITMAP mask = CreateBitmap(kSize, kSize, 1, 1, maskRows.data());

  ICONINFO ii{};
  ii.fIcon = TRUE;
  ii.hbmColor = color;
  ii.hbmMask = mask;
  HICON icon = CreateIconIndirect(&ii);
  DeleteObject(color);
  if (mask) DeleteObject(mask);
  return icon;
}
