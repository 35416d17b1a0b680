#include "controls/g32.h"

#include <algorithm>
#include <cstring>

namespace g32 {

// --- helpers ---

int ClampByte(int n) { return n < 0 ? 0 : (n > 255 ? 255 : n); }

TColor32 RgbToColor32(COLORREF rgb) {
  return 0xFF000000u | (uint32_t{GetRValue(rgb)} << 16) | (uint32_t{GetGValue(rgb)} << 8) | GetBValue(rgb);
}

TColor32 ToColor32(TColor color) {
  if (color & 0x80000000u) color = GetSysColor(static_cast<int>(color & 0xFF));
  return RgbToColor32(color);
}

TColor32 WithAlpha(TColor32 color, int alpha) {
  return (color & 0x00FFFFFFu) | (static_cast<uint32_t>(ClampByte(alpha)) << 24);
}

TColor32 AdjustBrightness(TColor32 color, int amount) {
  int r = ClampByte(static_cast<int>((color >> 16) & 0xFF) + amount);
  int g = ClampByte(static_cast<int>((color >> 8) & 0xFF) + amount);
  int b = ClampByte(static_cast<int>(color & 0xFF) + amount);
  return (color & 0xFF000000u) | (static_cast<uint32_t>(r) << 16) | (static_cast<uint32_t>(g) << 8) |
         static_cast<uint32_t>(b);
}

void FillPixels(TColor32* address, int count, TColor32 value) {
  if (count < 1) return;
  std::fill_n(address, count, value);
}

void OrderPair(int& a, int& b) {
  if (a > b) std::swap(a, b);
}

bool ClipSpan(int& a, int& b, int size) {
  OrderPair(a, b);
  if (a < 0) a = 0;
  if (b >= size) b = size - 1;
  return b >= a;
}

RECT MakeRect(int l, int t, int r, int b) { return RECT{l, t, r, b}; }
RECT InflateRectBy(const RECT& r, int dx, int dy) { return RECT{r.left - dx, r.top - dy, r.right + dx, r.bottom + dy}; }
bool IsRectEmpty(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }

// --- TThreadPersistent ---

TThreadPersistent::TThreadPersistent() { InitializeCriticalSection(&lock_); }
TThreadPersistent::~TThreadPersistent() { DeleteCriticalSection(&lock_); }

void TThreadPersistent::Changed() {
  if (updateCount_ == 0 && OnChange) OnChange(this);
}

// --- TCustomMap ---

bool TCustomMap::SetSize(int32_t newWidth, int32_t newHeight) {
  bool changed = newWidth != width_ || newHeight != height_;
  width_ = newWidth;
  height_ = newHeight;
  return changed;
}

// --- TBitmap32 ---

TBitmap32::TBitmap32() {
  info_.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info_.bmiHeader.biPlanes = 1;
  info_.bmiHeader.biBitCount = 32;
  info_.bmiHeader.biCompression = BI_RGB;
}

TBitmap32::~TBitmap32() {
  BeginUpdate();
  Lock();
  ReleasePicture();
  width_ = height_ = 0;
  Unlock();
}

bool TBitmap32::IsEmpty() const { return bitmap_ == nullptr || width_ == 0 || height_ == 0; }

void TBitmap32::ReleasePicture() {
  if (dc_) DeleteDC(dc_);
  if (bitmap_) DeleteObject(bitmap_);
  dc_ = nullptr;
  bitmap_ = nullptr;
  bits_ = nullptr;
}

bool TBitmap32::SetSize(int32_t newWidth, int32_t newHeight) {
  if (newWidth < 1) newWidth = 0;
  if (newHeight < 1) newHeight = 0;
  if (newWidth == width_ && newHeight == height_) return false;
  struct TNotify {  // Changed, then Resized, whatever happens below
    TBitmap32* self;
    ~TNotify() {
      self->Changed();
      self->Resized();
    }
  } notify{this};

  ReleasePicture();
  width_ = height_ = 0;
  if (newWidth >= 1 && newHeight >= 1) {
    info_.bmiHeader.biWidth = newWidth;
    info_.bmiHeader.biHeight = -newHeight;
    void* bits = nullptr;
    bitmap_ = CreateDIBSection(nullptr, &info_, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bits) {
      if (bitmap_) DeleteObject(bitmap_);
      bitmap_ = nullptr;
      throw EBitmapError("Can't allocate the DIB handle");
    }
    bits_ = static_cast<TColor32*>(bits);
    dc_ = CreateCompatibleDC(nullptr);
    if (!dc_) {
      ReleasePicture();
      throw EBitmapError("Can't create compatible DC");
    }
    if (!SelectObject(dc_, bitmap_)) {
      ReleasePicture();
      throw EBitmapError("Can't select an object into DC");
    }
  }
  width_ = newWidth;
  height_ = newHeight;
  return true;
}

void TBitmap32::DrawTo(HDC dc, int x, int y) const {
  if (!IsEmpty()) BitBlt(dc, x, y, width_, height_, dc_, 0, 0, SRCCOPY);
}

void TBitmap32::ResetAlpha() {
  if (!IsEmpty()) {
    uint8_t* p = reinterpret_cast<uint8_t*>(bits_);
    for (size_t i = 0, n = static_cast<size_t>(width_) * height_; i < n; ++i) p[i * 4 + 3] = 255;
  }
  Changed();
}

void TBitmap32::SetDrawMode(TDrawMode v) {
  if (v != drawMode_) {
    drawMode_ = v;
    Changed();
  }
}
void TBitmap32::SetMasterAlpha(uint32_t v) {
  if (v != masterAlpha_) {
    masterAlpha_ = v;
    Changed();
  }
}
void TBitmap32::SetStretchFilter(TStretchFilter v) {
  if (v != stretchFilter_) {
    stretchFilter_ = v;
    Changed();
  }
}

namespace {
// BeginUpdate ... EndUpdate, then Changed, also when an exception passes.
struct TUpdateBracket {
  explicit TUpdateBracket(TBitmap32* b) : bitmap(b) { bitmap->BeginUpdate(); }
  ~TUpdateBracket() {
    bitmap->EndUpdate();
    bitmap->Changed();
  }
  TBitmap32* bitmap;
};
}  // namespace

void TBitmap32::Assign(const TBitmap32* source) {
  TUpdateBracket bracket(this);
  if (!source) {
    SetSize(0, 0);
    return;
  }
  SetSize(source->width_, source->height_);
  if (!IsEmpty() && !source->IsEmpty()) BitBlt(dc_, 0, 0, width_, height_, source->dc_, 0, 0, SRCCOPY);
  drawMode_ = source->drawMode_;
  masterAlpha_ = source->masterAlpha_;
  OuterColor = source->OuterColor;
  stretchFilter_ = source->stretchFilter_;
}

void TBitmap32::CopyFromWindowsBitmap(HBITMAP source) {
  TUpdateBracket bracket(this);
  BITMAP bm{};
  if (!source || !GetObjectW(source, sizeof bm, &bm)) {
    SetSize(0, 0);
    return;
  }
  SetSize(bm.bmWidth, bm.bmHeight);
  if (IsEmpty()) return;
  HDC src = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(src, source);
  BitBlt(dc_, 0, 0, width_, height_, src, 0, 0, SRCCOPY);
  SelectObject(src, old);
  DeleteDC(src);
  if (bm.bmBitsPixel == 32) {
    // A block copy does not carry the alpha bytes reliably; take them from the bits.
    BITMAPINFO bi = info_;
    HDC screen = GetDC(nullptr);
    GetDIBits(screen, source, 0, height_, bits_, &bi, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
  } else {
    ResetAlpha();
  }
}

HBITMAP TBitmap32::CopyToWindowsBitmap() const {
  if (IsEmpty()) return nullptr;
  BITMAPINFO bi = info_;
  void* bits = nullptr;
  HBITMAP out = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (out && bits) std::memcpy(bits, bits_, static_cast<size_t>(width_) * height_ * 4);
  return out;
}

std::vector<uint8_t> TBitmap32::WriteData() const {
  std::vector<uint8_t> out(8);
  std::memcpy(out.data(), &width_, 4);
  std::memcpy(out.data() + 4, &height_, 4);
  if (!IsEmpty()) {
    const uint8_t* p = reinterpret_cast<const uint8_t*>(bits_);
    out.insert(out.end(), p, p + static_cast<size_t>(width_) * height_ * 4);
  }
  return out;
}

void TBitmap32::ReadData(const std::vector<uint8_t>& data) {
  if (data.size() < 8) throw EBitmapError("Bitmap data too short");
  int32_t w, h;
  std::memcpy(&w, data.data(), 4);
  std::memcpy(&h, data.data() + 4, 4);
  size_t need = (w > 0 && h > 0) ? static_cast<size_t>(w) * static_cast<size_t>(h) * 4 : 0;
  if (data.size() - 8 < need) throw EBitmapError("Bitmap data too short");
  SetSize(w, h);
  if (!IsEmpty()) std::memcpy(bits_, data.data() + 8, need);
  Changed();
}

bool SameBitmap(const TBitmap32& a, const TBitmap32& b) {
  if (a.IsEmpty()) return b.IsEmpty();
  if (b.IsEmpty()) return false;
  if (a.Width() != b.Width() || a.Height() != b.Height()) return false;
  return std::memcmp(a.Bits(), b.Bits(), static_cast<size_t>(a.Width()) * a.Height() * 4) == 0;
}

// --- drawing ---

void TBitmap32::HLine(int x1, int y, int x2, TColor32 value) { FillPixels(PixelPtr(x1, y), x2 - x1 + 1, value); }

void TBitmap32::HLineClipped(int x1, int y, int x2, TColor32 value) {
  if (y >= 0 && y < height_ && ClipSpan(x1, x2, width_)) HLine(x1, y, x2, value);
}

void TBitmap32::HLineBlend(int x1, int y, int x2, TColor32 value) {
  if (x2 < x1) return;
  TColor32* p = PixelPtr(x1, y);
  for (int x = x1; x <= x2; ++x) BlendInPlace(value, *p++);
  EndBlend();
}

void TBitmap32::HLineBlendClipped(int x1, int y, int x2, TColor32 value) {
  if (y >= 0 && y < height_ && ClipSpan(x1, x2, width_)) HLineBlend(x1, y, x2, value);
}

void TBitmap32::VLine(int x, int y1, int y2, TColor32 value) {
  for (int y = y1; y <= y2; ++y) *PixelPtr(x, y) = value;
}

void TBitmap32::VLineClipped(int x, int y1, int y2, TColor32 value) {
  if (x >= 0 && x < width_ && ClipSpan(y1, y2, height_)) VLine(x, y1, y2, value);
}

void TBitmap32::VLineBlend(int x, int y1, int y2, TColor32 value) {
  for (int y = y1; y <= y2; ++y) BlendInPlace(value, *PixelPtr(x, y));
  EndBlend();
}

void TBitmap32::VLineBlendClipped(int x, int y1, int y2, TColor32 value) {
  if (x >= 0 && x < width_ && ClipSpan(y1, y2, height_)) VLineBlend(x, y1, y2, value);
}

void TBitmap32::FillRect(int x1, int y1, int x2, int y2, TColor32 value) {
  for (int y = y1; y < y2; ++y) FillPixels(PixelPtr(x1, y), x2 - x1, value);
  Changed();
}

namespace {
bool Touches(int x1, int y1, int x2, int y2, int w, int h) {
  return x1 < x2 && y1 < y2 && x1 < w && y1 < h && x2 >= 1 && y2 >= 1;
}
}  // namespace

void TBitmap32::FillRectClipped(int x1, int y1, int x2, int y2, TColor32 value) {
  if (!Touches(x1, y1, x2, y2, width_, height_)) return;
  FillRect(std::max(x1, 0), std::max(y1, 0), std::min(x2, width_), std::min(y2, height_), value);
}

void TBitmap32::FrameRectClipped(int x1, int y1, int x2, int y2, TColor32 value) {
  if (!Touches(x1, y1, x2, y2, width_, height_)) return;
  HLineClipped(x1, y1, x2 - 1, value);
  if (y1 < y2 - 1) HLineClipped(x1, y2 - 1, x2 - 1, value);
  if (y2 - 1 > y1 + 1) {
    VLineClipped(x1, y1 + 1, y2 - 2, value);
    if (x2 - 1 > x1) VLineClipped(x2 - 1, y1 + 1, y2 - 2, value);
  }
  Changed();
}

void TBitmap32::RaiseRectClipped(int x1, int y1, int x2, int y2, int contrast) {
  if (!(x2 > x1 && y2 > y1 && x1 < width_ && y1 < height_ && x2 > 0 && y2 > 0)) return;
  struct TAfter {
    TBitmap32* self;
    ~TAfter() { self->Changed(); }
  } after{this};
  if (contrast == 0) return;
  TColor32 tl, br;
  if (contrast > 0) {
    tl = WithAlpha(White32, ClampByte(contrast * 512 / 100));
    br = WithAlpha(Black32, ClampByte(contrast * 255 / 100));
  } else {
    int c = -contrast;
    tl = WithAlpha(Black32, ClampByte(c * 255 / 100));
    br = WithAlpha(White32, ClampByte(c * 512 / 100));
  }
  HLineBlendClipped(x1, y1, x2 - 1, tl);
  HLineBlendClipped(x1, y2 - 1, x2 - 1, br);
  VLineBlendClipped(x1, y1 + 1, y2 - 2, tl);
  VLineBlendClipped(x2 - 1, y1 + 1, y2 - 2, br);
}

}  // namespace g32
