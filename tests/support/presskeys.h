#pragma once
// Keys pressed and released as a user would, into whatever window has the focus, with a
// short pause after each so that menus and dialogs can follow.
#include <windows.h>

#include <vector>

namespace qbtest {

// Makes w the foreground window before keys are typed into it. A window that a closing
// modal dialog still holds disabled takes no keys, and the first request can be lost (for
// one after another program has ended and taken the activation with it), so this waits
// until w is enabled, in front and holding the focus, for a few seconds at most.
inline bool BringForward(HWND w, DWORD timeoutMs = 5000) {
  const ULONGLONG end = GetTickCount64() + timeoutMs;
  for (;;) {
    if (IsWindowEnabled(w)) {
      if (GetForegroundWindow() != w) SetForegroundWindow(w);
      // In front, and its thread has taken the activation and given a control the focus.
      GUITHREADINFO gui{};
      gui.cbSize = sizeof(gui);
      if (GetForegroundWindow() == w && GetGUIThreadInfo(GetWindowThreadProcessId(w, nullptr), &gui) &&
          gui.hwndActive == w && gui.hwndFocus)
        return true;
    }
    if (GetTickCount64() >= end) return false;
    Sleep(50);
  }
}

inline void PressKeys(const std::vector<WORD>& keys) {
  for (WORD key : keys) {
    INPUT in[2]{};
    in[0].type = in[1].type = INPUT_KEYBOARD;
    in[0].ki.wVk = in[1].ki.wVk = key;
    in[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, in, sizeof(INPUT));
    Sleep(150);
  }
}

}  // namespace qbtest
