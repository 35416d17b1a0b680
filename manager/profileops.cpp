#include "manager/profileops.h"

#include <windows.h>

#include <algorithm>
#include <vector>

#include "settings/fernoglobal.h"
#include "settings/foconsts.h"
#include "settings/foschedules.h"
#include "settings/profilename.h"
#include "settings/protocol.h"
#include "settings/qbautoruns.h"
#include "settings/vglobal.h"
#include "toolkit/stringlist.h"
#include "toolkit/strings.h"

namespace {

std::string Quoted(const std::string& name) { return "\"" + name + "\""; }

// The first occurrence of what (any case) in text replaced by with; false when none.
bool ReplaceFirstNoCase(std::string& text, const std::string& what, const std::string& with) {
  const size_t at = tk::LowerCase(text).find(tk::LowerCase(what));
  if (at == std::string::npos) return false;
  text.replace(at, what.size(), with);
  return true;
}

// The same values (names, types and data) and the same subkeys, compared to the bottom.
bool SameKeyTree(HKEY a, HKEY b) {
  DWORD aKeys = 0, aValues = 0, bKeys = 0, bValues = 0;
  if (RegQueryInfoKeyW(a, nullptr, nullptr, nullptr, &aKeys, nullptr, nullptr, &aValues, nullptr, nullptr, nullptr,
                       nullptr) != ERROR_SUCCESS ||
      RegQueryInfoKeyW(b, nullptr, nullptr, nullptr, &bKeys, nullptr, nullptr, &bValues, nullptr, nullptr, nullptr,
                       nullptr) != ERROR_SUCCESS ||
      aKeys != bKeys || aValues != bValues)
    return false;
  for (DWORD i = 0; i < aValues; ++i) {
    wchar_t name[16384];
    DWORD nameLength = 16384, type = 0, size = 0;
    if (RegEnumValueW(a, i, name, &nameLength, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return false;
    std::vector<BYTE> data(size + 2), other(size + 2);
    DWORD otherType = 0, otherSize = size + 2;
    DWORD dataSize = size + 2;
    if (RegQueryValueExW(a, name, nullptr, nullptr, data.data(), &dataSize) != ERROR_SUCCESS ||
        RegQueryValueExW(b, name, nullptr, &otherType, other.data(), &otherSize) != ERROR_SUCCESS ||
        otherType != type || otherSize != dataSize || !std::equal(data.begin(), data.begin() + dataSize, other.begin()))
      return false;
  }
  for (DWORD i = 0; i < aKeys; ++i) {
    wchar_t name[256];
    DWORD nameLength = 256;
    if (RegEnumKeyExW(a, i, name, &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) return false;
    HKEY subA = nullptr, subB = nullptr;
    bool same = RegOpenKeyExW(a, name, 0, KEY_READ, &subA) == ERROR_SUCCESS &&
                RegOpenKeyExW(b, name, 0, KEY_READ, &subB) == ERROR_SUCCESS && SameKeyTree(subA, subB);
    if (subA) RegCloseKey(subA);
    if (subB) RegCloseKey(subB);
    if (!same) return false;
  }
  return true;
}

bool RenameProfileKey(TFernoIni& ini, const std::string& oldName, const std::string& newName) {
  if (oldName.empty() || newName.empty()) return false;
  const std::wstring from = tk::Widen(ProfileKey(oldName)), to = tk::Widen(ProfileKey(newName));
  const std::wstring pn = tk::Widen(newName);
  HKEY root = ini.RootKey(), source = nullptr, target = nullptr;
  // The whole tree goes over (the per-computer subkeys too) and must read back equal
  // before the old key is deleted.
  const bool ok =
      RegOpenKeyExW(root, from.c_str(), 0, KEY_READ, &source) == ERROR_SUCCESS &&
      RegCreateKeyExW(root, to.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &target, nullptr) == ERROR_SUCCESS &&
      RegCopyTreeW(source, nullptr, target) == ERROR_SUCCESS && SameKeyTree(source, target) &&
      RegSetValueExW(target, L"pn", 0, REG_SZ, reinterpret_cast<const BYTE*>(pn.c_str()),
                     static_cast<DWORD>((pn.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
  if (source) RegCloseKey(source);
  if (target) RegCloseKey(target);
  if (!ok) {
    if (ini.SectionExists(ProfileKey(newName))) ini.EraseSection(ProfileKey(newName));
    return false;
  }
  ini.EraseSection(ProfileKey(oldName));
  return true;
}

void RenameInLists(TFernoIni& ini, const std::string& oldName, const std::string& newName) {
  for (const TFernoIni::TProfileEntry& entry : ini.GetProfileEntries())
    if (tk::SameText(entry.Name, oldName)) {
      ini.SetProfileName(entry.Index, newName);
      break;
    }
  std::string list = ini.GetStartupProfiles();
  if (list.find(Quoted(oldName)) != std::string::npos && ReplaceFirstNoCase(list, Quoted(oldName), Quoted(newName)))
    ini.SetStartupProfiles(list);
  list = ini.GetShutdownProfiles();
  if (list.find(Quoted(oldName)) != std::string::npos && ReplaceFirstNoCase(list, Quoted(oldName), Quoted(newName)))
    ini.SetShutdownProfiles(list);

  std::string unread;
  TFoSchedules schedules(&unread);
  if (schedules.RenameProfile(oldName, newName)) PostToScheduler(WM_QBSCH_RELOADSCHEDULES);
  if (!unread.empty())
    MsgDlg(UnreadSchedulesText(unread) + "\r\n\r\nIts other values were left as they are.", "iw");
  TQbAutoRuns autoRuns;
  autoRuns.RenameProfile(oldName, newName);
}

void RenameZipLogs(const std::string& oldName, const std::string& newName) {
  // Collected first: a renamed log must not be met again by the search.
  const std::string logs = GetLogsDir();
  std::vector<std::wstring> found;
  WIN32_FIND_DATAW data;
  HANDLE search = FindFirstFileW(tk::Widen(logs + oldName + " ziplog*.txt").c_str(), &data);
  if (search != INVALID_HANDLE_VALUE) {
    do
      if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) found.push_back(data.cFileName);
    while (FindNextFileW(search, &data));
    FindClose(search);
  }
  const size_t oldLength = tk::Widen(oldName).size();
  for (const std::wstring& file : found)
    MoveFileW(tk::Widen(logs).append(file).c_str(), tk::Widen(logs + newName).append(file.substr(oldLength)).c_str());
}

}  // namespace

TNameRefusal RefuseNewProfileName(const TFernoIni& ini, const std::string& newName) {
  if (newName.empty()) return {"Invalid profile name", "ie"};
  if (newName.find('"') != std::string::npos) return {"Double quotes are not allowed in profile name", "ii"};
  // A backslash would nest keys, a wildcard would widen the zip-log mask.
  if (ProfileNameHasBadChar(newName)) return {"Characters \\ / : * ? < > | are not allowed in profile name", "ii"};
  // The temporary profile of a new zip is erased when the next one is made.
  if (tk::SameText(newName, TempProfileName)) return {"Profile with this name is not allowed", "ii"};
  if (ini.SectionExists(ProfileKey(newName))) return {"A profile named \"" + newName + "\" already exists", "ii"};
  return {};
}

bool RenameProfile(TFernoIni& ini, const std::string& oldName, const std::string& newName) {
  if (!RenameProfileKey(ini, oldName, newName)) return false;
  RenameInLists(ini, oldName, newName);
  RenameZipLogs(oldName, newName);
  return true;
}

std::string ProfileDeleteBlocker(const TFernoIni& ini, const std::string& name) {
  if (TFoSchedules().IsProfileScheduled(name)) return "It is assigned in a schedule.";
  if (ini.GetStartupProfiles().find(Quoted(name)) != std::string::npos) return "It is set to run on startup.";
  if (TQbAutoRuns().UsesProfile(name)) return "It is assigned in a AutoRun profile.";
  if (ini.GetShutdownProfiles().find(Quoted(name)) != std::string::npos) return "It is set to run on shutdown.";
  return "";
}

void DeleteProfileData(TFernoIni& ini, TQbProfile& profile, const std::string& name) {
  // Never the Profiles key itself.
  if (name.empty()) return;
  profile.nrl = 0;
  tk::TStringList errors;
  profile.PruneZipLogs(errors);
  ini.EraseSection(ProfileKey(name));
}
