// Qb.exe: the manager's start. The shut-down forms are handled first (they work while
// a manager window is open), then the single-instance and own-name checks, then the
// application set-up and the main window.
#include <windows.h>

#include <memory>

#include "controls/shadowhint.h"
#include "manager/mainform.h"
#include "settings/fernoglobal.h"
#include "settings/protocol.h"
#include "settings/syshelpers.h"
#include "toolkit/cmdline.h"
#include "toolkit/files.h"
#include "toolkit/format.h"
#include "toolkit/strings.h"
#include "toolkit/win_hovertips.h"

namespace {

bool HasShutdownSwitch() {
  for (int i = 1; i <= tk::ParamCount(); ++i) {
    const std::string p = tk::ParamStr(i);
    if (p.size() > 1 && (p[0] == '-' || p[0] == '/') && tk::SameText(p.substr(1), QbShutdownSwitch)) return true;
  }
  return false;
}

void EndSession() {
  const std::string kind = tk::ParamStr(2);
  if (kind == QbShutdownLogOff) LogOffSession();
  else if (kind == QbShutdownShutDown) ShutDownComputer(true);
  else if (kind == QbShutdownPowerOff) ShutDownComputer(false);
}

bool TitleBeginsWithProduct(HWND w) {
  wchar_t title[80] = {0};
  GetWindowTextW(w, title, 80);
  const std::string text = tk::Narrow(title);
  const std::string product = QbMainCaption;
  return text.size() >= product.size() && tk::SameText(text.substr(0, product.size()), product);
}

bool IsMainFormClass(HWND w) {
  wchar_t cls[250] = {0};
  return GetClassNameW(w, cls, 250) > 0 && std::wstring(cls) == QbMainWindowClass;
}

// The first top-level window whose title begins with the product name.
BOOL CALLBACK FirstCandidate(HWND w, LPARAM lp) {
  if (!TitleBeginsWithProduct(w)) return TRUE;
  *reinterpret_cast<HWND*>(lp) = w;
  return FALSE;
}

// Any top-level main window of a manager, whatever window comes first.
BOOL CALLBACK AnyManagerWindow(HWND w, LPARAM lp) {
  if (!IsMainFormClass(w) || !TitleBeginsWithProduct(w)) return TRUE;
  *reinterpret_cast<HWND*>(lp) = w;
  return FALSE;
}

// Another manager runs: its window by the exact title, else the first window whose
// title begins with the product name. Looking only at that first window would let a
// second manager start behind an unrelated window, and both would rewrite the profile
// order at closing; so every top-level manager window counts, and a named mutex
// covers two managers starting at the same moment.
bool AnotherManagerRuns(HANDLE& mutex) {
  HWND earlier = FindWindowW(QbMainWindowClass, tk::Widen(QbMainCaption).c_str());
  if (!earlier) EnumWindows(FirstCandidate, reinterpret_cast<LPARAM>(&earlier));
  if (earlier && IsMainFormClass(earlier)) return true;
  HWND any = nullptr;
  EnumWindows(AnyManagerWindow, reinterpret_cast<LPARAM>(&any));
  if (any) return true;
  mutex = CreateMutexW(nullptr, TRUE, L"Local\\QuillbankManager");
  return mutex && GetLastError() == ERROR_ALREADY_EXISTS;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  tk::SetDecimalSeparator('.');
  if (HasShutdownSwitch()) {
    EndSession();
    return 0;
  }
  HANDLE mutex = nullptr;
  if (AnotherManagerRuns(mutex)) {
    MsgDlg("Quillbank is already running", "iw");
    return 0;
  }
  if (!tk::SameText(tk::ExtractFileName(tk::ParamStr(0)), QbExe)) {
    MsgDlg(std::string("Don't rename the EXE file, it should be ") + QbExe, "ie");
    return 0;
  }
  tk::Application.SetTitle(QbMainCaption);
  g32::InitHintShadow();
  tk::EnableHoverHints({.HintPause = 100, .HintHidePause = 10000, .HintShortCuts = true});
  {
    auto form = std::make_unique<TMainForm>();
    tk::Application.SetMainForm(form.get());
    tk::Application.Run();
  }
  if (mutex) CloseHandle(mutex);
  return 0;
}
