#pragma once
// The runner's program-wide state: one process runs one command, and everything here
// lives as long as that process. The engine, the commands and the windows read it; the
// start sequence fills it and frees it at the end.
#include <memory>
#include <string>
#include <vector>

#include "settings/fernoini.h"
#include "toolkit/stringlist.h"

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

// The one program-wide instance.
inline TRunnerState Runner;
