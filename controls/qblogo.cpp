#include "controls/qblogo.h"

#include <cstdint>
#include <vector>

namespace g32 {

namespace {

// Colours of the picture (0x00RRGGBB in the bitmap's pixels, COLORREF for GDI).
constexpr uint32_t kTop = 0x0B2A5B, kBottom = 0x3C8DC7;

uint32_t Mix(uint32_t a, uint32_t b, int num, int den) {
  auto ch = [&](int shift) {
    int ca = (a >> shift) & 0xFF, cb = (b >> shift) & 0xFF;
    return static_cast<uint32_t>(ca + (cb - ca) * num / den) << shift;
  };
  return ch(16) | ch(8) | ch(0);
}

}  // namespace

TQbLogoFrame::TQbLogoFrame() : TCustomControl(L"TQbLogoFrame") {
  // The design size is 104 x 211; the frame is narrowed to the picture and its bevel.
  SetBounds(0, 0, 104, 211);
  Declare({
      {.Control = ImgWizard, .Name = "ImgWizard", .Caption = "", .Bounds = {2, 2, kLogoWidth, kLogoHeight}},
      {.Control = Bevel3, .Name = "Bevel3", .Caption = "", .Bounds = {0, 0, 90, 208}},
      // Under the picture, out of sight: it must take no focus, or the wizard and the About box
      // would open on a button no one sees, where Enter does nothing.
      {.Control = Button1, .Name = "Button1", .Caption = "", .Bounds = {0, 0, 90, 208},
       .Style = tk::sHidden | tk::sNoTabStop},
  });
  ImgWizard.SetBitmap(CreateLogoBitmap(), true);
  SetWidth(95);
  Bevel3.SetBounds(ImgWizard.Left() - 1, ImgWizard.Top() - 1, ImgWizard.Width() + 3, ImgWizard.Height() + 3);
  Bevel3.SetShape(tk::TBevelShape::bsFrame);
}

HBITMAP TQbLogoFrame::CreateLogoBitmap() {
  const int w = kLogoWidth, h = kLogoHeight;
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -h;  // top-down
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bmp = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!bmp) return nullptr;
  auto* px = static_cast<uint32_t*>(bits);
  // Background: a vertical gradient, a little lighter towards the right edge.
  for (int y = 0; y < h; ++y) {
    uint32_t row = Mix(kTop, kBottom, y, h - 1);
    for (int x = 0; x < w; ++x) px[y * w + x] = Mix(row, 0xFFFFFF, x, w * 6);
  }

  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ oldBmp = SelectObject(dc, bmp);
  // A quill: the feather as a curved blade with its shaft, the nib over an ink line.
  HBRUSH feather = CreateSolidBrush(RGB(0xF4, 0xF1, 0xE6));
  HPEN outline = CreatePen(PS_SOLID, 1, RGB(0xC9, 0xC2, 0xA8));
  HGDIOBJ oldBrush = SelectObject(dc, feather), oldPen = SelectObject(dc, outline);
  std::vector<POINT> blade = {{70, 12}, {76, 20}, {72, 36}, {62, 56}, {50, 74}, {40, 86},
                              {36, 84}, {40, 70}, {48, 50}, {58, 30}};
  Polygon(dc, blade.data(), static_cast<int>(blade.size()));
  HPEN shaft = CreatePen(PS_SOLID, 2, RGB(0x8A, 0x80, 0x66));
  SelectObject(dc, shaft);
  MoveToEx(dc, 72, 16, nullptr);
  LineTo(dc, 32, 98);
  HPEN ink = CreatePen(PS_SOLID, 2, RGB(0xE8, 0xB8, 0x3A));
  SelectObject(dc, ink);
  MoveToEx(dc, 16, 102, nullptr);
  LineTo(dc, 60, 102);
  SelectObject(dc, oldPen);
  SelectObject(dc, oldBrush);
  DeleteObject(ink);
  DeleteObject(shaft);
  DeleteObject(outline);
  DeleteObject(feather);

  // The name, written upwards along the lower part.
  LOGFONTW lf{};
  lf.lfHeight = -17;
  lf.lfWeight = FW_BOLD;
  lf.lfEscapement = lf.lfOrientation = 900;
  lf.lfQuality = ANTIALIASED_QUALITY;
  lstrcpyW(lf.lfFaceName, L"Tahoma");
  HFONT font = CreateFontIndirectW(&lf);
  HGDIOBJ oldFont = SelectObject(dc, font);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(0xFF, 0xFF, 0xFF));
  TextOutW(dc, 34, h - 10, L"Quillbank", 9);
  SelectObject(dc, oldFont);
  DeleteObject(font);
  GdiFlush();
  SelectObject(dc, oldBmp);
  DeleteDC(dc);
  return bmp;
}

}  // namespace g32
