// The main window's actions on zip files rather than on profiles: a new zip made once
// through the temporary profile, opening a zip or its folder, deleting zips, the
// split, join and extract commands of the runner; and the settings export by hand
// and the help topics.
#include <string>

#include "manager/extract.h"
#include "manager/help.h"
#include "manager/mainform.h"
#include "manager/reassemble.h"
#include "manager/regexport.h"
#include "manager/shelllaunch.h"
#include "manager/span.h"
#include "manager/wizard.h"
#include "settings/fernoglobal.h"
#include "settings/foconsts.h"
#include "settings/foschedules.h"
#include "settings/vglobal.h"
#include "toolkit/stringlist.h"

namespace {

// Columns of lvProfiles and lvMcProfiles2 as sub-item indexes.
constexpr int kZipFileSub = 2, kZipSizeSub = 4;

bool RecycleAllowed(const TFernoIni& ini, const std::string& zip) { return ini.GetAllowUndo() && IsFixedDrive(zip); }

}  // namespace

// ---------------------------------------------------------------- new zip

void TMainForm::axnNewZipfileExecute() {
  TWizardForm& wizard = Wizard();
  WizardMode = wmNewZip;
  auto profile = std::make_unique<TQbProfile>();
  profile->pn = TempProfileName;
  wizard.Open(wzNewZip);
  if (Ini->SectionExists(profile->RegistryKey())) {
    TQbProfile stored;
    stored.LoadFromRegistry(TempProfileName);
    stored.ec.clear();  // the password of a one-off zip is asked anew each time
    wizard.WizardMode = wzNewZip | wzView;
    wizard.ProfileToForm(stored);
    wizard.WizardMode = wzNewZip;
  }
  const bool ok = wizard.ShowModal() == tk::mrOk && wizard.FormToProfile(profile.get());
  if (ok) {
    profile->pn = TempProfileName;
    Ini->EraseSection(profile->RegistryKey());
    profile->SaveToRegistry();
    ProfilesChanged = true;
  }
  profile.reset();
  WizardMode = 0;
  wizard.WizardMode = 0;
  if (ok) RunProfile('R', TempProfileName, false);
}

// ---------------------------------------------------------------- open

void TMainForm::axnOpenZipfileExecute() {
  int row = -1;
  if (tk::TListView* lv = GetChosenZipRow(true, &row)) OpenZipFile(lv->SubItem(row, kZipFileSub));
}

void TMainForm::axnOpenFolderExecute() {
  int row = -1;
  if (tk::TListView* lv = GetChosenZipRow(true, &row))
    OpenZipFolder(lv->SubItem(row, kZipFileSub), Ini->GetExploreTargetFolder());
}

// ---------------------------------------------------------------- delete

void TMainForm::axnDeletezipfileExecute() {
  int row = -1;
  tk::TListView* selected = GetSelectedProfile(false, &row);
  TQbProfile* mc = selected == &lvMcProfiles ? RowProfile(lvMcProfiles, row) : nullptr;
  if (mc && mc->IsMultiComputer()) {
    const bool recycle = RecycleAllowed(*Ini, mc->zf);
    const std::string word = recycle ? "Recycle" : "Delete";
    if (MsgDlg(word + " all ZIP files of this Mc profile?", "iw yn") != tk::mrYes) return;
    if (!recycle && MsgDlg("Confirm once again for deleting multiple ZIPs.\r\n\r\n" + word +
                               " all ZIP files of this Mc profile?",
                           "iw yn") != tk::mrYes)
      return;
    int done = 0, missing = 0, failed = 0;
    for (const std::string& computer : tk::FromCommaText(mc->cns)) {
      const int result = ShellDeleteFile(mc->GetZipFileName(computer), recycle, Handle());
      if (result == -1) ++missing;
      else if (result != 0) ++failed;
      else ++done;
    }
    RefreshZipSizes(false);
    std::string text = "ZIPs " + word + "d: " + std::to_string(done);
    if (missing) text += "\r\nDoesn't exist: " + std::to_string(missing);
    if (failed) text += "\r\nCouldn't delete: " + std::to_string(failed);
    MsgDlg(text, "ii");
    return;
  }
  tk::TListView* zipList = GetChosenZipRow(true, &row);
  if (!zipList) return;
  const std::string zip = zipList->SubItem(row, kZipFileSub);
  const bool recycle = RecycleAllowed(*Ini, zip);
  if (!FileExistsQuiet(zip)) {
    MsgDlg(zip + " doesn't exist", "ii");
    return;
  }
  if (MsgDlg((recycle ? "Recycle " : "Delete ") + zip + "?", "iw yn") != tk::mrYes) return;
  if (ShellDeleteFile(zip, recycle, Handle()) != 0)
    MsgDlg(zip + (recycle ? " could not be sent to recycle bin" : " could not be deleted"), "ie");
  if (!FileExistsQuiet(zip))
    zipList->SetSubItem(row, kZipSizeSub, UseSavedSize && IsUNCPath(zip) ? "[?]" : "?");
}

// ---------------------------------------------------------------- split, join, extract

void TMainForm::axnSpanzipfileExecute() {
  if (!spanForm_) spanForm_ = std::make_unique<TSpanForm>();
  std::string zip;
  int row = -1;
  if (tk::TListView* lv = GetChosenZipRow(false, &row))
    if (TQbProfile* p = RowProfile(*lv, row)) zip = p->GetZipFileName("");
  spanForm_->PrepareForZip(zip);
  if (spanForm_->ShowModal() != tk::mrOk) return;
  RunProfile('S', SplitCommandArgs(*spanForm_), false);
}

void TMainForm::axnReassemblezipfileExecute() {
  if (!joinForm_) joinForm_ = std::make_unique<TReAssembleForm>();
  if (joinForm_->ShowModal() != tk::mrOk) return;
  RunProfile('A', JoinCommandArgs(*joinForm_), false);
}

void TMainForm::axnExtractZipfileExecute() {
  if (!extractForm_) extractForm_ = std::make_unique<TExtractForm>();
  int row = -1;
  tk::TListView* lv = GetChosenZipRow(false, &row);
  const TQbProfile* p = lv ? RowProfile(*lv, row) : nullptr;
  extractForm_->PrepareForZip(lv != nullptr, lv ? lv->SubItem(row, kZipFileSub) : std::string(),
                              p ? p->ec : std::string());
  if (extractForm_->ShowModal() != tk::mrOk) return;
  RunProfile('X', ExtractCommandArgs(*extractForm_), false);
}

// ---------------------------------------------------------------- export and help

void TMainForm::axnExportProfilesExecute() {
  if (CheckHaveProfiles()) ExportProfilesByHand();
}

void TMainForm::axnHelpTopicsExecute() { ShowHelpTopic(""); }
