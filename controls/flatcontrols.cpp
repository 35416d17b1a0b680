#include "controls/flatcontrols.h"

#include <typeinfo>

#include "controls/flatdraw.h"
#include "toolkit/win_bitbtn.h"
#include "toolkit/win_form.h"
#include "toolkit/win_groupbox.h"
#include "toolkit/win_pagecontrol.h"
#include "toolkit/win_richedit.h"
#include "toolkit/win_speedbutton.h"
#include "toolkit/win_toolbar.h"
#include "toolkit/win_updown.h"

namespace g32 {

using tk::TCanvas;
using tk::TControl;
using namespace flatdraw;

namespace {

const char kHookTag = 0;  // the owner mark of a flat painter's window procedure

bool IsEditKind(const TControl* c) { return dynamic_cast<const tk::TEdit*>(c) != nullptr; }
bool IsRichEdit(const TControl* c) { return dynamic_cast<const tk::TRichEdit*>(c) != nullptr; }
// Owner-drawn descendants of the speed button (the colour picker) keep their own face.
bool IsSpeedButton(const TControl* c) { return c && typeid(*c) == typeid(tk::TSpeedButton); }
bool IsPlainEdit(const TControl* c) { return c && typeid(*c) == typeid(tk::TEdit); }

int ThumbWidth() { return GetSystemMetrics(SM_CXHTHUMB); }

void Frame(TCanvas& c, const RECT& r, tk::TColor colour) {
  c.Brush.Style = tk::TBrushStyle::bsSolid;
  c.Brush.Color = colour;
  c.FrameRect(r);
}

// A 3-D frame of the given width, top-left in top, bottom-right in bottom; r shrinks.
void Frame3D(TCanvas& c, RECT& r, tk::TColor top, tk::TColor bottom, int width) {
  for (int i = 0; i < width; ++i) {
    c.Pen.Color = top;
    Line(c, {{r.left, r.bottom - 1}, {r.left, r.top}, {r.right - 1, r.top}});
    c.Pen.Color = bottom;
    Line(c, {{r.right - 1, r.top}, {r.right - 1, r.bottom - 1}, {r.left - 1, r.bottom - 1}});
    InflateRect(&r, -1, -1);
  }
}

SIZE CaptionSize(TCanvas& c, const std::string& text) {
  if (text.empty()) return {0, 0};
  RECT m{0, 0, 0, 0};
  c.DrawText(text, m, DT_CALCRECT | DT_SINGLELINE);
  return {m.right - m.left, m.bottom - m.top};
}

// One cell of a glyph as a bitmap of its own (the drawing may change its pixels).
HBITMAP GlyphCell(HBITMAP glyph, SIZE cell, int index) {
  HBITMAP b = NewDib(cell.cx, cell.cy);
  TSelected from(glyph), to(b);
  BitBlt(to.dc, 0, 0, cell.cx, cell.cy, from.dc, index * cell.cx, 0, SRCCOPY);
  return b;
}

// The control canvas: the window's client (or, for edits, its whole window, so the
// flat line replaces the border).
struct TControlDC {
  TControlDC(HWND h, bool whole) : hwnd(h), dc(whole ? GetWindowDC(h) : GetDC(h)) {}
  ~TControlDC() { ReleaseDC(hwnd, dc); }
  HWND hwnd;
  HDC dc;
};

}  // namespace

bool QualifiesForFlatPainting(const TControl& control, TXPControls controls, TXPContainers containers) {
  const TControl* c = &control;
  unsigned kind = 0;
  if (dynamic_cast<const tk::TComboBox*>(c)) kind = xcCombo;
  else if (IsPlainEdit(c)) kind = xcEdit;
  else if (IsRichEdit(c)) kind = xcRichEdit;
  else if (dynamic_cast<const tk::TMemo*>(c)) kind = xcMemo;
  else if (dynamic_cast<const tk::TRadioButton*>(c)) kind = xcRadioButton;
  else if (dynamic_cast<const tk::TCheckBox*>(c)) kind = xcCheckBox;
  else if (dynamic_cast<const tk::TBitBtn*>(c)) kind = xcBitBtn;
  else if (dynamic_cast<const tk::TButton*>(c) || dynamic_cast<const tk::TUpDown*>(c)) kind = xcButton;
  else if (IsSpeedButton(c)) kind = xcSpeedButton;
  else if (dynamic_cast<const tk::TPanel*>(c)) kind = xcPanel;
  else if (dynamic_cast<const tk::TGroupBox*>(c)) kind = xcGroupBox;
  if (!(kind & controls)) return false;
  const tk::TWinControl* p = c->Parent();
  if (!p) return false;
  unsigned where = 0;
  if (dynamic_cast<const tk::TForm*>(p)) where = xccForm;
  else if (dynamic_cast<const tk::TPanel*>(p)) where = xccPanel;
  else if (dynamic_cast<const tk::TGroupBox*>(p)) where = xccGroupBox;
  else if (dynamic_cast<const tk::TControlBar*>(p)) where = xccControlbar;
  else if (dynamic_cast<const tk::TTabSheet*>(p)) where = xccTabSheet;
  else if (dynamic_cast<const tk::TCustomControl*>(p)) where = xccFrame;  // frames are custom controls
  if (!(where & containers)) return false;
  return c->Tag != 999 && p->Tag != 999;
}

bool TControlSubClass::IsHook(const TControl& control) { return control.WindowProcOwner() == &kHookTag; }

TControlSubClass::TControlSubClass(TXPMenu& component, TControl& control) : Control(&control), Component(&component) {
  if (!IsHook(control)) {
    SavedWindowProc = control.WindowProc();
    hooked_ = true;
    // The control may go first: then there is nothing to hand back.
    control.SetWindowProc([this](UINT m, WPARAM w, LPARAM l) { return SubclassWindowProc(m, w, l); }, &kHookTag,
                          [this] {
                            Control = nullptr;
                            Component->ReleaseSubClass(this);
                          });
  }
  if (auto* e = dynamic_cast<tk::TEdit*>(&control)) {
    SavedCtl3D = e->Ctl3D();
    SavedBorderSingle = e->BorderSingle();
  }
}

TControlSubClass::~TControlSubClass() {
  if (Control) Restore();
}

void TControlSubClass::Restore() {
  TControl* c = Control;
  Control = nullptr;
  if (!c || !hooked_) return;
  hooked_ = false;
  c->SetWindowProc(SavedWindowProc);
  if (auto* e = dynamic_cast<tk::TEdit*>(c)) {
    e->SetCtl3D(SavedCtl3D);
    if (IsRichEdit(c)) e->SetBorderSingle(SavedBorderSingle);
  }
  // The system draws the control again; a rich edit's frame lies on its parent.
  if (c->Handle()) RedrawWindow(c->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_ERASE);
  if (IsRichEdit(c) && c->Parent() && c->Parent()->Handle()) {
    RECT r;
    GetWindowRect(c->Handle(), &r);
    MapWindowPoints(nullptr, c->Parent()->Handle(), reinterpret_cast<POINT*>(&r), 2);
    InflateRect(&r, 2, 2);
    InvalidateRect(c->Parent()->Handle(), &r, TRUE);
  }
}

LRESULT TControlSubClass::SubclassWindowProc(UINT msg, WPARAM wp, LPARAM lp) {
  LRESULT result = SavedWindowProc ? SavedWindowProc(msg, wp, lp) : 0;
  // What the painters ask of the control (its check state) changes nothing here.
  if (!Control || painting_) return result;
  if (!Component->Active()) {
    Restore();
    Component->ReleaseSubClass(this);  // ends this object: nothing after it
    return result;
  }
  LastMessage = msg;
  switch (msg) {
    case WM_PAINT:
      Rebuilding = false;
      RepaintFlat();
      break;
    case WM_NCPAINT:
      // An edit's flat line lies on its border, which the system has just drawn.
      if (IsEditKind(Control) && !IsRichEdit(Control)) RepaintFlat();
      break;
    case WM_DESTROY:
      if (Rebuilding) {
        Rebuilding = false;
      } else {
        Restore();
        Component->ReleaseSubClass(this);
      }
      break;
    case EM_GETMODIFY: case tk::CM_INVALIDATE: case tk::CM_CTL3DCHANGED: case tk::CM_PARENTCTL3DCHANGED:
      Rebuilding = true;
      break;
    case tk::CM_MOUSEENTER:
    case tk::CM_MOUSELEAVE:
      if (Control->Enabled()) {
        Hot = msg == tk::CM_MOUSEENTER;
        RepaintFlat();
      }
      break;
    case WM_SETFOCUS:
      Hot = true;
      RepaintFlat();
      break;
    case WM_KILLFOCUS: case tk::CM_EXIT: case BM_SETCHECK: case BM_GETCHECK:
      Hot = false;
      RepaintFlat();
      break;
    case WM_LBUTTONDOWN:
      MouseDown = true;
      RepaintFlat();
      break;
    case WM_LBUTTONUP:
      MouseDown = false;
      RepaintFlat();
      break;
    case WM_KEYDOWN:
      if (wp == VK_SPACE) {
        SpaceDown = true;
        if (!SpaceHeld) RepaintFlat();
        SpaceHeld = true;
      }
      break;
    case WM_KEYUP:
      if (wp == VK_SPACE) {
        SpaceDown = false;
        SpaceHeld = false;
        RepaintFlat();
      }
      break;
    case tk::CM_PARENTCOLORCHANGED: case tk::CM_TEXTCHANGED: case tk::CM_ENABLEDCHANGED:
    case tk::CM_FOCUSCHANGED: case BM_SETSTATE:
      RepaintFlat();
      break;
    case WM_LBUTTONDBLCLK:
      if (dynamic_cast<tk::TButton*>(Control) || IsSpeedButton(Control) ||
          (dynamic_cast<tk::TCheckBox*>(Control) && !dynamic_cast<tk::TRadioButton*>(Control)))
        SendMessageW(Control->Handle(), WM_LBUTTONDOWN, wp, lp);
      break;
    default: break;
  }
  return result;
}

tk::TColor TControlSubClass::ControlColor() const {
  if (Control->Color() != tk::clDefault) return Control->Color();
  if (IsEditKind(Control) || dynamic_cast<const tk::TComboBox*>(Control)) return tk::clWindow;
  return ParentColor();
}

tk::TColor TControlSubClass::ParentColor() const {
  for (const TControl* p = Control->Parent(); p; p = p->Parent())
    if (p->Color() != tk::clDefault) return p->Color();
  return tk::clBtnFace;
}

void TControlSubClass::RepaintFlat() {
  HWND h = Control ? Control->Handle() : nullptr;
  if (!h || !IsWindowVisible(h)) return;
  Focused = GetFocus() == h;
  TControl* c = Control;
  painting_ = true;
  struct TDone {
    bool& flag;
    ~TDone() { flag = false; }
  } done{painting_};
  if (IsRichEdit(c)) {
    PaintRichEdit();
    return;
  }
  const bool edit = IsEditKind(c);
  TControlDC dc(h, edit);
  RECT client;
  if (edit) {
    GetWindowRect(h, &client);
    OffsetRect(&client, -client.left, -client.top);
  } else {
    GetClientRect(h, &client);
  }
  TCanvas canvas(dc.dc);
  canvas.Font = c->Font();
  Component->DeriveWorkingColors(canvas);
  if (dynamic_cast<tk::TComboBox*>(c)) PaintCombo(canvas, client);
  else if (edit) PaintEdit(canvas, client);
  else if (dynamic_cast<tk::TRadioButton*>(c)) PaintCheck(canvas, client, true);
  else if (dynamic_cast<tk::TCheckBox*>(c)) PaintCheck(canvas, client, false);
  else if (dynamic_cast<tk::TBitBtn*>(c)) PaintBitBtn(canvas, client);
  else if (dynamic_cast<tk::TButton*>(c)) PaintButton(canvas, client);
  else if (IsSpeedButton(c)) PaintSpeedButton(canvas, client);
  else if (dynamic_cast<tk::TPanel*>(c)) PaintPanel(canvas, client);
  else if (dynamic_cast<tk::TGroupBox*>(c)) PaintGroupBox(canvas, client);
}

void TControlSubClass::PaintCombo(TCanvas& c, RECT client) {
  const TWorkingColors& w = Component->Working();
  HDC dc = c.Handle();
  const tk::TColor ctl = ControlColor(), parent = ParentColor();
  tk::TColor arrow = Control->Enabled() ? tk::clBlack : tk::clWhite;
  tk::TColor border = ctl, button = tk::clBtnFace;
  if (Hot) {
    border = w.SelectBorderColor;
    button = w.SelectColor;
  } else if (Focused) {
    border = Lighten(dc, w.SelectBorderColor, 60);
    button = w.CheckFillColor;
  }
  const bool lit = Hot || Focused;
  RECT r = client;
  Frame(c, r, parent);
  InflateRect(&r, -1, -1);
  c.Pen.Color = parent;
  Line(c, {{r.left, r.top}, {r.right, r.top}});
  r.top += 1;
  r.bottom -= 1;
  if (lit) InflateRect(&r, 1, 1);
  Frame(c, r, ctl);
  r.bottom += 1;
  Frame(c, r, border);
  if (SendMessageW(Control->Handle(), CB_GETDROPPEDSTATE, 0, 0)) {
    border = w.SelectBorderColor;
    arrow = tk::clWhite;
    button = w.CheckFillHotColor;
  }
  InflateRect(&r, -1, -1);
  RECT b{r.right - (ThumbWidth() + 1), r.top, r.right, r.bottom};
  if (lit) b.left -= 1;
  FillWith(c, b, button);
  FillWith(c, {b.left - 5, r.top, b.left, r.bottom}, ctl);
  c.Pen.Color = border;
  Line(c, {{b.left, r.top}, {b.left, r.bottom}});
  c.Pen.Color = arrow;
  const int x = client.right - 10, t = client.top;
  Line(c, {{x, t + 10}, {x + 5, t + 10}});
  Line(c, {{x + 1, t + 11}, {x + 4, t + 11}});
  Line(c, {{x + 2, t + 12}, {x + 3, t + 12}});
}

void TControlSubClass::PaintEdit(TCanvas& c, RECT client) {
  auto* e = static_cast<tk::TEdit*>(Control);
  if (e->Ctl3D()) {
    Rebuilding = true;
    e->SetCtl3D(false);
  }
  const TWorkingColors& w = Component->Working();
  tk::TColor border;
  if (Hot || Focused) border = Lighten(c.Handle(), w.SelectBorderColor, SavedBorderSingle ? 60 : 80);
  else border = SavedBorderSingle ? Darken(ParentColor(), 60) : ParentColor();
  Frame(c, client, border);
}

void TControlSubClass::PaintRichEdit() {
  auto* e = static_cast<tk::TEdit*>(Control);
  tk::TWinControl* p = Control->Parent();
  if (!p || !p->Handle()) return;
  if (SavedBorderSingle && e->BorderSingle()) {
    Rebuilding = true;
    e->SetBorderSingle(false);
  }
  RECT r;
  GetWindowRect(Control->Handle(), &r);
  MapWindowPoints(nullptr, p->Handle(), reinterpret_cast<POINT*>(&r), 2);
  InflateRect(&r, 1, 1);
  TControlDC dc(p->Handle(), false);
  TCanvas c(dc.dc);
  Component->DeriveWorkingColors(c);
  tk::TColor border;
  if (Hot || Focused) border = Lighten(c.Handle(), Component->Working().SelectBorderColor, 60);
  else border = SavedBorderSingle ? Darken(ParentColor(), 60) : ParentColor();
  Frame(c, r, border);
}

void TControlSubClass::PaintCheck(TCanvas& c, RECT client, bool radio) {
  const TWorkingColors& w = Component->Working();
  auto* box = static_cast<tk::TCheckBox*>(Control);
  const tk::TCheckBoxState state = box->State();
  const bool pressed = SpaceDown || MouseDown;
  tk::TColor fill = tk::clWindow, border = tk::clBtnShadow;
  if (Hot) {
    fill = w.SelectColor;
    border = w.SelectBorderColor;
  }
  if (Focused) {
    fill = w.SelectColor;
    if (!radio) border = w.SelectBorderColor;
  }
  if (!radio && pressed) fill = w.CheckFillHotColor;
  if (!radio && state == tk::TCheckBoxState::cbGrayed) fill = tk::clSilver;
  const int thumb = ThumbWidth();
  RECT r = client;
  const int shrink = radio ? 4 : 3;
  r.top += shrink;
  r.bottom -= shrink;
  r.top += ((r.bottom - r.top) - thumb) / 2;
  r.bottom = r.top + (radio ? thumb - 1 : thumb);
  // The box stands on the side away from the caption.
  if (box->Alignment() == tk::TAlignment::taLeftJustify) r.left = r.right - thumb + 1;
  else r.right = r.left + thumb - 1;
  FillWith(c, r, ControlColor());
  InflateRect(&r, -2, -2);
  c.Brush.Style = tk::TBrushStyle::bsSolid;
  c.Brush.Color = fill;
  c.Pen.Color = border;
  if (radio) {
    c.Ellipse(r.left, r.top, r.right, r.bottom);
    if (state == tk::TCheckBoxState::cbChecked) {
      InflateRect(&r, -2, -2);
      tk::TColor dot = Control->Enabled() ? tk::clHighlight : w.DisabledColor;
      c.Brush.Color = dot;
      c.Pen.Color = dot;
      c.Ellipse(r.left, r.top, r.right, r.bottom);
    }
    return;
  }
  c.Rectangle(r.left, r.top, r.right, r.bottom);
  if (state == tk::TCheckBoxState::cbUnchecked) return;
  tk::TColor mark = tk::clHighlight;
  if (!Control->Enabled()) mark = w.DisabledColor;
  else if (pressed) mark = tk::clWindow;
  else if (state == tk::TCheckBoxState::cbGrayed) mark = tk::clGray;
  c.Pen.Color = mark;
  CheckGlyph(c, r.left, r.bottom);
}

// Face, frame and shade of a push button (plain or with a glyph).
void TControlSubClass::PaintButtonFace(TCanvas& c, RECT client) {
  const TWorkingColors& w = Component->Working();
  HDC dc = c.Handle();
  tk::TColor face = w.IconBackColor, border = tk::clBtnShadow;
  if (Hot || SpaceDown) {
    face = Lighten(dc, tk::clBtnFace, 60);
    border = Lighten(dc, w.SelectBorderColor, 60);
  } else if (Focused) {
    border = Lighten(dc, w.SelectBorderColor, 60);
  }
  FillWith(c, client, ParentColor());
  c.Brush.Color = face;
  c.Pen.Color = Lighten(dc, border, 30);
  c.RoundRect(client.left, client.top, client.right, client.bottom, 4, 4);
  if (!Control->Enabled()) return;
  c.Pen.Color = Darken(border, 50);
  const int l = client.left, t = client.top, r = client.right, b = client.bottom;
  if ((MouseDown && Hot) || SpaceDown) Line(c, {{l, b - 2}, {l, t + 1}, {l + 1, t}, {r - 1, t}});
  else Line(c, {{r - 1, t + 1}, {r - 1, b - 2}, {r - 2, b - 1}, {l, b - 1}});
}

void TControlSubClass::PaintButton(TCanvas& c, RECT client) {
  PaintButtonFace(c, client);
  auto* b = static_cast<tk::TButton*>(Control);
  const std::string text = b->Caption();
  RECT tr = client;
  tr.left = (client.right - client.left - CaptionSize(c, text).cx) / 2;
  Component->DrawItemText(c, text, DT_SINGLELINE | DT_LEFT, b->Font(), false, false, b->Default(), b->Enabled(),
                          false, tr, "");
}

void TControlSubClass::PaintBitBtn(TCanvas& c, RECT client) {
  PaintButtonFace(c, client);
  auto* b = static_cast<tk::TBitBtn*>(Control);
  const std::string text = b->Caption();
  SIZE g = b->GlyphSize(), t = CaptionSize(c, text);
  int spacing = text.empty() ? 0 : b->Spacing();
  RECT ir{}, tr{};
  tk::LayoutGlyph(b->Layout(), {client.right, client.bottom}, g, t, spacing, ir, tr);
  if (g.cx > 0) {
    HBITMAP cell = GlyphCell(b->Glyph(), g, 0);
    Component->DrawItemImage(c, ir, cell, false, false, false, b->Enabled(), Focused, Hot, true);
    DeleteObject(cell);
  }
  tr.top = 0;
  tr.bottom = client.bottom;
  Component->DrawItemText(c, text, DT_SINGLELINE | DT_LEFT, b->Font(), false, false, b->Default(), b->Enabled(),
                          false, tr, "");
}

void TControlSubClass::PaintSpeedButton(TCanvas& c, RECT client) {
  const TWorkingColors& w = Component->Working();
  auto* b = static_cast<tk::TSpeedButton*>(Control);
  HDC dc = c.Handle();
  const bool down = b->Down(), enabled = b->Enabled();
  tk::TColor fill = w.IconBackColor, border = tk::clBtnShadow;
  if (Hot) {
    fill = w.SelectColor;
    border = w.SelectBorderColor;
  }
  if (down) {
    fill = Hot ? w.CheckFillHotColor : w.CheckFillColor;
    border = w.SelectBorderColor;
  }
  if (!enabled) border = tk::clBtnShadow;
  if (b->Transparent() && (down || Hot)) {
    // A tint that keeps what shows through the button.
    const int bpp = GetDeviceCaps(dc, BITSPIXEL);
    HBITMAP tint = NewDib(client.right, client.bottom);
    {
      TSelected t(tint);
      TCanvas tc(t.dc);
      FillWith(tc, client, Lighten(dc, w.SelectColor, bpp <= 16 ? 40 : 20));
      BitBlt(dc, 0, 0, client.right, client.bottom, t.dc, 0, 0, SRCAND);
    }
    DeleteObject(tint);
  }
  if (!(b->Transparent() && b->Flat() && !down && !Hot)) {
    c.Brush.Style = b->Transparent() ? tk::TBrushStyle::bsClear : tk::TBrushStyle::bsSolid;
    c.Brush.Color = fill;
    c.Pen.Color = (b->Flat() && !b->Transparent() && !down && !Hot) ? fill : border;
    c.Rectangle(client.left, client.top, client.right, client.bottom);
    c.Brush.Style = tk::TBrushStyle::bsSolid;
  }
  if (enabled && !b->Flat()) {
    c.Pen.Color = Darken(border, 50);
    const int l = client.left, t = client.top, r = client.right, bt = client.bottom;
    if (MouseDown || down) Line(c, {{l, bt - 1}, {l, t}, {r, t}});
    else Line(c, {{r - 1, t}, {r - 1, bt - 1}, {l - 1, bt - 1}});
  }
  const std::string text = b->Caption();
  // The places the button's own face uses: a transparent face shows through, and a
  // caption drawn anywhere else would show twice.
  RECT ir{}, tr{};
  b->FacePlaces(c, client, b->Pressed(), ir, tr);
  const SIZE g{ir.right - ir.left, ir.bottom - ir.top};
  if (g.cx > 0) {
    const int n = b->NumGlyphs();
    int index = 0;
    if (!enabled && n >= 2) index = 1;
    if (MouseDown && n >= 3) index = 2;
    if (down && n >= 4) index = 3;
    HBITMAP cell = GlyphCell(b->Glyph(), g, index);
    Component->DrawItemImage(c, ir, cell, false, false, down || MouseDown, enabled, Focused, Hot, true);
    DeleteObject(cell);
  }
  Component->DrawItemText(c, text, DT_SINGLELINE | DT_LEFT, b->Font(), false, false, false, enabled, false, tr, "");
}

void TControlSubClass::PaintGroupBox(TCanvas& c, RECT client) {
  if (LastMessage != WM_PAINT) return;
  HDC dc = c.Handle();
  const std::string text = Control->Caption();
  const int h = c.TextHeight(text.empty() ? std::string(" ") : text);
  const int tw = text.empty() ? 0 : c.TextWidth(text);
  const tk::TColor ctl = ControlColor();
  const tk::TColor dark = Darken(ctl, 60), light = Lighten(dc, ctl, 60);
  // The toolkit's etched frame runs from half the caption's height down.
  RECT r = client;
  InflateRect(&r, -1, -1);
  r.top += h / 2 - 1;
  Frame(c, r, ctl);
  c.Pen.Color = ctl;
  Line(c, {{client.left + 1, client.top + h / 2 - 1}, {client.left + 1, client.bottom}});
  RECT f = client;
  f.top += h / 2 - 1;
  Frame3D(c, f, light, dark, 1);
  FillWith(c, {client.left, client.top, client.right, client.top + h / 2 + 2}, ParentColor());
  RECT cap{client.left + 9, client.top, client.left + 9 + tw, client.top + h};
  if (tw > 0) {
    FillWith(c, {cap.left, cap.top + h / 2, cap.right, cap.bottom}, ctl);
    c.Brush.Style = tk::TBrushStyle::bsClear;
    c.Font.Color = Control->Enabled() ? Control->Font().Color : tk::clGrayText;
    c.DrawText(text, cap, DT_SINGLELINE | DT_LEFT | DT_NOPREFIX);
    c.Brush.Style = tk::TBrushStyle::bsSolid;
  }
  const int y = client.top + h / 2 + 1;
  c.Pen.Color = light;
  if (tw > 0) {
    Line(c, {{client.left, y}, {cap.left, y}});
    Line(c, {{cap.right, y}, {client.right - 1, y}});
  } else {
    Line(c, {{client.left, y}, {client.right - 1, y}});
  }
}

void TControlSubClass::PaintPanel(TCanvas& c, RECT client) {
  if (LastMessage != WM_PAINT) return;
  auto* p = static_cast<tk::TPanel*>(Control);
  const tk::TColor ctl = ControlColor();
  const tk::TColor dark = Darken(ctl, 60), light = Lighten(c.Handle(), ctl, 60);
  auto bevel = [&](RECT& r, tk::TBevelCut cut) {
    if (cut == tk::TBevelCut::bvLowered) Frame3D(c, r, dark, light, p->BevelWidth);
    else if (cut == tk::TBevelCut::bvRaised) Frame3D(c, r, light, dark, p->BevelWidth);
  };
  RECT r = client;
  bevel(r, p->BevelOuter);
  InflateRect(&r, -p->BorderWidth, -p->BorderWidth);
  bevel(r, p->BevelInner);
}

}  // namespace g32
