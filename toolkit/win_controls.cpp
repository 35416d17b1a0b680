#include "toolkit/win_controls.h"

#include <algorithm>
#include <unordered_map>
#include <utility>

#include "toolkit/strings.h"
#include "toolkit/win_form.h"

namespace tk {

LRESULT CALLBACK OwnClassProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

namespace {
// Each window the toolkit made or took over: its control object (nullptr once let go
// while a later procedure still calls ours) and, for a window of a system class, the
// procedure it had before. Kept in the process and hooked in through the window's own
// procedure slot, rather than as window properties (as system subclassing keeps its
// chain): a property read is a round trip to the window system on every message, and a
// list of a thousand rows spent most of its filling there.
struct TAttachedWindow {
  TControl* Control = nullptr;
  WNDPROC Original = nullptr;
};
std::unordered_map<HWND, TAttachedWindow>& AttachedWindows() {
  static std::unordered_map<HWND, TAttachedWindow> windows;
  return windows;
}

std::wstring WindowText(HWND h) {
  int n = GetWindowTextLengthW(h);
  std::wstring w(static_cast<size_t>(n) + 1, L'\0');
  GetWindowTextW(h, w.data(), n + 1);
  w.resize(static_cast<size_t>(n));
  return w;
}

void RegisterOwnClass(const TCreateParams& p) {
  WNDCLASSEXW wc{};
  if (GetClassInfoExW(Application.Instance(), p.ClassName.c_str(), &wc)) return;
  wc = WNDCLASSEXW{};
  wc.cbSize = sizeof(wc);
  wc.style = p.ClassStyle;
  wc.lpfnWndProc = OwnClassProc;
  wc.hInstance = Application.Instance();
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.lpszClassName = p.ClassName.c_str();
  RegisterClassExW(&wc);
}
}  // namespace

thread_local TControl* g_creating = nullptr;

LRESULT CALLBACK ControlSubclassProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  const auto it = AttachedWindows().find(hwnd);
  if (it == AttachedWindows().end()) return DefWindowProcW(hwnd, msg, wp, lp);
  const TAttachedWindow w = it->second;
  const LRESULT r = w.Control ? w.Control->Dispatch(msg, wp, lp) : CallWindowProcW(w.Original, hwnd, msg, wp, lp);
  // The window is gone after this one: a handle the system hands out again must find nothing.
  if (msg == WM_NCDESTROY) AttachedWindows().erase(hwnd);
  return r;
}

LRESULT CALLBACK OwnClassProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  TControl* c = TControl::FromHandle(hwnd);
  if (!c && g_creating) {
    c = g_creating;
    g_creating = nullptr;
    c->Attach(hwnd, true);
  }
  if (!c) return DefWindowProcW(hwnd, msg, wp, lp);
  return c->Dispatch(msg, wp, lp);
}

TControl::TControl() = default;

TControl::~TControl() {
  if (hookRelease_) std::exchange(hookRelease_, nullptr)();
  // Forms and containers must not keep a pointer to a control that is gone.
  for (TForm* f : Application.Forms()) f->ControlGone(this);
  if (parent_) parent_->RemoveControl(*this);
  if (hwnd_) {
    HWND h = hwnd_;
    Detach();
    DestroyWindow(h);
  }
  if (hfont_) DeleteObject(hfont_);
  if (brush_) DeleteObject(brush_);
}

TControl* TControl::FromHandle(HWND hwnd) {
  if (!hwnd) return nullptr;
  const auto it = AttachedWindows().find(hwnd);
  return it != AttachedWindows().end() ? it->second.Control : nullptr;
}

TForm* TControl::Form() const {
  const TControl* c = this;
  while (c) {
    if (auto* f = dynamic_cast<const TForm*>(c)) return const_cast<TForm*>(f);
    c = c->parent_;
  }
  return nullptr;
}

void TControl::Attach(HWND hwnd, bool ownClass) {
  hwnd_ = hwnd;
  ownClass_ = ownClass;
  TAttachedWindow& w = AttachedWindows()[hwnd];
  w.Control = this;
  // A window let go earlier may still call ours; then it is hooked in already.
  if (!ownClass && !w.Original)
    w.Original = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ControlSubclassProc)));
}

void TControl::Detach() {
  if (!hwnd_) return;
  if (const auto it = AttachedWindows().find(hwnd_); it != AttachedWindows().end()) {
    // Ours is taken out only while it is the window's procedure; behind a later one it
    // stays and passes every message on to the original.
    const auto ours = reinterpret_cast<LONG_PTR>(ControlSubclassProc);
    if (ownClass_ || !it->second.Original ||
        (GetWindowLongPtrW(hwnd_, GWLP_WNDPROC) == ours &&
         SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(it->second.Original)) == ours))
      AttachedWindows().erase(it);
    else
      it->second.Control = nullptr;
  }
  hwnd_ = nullptr;
  tracking_ = false;
}

int TControl::Dpi() const { return ScreenPixelsPerInch(); }

TBounds TControl::Bounds() const {
  if (!hwnd_) return bounds_;
  RECT r;
  GetWindowRect(hwnd_, &r);
  HWND parent = GetParent(hwnd_);
  if (parent && (GetWindowLongW(hwnd_, GWL_STYLE) & WS_CHILD)) MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
  int d = Dpi();
  return {ScaleFromDpi(r.left, d), ScaleFromDpi(r.top, d), ScaleFromDpi(r.right - r.left, d),
          ScaleFromDpi(r.bottom - r.top, d)};
}
int TControl::Left() const { return Bounds().Left; }
int TControl::Top() const { return Bounds().Top; }
int TControl::Width() const { return Bounds().Width; }
int TControl::Height() const { return Bounds().Height; }

void TControl::SetBounds(int l, int t, int w, int h) {
  bounds_ = {l, t, w, h};
  if (hwnd_) {
    int d = Dpi();
    SetWindowPos(hwnd_, nullptr, ScaleToDpi(l, d), ScaleToDpi(t, d), ScaleToDpi(w, d), ScaleToDpi(h, d),
                 SWP_NOZORDER | SWP_NOACTIVATE);
  }
}
void TControl::SetLeft(int v) { auto b = Bounds(); SetBounds(v, b.Top, b.Width, b.Height); }
void TControl::SetWidth(int v) { auto b = Bounds(); SetBounds(b.Left, b.Top, v, b.Height); }
void TControl::SetHeight(int v) { auto b = Bounds(); SetBounds(b.Left, b.Top, b.Width, v); }

int TControl::ClientWidth() const {
  if (!hwnd_) return bounds_.Width;
  RECT r;
  GetClientRect(hwnd_, &r);
  return ScaleFromDpi(r.right, Dpi());
}
int TControl::ClientHeight() const {
  if (!hwnd_) return bounds_.Height;
  RECT r;
  GetClientRect(hwnd_, &r);
  return ScaleFromDpi(r.bottom, Dpi());
}

void TControl::SetAlign(TAlign align) {
  align_ = align;
  if (parent_) parent_->Realign();
}

std::string TControl::Caption() const { return hwnd_ ? Narrow(WindowText(hwnd_)) : caption_; }
void TControl::SetCaption(const std::string& text) {
  caption_ = text;
  if (hwnd_) SetWindowTextW(hwnd_, Widen(text).c_str());
}

void TControl::SetVisible(bool v) {
  visible_ = v;
  if (hwnd_) ShowWindow(hwnd_, v ? SW_SHOWNA : SW_HIDE);
}
void TControl::SetEnabled(bool e) {
  enabled_ = e;
  if (!hwnd_) return;
  HWND focus = GetFocus();
  const bool hadFocus = focus && (focus == hwnd_ || IsChild(hwnd_, focus));
  EnableWindow(hwnd_, e);
  // A disabled window loses the focus to nobody, and then neither Tab nor Esc reach
  // the form: the next control that can take it gets it, as in a dialog.
  if (e || !hadFocus) return;
  TForm* f = Form();
  if (!f || f == this || !f->Handle()) return;
  if (HWND next = NextTabStop(f->Handle(), hwnd_, false); next && next != hwnd_) ::SetFocus(next);
  else ::SetFocus(f->Handle());
}
void TControl::SetStyleBit(DWORD bit, bool on) {
  if (!hwnd_) return;
  LONG_PTR s = GetWindowLongPtrW(hwnd_, GWL_STYLE);
  SetWindowLongPtrW(hwnd_, GWL_STYLE, on ? (s | bit) : (s & ~static_cast<LONG_PTR>(bit)));
}

void TControl::SetColor(TColor color) {
  color_ = color;
  Invalidate();
}

const TFontSpec& TControl::Font() const {
  if (ownFont_ || !parent_) return font_;
  return parent_->Font();
}
void TControl::SetFont(const TFontSpec& f) {
  font_ = f;
  ownFont_ = true;
  if (hfont_) { DeleteObject(hfont_); hfont_ = nullptr; }
  ApplyFont();
}
HFONT TControl::FontHandle() const {
  if (!ownFont_ && parent_) return parent_->FontHandle();
  if (!hfont_) hfont_ = CreateFontFromSpec(font_);
  return hfont_;
}
void TControl::ApplyFont() {
  if (hwnd_) SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(FontHandle()), TRUE);
}

TColor TControl::EffectiveColor() const {
  if (color_ != clDefault) return color_;
  if (parent_) return parent_->EffectiveColor();
  return clBtnFace;
}

HBRUSH TControl::CtlColor(HDC dc, bool isEdit) {
  TColor c = color_ != clDefault ? color_ : (isEdit ? clDefault : EffectiveColor());
  const TFontSpec& f = Font();
  if (f.Color != clWindowText || c != clDefault) SetTextColor(dc, ColorToRGB(f.Color));
  if (c == clDefault) return nullptr;
  if (brushColor_ != c) {
    if (brush_) DeleteObject(brush_);
    brush_ = CreateSolidBrush(ColorToRGB(c));
    brushColor_ = c;
  }
  SetBkColor(dc, ColorToRGB(c));
  return brush_;
}

bool TControl::CanFocus() const { return hwnd_ && IsWindowVisible(hwnd_) && IsWindowEnabled(hwnd_); }
void TControl::SetFocus() {
  if (TForm* f = Form()) f->SetActiveControl(this);
  if (hwnd_) ::SetFocus(hwnd_);
}
bool TControl::Focused() const { return hwnd_ && GetFocus() == hwnd_; }
void TControl::Invalidate() { if (hwnd_) InvalidateRect(hwnd_, nullptr, TRUE); }
void TControl::Update() { if (hwnd_) UpdateWindow(hwnd_); }
void TControl::BringToFront() {
  if (hwnd_) SetWindowPos(hwnd_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TControl::Click() {
  if (OnClick) OnClick();
}

void TControl::ApplyDecl(const TControlDecl& d, TWinControl* parent) {
  name_ = d.Name ? d.Name : "";
  caption_ = d.Caption;
  bounds_ = d.Bounds;
  style_ = d.Style;
  parent_ = d.Parent ? d.Parent : parent;
  visible_ = !(d.Style & sHidden);
  enabled_ = !(d.Style & sDisabled);
  if (d.Style & sNoTabStop) tabStop_ = false;
  if (d.Style & sTabStop) tabStop_ = true;
  if (d.OnClick) OnClick = d.OnClick;
  ApplyKindDecl(d);
}

void TControl::CreateHandle() {
  if (hwnd_) return;
  TCreateParams p;
  CreateParams(p);
  if (visible_) p.Style |= WS_VISIBLE;
  if (!enabled_) p.Style |= WS_DISABLED;
  if (tabStop_) p.Style |= WS_TABSTOP; else p.Style &= ~WS_TABSTOP;
  HWND parent = parent_ ? parent_->Handle() : nullptr;
  TForm* form = Form();
  if (!id_ && form && form != this) id_ = form->NextControlId();
  int d = Dpi();
  if (p.OwnClass) RegisterOwnClass(p);
  g_creating = p.OwnClass ? this : nullptr;
  HWND h = CreateWindowExW(p.ExStyle, p.ClassName.c_str(), Widen(caption_).c_str(), p.Style,
                           ScaleToDpi(bounds_.Left, d), ScaleToDpi(bounds_.Top, d), ScaleToDpi(bounds_.Width, d),
                           ScaleToDpi(bounds_.Height, d), parent,
                           (p.Style & WS_CHILD) ? reinterpret_cast<HMENU>(static_cast<INT_PTR>(id_)) : nullptr,
                           Application.Instance(), nullptr);
  g_creating = nullptr;
  if (!h) return;
  if (!hwnd_) Attach(h, p.OwnClass);
  if (p.Style & WS_CHILD) SetWindowPos(h, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  ApplyFont();
  AfterCreate();
}

void TControl::DestroyHandle() {
  if (!hwnd_) return;
  BeforeDestroy();
  caption_ = Narrow(WindowText(hwnd_));
  bounds_ = Bounds();
  HWND h = hwnd_;
  Detach();
  DestroyWindow(h);
}

bool TControl::HandleParentMessage(UINT, WPARAM, LPARAM, LRESULT*) { return false; }

bool TControl::DoKeyDown(WORD& key, TShiftState shift) {
  if (OnKeyDown) OnKeyDown(key, shift);
  return key == 0;
}
bool TControl::DoKeyPress(wchar_t& key) {
  if (OnKeyPress) OnKeyPress(key);
  return key == 0;
}
void TControl::DoExit() {
  Perform(CM_EXIT);
  if (OnExit) OnExit();
}

LRESULT TControl::DefaultProc(UINT msg, WPARAM wp, LPARAM lp) {
  if (!ownClass_)
    if (const auto it = AttachedWindows().find(hwnd_); it != AttachedWindows().end() && it->second.Original)
      return CallWindowProcW(it->second.Original, hwnd_, msg, wp, lp);
  return DefWindowProcW(hwnd_, msg, wp, lp);
}

LRESULT TControl::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_SETFOCUS:
      if (TForm* f = Form(); f && f != this) f->FocusChanged(this);
      break;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: {
      WORD k = static_cast<WORD>(wp);
      if (DoKeyDown(k, KeyboardShiftState())) return 0;
      wp = k;
      break;
    }
    case WM_KEYUP: {
      WORD k = static_cast<WORD>(wp);
      if (OnKeyUp) OnKeyUp(k, KeyboardShiftState());
      if (!k) return 0;
      break;
    }
    case WM_CHAR: {
      wchar_t c = static_cast<wchar_t>(wp);
      if (DoKeyPress(c)) return 0;
      wp = c;
      break;
    }
    case WM_LBUTTONDOWN: case WM_RBUTTONDOWN: case WM_MBUTTONDOWN:
      if (OnMouseDown)
        OnMouseDown(msg == WM_LBUTTONDOWN ? TMouseButton::mbLeft : msg == WM_RBUTTONDOWN ? TMouseButton::mbRight : TMouseButton::mbMiddle,
                    KeyboardShiftState(), ScaleFromDpi(static_cast<short>(LOWORD(lp)), Dpi()), ScaleFromDpi(static_cast<short>(HIWORD(lp)), Dpi()));
      break;
    case WM_LBUTTONUP: case WM_RBUTTONUP: case WM_MBUTTONUP:
      if (OnMouseUp)
        OnMouseUp(msg == WM_LBUTTONUP ? TMouseButton::mbLeft : msg == WM_RBUTTONUP ? TMouseButton::mbRight : TMouseButton::mbMiddle,
                  KeyboardShiftState(), ScaleFromDpi(static_cast<short>(LOWORD(lp)), Dpi()), ScaleFromDpi(static_cast<short>(HIWORD(lp)), Dpi()));
      break;
    case WM_MOUSEMOVE:
      if (OnMouseMove) OnMouseMove(KeyboardShiftState(), ScaleFromDpi(static_cast<short>(LOWORD(lp)), Dpi()), ScaleFromDpi(static_cast<short>(HIWORD(lp)), Dpi()));
      break;
    case WM_SETCURSOR:
      if (cursor_ && LOWORD(lp) == HTCLIENT) {
        ::SetCursor(LoadCursorW(nullptr, cursor_));
        return TRUE;
      }
      break;
    case WM_NCDESTROY: {
      LRESULT r = DefaultProc(msg, wp, lp);
      Detach();
      return r;
    }
    default: break;
  }
  return DefaultProc(msg, wp, lp);
}

// ---------------- containers

TWinControl::TWinControl() = default;
TWinControl::~TWinControl() {
  for (TControl* c : children_) c->SetParent(nullptr);
}

void TWinControl::SetColor(TColor color) {
  TControl::SetColor(color);
  for (TControl* c : children_) c->Perform(CM_PARENTCOLORCHANGED);
}

void TWinControl::Declare(std::initializer_list<TControlDecl> table) {
  for (const TControlDecl& d : table) {
    d.Control.ApplyDecl(d, this);
    TWinControl* p = d.Control.Parent();
    if (std::find(p->children_.begin(), p->children_.end(), &d.Control) == p->children_.end())
      p->children_.push_back(&d.Control);
    if (p->HandleAllocated()) d.Control.CreateHandle();
  }
}

void TWinControl::InsertControl(TControl& c) {
  c.SetParent(this);
  if (std::find(children_.begin(), children_.end(), &c) == children_.end()) children_.push_back(&c);
  if (HandleAllocated()) c.CreateHandle();
}

void TWinControl::RemoveControl(TControl& c) {
  children_.erase(std::remove(children_.begin(), children_.end(), &c), children_.end());
}

TControl* TWinControl::FindControl(const std::string& name) const {
  for (TControl* c : children_) {
    if (c->Name() == name) return c;
    if (auto* w = dynamic_cast<TWinControl*>(c))
      if (TControl* f = w->FindControl(name)) return f;
  }
  return nullptr;
}

void TWinControl::CreateChildren() {
  for (TControl* c : children_) c->CreateHandle();
  Realign();
}

void TWinControl::CreateHandle() {
  if (HandleAllocated()) return;
  TControl::CreateHandle();
  if (HandleAllocated()) CreateChildren();
}

void TWinControl::DestroyHandle() {
  for (TControl* c : children_) c->DestroyHandle();
  TControl::DestroyHandle();
}

void TWinControl::Realign() {
  if (!HandleAllocated()) return;
  int l = 0, t = 0, r = ClientWidth(), b = ClientHeight();
  auto pass = [&](TAlign a) {
    for (TControl* c : children_) {
      if (c->Align() != a || !c->Visible()) continue;
      TBounds cb = c->Bounds();
      switch (a) {
        case TAlign::alTop: c->SetBounds(l, t, r - l, cb.Height); t += cb.Height; break;
        case TAlign::alBottom: b -= cb.Height; c->SetBounds(l, b, r - l, cb.Height); break;
        case TAlign::alLeft: c->SetBounds(l, t, cb.Width, b - t); l += cb.Width; break;
        case TAlign::alRight: r -= cb.Width; c->SetBounds(r, t, cb.Width, b - t); break;
        case TAlign::alClient: c->SetBounds(l, t, r - l, b - t); break;
        default: break;
      }
    }
  };
  for (TAlign a : {TAlign::alTop, TAlign::alBottom, TAlign::alLeft, TAlign::alRight, TAlign::alClient}) pass(a);
}

bool TWinControl::ReflectToChild(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
  HWND child = nullptr;
  switch (msg) {
    case WM_COMMAND: child = reinterpret_cast<HWND>(lp); break;
    case WM_NOTIFY: child = reinterpret_cast<NMHDR*>(lp)->hwndFrom; break;
    case WM_CTLCOLORSTATIC: case WM_CTLCOLORBTN: case WM_CTLCOLOREDIT: case WM_CTLCOLORLISTBOX:
    case WM_HSCROLL: case WM_VSCROLL:
      child = reinterpret_cast<HWND>(lp);
      break;
    case WM_DRAWITEM: child = reinterpret_cast<DRAWITEMSTRUCT*>(lp)->hwndItem; break;
    case WM_MEASUREITEM: {
      TForm* f = Form();
      TControl* c = f ? f->ControlById(static_cast<int>(wp)) : nullptr;
      return c && c->HandleParentMessage(msg, wp, lp, result);
    }
    default: return false;
  }
  TControl* c = FromHandle(child);
  if (!c && child) c = FromHandle(GetParent(child));  // the edit inside a combo box
  if (!c) return false;
  if (msg == WM_CTLCOLORSTATIC || msg == WM_CTLCOLORBTN || msg == WM_CTLCOLOREDIT || msg == WM_CTLCOLORLISTBOX) {
    if (c->HandleParentMessage(msg, wp, lp, result)) return true;
    HBRUSH b = c->CtlColor(reinterpret_cast<HDC>(wp), msg == WM_CTLCOLOREDIT || msg == WM_CTLCOLORLISTBOX);
    if (!b) return false;
    *result = reinterpret_cast<LRESULT>(b);
    return true;
  }
  return c->HandleParentMessage(msg, wp, lp, result);
}

LRESULT TWinControl::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  LRESULT r = 0;
  if (ReflectToChild(msg, wp, lp, &r)) return r;
  if (msg == WM_SIZE) {
    Realign();
    if (OnResize) OnResize();
  }
  return TControl::WndProc(msg, wp, lp);
}

// ---------------- custom controls

TCustomControl::TCustomControl(std::wstring className) : className_(std::move(className)) {}

void TCustomControl::CreateParams(TCreateParams& p) {
  p.ClassName = className_;
  p.OwnClass = true;
  p.Style |= WS_CLIPCHILDREN;
  p.ExStyle |= WS_EX_CONTROLPARENT;
  if (style_ & ccBorder) p.ExStyle |= WS_EX_CLIENTEDGE;
}

RECT TCustomControl::ClientRect() const {
  RECT r{0, 0, 0, 0};
  if (Handle()) GetClientRect(Handle(), &r);
  return r;
}

void TCustomControl::Paint(TCanvas& canvas) {
  canvas.Brush.Color = EffectiveColor();
  canvas.FillRect(ClientRect());
}

LRESULT TCustomControl::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_ERASEBKGND:
      return 1;  // Paint covers the client area
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(Handle(), &ps);
      {
        TCanvas canvas(dc);
        canvas.Font = Font();
        if (!opaque_) {
          canvas.Brush.Color = EffectiveColor();
          canvas.FillRect(ClientRect());
        }
        Paint(canvas);
      }
      EndPaint(Handle(), &ps);
      return 0;
    }
    case WM_LBUTTONUP:
      TWinControl::WndProc(msg, wp, lp);
      Click();
      return 0;
    case WM_LBUTTONDBLCLK:
      if (OnDblClick) OnDblClick();
      break;
    default: break;
  }
  return TWinControl::WndProc(msg, wp, lp);
}

void TPaintBox::Paint(TCanvas& canvas) {
  if (OnPaint) OnPaint(canvas);
}

TPanel::TPanel() : TCustomControl(L"TPanel") {}

void TPanel::SetBevels(TBevelCut outer, TBevelCut inner, int bevelWidth, int borderWidth) {
  BevelOuter = outer;
  BevelInner = inner;
  BevelWidth = bevelWidth;
  BorderWidth = borderWidth;
  Invalidate();
}

namespace {
void Frame3D(TCanvas& c, RECT& r, TColor topLeft, TColor bottomRight, int width) {
  for (int i = 0; i < width; ++i) {
    c.Pen.Color = topLeft;
    c.MoveTo(r.left, r.bottom - 1);
    c.LineTo(r.left, r.top);
    c.LineTo(r.right - 1, r.top);
    c.Pen.Color = bottomRight;
    c.LineTo(r.right - 1, r.bottom - 1);
    c.LineTo(r.left - 1, r.bottom - 1);
    InflateRect(&r, -1, -1);
  }
}
void Bevel(TCanvas& c, RECT& r, TBevelCut cut, int width) {
  if (cut == TBevelCut::bvNone) return;
  bool raised = cut == TBevelCut::bvRaised;
  Frame3D(c, r, raised ? clBtnHighlight : clBtnShadow, raised ? clBtnShadow : clBtnHighlight, width);
}
}  // namespace

void TPanel::Paint(TCanvas& canvas) {
  RECT r = ClientRect();
  Bevel(canvas, r, BevelOuter, BevelWidth);
  InflateRect(&r, -BorderWidth, -BorderWidth);
  Bevel(canvas, r, BevelInner, BevelWidth);
  std::string text = Caption();
  if (!text.empty()) {
    canvas.Brush.Style = TBrushStyle::bsClear;
    UINT fmt = DT_SINGLELINE | DT_VCENTER |
               (Alignment == TAlignment::taCenter ? DT_CENTER : Alignment == TAlignment::taRightJustify ? DT_RIGHT : DT_LEFT);
    canvas.DrawText(text, r, fmt);
  }
}

TBevel::TBevel() : TCustomControl(L"TBevel") {}

void TBevel::Paint(TCanvas& c) {
  RECT r = ClientRect();
  bool raised = (style_ & bvRaisedStyle) != 0;
  TColor a = raised ? clBtnHighlight : clBtnShadow, b = raised ? clBtnShadow : clBtnHighlight;
  auto line = [&](int x1, int y1, int x2, int y2, TColor col) {
    c.Pen.Color = col;
    c.MoveTo(x1, y1);
    c.LineTo(x2, y2);
  };
  switch (Shape) {
    case TBevelShape::bsBox: Frame3D(c, r, a, b, 1); break;
    case TBevelShape::bsFrame: {
      RECT o = r; o.right -= 1; o.bottom -= 1;
      c.Brush.Color = a; c.FrameRect(o);
      OffsetRect(&o, 1, 1);
      c.Brush.Color = b; c.FrameRect(o);
      break;
    }
    case TBevelShape::bsTopLine: line(0, 0, r.right, 0, a); line(0, 1, r.right, 1, b); break;
    case TBevelShape::bsBottomLine: line(0, r.bottom - 2, r.right, r.bottom - 2, a); line(0, r.bottom - 1, r.right, r.bottom - 1, b); break;
    case TBevelShape::bsLeftLine: line(0, 0, 0, r.bottom, a); line(1, 0, 1, r.bottom, b); break;
    case TBevelShape::bsRightLine: line(r.right - 2, 0, r.right - 2, r.bottom, a); line(r.right - 1, 0, r.right - 1, r.bottom, b); break;
    case TBevelShape::bsSpacer: break;
  }
}

TImage::TImage() : TCustomControl(L"TImage") {}
TImage::~TImage() { FreePicture(); }
void TImage::FreePicture() {
  if (own_) {
    if (icon_) DestroyIcon(icon_);
    if (bitmap_) DeleteObject(bitmap_);
  }
  icon_ = nullptr;
  bitmap_ = nullptr;
  own_ = false;
}
void TImage::SetIcon(HICON icon, bool own) { FreePicture(); icon_ = icon; own_ = own; Invalidate(); }
void TImage::SetBitmap(HBITMAP bmp, bool own) { FreePicture(); bitmap_ = bmp; own_ = own; Invalidate(); }

void TImage::Paint(TCanvas& c) {
  RECT r = ClientRect();
  int w = 0, h = 0;
  if (icon_) {
    ICONINFO ii{};
    if (GetIconInfo(icon_, &ii)) {
      BITMAP bm{};
      GetObjectW(ii.hbmMask, sizeof(bm), &bm);
      w = bm.bmWidth;
      h = ii.hbmColor ? bm.bmHeight : bm.bmHeight / 2;
      if (ii.hbmColor) DeleteObject(ii.hbmColor);
      if (ii.hbmMask) DeleteObject(ii.hbmMask);
    }
  } else if (bitmap_) {
    BITMAP bm{};
    GetObjectW(bitmap_, sizeof(bm), &bm);
    w = bm.bmWidth;
    h = bm.bmHeight;
  } else {
    return;
  }
  int x = 0, y = 0;
  if (style_ & imgStretch) { w = r.right; h = r.bottom; }
  else if (style_ & imgCenter) { x = (r.right - w) / 2; y = (r.bottom - h) / 2; }
  if (icon_) {
    DrawIconEx(c.Handle(), x, y, icon_, w, h, 0, nullptr, DI_NORMAL);
  } else {
    HDC mem = CreateCompatibleDC(c.Handle());
    HGDIOBJ old = SelectObject(mem, bitmap_);
    BITMAP bm{};
    GetObjectW(bitmap_, sizeof(bm), &bm);
    StretchBlt(c.Handle(), x, y, w, h, mem, 0, 0, bm.bmWidth, bm.bmHeight, SRCCOPY);
    SelectObject(mem, old);
    DeleteDC(mem);
  }
}

// ---------------- label

void TLabel::CreateParams(TCreateParams& p) {
  p.ClassName = WC_STATICW;
  p.Style |= SS_NOTIFY;
  if (style_ & lblCenter) p.Style |= SS_CENTER;
  else if (style_ & lblRight) p.Style |= SS_RIGHT;
  else if (!(style_ & lblWordWrap)) p.Style |= SS_LEFTNOWORDWRAP;
  if (style_ & lblSunken) p.Style |= SS_SUNKEN;
  if (style_ & lblNoPrefix) p.Style |= SS_NOPREFIX;
}
void TLabel::AfterCreate() { if (AutoSize()) AdjustSize(); }
void TLabel::SetCaption(const std::string& text) {
  TControl::SetCaption(text);
  if (AutoSize()) AdjustSize();
}
void TLabel::AdjustSize() {
  if (!Handle()) return;
  HDC dc = GetDC(Handle());
  HGDIOBJ old = SelectObject(dc, FontHandle());
  std::wstring w = Widen(caption_.empty() ? std::string(" ") : caption_);
  RECT r{0, 0, (style_ & lblWordWrap) ? ScaleToDpi(bounds_.Width, Dpi()) : 0, 0};
  UINT fmt = DT_CALCRECT | ((style_ & lblWordWrap) ? DT_WORDBREAK : DT_SINGLELINE) | ((style_ & lblNoPrefix) ? DT_NOPREFIX : 0);
  DrawTextW(dc, w.c_str(), static_cast<int>(w.size()), &r, fmt);
  SelectObject(dc, old);
  ReleaseDC(Handle(), dc);
  TBounds b = Bounds();
  SetBounds(b.Left, b.Top, ScaleFromDpi(r.right, Dpi()), ScaleFromDpi(r.bottom, Dpi()));
}
void TLabel::SetFontColor(TColor color) {
  TFontSpec f = Font();
  f.Color = color;
  SetFont(f);
  Invalidate();
}
bool TLabel::HandleParentMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
  if (msg == WM_COMMAND && HIWORD(wp) == STN_CLICKED) { Click(); *result = 0; return true; }
  if (msg == WM_COMMAND && HIWORD(wp) == STN_DBLCLK) { if (OnDblClick) OnDblClick(); return true; }
  return TControl::HandleParentMessage(msg, wp, lp, result);
}

// ---------------- buttons

TButton::TButton() { tabStop_ = true; }
void TButton::CreateParams(TCreateParams& p) {
  p.ClassName = WC_BUTTONW;
  p.Style |= (style_ & btnDefault) ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
}
void TButton::Click() {
  if (ModalResult != 0)
    if (TForm* f = Form()) f->SetModalResult(ModalResult);
  TControl::Click();
}
bool TButton::HandleParentMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
  if (msg == WM_COMMAND && HIWORD(wp) == BN_CLICKED) { Click(); *result = 0; return true; }
  return TControl::HandleParentMessage(msg, wp, lp, result);
}

TCheckBox::TCheckBox() { tabStop_ = true; }
void TCheckBox::CreateParams(TCreateParams& p) {
  p.ClassName = WC_BUTTONW;
  p.Style |= (style_ & chkAllowGrayed) ? BS_AUTO3STATE : BS_AUTOCHECKBOX;
  if (style_ & chkLeftText) p.Style |= BS_LEFTTEXT;
}
void TCheckBox::AfterCreate() {
  if (style_ & chkChecked) { checked_ = true; style_ &= ~chkChecked; } SendMessageW(Handle(), BM_SETCHECK, checked_ ? BST_CHECKED : BST_UNCHECKED, 0); }
void TCheckBox::BeforeDestroy() { checked_ = Checked(); }
bool TCheckBox::Checked() const {
  return Handle() ? SendMessageW(Handle(), BM_GETCHECK, 0, 0) == BST_CHECKED : checked_;
}
void TCheckBox::SetChecked(bool on) {
  if (Checked() == on) return;
  checked_ = on;
  if (Handle()) SendMessageW(Handle(), BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
  Click();
}
bool TCheckBox::HandleParentMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
  if (msg == WM_COMMAND && HIWORD(wp) == BN_CLICKED) {
    checked_ = Checked();
    Click();
    *result = 0;
    return true;
  }
  return TControl::HandleParentMessage(msg, wp, lp, result);
}

void TRadioButton::CreateParams(TCreateParams& p) {
  p.ClassName = WC_BUTTONW;
  p.Style |= BS_AUTORADIOBUTTON;
  if (style_ & chkLeftText) p.Style |= BS_LEFTTEXT;
}
void TRadioButton::SetChecked(bool on) {
  if (Checked() == on) return;
  checked_ = on;
  if (Handle()) SendMessageW(Handle(), BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
  if (!on) return;
  if (Parent()) {
    for (TControl* c : Parent()->Controls()) {
      auto* r = dynamic_cast<TRadioButton*>(c);
      if (r && r != this && r->Checked()) {
        r->checked_ = false;
        if (r->Handle()) SendMessageW(r->Handle(), BM_SETCHECK, BST_UNCHECKED, 0);
      }
    }
  }
  Click();
}
bool TRadioButton::HandleParentMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
  if (msg == WM_COMMAND && HIWORD(wp) == BN_CLICKED) {
    // The system's auto radio already moved the check within the window group;
    // keep the siblings' kept state in step and fire once.
    if (Parent())
      for (TControl* c : Parent()->Controls())
        if (auto* r = dynamic_cast<TRadioButton*>(c)) r->checked_ = r->Checked();
    Click();
    *result = 0;
    return true;
  }
  return TControl::HandleParentMessage(msg, wp, lp, result);
}

// ---------------- edits

TEdit::TEdit() { tabStop_ = true; }
void TEdit::CreateParams(TCreateParams& p) {
  p.ClassName = WC_EDITW;
  p.Style |= ES_AUTOHSCROLL;
  if (!(style_ & edNoBorder)) {
    if (ctl3D_) p.ExStyle |= WS_EX_CLIENTEDGE;
    else p.Style |= WS_BORDER;
  }
  if (style_ & edReadOnly) p.Style |= ES_READONLY;
  if (style_ & edUpperCase) p.Style |= ES_UPPERCASE;
  if (style_ & edLowerCase) p.Style |= ES_LOWERCASE;
  if (style_ & edRight) p.Style |= ES_RIGHT;
  if (style_ & edNumber) p.Style |= ES_NUMBER;
}
void TEdit::BeforeDestroy() {}
std::string TEdit::Caption() const { return TControl::Caption(); }
void TEdit::SetCaption(const std::string& text) {
  const bool windowNotifies = Handle() != nullptr;  // the window sends EN_CHANGE itself
  TControl::SetCaption(text);
  if (!windowNotifies && OnChange) OnChange();
}
void TEdit::SetSelStart(int pos) { if (Handle()) SendMessageW(Handle(), EM_SETSEL, pos, pos); }
void TEdit::SelectAll() { if (Handle()) SendMessageW(Handle(), EM_SETSEL, 0, -1); }
bool TEdit::HandleParentMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
  if (msg == WM_COMMAND && HIWORD(wp) == EN_CHANGE) {
    if (OnChange) OnChange();
    *result = 0;
    return true;
  }
  return TControl::HandleParentMessage(msg, wp, lp, result);
}

void TMemo::CreateParams(TCreateParams& p) {
  TEdit::CreateParams(p);
  p.Style &= ~ES_AUTOHSCROLL;
  p.Style |= ES_MULTILINE | ES_AUTOVSCROLL;
  if (!(style_ & mmNoWantReturns)) p.Style |= ES_WANTRETURN;
  if (style_ & mmVScroll) p.Style |= WS_VSCROLL;
  if (style_ & mmHScroll) p.Style |= WS_HSCROLL;
  if (style_ & (mmNoWordWrap | mmHScroll)) p.Style |= ES_AUTOHSCROLL;
}
void TMemo::AfterCreate() {
  SendMessageW(Handle(), EM_SETLIMITTEXT, 0, 0);  // no 30 K limit
}
std::vector<std::string> TMemo::Lines() const {
  std::vector<std::string> out;
  std::string t = Text();
  size_t start = 0;
  while (start < t.size()) {
    size_t e = t.find_first_of("\r\n", start);
    if (e == std::string::npos) { out.push_back(t.substr(start)); break; }
    out.push_back(t.substr(start, e - start));
    start = e + ((t[e] == '\r' && e + 1 < t.size() && t[e + 1] == '\n') ? 2 : 1);
  }
  return out;
}
void TMemo::SetLines(const std::vector<std::string>& lines) {
  std::string t;
  for (size_t i = 0; i < lines.size(); ++i) t += lines[i] + "\r\n";
  SetText(t);
}
LRESULT TMemo::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_GETDLGCODE) {
    LRESULT code = DefaultProc(msg, wp, lp);
    const MSG* m = reinterpret_cast<const MSG*>(lp);
    if (m && (m->message == WM_KEYDOWN || m->message == WM_CHAR)) {
      WPARAM k = m->wParam;
      bool isKeyDown = m->message == WM_KEYDOWN;
      if ((isKeyDown && k == VK_ESCAPE) || (!isKeyDown && k == 27)) code &= ~(DLGC_WANTALLKEYS | DLGC_WANTMESSAGE);
      if (((isKeyDown && k == VK_TAB) || (!isKeyDown && k == '\t')) && !(style_ & mmWantTabs))
        code &= ~(DLGC_WANTALLKEYS | DLGC_WANTMESSAGE | DLGC_WANTTAB);
      if (((isKeyDown && k == VK_RETURN) || (!isKeyDown && k == '\r')) && (style_ & mmNoWantReturns))
        code &= ~(DLGC_WANTALLKEYS | DLGC_WANTMESSAGE);
    } else if (!(style_ & mmWantTabs)) {
      code &= ~DLGC_WANTTAB;
    }
    return code;
  }
  return TEdit::WndProc(msg, wp, lp);
}

// ---------------- progress bar

TProgressBar::TProgressBar() = default;
void TProgressBar::CreateParams(TCreateParams& p) {
  p.ClassName = PROGRESS_CLASSW;
  if (style_ & pbSmooth) p.Style |= PBS_SMOOTH;
  if (style_ & pbVertical) p.Style |= PBS_VERTICAL;
}
void TProgressBar::AfterCreate() {
  SendMessageW(Handle(), PBM_SETRANGE32, min_, max_);
  SendMessageW(Handle(), PBM_SETPOS, position_, 0);
}
void TProgressBar::SetPosition(int p) {
  position_ = std::clamp(p, min_, max_);
  if (Handle()) SendMessageW(Handle(), PBM_SETPOS, position_, 0);
}

}  // namespace tk
