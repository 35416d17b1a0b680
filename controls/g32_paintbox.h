#pragma once
// A child window that draws into an off-screen 32-bit bitmap and reaches the screen
// with one block copy; the picture is kept until something marks it stale.
#include <windows.h>

#include <functional>

#include "controls/g32.h"

namespace g32 {

class TCustomPaintBox32 {
 public:
  TCustomPaintBox32();
  virtual ~TCustomPaintBox32();
  TCustomPaintBox32(const TCustomPaintBox32&) = delete;
  TCustomPaintBox32& operator=(const TCustomPaintBox32&) = delete;

  // Makes the child window (class "TPaintBox32") at the current bounds. Without a
  // window the control still paints through Paint(dc), which tests use.
  bool CreateWnd(HWND parent);
  HWND Handle() const { return wnd_; }

  int Width() const { return width_; }
  int Height() const { return height_; }
  // Marks the picture stale and moves the window; a new size also resizes.
  void SetBounds(int left, int top, int width, int height);
  void SetVisible(bool visible);
  bool Visible() const { return visible_; }

  // Marks the picture stale and invalidates the window.
  virtual void Invalidate();
  // Repaints the invalid part of the window now.
  void Update();
  // The size changed: FitBuffer, picture stale.
  virtual void Resize();
  // The paint handler on a device context: fit, draw when stale, copy, AfterPaint.
  void Paint(HDC dc);
  void FitBuffer();

  // Descendants draw the picture; the base marks it current (descendants call it first).
  virtual void PaintBuffer() { BufferCurrent = true; }
  virtual void AfterPaint() {
    if (OnAfterPaint) OnAfterPaint(this);
  }
  virtual RECT GetPaintRect() const { return RECT{0, 0, width_, height_}; }

  TBitmap32 Buffer;
  int BufferSlack = 40;  // -1: the buffer always has exactly the paint rectangle's size
  bool BufferCurrent = false;
  std::function<void(TCustomPaintBox32*)> OnAfterPaint;

 private:
  static LRESULT CALLBACK WndProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);

  HWND wnd_ = nullptr;
  int left_ = 0, top_ = 0, width_ = 192, height_ = 192;
  bool visible_ = true;
};

}  // namespace g32
