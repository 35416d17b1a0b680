// Holds the Wine desktop of one test prefix for the whole run of a test program.
// Wine ends its desktop process once no program uses it, and the next program that
// shows a window would start it again with that program's output handles (the test
// runner then waits on a pipe the desktop holds). scripts/wine-run starts this before
// the test, with its output on /dev/null, and ends it with the prefix's server.
// The argument names a file that is written once the desktop is up.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR cmdLine, int) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = DefWindowProcW;
  wc.hInstance = instance;
  wc.lpszClassName = L"QbTestDesktopKeeper";
  RegisterClassW(&wc);
  // A hidden top-level window: it holds the desktop without showing anything. Without a
  // display no window can be made; the missing file tells the wrapper.
  if (!CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, instance, nullptr))
    return 1;
  if (cmdLine && *cmdLine) {
    HANDLE f = CreateFileW(cmdLine, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (f != INVALID_HANDLE_VALUE) CloseHandle(f);
  }
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
  return 0;
}
