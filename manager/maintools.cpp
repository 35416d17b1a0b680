// The main window's own tools: the version check a moment after start, refresh,
// exit, the scheduler start, the web site and mail items, erasing the old settings
// layout, and the openers of the About box, the zip log view and the error view.
#include <windows.h>

#include "manager/about.h"
#include "manager/ew.h"
#include "manager/mainform.h"
#include "manager/shelllaunch.h"
#include "manager/ziplog.h"
#include "settings/fernoglobal.h"
#include "settings/protocol.h"
#include "settings/foconsts.h"
#include "settings/verinfo.h"
#include "settings/vglobal.h"
#include "toolkit/files.h"
#include "toolkit/strings.h"

// ---------------------------------------------------------------- version check

std::string TMainForm::FileVersionMismatches(const std::string& folder) {
  struct TExpected {
    const char* Name;
    bool Library;
  };
  static const TExpected files[] = {{QbExe, false},   {RunQbExe, false}, {QbSchExe, false},
                                    {QbEwExe, false}, {DZipDll, true},   {DUnzipDll, true}};
  std::string lines;
  for (const TExpected& f : files) {
    const std::string path = folder + f.Name;
    if (!tk::FileExists(path)) continue;
    bool pass = false;
    try {
      TFileVersionInfo info;
      info.SetFileName(path);
      pass = f.Library ? info.MajorVersion() == 5 && info.MinorVersion() == 0 && info.Release() == 0 &&
                             info.Build() == 3
                       : info.MajorVersion() == 2 && info.MinorVersion() == 0;
    } catch (const std::exception&) {
      pass = false;  // a resource that cannot be read fails like a missing one
    }
    if (!pass) lines += path + " should be " + (f.Library ? "5.0.0.3" : "2.0.0.0") + "\r\n";
  }
  return lines;
}

void TMainForm::Timer1Timer() {
  Timer1.SetEnabled(false);
  if (!NameWarnings.empty())
    MsgDlg("These profiles are shown, run and kept under the name of their key:\r\n\r\n" + NameWarnings, "iw");
  NameWarnings.clear();
  if (Ini->GetDoNotVerifyAppFileVersions()) return;
  const std::string lines = FileVersionMismatches(tk::ProgramDir());
  if (!lines.empty()) MsgDlg("File version mismatch :\r\n\r\n" + lines, "iw");
}

// ---------------------------------------------------------------- tools

void TMainForm::axnRefreshExecute() { RefreshProfileRows(false); }

// Exit goes through the closing steps, so that a moved profile order, the layout and
// the automatic export are kept as when the window is closed.
void TMainForm::axnExitExecute() { Close(); }

// The result is not checked: the scheduler refuses a second instance itself.
void TMainForm::axnRunSchedulerExecute() { StartProgram(QuoteIfSpaces(tk::ProgramDir() + QbSchExe)); }

void TMainForm::axnWWWExecute() { OpenWebSite(); }

void TMainForm::axnMailExecute() { OpenSupportMail(); }

void TMainForm::axnEraseOldProfilesExecute() {
  if (MsgDlg("You can safely erase old profiles after your profiles are converted to v2.0\r\n\r\n" +
                 axnEraseOldProfiles->Caption + "?",
             "iqyn") != tk::mrYes)
    return;
  RegDeleteTreeW(HKEY_CURRENT_USER, tk::Widen(OldQuillbankRootKey).c_str());
  RegDeleteKeyW(HKEY_CURRENT_USER, tk::Widen(OldQuillbankRootKey).c_str());
}

// ---------------------------------------------------------------- views

void TMainForm::axnAboutExecute() {
  if (!aboutForm_) {
    aboutForm_ = std::make_unique<TAboutForm>();
    aboutForm_->OnWebSite = [this] { axnWWW->Execute(); };
  }
  aboutForm_->ShowModal();
}

void TMainForm::axnZipLogExecute() {
  if (!GetSelectedProfile(false)) return;
  if (!zipLogForm_) zipLogForm_ = std::make_unique<TZipLogForm>();
  zipLogForm_->ProfileName = CurrentProfileName;
  zipLogForm_->ShowModal();
}

void TMainForm::axnEwExecute() {
  const std::string folder = GetErrorsDir();
  if (!tk::DirectoryExists(folder)) {
    MsgDlg("Directory does not exist\r\n" + folder, "ie");
    return;
  }
  DeleteOldErrorFiles(Ini->GetDaysToKeepErrors(), true);
  if (!ewForm_) ewForm_ = std::make_unique<TEwForm>();
  ewForm_->ShowModal();
}
