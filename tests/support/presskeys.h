#pragma once
// Keys typed and buttons clicked as a user does, in the window in front (a window of
// another thread). A key waits until that window's thread has taken and handled it, so the
// next key finds the menu or dialog the last one opened; one that was not taken (typed
// while the activation was still on its way elsewhere, and lost) says so.
#include <windows.h>

#include <string>
#include <vector>

namespace qbtest {

// Asks done every few milliseconds, for ms at most; its last answer. (The tools built on
// this header link no other test support.)
template <class TDone>
bool PollUntil(TDone done, DWORD ms) {
  const ULONGLONG end = GetTickCount64() + ms;
  while (!done()) {
    if (GetTickCount64() >= end) return done();
    Sleep(10);
  }
  return true;
}

// Makes w the foreground window before keys are typed into it. A window that a closing
// modal dialog still holds disabled takes no keys, and the first request can be lost (for
// one after another program has ended and taken the activation with it), so this waits
// until w is enabled, in front and holding the focus, for a few seconds at most.
inline bool BringForward(HWND w, DWORD timeoutMs = 5000) {
  return PollUntil(
      [w] {
        if (!IsWindowEnabled(w)) return false;
        if (GetForegroundWindow() != w) SetForegroundWindow(w);
        // In front, and its thread has taken the activation and given a control the focus.
        GUITHREADINFO gui{};
        gui.cbSize = sizeof(gui);
        return GetForegroundWindow() == w && GetGUIThreadInfo(GetWindowThreadProcessId(w, nullptr), &gui) &&
               gui.hwndActive == w && gui.hwndFocus;
      },
      timeoutMs);
}

// Sends the key events to the window in front; their last one releases a key. True once
// the window's thread has taken them all and handled them. For the while this
// thread shares that thread's input, and the key of the last event is marked as held
// there: the shared key state changes only as the thread takes the events, so the key
// reads as up again once the thread has taken its release (the system's own state of the
// key, which the sharing brings back then, is up too). Then a message sent to the window
// returns once the thread is done with what it took (or after the timeout: taken is what
// counts, as typing again would type twice).
inline bool TypeInput(std::vector<INPUT> events, DWORD timeoutMs = 5000) {
  if (events.empty()) return true;
  HWND target = GetForegroundWindow();
  const DWORD thread = target ? GetWindowThreadProcessId(target, nullptr) : 0;
  const bool attached = thread && thread != GetCurrentThreadId() && AttachThreadInput(GetCurrentThreadId(), thread, TRUE);
  const WORD last = events.back().ki.wVk;
  BYTE keys[256] = {};
  bool marked = attached && GetKeyboardState(keys);
  if (marked) {
    keys[last] = 0x80;
    marked = SetKeyboardState(keys) != 0;
  }
  const UINT sent = SendInput(static_cast<UINT>(events.size()), events.data(), sizeof(INPUT));
  // A window the events closed (its program may end before it takes the last release)
  // has taken them too.
  const bool taken = marked && sent == events.size() &&
                     PollUntil([&] { return GetKeyState(last) >= 0 || !IsWindow(target); }, timeoutMs);
  if (attached) AttachThreadInput(GetCurrentThreadId(), thread, FALSE);
  DWORD_PTR ignored = 0;
  if (taken) SendMessageTimeoutW(target, WM_NULL, 0, 0, SMTO_NORMAL, timeoutMs, &ignored);
  return taken;
}

// The texts of a window's visible controls, one after the other.
inline std::wstring VisibleTexts(HWND window) {
  std::wstring texts;
  EnumChildWindows(
      window,
      [](HWND w, LPARAM p) -> BOOL {
        if (IsWindowVisible(w)) {
          wchar_t text[512] = {};
          GetWindowTextW(w, text, 512);
          *reinterpret_cast<std::wstring*>(p) += std::wstring(text) + L"\n";
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&texts));
  return texts;
}

// Clicks a button of window as a user does: posted, so the click comes after whatever the
// window still has to do. Then waits until the window shows other texts or has closed, or
// orElse() is true; false when none of it came in time.
template <class TOrElse>
bool ClickUntilChanged(HWND window, HWND button, TOrElse orElse, DWORD timeoutMs = 10000) {
  const std::wstring before = VisibleTexts(window);
  PostMessageW(button, BM_CLICK, 0, 0);
  return PollUntil([&] { return orElse() || !IsWindowVisible(window) || VisibleTexts(window) != before; }, timeoutMs);
}

// One press and release of each key in turn; false when one was not taken.
inline bool PressKeys(const std::vector<WORD>& keys) {
  for (WORD key : keys) {
    INPUT in[2]{};
    in[0].type = in[1].type = INPUT_KEYBOARD;
    in[0].ki.wVk = in[1].ki.wVk = key;
    in[1].ki.dwFlags = KEYEVENTF_KEYUP;
    if (!TypeInput({in[0], in[1]})) return false;
  }
  return true;
}

}  // namespace qbtest
