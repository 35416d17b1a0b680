#include "toolkit/win_dialogs.h"

#include <shlobj.h>

#include <vector>

#include "toolkit/strings.h"
#include "toolkit/win_app.h"
#include "toolkit/win_form.h"

namespace tk {

namespace {

HWND DefaultOwner(HWND owner) {
  if (owner) return owner;
  if (TForm* f = Application.ActiveForm()) return f->Handle();
  if (TForm* m = Application.MainForm()) return m->Handle();
  return nullptr;
}

constexpr UINT_PTR kReselectTimer = 0x5142;
const wchar_t kStartProp[] = L"QbBrowseStart";

// Selects the start folder again once the dialog runs its loop: a selection made while the
// dialog is being set up may stop part-way down the folder tree.
void CALLBACK ReselectStart(HWND hwnd, UINT, UINT_PTR id, DWORD) {
  KillTimer(hwnd, id);
  if (HANDLE start = RemovePropW(hwnd, kStartProp)) SendMessageW(hwnd, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(start));
}

int CALLBACK BrowseCallback(HWND hwnd, UINT msg, LPARAM, LPARAM data) {
  if (msg == BFFM_INITIALIZED && data) {
    SendMessageW(hwnd, BFFM_SETSELECTIONW, TRUE, data);
    SetPropW(hwnd, kStartProp, reinterpret_cast<HANDLE>(data));
    SetTimer(hwnd, kReselectTimer, 50, ReselectStart);
  }
  return 0;
}

}  // namespace

bool SelectDirectory(const std::string& caption, const std::string& root, std::string& directory, HWND owner,
                     bool newStyle) {
  // The browser's views are COM objects: without COM on this thread it may show nothing.
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  struct ComScope {
    bool own;
    ~ComScope() {
      if (own) CoUninitialize();
    }
  } comScope{SUCCEEDED(com)};
  std::wstring title = Widen(caption);
  std::wstring start = Widen(directory);
  PIDLIST_ABSOLUTE rootPidl = nullptr;
  if (!root.empty()) SHParseDisplayName(Widen(root).c_str(), nullptr, &rootPidl, 0, nullptr);
  wchar_t display[MAX_PATH] = {};
  BROWSEINFOW bi{};
  bi.hwndOwner = DefaultOwner(owner);
  bi.pidlRoot = rootPidl;
  bi.pszDisplayName = display;
  bi.lpszTitle = title.c_str();
  bi.ulFlags = BIF_RETURNONLYFSDIRS | (newStyle ? BIF_NEWDIALOGSTYLE : 0);
  bi.lpfn = BrowseCallback;
  bi.lParam = start.empty() ? 0 : reinterpret_cast<LPARAM>(start.c_str());
  PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&bi);
  bool ok = false;
  if (chosen) {
    std::vector<wchar_t> path(32768, L'\0');
    if (SHGetPathFromIDListEx(chosen, path.data(), static_cast<DWORD>(path.size()), GPFIDL_DEFAULT)) {
      directory = Narrow(std::wstring(path.data()));
      ok = true;
    }
    CoTaskMemFree(chosen);
  }
  if (rootPidl) CoTaskMemFree(rootPidl);
  return ok;
}

std::wstring FilterToWin32(const std::string& filter) {
  std::wstring w = Widen(filter);
  for (wchar_t& c : w)
    if (c == L'|') c = L'\0';
  w.push_back(L'\0');
  w.push_back(L'\0');
  return w;
}

bool TOpenDialog::Execute(HWND owner) {
  std::vector<wchar_t> file(32768, L'\0');
  std::wstring initial = Widen(FileName);
  if (initial.size() < file.size()) std::copy(initial.begin(), initial.end(), file.begin());
  std::wstring filter = FilterToWin32(Filter), title = Widen(Title), dir = Widen(InitialDir),
               ext = Widen(DefaultExt);
  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof(ofn);
  ofn.hwndOwner = DefaultOwner(owner);
  ofn.lpstrFilter = Filter.empty() ? nullptr : filter.c_str();
  ofn.nFilterIndex = static_cast<DWORD>(FilterIndex);
  ofn.lpstrFile = file.data();
  ofn.nMaxFile = static_cast<DWORD>(file.size());
  ofn.lpstrInitialDir = InitialDir.empty() ? nullptr : dir.c_str();
  ofn.lpstrTitle = Title.empty() ? nullptr : title.c_str();
  ofn.lpstrDefExt = DefaultExt.empty() ? nullptr : ext.c_str();
  ofn.Flags = OFN_EXPLORER;
  if (Options & ofOverwritePrompt) ofn.Flags |= OFN_OVERWRITEPROMPT;
  if (Options & ofHideReadOnly) ofn.Flags |= OFN_HIDEREADONLY;
  if (Options & ofPathMustExist) ofn.Flags |= OFN_PATHMUSTEXIST;
  if (Options & ofFileMustExist) ofn.Flags |= OFN_FILEMUSTEXIST;
  if (Options & ofNoChangeDir) ofn.Flags |= OFN_NOCHANGEDIR;
  if (Options & ofEnableSizing) ofn.Flags |= OFN_ENABLESIZING;
  if (!Run(ofn)) return false;
  FileName = Narrow(std::wstring(file.data()));
  FilterIndex = static_cast<int>(ofn.nFilterIndex);
  return true;
}

}  // namespace tk
