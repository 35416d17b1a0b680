#include "toolkit/win_bitbtn.h"

#include <algorithm>

#include "toolkit/strings.h"

namespace tk {

void LayoutGlyph(TButtonLayout layout, SIZE client, SIZE g, SIZE t, int spacing, RECT& image, RECT& text) {
  const int w = client.cx, h = client.cy;
  switch (layout) {
    case TButtonLayout::blGlyphLeft:
      image.left = (w - (spacing + g.cx + t.cx)) / 2;
      image.top = (h - g.cy) / 2;
      text = {image.left + g.cx + spacing, (h - t.cy) / 2, 0, 0};
      text.right = text.left + t.cx;
      break;
    case TButtonLayout::blGlyphRight:
      image.left = (spacing + g.cx + t.cx + w) / 2 - g.cx;
      image.top = (h - g.cy) / 2;
      text = {0, (h - t.cy) / 2, image.left - spacing, 0};
      text.left = text.right - t.cx;
      break;
    case TButtonLayout::blGlyphTop:
      image.left = (w - g.cx) / 2;
      image.top = (h - (g.cy + spacing + t.cy)) / 2;
      text = {(w - t.cx) / 2, image.top + g.cy + spacing, 0, 0};
      text.right = text.left + t.cx;
      break;
    case TButtonLayout::blGlyphBottom:
      image.left = (w - g.cx) / 2;
      image.top = (g.cy + spacing + t.cy + h) / 2 - g.cy;
      text = {(w - t.cx) / 2, 0, 0, image.top - spacing};
      text.right = text.left + t.cx;
      text.top = text.bottom - t.cy;
      break;
  }
  image.right = image.left + g.cx;
  image.bottom = image.top + g.cy;
  text.bottom = text.top + t.cy;
}

TBitBtn::~TBitBtn() {
  if (ownGlyph_) DeleteObject(glyph_);
}

void TBitBtn::SetGlyph(HBITMAP glyph, int numGlyphs, bool own) {
  if (ownGlyph_ && glyph_ != glyph) DeleteObject(glyph_);
  glyph_ = glyph;
  ownGlyph_ = own;
  numGlyphs_ = std::clamp(numGlyphs, 1, 4);
  Invalidate();
}

SIZE TBitBtn::GlyphSize() const {
  BITMAP bm;
  if (!glyph_ || !GetObjectW(glyph_, sizeof(bm), &bm)) return {0, 0};
  return {bm.bmWidth / numGlyphs_, bm.bmHeight};
}

void TBitBtn::CreateParams(TCreateParams& p) {
  TButton::CreateParams(p);
  p.Style = (p.Style & ~static_cast<DWORD>(BS_TYPEMASK)) | BS_OWNERDRAW;
}

bool TBitBtn::HandleParentMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
  if (msg != WM_DRAWITEM) return TButton::HandleParentMessage(msg, wp, lp, result);
  const auto& d = *reinterpret_cast<const DRAWITEMSTRUCT*>(lp);
  TCanvas c(d.hDC);
  c.Font = Font();
  RECT r = d.rcItem;
  const bool pressed = d.itemState & ODS_SELECTED, enabled = !(d.itemState & ODS_DISABLED);
  if (Default() || (d.itemState & ODS_FOCUS)) {
    c.Brush.Color = clBlack;
    c.FrameRect(r);
    InflateRect(&r, -1, -1);
  }
  DrawFrameControl(d.hDC, &r, DFC_BUTTON, DFCS_BUTTONPUSH | (pressed ? DFCS_PUSHED : 0));
  std::string text = Caption();
  SIZE g = GlyphSize();
  SIZE t{0, 0};
  if (!text.empty()) {
    RECT m{0, 0, 0, 0};
    c.DrawText(text, m, DT_CALCRECT | DT_SINGLELINE);
    t = {m.right, m.bottom};
  }
  RECT ir{}, tr{};
  LayoutGlyph(layout_, {r.right - r.left, r.bottom - r.top}, g, t, text.empty() || !g.cx ? 0 : spacing_, ir, tr);
  OffsetRect(&ir, r.left + pressed, r.top + pressed);
  OffsetRect(&tr, r.left + pressed, r.top + pressed);
  if (g.cx) {
    int cell = !enabled && numGlyphs_ > 1 ? 1 : pressed && numGlyphs_ > 2 ? 2 : 0;
    HDC mem = CreateCompatibleDC(d.hDC);
    HGDIOBJ old = SelectObject(mem, glyph_);
    COLORREF key = GetPixel(mem, cell * g.cx, g.cy - 1);
    TransparentBlt(d.hDC, ir.left, ir.top, g.cx, g.cy, mem, cell * g.cx, 0, g.cx, g.cy, key);
    SelectObject(mem, old);
    DeleteDC(mem);
  }
  if (t.cx) {
    c.Brush.Style = TBrushStyle::bsClear;
    c.Font.Color = enabled ? clBtnText : clGrayText;
    c.DrawText(text, tr, DT_SINGLELINE);
  }
  if (d.itemState & ODS_FOCUS) {
    RECT f = r;
    InflateRect(&f, -3, -3);
    DrawFocusRect(d.hDC, &f);
  }
  *result = TRUE;
  return true;
}

}  // namespace tk
