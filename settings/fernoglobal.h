#pragma once
// Application-wide helpers of the manager and the runner: the message box with letter
// codes, the Logs and Errors folders, pruning of old error files, the summaries
// AllRunsOK and AllTestsOK with the scheduler's notification, small list and mask
// helpers, delete through the shell, 64-bit file sizes and the shut-down entry.
#include <windows.h>

#include <cstdint>
#include <string>

#include "toolkit/win_controls.h"

// The standard message dialog, modal. Codes (any case, found anywhere in the
// string): kind "ie" error, "iw" warning, "iq" confirmation, else information;
// buttons "ync" Yes/No/Cancel, "yn" Yes/No, "oc" OK/Cancel, else OK. Other letters
// ("top", "d2") change nothing. Returns the modal result of the button pressed.
int MsgDlg(const std::string& text, const std::string& codes, const std::string& caption = std::string());

// True when some item of the zip is encrypted.
bool ZipHasEncryptedItems(const std::string& zipFile);

// Number of rows whose check box is ticked.
int CountCheckedItems(const tk::TListView& listView);

// True when the folder exists or could be made with all missing parents; false
// for an empty name and when making it fails.
bool EnsureDirExists(const std::string& folder);
bool EnsureLogsDir();
bool EnsureErrorsDir();

// Deletes the error files older than daysToKeep days (0: all of them). When some
// file stays: showMessage true shows the warning box "Could not delete
// errors/warnings"; false starts the viewer with that text instead.
void DeleteOldErrorFiles(int daysToKeep, bool showMessage);

// shutDownOnly true: shut the system down; false: power the computer off.
bool ShutDownComputer(bool shutDownOnly);

// A warning-kind box captioned "Information" with a "Don't show again" check box;
// nothing when showAgain is false. Afterwards showAgain := not ticked.
void InfoDlgDontShowAgain(const std::string& text, int height, int checkWidth, bool& showAgain);

// Posts WM_QBSCH_RESULTSCHANGED to the scheduler's window when it runs.
void NotifySchedulerStatus();
// Recompute AllRunsOK (no profile has a zip error ze) / AllTestsOK (no test error
// te), always write it, then NotifySchedulerStatus.
void UpdateAllRunsOK();
void UpdateAllTestsOK();

// One element of the ';' list, trimmed, equals the name without regard to case.
bool IsInSemicolonList(const std::string& name, const std::string& list);
// Comma text of extensions to wildcard masks joined by single blanks: "txt" becomes
// "*.txt", an item with a dot stays as it is, empty items are skipped.
std::string ExtensionsToMasks(const std::string& commaText);

// Deletes one file through the shell, silently, to the recycle bin when allowUndo.
// -1 when the file does not exist; otherwise the shell's result (0 = success).
int ShellDeleteFile(const std::string& fileName, bool allowUndo, HWND owner);

// 64-bit size of the file as the directory search reports it; -1 when nothing is
// found or the name is a folder.
int64_t GetFileSize64(const std::string& fileName);
