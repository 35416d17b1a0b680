#include "toolkit/win_canvas.h"

#include "toolkit/strings.h"

namespace tk {

COLORREF ColorToRGB(TColor color) {
  if (color & 0x80000000u) return GetSysColor(static_cast<int>(color & 0xFF));
  return color & 0x00FFFFFFu;
}

int TFontSpec::HeightForPoints(int points) { return -MulDiv(points, 96, 72); }

HFONT CreateFontFromSpec(const TFontSpec& spec) {
  int height = ScaleToDpi(spec.Height, ScreenPixelsPerInch());
  std::wstring face = Widen(spec.Name);
  return CreateFontW(height, 0, 0, 0, spec.Bold ? FW_BOLD : FW_NORMAL, spec.Italic, spec.Underline, FALSE,
                     DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                     DEFAULT_PITCH | FF_DONTCARE, face.c_str());
}

TCanvas::TCanvas(HDC dc) : dc_(dc) {}

TCanvas::~TCanvas() {
  if (oldPen_) SelectObject(dc_, oldPen_);
  if (oldBrush_) SelectObject(dc_, oldBrush_);
  if (oldFont_) SelectObject(dc_, oldFont_);
  if (oldRop_) SetROP2(dc_, oldRop_);
  if (pen_) DeleteObject(pen_);
  if (brush_) DeleteObject(brush_);
  if (font_) DeleteObject(font_);
}

void TCanvas::UsePen() {
  HPEN pen = CreatePen(PS_SOLID, Pen.Width, ColorToRGB(Pen.Color));
  HGDIOBJ old = SelectObject(dc_, pen);
  if (!oldPen_) oldPen_ = old;
  if (pen_) DeleteObject(pen_);
  pen_ = pen;
  int rop = R2_COPYPEN;
  switch (Pen.Mode) {
    case TPenMode::pmXor: rop = R2_XORPEN; break;
    case TPenMode::pmNotXor: rop = R2_NOTXORPEN; break;
    case TPenMode::pmNot: rop = R2_NOT; break;
    default: break;
  }
  int old2 = SetROP2(dc_, rop);
  if (!oldRop_) oldRop_ = old2;
}

void TCanvas::UseBrush() {
  HBRUSH brush = Brush.Style == TBrushStyle::bsClear ? static_cast<HBRUSH>(GetStockObject(NULL_BRUSH))
                                                     : CreateSolidBrush(ColorToRGB(Brush.Color));
  HGDIOBJ old = SelectObject(dc_, brush);
  if (!oldBrush_) oldBrush_ = old;
  if (brush_) DeleteObject(brush_);
  brush_ = Brush.Style == TBrushStyle::bsClear ? nullptr : brush;
}

void TCanvas::UseFont() {
  if (!font_ || !(fontMade_ == Font)) {
    HFONT f = CreateFontFromSpec(Font);
    HGDIOBJ old = SelectObject(dc_, f);
    if (!oldFont_) oldFont_ = old;
    if (font_) DeleteObject(font_);
    font_ = f;
    fontMade_ = Font;
  }
  SetTextColor(dc_, ColorToRGB(Font.Color));
  if (Brush.Style == TBrushStyle::bsClear) {
    SetBkMode(dc_, TRANSPARENT);
  } else {
    SetBkMode(dc_, OPAQUE);
    SetBkColor(dc_, ColorToRGB(Brush.Color));
  }
}

void TCanvas::MoveTo(int x, int y) { MoveToEx(dc_, x, y, nullptr); }
void TCanvas::LineTo(int x, int y) { UsePen(); ::LineTo(dc_, x, y); }

void TCanvas::FillRect(const RECT& r) {
  if (Brush.Style == TBrushStyle::bsClear) return;
  HBRUSH b = CreateSolidBrush(ColorToRGB(Brush.Color));
  ::FillRect(dc_, &r, b);
  DeleteObject(b);
}

void TCanvas::FrameRect(const RECT& r) {
  HBRUSH b = CreateSolidBrush(ColorToRGB(Brush.Color));
  ::FrameRect(dc_, &r, b);
  DeleteObject(b);
}

void TCanvas::Rectangle(int l, int t, int r, int b) { UsePen(); UseBrush(); ::Rectangle(dc_, l, t, r, b); }
void TCanvas::RoundRect(int l, int t, int r, int b, int w, int h) {
  UsePen(); UseBrush(); ::RoundRect(dc_, l, t, r, b, w, h);
}
void TCanvas::Ellipse(int l, int t, int r, int b) { UsePen(); UseBrush(); ::Ellipse(dc_, l, t, r, b); }
void TCanvas::Polygon(const std::vector<POINT>& p) {
  UsePen(); UseBrush(); ::Polygon(dc_, p.data(), static_cast<int>(p.size()));
}
void TCanvas::Polyline(const std::vector<POINT>& p) { UsePen(); ::Polyline(dc_, p.data(), static_cast<int>(p.size())); }

int TCanvas::DrawText(const std::string& text, RECT& r, UINT format) {
  UseFont();
  std::wstring w = Widen(text);
  return ::DrawTextW(dc_, w.c_str(), static_cast<int>(w.size()), &r, format);
}

SIZE TCanvas::TextExtent(const std::string& text) {
  UseFont();
  std::wstring w = Widen(text);
  SIZE s{0, 0};
  GetTextExtentPoint32W(dc_, w.c_str(), static_cast<int>(w.size()), &s);
  return s;
}

TColor TCanvas::Pixel(int x, int y) { return ::GetPixel(dc_, x, y); }
void TCanvas::SetPixel(int x, int y, TColor color) { ::SetPixel(dc_, x, y, ColorToRGB(color)); }
void TCanvas::DrawEdge(RECT r, UINT edge, UINT flags) { ::DrawEdge(dc_, &r, edge, flags); }

}  // namespace tk
