// Keeps the Wine desktop up for a whole test run. Wine ends its desktop process once no
// program uses it, and the next program that shows a window starts it again with that
// program's output handles: the test runner then waits on a pipe the desktop holds, and
// the freshly started desktop is not always ready for the first dialog. scripts/test starts
// this once, with its output on /dev/null, and the wine server's end stops it.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = DefWindowProcW;
  wc.hInstance = instance;
  wc.lpszClassName = L"QbTestDesktopKeeper";
  RegisterClassW(&wc);
  // A hidden top-level window: it holds the desktop without showing anything.
  CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, instance, nullptr);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
  return 0;
}
