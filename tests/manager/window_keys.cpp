// Works a program's window from outside for scripts/screenshots:
//   window_keys <title> <key>...   waits up to 30 s for a visible top-level window with
//                                  this title, brings it to the front and presses the
//                                  keys (F10, LEFT, RIGHT, UP, DOWN, RETURN, ESCAPE, TAB)
//   window_keys <title> close      asks the window to close
// Ends with 1 when no such window came or a key name is unknown.
#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "support/presskeys.h"

namespace {

WORD KeyOf(const std::wstring& name) {
  static const struct {
    const wchar_t* Name;
    WORD Key;
  } keys[] = {{L"F10", VK_F10},      {L"LEFT", VK_LEFT},     {L"RIGHT", VK_RIGHT}, {L"UP", VK_UP},
              {L"DOWN", VK_DOWN},    {L"RETURN", VK_RETURN}, {L"ESCAPE", VK_ESCAPE}, {L"TAB", VK_TAB}};
  for (const auto& k : keys)
    if (name == k.Name) return k.Key;
  return 0;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  if (__argc < 3) return 1;
  HWND w = nullptr;
  for (int i = 0; i < 300 && !(w && IsWindowVisible(w)); ++i) {
    w = FindWindowW(nullptr, __wargv[1]);
    if (!(w && IsWindowVisible(w))) Sleep(100);
  }
  if (!w || !IsWindowVisible(w)) return 1;
  if (std::wstring(__wargv[2]) == L"close") {
    PostMessageW(w, WM_CLOSE, 0, 0);
    return 0;
  }
  qbtest::BringForward(w);
  std::vector<WORD> keys;
  for (int i = 2; i < __argc; ++i) {
    keys.push_back(KeyOf(__wargv[i]));
    if (!keys.back()) return 1;
  }
  qbtest::PressKeys(keys);
  return 0;
}
