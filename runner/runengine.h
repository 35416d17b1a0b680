#pragma once
// The run of profiles (commands R and B) and the pieces the test, split, join and
// extract commands share with it: error lines, result texts, the media check, the
// temporary folder of store-and-zip archives, the notifications after a run, the delay
// lines of B and the calls of the zip library with its messages answered. It shows what
// it does only through a TRunProgress (runner/runprogress.h) and knows no window.
#include <cstdint>
#include <string>
#include <vector>

#include "runner/runprogress.h"
#include "settings/qbprofile.h"
#include "toolkit/datetime.h"
#include "toolkit/stringlist.h"

// R, and the run half of B: every named profile, shown in the view.
void RunProfiles(TRunProgress& view);

// Appends one ErrorLine to Runner.ErrorList.
void AddRunError(int code, const std::string& message, const std::string& profile = std::string(),
                 const std::string& computer = std::string());
// The same for something the command failed to do (a profile that did not run or test,
// a command that could not start or did not complete): it sets the exit code too. Code 0
// lines of AddRunError alone are warnings that leave the exit code as it is.
void AddRunFailure(int code, const std::string& message, const std::string& profile = std::string(),
                   const std::string& computer = std::string());

// "<code> [<profile>[ (<computer>)]: ]<message>", always one line (CR and LF become blanks).
std::string ErrorLineText(int code, const std::string& message, const std::string& profile,
                          const std::string& computer);
// The texts of the library's result codes; a code outside the tables reads "Error <code>".
std::string ZipResultText(int code);
std::string UnzipResultText(int code);

// Logs folder + profile + " ziplog " + "yyyy mm dd hhnn" of now + ".txt".
std::string ZipLogFileName(const std::string& profileName);

// The items of a comma text, each quoted when it holds a blank, joined by blanks.
std::string SpecListToItemList(const std::string& commaText);
// "\\<computer>\<share>": the share has the zip file's name without folder and extension.
std::string ComputerSharePath(const TQbProfile& profile, const std::string& computer);

// Does the volume label of the zip's drive match the profile's media list?
bool MediaMatches(const std::string& mediaList, const std::string& zipPath);
// The error text of a failed media check ("Couldn't run" / "Couldn't test" before it).
std::string MediaFailureText(const std::string& verb, const std::string& mediaList);

// The after-date of the date filter as "mmddyy" ("" for none), computed for today.
std::string AfterDateText(const TQbProfile& profile, tk::TDateTime today);
// The suffixes stored without compression (flags 14, 15 and the profile's own list).
std::string StoreSuffixText(const TQbProfile& profile);
// The exclude masks: the exclude list and the named exclude filters of the profile.
std::string ExcludeText(const TQbProfile& profile);

// A new folder "qb_*.dir" in the temporary folder, made for this call alone; the
// path of "stored.zip" inside it, "" when no new folder could be made.
std::string MakeStoredArchivePath();
// Deletes the stored.zip (and whatever else lies in its folder) and the folder.
// Failures are reported with the two texts given (each followed by the path).
void RemoveStoredArchivePath(const std::string& storedZip, const std::string& fileFailure,
                             const std::string& folderFailure, const std::string& profile,
                             const std::string& computer);

// The profile of a command-line argument: false (after the error line with missingText)
// when its key does not exist. A stored value that did not read cleanly adds a warning.
// The profile is named after its key, whatever its stored pn says, so that its results go
// to the key that was run.
bool LoadNamedProfile(const std::string& name, const std::string& missingText, TQbProfile& p);
// Which result of a target a record writes: the run's (lrun and ze; for a computer its
// values in the subkeys lr and ze) or the test's (ltst and te; lt and te).
enum class TResultKind { Run, Test };
// Records one target's result under the profile's key: the time (now) and the code, which
// 0 deletes. Several runners may do one profile at once: a 0 does not clear a code that
// another run recorded after `started`, while this one was going, so every failure stays in
// the results until a run that started after it succeeds.
void RecordTargetResult(TResultKind kind, const TQbProfile& p, const std::string& computer, int code,
                        tk::TDateTime started);

// The computers of the profile; one empty entry for a single-computer profile.
std::vector<std::string> TargetComputers(const TQbProfile& p);

// ToRefresh := the quoted list of the profile arguments in the selection.
void WriteToRefresh();
// Posts the refresh message to the manager's window when AutoRefresh is on.
void NotifyManagerRefresh();
// Runs one zip for one computer ("" for a single-computer profile).
void ZipProfileTarget(TRunProgress& view, const TQbProfile& profile, const std::string& computer);

// Command B: raises the view's longest matching delay with the custom delay lines
// whose prefix begins the zip path.
void UpdateCustomDelay(TRunProgress& view, const std::string& zipPath);
// The longest delay of the lines (prefix "=" seconds) that match the zip path; 0 when
// none matches.
int LongestMatchingDelay(const tk::TStringList& lines, const std::string& zipPath, bool* matched = nullptr);

// Every option, set and text of the component cleared (the address of a volume size too).
void ClearZipFile(TZipFile& z);

// What the compression side may ask during one call: the name of the zip log it writes
// (its header is always the same), the file where it lists the zipped files whose
// archive bits this runner clears itself ("" when it is to clear them), and the zip whose
// place a zip written under a fresh name takes ("" when it is written in place). What it
// tells back: the system's code of a write that failed, into WriteError when given.
struct TZipQueries {
  std::string LogName;
  std::string ArchiveList;
  std::string FinalName;
  unsigned long* WriteError = nullptr;
};
// Runs the component once with the library's messages answered for this call alone:
// errors and warnings become error lines, questions are answered from queries (the
// extraction side asks none). True when the result is 0.
bool ExecuteZip(TZipFile& z, int32_t functionCode, const TZipQueries& queries);
bool ExecuteUnzip(TUnzipFile& u, int32_t functionCode);
