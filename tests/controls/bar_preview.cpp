// A window with the gradient bars of the system at 60 %, for people to look at
// (scripts/screenshots). Ends when closed, or after the seconds given as argument 1.
// "bar_preview --wait <title>" instead waits up to 30 s for a visible top-level window
// with that title and ends with 0 when it is there, so the script knows when to shoot.
#include <windows.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "controls/g32_progressbar.h"

namespace {

LRESULT CALLBACK Proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if (m == WM_DESTROY || (m == WM_TIMER && wp == 1)) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(w, m, wp, lp);
}

struct TSample {
  const wchar_t* Label;
  int Width, Height;
  g32::TColor Color;
  int Contrast;
};

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  if (__argc == 3 && std::wstring(__wargv[1]) == L"--wait") {
    for (const ULONGLONG end = GetTickCount64() + 30000; GetTickCount64() < end; Sleep(20)) {
      HWND w = FindWindowW(nullptr, __wargv[2]);
      if (w && IsWindowVisible(w)) return 0;
    }
    return 1;
  }
  WNDCLASSW wc{};
  wc.lpfnWndProc = Proc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  wc.lpszClassName = L"QbBarPreview";
  RegisterClassW(&wc);
  HWND form = CreateWindowExW(0, wc.lpszClassName, L"Gradient bar - Quillbank", WS_CAPTION | WS_SYSMENU | WS_VISIBLE,
                              420, 300, 300, 250, nullptr, nullptr, instance, nullptr);
  HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  const TSample samples[] = {{L"Runner progress (contrast 128)", 240, 9, 0xE0E4E0, 128},
                             {L"Count-down (contrast 95)", 240, 9, 0xFEE4D8, 95},
                             {L"Settings preview (contrast 64)", 217, 9, 0xFFCC99, 64},
                             {L"Password length (contrast 95)", 240, 14, 0xDAACC3, 95}};
  std::vector<std::unique_ptr<g32::TG32_ProgressBar>> bars;
  int y = 12;
  for (const TSample& s : samples) {
    HWND label = CreateWindowExW(0, L"STATIC", s.Label, WS_CHILD | WS_VISIBLE, 20, y, 250, 16, form, nullptr, instance,
                                 nullptr);
    SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(font), 0);
    auto bar = std::make_unique<g32::TG32_ProgressBar>();
    bar->SetBounds(20, y + 18, s.Width, s.Height);
    bar->SetBackColor(s.Height == 14 ? g32::clWhite : g32::clBtnFace);
    bar->SetColor(s.Color);
    bar->SetContrast(s.Contrast);
    bar->SetPosition(60);
    bar->CreateWnd(form);
    bars.push_back(std::move(bar));
    y += 18 + s.Height + 16;
  }
  int seconds = __argc > 1 ? _wtoi(__wargv[1]) : 0;
  if (seconds > 0) SetTimer(form, 1, seconds * 1000, nullptr);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  bars.clear();
  return 0;
}
