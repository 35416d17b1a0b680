#pragma once
// The runner's progress window and the state that the whole runner shares: the
// error list, the command and its words, the values the starter handed over, the
// computer filter and profile selection, the cancel flag and the shutdown choice.
//
// Who defines what:
//   runner/runqbmain.cpp  the window (construction, layout, timers, keys, the
//                         session-end answer), the start checks, the dispatcher,
//                         HandOffErrors and the end of the program.
//   runner/runengine*.cpp the run of profiles, AddRunError and the six callback
//                         members of the window (ZipFile1... / UnzipFile1...).
//   runner/commands*.cpp  test, the delay before the test, split, join, extract,
//                         CheckVolumesExist and TExtrParams (runner/extrparams.h).
// runqbmain.cpp is part of the RunQb program only (not of the runner library); a
// test that builds the window in-process lists it among its SOURCES.
#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "controls/g32_progressbar.h"
#include "controls/realpassdialog.h"
#include "runner/progresspace.h"
#include "runner/zipfile.h"
#include "settings/fernoini.h"
#include "settings/unzipfile.h"
#include "toolkit/datetime.h"
#include "toolkit/stringlist.h"
#include "toolkit/win_controls.h"
#include "toolkit/win_form.h"
#include "toolkit/win_timer.h"

// The parsed X command line (runner/extrparams.h): default-constructed at start,
// Parse(raw command line) at the start check of X, then its zip is tested.
class TExtrParams;

// The one-shot values the manager or the scheduler leave in Options\General before
// they start the runner; read once at start (all but bRunningShutdownProfiles are
// deleted right after).
struct TRunnerHandOffValues {
  bool bRunningShutdownProfiles = false;
  bool bRunFromScheduler = false;
  bool bRunViaAutoRun = false;
  std::string sMsgBeforeAutoRun;
  std::string sMediaInserted;
  std::string sProfilesToDeselect;  // comma text
  std::string sSelectedMcNames;     // comma text
};

// What the runner does to the session after a shutdown-profile run (set by the
// shutdown countdown). ShutDownOnly: turning off shuts down instead of powering off.
struct TShutdownChoice {
  bool TurnOff = false;
  bool LogOff = false;
  bool Restart = false;
  bool ShutDownOnly = false;
};

// Program-wide state: one instance for the life of the runner.
struct TRunnerState {
  TFernoIni* Ini = nullptr;            // the settings store
  tk::TStringList ErrorList;           // ErrorLines, filled by AddRunError
  TExtrParams* ExtrParams = nullptr;   // owned by the start sequence
  char Command = 0;                    // 'R', 'T', 'B', 'A', 'S', 'X' (upper case)
  // The command line as words: [0] the program, [1] the letter, [2..] its arguments
  // (profile names, or the arguments of S, A and X). Arg(i) is "" out of range.
  std::vector<std::string> Args;
  std::string RawCommandLine;          // as the process got it (X parses it itself)
  TRunnerHandOffValues HandOff;
  // Present only when sSelectedMcNames was not empty.
  std::unique_ptr<tk::TStringList> ComputerFilter;
  // Present only when the profile-choice window was confirmed: the ticked names.
  std::unique_ptr<tk::TStringList> ProfileSelection;
  bool Cancel = false;                 // Cancel button or closing the window
  TShutdownChoice Shutdown;
  bool TurnOffOnExit = false;          // the "Turn off on exit" check box
  bool ErrorsHandedOff = false;
  // What AddRunFailure noted: that something of the command failed, and the first
  // non-zero code it came with.
  bool Failed = false;
  int FirstErrorCode = 0;

  std::string Arg(int index) const {
    return index >= 0 && index < static_cast<int>(Args.size()) ? Args[static_cast<size_t>(index)] : std::string();
  }
  int ArgCount() const { return static_cast<int>(Args.size()) - 1; }  // words after the program
  // 0 only when everything the command was to do succeeded (every profile of a run or a
  // test); else the first error code of the run, 1 when its failures came with code 0.
  // A script or the task scheduler sees it as the program's exit code.
  int ExitCode() const { return FirstErrorCode != 0 ? FirstErrorCode : Failed ? 1 : 0; }
  // Profile arguments: does the selection (when there is one) hold the name?
  bool Selected(const std::string& name) const { return !ProfileSelection || ProfileSelection->IndexOf(name) >= 0; }
  // Multi-computer loops: does the filter (when there is one) hold the computer?
  bool ComputerWanted(const std::string& computer) const {
    return !ComputerFilter || ComputerFilter->IndexOf(computer) >= 0;
  }
};

inline TRunnerState Runner;

// ---------------------------------------------------------------------------------
// The progress window.
class TRunFoMainForm : public tk::TForm {
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
  // Command B: names that zipped without error (profile, or profile + '"' + computer),
  // and the lines of CustomRunAndTestDelay with the longest matching delay so far.
  std::unique_ptr<tk::TStringList> RanOKList;
  std::unique_ptr<tk::TStringList> CustomDelayList;
  int LongestCustomDelay = 0;
  bool CustomDelayMatched = false;  // some line matched, whatever its seconds

  // Progress display, for whichever pair of bars is shown.
  void SetMajorPosition(int percent);
  void SetMinorPosition(int percent);
  // All four bars to 0, lblFN emptied and repainted; nothing of the last target waits.
  void ResetProgress();
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
  void SetBarColors(tk::TColor color, int contrast);

  // Callbacks of the two zip components (defined with the run engine).
  void ZipFile1MajorCallback(const char* szItem, int32_t Percent, bool& DoCancel);
  void ZipFile1MinorCallback(const char* szItem, int32_t Percent, bool& DoCancel);
  void ZipFile1MessageCallback(uint16_t MsgID, uint16_t mbType, int32_t p1, int32_t p2, char* lpsz1, char* lpsz2,
                               int32_t& RtnResult);
  void UnzipFile1MajorCallback(const char* szItem, int32_t Percent, bool& DoCancel);
  void UnzipFile1MinorCallback(const char* szItem, int32_t Percent, bool& DoCancel);
  void UnzipFile1MessageCallback(uint16_t MsgID, uint16_t mbType, int32_t p1, int32_t p2, char* lpsz1,
                                 char* lpsz2, int32_t& RtnResult);

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
// The commands, called by the dispatcher (tmrActivate) with the window.
void RunProfiles(TRunFoMainForm& form);    // R, and the run half of B
void TestProfiles(TRunFoMainForm& form);   // T, and the test half of B
// B, between run and test: the countdown before the test (the dispatcher calls it
// only when more than one profile was named or the ran-OK list is not empty).
void ShowDelayBeforeTest(TRunFoMainForm& form);
void SplitArchive(TRunFoMainForm& form);   // S
void JoinVolumes(TRunFoMainForm& form);    // A
void ExtractArchive(TRunFoMainForm& form); // X

// Appends one ErrorLine to Runner.ErrorList.
void AddRunError(int code, const std::string& message, const std::string& profile = std::string(),
                 const std::string& computer = std::string());
// The same for something the command failed to do (a profile that did not run or test,
// a command that could not start or did not complete): it sets the exit code too. Code 0
// lines of AddRunError alone are warnings that leave the exit code as it is.
void AddRunFailure(int code, const std::string& message, const std::string& profile = std::string(),
                   const std::string& computer = std::string());

// Start check of S: does the volume path's folder hold a volume of that name already?
bool CheckVolumesExist(const std::string& volumePath);

// ---------------------------------------------------------------------------------
// The frame (runner/runqbmain.cpp).

// The whole program: start checks, window, command, hand-off, end. Returns the exit code.
int RunQbMain();
// Saves the error list to a new error file and starts the viewer with it; at most
// once, and nothing for an empty list.
void HandOffErrors();
// The error-file text of the list: each entry one line (CR and LF inside become blanks).
std::string ErrorListText(const tk::TStringList& list);
// Creates a new error file (never one that exists) in the Errors folder and writes
// text into it; the name on success, "" when none could be written.
std::string SaveNewErrorFile(const std::string& text);
