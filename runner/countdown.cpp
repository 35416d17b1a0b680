#include "runner/countdown.h"

#include "runner/runstate.h"
#include "settings/fernoini.h"
#include "settings/syshelpers.h"

const char* const ShutdownTexts[2] = {"Log off...", "Turn off..."};

namespace {
constexpr int kStepMs = 50;
}  // namespace

TAutoRunDelayForm::TAutoRunDelayForm(const TCountdownParams& params)
    : TForm(L"TAutoRunDelayForm"), Timer1(kStepMs), Timer2(500), params_(params) {
  BorderStyle = tk::TBorderStyle::bsDialog;
  BorderIcons = tk::biSystemMenu;
  SetClientSize(260, 98);
  SetFormFont(tk::TFontSpec{});
  tk::TFontSpec small;
  small.Height = -9;
  small.Color = tk::clRed;
  Declare({
      {.Control = Label1, .Name = "Label1", .Caption = "", .Bounds = {8, 8, 244, 14}},
      {.Control = btnOK, .Name = "btnOK", .Caption = "OK", .Bounds = {178, 44, 74, 23}, .ModalResult = tk::mrOk},
      {.Control = rbTurnOff, .Name = "rbTurnOff", .Caption = "Turn off", .Bounds = {8, 74, 72, 17},
       .Style = tk::sHidden | tk::chkChecked},
      {.Control = rbLogOff, .Name = "rbLogOff", .Caption = "Log off", .Bounds = {84, 74, 72, 17},
       .Style = tk::sHidden},
      {.Control = btnRestart, .Name = "btnRestart", .Caption = "Restart", .Bounds = {178, 71, 74, 23},
       .Style = tk::sHidden},
      // Its designed width: sized to its text, it lost its last character on the screen.
      {.Control = lblRestart, .Name = "lblRestart", .Caption = "If you wanted to restart, click 'Restart'",
       .Bounds = {8, 50, 166, 12}, .Style = tk::sHidden | tk::lblFixedSize},
  });
  lblRestart.SetFont(small);
  Timer1.OnTimer = [this] { Timer1Timer(); };
  Timer2.OnTimer = [this] { BringToTopNoActivate(); };
  rbTurnOff.OnClick = rbLogOff.OnClick = [this] {
    Label1.SetCaption(ShutdownTexts[rbTurnOff.Checked() ? 1 : 0]);
    Runner.Shutdown.TurnOff = rbTurnOff.Checked();
    Runner.Shutdown.LogOff = rbLogOff.Checked();
  };
  btnRestart.OnClick = [this] {
    Timer1.SetEnabled(false);
    Timer2.SetEnabled(false);
    Runner.Shutdown.Restart = true;
    Runner.Shutdown.TurnOff = false;
    Runner.Shutdown.LogOff = false;
    Close();
  };
  OnCreate = [this] { FormCreate(); };
}

TAutoRunDelayForm::~TAutoRunDelayForm() {
  Timer1.SetEnabled(false);
  Timer2.SetEnabled(false);
}

int TAutoRunDelayForm::RemainingMs() const { return params_.remainingMs; }

void TAutoRunDelayForm::FormCreate() {
  TFernoIni ini;
  if (params_.shutdownMode) {
    rbTurnOff.Show();
    rbLogOff.Show();
    btnRestart.Show();
    lblRestart.Show();
    if (Runner.Shutdown.TurnOff) rbTurnOff.SetChecked(true);
    if (Runner.Shutdown.LogOff) rbLogOff.SetChecked(true);
    Runner.Shutdown.ShutDownOnly = ini.GetOnTurnoff() == 1;
  } else {
    SetHeight(97);  // hides the row of the shutdown choice
  }
  SetCaption(params_.caption);
  Label1.SetCaption(params_.text);
  btnOK.SetCaption(params_.buttonCaption);
  btnOK.SetVisible(!params_.buttonCaption.empty());

  const int dpi = tk::ScreenPixelsPerInch();
  g32pbar1.SetBounds(tk::ScaleToDpi(8, dpi), tk::ScaleToDpi(26, dpi), tk::ScaleToDpi(244, dpi),
                     tk::ScaleToDpi(14, dpi));
  g32pbar1.SetMin(0);
  g32pbar1.SetMax(params_.remainingMs);
  if (params_.shutdownMode) {
    g32pbar1.SetColor(0x8080FF);
    g32pbar1.SetContrast(200);
  } else {
    g32pbar1.SetColor(static_cast<g32::TColor>(ini.GetProgressColor(1)));
    g32pbar1.SetContrast(ini.GetContrast());
  }
  g32pbar1.CreateWnd(Handle());

  if (params_.left == -1 && params_.top == -1) {
    const POINT p = {(GetSystemMetrics(SM_CXSCREEN) - tk::ScaleToDpi(Width(), dpi)) / 2,
                     (GetSystemMetrics(SM_CYSCREEN) - tk::ScaleToDpi(Height(), dpi)) / 2};
    SetBounds(tk::ScaleFromDpi(p.x, dpi), tk::ScaleFromDpi(p.y, dpi), Width(), Height());
  } else {
    SetBounds(params_.left, params_.top, Width(), Height());
  }
  if (params_.stayOnTop) {
    Timer2.SetEnabled(true);
    BringToTopNoActivate();
  }
  Timer1.SetEnabled(true);
  Timer1Timer();
}

void TAutoRunDelayForm::Timer1Timer() {
  g32pbar1.SetPosition(params_.remainingMs > 0 ? params_.remainingMs : 0);
  params_.remainingMs -= static_cast<int>(Timer1.Interval());
  if (params_.remainingMs <= 0) {
    Timer1.SetEnabled(false);
    Timer2.SetEnabled(false);
    Close();
  }
}

void TAutoRunDelayForm::FormClose() {
  if (params_.shutdownMode) {
    TFernoIni ini;
    ini.SetLastShutdown(rbTurnOff.Checked() ? 1 : 2);
  }
}

LRESULT TAutoRunDelayForm::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  // The shutdown-profile run holds the session up until its own countdown is done.
  if (msg == WM_QUERYENDSESSION && Runner.HandOff.bRunningShutdownProfiles && !SessionEndRequestedByUs()) return 0;
  return TForm::WndProc(msg, wp, lp);
}

void ShowCountdown(int seconds, const std::string& caption, const std::string& text, bool stayOnTop, int left,
                   int top, const std::string& buttonCaption, bool shutdownMode) {
  if (seconds <= 0) return;
  TAutoRunDelayForm form({seconds * 1000, caption, text, buttonCaption, left, top, stayOnTop, shutdownMode});
  form.ShowModal();
  form.FormClose();
}

void GetShutdownKind(bool& turnOff, bool& logOff) {
  TFernoIni ini;
  const int kind = ini.GetAutomaticShutdownAction() ? ini.GetWinShutdown() : ini.GetLastShutdown();
  turnOff = kind == 1;
  logOff = kind == 2;
}
