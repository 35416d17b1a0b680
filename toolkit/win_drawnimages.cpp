#include "toolkit/win_drawnimages.h"

namespace tk {

HBITMAP DrawnBitmap(int width, int height, const TDrawImage& draw) {
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
  bi.bmiHeader.biWidth = width;
  bi.bmiHeader.biHeight = -height;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HDC screen = GetDC(nullptr);
  HBITMAP bmp = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HDC dc = CreateCompatibleDC(screen);
  ReleaseDC(nullptr, screen);
  if (!bmp || !dc) {
    if (bmp) DeleteObject(bmp);
    if (dc) DeleteDC(dc);
    return nullptr;
  }
  HGDIOBJ old = SelectObject(dc, bmp);
  HBRUSH back = CreateSolidBrush(kDrawnImageBack);
  RECT r{0, 0, width, height};
  FillRect(dc, &r, back);
  DeleteObject(back);
  draw(dc, width, height);
  GdiFlush();
  SelectObject(dc, old);
  DeleteDC(dc);
  return bmp;
}

int AddDrawnImage(TImageList& list, const TDrawImage& draw) {
  HBITMAP bmp = DrawnBitmap(list.Width(), list.Height(), draw);
  if (!bmp) return -1;
  const int index = list.AddMasked(bmp, kDrawnImageBack);
  DeleteObject(bmp);
  return index;
}

}  // namespace tk
