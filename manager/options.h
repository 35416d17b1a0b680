#pragma once
// The options dialog: the program-wide settings of the manager, the runner and the
// scheduler on five pages (main window, running, progress bar, autorun, misc). It
// reads the settings at each showing; OK checks the one rule, writes every value
// through the settings store and reports the display settings to the main window
// through OnApply, which applies them at once. Cancel writes nothing.
#include <functional>
#include <string>

#include "controls/g32progressbarui.h"
#include "controls/memodialog.h"
#include "controls/multicolorcombobox.h"
#include "manager/help.h"
#include "toolkit/win_form.h"
#include "toolkit/win_groupbox.h"
#include "toolkit/win_pagecontrol.h"
#include "toolkit/win_updown.h"

// The display settings after OK and which of them differ from before the showing;
// the main window redraws what they name.
struct TOptionsApplied {
  bool Use2ColorView = false;
  tk::TColor AlternateColor = 0, AlternateColor2 = 0;
  std::string DateFormat;
  std::string TimeSuffix;  // "  hh:nn:ss", "  hh:nn:ss AM/PM" or ""
  std::string ZipFileSizeUnit;
  int ZipFileSizePrecision = 2;
  bool UseSavedSize = false;
  bool XPMenu = false;

  bool ColorsChanged = false;  // the list views' alternate row colours
  bool DatesChanged = false;   // date format or time suffix: ReformatDates
  bool SizesChanged = false;   // unit, precision or saved size: RefreshZipSizes
  bool XPMenuChanged = false;  // ApplyXPMenu
  bool AnyChanged() const { return ColorsChanged || DatesChanged || SizesChanged || XPMenuChanged; }
};

class TOptionsForm : public tk::TForm, public THelpTopicSource {
 public:
  TOptionsForm();

  tk::TPageControl PageControl1;
  tk::TTabSheet tsMainWindow, tsAction, tsProgressbar, tsAutoRun, tsMisc;
  // Main
  tk::TCheckBox chkUse2ColorView;
  g32::TMultiColorComboBox MultiColorComboBox1;
  tk::TGroupBox gbDates;
  tk::TLabel lblDateFormat;
  tk::TComboBox cbDateFormat;
  tk::TCheckBox chkIncludeTime, chkUse24HourTimeFormat;
  tk::TGroupBox gbZipSize;
  tk::TLabel lblZipSize, lblZipFileSizePrecision;
  tk::TComboBox cbZipFileSizeUnit, cbZipFileSizePrecision;
  tk::TCheckBox chkUseSavedSize, chkXPMenu, chkShowButtonText;
  // Running
  tk::TCheckBox chkShowFNOnRun;
  tk::TLabel lblFNNote;
  tk::TCheckBox chkSchOnStartup;
  tk::TImage imgSch;
  tk::TCheckBox chkAutoRefresh;
  tk::TGroupBox gbTemp;
  tk::TCheckBox chkUseWinTempDir;
  tk::TLabel lblTempDir;
  tk::TEdit edTempDir;
  tk::TButton btnTempDir;
  tk::TGroupBox gbDelay;
  tk::TLabel lblDefaultDelay;
  tk::TEdit edRunAndTestDelay;
  tk::TUpDown udRunAndTestDelay;
  tk::TButton btnCustomRunAndTestDelay;
  // Progress bar
  tk::TCheckBox chkColorProgress;
  tk::TPageControl PageControl2;
  tk::TTabSheet tsRunning, tsTesting;
  g32::TG32ProgressbarFrame G32ProgressbarFrame1, G32ProgressbarFrame2;
  // AutoRun
  tk::TLabel lblSkipWhen, lblKeyIsDown, lblWin9x;
  tk::TComboBox cbDontAutoRun;
  tk::TCheckBox chkBeepOnAutoRunSkip;
  tk::TLabel lblAutoRunDelay, lblAutoRunSeconds;
  tk::TEdit edAutoRunDelay;
  tk::TUpDown udAutoRunDelay;
  tk::TCheckBox chkRememberAutoRunSelection;
  tk::TLabel lblTrayNote1, lblTrayNote2;
  tk::TGroupBox gboxNTBeep;
  tk::TLabel lblBeepFrequency, lblBeepDuration;
  tk::TEdit edBeepFrequency, edBeepDuration;
  tk::TUpDown udBeepFrequency, udBeepDuration;
  tk::TButton btnTest, btnDefault;
  // Misc
  tk::TCheckBox chkMaskPassword, chkDontShowEwDlgViaSch, chkAllowUndo, chkBackupToReg,
      chkRegBackupToMyDocuments;
  tk::TLabel lblBackupDir;
  tk::TEdit edRegBackupDir;
  tk::TButton btnRegBackupDir;
  tk::TCheckBox chkBeepOnRegBackupError, chkExploreTargetFolder;
  tk::TLabel lblDefaultComment;
  tk::TButton btnDefaultComment;
  tk::TLabel lblKeepErrors, lblDays;
  tk::TEdit edDaysToKeepErrors;
  tk::TUpDown udDaysToKeepErrors;
  tk::TCheckBox chkShutdownOnDLLInitFailed;
  // Buttons
  tk::TButton btnOK, btnCancel, btnHelp;

  g32::TMemoDialog mmodlgCustomRunAndTestDelay, mmodlgDefaultComment;

  // The help page of the active page: "options1" to "options5".
  std::string HelpTopic() const override;
  // Runs the main window's help action (the help button).
  std::function<void()> OnHelp;
  // After OK has stored the values: the display settings for the running main window.
  std::function<void(const TOptionsApplied& applied)> OnApply;
  // The result of the last OK (all false after Cancel).
  const TOptionsApplied& Applied() const { return applied_; }

  void FormShow();
  void btnOKClick();
  void chkSchOnStartupClick();
  void chkUseWinTempDirClick();
  void chkBackupToRegClick();
  void btnTempDirClick();
  void btnRegBackupDirClick();
  void btnDefaultClick();

 private:
  void ApplyBackupFolderRule();
  void ApplyPrecisionVisibility();
  void SetEditEnabled(tk::TEdit& edit, bool enabled);
  TOptionsApplied DisplayNow() const;
  bool loaded_ = false;
  TOptionsApplied before_, applied_;
};
