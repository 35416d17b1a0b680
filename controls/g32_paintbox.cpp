#include "controls/g32_paintbox.h"

#include <algorithm>

namespace g32 {
namespace {

const wchar_t kClassName[] = L"TPaintBox32";

bool RegisterPaintBoxClass(WNDPROC proc) {
  static bool done = [proc] {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = kClassName;
    return RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
  }();
  return done;
}

}  // namespace

TCustomPaintBox32::TCustomPaintBox32() {
  // The buffer never raises change notifications: nothing listens to it.
  Buffer.BeginUpdate();
}

TCustomPaintBox32::~TCustomPaintBox32() {
  if (wnd_) {
    SetWindowLongPtrW(wnd_, GWLP_USERDATA, 0);
    DestroyWindow(wnd_);
  }
}

bool TCustomPaintBox32::CreateWnd(HWND parent) {
  if (wnd_ || !RegisterPaintBoxClass(WndProc)) return wnd_ != nullptr;
  DWORD style = WS_CHILD | WS_CLIPSIBLINGS | (visible_ ? WS_VISIBLE : 0);
  wnd_ = CreateWindowExW(0, kClassName, L"", style, left_, top_, width_, height_, parent, nullptr,
                         GetModuleHandleW(nullptr), this);
  return wnd_ != nullptr;
}

void TCustomPaintBox32::SetBounds(int left, int top, int width, int height) {
  BufferCurrent = false;
  bool resized = width != width_ || height != height_;
  left_ = left;
  top_ = top;
  width_ = width;
  height_ = height;
  if (wnd_)
    MoveWindow(wnd_, left, top, width, height, TRUE);  // WM_SIZE resizes
  else if (resized)
    Resize();
}

void TCustomPaintBox32::SetVisible(bool visible) {
  visible_ = visible;
  if (wnd_) ShowWindow(wnd_, visible ? SW_SHOWNA : SW_HIDE);
}

void TCustomPaintBox32::Invalidate() {
  BufferCurrent = false;
  if (wnd_) InvalidateRect(wnd_, nullptr, FALSE);
}

void TCustomPaintBox32::Update() {
  if (wnd_) UpdateWindow(wnd_);
}

void TCustomPaintBox32::Resize() {
  FitBuffer();
  BufferCurrent = false;
}

void TCustomPaintBox32::FitBuffer() {
  RECT r = GetPaintRect();
  int w = std::max<int>(r.right - r.left, 0), h = std::max<int>(r.bottom - r.top, 0);
  if (w == Buffer.Width() && h == Buffer.Height()) return;
  if (BufferSlack == -1) {
    Buffer.SetSize(w, h);
    BufferCurrent = false;
    return;
  }
  int nw = Buffer.Width(), nh = Buffer.Height();
  if (Buffer.Width() < w) nw = w + BufferSlack;
  if (Buffer.Height() < h) nh = h + BufferSlack;
  if (w < Buffer.Width() - BufferSlack) nw = w;
  if (h < Buffer.Height() - BufferSlack) nh = h;
  if (nw == Buffer.Width() && nh == Buffer.Height()) return;
  Buffer.SetSize(nw, nh);
  BufferCurrent = false;
}

void TCustomPaintBox32::Paint(HDC dc) {
  FitBuffer();
  if (!BufferCurrent) PaintBuffer();
  Buffer.Lock();
  RECT r = GetPaintRect();
  if (!Buffer.IsEmpty())
    BitBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, Buffer.Handle(), 0, 0, SRCCOPY);
  Buffer.Unlock();
  AfterPaint();
}

LRESULT CALLBACK TCustomPaintBox32::WndProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_NCCREATE) {
    auto* cs = reinterpret_cast<CREATESTRUCTW*>(lParam);
    SetWindowLongPtrW(wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
  }
  auto* self = reinterpret_cast<TCustomPaintBox32*>(GetWindowLongPtrW(wnd, GWLP_USERDATA));
  if (self) {
    switch (msg) {
      case WM_ERASEBKGND:
        return 1;  // the block copy covers everything: no flicker
      case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(wnd, &ps);
        self->Paint(dc);
        EndPaint(wnd, &ps);
        return 0;
      }
      case WM_SIZE: {
        int w = LOWORD(lParam), h = HIWORD(lParam);
        self->width_ = w;
        self->height_ = h;
        self->Resize();
        return 0;
      }
      case WM_NCDESTROY:
        self->wnd_ = nullptr;
        break;
    }
  }
  return DefWindowProcW(wnd, msg, wParam, lParam);
}

}  // namespace g32
