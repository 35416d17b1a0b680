#include "toolkit/win_speedbutton.h"

#include "toolkit/strings.h"

namespace tk {

TSpeedButton::TSpeedButton(std::wstring className) : TCustomControl(std::move(className)) { tabStop_ = false; }

void TSpeedButton::SetFlat(bool on) { flat_ = on; Invalidate(); }
void TSpeedButton::SetTransparent(bool on) { transparent_ = on; Invalidate(); }
void TSpeedButton::SetGroupIndex(int index) { groupIndex_ = index; Invalidate(); }
void TSpeedButton::SetAllowAllUp(bool on) { allowAllUp_ = on; Invalidate(); }
void TSpeedButton::SetLayout(TButtonLayout layout) { layout_ = layout; Invalidate(); }
void TSpeedButton::SetSpacing(int spacing) { spacing_ = spacing; Invalidate(); }
void TSpeedButton::SetMargin(int margin) {
  if (margin < -1) return;
  margin_ = margin;
  Invalidate();
}
void TSpeedButton::SetGlyph(HBITMAP glyph, int numGlyphs) {
  glyph_ = glyph;
  numGlyphs_ = numGlyphs < 1 ? 1 : numGlyphs > 4 ? 4 : numGlyphs;
  Invalidate();
}
void TSpeedButton::SetEnabled(bool enabled) {
  TCustomControl::SetEnabled(enabled);
  state_ = enabled ? (down_ ? TButtonState::bsExclusive : TButtonState::bsUp) : TButtonState::bsDisabled;
  Invalidate();
}

void TSpeedButton::SetDown(bool down) {
  if (groupIndex_ == 0) down = false;
  if (down == down_) return;
  if (down_ && !allowAllUp_) return;
  down_ = down;
  if (down) {
    if (state_ == TButtonState::bsUp) Invalidate();
    state_ = TButtonState::bsExclusive;
    ReleaseGroup();
  } else {
    state_ = TButtonState::bsUp;
  }
  Invalidate();
}

void TSpeedButton::ReleaseGroup() {
  if (!Parent() || groupIndex_ == 0) return;
  for (TControl* c : Parent()->Controls()) {
    auto* b = dynamic_cast<TSpeedButton*>(c);
    if (b && b != this && b->groupIndex_ == groupIndex_ && b->down_) {
      b->down_ = false;
      b->state_ = TButtonState::bsUp;
      b->Invalidate();
    }
  }
}

void TSpeedButton::MouseDown(int, int) {
  if (!down_) {
    state_ = TButtonState::bsDown;
    Invalidate();
  }
  dragging_ = true;
}

void TSpeedButton::MouseMove(int x, int y) {
  if (!dragging_) return;
  TButtonState s = down_ ? TButtonState::bsExclusive : TButtonState::bsUp;
  if (x >= 0 && x < ClientRect().right && y >= 0 && y < ClientRect().bottom)
    s = down_ ? TButtonState::bsExclusive : TButtonState::bsDown;
  if (s != state_) {
    state_ = s;
    Invalidate();
  }
}

void TSpeedButton::MouseUp(int x, int y) {
  if (!dragging_) return;
  dragging_ = false;
  RECT r = ClientRect();
  bool doClick = x >= 0 && x < r.right && y >= 0 && y < r.bottom;
  if (groupIndex_ == 0) {
    state_ = TButtonState::bsUp;
    mouseIn_ = mouseIn_ && doClick;
    Invalidate();
  } else if (doClick) {
    SetDown(!down_);
    state_ = down_ ? TButtonState::bsExclusive : TButtonState::bsUp;
    Invalidate();
  }
  if (doClick) Click();
}

void TSpeedButton::MouseEnter() {
  mouseIn_ = true;
  if (flat_ && enabled_) Invalidate();
}
void TSpeedButton::MouseLeave() {
  mouseIn_ = false;
  if (flat_ && enabled_) Invalidate();
}

LRESULT TSpeedButton::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  auto px = [&] { return static_cast<short>(LOWORD(lp)); };
  auto py = [&] { return static_cast<short>(HIWORD(lp)); };
  switch (msg) {
    case WM_LBUTTONDOWN:
      if (enabled_) {
        SetCapture(Handle());
        MouseDown(px(), py());
      }
      if (OnMouseDown) OnMouseDown(TMouseButton::mbLeft, KeyboardShiftState(), px(), py());
      return 0;
    case WM_LBUTTONDBLCLK:
      if (enabled_ && down_ && OnDblClick) OnDblClick();
      else if (enabled_) MouseDown(px(), py());
      return 0;
    case WM_MOUSEMOVE:
      if (!mouseIn_) {
        TRACKMOUSEEVENT t{sizeof(t), TME_LEAVE, Handle(), 0};
        TrackMouseEvent(&t);
        MouseEnter();
      }
      MouseMove(px(), py());
      if (OnMouseMove) OnMouseMove(KeyboardShiftState(), px(), py());
      return 0;
    case WM_MOUSELEAVE:
      if (!dragging_) MouseLeave();
      return 0;
    case WM_LBUTTONUP:
      if (GetCapture() == Handle()) ReleaseCapture();
      MouseUp(px(), py());
      if (OnMouseUp) OnMouseUp(TMouseButton::mbLeft, KeyboardShiftState(), px(), py());
      return 0;
    case WM_GETDLGCODE:
      return DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON;  // the caption's accelerator clicks it
    case BM_CLICK:
      if (enabled_ && IsWindowVisible(Handle())) Click();
      return 0;
    default: break;
  }
  return TCustomControl::WndProc(msg, wp, lp);
}

SIZE TSpeedButton::GlyphSize() const {
  SIZE s{0, 0};
  BITMAP bm;
  if (glyph_ && GetObjectW(glyph_, sizeof(bm), &bm)) {
    s.cx = bm.bmWidth / numGlyphs_;
    s.cy = bm.bmHeight;
  }
  return s;
}

void TSpeedButton::FacePlaces(TCanvas& c, RECT r, bool pressed, RECT& glyphRect, RECT& captionRect) const {
  InflateRect(&r, -2, -2);
  if (pressed) OffsetRect(&r, 1, 1);
  SIZE g = GlyphSize();
  SIZE t{0, 0};
  const std::string& text = caption_;
  if (!text.empty()) {
    RECT m{0, 0, r.right - r.left, 0};
    c.DrawText(text, m, DT_CALCRECT | DT_SINGLELINE);
    t.cx = m.right - m.left;
    t.cy = m.bottom - m.top;
  }
  bool horizontal = layout_ == TButtonLayout::blGlyphLeft || layout_ == TButtonLayout::blGlyphRight;
  int space = (g.cx && t.cx) ? spacing_ : 0;
  int total = horizontal ? g.cx + space + t.cx : g.cy + space + t.cy;
  int avail = horizontal ? r.right - r.left : r.bottom - r.top;
  int start = margin_ < 0 ? (avail - total) / 2 : margin_;
  POINT gp{}, tp{};
  int cx = r.left + (r.right - r.left) / 2, cy = r.top + (r.bottom - r.top) / 2;
  switch (layout_) {
    case TButtonLayout::blGlyphLeft:
      gp = {r.left + start, cy - g.cy / 2};
      tp = {gp.x + g.cx + space, cy - t.cy / 2};
      break;
    case TButtonLayout::blGlyphRight:
      gp = {r.right - start - g.cx, cy - g.cy / 2};
      tp = {gp.x - space - t.cx, cy - t.cy / 2};
      break;
    case TButtonLayout::blGlyphTop:
      gp = {cx - g.cx / 2, r.top + start};
      tp = {cx - t.cx / 2, gp.y + g.cy + space};
      break;
    case TButtonLayout::blGlyphBottom:
      gp = {cx - g.cx / 2, r.bottom - start - g.cy};
      tp = {cx - t.cx / 2, gp.y - space - t.cy};
      break;
  }
  glyphRect = g.cx ? RECT{gp.x, gp.y, gp.x + g.cx, gp.y + g.cy} : RECT{0, 0, 0, 0};
  captionRect = t.cx ? RECT{tp.x, tp.y, tp.x + t.cx, tp.y + t.cy} : RECT{0, 0, 0, 0};
}

void TSpeedButton::PaintFace(TCanvas& c, RECT r, bool pressed, RECT* captionRect, RECT* glyphRect) {
  bool enabled = enabled_;
  if (!flat_) {
    c.DrawEdge(r, pressed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT | BF_SOFT | BF_MIDDLE);
  } else {
    if (!transparent_) {
      c.Brush.Color = EffectiveColor();
      c.FillRect(r);
    }
    if (pressed || (mouseIn_ && enabled) || state_ == TButtonState::bsExclusive)
      c.DrawEdge(r, pressed ? BDR_SUNKENOUTER : BDR_RAISEDINNER, BF_RECT);
  }
  if (state_ == TButtonState::bsExclusive && (!flat_ || !mouseIn_)) {
    // The dotted look of a latched button.
    RECT in = r;
    InflateRect(&in, -1, -1);
    for (int y = in.top; y < in.bottom; ++y)
      for (int x = in.left + ((y - in.top) & 1); x < in.right; x += 2) c.SetPixel(x, y, clBtnHighlight);
  }
  RECT gr{}, cr{};
  FacePlaces(c, r, pressed, gr, cr);
  if (glyphRect) *glyphRect = gr;
  if (captionRect) *captionRect = cr;
  const SIZE g{gr.right - gr.left, gr.bottom - gr.top};
  const POINT gp{gr.left, gr.top};
  if (g.cx) {
    int image = !enabled && numGlyphs_ > 1 ? 1 : pressed && numGlyphs_ > 2 ? 2 :
                state_ == TButtonState::bsExclusive && numGlyphs_ > 3 ? 3 : 0;
    HDC mem = CreateCompatibleDC(c.Handle());
    HGDIOBJ old = SelectObject(mem, glyph_);
    BitBlt(c.Handle(), gp.x, gp.y, g.cx, g.cy, mem, image * g.cx, 0, SRCCOPY);
    SelectObject(mem, old);
    DeleteDC(mem);
  }
  if (cr.right > cr.left) {
    RECT tr = cr;
    const std::string& text = caption_;
    c.Brush.Style = TBrushStyle::bsClear;
    c.Font.Color = enabled ? clBtnText : clGrayText;
    c.DrawText(text, tr, DT_SINGLELINE | DT_CENTER | DT_VCENTER);
    c.Brush.Style = TBrushStyle::bsSolid;
  }
}

void TSpeedButton::Paint(TCanvas& c) {
  bool pressed = state_ == TButtonState::bsDown || state_ == TButtonState::bsExclusive;
  PaintFace(c, ClientRect(), pressed, nullptr, nullptr);
}

}  // namespace tk
