// What code that paints over the standard controls needs of them: the replaceable
// window procedure and the notifications the toolkit passes through it (mouse enter
// and leave, enabled, text), an edit's border and a check box's grayed state.
#include <utility>

#include "toolkit/win_controls.h"

namespace tk {

TControl::TWndMethod TControl::WindowProc() {
  if (hook_) return hook_;
  // The toolkit's notifications end here: the system's window procedure never sees them.
  return [this](UINT msg, WPARAM wp, LPARAM lp) -> LRESULT {
    if (msg >= CM_BASE && msg <= CM_LAST) return 0;
    return WndProc(msg, wp, lp);
  };
}

void TControl::SetWindowProc(TWndMethod proc, const void* owner, std::function<void()> release) {
  hook_ = std::move(proc);
  hookOwner_ = hook_ ? owner : nullptr;
  hookRelease_ = hook_ ? std::move(release) : nullptr;
}

LRESULT TControl::Perform(UINT msg, WPARAM wp, LPARAM lp) {
  if (hook_) {
    TWndMethod h = hook_;  // the hook may hand the procedure back while it runs
    return h(msg, wp, lp);
  }
  if (!hwnd_ || (msg >= CM_BASE && msg <= CM_LAST)) return 0;
  return SendMessageW(hwnd_, msg, wp, lp);
}

LRESULT TControl::Dispatch(UINT msg, WPARAM wp, LPARAM lp) {
  HWND h = hwnd_;
  if (msg == WM_MOUSEMOVE && !tracking_) {
    TRACKMOUSEEVENT t{sizeof(t), TME_LEAVE, h, 0};
    if (TrackMouseEvent(&t)) {
      tracking_ = true;
      Perform(CM_MOUSEENTER);
    }
  }
  LRESULT r;
  if (hook_) {
    TWndMethod hook = hook_;
    r = hook(msg, wp, lp);
  } else {
    r = WndProc(msg, wp, lp);
  }
  if (hwnd_ != h) return r;  // the window went with this message
  switch (msg) {
    case WM_MOUSELEAVE:
      tracking_ = false;
      Perform(CM_MOUSELEAVE);
      break;
    case WM_ENABLE: Perform(CM_ENABLEDCHANGED); break;
    case WM_SETTEXT: Perform(CM_TEXTCHANGED); break;
    default: break;
  }
  return r;
}

// ---------------- edit borders and check box states

void TEdit::SetCtl3D(bool on) {
  if (on == ctl3D_) return;
  ctl3D_ = on;
  ApplyBorder();
}
void TEdit::SetBorderSingle(bool on) {
  if (on == BorderSingle()) return;
  style_ = on ? style_ & ~edNoBorder : style_ | edNoBorder;
  ApplyBorder();
}
void TEdit::ApplyBorder() {
  if (Handle()) {
    LONG_PTR ex = GetWindowLongPtrW(Handle(), GWL_EXSTYLE) & ~static_cast<LONG_PTR>(WS_EX_CLIENTEDGE);
    SetWindowLongPtrW(Handle(), GWL_EXSTYLE, ex | (BorderSingle() && ctl3D_ ? WS_EX_CLIENTEDGE : 0));
    SetStyleBit(WS_BORDER, BorderSingle() && !ctl3D_);
    SetWindowPos(Handle(), nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    RedrawWindow(Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_ERASE);
  }
  Perform(CM_CTL3DCHANGED);
}
TCheckBoxState TCheckBox::State() const {
  if (!Handle()) return checked_ ? TCheckBoxState::cbChecked : TCheckBoxState::cbUnchecked;
  LRESULT s = SendMessageW(Handle(), BM_GETCHECK, 0, 0);
  return s == BST_INDETERMINATE ? TCheckBoxState::cbGrayed : s == BST_CHECKED ? TCheckBoxState::cbChecked : TCheckBoxState::cbUnchecked;
}
void TCheckBox::SetState(TCheckBoxState state) {
  if (state != TCheckBoxState::cbGrayed) {
    bool on = state == TCheckBoxState::cbChecked;
    if (Handle() && State() == TCheckBoxState::cbGrayed) SendMessageW(Handle(), BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
    SetChecked(on);
    return;
  }
  checked_ = false;
  if (Handle()) SendMessageW(Handle(), BM_SETCHECK, BST_INDETERMINATE, 0);
}

}  // namespace tk
