#include "toolkit/win_hint.h"

namespace tk {

namespace {
THintWindowClass& HintClass() {
  static THintWindowClass maker;
  return maker;
}
constexpr int kMargin = 3;
}  // namespace

THintWindow::THintWindow(std::wstring className) : TCustomControl(std::move(className)) {
  SetVisible(false);
  SetColor(clInfoBk);
}

void THintWindow::CreateParams(TCreateParams& p) {
  TCustomControl::CreateParams(p);
  p.Style = WS_POPUP | WS_BORDER;
  p.ExStyle = WS_EX_TOOLWINDOW | WS_EX_TOPMOST;
  p.ClassStyle = CS_SAVEBITS;
}

TBounds THintWindow::CalcHintRect(int maxWidth, const std::string& text) {
  HDC dc = GetDC(nullptr);
  RECT r{0, 0, maxWidth, 0};
  {
    TCanvas canvas(dc);
    canvas.Font = Font();
    canvas.DrawText(text, r, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
  }
  ReleaseDC(nullptr, dc);
  int d = ScreenPixelsPerInch();
  return {0, 0, ScaleFromDpi(r.right, d) + 2 * kMargin + 2, ScaleFromDpi(r.bottom, d) + 2 * kMargin};
}

void THintWindow::ActivateHint(const TBounds& screenRect, const std::string& text) {
  SetCaption(text);
  SetBounds(screenRect);
  if (!HandleAllocated()) CreateHandle();
  if (!Handle()) return;
  SetWindowPos(Handle(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
  visible_ = true;
  Invalidate();
}

void THintWindow::ReleaseHint() { DestroyHandle(); visible_ = false; }

void THintWindow::Paint(TCanvas& canvas) {
  RECT r = ClientRect();
  canvas.Brush.Color = clInfoBk;
  canvas.FillRect(r);
  InflateRect(&r, -kMargin, -kMargin);
  canvas.Font.Color = SystemColor(COLOR_INFOTEXT);
  canvas.Brush.Style = TBrushStyle::bsClear;
  canvas.DrawText(Caption(), r, DT_WORDBREAK | DT_NOPREFIX);
}

void SetHintWindowClass(THintWindowClass maker) { HintClass() = std::move(maker); }

std::unique_ptr<THintWindow> CreateHintWindow() {
  if (HintClass()) return HintClass()();
  return std::make_unique<THintWindow>();
}

}  // namespace tk
