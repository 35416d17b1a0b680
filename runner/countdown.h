#pragma once
// The runner's countdown window: waits a number of seconds with a shrinking
// gradient bar. Three uses: the delay before an auto-run, the delay between run and
// test, and, in shutdown mode, the last chance to choose between turning off,
// logging off and restarting (the choice lands in Runner.Shutdown).
#include <string>

#include "controls/g32_progressbar.h"
#include "toolkit/win_controls.h"
#include "toolkit/win_form.h"
#include "toolkit/win_timer.h"

// What one countdown shows, handed to its window.
struct TCountdownParams {
  int remainingMs = 0;                       // counted down by the window
  std::string caption, text, buttonCaption;  // an empty button caption: no button
  int left = -1, top = -1;                   // both -1: centred on the screen
  bool stayOnTop = false;
  bool shutdownMode = false;                 // the shutdown choice below the bar
};

class TAutoRunDelayForm : public tk::TForm {
 public:
  explicit TAutoRunDelayForm(const TCountdownParams& params);
  ~TAutoRunDelayForm() override;

  tk::TLabel Label1;
  g32::TG32_ProgressBar g32pbar1;
  tk::TButton btnOK;
  tk::TRadioButton rbTurnOff, rbLogOff;
  tk::TButton btnRestart;
  tk::TLabel lblRestart;
  tk::TTimer Timer1;  // 50 ms, the countdown step
  tk::TTimer Timer2;  // 500 ms, stay on top

  void Timer1Timer();
  int RemainingMs() const;
  // After the window closed: the shutdown mode remembers the chosen kind.
  void FormClose();

 protected:
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  void FormCreate();
  TCountdownParams params_;
};

// "Log off..." (0) and "Turn off..." (1).
extern const char* const ShutdownTexts[2];

// Shows the countdown modally and returns when it closes; nothing for seconds <= 0.
// The other arguments are those of TCountdownParams.
void ShowCountdown(int seconds, const std::string& caption, const std::string& text, bool stayOnTop, int left,
                   int top, const std::string& buttonCaption, bool shutdownMode = false);

// The shutdown kind asked of this run: WinShutdown when AutomaticShutdownAction is
// set, else LastShutdown; turnOff := kind 1, logOff := kind 2.
void GetShutdownKind(bool& turnOff, bool& logOff);
