#include "toolkit/win_form.h"

#include <algorithm>
#include <vector>

#include "toolkit/strings.h"
#include "toolkit/win_hovertips.h"
#include "toolkit/win_pagecontrol.h"

namespace tk {

namespace {

TControl* FindById(const TWinControl& w, int id) {
  for (TControl* c : w.Controls()) {
    if (c->ControlId() == id) return c;
    if (auto* sub = dynamic_cast<TWinControl*>(c))
      if (TControl* f = FindById(*sub, id)) return f;
  }
  return nullptr;
}

TButton* FindButton(const TWinControl& w, bool wantDefault) {
  for (TControl* c : w.Controls()) {
    if (auto* b = dynamic_cast<TButton*>(c)) {
      if (wantDefault ? b->Default() : b->Cancel()) return b;
    }
    if (auto* sub = dynamic_cast<TWinControl*>(c))
      if (TButton* f = FindButton(*sub, wantDefault)) return f;
  }
  return nullptr;
}

// A button that can be worked from the keyboard right now.
bool Workable(const TButton* b) {
  return b && b->HandleAllocated() && IsWindowVisible(b->Handle()) && IsWindowEnabled(b->Handle());
}

bool IsKeyMessage(UINT m) {
  return m == WM_KEYDOWN || m == WM_SYSKEYDOWN || m == WM_KEYUP || m == WM_SYSKEYUP || m == WM_CHAR ||
         m == WM_SYSCHAR;
}

struct DisableState {
  HWND self;
  std::vector<HWND> disabled;
};

BOOL CALLBACK DisableOne(HWND h, LPARAM lp) {
  auto* s = reinterpret_cast<DisableState*>(lp);
  if (h != s->self && IsWindowVisible(h) && IsWindowEnabled(h)) {
    EnableWindow(h, FALSE);
    s->disabled.push_back(h);
  }
  return TRUE;
}

// The windows inside parent in tab order (disabled ones too, so that a walk can start
// from one); a control parent that can take input is followed by its own.
void CollectTabOrder(HWND parent, std::vector<HWND>& out) {
  for (HWND c = GetWindow(parent, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    const LONG_PTR style = GetWindowLongPtrW(c, GWL_STYLE);
    if (!(style & WS_VISIBLE)) continue;
    out.push_back(c);
    if (!(style & WS_DISABLED) && (GetWindowLongPtrW(c, GWL_EXSTYLE) & WS_EX_CONTROLPARENT)) CollectTabOrder(c, out);
  }
}

// Focus moved by the keyboard selects an edit's whole text, as in a dialog.
void FocusByKey(HWND w) {
  if (SendMessageW(w, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL) SendMessageW(w, EM_SETSEL, 0, -1);
  ::SetFocus(w);
}

}  // namespace

HWND NextTabStop(HWND root, HWND from, bool previous) {
  std::vector<HWND> order;
  CollectTabOrder(root, order);
  const int n = static_cast<int>(order.size());
  int at = -1;  // the deepest window that is from or holds it
  for (int i = 0; i < n && from; ++i)
    if (order[i] == from || IsChild(order[i], from)) at = i;
  for (int k = 1; k <= n; ++k) {
    const int i = at < 0 ? (previous ? n - k : k - 1) : (at + (previous ? n - k : k)) % n;
    const LONG_PTR style = GetWindowLongPtrW(order[static_cast<size_t>(i)], GWL_STYLE);
    if ((style & WS_TABSTOP) && !(style & WS_DISABLED)) return order[static_cast<size_t>(i)];
  }
  return nullptr;
}

TForm::TForm(std::wstring windowClassName) : className_(std::move(windowClassName)) {
  visible_ = false;  // a form appears with Show or ShowModal
  Application.RegisterForm(this);
}

TForm::~TForm() {
  Application.UnregisterForm(this);
  activeControl_ = nullptr;
  // The controls (members of the derived form) are gone already: only the
  // form's own window is left, and TControl's destructor removes it.
}

void TForm::ControlGone(TControl* control) {
  if (activeControl_ == control) activeControl_ = nullptr;
}

void TForm::CreateParams(TCreateParams& p) {
  p.ClassName = className_;
  p.OwnClass = true;
  p.ClassStyle = CS_DBLCLKS;
  p.Style = WS_CLIPCHILDREN;
  p.ExStyle = WS_EX_CONTROLPARENT;
  bool icons = true;
  switch (BorderStyle) {
    case TBorderStyle::bsNone: p.Style |= WS_POPUP; icons = false; break;
    case TBorderStyle::bsSingle: p.Style |= WS_CAPTION | WS_BORDER; break;
    case TBorderStyle::bsSizeable: p.Style |= WS_CAPTION | WS_THICKFRAME; break;
    case TBorderStyle::bsDialog:
      p.Style |= WS_POPUP | WS_CAPTION;
      p.ExStyle |= WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE;
      break;
    case TBorderStyle::bsToolWindow: p.Style |= WS_CAPTION; p.ExStyle |= WS_EX_TOOLWINDOW; break;
    case TBorderStyle::bsSizeToolWin:
      p.Style |= WS_CAPTION | WS_THICKFRAME;
      p.ExStyle |= WS_EX_TOOLWINDOW;
      break;
  }
  bool boxes = icons && BorderStyle != TBorderStyle::bsDialog && BorderStyle != TBorderStyle::bsToolWindow &&
               BorderStyle != TBorderStyle::bsSizeToolWin;
  if (icons && (BorderIcons & biSystemMenu)) p.Style |= WS_SYSMENU;
  if (boxes && (BorderIcons & biSystemMenu) && (BorderIcons & biMinimize)) p.Style |= WS_MINIMIZEBOX;
  // WS_MAXIMIZEBOX is the bit that child controls use as WS_TABSTOP; the base
  // applies tabStop_ to it, so it carries the choice here.
  tabStop_ = boxes && (BorderIcons & biSystemMenu) && (BorderIcons & biMaximize);
  if (tabStop_) p.Style |= WS_MAXIMIZEBOX;
  if (formStyle_ == TFormStyle::fsStayOnTop) p.ExStyle |= WS_EX_TOPMOST;
  if (hasClientSize_) {
    int d = Dpi();
    RECT r{0, 0, ScaleToDpi(clientW_, d), ScaleToDpi(clientH_, d)};
    AdjustWindowRectEx(&r, p.Style, FALSE, p.ExStyle);
    bounds_.Width = ScaleFromDpi(r.right - r.left, d);
    bounds_.Height = ScaleFromDpi(r.bottom - r.top, d);
  }
}

void TForm::AfterCreate() {
  if (hasClientSize_) SetClientSize(clientW_, clientH_);  // exact, whatever the frame metrics
}

void TForm::SetFormStyle(TFormStyle style) {
  formStyle_ = style;
  if (Handle())
    SetWindowPos(Handle(), style == TFormStyle::fsStayOnTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TForm::SetClientSize(int width, int height) {
  hasClientSize_ = true;
  clientW_ = width;
  clientH_ = height;
  if (!Handle()) return;
  RECT wr, cr;
  GetWindowRect(Handle(), &wr);
  GetClientRect(Handle(), &cr);
  int d = Dpi();
  int w = (wr.right - wr.left - cr.right) + ScaleToDpi(width, d);
  int h = (wr.bottom - wr.top - cr.bottom) + ScaleToDpi(height, d);
  SetWindowPos(Handle(), nullptr, 0, 0, w, h, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TForm::HandleNeeded() {
  if (Handle()) return;
  CreateHandle();
  if (!Handle()) return;
  created_ = true;
  if (OnCreate) OnCreate();
}

void TForm::PlaceWindow() {
  if (!Handle() || Position == TPosition::poDesigned) return;
  RECT wr;
  GetWindowRect(Handle(), &wr);
  int w = wr.right - wr.left, h = wr.bottom - wr.top;
  RECT area{};
  HWND owner = Position == TPosition::poOwnerFormCenter ? GetWindow(Handle(), GW_OWNER) : nullptr;
  if (owner && IsWindowVisible(owner)) GetWindowRect(owner, &area);
  else SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
  int x = area.left + (area.right - area.left - w) / 2;
  int y = area.top + (area.bottom - area.top - h) / 2;
  SetWindowPos(Handle(), nullptr, std::max(x, 0), std::max(y, 0), 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TForm::Show() {
  HandleNeeded();
  if (!Handle()) return;
  bool wasHidden = !IsWindowVisible(Handle());
  if (wasHidden) {
    PlaceWindow();
    if (OnShow) OnShow();
  }
  visible_ = true;
  ShowWindow(Handle(), SW_SHOW);
  SetForegroundWindow(Handle());
  SetActiveWindow(Handle());
}

void TForm::Hide() {
  bool wasVisible = Handle() && IsWindowVisible(Handle());
  visible_ = false;
  if (!wasVisible) return;
  if (OnHide) OnHide();
  ShowWindow(Handle(), SW_HIDE);
  // The next showing starts afresh, not on the control the user left (often Cancel).
  activeControl_ = nullptr;
}

bool TForm::CloseQuery() {
  bool can = true;
  if (OnCloseQuery) OnCloseQuery(can);
  return can;
}

void TForm::DoClose(TCloseAction& action) {
  if (OnClose) OnClose(action);
}

void TForm::Close() {
  if (modal_) {
    modalResult_ = mrCancel;  // the modal loop runs the close events
    return;
  }
  if (!CloseQuery()) return;
  TCloseAction action = TCloseAction::caHide;
  DoClose(action);
  if (action == TCloseAction::caNone) return;
  if (Application.MainForm() == this) {
    Application.Terminate();
    return;
  }
  if (action == TCloseAction::caMinimize) SetWindowState(TWindowState::wsMinimized);
  else Hide();
}

void TForm::CloseModal() {
  TCloseAction action = TCloseAction::caNone;
  if (CloseQuery()) {
    action = TCloseAction::caHide;
    DoClose(action);
  }
  if (action == TCloseAction::caNone) modalResult_ = mrNone;
}

void TForm::SetModalResult(int result) { modalResult_ = result; }

int TForm::ShowModal() {
  HandleNeeded();
  if (!Handle()) return mrCancel;
  HWND prevActive = GetActiveWindow();
  HWND prevFocus = GetFocus();
  HWND owner = prevActive;
  if (!Application.FindForm(owner) && Application.MainForm()) owner = Application.MainForm()->Handle();
  if (owner && owner != Handle() && IsWindowVisible(owner))
    SetWindowLongPtrW(Handle(), GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(owner));
  DisableState ds{Handle(), {}};
  EnumThreadWindows(GetCurrentThreadId(), DisableOne, reinterpret_cast<LPARAM>(&ds));
  modal_ = true;
  modalResult_ = mrNone;
  Application.EnterModal();
  Show();
  while (true) {
    if (Application.Terminated() || !Handle()) {
      if (modalResult_ == mrNone) modalResult_ = mrCancel;
      break;
    }
    Application.HandleMessage();
    if (modalResult_ != mrNone && !Application.Terminated()) CloseModal();
    if (modalResult_ != mrNone) break;
  }
  int result = modalResult_;
  // Enable the others before hiding, so that the system activates the owner and
  // not some unrelated window.
  for (HWND h : ds.disabled)
    if (IsWindow(h)) EnableWindow(h, TRUE);
  Hide();
  modal_ = false;
  Application.LeaveModal();
  if (prevActive && IsWindow(prevActive) && prevActive != Handle()) SetActiveWindow(prevActive);
  if (prevFocus && IsWindow(prevFocus) && IsWindowVisible(prevFocus) && IsWindowEnabled(prevFocus) &&
      GetAncestor(prevFocus, GA_ROOT) != Handle())
    ::SetFocus(prevFocus);
  return result;
}

TWindowState TForm::WindowState() const {
  if (!Handle()) return TWindowState::wsNormal;
  if (IsIconic(Handle())) return TWindowState::wsMinimized;
  if (IsZoomed(Handle())) return TWindowState::wsMaximized;
  return TWindowState::wsNormal;
}

TBounds TForm::NormalBounds(bool* restoresMaximized) const {
  if (restoresMaximized) *restoresMaximized = false;
  WINDOWPLACEMENT wp{};
  wp.length = sizeof wp;
  if (!Handle() || !(IsIconic(Handle()) || IsZoomed(Handle())) || !GetWindowPlacement(Handle(), &wp))
    return Bounds();
  if (restoresMaximized) *restoresMaximized = IsIconic(Handle()) && (wp.flags & WPF_RESTORETOMAXIMIZED);
  // The placement counts from the work area's corner, the bounds from the screen's.
  RECT r = wp.rcNormalPosition;
  MONITORINFO mi{};
  mi.cbSize = sizeof mi;
  if (GetMonitorInfoW(MonitorFromRect(&r, MONITOR_DEFAULTTOPRIMARY), &mi))
    OffsetRect(&r, mi.rcWork.left - mi.rcMonitor.left, mi.rcWork.top - mi.rcMonitor.top);
  const int d = Dpi();
  return {ScaleFromDpi(r.left, d), ScaleFromDpi(r.top, d), ScaleFromDpi(r.right - r.left, d),
          ScaleFromDpi(r.bottom - r.top, d)};
}

void TForm::SetWindowState(TWindowState state) {
  if (!Handle()) return;
  int cmd = state == TWindowState::wsMinimized ? SW_MINIMIZE : state == TWindowState::wsMaximized ? SW_MAXIMIZE : SW_RESTORE;
  if (IsWindowVisible(Handle()) || state != TWindowState::wsNormal) ShowWindow(Handle(), cmd);
}

void TForm::SetActiveControl(TControl* control) {
  // While the form is active the focus moves at once and FocusChanged records
  // it (with the exit and enter events); otherwise it waits for the activation.
  if (control && control->HandleAllocated() && Active() && control->CanFocus()) {
    if (GetFocus() != control->Handle()) ::SetFocus(control->Handle());
    return;
  }
  activeControl_ = control;
}

void TForm::BringToTopNoActivate() {
  if (Handle())
    SetWindowPos(Handle(), formStyle_ == TFormStyle::fsStayOnTop ? HWND_TOPMOST : HWND_TOP, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

bool TForm::Active() const { return Handle() && GetActiveWindow() == Handle(); }

void TForm::DestroyHandle() {
  if (!Handle()) return;
  if (OnDestroy) OnDestroy();
  if (modal_ && modalResult_ == mrNone) modalResult_ = mrCancel;
  activeControl_ = nullptr;
  TWinControl::DestroyHandle();
  created_ = false;
}

TControl* TForm::ControlById(int id) const { return FindById(*this, id); }

namespace {
// Every control of the form hears that the focus moved (those that draw their
// focused look themselves repaint on it).
void BroadcastFocusChanged(TWinControl& container, TControl* focused) {
  for (TControl* c : container.Controls()) {
    c->Perform(CM_FOCUSCHANGED, 0, reinterpret_cast<LPARAM>(focused));
    if (auto* w = dynamic_cast<TWinControl*>(c)) BroadcastFocusChanged(*w, focused);
  }
}
}  // namespace

void TForm::FocusChanged(TControl* control) {
  TControl* old = activeControl_;
  if (old == control) return;  // focus came back (after a box, another form or app)
  activeControl_ = control;
  if (old) old->DoExit();
  if (control && activeControl_ == control && control->OnEnter) control->OnEnter();
  BroadcastFocusChanged(*this, control);
}

TPageControl* TForm::PagesFor(HWND focus) const {
  auto usable = [](TPageControl* pc) {
    return pc && pc->VisibleTabCount() > 0 && pc->HandleAllocated() && IsWindowVisible(pc->Handle()) &&
           IsWindowEnabled(pc->Handle());
  };
  for (HWND h = focus; h && h != Handle(); h = GetParent(h))
    if (auto* pc = dynamic_cast<TPageControl*>(TControl::FromHandle(h)); usable(pc)) return pc;
  std::vector<const TWinControl*> todo{this};
  for (size_t i = 0; i < todo.size(); ++i)
    for (TControl* c : todo[i]->Controls()) {
      if (auto* pc = dynamic_cast<TPageControl*>(c); usable(pc)) return pc;
      if (auto* w = dynamic_cast<TWinControl*>(c)) todo.push_back(w);
    }
  return nullptr;
}

TButton* TForm::DefaultButton() const { return FindButton(*this, true); }
TButton* TForm::CancelButton() const { return FindButton(*this, false); }

bool TForm::PreTranslate(MSG& msg) {
  if (!Handle() || !IsKeyMessage(msg.message) || !IsWindowEnabled(Handle())) return false;
  // Key preview: the form's key events first (the form's own window fires them
  // itself when it holds the focus).
  if (KeyPreview && msg.hwnd != Handle()) {
    if (msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN) {
      WORD k = static_cast<WORD>(msg.wParam);
      if (DoKeyDown(k, KeyboardShiftState())) return true;
      msg.wParam = k;
    } else if (msg.message == WM_KEYUP || msg.message == WM_SYSKEYUP) {
      WORD k = static_cast<WORD>(msg.wParam);
      if (OnKeyUp) OnKeyUp(k, KeyboardShiftState());
      if (!k) return true;
      msg.wParam = k;
    } else if (msg.message == WM_CHAR) {
      wchar_t c = static_cast<wchar_t>(msg.wParam);
      if (DoKeyPress(c)) return true;
      msg.wParam = c;
    }
  }
  if (msg.message == WM_KEYDOWN && (msg.wParam == VK_RETURN || msg.wParam == VK_ESCAPE)) {
    HWND focus = msg.hwnd;  // the control the key is for
    if (focus && focus != Handle()) {
      LRESULT code = SendMessageW(focus, WM_GETDLGCODE, msg.wParam, reinterpret_cast<LPARAM>(&msg));
      if (code & (DLGC_WANTALLKEYS | DLGC_WANTMESSAGE)) return false;  // a memo's new line
    }
    TButton* b = nullptr;
    if (msg.wParam == VK_RETURN) {
      b = dynamic_cast<TButton*>(TControl::FromHandle(focus));
      if (!b || b->Form() != this) b = DefaultButton();
    } else {
      b = CancelButton();
    }
    if (Workable(b)) {
      b->Click();
      return true;
    }
    return false;
  }
  if (msg.message == WM_KEYDOWN && (msg.wParam == VK_TAB || msg.wParam == VK_NEXT || msg.wParam == VK_PRIOR) &&
      GetKeyState(VK_MENU) >= 0) {
    const bool ctrl = GetKeyState(VK_CONTROL) < 0, shift = GetKeyState(VK_SHIFT) < 0;
    if (ctrl) {
      if (TPageControl* pages = PagesFor(msg.hwnd)) {
        pages->SelectNextPage(msg.wParam == VK_TAB ? !shift : msg.wParam == VK_NEXT);
        return true;
      }
    } else if (msg.wParam == VK_TAB) {
      // Our own walk, so that a page control's tab row is a stop of its own.
      HWND focus = msg.hwnd;
      const bool wantsTab = focus && focus != Handle() &&
                            (SendMessageW(focus, WM_GETDLGCODE, msg.wParam, reinterpret_cast<LPARAM>(&msg)) &
                             (DLGC_WANTTAB | DLGC_WANTALLKEYS | DLGC_WANTMESSAGE));
      if (!wantsTab) {
        if (HWND next = NextTabStop(Handle(), GetFocus(), shift)) FocusByKey(next);
        return true;
      }
    }
  }
  // Arrows and mnemonics as in a dialog.
  return IsDialogMessageW(Handle(), &msg) != FALSE;
}

LRESULT TForm::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_CLOSE:
      Close();
      return 0;
    case WM_ACTIVATE:
      if (LOWORD(wp) == WA_INACTIVE) {
        if (OnDeactivate) OnDeactivate();
      } else {
        if (!HIWORD(wp)) {
          if (activeControl_ && activeControl_->CanFocus()) {
            ::SetFocus(activeControl_->Handle());
          } else if (HWND first = NextTabStop(Handle(), nullptr, false)) {
            ::SetFocus(first);
          } else {
            ::SetFocus(Handle());
          }
        }
        if (OnActivate) OnActivate();
      }
      return 0;
    case WM_SETFOCUS:
      if (activeControl_ && activeControl_->CanFocus()) {
        ::SetFocus(activeControl_->Handle());
        return 0;
      }
      break;
    case WM_ENTERMENULOOP:
      CancelHoverHint();  // a hint would cover the menu that opens
      break;
    case WM_NEXTDLGCTL: {
      HWND next;
      if (LOWORD(lp)) next = reinterpret_cast<HWND>(wp);
      else next = NextTabStop(Handle(), GetFocus(), wp != 0);
      if (next) ::SetFocus(next);
      return 0;
    }
    case WM_ERASEBKGND: {
      RECT r;
      GetClientRect(Handle(), &r);
      HBRUSH b = CreateSolidBrush(ColorToRGB(EffectiveColor()));
      FillRect(reinterpret_cast<HDC>(wp), &r, b);
      DeleteObject(b);
      return 1;
    }
    default: break;
  }
  return TWinControl::WndProc(msg, wp, lp);
}

}  // namespace tk
