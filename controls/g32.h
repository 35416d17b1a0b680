#pragma once
// 32-bit bitmaps kept in a top-down device-independent section, so a whole picture
// reaches the screen in one block copy; with the line, fill, frame and raised-edge
// operations the gradient progress bar draws with.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "controls/g32_blend.h"

namespace g32 {

// The toolkit's colour: 0x00BBGGRR, or 0x800000nn for system colour nn.
using TColor = uint32_t;
constexpr TColor clBtnShadow = 0x80000010;
constexpr TColor clBtnFace = 0x8000000F;
constexpr TColor clWindow = 0x80000005;
constexpr TColor clWindowFrame = 0x80000006;
constexpr TColor clWhite = 0x00FFFFFF;

constexpr TColor32 Black32 = 0xFF000000;
constexpr TColor32 White32 = 0xFFFFFFFF;

// Raised by a bitmap that cannot get its picture.
class EBitmapError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

using TNotifyEvent = std::function<void(class TThreadPersistent* sender)>;

class TThreadPersistent {
 public:
  TThreadPersistent();
  virtual ~TThreadPersistent();
  TThreadPersistent(const TThreadPersistent&) = delete;
  TThreadPersistent& operator=(const TThreadPersistent&) = delete;

  void Lock() { EnterCriticalSection(&lock_); }
  void Unlock() { LeaveCriticalSection(&lock_); }
  // Only counts; EndUpdate does not call Changed.
  void BeginUpdate() { ++updateCount_; }
  void EndUpdate() { --updateCount_; }
  // Raises OnChange when the update counter is 0.
  virtual void Changed();

  TNotifyEvent OnChange;

 private:
  CRITICAL_SECTION lock_;
  int32_t updateCount_ = 0;
};

class TCustomMap : public TThreadPersistent {
 public:
  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }
  virtual void Clear() { SetSize(0, 0); }
  virtual bool IsEmpty() const { return width_ == 0 || height_ == 0; }
  virtual void Resized() {
    if (OnResize) OnResize(this);
  }
  // Stores both; true when either changed.
  virtual bool SetSize(int32_t newWidth, int32_t newHeight);

  TNotifyEvent OnResize;

 protected:
  int32_t width_ = 0, height_ = 0;
};

enum class TDrawMode { dmOpaque, dmBlend, dmCustom };
enum class TStretchFilter { sfNearest, sfLinear, sfLinear2, sfSpline };
using TPixelCombineEvent = std::function<void(TColor32 F, TColor32& B, TColor32 M)>;

class TBitmap32 : public TCustomMap {
 public:
  TBitmap32();
  ~TBitmap32() override;

  bool IsEmpty() const override;
  // Sizes below 1 become 0; a new size re-creates the picture (its pixels are not
  // cleared). Raises EBitmapError when the picture cannot be made; the bitmap is then
  // empty. Changed and Resized follow every size change, also a failed one.
  bool SetSize(int32_t newWidth, int32_t newHeight) override;

  TColor32* Bits() const { return bits_; }
  HDC Handle() const { return dc_; }
  HBITMAP BitmapHandle() const { return bitmap_; }
  TColor32* RowPtr(int y) const { return bits_ + static_cast<ptrdiff_t>(y) * width_; }
  TColor32* PixelPtr(int x, int y) const { return bits_ + x + static_cast<ptrdiff_t>(y) * width_; }
  TColor32 Pixel(int x, int y) const { return *PixelPtr(x, y); }

  // Block-copies the whole picture to dc at (x, y).
  void DrawTo(HDC dc, int x, int y) const;
  void ResetAlpha();

  // Copies another bitmap's picture and drawing settings (not its events); null empties.
  void Assign(const TBitmap32* source);
  // From / to a Windows bitmap: a 32-bit source keeps its alpha bytes, others get 255.
  void CopyFromWindowsBitmap(HBITMAP source);
  // A new 32-bit device-independent bitmap of the same size holding the picture; the
  // caller owns it (null when empty).
  HBITMAP CopyToWindowsBitmap() const;

  // The streamed form: width, height (4 bytes each), then the pixels in memory order.
  std::vector<uint8_t> WriteData() const;
  // Raises EBitmapError on data that does not hold the pixels it announces.
  void ReadData(const std::vector<uint8_t>& data);

  TDrawMode DrawMode() const { return drawMode_; }
  void SetDrawMode(TDrawMode v);
  uint32_t MasterAlpha() const { return masterAlpha_; }
  void SetMasterAlpha(uint32_t v);
  TStretchFilter StretchFilter() const { return stretchFilter_; }
  void SetStretchFilter(TStretchFilter v);
  TColor32 OuterColor = 0;
  TPixelCombineEvent OnPixelCombine;

  // Drawing; spans include both ends; only the *Clipped forms clip.
  void HLine(int x1, int y, int x2, TColor32 value);
  void HLineClipped(int x1, int y, int x2, TColor32 value);
  void HLineBlend(int x1, int y, int x2, TColor32 value);
  void HLineBlendClipped(int x1, int y, int x2, TColor32 value);
  void VLine(int x, int y1, int y2, TColor32 value);
  void VLineClipped(int x, int y1, int y2, TColor32 value);
  void VLineBlend(int x, int y1, int y2, TColor32 value);
  void VLineBlendClipped(int x, int y1, int y2, TColor32 value);
  // Right and bottom edges exclusive.
  void FillRect(int x1, int y1, int x2, int y2, TColor32 value);
  void FillRectClipped(int x1, int y1, int x2, int y2, TColor32 value);
  void FillRectClipped(const RECT& r, TColor32 value) { FillRectClipped(r.left, r.top, r.right, r.bottom, value); }
  void FrameRectClipped(int x1, int y1, int x2, int y2, TColor32 value);
  void FrameRectClipped(const RECT& r, TColor32 value) { FrameRectClipped(r.left, r.top, r.right, r.bottom, value); }
  // A light top-left and dark bottom-right edge (sunken for a negative contrast).
  void RaiseRectClipped(int x1, int y1, int x2, int y2, int contrast);
  void RaiseRectClipped(const RECT& r, int contrast) { RaiseRectClipped(r.left, r.top, r.right, r.bottom, contrast); }

 private:
  void ReleasePicture();

  BITMAPINFO info_{};
  TColor32* bits_ = nullptr;
  TDrawMode drawMode_ = TDrawMode::dmOpaque;
  HBITMAP bitmap_ = nullptr;
  HDC dc_ = nullptr;
  uint32_t masterAlpha_ = 255;
  TStretchFilter stretchFilter_ = TStretchFilter::sfNearest;
};

// Byte for byte the same picture; an empty bitmap equals only an empty one.
bool SameBitmap(const TBitmap32& a, const TBitmap32& b);

TColor32 ToColor32(TColor color);
TColor32 RgbToColor32(COLORREF rgb);
TColor32 WithAlpha(TColor32 color, int alpha);
TColor32 AdjustBrightness(TColor32 color, int amount);
int ClampByte(int n);
void FillPixels(TColor32* address, int count, TColor32 value);
void OrderPair(int& a, int& b);
bool ClipSpan(int& a, int& b, int size);
RECT MakeRect(int l, int t, int r, int b);
RECT InflateRectBy(const RECT& r, int dx, int dy);
bool IsRectEmpty(const RECT& r);

}  // namespace g32
