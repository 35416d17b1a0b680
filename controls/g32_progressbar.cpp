#include "controls/g32_progressbar.h"

namespace g32 {

TG32_ProgressBar::TG32_ProgressBar() { SetBounds(0, 0, 150, 16); }

// Every setter but Position's stores without comparing and marks the picture stale.
void TG32_ProgressBar::SetBackColor(TColor v) { StoreAndInvalidate(backColor_, v); }
void TG32_ProgressBar::SetBorderStyle(TBorderStyle v) { StoreAndInvalidate(borderStyle_, v); }
void TG32_ProgressBar::SetContrast(int v) { StoreAndInvalidate(contrast_, v); }
void TG32_ProgressBar::SetFramed(bool v) { StoreAndInvalidate(framed_, v); }
void TG32_ProgressBar::SetMax(int v) { StoreAndInvalidate(max_, v); }
void TG32_ProgressBar::SetMin(int v) { StoreAndInvalidate(min_, v); }
void TG32_ProgressBar::SetParentColor(bool v) { StoreAndInvalidate(parentColor_, v); }
void TG32_ProgressBar::SetColor(TColor v) {
  color_ = v;
  parentColor_ = false;
  Invalidate();
}
void TG32_ProgressBar::SetPosition(int v) {
  if (v == position_) return;
  position_ = v;
  Invalidate();
  Update();
}

void TG32_ProgressBar::PaintBuffer() {
  TCustomPaintBox32::PaintBuffer();
  DrawBackground(RECT{0, 0, Width(), Height()});
  DrawBar(ComputeBarRect());
}

void TG32_ProgressBar::DrawBackground(RECT r) {
  if (framed_) {
    Buffer.FrameRectClipped(r, ToColor32(clWindowFrame));
    r = InflateRectBy(r, -1, -1);
  }
  TColor32 back = ToColor32(backColor_);
  Buffer.FillRectClipped(r, back);
  r.right -= 1;
  r.bottom -= 1;
  TColor32 dark = AdjustBrightness(back, -32);
  Buffer.HLineClipped(r.left, r.top, r.right, dark);
  Buffer.VLineClipped(r.left, r.top + 1, r.bottom, dark);
  if (!framed_) {
    TColor32 light = AdjustBrightness(dark, 64);
    Buffer.HLineClipped(r.left, r.bottom, r.right, light);
    Buffer.VLineClipped(r.right, r.top + 1, r.bottom, light);
  }
}

RECT TG32_ProgressBar::ComputeBarRect() const {
  RECT r{0, 0, Width(), Height()};
  if (framed_) r = InflateRectBy(r, -1, -1);
  if (min_ < position_ && min_ < max_) {
    // Formed in 64 bits: the runner's positions are byte counts, whose product with the
    // width would overflow 32 bits and draw a wrong bar.
    int64_t x = static_cast<int64_t>(r.right - r.left) * (int64_t{position_} - min_) / (int64_t{max_} - min_) + r.left;
    if (x < r.right) r.right = x;
  } else {
    r.right = r.left;
  }
  return r;
}

void TG32_ProgressBar::DrawBar(RECT r) {
  if (IsRectEmpty(r)) return;
  TColor32 c = ToColor32(Color());
  if (contrast_ != 0) {
    int h = r.bottom - r.top;
    int m = (r.top + r.bottom) / 2;
    for (int y = r.top; y < r.bottom; ++y)
      Buffer.HLineClipped(r.left, y, r.right - 1, AdjustBrightness(c, (m - y) * contrast_ / h));
    EndBlend();
  } else {
    Buffer.FillRectClipped(r, c);
  }
  Buffer.RaiseRectClipped(r, 32);
  if (framed_) Buffer.VLineClipped(r.right, r.top, r.bottom, ToColor32(clWindowFrame));
}

}  // namespace g32
