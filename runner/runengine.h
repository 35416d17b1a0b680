#pragma once
// The run of profiles (commands R and B) and the pieces the test, split, join and
// extract commands share with it: error lines, result texts, the media check, the
// temporary folder of store-and-zip archives and the notifications after a run.
#include <string>
#include <vector>

#include "settings/qbprofile.h"
#include "toolkit/datetime.h"

class TRunFoMainForm;

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
// when its key does not exist. A stored number that is no number adds a warning.
bool LoadNamedProfile(const std::string& name, const std::string& missingText, TQbProfile& p);
// The computers of the profile; one empty entry for a single-computer profile.
std::vector<std::string> TargetComputers(const TQbProfile& p);

// ToRefresh := the quoted list of the profile arguments in the selection.
void WriteToRefresh();
// Posts the refresh message to the manager's window when AutoRefresh is on.
void NotifyManagerRefresh();
// Runs one zip for one computer ("" for a single-computer profile).
void ZipProfileTarget(TRunFoMainForm& form, const TQbProfile& profile, const std::string& computer);

class TZipFile;
// Every option, set and text of the component cleared (the address of a volume size too).
void ClearZipFile(TZipFile& z);
