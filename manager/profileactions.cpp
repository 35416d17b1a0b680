// The main window's profile actions: new, copy, edit and view through the wizard,
// rename, move and delete (what they do to the stored settings is profileops.cpp's),
// and the runner starts for the selection or for every profile.
#include <windows.h>

#include <vector>

#include "manager/mainform.h"
#include "manager/profileops.h"
#include "manager/wizard.h"
#include "settings/fernoglobal.h"
#include "settings/foschedules.h"
#include "settings/profilename.h"
#include "settings/vglobal.h"
#include "toolkit/stringlist.h"
#include "toolkit/strings.h"
#include "toolkit/win_inputbox.h"

namespace {

// Sub-item indexes of lvProfiles and lvMcProfiles2.
constexpr int subZipSize = 4, subSource = 3;

std::string Quoted(const std::string& name) { return "\"" + name + "\""; }

// Whether the flag at position differs between the two profiles.
bool FlagChanged(const TQbProfile& a, const TQbProfile& b, int position) {
  return a.b->GetFlag(position) != b.b->GetFlag(position);
}

// Whether the edit touched what the zips already made were built from.
bool EditNeedsAdvice(const TQbProfile& before, const TQbProfile& after) {
  if (FlagChanged(before, after, poStoreAndZip) || before.ec != after.ec) return true;
  if (!after.IsMultiComputer() &&
      (FlagChanged(before, after, poNoFolderNames) || before.bdir != after.bdir || before.il != after.il))
    return true;
  if (before.b->GetFlag(poRecurse) && !after.b->GetFlag(poRecurse)) return true;
  for (int position : {poArchiveOnly, poCurrentMonth, poCurrentWeek, poCurrentDay, poHiddenAndSystem, poShortNames})
    if (FlagChanged(before, after, position)) return true;
  return before.adt != after.adt;
}

// The computer of a computer row's "Source" text (\\<computer>\...).
std::string ComputerOfSource(const std::string& source) {
  if (source.size() < 2 || source[0] != '\\' || source[1] != '\\') return "";
  const size_t end = source.find('\\', 2);
  return source.substr(2, end == std::string::npos ? std::string::npos : end - 2);
}

}  // namespace

// ---------------------------------------------------------------- helpers

tk::TListView* TMainForm::GetChosenZipRow(bool report, int* row) {
  tk::TListView* lv = ActiveControl() == &lvProfiles      ? &lvProfiles
                      : ActiveControl() == &lvMcProfiles2 ? &lvMcProfiles2
                                                          : nullptr;
  if (lv && lv->SelCount() == 1) {
    if (row) *row = lv->ItemIndex();
    return lv;
  }
  if (report) MsgDlg("Select an item for ZIP file", "ii");
  return nullptr;
}

TWizardForm& TMainForm::Wizard() {
  if (!wizardForm_) {
    wizardForm_ = std::make_unique<TWizardForm>();
    wizardForm_->OnHelp = [this] { axnHelpTopics->Execute(); };
    wizardForm_->ModeImages = ilToolbar.Handle();
    wizardForm_->ModeImageIndexes = {axnNewProfile->ImageIndex,  axnNewMcProfile->ImageIndex,
                                     axnCopyProfile->ImageIndex, axnEditProfile->ImageIndex,
                                     axnViewProfile->ImageIndex, axnNewZipfile->ImageIndex};
  }
  return *wizardForm_;
}

std::string TMainForm::QuotedProfileList() {
  std::string list;
  for (tk::TListView* lv : {&lvProfiles, &lvMcProfiles})
    for (int i = 0; i < lv->Count(); ++i) list += (list.empty() ? "" : " ") + QuoteIfSpaces(lv->ItemCaption(i));
  return list;
}

// ---------------------------------------------------------------- new, copy, edit, view

void TMainForm::SaveNewProfile() {
  TWizardForm& wizard = Wizard();
  wizard.SetCaption("Create New Profile");
  // The wizard stores the record on Finish and ends with OK only when it was saved,
  // so the list entry is written only for a profile that exists.
  const bool saved = wizard.ShowModal() == tk::mrOk;
  WizardMode = 0;
  if (!saved) return;
  const std::string name = wizard.StoredProfile().pn;
  auto p = std::make_unique<TQbProfile>();
  if (!LoadProfileOfKey(*p, name)) return;
  TQbProfile* profile = p.get();
  const bool firstMc = profile->IsMultiComputer() && lvMcProfiles.Count() == 0;
  Ini->AddProfileName(name);
  AddProfileRow(std::move(p));
  if (firstMc) {
    FillComputerRows(*profile);
    LastMcProfile = name;
  }
  ProfilesChanged = true;
}

void TMainForm::axnNewProfileExecute() {
  WizardMode = wmNewProfile;
  Wizard().Open(wzNew);
  SaveNewProfile();
}

void TMainForm::axnNewMcProfileExecute() {
  WizardMode = wmNewMcProfile;
  Wizard().Open(wzNewMc);
  SaveNewProfile();
}

void TMainForm::axnCopyProfileExecute() {
  if (!GetSelectedProfile(true)) return;
  WizardMode = wmCopy;
  if (!Wizard().Open(wzCopy, CurrentProfileName)) {
    WizardMode = 0;
    return;
  }
  SaveNewProfile();
}

void TMainForm::axnViewProfileExecute() {
  if (!GetSelectedProfile(true)) return;
  WizardMode = wmView;
  if (Wizard().Open(wzView, CurrentProfileName)) wizardForm_->ShowModal();
  WizardMode = 0;
}

void TMainForm::axnEditProfileExecute() {
  int row = -1;
  tk::TListView* lv = GetSelectedProfile(true, &row);
  if (!lv) return;
  TQbProfile* p = RowProfile(*lv, row);
  if (!p) return;
  const std::string name = CurrentProfileName;
  TWizardForm& wizard = Wizard();
  WizardMode = wmEdit;
  if (!wizard.Open(wzEdit, name)) {
    WizardMode = 0;
    return;
  }
  // The state before the edit, read back through the wizard as the saved one will be.
  auto before = std::make_unique<TQbProfile>();
  LoadProfileOfKey(*before, name);
  wizard.WizardMode = wzEdit | wzView;
  wizard.FormToProfile(before.get());
  wizard.WizardMode = wzEdit;
  const bool saved = wizard.ShowModal() == tk::mrOk;
  WizardMode = 0;
  if (!saved) return;
  LoadProfileOfKey(*p, name);
  if (p->lrun != 0 && EditNeedsAdvice(*before, *p))
    MsgDlg("For the changes made, it might be better to delete existing ZIP(s).\r\n"
           "For details, see help file on \"Profile Edit\" command",
           "ii");
  if (p->IsMultiComputer()) {
    p->RemoveStaleComputerValues();
    p->UpdateZipErrorTotal();
    p->UpdateTestErrorTotal();
    UpdateAllRunsOK();
    UpdateAllTestsOK();
  }
  Ini->SetToRefresh(Quoted(p->pn));
  RefreshProfileRows(true);
  tk::TStringList errors;
  p->PruneZipLogs(errors);
  ProfilesChanged = true;
}

// ---------------------------------------------------------------- rename

void TMainForm::axnRenameProfileExecute() {
  int row = -1;
  tk::TListView* lv = GetSelectedProfile(true, &row);
  if (!lv) return;
  TQbProfile* p = RowProfile(*lv, row);
  if (!p) return;
  const std::string oldName = CurrentProfileName;
  std::string answer = oldName;
  if (!tk::InputQuery("Rename", "New profile name", answer)) return;
  const std::string newName = tk::Trim(answer);
  if (const TNameRefusal refusal = RefuseNewProfileName(*Ini, newName); !refusal.Text.empty()) {
    MsgDlg(refusal.Text, refusal.Codes);
    return;
  }
  if (!RenameProfile(*Ini, oldName, newName)) {
    MsgDlg("The profile \"" + oldName + "\" could not be renamed. It was left as it was.", "ie");
    return;
  }
  p->pn = newName;
  lv->SetItemCaption(row, newName);
  if (p->IsMultiComputer()) {
    LastMcProfile = newName;
    if (tk::SameText(ShownMcProfile, oldName)) ShownMcProfile = newName;
  } else {
    LastProfile = newName;
  }
  ProfilesChanged = true;
}

// ---------------------------------------------------------------- move

void TMainForm::MoveProfile(int delta) {
  int row = -1;
  tk::TListView* lv = GetSelectedProfile(true, &row);
  if (!lv) return;
  const int other = row + delta;
  if (other < 0 || other >= lv->Count()) return;
  const LPARAM moved = lv->Data(row);
  lv->SetData(row, lv->Data(other));
  lv->SetData(other, moved);
  if (lv == &lvMcProfiles) {
    for (int i : {row, other})
      if (TQbProfile* p = RowProfile(*lv, i)) lv->SetItemCaption(i, p->pn);
  } else {
    const std::string size = lv->SubItem(row, subZipSize);
    UpdateProfileRow(row, false);
    UpdateProfileRow(other, false);
    lv->SetSubItem(row, subZipSize, lv->SubItem(other, subZipSize));
    lv->SetSubItem(other, subZipSize, size);
  }
  SuppressComputerFill = true;
  SelectProfileByName(*lv, lv->ItemCaption(other));
  SuppressComputerFill = false;
  OrderChanged = true;
  ProfilesChanged = true;
}

void TMainForm::axnMoveProfileUpExecute() { MoveProfile(-1); }
void TMainForm::axnMoveProfileDownExecute() { MoveProfile(+1); }

// ---------------------------------------------------------------- delete

void TMainForm::axnDeleteProfileExecute() {
  int row = -1;
  tk::TListView* lv = GetSelectedProfile(true, &row);
  if (!lv) return;
  TQbProfile* p = RowProfile(*lv, row);
  const std::string name = CurrentProfileName;
  // Never act on the Profiles key itself.
  if (!p || name.empty()) return;
  if (const std::string reason = ProfileDeleteBlocker(*Ini, name); !reason.empty()) {
    MsgDlg("The profile \"" + name + "\" can't be deleted.\r\n" + reason, "ii");
    return;
  }
  if (MsgDlg("Are you sure to delete the profile " + name + "?", "iwyn") != tk::mrYes) return;

  const bool multi = p->IsMultiComputer();
  lv->DeleteItem(row);
  if (lv->Count() > 0) {
    const int next = row > 0 ? row - 1 : 0;
    lv->SetItemIndex(next);
    lv->SetItemFocused(next);
  } else if (multi) {
    lvMcProfiles2.Clear();
    ShownMcProfile.clear();
  }
  DeleteProfileData(*Ini, *p, name);
  ReleaseProfile(p);
  WriteProfileNames();
  UpdateAllRunsOK();
  UpdateAllTestsOK();
  ProfilesChanged = true;
}

// ---------------------------------------------------------------- runner

void TMainForm::RunSelectedProfiles(char letter, bool all) {
  std::string list;
  if (all) {
    list = QuotedProfileList();
  } else if (ActiveControl() == &lvProfiles || ActiveControl() == &lvMcProfiles) {
    tk::TListView& lv = ActiveControl() == &lvProfiles ? lvProfiles : lvMcProfiles;
    for (int i = 0; i < lv.Count(); ++i)
      if (lv.Selected(i)) list += (list.empty() ? "" : " ") + QuoteIfSpaces(lv.ItemCaption(i));
  } else if (ActiveControl() == &lvMcProfiles2 && lvMcProfiles2.SelCount() > 0) {
    list = QuoteIfSpaces(ShownMcProfile);
    std::vector<std::string> computers;
    for (int i = 0; i < lvMcProfiles2.Count(); ++i)
      if (lvMcProfiles2.Selected(i)) computers.push_back(ComputerOfSource(lvMcProfiles2.SubItem(i, subSource)));
    Ini->SetsSelectedMcNames(tk::ToCommaText(computers));
  }
  if (list.empty()) {
    if (!all) MsgDlg("Make a selection", "ii");
    return;
  }
  RunProfile(letter, list, false);
  ProfilesChanged = true;
}

void TMainForm::axnRunProfileExecute() { RunSelectedProfiles('R', false); }
void TMainForm::axnRunAndTestExecute() { RunSelectedProfiles('B', false); }

void TMainForm::axnTestzipfileExecute() {
  if (!Ini->GetDontShowMBoxOnTest()) {
    bool showAgain = true;
    // The box is wide enough for "Don't show again" beside its check mark in Tahoma 8.
    InfoDlgDontShowAgain("AntiVirus software may slow down Testing on network drives and cause heavy network "
                         "trafic. See Known Issue on Help.",
                         130, 120, showAgain);
    if (!showAgain) Ini->SetDontShowMBoxOnTest(true);
  }
  RunSelectedProfiles('T', false);
}

void TMainForm::axnRunAllProfilesExecute() {
  if (CheckHaveProfiles()) RunSelectedProfiles('R', true);
}

void TMainForm::axnTestAllZipfilesExecute() {
  if (CheckHaveProfiles()) RunSelectedProfiles('T', true);
}
