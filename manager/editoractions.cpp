// The editors of the Tools menu opened from the main window (schedules, autoruns,
// start-up and shut-down profiles, exclude filters), and the main window's own
// profile lists put behind the services those editors call.
#include "manager/autoruns.h"
#include "manager/filters.h"
#include "manager/mainform.h"
#include "manager/mainservices.h"
#include "manager/schedules.h"
#include "manager/startupprofiles.h"

// ---------------------------------------------------------------- services

std::vector<std::string> TMainForm::ListedProfileNames() const {
  std::vector<std::string> names;
  for (const tk::TListView* lv : {&lvProfiles, &lvMcProfiles})
    for (int i = 0; i < lv->Count(); ++i) names.push_back(lv->ItemCaption(i));
  return names;
}

void TMainForm::InstallEditorServices() {
  // The window puts the stored profiles back when it goes (~TMainForm).
  ::ListAllProfileNames = [this] { return ListedProfileNames(); };
  // The rows' own profiles are changed (and saved by fn), so the lists show what is stored.
  ::ForEachListedProfile = [this](const std::function<void(TQbProfile& profile)>& fn) {
    for (const tk::TListView* lv : {&lvProfiles, &lvMcProfiles})
      for (int i = 0; i < lv->Count(); ++i)
        if (TQbProfile* p = RowProfile(*lv, i)) fn(*p);
  };
}

// ---------------------------------------------------------------- editors

void TMainForm::axnSchedulesExecute() {
  if (!CheckHaveProfiles()) return;
  if (!schedulesForm_) {
    schedulesForm_ = std::make_unique<TSchedulesForm>();
    schedulesForm_->Images = &ilToolbar;
    schedulesForm_->RowImage = axnSchedules->ImageIndex;
    // New, Edit and Delete show the pictures of the same profile actions.
    schedulesForm_->SetButtonImages(axnNewProfile->ImageIndex, axnEditProfile->ImageIndex,
                                    axnDeleteProfile->ImageIndex);
    PadToolButtonCaptions(schedulesForm_->ToolBar1);
  }
  // Stores the list (entries before surplus) and tells the scheduler to reload.
  if (EditSchedules(*schedulesForm_)) ProfilesChanged = true;
}

void TMainForm::axnAutoRunExecute() {
  if (!CheckHaveProfiles()) return;
  if (!autoRunsForm_) {
    autoRunsForm_ = std::make_unique<TAutoRunsForm>();
    autoRunsForm_->Images = &ilToolbar;
    autoRunsForm_->RowImage = axnAutoRun->ImageIndex;
    PadToolButtonCaptions(autoRunsForm_->ToolBar1);
  }
  if (EditAutoRuns(*autoRunsForm_)) ProfilesChanged = true;
}

void TMainForm::ShowStartupProfiles(int mode) {
  if (!CheckHaveProfiles()) return;
  if (!startupProfilesForm_) {
    startupProfilesForm_ = std::make_unique<TStartupProfilesForm>();
    startupProfilesForm_->OnSettingsChanged = [this] { ProfilesChanged = true; };
  }
  // The dialog stores its list itself on OK.
  startupProfilesForm_->Mode = mode;
  startupProfilesForm_->ShowModal();
}

void TMainForm::axnStartupProfilesExecute() { ShowStartupProfiles(TStartupProfilesForm::StartupMode); }

void TMainForm::axnShutdownProfilesExecute() { ShowStartupProfiles(TStartupProfilesForm::ShutdownMode); }

void TMainForm::axnExcludeFiltersExecute() {
  if (!filtersForm_) {
    filtersForm_ = std::make_unique<TFiltersForm>();
    filtersForm_->Images = &ilToolbar;
    filtersForm_->RowImage = axnExcludeFilters->ImageIndex;
    filtersForm_->OnProfilesChanged = [this] { ProfilesChanged = true; };
    PadToolButtonCaptions(filtersForm_->ToolBar1);
  }
  filtersForm_->FilterKind = 1;
  filtersForm_->ShowModal();
}
