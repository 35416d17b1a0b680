#include "toolkit/win_app.h"

#include <commctrl.h>

#include <algorithm>

#include "toolkit/win_form.h"

namespace tk {

TApplication Application;

TShiftState KeyboardShiftState() {
  TShiftState s = 0;
  if (GetKeyState(VK_SHIFT) < 0) s |= ssShift;
  if (GetKeyState(VK_CONTROL) < 0) s |= ssCtrl;
  if (GetKeyState(VK_MENU) < 0) s |= ssAlt;
  if (GetKeyState(VK_LBUTTON) < 0) s |= ssLeft;
  if (GetKeyState(VK_RBUTTON) < 0) s |= ssRight;
  if (GetKeyState(VK_MBUTTON) < 0) s |= ssMiddle;
  return s;
}

int ScreenPixelsPerInch() {
  static int dpi = [] {
    HDC dc = GetDC(nullptr);
    int v = dc ? GetDeviceCaps(dc, LOGPIXELSY) : 96;
    if (dc) ReleaseDC(nullptr, dc);
    return v > 0 ? v : 96;
  }();
  return dpi;
}

int ScaleToDpi(int pixels96, int dpi) { return MulDiv(pixels96, dpi, 96); }
int ScaleFromDpi(int pixels, int dpi) { return MulDiv(pixels, 96, dpi); }

TApplication::TApplication() : instance_(GetModuleHandleW(nullptr)) {
  INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES | ICC_DATE_CLASSES |
                                            ICC_BAR_CLASSES | ICC_USEREX_CLASSES};
  InitCommonControlsEx(&icc);
}

void TApplication::Run() {
  terminated_ = false;
  if (mainForm_ && !mainForm_->Visible()) mainForm_->Show();
  while (!terminated_) HandleMessage();
  // Destroy in reverse creation order, each while its controls still exist.
  std::vector<TForm*> forms = forms_;
  for (auto it = forms.rbegin(); it != forms.rend(); ++it) {
    if (std::find(forms_.begin(), forms_.end(), *it) != forms_.end()) (*it)->DestroyHandle();
  }
}

void TApplication::Terminate() {
  terminated_ = true;
  PostMessageW(nullptr, WM_NULL, 0, 0);  // wakes a loop waiting for messages
}

void TApplication::Dispatch(MSG& msg) {
  if (msg.message == WM_QUIT) {
    terminated_ = true;
    return;
  }
  for (auto& h : hooks_) {
    if (h.second(msg)) return;
  }
  if (msg.hwnd) {
    if (TForm* form = FindForm(msg.hwnd)) {
      if (form->PreTranslate(msg)) return;
    }
  }
  TranslateMessage(&msg);
  DispatchMessageW(&msg);
}

void TApplication::ProcessMessages() {
  MSG msg;
  while (!terminated_ && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) Dispatch(msg);
}

void TApplication::HandleMessage() {
  MSG msg;
  if (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    Dispatch(msg);
    return;
  }
  DoIdle();
  if (terminated_) return;
  WaitMessage();
}

bool TApplication::ProcessUntil(const std::function<bool()>& done, unsigned timeoutMs) {
  ULONGLONG start = GetTickCount64();
  // A timer keeps WaitMessage from blocking past the time limit.
  UINT_PTR tick = timeoutMs ? SetTimer(nullptr, 0, 20, nullptr) : 0;
  while (!done() && !terminated_) {
    if (timeoutMs && GetTickCount64() - start >= timeoutMs) break;
    MSG msg;
    if (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      Dispatch(msg);
    } else {
      DoIdle();
      if (!done()) MsgWaitForMultipleObjects(0, nullptr, FALSE, timeoutMs ? 20 : INFINITE, QS_ALLINPUT);
    }
  }
  if (tick) KillTimer(nullptr, tick);
  return done();
}

int TApplication::AddIdleHandler(std::function<void()> handler) {
  idle_.emplace_back(nextId_, std::move(handler));
  return nextId_++;
}

void TApplication::RemoveIdleHandler(int id) {
  idle_.erase(std::remove_if(idle_.begin(), idle_.end(), [id](auto& p) { return p.first == id; }), idle_.end());
}

void TApplication::DoIdle() {
  auto copy = idle_;  // a handler may remove itself
  for (auto& h : copy) h.second();
}

int TApplication::AddMessageHook(std::function<bool(MSG&)> hook) {
  hooks_.emplace_back(nextId_, std::move(hook));
  return nextId_++;
}

void TApplication::RemoveMessageHook(int id) {
  hooks_.erase(std::remove_if(hooks_.begin(), hooks_.end(), [id](auto& p) { return p.first == id; }), hooks_.end());
}

TForm* TApplication::FindForm(HWND hwnd) const {
  if (!hwnd) return nullptr;
  HWND root = GetAncestor(hwnd, GA_ROOT);
  if (!root) root = hwnd;
  for (TForm* f : forms_) {
    if (f->Handle() == root) return f;
  }
  return nullptr;
}

TForm* TApplication::ActiveForm() const { return FindForm(GetActiveWindow()); }

void TApplication::RegisterForm(TForm* form) { forms_.push_back(form); }

void TApplication::UnregisterForm(TForm* form) {
  forms_.erase(std::remove(forms_.begin(), forms_.end(), form), forms_.end());
  if (mainForm_ == form) mainForm_ = nullptr;
}

}  // namespace tk
