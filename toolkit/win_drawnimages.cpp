#include "toolkit/win_drawnimages.h"

namespace tk {

int AddDrawnImage(TImageList& list, const std::function<void(HDC dc, int width, int height)>& draw) {
  const int w = list.Width(), h = list.Height();
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -h;
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
    return -1;
  }
  HGDIOBJ old = SelectObject(dc, bmp);
  HBRUSH back = CreateSolidBrush(kDrawnImageBack);
  RECT r{0, 0, w, h};
  FillRect(dc, &r, back);
  DeleteObject(back);
  draw(dc, w, h);
  GdiFlush();
  SelectObject(dc, old);
  DeleteDC(dc);
  const int index = list.AddMasked(bmp, kDrawnImageBack);
  DeleteObject(bmp);
  return index;
}

}  // namespace tk
