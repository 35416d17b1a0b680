#include "manager/options.h"

#include <algorithm>

#include "manager/formfont.h"
#include "settings/fernoglobal.h"
#include "settings/fernoini.h"
#include "settings/protocol.h"
#include "settings/vglobal.h"
#include "toolkit/files.h"
#include "toolkit/format.h"
#include "toolkit/strings.h"
#include "toolkit/win_dialogs.h"

namespace {

const std::vector<std::string> kDateFormats = {"mmm-dd-yyyy", "dd-mmm-yyyy", "mm/dd/yyyy", "dd/mm/yyyy",
                                               "mm/dd/yy",    "dd/mm/yy",    "mmm-dd-yy",  "dd-mmm-yy"};
const std::vector<std::string> kSizeUnits = {"bytes", "KB", "MB", "as size fits"};
constexpr int kKeyCtrl = 17, kKeyShift = 16;

const tk::TColor kColorPairs[][2] = {
    {0xFFFFFF, 0xF7F7F7}, {0xFFFFFF, 0xEEEEEE}, {0xFFFFFF, 0xEAF4F5}, {0xFFFFFF, 0xEFF3F3},
    {0xFFFFFF, 0xF3F8F9}, {0xFFFFFF, 0xFBF2EE}, {0xFFFFFF, 0xFAE6E6}, {0xFFFFFF, 0xD8E9EC},
    {0xFFFFFF, 0xE0E9EF}, {0xEEEEEE, 0xF7F7F7}, {0xEEEEEE, 0xF3F8F9},
};

const tk::TColor kDefaultPair[2] = {0xFFFFFF, 0xF3F8F9};

std::string TimeSuffix(bool includeTime, bool hours24) {
  if (!includeTime) return "";
  return hours24 ? "  hh:nn:ss" : "  hh:nn:ss AM/PM";
}

std::string WithBackslash(std::string path) {
  if (!path.empty() && path.back() != '\\') path += '\\';
  return path;
}

// The scheduler program's own icon, read from the program beside this one, at the
// size of a large icon; nullptr when the program is not there.
HICON SchedulerIcon() {
  const std::wstring path = tk::Widen(tk::ProgramDir() + QbSchExe);
  HMODULE scheduler = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  if (!scheduler) return nullptr;
  auto* icon = static_cast<HICON>(LoadImageW(scheduler, L"ico", IMAGE_ICON, GetSystemMetrics(SM_CXICON),
                                             GetSystemMetrics(SM_CYICON), 0));
  FreeLibrary(scheduler);
  return icon;
}

}  // namespace

TOptionsForm::TOptionsForm() : TForm(L"TOptionsForm") {
  SetCaption("Options");
  BorderStyle = tk::TBorderStyle::bsDialog;
  BorderIcons = tk::biSystemMenu;
  Position = tk::TPosition::poScreenCenter;
  SetFormFont(FontOf("Tahoma", 8));
  SetClientSize(430, 334);
  auto click = [](auto f) { return std::function<void()>(f); };
  Declare({
      {.Control = PageControl1, .Name = "PageControl1", .Caption = "", .Bounds = {8, 8, 414, 286}},
      {.Control = tsMainWindow, .Name = "tsMainWindow", .Caption = "Main", .Bounds = {}, .Parent = &PageControl1},
      {.Control = tsAction, .Name = "tsAction", .Caption = " Running ", .Bounds = {}, .Parent = &PageControl1},
      {.Control = tsProgressbar, .Name = "tsProgressbar", .Caption = "Progressbar", .Bounds = {}, .Parent = &PageControl1},
      {.Control = tsAutoRun, .Name = "tsAutoRun", .Caption = "AutoRun", .Bounds = {}, .Parent = &PageControl1},
      {.Control = tsMisc, .Name = "tsMisc", .Caption = "Misc", .Bounds = {}, .Parent = &PageControl1},
      // Main
      {.Control = chkUse2ColorView, .Name = "chkUse2ColorView", .Caption = "Use alternate colors for list-views",
       .Bounds = {8, 10, 214, 17}, .Parent = &tsMainWindow, .OnClick = click([this] {
         MultiColorComboBox1.SetVisible(chkUse2ColorView.Checked());
       })},
      {.Control = MultiColorComboBox1, .Name = "MultiColorComboBox1", .Caption = "", .Bounds = {228, 8, 100, 17},
       .Parent = &tsMainWindow},
      {.Control = gbDates, .Name = "gbDates", .Caption = " 'Last Run' & 'Last tested' columns ",
       .Bounds = {8, 34, 390, 70}, .Parent = &tsMainWindow},
      {.Control = lblDateFormat, .Name = "lblDateFormat", .Caption = "Date format", .Bounds = {10, 22, 0, 0},
       .Parent = &gbDates},
      {.Control = cbDateFormat, .Name = "cbDateFormat", .Caption = "", .Bounds = {86, 18, 110, 21}, .Style = tk::cbList,
       .Parent = &gbDates},
      {.Control = chkIncludeTime, .Name = "chkIncludeTime", .Caption = "Include time", .Bounds = {210, 20, 160, 17},
       .Parent = &gbDates, .OnClick = click([this] { chkUse24HourTimeFormat.SetEnabled(chkIncludeTime.Checked()); })},
      {.Control = chkUse24HourTimeFormat, .Name = "chkUse24HourTimeFormat", .Caption = "24 hour format",
       .Bounds = {226, 42, 150, 17}, .Parent = &gbDates},
      {.Control = gbZipSize, .Name = "gbZipSize", .Caption = " ZIP file size column ", .Bounds = {8, 110, 390, 72},
       .Parent = &tsMainWindow},
      {.Control = lblZipSize, .Name = "lblZipSize", .Caption = "ZIP size", .Bounds = {10, 22, 0, 0},
       .Parent = &gbZipSize},
      {.Control = cbZipFileSizeUnit, .Name = "cbZipFileSizeUnit", .Caption = "", .Bounds = {86, 18, 110, 21}, .Style = tk::cbList,
       .Parent = &gbZipSize, .OnChange = click([this] { ApplyPrecisionVisibility(); })},
      {.Control = lblZipFileSizePrecision, .Name = "lblZipFileSizePrecision", .Caption = "Decimals",
       .Bounds = {210, 22, 0, 0}, .Parent = &gbZipSize},
      {.Control = cbZipFileSizePrecision, .Name = "cbZipFileSizePrecision", .Caption = "", .Bounds = {262, 18, 45, 21},
       .Style = tk::cbList, .Parent = &gbZipSize},
      {.Control = chkUseSavedSize, .Name = "chkUseSavedSize", .Caption = "Use saved size for ZIPs on UNC (avoids delay)",
       .Bounds = {10, 46, 300, 17}, .Parent = &gbZipSize},
      {.Control = chkXPMenu, .Name = "chkXPMenu", .Caption = "Office XP style toolbar", .Bounds = {8, 192, 300, 17},
       .Parent = &tsMainWindow},
      {.Control = chkShowButtonText, .Name = "chkShowButtonText",
       .Caption = "Show text in toolbar  (takes effect on next run)", .Bounds = {8, 214, 300, 17},
       .Parent = &tsMainWindow},
      // Running
      {.Control = chkShowFNOnRun, .Name = "chkShowFNOnRun", .Caption = "Show file names while running the profile",
       .Bounds = {8, 10, 300, 17}, .Parent = &tsAction},
      {.Control = lblFNNote, .Name = "lblFNNote", .Caption = "(file names are not displayed while testing)",
       .Bounds = {26, 28, 0, 0}, .Parent = &tsAction},
      {.Control = chkSchOnStartup, .Name = "chkSchOnStartup", .Caption = "Run scheduler program on system startup",
       .Bounds = {8, 52, 260, 17}, .Parent = &tsAction, .OnClick = click([this] { chkSchOnStartupClick(); })},
      {.Control = imgSch, .Name = "imgSch", .Caption = "", .Bounds = {280, 46, 32, 32}, .Parent = &tsAction},
      {.Control = chkAutoRefresh, .Name = "chkAutoRefresh", .Caption = "Automatically refresh after running profiles",
       .Bounds = {8, 76, 300, 17}, .Parent = &tsAction},
      {.Control = gbTemp, .Name = "gbTemp", .Caption = " Local Temp folder ", .Bounds = {8, 102, 390, 72},
       .Parent = &tsAction},
      {.Control = chkUseWinTempDir, .Name = "chkUseWinTempDir", .Caption = "Use Windows TEMP folder",
       .Bounds = {10, 20, 200, 17}, .Parent = &gbTemp, .OnClick = click([this] { chkUseWinTempDirClick(); })},
      {.Control = lblTempDir, .Name = "lblTempDir", .Caption = "Folder", .Bounds = {10, 46, 0, 0}, .Parent = &gbTemp},
      {.Control = edTempDir, .Name = "edTempDir", .Caption = "", .Bounds = {50, 42, 300, 21}, .Style = tk::edReadOnly,
       .Parent = &gbTemp, .OnChange = click([this] { edTempDir.SetHint(edTempDir.Text()); })},
      {.Control = btnTempDir, .Name = "btnTempDir", .Caption = "...", .Bounds = {354, 42, 24, 21}, .Parent = &gbTemp,
       .OnClick = click([this] { btnTempDirClick(); })},
      {.Control = gbDelay, .Name = "gbDelay", .Caption = " Run & Test delay (seconds) ", .Bounds = {8, 180, 390, 56},
       .Parent = &tsAction},
      {.Control = lblDefaultDelay, .Name = "lblDefaultDelay", .Caption = "Default delay", .Bounds = {10, 26, 0, 0},
       .Parent = &gbDelay},
      // A bound up-down takes its place inside the right end of its edit, so each such edit
      // is declared over its arrows too and keeps room for every digit of its largest value.
      {.Control = edRunAndTestDelay, .Name = "edRunAndTestDelay", .Caption = "", .Bounds = {90, 22, 60, 21},
       .Style = tk::edReadOnly, .Parent = &gbDelay},
      {.Control = udRunAndTestDelay, .Name = "udRunAndTestDelay", .Caption = "", .Bounds = {134, 22, 16, 21}, .Parent = &gbDelay},
      {.Control = btnCustomRunAndTestDelay, .Name = "btnCustomRunAndTestDelay", .Caption = "Custom Delay... ",
       .Bounds = {200, 20, 100, 25}, .Parent = &gbDelay,
       .OnClick = click([this] { mmodlgCustomRunAndTestDelay.Execute(); })},
      // Progress bar
      {.Control = chkColorProgress, .Name = "chkColorProgress", .Caption = "Use color progressbar",
       .Bounds = {8, 10, 200, 17}, .Parent = &tsProgressbar,
       .OnClick = click([this] { PageControl2.SetVisible(chkColorProgress.Checked()); })},
      {.Control = PageControl2, .Name = "PageControl2", .Caption = "", .Bounds = {8, 34, 248, 132}, .Parent = &tsProgressbar},
      {.Control = tsRunning, .Name = "tsRunning", .Caption = "Running", .Bounds = {}, .Parent = &PageControl2},
      {.Control = tsTesting, .Name = "tsTesting", .Caption = "Testing", .Bounds = {}, .Parent = &PageControl2},
      {.Control = G32ProgressbarFrame1, .Name = "G32ProgressbarFrame1", .Caption = "", .Bounds = {4, 4, 231, 98},
       .Parent = &tsRunning},
      {.Control = G32ProgressbarFrame2, .Name = "G32ProgressbarFrame2", .Caption = "", .Bounds = {4, 4, 231, 98},
       .Parent = &tsTesting},
      // AutoRun
      {.Control = lblSkipWhen, .Name = "lblSkipWhen", .Caption = "Skip AutoRun when", .Bounds = {8, 14, 0, 0},
       .Parent = &tsAutoRun},
      {.Control = cbDontAutoRun, .Name = "cbDontAutoRun", .Caption = "", .Bounds = {118, 10, 60, 21}, .Style = tk::cbList,
       .Parent = &tsAutoRun},
      {.Control = lblKeyIsDown, .Name = "lblKeyIsDown", .Caption = "key is down", .Bounds = {184, 14, 0, 0},
       .Parent = &tsAutoRun},
      {.Control = lblWin9x, .Name = "lblWin9x", .Caption = "( may not work on Win9x )", .Bounds = {254, 14, 0, 0},
       .Parent = &tsAutoRun},
      {.Control = chkBeepOnAutoRunSkip, .Name = "chkBeepOnAutoRunSkip", .Caption = "Beep on AutoRun Skip",
       .Bounds = {8, 38, 200, 17}, .Parent = &tsAutoRun},
      {.Control = lblAutoRunDelay, .Name = "lblAutoRunDelay", .Caption = "AutoRun delay", .Bounds = {8, 66, 0, 0},
       .Parent = &tsAutoRun},
      {.Control = edAutoRunDelay, .Name = "edAutoRunDelay", .Caption = "", .Bounds = {98, 62, 52, 21}, .Style = tk::edReadOnly,
       .Parent = &tsAutoRun},
      {.Control = udAutoRunDelay, .Name = "udAutoRunDelay", .Caption = "", .Bounds = {134, 62, 16, 21}, .Parent = &tsAutoRun},
      {.Control = lblAutoRunSeconds, .Name = "lblAutoRunSeconds", .Caption = "seconds", .Bounds = {156, 66, 0, 0},
       .Parent = &tsAutoRun},
      {.Control = chkRememberAutoRunSelection, .Name = "chkRememberAutoRunSelection",
       .Caption = "Remember profile selection in autorun Ask dialog", .Bounds = {8, 92, 320, 17},
       .Parent = &tsAutoRun},
      {.Control = lblTrayNote1, .Name = "lblTrayNote1",
       .Caption = "Regardless of this option, for skipping notification,", .Bounds = {8, 118, 0, 0},
       .Parent = &tsAutoRun},
      {.Control = lblTrayNote2, .Name = "lblTrayNote2",
       .Caption = "CD in tray icon disappears for a moment, && appears again", .Bounds = {8, 134, 0, 0},
       .Parent = &tsAutoRun},
      {.Control = gboxNTBeep, .Name = "gboxNTBeep", .Caption = " Beep for NT4/2000/XP ", .Bounds = {8, 158, 390, 82},
       .Parent = &tsAutoRun},
      {.Control = lblBeepFrequency, .Name = "lblBeepFrequency", .Caption = "Frequency (hertz)",
       .Bounds = {10, 26, 0, 0}, .Parent = &gboxNTBeep},
      {.Control = edBeepFrequency, .Name = "edBeepFrequency", .Caption = "", .Bounds = {110, 22, 60, 21}, .Style = tk::edReadOnly,
       .Parent = &gboxNTBeep},
      {.Control = udBeepFrequency, .Name = "udBeepFrequency", .Caption = "", .Bounds = {154, 22, 16, 21}, .Parent = &gboxNTBeep},
      {.Control = lblBeepDuration, .Name = "lblBeepDuration", .Caption = "Duration (msec)", .Bounds = {10, 52, 0, 0},
       .Parent = &gboxNTBeep},
      {.Control = edBeepDuration, .Name = "edBeepDuration", .Caption = "", .Bounds = {110, 48, 60, 21}, .Style = tk::edReadOnly,
       .Parent = &gboxNTBeep},
      {.Control = udBeepDuration, .Name = "udBeepDuration", .Caption = "", .Bounds = {154, 48, 16, 21}, .Parent = &gboxNTBeep},
      {.Control = btnTest, .Name = "btnTest", .Caption = "Test", .Bounds = {220, 20, 75, 25}, .Parent = &gboxNTBeep,
       .OnClick = click([this] { Beep(static_cast<DWORD>(udBeepFrequency.Position()),
                                      static_cast<DWORD>(udBeepDuration.Position())); })},
      {.Control = btnDefault, .Name = "btnDefault", .Caption = "Default", .Bounds = {220, 48, 75, 25},
       .Parent = &gboxNTBeep, .OnClick = click([this] { btnDefaultClick(); })},
      // Misc
      {.Control = chkMaskPassword, .Name = "chkMaskPassword", .Caption = "Mask password", .Bounds = {8, 8, 300, 17},
       .Parent = &tsMisc},
      {.Control = chkDontShowEwDlgViaSch, .Name = "chkDontShowEwDlgViaSch",
       .Caption = "Don't show error/warning if run from scheduler", .Bounds = {8, 28, 300, 17}, .Parent = &tsMisc},
      {.Control = chkAllowUndo, .Name = "chkAllowUndo", .Caption = "Delete zip file in local hard disk to recycle bin",
       .Bounds = {8, 48, 300, 17}, .Parent = &tsMisc},
      {.Control = chkBackupToReg, .Name = "chkBackupToReg", .Caption = "Automatically backup profiles to file on exit",
       .Bounds = {8, 72, 300, 17}, .Parent = &tsMisc, .OnClick = click([this] { chkBackupToRegClick(); })},
      {.Control = chkRegBackupToMyDocuments, .Name = "chkRegBackupToMyDocuments",
       .Caption = "Backup to \"My Documents\" folder", .Bounds = {24, 92, 280, 17}, .Parent = &tsMisc,
       .OnClick = click([this] { ApplyBackupFolderRule(); })},
      {.Control = lblBackupDir, .Name = "lblBackupDir", .Caption = "Backup folder", .Bounds = {24, 116, 0, 0},
       .Parent = &tsMisc},
      {.Control = edRegBackupDir, .Name = "edRegBackupDir", .Caption = "", .Bounds = {106, 112, 256, 21}, .Style = tk::edReadOnly,
       .Parent = &tsMisc, .OnChange = click([this] { edRegBackupDir.SetHint(edRegBackupDir.Text()); })},
      {.Control = btnRegBackupDir, .Name = "btnRegBackupDir", .Caption = "...", .Bounds = {366, 112, 24, 21},
       .Parent = &tsMisc, .OnClick = click([this] { btnRegBackupDirClick(); })},
      {.Control = chkBeepOnRegBackupError, .Name = "chkBeepOnRegBackupError",
       .Caption = "Beep if profile backup fails", .Bounds = {24, 138, 280, 17}, .Parent = &tsMisc},
      {.Control = chkExploreTargetFolder, .Name = "chkExploreTargetFolder", .Caption = "Explore folder",
       .Bounds = {8, 162, 300, 17}, .Parent = &tsMisc},
      {.Control = lblDefaultComment, .Name = "lblDefaultComment", .Caption = "Default comment",
       .Bounds = {8, 190, 0, 0}, .Parent = &tsMisc},
      {.Control = btnDefaultComment, .Name = "btnDefaultComment", .Caption = "Set...", .Bounds = {100, 185, 75, 25},
       .Parent = &tsMisc, .OnClick = click([this] { mmodlgDefaultComment.Execute(); })},
      {.Control = lblKeepErrors, .Name = "lblKeepErrors", .Caption = "Keep Errors/Warnings for",
       .Bounds = {8, 220, 0, 0}, .Parent = &tsMisc},
      {.Control = edDaysToKeepErrors, .Name = "edDaysToKeepErrors", .Caption = "", .Bounds = {150, 216, 52, 21},
       .Style = tk::edReadOnly, .Parent = &tsMisc},
      {.Control = udDaysToKeepErrors, .Name = "udDaysToKeepErrors", .Caption = "", .Bounds = {186, 216, 16, 21}, .Parent = &tsMisc},
      {.Control = lblDays, .Name = "lblDays", .Caption = "days", .Bounds = {208, 220, 0, 0}, .Parent = &tsMisc},
      {.Control = chkShutdownOnDLLInitFailed, .Name = "chkShutdownOnDLLInitFailed",
       .Caption = "Shutdown in 5 mins on 'dll init failed'", .Bounds = {8, 242, 300, 17}, .Parent = &tsMisc},
      // Buttons
      {.Control = btnHelp, .Name = "btnHelp", .Caption = "Help", .Bounds = {8, 302, 75, 25},
       .OnClick = click([this] { if (OnHelp) OnHelp(); })},
      {.Control = btnOK, .Name = "btnOK", .Caption = "OK", .Bounds = {266, 302, 75, 25}, .Style = tk::btnDefault,
       .ModalResult = tk::mrOk, .OnClick = click([this] { btnOKClick(); })},
      {.Control = btnCancel, .Name = "btnCancel", .Caption = "Cancel", .Bounds = {347, 302, 75, 25},
       .Style = tk::btnCancel, .ModalResult = tk::mrCancel},
  });
  chkUse2ColorView.SetHint("Improves readability");
  btnTempDir.SetHint("Change Temp Folder");
  btnRegBackupDir.SetHint("Change Backup Folder");
  if (HICON icon = SchedulerIcon()) imgSch.SetIcon(icon, true);
  cbDateFormat.SetItems(kDateFormats);
  cbZipFileSizeUnit.SetItems(kSizeUnits);
  cbZipFileSizePrecision.SetItems({"1", "2", "3", "4", "5", "6", "7", "8", "9"});
  cbDontAutoRun.SetItems({"CTRL", "SHIFT"});

  // Read-only edits bound to up-downs, which keep each number inside its range.
  udRunAndTestDelay.SetAssociate(&edRunAndTestDelay);
  udRunAndTestDelay.SetRange(0, 600);
  udAutoRunDelay.SetAssociate(&edAutoRunDelay);
  udAutoRunDelay.SetRange(0, 60);
  udBeepFrequency.SetAssociate(&edBeepFrequency);
  udBeepFrequency.SetRange(50, 5000);
  udBeepFrequency.SetIncrement(10);
  udBeepDuration.SetAssociate(&edBeepDuration);
  udBeepDuration.SetRange(20, 1000);
  udBeepDuration.SetIncrement(5);
  udDaysToKeepErrors.SetAssociate(&edDaysToKeepErrors);
  udDaysToKeepErrors.SetRange(2, 99);

  mmodlgCustomRunAndTestDelay.Caption = "Custom Delay";
  mmodlgCustomRunAndTestDelay.Prompt = "Format <StartingPath=Delay> (e.g.,  e:\\=180)";
  mmodlgCustomRunAndTestDelay.MemoWidth = 240;
  mmodlgCustomRunAndTestDelay.MemoHeight = 120;
  mmodlgDefaultComment.Caption = "Default comment";
  mmodlgDefaultComment.Prompt = "Enter default comment";
  mmodlgDefaultComment.MemoWidth = 320;
  mmodlgDefaultComment.MemoHeight = 100;

  // The test bar resets to the button face; the run bar keeps the frame's own defaults.
  G32ProgressbarFrame2.DefaultColor = tk::clBtnFace;
  G32ProgressbarFrame2.DefaultContrast = 95;
  for (const auto& pair : kColorPairs) MultiColorComboBox1.AddPair(pair[0], pair[1]);
  OnShow = [this] { FormShow(); };
}

std::string TOptionsForm::HelpTopic() const {
  int page = PageControl1.ActivePageIndex();
  return "options" + std::to_string(page >= 0 && page <= 4 ? page + 1 : 1);
}

void TOptionsForm::SetEditEnabled(tk::TEdit& edit, bool enabled) {
  edit.SetEnabled(enabled);
  edit.SetColor(enabled ? tk::clWindow : tk::clBtnFace);
}

void TOptionsForm::ApplyBackupFolderRule() {
  const bool on = chkBackupToReg.Checked() && !chkRegBackupToMyDocuments.Checked();
  lblBackupDir.SetEnabled(on);
  SetEditEnabled(edRegBackupDir, on);
  btnRegBackupDir.SetEnabled(on);
}

void TOptionsForm::chkBackupToRegClick() {
  chkRegBackupToMyDocuments.SetEnabled(chkBackupToReg.Checked());
  chkBeepOnRegBackupError.SetEnabled(chkBackupToReg.Checked());
  ApplyBackupFolderRule();
}

void TOptionsForm::ApplyPrecisionVisibility() {
  const bool shown = cbZipFileSizeUnit.Text() != "bytes";
  lblZipFileSizePrecision.SetVisible(shown);
  cbZipFileSizePrecision.SetVisible(shown);
}

void TOptionsForm::chkUseWinTempDirClick() {
  const bool own = !chkUseWinTempDir.Checked();
  lblTempDir.SetEnabled(own);
  SetEditEnabled(edTempDir, own);
  btnTempDir.SetEnabled(own);
  if (!own) edTempDir.SetText(GetTempDir());
}

void TOptionsForm::chkSchOnStartupClick() {
  if (!loaded_) return;
  imgSch.SetVisible(chkSchOnStartup.Checked());
  if (chkSchOnStartup.Checked()) return;
  // A message shows its text as it is: one ampersand.
  if (MsgDlg("Autorun, scheduled, startup & shutdown profiles\r\n"
             "won't run if the scheduler program is not running.\r\n\r\n"
             "Are you sure to remove the scheduler program from startup?",
             "iw yn") != tk::mrYes)
    chkSchOnStartup.SetChecked(true);
}

void TOptionsForm::btnTempDirClick() {
  std::string dir = edTempDir.Text();
  if (!tk::SelectDirectory("Select temp directory:", "", dir, Handle())) return;
  if (!IsFixedDrive(dir)) {
    MsgDlg("Please select a local hard disk path", "ii");
    return;
  }
  edTempDir.SetText(WithBackslash(dir));
}

void TOptionsForm::btnRegBackupDirClick() {
  std::string dir = edRegBackupDir.Text();
  if (tk::SelectDirectory("Select backup directory:", "", dir, Handle())) edRegBackupDir.SetText(WithBackslash(dir));
}

void TOptionsForm::btnDefaultClick() {
  if (MsgDlg("Reset to default?", "iq yn") != tk::mrYes) return;
  udBeepFrequency.SetPosition(400);
  udBeepDuration.SetPosition(100);
}

void TOptionsForm::FormShow() {
  TFernoIni ini;
  loaded_ = false;
  chkShowFNOnRun.SetChecked(ini.GetShowFNOnRun());
  chkMaskPassword.SetChecked(ini.GetMaskPassword());
  chkAllowUndo.SetChecked(ini.GetAllowUndo());
  chkColorProgress.SetChecked(ini.GetColorProgressbar());
  PageControl2.SetVisible(chkColorProgress.Checked());

  struct TBar {
    g32::TG32ProgressbarFrame& Frame;
    int Color, Contrast;
  };
  for (TBar bar : {TBar{G32ProgressbarFrame1, ini.GetProgressColor(1), ini.GetContrast()},
                   TBar{G32ProgressbarFrame2, ini.GetProgressColor(2), ini.GetContrast2()}}) {
    bar.Frame.ColorPickerButton1.SetSelectionColor(static_cast<tk::TColor>(bar.Color));
    bar.Frame.G32_Progressbar1.SetColor(static_cast<tk::TColor>(bar.Color));
    bar.Frame.G32_Progressbar1.SetBackColor(tk::clBtnFace);
    // The track bar keeps the contrast inside its range; the preview follows it.
    bar.Frame.trkContrast.SetPosition(bar.Contrast);
    bar.Frame.trkContrastChange();
  }

  udAutoRunDelay.SetPosition(ini.GetAutoRunDelay());
  chkAutoRefresh.SetChecked(ini.GetAutoRefresh());
  chkUse2ColorView.SetChecked(ini.GetUse2ColorView());
  MultiColorComboBox1.SetVisible(chkUse2ColorView.Checked());
  mmodlgDefaultComment.Text = ini.Getdcmt();
  {
    int i = cbDateFormat.IndexOf(ini.GetDateFormat());
    // The list compares without regard to case; only an exact entry counts as listed.
    if (i >= 0 && cbDateFormat.Item(i) != ini.GetDateFormat()) i = -1;
    cbDateFormat.SetItemIndex(i >= 0 ? i : 0);
  }
  chkIncludeTime.SetChecked(ini.GetIncludeTime());
  chkUse24HourTimeFormat.SetEnabled(chkIncludeTime.Checked());
  edRegBackupDir.SetText(ini.GetRegBackupDir());
  chkBeepOnRegBackupError.SetChecked(ini.GetBeepOnRegBackupError());
  chkRegBackupToMyDocuments.SetChecked(ini.GetRegBackupToMyDocuments());
  ApplyBackupFolderRule();
  chkBackupToReg.SetChecked(ini.GetBackupToReg());
  chkBackupToRegClick();
  {
    // A stored pair that is not offered shows (and is saved as) the default pair.
    g32::TColorPair stored(static_cast<tk::TColor>(ini.GetAlternateColor()),
                           static_cast<tk::TColor>(ini.GetAlternateColor2()));
    if (MultiColorComboBox1.IndexOfPair(stored) < 0) stored = g32::TColorPair(kDefaultPair[0], kDefaultPair[1]);
    MultiColorComboBox1.SelectPair(stored.Color1, stored.Color2);
  }

  edTempDir.SetText(ini.GetTempDirectory());
  chkUseWinTempDir.SetChecked(tk::LowerCase(edTempDir.Text()) == tk::LowerCase(GetTempDir()));
  chkUseWinTempDirClick();

  {
    int unit = cbZipFileSizeUnit.IndexOf(ini.GetZipFileSizeUnit());
    cbZipFileSizeUnit.SetItemIndex(unit >= 0 ? unit : cbZipFileSizeUnit.IndexOf("MB"));
    // A stored precision outside 1..9 shows (and is saved as) the nearest one offered.
    cbZipFileSizePrecision.SetItemIndex(std::clamp(ini.GetZipFileSizePrecision(), 1, 9) - 1);
  }
  chkUseSavedSize.SetChecked(ini.GetUseSavedSize());
  chkSchOnStartup.SetChecked(ini.GetSchedulerOnStartup());
  imgSch.SetVisible(chkSchOnStartup.Checked());
  chkXPMenu.SetChecked(ini.GetXPMenu());
  chkUse24HourTimeFormat.SetChecked(ini.Get24HourTime());
  chkShowButtonText.SetChecked(ini.GetShowButtonText());
  // A key other than Shift shows (and is saved as) Ctrl, the default.
  cbDontAutoRun.SetItemIndex(ini.GetDontAutoRun() == kKeyShift ? 1 : 0);
  chkBeepOnAutoRunSkip.SetChecked(ini.GetBeepOnAutoRunSkip());
  udBeepFrequency.SetPosition(ini.GetBeepFrequency());
  udBeepDuration.SetPosition(ini.GetBeepDuration());
  chkRememberAutoRunSelection.SetChecked(ini.GetRememberAutoRunSelection());
  udRunAndTestDelay.SetPosition(ini.GetRunAndTestDelay());
  mmodlgCustomRunAndTestDelay.SetCommaText(ini.GetCustomRunAndTestDelay());
  chkDontShowEwDlgViaSch.SetChecked(ini.GetDontShowEwDlgViaSch());
  chkExploreTargetFolder.SetChecked(ini.GetExploreTargetFolder());
  udDaysToKeepErrors.SetPosition(ini.GetDaysToKeepErrors());
  chkShutdownOnDLLInitFailed.SetChecked(ini.GetShutdownOnDllInitFailed());
  ApplyPrecisionVisibility();

  PageControl1.SetActivePage(&tsMainWindow);
  PageControl2.SetActivePage(&tsRunning);
  chkUse2ColorView.SetFocus();
  before_ = DisplayNow();
  applied_ = TOptionsApplied{};
  loaded_ = true;
}

TOptionsApplied TOptionsForm::DisplayNow() const {
  TOptionsApplied a;
  a.Use2ColorView = chkUse2ColorView.Checked();
  a.AlternateColor = MultiColorComboBox1.Color1();
  a.AlternateColor2 = MultiColorComboBox1.Color2();
  a.DateFormat = cbDateFormat.Text();
  a.TimeSuffix = TimeSuffix(chkIncludeTime.Checked(), chkUse24HourTimeFormat.Checked());
  a.ZipFileSizeUnit = cbZipFileSizeUnit.Text();
  a.ZipFileSizePrecision = tk::StrToIntDef(cbZipFileSizePrecision.Text(), 2);
  a.UseSavedSize = chkUseSavedSize.Checked();
  a.XPMenu = chkXPMenu.Checked();
  return a;
}

void TOptionsForm::btnOKClick() {
  if (btnRegBackupDir.Enabled() && edRegBackupDir.Text().empty()) {
    MsgDlg("Specify backup folder", "ii");
    SetModalResult(tk::mrNone);
    return;
  }
  TFernoIni ini;
  ini.SetShowFNOnRun(chkShowFNOnRun.Checked());
  ini.SetMaskPassword(chkMaskPassword.Checked());
  ini.SetAllowUndo(chkAllowUndo.Checked());
  ini.SetColorProgressbar(chkColorProgress.Checked());
  ini.SetProgressColor(1, static_cast<int>(G32ProgressbarFrame1.ColorPickerButton1.SelectionColor()));
  ini.SetContrast(G32ProgressbarFrame1.G32_Progressbar1.Contrast());
  ini.SetProgressColor(2, static_cast<int>(G32ProgressbarFrame2.ColorPickerButton1.SelectionColor()));
  ini.SetContrast2(G32ProgressbarFrame2.G32_Progressbar1.Contrast());
  ini.SetAutoRunDelay(udAutoRunDelay.Position());
  ini.SetAutoRefresh(chkAutoRefresh.Checked());
  ini.SetUse2ColorView(chkUse2ColorView.Checked());
  ini.Setdcmt(mmodlgDefaultComment.Text);
  ini.SetDateFormat(cbDateFormat.Text());
  ini.SetIncludeTime(chkIncludeTime.Checked());
  ini.SetBackupToReg(chkBackupToReg.Checked());
  ini.SetBeepOnRegBackupError(chkBeepOnRegBackupError.Checked());
  ini.SetRegBackupToMyDocuments(chkRegBackupToMyDocuments.Checked());
  ini.SetRegBackupDir(edRegBackupDir.Text());
  ini.SetAlternateColor(static_cast<int>(MultiColorComboBox1.Color1()));
  ini.SetAlternateColor2(static_cast<int>(MultiColorComboBox1.Color2()));
  ini.SetTempDirectory(edTempDir.Text());
  ini.SetZipFileSizeUnit(cbZipFileSizeUnit.Text());
  ini.SetZipFileSizePrecision(tk::StrToIntDef(cbZipFileSizePrecision.Text(), 2));
  ini.SetUseSavedSize(chkUseSavedSize.Checked());
  ini.SetSchedulerOnStartup(chkSchOnStartup.Checked());
  if (chkSchOnStartup.Checked()) AddSchedulerToStartup();
  else RemoveSchedulerFromStartup();
  ini.SetXPMenu(chkXPMenu.Checked());
  ini.Set24HourTime(chkUse24HourTimeFormat.Checked());
  SetTimeFormat(ini);
  ini.SetShowButtonText(chkShowButtonText.Checked());
  ini.SetDontAutoRun(cbDontAutoRun.ItemIndex() == 1 ? kKeyShift : kKeyCtrl);
  ini.SetBeepOnAutoRunSkip(chkBeepOnAutoRunSkip.Checked());
  ini.SetBeepFrequency(udBeepFrequency.Position());
  ini.SetBeepDuration(udBeepDuration.Position());
  ini.SetRememberAutoRunSelection(chkRememberAutoRunSelection.Checked());
  ini.SetRunAndTestDelay(udRunAndTestDelay.Position());
  ini.SetCustomRunAndTestDelay(mmodlgCustomRunAndTestDelay.GetCommaText());
  ini.SetDontShowEwDlgViaSch(chkDontShowEwDlgViaSch.Checked());
  ini.SetExploreTargetFolder(chkExploreTargetFolder.Checked());
  ini.SetDaysToKeepErrors(udDaysToKeepErrors.Position());
  ini.SetShutdownOnDllInitFailed(chkShutdownOnDLLInitFailed.Checked());

  applied_ = DisplayNow();
  applied_.ColorsChanged = applied_.Use2ColorView != before_.Use2ColorView ||
                           applied_.AlternateColor != before_.AlternateColor ||
                           applied_.AlternateColor2 != before_.AlternateColor2;
  applied_.DatesChanged = applied_.DateFormat != before_.DateFormat || applied_.TimeSuffix != before_.TimeSuffix;
  applied_.SizesChanged = applied_.ZipFileSizeUnit != before_.ZipFileSizeUnit ||
                          applied_.ZipFileSizePrecision != before_.ZipFileSizePrecision ||
                          applied_.UseSavedSize != before_.UseSavedSize;
  applied_.XPMenuChanged = applied_.XPMenu != before_.XPMenu;
  if (OnApply) OnApply(applied_);
}
