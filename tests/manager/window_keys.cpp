// Works a program's window from outside for scripts/screenshots:
//   window_keys <title> <key>...   waits up to 30 s for a visible top-level window with
//                                  this title (or "class:<name>": of this window class),
//                                  brings it to the front and presses the keys (F10,
//                                  F4, LEFT, RIGHT, UP, DOWN, RETURN, ESCAPE, TAB; "click:<text>"
//                                  clicks its button of that text and waits until the
//                                  window shows other texts; "point:<x>,<y>" moves the
//                                  pointer to that point of its client area and "clickat:<x>,<y>"
//                                  clicks there), each handled before the next
//   window_keys <title> close      asks the window to close
// Ends with 1 when no such window came, a key name is unknown, a key was lost or a click
// changed nothing.
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
              {L"DOWN", VK_DOWN},    {L"RETURN", VK_RETURN}, {L"ESCAPE", VK_ESCAPE}, {L"TAB", VK_TAB},
              {L"F4", VK_F4}};
  for (const auto& k : keys)
    if (name == k.Name) return k.Key;
  return 0;
}

// A button (or check box) of the window, at any depth, by its text.
HWND ButtonOf(HWND w, const std::wstring& text) {
  struct TSearch {
    const std::wstring& Text;
    HWND Found = nullptr;
  } search{text};
  EnumChildWindows(
      w,
      [](HWND c, LPARAM p) -> BOOL {
        auto* s = reinterpret_cast<TSearch*>(p);
        wchar_t cls[16] = {}, caption[256] = {};
        GetClassNameW(c, cls, 16);
        GetWindowTextW(c, caption, 256);
        if (lstrcmpiW(cls, L"Button") == 0 && s->Text == caption) s->Found = c;
        return s->Found ? FALSE : TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.Found;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  if (__argc < 3) return 1;
  const std::wstring target = __wargv[1];
  const bool byClass = target.rfind(L"class:", 0) == 0;
  HWND w = nullptr;
  if (!qbtest::PollUntil(
          [&] {
            w = byClass ? FindWindowW(target.c_str() + 6, nullptr) : FindWindowW(nullptr, target.c_str());
            return w && IsWindowVisible(w);
          },
          30000))
    return 1;
  if (std::wstring(__wargv[2]) == L"close") {
    PostMessageW(w, WM_CLOSE, 0, 0);
    return 0;
  }
  qbtest::BringForward(w);
  for (int i = 2; i < __argc; ++i) {
    const std::wstring word = __wargv[i];
    if (word.rfind(L"click:", 0) == 0) {
      HWND button = ButtonOf(w, word.substr(6));
      if (!button) return 1;
      if (!qbtest::ClickUntilChanged(w, button, [] { return false; })) return 1;
      continue;
    }
    if (word.rfind(L"point:", 0) == 0 || word.rfind(L"clickat:", 0) == 0) {
      const size_t colon = word.find(L':'), comma = word.find(L',');
      if (comma == std::wstring::npos) return 1;
      POINT p{_wtoi(word.c_str() + colon + 1), _wtoi(word.c_str() + comma + 1)};
      ClientToScreen(w, &p);
      // Two moves, so that the window under the pointer sees it arrive.
      SetCursorPos(p.x + 1, p.y);
      SetCursorPos(p.x, p.y);
      if (word[0] == L'c') {
        std::vector<INPUT> click(2);
        click[0].type = click[1].type = INPUT_MOUSE;
        click[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
        click[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
        SendInput(2, click.data(), sizeof(INPUT));
      }
      continue;
    }
    const WORD key = KeyOf(word);
    if (!key || !qbtest::PressKeys({key})) return 1;
  }
  return 0;
}
