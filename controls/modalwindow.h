#pragma once
// The modal run of a window built in code: the owner is disabled, the window's own
// loop runs until *result is non-zero, then the owner is enabled and activated again.
#include <windows.h>

#include <functional>

namespace g32 {

// focus gets the keyboard once the window shows. preview sees every message first and returns true for one it used up. A WM_QUIT
// ends the run with IDCANCEL and is posted again for the outer loop.
int RunModal(HWND window, HWND owner, HWND focus, const int& result, const std::function<bool(const MSG&)>& preview);

// True when msg is for window or one of its children.
bool IsForWindow(const MSG& msg, HWND window);

// A window position that centres a window of this size on the screen.
POINT ScreenCentre(int width, int height);

}  // namespace g32
