#pragma once
// The settings store: every program setting as a REG_SZ value under the current
// user's Software\Quillbank (or the old layout's root, for the converter). Each
// setting has one getter with its default inside it and, where a program writes it,
// one setter. A setter deletes the value when it equals its default, except where
// noted "always written". Nothing is cached: every getter reads the registry and
// every setter writes it at once, so several programs can use the store together.
// A missing section or value, or a number that does not parse, reads as the default;
// a value of another registry type reads as the ini wrapper's text of it.
//
// <windows.h> is included (through the wrapper) before the class, so the Win32
// macro GetDateFormat renames the accessor of the same name consistently in every
// file that uses it.
#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

#include "settings/foconsts.h"
#include "toolkit/reginifile.h"

// Default of the XPMenu setting: false on Windows NT 5.1, true on every other version.
bool DefaultXPMenu();

class TFernoIni : public tk::TRegIniFile {
 public:
  // Opens (creating it) QuillbankRootKey when UseShortNames is true, else
  // OldQuillbankRootKey, for full access. The root is chosen here once; the section
  // names are read from the FoConsts globals at each call.
  TFernoIni();
  ~TFernoIni() override;

  // ---- section GeneralSection ----
  bool GetAllowUndo() const;
  void SetAllowUndo(bool value);
  bool GetAutoRefresh() const;
  void SetAutoRefresh(bool value);
  // False without reading on a display of 256 colours or fewer.
  bool GetColorProgressbar() const;
  void SetColorProgressbar(bool value);
  // Widths of the main window's profile list columns, index 0..7 (defaults 140, 67,
  // 53, 100, 100, 68, 67, 55). Any other index reads nothing and gives 100; the
  // setter ignores it.
  int GetColWidth(int index) const;
  void SetColWidth(int index, int width);
  int GetFormWidth() const;
  void SetFormWidth(int value);
  int GetFormHeight() const;
  void SetFormHeight(int value);
  int GetFormLeft() const;
  void SetFormLeft(int value);
  int GetFormTop() const;
  void SetFormTop(int value);
  std::string GetLastProfile() const;
  void SetLastProfile(const std::string& value);
  bool GetMaskPassword() const;
  void SetMaskPassword(bool value);
  // Progress bar colours (0x00BBGGRR or 0x800000nn for a system colour), index 1
  // (running, default 0xFEE4D8) or 2 (testing, default 0x8000000F, button face).
  // Any other index reads nothing and gives the button face; the setter ignores it.
  int GetProgressColor(int index) const;
  void SetProgressColor(int index, int color);
  int GetScheduleCount() const;
  void SetScheduleCount(int value);
  bool GetShowFNOnRun() const;
  void SetShowFNOnRun(bool value);
  int GetStartupDelay() const;
  void SetStartupDelay(int value);
  // Quoted profile list: every name in double quotes, each followed by one blank.
  std::string GetStartupProfiles() const;
  void SetStartupProfiles(const std::string& value);
  std::string GetToRefresh() const;
  void SetToRefresh(const std::string& value);
  bool GetUse2ColorView() const;
  void SetUse2ColorView(bool value);
  int GetContrast() const;
  void SetContrast(int value);
  int GetContrast2() const;
  void SetContrast2(int value);
  bool GetAllRunsOK() const;
  void SetAllRunsOK(bool value);   // always written
  bool GetAllTestsOK() const;
  void SetAllTestsOK(bool value);  // always written
  // Default zip comment, stored as the comma text of its lines. The getter returns
  // the lines each followed by CR LF ("" when absent); the setter splits at CR, LF
  // or CR LF; an empty text deletes the value.
  std::string Getdcmt() const;
  void Setdcmt(const std::string& text);
  // "mm/dd/yyyy" by default; while the old layout's names are in force
  // (UseShortNames false, the converter reading) the default is "mmm-dd-yyyy".
  // The setter deletes only at exactly "mm/dd/yyyy" (case matters).
  std::string GetDateFormat() const;
  void SetDateFormat(const std::string& value);
  bool GetIncludeTime() const;
  void SetIncludeTime(bool value);
  bool GetBackupToReg() const;
  void SetBackupToReg(bool value);
  std::string GetRegBackupDir() const;
  void SetRegBackupDir(const std::string& value);  // always written
  bool GetDoNotVerifyAppFileVersions() const;
  void SetDoNotVerifyAppFileVersions(bool value);
  int GetAlternateColor() const;
  void SetAlternateColor(int value);
  int GetAlternateColor2() const;
  void SetAlternateColor2(int value);
  // Default: GetTempDir(), computed at each call; the setter deletes the value when it
  // equals that folder without regard to case.
  std::string GetTempDirectory() const;
  void SetTempDirectory(const std::string& value);
  std::string GetZipFileSizeUnit() const;
  void SetZipFileSizeUnit(const std::string& value);  // deleted at exactly "MB"
  int GetZipFileSizePrecision() const;
  void SetZipFileSizePrecision(int value);
  bool GetSchedulerOnStartup() const;
  void SetSchedulerOnStartup(bool value);
  // Default DefaultXPMenu(); deleted when equal to it.
  bool GetXPMenu() const;
  void SetXPMenu(bool value);
  bool GetDisableStartupProfiles() const;
  void SetDisableStartupProfiles(bool value);
  bool Get24HourTime() const;
  void Set24HourTime(bool value);
  int GetAutoRunDelay() const;
  void SetAutoRunDelay(int value);
  bool GetbRunFromScheduler() const;
  void SetbRunFromScheduler(bool value);  // always written
  int GetAutoRunCount() const;
  void SetAutoRunCount(int value);
  bool GetShowButtonText() const;
  void SetShowButtonText(bool value);
  int GetDontAutoRun() const;  // virtual-key code, 17 (Ctrl) by default
  void SetDontAutoRun(int value);
  bool GetBeepOnAutoRunSkip() const;
  void SetBeepOnAutoRunSkip(bool value);
  // "left,top,width,height" of the zip log window, default "130,70,540,420".
  std::string GetLogFormPos() const;
  void SetLogFormPos(const std::string& value);  // always written
  int GetMcProfileViewHeight() const;
  void SetMcProfileViewHeight(int value);
  std::string GetLastMcProfile() const;
  void SetLastMcProfile(const std::string& value);
  bool GetRememberAutoRunSelection() const;
  void SetRememberAutoRunSelection(bool value);
  bool GetFixToolbarProblem() const;  // read only
  bool GetUseSavedSize() const;
  void SetUseSavedSize(bool value);
  // 1 ordinary profiles, 2 multi-computer profiles, 3 both; the setter always writes
  // the low seven bits of the value.
  int GetProfileVisibility() const;
  void SetProfileVisibility(int value);
  std::string GetsSelectedMcNames() const;
  void SetsSelectedMcNames(const std::string& value);  // always written
  bool GetMcpViewActive() const;
  void SetMcpViewActive(bool value);
  bool GetBeepOnRegBackupError() const;
  void SetBeepOnRegBackupError(bool value);
  bool GetRegBackupToMyDocuments() const;
  void SetRegBackupToMyDocuments(bool value);
  int GetRunAndTestDelay() const;
  void SetRunAndTestDelay(int value);
  std::string GetCustomRunAndTestDelay() const;
  void SetCustomRunAndTestDelay(const std::string& value);
  bool GetDontShowEwDlgViaSch() const;
  void SetDontShowEwDlgViaSch(bool value);
  std::string GetShutdownProfiles() const;
  void SetShutdownProfiles(const std::string& value);
  bool GetShutdownProfilesDisabled() const;
  void SetShutdownProfilesDisabled(bool value);
  bool GetbRunningShutdownProfiles() const;
  void SetbRunningShutdownProfiles(bool value);
  bool GetAutomaticShutdownAction() const;
  void SetAutomaticShutdownAction(bool value);
  // Action letter of the start-up (tc) and shut-down (hc) profiles: 'r' run,
  // 't' test, 'b' run and test; stored as the letter's character code, deleted at 'r'.
  char Gettc() const;
  void Settc(char letter);
  char Gethc() const;
  void Sethc(char letter);
  int GetShutdownDelay() const;
  void SetShutdownDelay(int value);
  int GetOnTurnoff() const;
  void SetOnTurnoff(int value);
  bool GetExploreTargetFolder() const;
  void SetExploreTargetFolder(bool value);
  int GetDaysToKeepErrors() const;
  void SetDaysToKeepErrors(int value);
  bool GetShutdownOnDllInitFailed() const;
  void SetShutdownOnDllInitFailed(bool value);
  int GetBeepFrequency() const;
  void SetBeepFrequency(int value);
  int GetBeepDuration() const;
  void SetBeepDuration(int value);
  bool GetDontShowMBoxOnTest() const;
  void SetDontShowMBoxOnTest(bool value);
  bool GetDynaZipDiagnostic() const;  // read only
  bool GetbRunViaAutoRun() const;
  void SetbRunViaAutoRun(bool value);  // always written
  std::string GetsMsgBeforeAutoRun() const;
  void SetsMsgBeforeAutoRun(const std::string& value);  // always written
  std::string GetsMediaInserted() const;
  void SetsMediaInserted(const std::string& value);  // always written
  std::string GetsProfilesToDeselect() const;
  void SetsProfilesToDeselect(const std::string& value);  // always written
  int GetLastShutdown() const;  // 1 turn off, 2 log off
  void SetLastShutdown(int value);
  int GetWinShutdown() const;  // 1 shut down, 2 log off
  void SetWinShutdown(int value);
  std::string GetLastSchedule() const;
  void SetLastSchedule(const std::string& value);
  // Old layout only: the stored lines DefCmt0.. below DefCmtCount joined, each followed
  // by CR LF; "" when the count is 0 or less.
  std::string GetDefCmt() const;

  // ---- section ProfileNamesSection ----
  int GetProfileCount() const;
  void SetProfileCount(int value);
  // P<index>; always written, never deleted.
  std::string GetProfileName(int index) const;
  void SetProfileName(int index, const std::string& name);
  // Every stored entry P<index>, in index order, read in one pass over the section,
  // also those at or beyond ProfileCount: a count beyond the entries present costs
  // nothing more, and an index without its entry is left out.
  struct TProfileEntry {
    int Index;
    std::string Name;
  };
  std::vector<TProfileEntry> GetProfileEntries() const;
  // Writes name as a new entry behind ProfileCount and every stored entry, and makes the
  // count cover it.
  void AddProfileName(const std::string& name);
  // Their names alone.
  std::vector<std::string> GetProfileNames() const;

 protected:
  // Value of GeneralSection by the uniform setter rule: deleted when equal to def.
  bool ReadGeneralBool(std::string_view name, bool def) const;
  int ReadGeneralInt(std::string_view name, int def) const;
  std::string ReadGeneralString(std::string_view name, std::string_view def) const;
  void PutGeneralBool(std::string_view name, bool value, bool def);
  void PutGeneralInt(std::string_view name, int value, int def);
  void PutGeneralString(std::string_view name, std::string_view value, std::string_view def);
};

// The scheduler's log-on command for the programs' folder (with its trailing
// backslash): the program's path, in double quotes when it holds a blank, then
// " -RunStartupProfiles". The scheduler finds its switch among the words of either form,
// so an entry written unquoted by an earlier version still works.
std::string SchedulerStartupCommand(const std::string& programDir);
// Writes the scheduler's log-on entry: value "Quillbank" in the current user's Run
// key = SchedulerStartupCommand of this program's folder. A key that cannot be opened
// is ignored.
void AddSchedulerToStartup();
// Deletes that entry when present; when it is there and cannot be deleted, shows the
// system error box "Couldn't remove Quillbank 2.0 Scheduler from system startup".
void RemoveSchedulerFromStartup();

// Sets the run-time long time format: "hh:nn" when 24HourTime is on, else
// "hh:nn AM/PM".
void SetTimeFormat(TFernoIni& ini);

// <application data>\Quillbank\Logs\ (or \Errors\); the program's folder + "Logs\"
// (or "Errors\") when there is no application-data folder. Always with a trailing
// backslash; the folder is not created.
std::string GetLogsDir();
std::string GetErrorsDir();
// GetErrorsDir() + the local time as "yyyy mm dd - hh nn ss zzz" (24-hour, zero
// padded) + ".err", e.g. "2003 07 14 - 09 05 03 042.err".
std::string NewErrorFileName();
// Creates a new error file (never one that exists) in the Errors folder and writes
// text into it; the name on success, "" when none could be written.
std::string SaveNewErrorFile(const std::string& text);

// The system beep with BeepFrequency hertz for BeepDuration milliseconds.
void PlayBeep(TFernoIni& ini);
