#pragma once
// Small drawing helpers shared by the flat painters of menus and bars.
#include <windows.h>

#include <initializer_list>

#include "toolkit/win_canvas.h"
#include "toolkit/win_imagelist.h"

namespace g32::flatdraw {

int HalfEven(double v);        // rounds half to even
HBITMAP NewDib(int w, int h);  // 32-bit top-down, contents undefined
SIZE BitmapSize(HBITMAP b);
// Draws b with its bottom-left pixel's colour left out.
void DrawTransparent(tk::TCanvas& canvas, int x, int y, HBITMAP b);
void FillWith(tk::TCanvas& canvas, const RECT& r, tk::TColor c);
void Line(tk::TCanvas& canvas, std::initializer_list<POINT> points);
// A new bitmap of the list's image size, filled with back, the image drawn over it.
HBITMAP ListImageBitmap(const tk::TImageList& list, int index, tk::TColor back);

// A bitmap selected into a memory DC for the time of one drawing step.
struct TSelected {
  explicit TSelected(HBITMAP b) : dc(CreateCompatibleDC(nullptr)), old(SelectObject(dc, b)) {}
  ~TSelected() {
    SelectObject(dc, old);
    DeleteDC(dc);
  }
  TSelected(const TSelected&) = delete;
  TSelected& operator=(const TSelected&) = delete;
  HDC dc;
  HGDIOBJ old;
};

}  // namespace g32::flatdraw
