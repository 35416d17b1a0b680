#include "toolkit/win_splitter.h"

#include <windowsx.h>

namespace tk {

TSplitter::TSplitter() : TCustomControl(L"TSplitter") {}

void TSplitter::CreateParams(TCreateParams& p) {
  TCustomControl::CreateParams(p);
  p.ClassStyle = 0;
}

bool TSplitter::Vertical() const { return Align() == TAlign::alTop || Align() == TAlign::alBottom; }

TControl* TSplitter::ResizeControl() const {
  if (!Parent()) return nullptr;
  TControl* before = nullptr;
  for (TControl* c : Parent()->Controls()) {
    if (c == this) return before;
    if (c->Align() == Align() && c->Visible()) before = c;
  }
  return nullptr;
}

bool TSplitter::MoveTo(int newSize) {
  TControl* c = ResizeControl();
  if (!c) return false;
  if (newSize < MinSize) newSize = MinSize;
  bool accept = true;
  if (OnCanResize) OnCanResize(newSize, accept);
  if (!accept) return false;
  if (Vertical()) c->SetHeight(newSize);
  else c->SetWidth(newSize);
  Parent()->Realign();
  if (OnMoved) OnMoved();
  return true;
}

LRESULT TSplitter::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_SETCURSOR:
      ::SetCursor(LoadCursorW(nullptr, Vertical() ? IDC_SIZENS : IDC_SIZEWE));
      return TRUE;
    case WM_LBUTTONDOWN:
      if (TControl* c = ResizeControl()) {
        dragging_ = true;
        GetCursorPos(&start_);
        startSize_ = Vertical() ? c->Height() : c->Width();
        SetCapture(Handle());
      }
      return 0;
    case WM_MOUSEMOVE:
      if (dragging_) {
        POINT pt;
        GetCursorPos(&pt);
        const int d = Dpi();
        // Dragging towards the sized control shrinks it.
        int delta = ScaleFromDpi(Vertical() ? pt.y - start_.y : pt.x - start_.x, d);
        if (Align() == TAlign::alBottom || Align() == TAlign::alRight) delta = -delta;
        MoveTo(startSize_ + delta);
      }
      return 0;
    case WM_LBUTTONUP:
    case WM_CAPTURECHANGED:
      if (dragging_) {
        dragging_ = false;
        if (msg == WM_LBUTTONUP) ReleaseCapture();
      }
      return 0;
    default: break;
  }
  return TCustomControl::WndProc(msg, wp, lp);
}

}  // namespace tk
