#pragma once
// What the editor tests share: stored profiles to tick, clicks on tool buttons and in
// lists, steps that act on a nested dialog once it shows, and a window of the
// scheduler's class and title that counts the reload messages it gets.
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "settings/fernoglobal.h"
#include "settings/fernoini.h"
#include "settings/protocol.h"
#include "settings/qbprofile.h"
#include "support/formscript.h"
#include "support/testutil.h"
#include "toolkit/strings.h"
#include "toolkit/win_toolbar.h"

namespace edtest {

using qbtest::Said;
using qbtest::TScript;

// Stores the profiles in this order: a multi-computer one first, then ordinary ones.
// The editors list the ordinary ones first: A, A B, Home, then Multi.
inline void MakeProfiles(const std::string& efil = "") {
  TFernoIni ini;
  const std::vector<std::string> names{"Multi", "A", "A B", "Home"};
  for (size_t i = 0; i < names.size(); ++i) {
    TQbProfile p;
    p.pn = names[i];
    p.zf = "C:\\backup\\" + names[i] + ".zip";
    p.efil = efil;
    if (names[i] == "Multi") p.cns = "PC1";
    p.SaveToRegistry();
    ini.SetProfileName(static_cast<int>(i), names[i]);
  }
  ini.SetProfileCount(static_cast<int>(names.size()));
}

// A click on a tool button: once its form takes input and the button is enabled, the
// bar's command for it goes to the bar's parent, as the bar sends it for a click.
inline std::vector<TScript::TStep> ClickTool(const tk::TToolButton& b) {
  HWND bar = b.ToolBar()->Handle();
  const int index = b.Index();
  return {TScript::Call([bar, index] {
    HWND form = GetAncestor(bar, GA_ROOT);
    if (qbtest::VisibleBox() || !IsWindowVisible(form) || !IsWindowEnabled(form)) return false;
    TBBUTTON button{};
    if (!SendMessageW(bar, TB_GETBUTTON, index, reinterpret_cast<LPARAM>(&button))) return false;
    if (!SendMessageW(bar, TB_ISBUTTONENABLED, button.idCommand, 0)) return false;
    PostMessageW(GetParent(bar), WM_COMMAND, MAKEWPARAM(button.idCommand, BN_CLICKED), reinterpret_cast<LPARAM>(bar));
    return true;
  })};
}

// A step that waits until the form shows and takes input with no box over it, then
// runs fn (on the script's thread: windows are reached with SendMessage).
inline TScript::TStep When(HWND form, std::function<void()> fn) {
  return TScript::Call([form, fn] {
    if (qbtest::VisibleBox() || !IsWindowVisible(form) || !IsWindowEnabled(form)) return false;
    fn();
    return true;
  });
}

inline void Tick(HWND list, int row, bool on = true) {
  LVITEMW it{};
  it.stateMask = LVIS_STATEIMAGEMASK;
  it.state = INDEXTOSTATEIMAGEMASK(on ? 2 : 1);
  SendMessageW(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&it));
}

inline void Select(HWND list, int row) {
  LVITEMW it{};
  it.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  it.state = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessageW(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&it));
}

// The user's choice of an item of a drop-down list.
inline void Choose(HWND combo, int index) {
  SendMessageW(combo, CB_SETCURSEL, index, 0);
  SendMessageW(GetParent(combo), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(combo), CBN_SELCHANGE),
               reinterpret_cast<LPARAM>(combo));
}

inline void SetText(HWND w, const std::string& text) {
  SendMessageW(w, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(tk::Widen(text).c_str()));
}

// The scheduler as the manager finds it: its class and title. Counts the reload
// messages that reach it.
class TSchedulerWindow {
 public:
  TSchedulerWindow() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = Proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = QbSchWindowClass;
    RegisterClassW(&wc);
    hwnd_ = CreateWindowW(QbSchWindowClass, QbSchWindowTitle, WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                          wc.hInstance, nullptr);
    Reloads() = 0;
  }
  ~TSchedulerWindow() { DestroyWindow(hwnd_); }
  // Lets the posted messages arrive, then gives their number.
  int ReloadCount() {
    MSG msg;
    for (int i = 0; i < 10; ++i) {
      while (PeekMessageW(&msg, hwnd_, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
      Sleep(10);
    }
    return Reloads();
  }
  HWND Handle() const { return hwnd_; }

 private:
  static int& Reloads() {
    static int n = 0;
    return n;
  }
  static LRESULT CALLBACK Proc(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (m == WM_APP + 12) ++Reloads();
    return DefWindowProcW(h, m, w, l);
  }
  HWND hwnd_;
};

}  // namespace edtest
