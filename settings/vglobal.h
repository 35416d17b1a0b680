#pragma once
// Path, drive and file helpers shared by every program. They keep no state.
// "Quiet" below: the file-system call runs with the critical-error mode set to fail
// silently, so a missing or empty removable drive never raises a system box.
// Paths are UTF-8 text.
#include <functional>
#include <string>
#include <string_view>

#include "toolkit/stringlist.h"

// Every byte with all eight bits inverted (same length; twice gives the input back).
// Serves the profile's stored zip password in both directions.
std::string InvertChars(std::string_view s);

// A drive of at most 2.88 MB: the drive number is the upper-cased first character
// (A: = 1); its total size is asked quietly; true when it is above 0 and at most
// 2.88 * 1,048,576 bytes. False for an empty path and an unreadable drive.
bool IsFloppyDrive(std::string_view path);
// True only when the drive root of the path (its first three characters, "C:\") is a
// fixed drive; false for a network path and for a path shorter than 3 characters.
bool IsFixedDrive(std::string_view path);
// At least 3 characters and the first two are backslashes.
bool IsUNCPath(std::string_view path);

// The text in double quotes when it holds a blank and no double quote; otherwise as
// it is (a text that already holds a double quote is never wrapped).
std::string QuoteIfSpaces(std::string_view s);

// The file-system path of a shell folder (CSIDL_* id). On success the path with one
// backslash appended and 0; when the shell refuses the folder, its result code and
// path unchanged; when the folder has no file-system path, E_UNEXPECTED (0x8000FFFF)
// and path unchanged.
long GetSpecialFolder(int folderId, std::string& path);
// The user's documents folder with trailing backslash; the program's own folder when
// the shell has none.
std::string GetMyDocumentsDir();
// The per-user application-data folder with trailing backslash; "" when none.
std::string GetAppDataDir();

// The file-name part of the path without its extension (the text from the last dot,
// compared without regard to case). Repeated copies of the extension at the end of
// the name go too: a.zip.zip and a.TXT.txt give a, My.zipfiles.zip gives My.zipfiles,
// a name without a dot comes back whole.
std::string ExtractFileNameNoExt(std::string_view path);

// The desktop reports more than 256 colours.
bool IsHighColorDisplay();

// The volume label of the path's drive ("C:" or "\\server\share"), asked quietly;
// "" when the path has no drive part or the query fails.
std::string GetDriveVolumeLabel(std::string_view path);

// The system temporary folder with trailing backslash; "C:\" when it cannot be read.
std::string GetTempDir();

// Quiet probes: an existing entry that is not a folder (false for "") / an existing
// folder.
bool FileExistsQuiet(std::string_view path);
bool DirExistsQuiet(std::string_view path);

// Prunes the files matching mask (a path whose last piece may hold wildcards).
// Folders are never touched. Nothing is done when keep is below 0.
// By count (byDate false, or keep 0): the keep newest files by last-write time stay,
// every older one is deleted. By date (byDate true and keep at least 1): every file
// whose last-write date is on or before today minus keep days is deleted (keep 5 on
// day D keeps the files of days D-4 to D).
// A file that cannot be deleted adds the line "0 Couldn't delete: " + its full path
// through QuoteIfSpaces to errorList, and the others go on.
// With isOwn, only the matching files it takes (by name, without folder) are counted and
// deleted: a mask may also match a file of the same shape that is not the caller's.
void DeleteOldFiles(std::string_view mask, int keep, tk::TStringList& errorList, bool byDate,
                    const std::function<bool(const std::string& name)>& isOwn = {});

// The list holds two strings that are equal without regard to case.
bool HasDuplicates(const tk::TStringList& list);
