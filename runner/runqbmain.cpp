#include "runner/runqbmain.h"

#include <cstdio>

#include "runner/commands.h"
#include "runner/countdown.h"
#include "runner/extrparams.h"
#include "runner/icons.h"
#include "runner/profilechoice.h"
#include "runner/runengine.h"
#include "settings/fernoglobal.h"
#include "settings/protocol.h"
#include "settings/syshelpers.h"
#include "settings/vglobal.h"
#include "toolkit/cmdline.h"
#include "toolkit/files.h"
#include "toolkit/format.h"
#include "toolkit/strings.h"
#include "toolkit/win_dialogs.h"

namespace {

constexpr int kBarLeft = 8, kBarWidth = 364, kBarHeight = 16;
constexpr int kMinorTop = 26, kMajorTop = 66;
constexpr int kIconTop = 90, kIconSize = 16, kIconStep = 20;

bool Exists(const std::string& path) { return FileExistsQuiet(path) || DirExistsQuiet(path); }

void PlaceGradientBar(g32::TG32_ProgressBar& bar, int top, HWND parent) {
  const int dpi = tk::ScreenPixelsPerInch();
  bar.SetBounds(tk::ScaleToDpi(kBarLeft, dpi), tk::ScaleToDpi(top, dpi), tk::ScaleToDpi(kBarWidth, dpi),
                tk::ScaleToDpi(kBarHeight, dpi));
  bar.SetVisible(false);
  bar.SetMin(0);
  bar.SetMax(100);
  bar.CreateWnd(parent);
}

// The start check of the command letter; the first failing check adds its line.
bool StartCheckPasses() {
  const auto fail = [](const std::string& message) {
    AddRunFailure(0, message);
    return false;
  };
  switch (Runner.Command) {
    case 'R':
    case 'B':
      if (Runner.Arg(2).empty()) return fail("Couldn't run: No profile(s) given to run");
      return true;
    case 'T':
      if (Runner.Arg(2).empty()) return fail("Couldn't test: No profile(s) given to test");
      return true;
    case 'A':
      if (!Exists(Runner.Arg(2)))
        return fail("Couldn't join: Last zip volume \"" + Runner.Arg(2) + "\" doesn't exist");
      if (!Exists(Runner.Arg(3))) return fail("Couldn't join: Directory \"" + Runner.Arg(3) + "\" doesn't exist");
      return true;
    case 'S': {
      if (Runner.ArgCount() != 4) return fail("Incorrect usage");
      if (!Exists(Runner.Arg(2))) return fail("Couldn't split: Zip file \"" + Runner.Arg(2) + "\" doesn't exist");
      if (CheckVolumesExist(Runner.Arg(3)))
        return fail("Couldn't split: Volumes for \"" + tk::ExtractFileName(Runner.Arg(3)) + "\" already exist");
      // Only a size that is no number is refused here; the split itself names the
      // smallest volume it can make.
      int64_t size = 0;
      if (!tk::TryStrToInt64(Runner.Arg(4), &size)) return fail(Runner.Arg(4) + " is not a valid volume size");
      return true;
    }
    case 'X':
      Runner.ExtrParams->Parse(Runner.RawCommandLine);
      if (!Exists(Runner.ExtrParams->zip))
        return fail("Couldn't extract: ZIP file \"" + Runner.ExtrParams->zip + "\" doesn't exist");
      return true;
    default:
      return fail("Incorrect program usage");
  }
}

// The values a starter leaves for one run only.
void ClearHandOffValues(TFernoIni& ini) {
  for (const char* name : {"bRunFromScheduler", "bRunViaAutoRun", "sMsgBeforeAutoRun", "sMediaInserted",
                           "sProfilesToDeselect", "sSelectedMcNames"})
    ini.DeleteValue(GeneralSection, name);
}

void ReadHandOffValues(TFernoIni& ini) {
  TRunnerHandOffValues& h = Runner.HandOff;
  h.bRunningShutdownProfiles = ini.GetbRunningShutdownProfiles();
  h.bRunFromScheduler = ini.GetbRunFromScheduler();
  h.bRunViaAutoRun = ini.GetbRunViaAutoRun();
  h.sMsgBeforeAutoRun = ini.GetsMsgBeforeAutoRun();
  h.sMediaInserted = ini.GetsMediaInserted();
  h.sProfilesToDeselect = ini.GetsProfilesToDeselect();
  h.sSelectedMcNames = ini.GetsSelectedMcNames();
  ClearHandOffValues(ini);
}

void ShutdownAction() {
  const TShutdownChoice& s = Runner.Shutdown;
  if (Runner.HandOff.bRunningShutdownProfiles) {
    if (s.Restart)
      ExitWindowsWith(EWX_REBOOT);
    else if (s.TurnOff)
      ShutDownComputer(s.ShutDownOnly);
    else if (s.LogOff)
      LogOffSession();
  } else if (Runner.TurnOffOnExit) {
    ShutDownComputer(false);
  }
}

void FreeRunnerState() {
  Runner.ComputerFilter.reset();
  Runner.ProfileSelection.reset();
  delete Runner.ExtrParams;
  Runner.ExtrParams = nullptr;
  delete Runner.Ini;
  Runner.Ini = nullptr;
}

}  // namespace

// ---------------------------------------------------------------------------------
// The window.

TRunFoMainForm::TRunFoMainForm() : TForm(L"TRunFoMainForm"), tmrActivate(100, false), tmrElapsed(1000, false) {
  BorderStyle = tk::TBorderStyle::bsSingle;
  BorderIcons = tk::biSystemMenu | tk::biMinimize;
  Position = tk::TPosition::poScreenCenter;
  KeyPreview = true;
  SetCaption("Running Quillbank");
  SetClientSize(380, 146);
  SetFormFont(tk::TFontSpec{});
  Declare({
      {.Control = lblFN, .Name = "lblFN", .Caption = "", .Bounds = {8, 8, 364, 14},
       .Style = tk::lblFixedSize | tk::lblNoPrefix},
      {.Control = lblCheckingSrcPath, .Name = "lblCheckingSrcPath", .Caption = "Checking source path...",
       .Bounds = {120, 8, 252, 14}, .Style = tk::sHidden | tk::lblFixedSize | tk::lblNoPrefix},
      {.Control = pbarMinor, .Name = "pbarMinor", .Caption = "", .Bounds = {kBarLeft, kMinorTop, kBarWidth, kBarHeight},
       .Style = tk::sHidden | tk::pbSmooth},
      {.Control = lblMajorFN, .Name = "lblMajorFN", .Caption = "", .Bounds = {8, 48, 364, 14},
       .Style = tk::lblFixedSize | tk::lblNoPrefix},
      {.Control = pbarMajor, .Name = "pbarMajor", .Caption = "", .Bounds = {kBarLeft, kMajorTop, kBarWidth, kBarHeight},
       .Style = tk::sHidden | tk::pbSmooth},
      {.Control = lblPercent, .Name = "lblPercent", .Caption = "", .Bounds = {300, 90, 72, 14},
       .Style = tk::sHidden | tk::lblFixedSize | tk::lblRight},
      {.Control = imgAdd, .Name = "imgAdd", .Caption = "", .Bounds = {8, kIconTop, kIconSize, kIconSize}, .Style = tk::sHidden},
      {.Control = imgUpdate, .Name = "imgUpdate", .Caption = "", .Bounds = {8, kIconTop + 24, kIconSize, kIconSize},
       .Style = tk::sHidden},
      {.Control = imgFreshen, .Name = "imgFreshen", .Caption = "", .Bounds = {28, kIconTop + 24, kIconSize, kIconSize},
       .Style = tk::sHidden},
      {.Control = imgTest, .Name = "imgTest", .Caption = "", .Bounds = {48, kIconTop + 24, kIconSize, kIconSize},
       .Style = tk::sHidden},
      {.Control = imgSAZ, .Name = "imgSAZ", .Caption = "", .Bounds = {8 + kIconStep, kIconTop, kIconSize, kIconSize},
       .Style = tk::sHidden},
      {.Control = imgArchiveOnly, .Name = "imgArchiveOnly", .Caption = "", .Bounds = {8 + 2 * kIconStep, kIconTop, kIconSize, kIconSize},
       .Style = tk::sHidden},
      {.Control = imgResetArchive, .Name = "imgResetArchive", .Caption = "",
       .Bounds = {8 + 3 * kIconStep, kIconTop, kIconSize, kIconSize}, .Style = tk::sHidden},
      {.Control = imgPassword, .Name = "imgPassword", .Caption = "", .Bounds = {8 + 4 * kIconStep, kIconTop, kIconSize, kIconSize},
       .Style = tk::sHidden},
      {.Control = imgAfterDate, .Name = "imgAfterDate", .Caption = "", .Bounds = {8 + 5 * kIconStep, kIconTop, kIconSize, kIconSize},
       .Style = tk::sHidden},
      {.Control = imgDeleteOriginal, .Name = "imgDeleteOriginal", .Caption = "",
       .Bounds = {8 + 6 * kIconStep, kIconTop, kIconSize, kIconSize}, .Style = tk::sHidden},
      {.Control = lblTimeElapsed, .Name = "lblTimeElapsed", .Caption = "00:00:00", .Bounds = {8, 122, 60, 14}},
      {.Control = chkTurnOff, .Name = "chkTurnOff", .Caption = "Turn off on exit", .Bounds = {100, 120, 150, 17},
       .Style = tk::sHidden},
      {.Control = btnCancel, .Name = "btnCancel", .Caption = "Cancel", .Bounds = {297, 116, 75, 25},
       .Style = tk::btnCancel},
  });
  for (int i = 0; i <= static_cast<int>(TStatusIcon::DeleteOriginal); ++i) {
    const auto kind = static_cast<TStatusIcon>(i);
    StatusImage(kind).SetIcon(CreateStatusIcon(kind), true);
  }

  // Run-and-test with a delay: minimising would hide the countdown before the test.
  if (Runner.Command == 'B') {
    TFernoIni ini;
    if (ini.GetRunAndTestDelay() > 0 || !ini.GetCustomRunAndTestDelay().empty()) BorderIcons &= ~tk::biMinimize;
  }

  btnCancel.OnClick = [] { Runner.Cancel = true; };
  chkTurnOff.OnClick = [this] { Runner.TurnOffOnExit = chkTurnOff.Checked(); };
  OnKeyDown = [this](WORD& key, tk::TShiftState shift) { FormKeyDown(key, shift); };
  OnKeyUp = [this](WORD& key, tk::TShiftState) {
    if (key == VK_CONTROL) ctrlHeld_ = false;
  };
  OnCloseQuery = [this](bool& canClose) {
    Runner.Cancel = true;
    // The command stops at its next callback or loop step; the dispatcher then ends
    // the program itself.
    canClose = dispatched_;
  };
  OnShow = [this] {
    if (!dispatched_ && !dispatching_) tmrActivate.SetEnabled(true);
  };
  tmrActivate.OnTimer = [this] { tmrActivateTimer(); };
  tmrElapsed.OnTimer = [this] { tmrElapsedTimer(); };
  ZipFile1.OnMajorCallback = [this](const char* s, int32_t p, bool& c) { ZipFile1MajorCallback(s, p, c); };
  ZipFile1.OnMinorCallback = [this](const char* s, int32_t p, bool& c) { ZipFile1MinorCallback(s, p, c); };
  UnzipFile1.OnMajorCallback = [this](const char* s, int32_t p, bool& c) { UnzipFile1MajorCallback(s, p, c); };
  UnzipFile1.OnMinorCallback = [this](const char* s, int32_t p, bool& c) { UnzipFile1MinorCallback(s, p, c); };
  OnCreate = [this] { FormCreate(); };
}

TRunFoMainForm::~TRunFoMainForm() {
  tmrActivate.SetEnabled(false);
  tmrElapsed.SetEnabled(false);
}

void TRunFoMainForm::FormCreate() {
  tk::Application.SetTitle("RunQb 2.0");
  StartTime = tk::Now();
  for (tk::TImage* image : {&imgUpdate, &imgFreshen, &imgTest}) image->SetBounds(imgAdd.Bounds());
  lblCheckingSrcPath.SetLeft(lblFN.Left());
  lblCheckingSrcPath.SetWidth(lblFN.Width());

  TFernoIni ini;
  if (ini.GetSchedulerOnStartup()) AddSchedulerToStartup();
  ShowFN = ini.GetShowFNOnRun();
  lblFN.SetCaption("");
  lblMajorFN.SetCaption("");

  PlaceGradientBar(g32Minor, kMinorTop, Handle());
  PlaceGradientBar(g32Major, kMajorTop, Handle());
  GradientBars = ini.GetColorProgressbar();
  if (GradientBars) {
    for (g32::TG32_ProgressBar* bar : {&g32Minor, &g32Major}) {
      bar->SetPosition(0);
      bar->SetBackColor(g32::clBtnFace);
      bar->SetColor(0xFFCC99);
      bar->SetContrast(128);
      bar->SetVisible(true);
    }
  } else {
    pbarMinor.Show();
    pbarMajor.Show();
  }
}

void TRunFoMainForm::FormKeyDown(WORD& key, tk::TShiftState /*shift*/) {
  if (key != VK_CONTROL) return;
  // A held key repeats its key-down: only the press itself toggles.
  if (!ctrlHeld_ && !Runner.HandOff.bRunningShutdownProfiles) chkTurnOff.SetVisible(!chkTurnOff.Visible());
  ctrlHeld_ = true;
}

LRESULT TRunFoMainForm::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  // The shutdown-profile run holds the session up until it is done, but never
  // against the end of the session that it asks for itself.
  if (msg == WM_QUERYENDSESSION && Runner.HandOff.bRunningShutdownProfiles && !SessionEndRequestedByUs()) return 0;
  return TForm::WndProc(msg, wp, lp);
}

void TRunFoMainForm::SetMajorPosition(int percent) {
  if (GradientBars)
    g32Major.SetPosition(percent);
  else
    pbarMajor.SetPosition(percent);
}

void TRunFoMainForm::SetMinorPosition(int percent) {
  if (GradientBars)
    g32Minor.SetPosition(percent);
  else
    pbarMinor.SetPosition(percent);
}

void TRunFoMainForm::ResetProgress() {
  pending_ = TPendingProgress{};
  pace_.Restart();
  HighestMajorPercent = 0;
  pbarMinor.SetPosition(0);
  pbarMajor.SetPosition(0);
  g32Minor.SetPosition(0);
  g32Major.SetPosition(0);
  lblFN.SetCaption("");
  lblFN.Update();
}

void TRunFoMainForm::NoteMajorPercent(int percent) {
  if (percent <= HighestMajorPercent) return;
  HighestMajorPercent = percent;
  pending_.major = percent;
}

void TRunFoMainForm::NoteMinorPercent(int percent) { pending_.minor = percent; }

void TRunFoMainForm::NoteFileName(const char* item, bool zipName) {
  pending_.fileName = item ? item : "";
  pending_.zipName = zipName;
  pending_.hasFileName = true;
}

void TRunFoMainForm::NoteMajorItem(const char* item) {
  pending_.majorItem = item ? item : "";
  pending_.hasMajorItem = true;
}

void TRunFoMainForm::PaceProgress(bool& DoCancel) {
  const uint64_t now = GetTickCount64();
  if (pace_.ShowDue(now)) ShowProgress();
  if (pace_.PumpDue(now)) tk::Application.ProcessMessages();
  DoCancel = Runner.Cancel;
}

void TRunFoMainForm::ShowProgress() {
  const TPendingProgress p = std::move(pending_);
  pending_ = TPendingProgress{};
  if (p.major >= 0) SetMajorPosition(p.major);
  if (p.minor >= 0) SetMinorPosition(p.minor);
  if (p.hasFileName) {
    // A zip names its folders with "/"; the label shows the name part only.
    std::string name = p.fileName;
    if (p.zipName)
      for (char& c : name)
        if (c == '/') c = '\\';
    name = tk::LowerCase(tk::ExtractFileName(name));
    if (name != lblFN.Caption()) lblFN.SetCaption(name);
  }
  if (p.hasMajorItem && p.majorItem != lblMajorFN.Caption()) lblMajorFN.SetCaption(p.majorItem);
}

tk::TImage& TRunFoMainForm::StatusImage(TStatusIcon icon) {
  // In the order of TStatusIcon.
  tk::TImage* const images[] = {&imgAdd,         &imgUpdate,       &imgFreshen,  &imgTest,      &imgSAZ,
                                &imgArchiveOnly, &imgResetArchive, &imgPassword, &imgAfterDate, &imgDeleteOriginal};
  return *images[static_cast<int>(icon)];
}

void TRunFoMainForm::ShowIcon(TStatusIcon icon, bool shown) { StatusImage(icon).SetVisible(shown); }

void TRunFoMainForm::ShowCheckingSource(const std::string& text) {
  if (text.empty()) {
    lblCheckingSrcPath.Hide();
    return;
  }
  lblCheckingSrcPath.SetCaption(text);
  lblCheckingSrcPath.Show();
  lblCheckingSrcPath.Update();
}

// The callbacks only leave their state with the window, which shows it at its own pace.
void TRunFoMainForm::ZipFile1MajorCallback(const char* szItem, int32_t Percent, bool& DoCancel) {
  NoteMajorPercent(Percent);
  NoteMajorItem(szItem);
  PaceProgress(DoCancel);
}

void TRunFoMainForm::ZipFile1MinorCallback(const char* szItem, int32_t Percent, bool& DoCancel) {
  NoteMinorPercent(Percent);
  if (ShowFN) NoteFileName(szItem, true);
  PaceProgress(DoCancel);
}

namespace {
// A test's or a run-and-test's items are the zip's own: the window shows only its name.
bool ShowsExtractNames(const TRunFoMainForm& form) {
  return form.ShowFN && Runner.Command != 'T' && Runner.Command != 'B';
}
}  // namespace

void TRunFoMainForm::UnzipFile1MajorCallback(const char* szItem, int32_t Percent, bool& DoCancel) {
  NoteMajorPercent(Percent);
  if (ShowsExtractNames(*this)) NoteMajorItem(szItem);
  PaceProgress(DoCancel);
}

void TRunFoMainForm::UnzipFile1MinorCallback(const char* szItem, int32_t Percent, bool& DoCancel) {
  NoteMinorPercent(Percent);
  if (ShowsExtractNames(*this)) NoteFileName(szItem, false);
  PaceProgress(DoCancel);
}

std::string TRunFoMainForm::ChooseFolder(const std::string& prompt) {
  std::string folder;
  return tk::SelectDirectory(prompt, "", folder, Handle(), true) ? folder : std::string();
}

// The countdown opens over the window's top left corner, below its title.
void TRunFoMainForm::ShowDelay(int seconds, const std::string& caption, const std::string& text) {
  ShowCountdown(seconds, caption, text, false, Left() + 15, Top() + 31, "skip");
}

void TRunFoMainForm::SetBarColors(tk::TColor color, int contrast) {
  for (g32::TG32_ProgressBar* bar : {&g32Minor, &g32Major}) {
    bar->SetColor(color);
    bar->SetContrast(contrast);
  }
}

std::string TRunFoMainForm::ElapsedText(tk::TDateTime span) {
  if (span < 0) span = 0;
  const long long seconds = static_cast<long long>(span * 86400.0 + 0.5);
  char text[40];
  std::snprintf(text, sizeof text, "%2lld:%2lld:%2lld", seconds / 3600, seconds / 60 % 60, seconds % 60);
  return tk::ReplaceAll(text, " ", "0");
}

void TRunFoMainForm::tmrElapsedTimer() { lblTimeElapsed.SetCaption(ElapsedText(tk::Now() - StartTime)); }

void TRunFoMainForm::tmrActivateTimer() {
  tmrActivate.SetEnabled(false);
  if (dispatching_ || dispatched_) return;
  dispatching_ = true;
  tmrElapsed.SetEnabled(true);
  HighestMajorPercent = 0;
  switch (Runner.Command) {
    case 'A':
      JoinVolumes(*this);
      break;
    case 'R':
      RunProfiles(*this);
      break;
    case 'S':
      SplitArchive(*this);
      break;
    case 'T':
      TestProfiles(*this);
      break;
    case 'X':
      ExtractArchive(*this);
      break;
    case 'B': {
      RanOKList = std::make_unique<tk::TStringList>();
      CustomDelayList = std::make_unique<tk::TStringList>();
      CustomDelayList->SetCommaText(TFernoIni().GetCustomRunAndTestDelay());
      LongestCustomDelay = 0;
      RunProfiles(*this);
      ShowProgress();
      // One named profile that did not run: nothing to wait for.
      const bool oneFailed = Runner.ArgCount() == 2 && RanOKList->Empty();
      if (!oneFailed && !Runner.Cancel) ShowDelayBeforeTest(*this);
      TestProfiles(*this);
      RanOKList.reset();
      CustomDelayList.reset();
      break;
    }
    default:
      break;
  }
  ShowProgress();
  HandOffErrors();
  if (Runner.HandOff.bRunningShutdownProfiles) {
    Hide();
    GetShutdownKind(Runner.Shutdown.TurnOff, Runner.Shutdown.LogOff);
    ShowCountdown(TFernoIni().GetShutdownDelay(), "Quillbank 2.0",
                  Runner.Shutdown.TurnOff ? ShutdownTexts[1] : ShutdownTexts[0], true, -1, -1, "OK", true);
  }
  tmrElapsed.SetEnabled(false);
  dispatching_ = false;
  dispatched_ = true;
  tk::Application.Terminate();
}

// ---------------------------------------------------------------------------------
// Error hand-off.

std::string ErrorListText(const tk::TStringList& list) {
  std::string text;
  for (const std::string& line : list.Items()) {
    std::string one = line;
    for (char& c : one)
      if (c == '\r' || c == '\n') c = ' ';
    text += one + "\r\n";
  }
  return text;
}

void HandOffErrors() {
  if (Runner.ErrorsHandedOff || Runner.ErrorList.Empty()) return;
  const std::string viewer = QuoteIfSpaces(tk::ProgramDir() + QbEwExe);
  const std::string file = SaveNewErrorFile(ErrorListText(Runner.ErrorList));
  std::string command;
  if (file.empty()) {
    command = viewer + " " + QbEwNoFileName + " \"Could not save errors/warnings\"";
  } else {
    command = viewer + " " + QuoteIfSpaces(file);
    if (Runner.HandOff.bRunFromScheduler) command += std::string(" ") + QbEwFromScheduler;
  }
  Runner.ErrorsHandedOff = true;
  StartProgram(command);
}

// ---------------------------------------------------------------------------------
// The program.

int RunQbMain() {
  tk::SetDecimalSeparator('.');
  if (tk::ParamCount() == 0) {
    // Started without a job: what its starter left for it must not reach the next run.
    TFernoIni ini;
    ClearHandOffValues(ini);
    return 0;
  }
  EnsureLogsDir();
  EnsureErrorsDir();
  if (!FileExistsQuiet(tk::ProgramDir() + QbEwExe)) {
    MsgDlg(std::string("The required file ") + QbEwExe + " is not found", "ie top");
    return 1;
  }
  tk::SetDateSeparator('-');

  Runner.ErrorList.Clear();
  Runner.ExtrParams = new TExtrParams();
  Runner.Ini = new TFernoIni();
  Runner.Args.clear();
  for (int i = 0; i <= tk::ParamCount(); ++i) Runner.Args.push_back(tk::ParamStr(i));
  Runner.RawCommandLine = tk::Narrow(GetCommandLineW());
  ReadHandOffValues(*Runner.Ini);

  if (Runner.HandOff.bRunViaAutoRun) {
    const int delay = Runner.Ini->GetAutoRunDelay();
    if (delay > 0)
      ShowCountdown(delay, "Quillbank 2.0", "AutoRun delay (" + std::to_string(delay) + " seconds)", true, -1, -1,
                    "");
    if (!Runner.HandOff.sMsgBeforeAutoRun.empty() && !ShowProfileChoice()) {
      FreeRunnerState();
      return 0;
    }
  }

  bool ok = true;
  if (!tk::SameText(tk::ExtractFileName(tk::ProgramFile()), RunQbExe)) {
    AddRunFailure(0, std::string("Don't rename the EXE file, it should be ") + RunQbExe);
    ok = false;
  } else {
    for (const char* library : {DZipDll, DUnzipDll}) {
      const std::string path = tk::ProgramDir() + library;
      if (!FileExistsQuiet(path)) {
        AddRunFailure(0, "File not found: " + path);
        ok = false;
        break;
      }
    }
  }
  const std::string letter = Runner.Arg(1);
  Runner.Command = letter.empty() ? 0 : tk::UpperCase(letter.substr(0, 1))[0];
  if (!Runner.HandOff.sSelectedMcNames.empty()) {
    Runner.ComputerFilter = std::make_unique<tk::TStringList>();
    Runner.ComputerFilter->SetCommaText(Runner.HandOff.sSelectedMcNames);
  }
  if (ok) ok = StartCheckPasses();
  // Old error files go before this run saves its own: the viewer is handed that file, and
  // with no days to keep a pruning after it would take the file away before it is shown.
  DeleteOldErrorFiles(Runner.Ini->GetDaysToKeepErrors(), false);

  // The window ends with the process: taking it down first would only add the time the
  // desktop takes to withdraw it (seconds where no window manager answers), after the
  // command's result is complete. Before a shutdown action it goes first, so that the end
  // of the session meets no window that has stopped answering.
  TRunFoMainForm* form = nullptr;
  if (ok) {
    tk::Application.SetTitle("RunQb");
    form = new TRunFoMainForm;
    tk::Application.SetMainForm(form);
    tk::Application.ResetTerminated();
    form->Show();
    while (!tk::Application.Terminated()) tk::Application.HandleMessage();
    tk::Application.SetMainForm(nullptr);
  }

  HandOffErrors();
  FreeRunnerState();
  if (Runner.HandOff.bRunningShutdownProfiles || Runner.TurnOffOnExit) delete form;
  ShutdownAction();
  return Runner.ExitCode();
}
