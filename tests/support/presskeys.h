#pragma once
// Keys pressed and released as a user would, into whatever window has the focus, with a
// short pause after each so that menus and dialogs can follow.
#include <windows.h>

#include <vector>

namespace qbtest {

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
