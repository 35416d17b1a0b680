#include "settings/fernoglobal.h"

#include <shellapi.h>

#include <memory>

#include "settings/fernoini.h"
#include "settings/protocol.h"
#include "settings/syshelpers.h"
#include "settings/unzipfile.h"
#include "settings/vglobal.h"
#include "toolkit/files.h"
#include "toolkit/stringlist.h"
#include "toolkit/strings.h"
#include "toolkit/win_msgdlg.h"

namespace {

bool Has(const std::string& codes, const char* letters) { return codes.find(letters) != std::string::npos; }

// AllRunsOK / AllTestsOK: true when no profile carries the error value.
bool NoProfileHas(const char* errorValue) {
  TFernoIni ini;
  for (const std::string& name : ini.GetProfileNames())
    if (ini.ReadInteger(ProfileKey(name), errorValue, 0) != 0) return false;
  return true;
}

}  // namespace

int MsgDlg(const std::string& text, const std::string& codes, const std::string& /*caption*/) {
  const std::string c = tk::LowerCase(codes);
  tk::TMsgDlgType type = tk::TMsgDlgType::mtInformation;
  if (Has(c, "ie"))
    type = tk::TMsgDlgType::mtError;
  else if (Has(c, "iw"))
    type = tk::TMsgDlgType::mtWarning;
  else if (Has(c, "iq"))
    type = tk::TMsgDlgType::mtConfirmation;
  tk::TMsgDlgButtons buttons = tk::mbOK;
  if (Has(c, "ync"))
    buttons = tk::mbYes | tk::mbNo | tk::mbCancel;
  else if (Has(c, "yn"))
    buttons = tk::mbYes | tk::mbNo;
  else if (Has(c, "oc"))
    buttons = tk::mbOK | tk::mbCancel;
  return tk::MessageDlg(text, type, buttons);
}

bool ZipHasEncryptedItems(const std::string& zipFile) {
  TUnzipFile unzip;
  unzip.Options = TUnzipFlags{dz::TUnzipFlag::QuietFlag};
  unzip.lpszZipFile.SetText(zipFile);
  if (!unzip.Execute(1)) return false;
  const int count = unzip.ItemCount;
  for (int i = 0; i < count; ++i) {
    if (!unzip.Execute(2)) return false;
    if (unzip.ItemRecord().attributes & dz::kItemEncrypted) return true;
  }
  return false;
}

int CountCheckedItems(const tk::TListView& listView) {
  int n = 0;
  for (int i = 0; i < listView.Count(); ++i)
    if (listView.Checked(i)) ++n;
  return n;
}

bool EnsureDirExists(const std::string& folder) {
  if (folder.empty()) return false;
  if (DirExistsQuiet(folder)) return true;
  tk::QuietErrorMode quiet;
  return tk::ForceDirectories(folder);
}

bool EnsureLogsDir() { return EnsureDirExists(GetLogsDir()); }
bool EnsureErrorsDir() { return EnsureDirExists(GetErrorsDir()); }

void DeleteOldErrorFiles(int daysToKeep, bool showMessage) {
  const std::string dir = tk::IncludeTrailingBackslash(GetErrorsDir());
  if (!DirExistsQuiet(dir)) return;
  tk::TStringList errors;
  DeleteOldFiles(dir + "*.err", daysToKeep, errors, true);
  if (errors.Empty()) return;
  const std::string text = "Could not delete errors/warnings";
  if (showMessage)
    MsgDlg(text, "iw");
  else
    StartProgram(tk::ProgramDir() + QbEwExe + " " + QbEwNoFileName + " \"" + text + "\"");
}

bool ShutDownComputer(bool shutDownOnly) { return shutDownOnly ? ShutDownSystem() : PowerOffComputer(); }

void InfoDlgDontShowAgain(const std::string& text, int height, int checkWidth, bool& showAgain) {
  if (!showAgain) return;
  std::unique_ptr<tk::TMessageForm> dlg = tk::CreateMessageDialog(text, tk::TMsgDlgType::mtWarning, tk::mbOK);
  tk::TCheckBox check;
  dlg->SetCaption("Information");
  dlg->HandleNeeded();
  dlg->SetHeight(height);
  constexpr int kCheckHeight = 17;
  dlg->Declare({{.Control = check,
                 .Name = "chkDontShowAgain",
                 .Caption = "Don't show again",
                 .Bounds = {10, dlg->ClientHeight() - 2 * kCheckHeight, checkWidth, kCheckHeight}}});
  dlg->ShowModal();
  showAgain = !check.Checked();
  dlg->RemoveControl(check);
}

void NotifySchedulerStatus() { PostToScheduler(WM_QBSCH_RESULTSCHANGED); }

void UpdateAllRunsOK() {
  const bool ok = NoProfileHas("ze");
  TFernoIni().SetAllRunsOK(ok);
  NotifySchedulerStatus();
}

void UpdateAllTestsOK() {
  const bool ok = NoProfileHas("te");
  TFernoIni().SetAllTestsOK(ok);
  NotifySchedulerStatus();
}

bool IsInSemicolonList(const std::string& name, const std::string& list) {
  if (list.empty()) return false;
  size_t start = 0;
  for (;;) {
    const size_t end = list.find(';', start);
    const std::string item = tk::Trim(list.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (tk::SameText(item, name)) return true;
    if (end == std::string::npos) return false;
    start = end + 1;
  }
}

std::string ExtensionsToMasks(const std::string& commaText) {
  std::string masks;
  for (const std::string& item : tk::FromCommaText(commaText)) {
    // An empty item would become the mask "*." (files without extension): skip it.
    if (tk::Trim(item).empty()) continue;
    if (!masks.empty()) masks += ' ';
    masks += item.find('.') != std::string::npos ? item : "*." + item;
  }
  return masks;
}

int ShellDeleteFile(const std::string& fileName, bool allowUndo, HWND owner) {
  std::string name = fileName;
  if (tk::ExtractFilePath(name).empty()) {
    wchar_t cur[MAX_PATH * 4];
    const DWORD n = GetCurrentDirectoryW(static_cast<DWORD>(std::size(cur)), cur);
    name = tk::Narrow(std::wstring_view(cur, n)) + "\\" + name;
  }
  if (!FileExistsQuiet(name)) return -1;
  std::wstring from = tk::Widen(name);
  from.push_back(L'\0');  // a list of one, ended by a second NUL
  SHFILEOPSTRUCTW op{};
  op.hwnd = owner;
  op.wFunc = FO_DELETE;
  op.pFrom = from.c_str();
  op.fFlags = FOF_SILENT | FOF_NOCONFIRMATION | (allowUndo ? FOF_ALLOWUNDO : 0);
  return SHFileOperationW(&op);
}

int64_t GetFileSize64(const std::string& fileName) {
  WIN32_FIND_DATAW fd;
  tk::QuietErrorMode quiet;
  HANDLE h = FindFirstFileW(tk::Widen(fileName).c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return -1;
  FindClose(h);
  if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return -1;
  return (static_cast<int64_t>(fd.nFileSizeHigh) << 32) + fd.nFileSizeLow;
}
