// The time a program takes to show its window: starts the program, waits for a visible
// top-level window of the given class that belongs to it and for that window to answer
// a message (so the work of its creation is done), then closes it. Prints
// "<seconds to shown> <seconds to answering> <rows>", rows being the items of every
// list view in the window, so the caller can see that the lists were filled.
// Usage: startwait <program> <window class> <timeout seconds> [arguments]
#include <windows.h>
#include <commctrl.h>

#include <chrono>
#include <cstdio>
#include <cwchar>
#include <string>
#include <thread>

namespace {

struct Search {
  DWORD pid;
  const wchar_t* cls;
  HWND found;
};

BOOL CALLBACK FindShown(HWND w, LPARAM lp) {
  auto* s = reinterpret_cast<Search*>(lp);
  DWORD pid = 0;
  GetWindowThreadProcessId(w, &pid);
  wchar_t cls[256] = {0};
  if (pid != s->pid || !IsWindowVisible(w) || !GetClassNameW(w, cls, 256) || wcscmp(cls, s->cls) != 0) return TRUE;
  s->found = w;
  return FALSE;
}

BOOL CALLBACK CountRows(HWND w, LPARAM lp) {
  wchar_t cls[32] = {0};
  GetClassNameW(w, cls, 32);
  if (wcscmp(cls, L"SysListView32") == 0) *reinterpret_cast<LRESULT*>(lp) += SendMessageW(w, LVM_GETITEMCOUNT, 0, 0);
  return TRUE;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: startwait <program> <window class> <timeout seconds> [arguments]\n");
    return 2;
  }
  std::wstring cmd = L"\"" + std::wstring(argv[1]) + L"\"";
  for (int i = 4; i < argc; ++i) cmd += L" \"" + std::wstring(argv[i]) + L"\"";
  const auto limit = std::chrono::duration<double>(_wtof(argv[3]));

  using clock = std::chrono::steady_clock;
  const auto t0 = clock::now();
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
    std::fprintf(stderr, "startwait: cannot start the program (error %lu)\n", GetLastError());
    return 1;
  }
  Search s{pi.dwProcessId, argv[2], nullptr};
  while (!s.found && clock::now() - t0 < limit && WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT) {
    EnumWindows(FindShown, reinterpret_cast<LPARAM>(&s));
    if (!s.found) std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  int rc = 0;
  if (!s.found) {
    std::fprintf(stderr, "startwait: no window of that class came\n");
    rc = 1;
  } else {
    const double shown = std::chrono::duration<double>(clock::now() - t0).count();
    DWORD_PTR ignored = 0;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(limit - (clock::now() - t0)).count();
    SendMessageTimeoutW(s.found, WM_NULL, 0, 0, SMTO_BLOCK, static_cast<UINT>(left > 0 ? left : 1), &ignored);
    const double answered = std::chrono::duration<double>(clock::now() - t0).count();
    LRESULT rows = 0;
    EnumChildWindows(s.found, CountRows, reinterpret_cast<LPARAM>(&rows));
    std::printf("%.3f %.3f %lld\n", shown, answered, static_cast<long long>(rows));
    PostMessageW(s.found, WM_CLOSE, 0, 0);
  }
  if (WaitForSingleObject(pi.hProcess, 30000) != WAIT_OBJECT_0) {
    TerminateProcess(pi.hProcess, 1);
    WaitForSingleObject(pi.hProcess, 5000);
  }
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return rc;
}
