#pragma once
// The runner's progress window, on top of the run engine: it shows what the engine and
// the commands report through TRunProgress, and runs the one command of the process.
//
// Who defines what:
//   runner/runstate.h        the program-wide state (Runner).
//   runner/runprogress.h     what the engine and the commands show and ask the user (the
//                            folder of X, the delay before the test), which this window implements.
//   runner/runengine.cpp     the run of profiles and what the commands share with it: error
//                            lines, result texts, the media check, the library's calls.
//   runner/commands.cpp      test, the delay before the test, split, join, extract, CheckVolumesExist.
//   runner/extrparams.cpp    TExtrParams; zipfile.cpp TZipFile; icons.cpp the status icons.
//   runner/countdown.cpp     the countdown window; profilechoice.cpp the profile-choice window.
//   runner/runqbmain.cpp     this window (construction, layout, timers, keys, the progress
//                            callbacks of its two components, the session-end answer), the
//                            start checks, the dispatcher, HandOffErrors and the end of the
//                            program; main.cpp its wWinMain.
// runqbmain.cpp is part of the RunQb program only (not of the runner library); a
// test that builds the window in-process lists it among its SOURCES.
#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

#include "controls/g32_progressbar.h"
#include "controls/realpassdialog.h"
#include "runner/progresspace.h"
#include "runner/runprogress.h"
#include "runner/runstate.h"
#include "runner/zipfile.h"
#include "settings/unzipfile.h"
#include "toolkit/datetime.h"
#include "toolkit/win_controls.h"
#include "toolkit/win_form.h"
#include "toolkit/win_timer.h"

// ---------------------------------------------------------------------------------
// The progress window.
class TRunFoMainForm : public tk::TForm, public TRunProgress {
 public:
  TRunFoMainForm();
  ~TRunFoMainForm() override;

  tk::TLabel lblFN;               // current file
  tk::TLabel lblMajorFN;          // current item of the overall progress
  tk::TLabel lblTimeElapsed;      // "00:00:00"
  tk::TLabel lblPercent;          // hidden
  tk::TLabel lblCheckingSrcPath;  // "Checking source path...", hidden
  tk::TProgressBar pbarMinor, pbarMajor;  // plain bars
  g32::TG32_ProgressBar g32Minor, g32Major;  // gradient bars (ColorProgressbar)
  tk::TImage imgAdd, imgUpdate, imgFreshen, imgTest, imgSAZ, imgArchiveOnly, imgResetArchive, imgPassword,
      imgAfterDate, imgDeleteOriginal;  // status icons, hidden until a command shows them
  tk::TButton btnCancel;
  tk::TCheckBox chkTurnOff;       // "Turn off on exit", hidden until Ctrl
  g32::TRealPassDialog RealPassDialog1;
  TZipFile ZipFile1;
  TUnzipFile UnzipFile1;
  tk::TTimer tmrActivate;         // 100 ms, the dispatcher (fires once)
  tk::TTimer tmrElapsed;          // 1000 ms, the elapsed-time label

  tk::TDateTime StartTime = 0;
  int HighestMajorPercent = 0;    // the major bar never moves back within one target
  bool ShowFN = true;             // ShowFNOnRun, read at creation
  bool GradientBars = false;      // the gradient pair is the one shown

  // What the engine and the commands show (runner/runprogress.h).
  TZipFile& ZipComponent() override { return ZipFile1; }
  TUnzipFile& UnzipComponent() override { return UnzipFile1; }
  void ShowCaption(const std::string& caption) override { SetCaption(caption); }
  void ShowIcon(TStatusIcon icon, bool shown) override;
  void ShowCheckingSource(const std::string& text) override;
  void ShowFileName(const std::string& name) override { lblFN.SetCaption(name); }
  void ShowMajorItem(const std::string& item) override { lblMajorFN.SetCaption(item); }
  std::string ChooseFolder(const std::string& prompt) override;
  void ShowDelay(int seconds, const std::string& caption, const std::string& text) override;

  // Progress display, for whichever pair of bars is shown.
  void SetMajorPosition(int percent);
  void SetMinorPosition(int percent);
  // All four bars to 0, lblFN emptied and repainted, the highest major percentage 0;
  // nothing of the last target waits.
  void ResetProgress() override;
  // Progress from the library's callbacks: kept, and shown at the window's pace
  // (runner/progresspace.h). The major bar never moves back within one target.
  void NoteMajorPercent(int percent);
  void NoteMinorPercent(int percent);
  void NoteFileName(const char* item, bool zipName);   // lblFN: the item's lower-cased name
  void NoteMajorItem(const char* item);                // lblMajorFN: the item as it is
  // At the end of every callback: shows what waits and pumps messages when each is due;
  // DoCancel := the cancel flag.
  void PaceProgress(bool& DoCancel);
  // Shows at once whatever the callbacks left (the last state, when a command ends).
  void ShowProgress();
  // The colours of the gradient bars (no effect on the plain ones).
  void SetBarColors(tk::TColor color, int contrast) override;

  // Progress callbacks of the two zip components (their messages are the engine's).
  void ZipFile1MajorCallback(const char* szItem, int32_t Percent, bool& DoCancel);
  void ZipFile1MinorCallback(const char* szItem, int32_t Percent, bool& DoCancel);
  void UnzipFile1MajorCallback(const char* szItem, int32_t Percent, bool& DoCancel);
  void UnzipFile1MinorCallback(const char* szItem, int32_t Percent, bool& DoCancel);

  // The timer handlers (public so that tests can step them).
  void tmrActivateTimer();
  void tmrElapsedTimer();
  // "hh:mm:ss" of a span of days, each part two digits.
  static std::string ElapsedText(tk::TDateTime span);

 protected:
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  void FormCreate();
  void FormKeyDown(WORD& key, tk::TShiftState shift);
  tk::TImage& StatusImage(TStatusIcon icon);
  // What the callbacks left that the window does not show yet.
  struct TPendingProgress {
    int major = -1, minor = -1;             // -1: nothing new
    bool hasFileName = false, zipName = false, hasMajorItem = false;
    std::string fileName, majorItem;        // as the library gave them
  };
  TPendingProgress pending_;
  TProgressPace pace_;
  bool dispatching_ = false;  // the command is running
  bool dispatched_ = false;   // the command is done; the window may close
  bool ctrlHeld_ = false;
};

// ---------------------------------------------------------------------------------
// The frame (runner/runqbmain.cpp).

// The whole program: start checks, window, command, hand-off, end. Returns the exit code.
int RunQbMain();
// Saves the error list to a new error file and starts the viewer with it; at most
// once, and nothing for an empty list.
void HandOffErrors();
// The error-file text of the list: each entry one line (CR and LF inside become blanks).
std::string ErrorListText(const tk::TStringList& list);
