#pragma once
// Keys pressed and released as a user would, into whatever window has the focus, with a
// short pause after each so that menus and dialogs can follow.
#include <windows.h>

#include <vector>

namespace qbtest {

// Makes w the foreground window before keys are typed into it. The first request can be
// lost (for one after another program has ended and taken the activation with it), so it
// is repeated until w is in front, for a few seconds at most.
inline bool BringForward(HWND w, DWORD timeoutMs = 5000) {
  const DWORD start = GetTickCount();
  for (;;) {
    SetForegroundWindow(w);
    Sleep(100);
    if (GetForegroundWindow() == w) {
      Sleep(100);
      return true;
    }
    if (GetTickCount() - start > timeoutMs) return false;
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
