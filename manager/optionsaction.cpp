// The Options action of the main window: the options dialog, made on first use and
// kept, and the display settings it reports after OK applied to this window at once.
#include "manager/mainform.h"
#include "manager/options.h"

void TMainForm::axnOptionsExecute() {
  if (!optionsForm_) optionsForm_ = std::make_unique<TOptionsForm>();
  // The help button asks the help action, which takes the topic of the page shown.
  optionsForm_->OnHelp = [this] { axnHelpTopics->Execute(); };
  optionsForm_->OnApply = [this](const TOptionsApplied& applied) { ApplyDisplayOptions(applied); };
  optionsForm_->ShowModal();
}

void TMainForm::ApplyDisplayOptions(const TOptionsApplied& applied) {
  TwoColorRows = applied.Use2ColorView;
  RowColor1 = applied.AlternateColor;
  RowColor2 = applied.AlternateColor2;
  DateFormat = applied.DateFormat;
  TimeSuffix = applied.TimeSuffix;
  ZipSizeUnit = applied.ZipFileSizeUnit;
  ZipSizePrecision = applied.ZipFileSizePrecision;
  UseSavedSize = applied.UseSavedSize;
  for (tk::TListView* lv : {&lvProfiles, &lvMcProfiles, &lvMcProfiles2}) lv->Invalidate();
  ReformatDates();
  RefreshZipSizes(false);
  // The tool bar part of the flat look; the menus and the other controls stay flat.
  ApplyXPMenu(applied.XPMenu);
  // The settings changed, so the export at closing has something new to keep.
  ProfilesChanged = true;
}
