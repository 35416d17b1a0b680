#include "controls/modalwindow.h"

namespace g32 {

bool IsForWindow(const MSG& msg, HWND window) { return msg.hwnd == window || GetParent(msg.hwnd) == window; }

POINT ScreenCentre(int width, int height) {
  return POINT{(GetSystemMetrics(SM_CXSCREEN) - width) / 2, (GetSystemMetrics(SM_CYSCREEN) - height) / 2};
}

int RunModal(HWND window, HWND owner, HWND focus, const int& result, const std::function<bool(const MSG&)>& preview) {
  if (owner) EnableWindow(owner, FALSE);
  ShowWindow(window, SW_SHOW);
  SetForegroundWindow(window);
  SetFocus(focus);
  int outcome = 0;
  MSG msg;
  while ((outcome = result) == 0) {
    int got = GetMessageW(&msg, nullptr, 0, 0);
    if (got <= 0) {
      if (got == 0) PostQuitMessage(static_cast<int>(msg.wParam));
      outcome = IDCANCEL;
      break;
    }
    if (preview(msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  // Enabled again before the window hides, so the activation goes back to the owner.
  if (owner) EnableWindow(owner, TRUE);
  ShowWindow(window, SW_HIDE);
  if (owner) SetActiveWindow(owner);
  return outcome;
}

}  // namespace g32
