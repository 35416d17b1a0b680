#pragma once
// Path pieces, quiet file-system probes and directory search.
// Every probe here runs inside a QuietErrorMode, so a missing or empty removable
// drive fails the call instead of raising a system box asking for a disk.
#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "toolkit/datetime.h"

namespace tk {

// --- path pieces (pure text; '\' and ':' are the separators, '/' is not) ---
// Folder with its trailing backslash (or the drive "C:"), "" when there is none.
std::string ExtractFilePath(std::string_view path);
// The part after the last '\' or ':'.
std::string ExtractFileName(std::string_view path);
// From the last '.' after the last '\' or ':' (with the dot), "" when none.
std::string ExtractFileExt(std::string_view path);
// Replaces the extension (or appends ext when there is none); ext holds its dot.
std::string ChangeFileExt(std::string_view path, std::string_view ext);
// "C:" for a drive path, "\\server\share" for a network path, "" otherwise.
std::string ExtractFileDrive(std::string_view path);
// Adds / removes one trailing backslash (an empty path becomes "\").
std::string IncludeTrailingBackslash(std::string_view path);
std::string ExcludeTrailingBackslash(std::string_view path);

// This program's full file name (GetModuleFileNameW of the exe) and its folder
// with trailing backslash.
std::string ProgramFile();
std::string ProgramDir();

// --- quiet probes ---
// Adds SEM_FAILCRITICALERRORS to the process's error mode for its lifetime and
// restores the previous mode afterwards.
class QuietErrorMode {
 public:
  QuietErrorMode();
  ~QuietErrorMode();
  QuietErrorMode(const QuietErrorMode&) = delete;
  QuietErrorMode& operator=(const QuietErrorMode&) = delete;

 private:
  UINT previous_ = 0;
};

// An existing entry that is not a folder (false for "" and for folders).
bool FileExists(std::string_view path);
// An existing folder (a trailing backslash is allowed; "C:\" is a folder).
bool DirectoryExists(std::string_view path);
// Creates the folder and every missing parent; true when it exists afterwards.
bool ForceDirectories(std::string_view path);
// Deletes a file / renames (moves on the same volume) a file or folder. Named so
// because the Win32 headers define DeleteFile as a macro.
bool RemoveFile(std::string_view path);
bool RenameFile(std::string_view oldName, std::string_view newName);
// File attributes, INVALID_FILE_ATTRIBUTES when the entry is missing.
DWORD FileAttributes(std::string_view path);
// Last-write time of a file or folder; false when missing.
bool FileLastWrite(std::string_view path, FILETIME* utc);
// Last-write time as local TDateTime, -1 when missing.
TDateTime FileDateTime(std::string_view path);
// Last-write time as local DOS packed date-time, -1 when missing.
int64_t FileAge(std::string_view path);
// 64-bit size of a file, -1 when missing or a folder.
int64_t FileSize(std::string_view path);

// --- directory search ---
// Attribute bits of the search (the Win32 FILE_ATTRIBUTE_* values).
constexpr DWORD faReadOnly = 0x01;
constexpr DWORD faHidden = 0x02;
constexpr DWORD faSysFile = 0x04;
constexpr DWORD faVolumeID = 0x08;
constexpr DWORD faDirectory = 0x10;
constexpr DWORD faArchive = 0x20;
constexpr DWORD faAnyFile = 0x3F;

struct TSearchRec {
  std::string name;      // name without folder
  DWORD attr = 0;        // FILE_ATTRIBUTE_* bits
  int64_t size = 0;      // 64-bit size (0 for folders)
  FILETIME lastWrite{};  // UTC, as the file system keeps it
  uint32_t time = 0;     // lastWrite as local DOS packed date-time
};

// Entries matching mask (a path whose last piece may hold * and ?), in the order
// the file system gives them, without "." and "..". As the toolkit's search does,
// entries that are hidden, system files or folders are returned only when attr
// holds that bit (faReadOnly and faArchive entries are always returned); volume
// labels are never returned. A missing folder or drive gives an empty list.
std::vector<TSearchRec> FindFiles(std::string_view mask, DWORD attr = faAnyFile);

// Wildcard match of the file system kind, without regard to case: '*' any run of
// characters, '?' any one character; a mask ending in ".*" also matches a name
// without a dot ("*.*" matches everything) and a mask ending in '.' matches a name
// without extension there ("*." matches "README" but not "a.txt").
bool MatchesMask(std::string_view name, std::string_view mask);

}  // namespace tk
