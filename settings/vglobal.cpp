#include "settings/vglobal.h"

#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "toolkit/datetime.h"
#include "toolkit/files.h"
#include "toolkit/strings.h"

std::string InvertChars(std::string_view s) {
  std::string result(s);
  for (char& c : result) c = static_cast<char>(~static_cast<unsigned char>(c));
  return result;
}

bool IsFloppyDrive(std::string_view path) {
  if (path.empty()) return false;
  const int drive = static_cast<unsigned char>(tk::UpperCase(path.substr(0, 1))[0]) - 'A' + 1;
  if (drive < 1 || drive > 26) return false;  // not a drive letter: no such drive
  const wchar_t root[] = {static_cast<wchar_t>(L'A' + drive - 1), L':', L'\\', 0};
  ULARGE_INTEGER total{};
  {
    tk::QuietErrorMode quiet;
    if (!GetDiskFreeSpaceExW(root, nullptr, &total, nullptr)) return false;
  }
  // 2.88 MB, the largest floppy format.
  constexpr double kLargestFloppy = 2.88 * 1048576.0;
  return total.QuadPart > 0 && static_cast<double>(total.QuadPart) <= kLargestFloppy;
}

bool IsFixedDrive(std::string_view path) {
  if (IsUNCPath(path) || path.size() < 3) return false;
  return GetDriveTypeW(tk::Widen(path.substr(0, 3)).c_str()) == DRIVE_FIXED;
}

bool IsUNCPath(std::string_view path) {
  return path.size() >= 3 && path[0] == '\\' && path[1] == '\\';
}

std::string QuoteIfSpaces(std::string_view s) {
  if (s.find(' ') != std::string_view::npos && s.find('"') == std::string_view::npos)
    return "\"" + std::string(s) + "\"";
  return std::string(s);
}

long GetSpecialFolder(int folderId, std::string& path) {
  PIDLIST_ABSOLUTE items = nullptr;
  const HRESULT hr = SHGetSpecialFolderLocation(nullptr, folderId, &items);
  if (FAILED(hr)) return hr;
  wchar_t buffer[MAX_PATH + 1] = {};
  const bool hasPath = SHGetPathFromIDListW(items, buffer) != FALSE;
  CoTaskMemFree(items);
  if (!hasPath) return static_cast<long>(E_UNEXPECTED);
  path = tk::IncludeTrailingBackslash(tk::Narrow(buffer));
  return 0;
}

std::string GetMyDocumentsDir() {
  std::string path;
  GetSpecialFolder(CSIDL_PERSONAL, path);
  return path.empty() ? tk::ProgramDir() : path;
}

std::string GetAppDataDir() {
  std::string path;
  GetSpecialFolder(CSIDL_APPDATA, path);
  return path;
}

std::string ExtractFileNameNoExt(std::string_view path) {
  std::string name = tk::ExtractFileName(path);
  const std::string ext = tk::ExtractFileExt(name);
  if (ext.empty()) return name;
  // Only copies at the end: a dot-and-letters run inside the name ("My.zipfiles.zip")
  // is part of the name, not an extension.
  while (!name.empty() && tk::EndsText(ext, name)) name.resize(name.size() - ext.size());
  return name;
}

bool IsHighColorDisplay() {
  HDC dc = GetDC(nullptr);
  if (!dc) return false;
  const int colors = GetDeviceCaps(dc, NUMCOLORS);
  ReleaseDC(nullptr, dc);
  return colors == -1;
}

std::string GetDriveVolumeLabel(std::string_view path) {
  const std::string drive = tk::ExtractFileDrive(path);
  if (drive.empty()) return {};
  wchar_t label[261] = {};
  tk::QuietErrorMode quiet;
  if (!GetVolumeInformationW(tk::Widen(drive + "\\").c_str(), label, 261, nullptr, nullptr,
                             nullptr, nullptr, 0))
    return {};
  return tk::Narrow(label);
}

std::string GetTempDir() {
  wchar_t buffer[1024] = {};
  const DWORD len = GetTempPathW(1024, buffer);
  if (len == 0 || len >= 1024) return "C:\\";
  return tk::IncludeTrailingBackslash(tk::Narrow(std::wstring_view(buffer, len)));
}

// The toolkit's probes already run quietly.
bool FileExistsQuiet(std::string_view path) { return tk::FileExists(path); }
bool DirExistsQuiet(std::string_view path) { return tk::DirectoryExists(path); }

namespace {

struct FoundFile {
  std::string name;
  uint64_t lastWrite;  // UTC FILETIME ticks, for ordering
  tk::TDateTime localTime;
};

uint64_t Ticks(const FILETIME& ft) {
  return (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

void DeleteOrReport(const std::string& fullName, tk::TStringList& errorList) {
  if (!tk::RemoveFile(fullName)) errorList.Add("0 Couldn't delete: " + QuoteIfSpaces(fullName));
}

}  // namespace

void DeleteOldFiles(std::string_view mask, int keep, tk::TStringList& errorList, bool byDate,
                    const std::function<bool(const std::string& name)>& isOwn) {
  if (keep < 0) return;
  const size_t slash = mask.find_last_of('\\');
  const std::string folder(slash == std::string_view::npos ? std::string_view() : mask.substr(0, slash + 1));

  std::vector<FoundFile> files;
  for (const tk::TSearchRec& rec : tk::FindFiles(mask, tk::faAnyFile)) {
    if (rec.attr & (tk::faDirectory | tk::faVolumeID)) continue;
    if (isOwn && !isOwn(rec.name)) continue;
    FoundFile f{rec.name, Ticks(rec.lastWrite), 0.0};
    if (!tk::FileTimeToDateTime(rec.lastWrite, &f.localTime)) f.localTime = 0.0;
    files.push_back(std::move(f));
  }
  if (files.empty()) return;

  if (byDate && keep >= 1) {
    const tk::TDateTime limit = tk::Date() - keep;
    for (const FoundFile& f : files)
      if (std::floor(f.localTime) <= limit) DeleteOrReport(folder + f.name, errorList);
    return;
  }

  if (files.size() <= static_cast<size_t>(keep)) return;
  std::sort(files.begin(), files.end(),
            [](const FoundFile& a, const FoundFile& b) { return a.lastWrite < b.lastWrite; });
  // Oldest first: everything before the last `keep` records goes.
  const size_t toDelete = files.size() - static_cast<size_t>(keep);
  for (size_t i = toDelete; i-- > 0;) DeleteOrReport(folder + files[i].name, errorList);
}

bool HasDuplicates(const tk::TStringList& list) {
  tk::TStringList unique;
  unique.SetSorted(true);
  unique.AddStrings(list.Items());
  return unique.Count() < list.Count();
}
