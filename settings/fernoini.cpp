#include "settings/fernoini.h"

#include <algorithm>
#include <climits>
#include <cstdio>

#include "settings/protocol.h"
#include "settings/vglobal.h"
#include "toolkit/datetime.h"
#include "toolkit/files.h"
#include "toolkit/stringlist.h"
#include "toolkit/strings.h"

namespace {

constexpr const char* kDefaultDateFormat = "mm/dd/yyyy";
constexpr const char* kOldDefaultDateFormat = "mmm-dd-yyyy";
// "ZIP file size" and "Last tested" are wide enough for their titles in the programs'
// Tahoma 8; "Profile name" gives up the room, so the default window keeps its layout.
constexpr int kColWidthDefaults[8] = {129, 67, 53, 100, 100, 74, 72, 55};
constexpr int kOtherColWidth = 100;
constexpr int kRunProgressColor = 0xFEE4D8;
constexpr int kButtonFaceColor = static_cast<int>(0x8000000Fu);
constexpr char kDefaultAction = 'r';

}  // namespace

bool DefaultXPMenu() {
  OSVERSIONINFOW info{};
  info.dwOSVersionInfoSize = sizeof(info);
  if (!GetVersionExW(&info)) return true;
  // The flat style looks wrong beside the themed menus of NT 5.1.
  return !(info.dwPlatformId == VER_PLATFORM_WIN32_NT && info.dwMajorVersion == 5 &&
           info.dwMinorVersion == 1);
}

TFernoIni::TFernoIni() : tk::TRegIniFile(UseShortNames ? QuillbankRootKey : OldQuillbankRootKey) {}

TFernoIni::~TFernoIni() = default;

// ---- the uniform rule ----

bool TFernoIni::ReadGeneralBool(std::string_view name, bool def) const {
  return ReadBool(GeneralSection, name, def);
}

int TFernoIni::ReadGeneralInt(std::string_view name, int def) const {
  return ReadInteger(GeneralSection, name, def);
}

std::string TFernoIni::ReadGeneralString(std::string_view name, std::string_view def) const {
  return ReadString(GeneralSection, name, def);
}

void TFernoIni::PutGeneralBool(std::string_view name, bool value, bool def) {
  if (value == def)
    DeleteValue(GeneralSection, name);
  else
    WriteBool(GeneralSection, name, value);
}

void TFernoIni::PutGeneralInt(std::string_view name, int value, int def) {
  if (value == def)
    DeleteValue(GeneralSection, name);
  else
    WriteInteger(GeneralSection, name, value);
}

void TFernoIni::PutGeneralString(std::string_view name, std::string_view value, std::string_view def) {
  if (value == def)
    DeleteValue(GeneralSection, name);
  else
    WriteString(GeneralSection, name, value);
}

// One getter and setter pair per row of the settings table.
#define QB_BOOL(Name, Def)                                                          \
  bool TFernoIni::Get##Name() const { return ReadGeneralBool(#Name, Def); }         \
  void TFernoIni::Set##Name(bool value) { PutGeneralBool(#Name, value, Def); }
#define QB_INT(Name, Def)                                                           \
  int TFernoIni::Get##Name() const { return ReadGeneralInt(#Name, Def); }           \
  void TFernoIni::Set##Name(int value) { PutGeneralInt(#Name, value, Def); }
#define QB_STR(Name, Def)                                                           \
  std::string TFernoIni::Get##Name() const { return ReadGeneralString(#Name, Def); } \
  void TFernoIni::Set##Name(const std::string& value) { PutGeneralString(#Name, value, Def); }
// Written in every case, also at the default.
#define QB_BOOL_ALWAYS(Name, Def)                                                   \
  bool TFernoIni::Get##Name() const { return ReadGeneralBool(#Name, Def); }         \
  void TFernoIni::Set##Name(bool value) { WriteBool(GeneralSection, #Name, value); }
#define QB_STR_ALWAYS(Name, Def)                                                    \
  std::string TFernoIni::Get##Name() const { return ReadGeneralString(#Name, Def); } \
  void TFernoIni::Set##Name(const std::string& value) { WriteString(GeneralSection, #Name, value); }

QB_BOOL(AllowUndo, false)
QB_BOOL(AutoRefresh, true)
QB_INT(FormWidth, 680)
QB_INT(FormHeight, 350)
QB_INT(FormLeft, 50)
QB_INT(FormTop, 75)
QB_STR(LastProfile, "")
QB_BOOL(MaskPassword, true)
QB_INT(ScheduleCount, 0)
QB_BOOL(ShowFNOnRun, true)
QB_INT(StartupDelay, 15)
QB_STR(StartupProfiles, "")
QB_STR(ToRefresh, "")
QB_BOOL(Use2ColorView, true)
// A contrast edited by hand reads as the nearest the options' track bar offers (0 to 255):
// the bar's shading of a larger one would overflow into inverted colours.
int TFernoIni::GetContrast() const { return std::clamp(ReadGeneralInt("Contrast", 95), 0, 255); }
void TFernoIni::SetContrast(int value) { PutGeneralInt("Contrast", value, 95); }
int TFernoIni::GetContrast2() const { return std::clamp(ReadGeneralInt("Contrast2", 95), 0, 255); }
void TFernoIni::SetContrast2(int value) { PutGeneralInt("Contrast2", value, 95); }
QB_BOOL_ALWAYS(AllRunsOK, true)
QB_BOOL_ALWAYS(AllTestsOK, true)
QB_BOOL(IncludeTime, true)
QB_BOOL(BackupToReg, true)
QB_STR_ALWAYS(RegBackupDir, "")
QB_BOOL(DoNotVerifyAppFileVersions, false)
QB_INT(AlternateColor, 0xFFFFFF)
QB_INT(AlternateColor2, 0xF3F8F9)
QB_STR(ZipFileSizeUnit, "MB")
QB_INT(ZipFileSizePrecision, 2)
QB_BOOL(SchedulerOnStartup, true)
QB_BOOL(DisableStartupProfiles, false)
QB_INT(AutoRunDelay, 3)
QB_BOOL_ALWAYS(bRunFromScheduler, false)
QB_INT(AutoRunCount, 0)
QB_BOOL(ShowButtonText, true)
QB_INT(DontAutoRun, 17)
QB_BOOL(BeepOnAutoRunSkip, true)
QB_STR_ALWAYS(LogFormPos, "130,70,540,420")
QB_INT(McProfileViewHeight, 124)
QB_STR(LastMcProfile, "")
QB_BOOL(RememberAutoRunSelection, true)
QB_BOOL(UseSavedSize, true)
QB_STR_ALWAYS(sSelectedMcNames, "")
QB_BOOL(McpViewActive, false)
QB_BOOL(BeepOnRegBackupError, true)
QB_BOOL(RegBackupToMyDocuments, true)
QB_INT(RunAndTestDelay, 15)
QB_STR(CustomRunAndTestDelay, "")
QB_BOOL(DontShowEwDlgViaSch, false)
QB_STR(ShutdownProfiles, "")
QB_BOOL(ShutdownProfilesDisabled, false)
QB_BOOL(bRunningShutdownProfiles, false)
QB_BOOL(AutomaticShutdownAction, true)
QB_INT(ShutdownDelay, 30)
QB_INT(OnTurnoff, -1)
QB_BOOL(ExploreTargetFolder, false)
QB_INT(DaysToKeepErrors, 5)
QB_BOOL(ShutdownOnDllInitFailed, false)
QB_INT(BeepFrequency, 400)
QB_INT(BeepDuration, 100)
QB_BOOL(DontShowMBoxOnTest, false)
QB_BOOL_ALWAYS(bRunViaAutoRun, false)
QB_STR_ALWAYS(sMsgBeforeAutoRun, "")
QB_STR_ALWAYS(sMediaInserted, "")
QB_STR_ALWAYS(sProfilesToDeselect, "")
QB_INT(LastShutdown, 1)
QB_INT(WinShutdown, 1)
QB_STR(LastSchedule, "")

#undef QB_BOOL
#undef QB_INT
#undef QB_STR
#undef QB_BOOL_ALWAYS
#undef QB_STR_ALWAYS

// ---- rows with a rule of their own ----

bool TFernoIni::Get24HourTime() const { return ReadGeneralBool("24HourTime", false); }
void TFernoIni::Set24HourTime(bool value) { PutGeneralBool("24HourTime", value, false); }

bool TFernoIni::GetColorProgressbar() const {
  if (!IsHighColorDisplay()) return false;
  return ReadGeneralBool("ColorProgressbar", true);
}
void TFernoIni::SetColorProgressbar(bool value) { PutGeneralBool("ColorProgressbar", value, true); }

int TFernoIni::GetColWidth(int index) const {
  if (index < 0 || index > 7) return kOtherColWidth;
  return ReadGeneralInt("ColWidth" + std::to_string(index), kColWidthDefaults[index]);
}
void TFernoIni::SetColWidth(int index, int width) {
  if (index < 0 || index > 7) return;
  PutGeneralInt("ColWidth" + std::to_string(index), width, kColWidthDefaults[index]);
}

int TFernoIni::GetProgressColor(int index) const {
  if (index != 1 && index != 2) return kButtonFaceColor;
  return ReadGeneralInt("ProgressColor" + std::to_string(index),
                        index == 1 ? kRunProgressColor : kButtonFaceColor);
}
void TFernoIni::SetProgressColor(int index, int color) {
  if (index != 1 && index != 2) return;
  PutGeneralInt("ProgressColor" + std::to_string(index), color,
                index == 1 ? kRunProgressColor : kButtonFaceColor);
}

std::string TFernoIni::Getdcmt() const {
  return tk::JoinLines(tk::FromCommaText(ReadGeneralString("dcmt", "")));
}
void TFernoIni::Setdcmt(const std::string& text) {
  if (text.empty())
    DeleteValue(GeneralSection, "dcmt");
  else
    WriteString(GeneralSection, "dcmt", tk::ToCommaText(tk::SplitLines(text)));
}

std::string TFernoIni::GetDateFormat() const {
  return ReadGeneralString("DateFormat", UseShortNames ? kDefaultDateFormat : kOldDefaultDateFormat);
}
void TFernoIni::SetDateFormat(const std::string& value) {
  PutGeneralString("DateFormat", value, kDefaultDateFormat);
}

std::string TFernoIni::GetTempDirectory() const { return ReadGeneralString("TempDirectory", GetTempDir()); }
void TFernoIni::SetTempDirectory(const std::string& value) {
  if (tk::SameText(value, GetTempDir()))
    DeleteValue(GeneralSection, "TempDirectory");
  else
    WriteString(GeneralSection, "TempDirectory", value);
}

bool TFernoIni::GetXPMenu() const { return ReadGeneralBool("XPMenu", DefaultXPMenu()); }
void TFernoIni::SetXPMenu(bool value) { PutGeneralBool("XPMenu", value, DefaultXPMenu()); }

bool TFernoIni::GetFixToolbarProblem() const { return ReadGeneralBool("FixToolbarProblem", true); }
bool TFernoIni::GetDynaZipDiagnostic() const { return ReadGeneralBool("DynaZipDiagnostic", false); }

int TFernoIni::GetProfileVisibility() const { return ReadGeneralInt("ProfileVisibility", 3); }
void TFernoIni::SetProfileVisibility(int value) {
  WriteInteger(GeneralSection, "ProfileVisibility", value & 0x7F);
}

char TFernoIni::Gettc() const { return static_cast<char>(ReadGeneralInt("tc", kDefaultAction)); }
void TFernoIni::Settc(char letter) {
  PutGeneralInt("tc", static_cast<unsigned char>(letter), kDefaultAction);
}
char TFernoIni::Gethc() const { return static_cast<char>(ReadGeneralInt("hc", kDefaultAction)); }
void TFernoIni::Sethc(char letter) {
  PutGeneralInt("hc", static_cast<unsigned char>(letter), kDefaultAction);
}

std::string TFernoIni::GetDefCmt() const {
  const tk::TRegSection general = ReadSectionValues(GeneralSection);
  std::string text;
  for (const auto& line : general.Numbered("DefCmt", 0, general.ReadInteger("DefCmtCount", 0)))
    text += line.second + "\r\n";
  return text;
}

// ---- section ProfileNamesSection ----

int TFernoIni::GetProfileCount() const { return ReadInteger(ProfileNamesSection, "ProfileCount", 0); }
void TFernoIni::SetProfileCount(int value) {
  if (value == 0)
    DeleteValue(ProfileNamesSection, "ProfileCount");
  else
    WriteInteger(ProfileNamesSection, "ProfileCount", value);
}

std::string TFernoIni::GetProfileName(int index) const {
  return ReadString(ProfileNamesSection, "P" + std::to_string(index), "");
}
void TFernoIni::SetProfileName(int index, const std::string& name) {
  WriteString(ProfileNamesSection, "P" + std::to_string(index), name);
}

std::vector<TFernoIni::TProfileEntry> TFernoIni::GetProfileEntries() const {
  const tk::TRegSection section = ReadSectionValues(ProfileNamesSection);
  std::vector<TProfileEntry> entries;
  // Every entry stored, whatever the count says: a count below them would hide profiles,
  // and the next list written from what was read would drop them.
  for (auto& [index, name] : section.Numbered("P", 0, static_cast<long long>(INT_MAX) + 1))
    entries.push_back({static_cast<int>(index), std::move(name)});
  return entries;
}

void TFernoIni::AddProfileName(const std::string& name) {
  // After the count and after every stored entry, so that no count, damaged, negative or
  // below the entries, makes the new name replace one.
  const std::vector<TProfileEntry> entries = GetProfileEntries();
  long long index = std::max(GetProfileCount(), 0);
  if (!entries.empty()) index = std::max<long long>(index, static_cast<long long>(entries.back().Index) + 1);
  if (index > INT_MAX) {
    // The last index is taken: the first free one below it.
    index = 0;
    for (const TProfileEntry& entry : entries) {
      if (entry.Index != index) break;
      ++index;
    }
  }
  SetProfileName(static_cast<int>(index), name);
  if (index >= GetProfileCount()) SetProfileCount(static_cast<int>(std::min<long long>(index + 1, INT_MAX)));
}

std::vector<std::string> TFernoIni::GetProfileNames() const {
  std::vector<std::string> names;
  for (TProfileEntry& entry : GetProfileEntries()) names.push_back(std::move(entry.Name));
  return names;
}

// ---- unit routines ----

std::string SchedulerStartupCommand(const std::string& programDir) {
  // Unquoted, a folder with a blank would have the system try "C:\Program.exe" first.
  return QuoteIfSpaces(programDir + QbSchExe) + " -" + QbSchStartupSwitch;
}

void AddSchedulerToStartup() {
  tk::TRegIniFile run(RunKey);
  if (run.IsOpen()) run.WriteString("", RunValueName, SchedulerStartupCommand(tk::ProgramDir()));
}

void RemoveSchedulerFromStartup() {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, tk::Widen(RunKey).c_str(), 0, KEY_QUERY_VALUE | KEY_SET_VALUE,
                    &key) != ERROR_SUCCESS)
    return;
  const std::wstring name = tk::Widen(RunValueName);
  if (RegQueryValueExW(key, name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
      RegDeleteValueW(key, name.c_str()) != ERROR_SUCCESS)
    MessageBoxW(nullptr, L"Couldn't remove Quillbank 2.0 Scheduler from system startup", L"Quillbank 2.0",
                MB_ICONERROR | MB_TOPMOST);
  RegCloseKey(key);
}

void SetTimeFormat(TFernoIni& ini) { tk::SetLongTimeFormat(ini.Get24HourTime() ? "hh:nn" : "hh:nn AM/PM"); }

namespace {
// <application data>\Quillbank\<sub>\, or <program folder><sub>\ without one.
std::string DataDir(const char* sub) {
  const std::string appData = GetAppDataDir();
  if (!appData.empty()) return appData + "Quillbank\\" + sub + "\\";
  return tk::ProgramDir() + sub + "\\";
}
}  // namespace

std::string GetLogsDir() { return DataDir("Logs"); }
std::string GetErrorsDir() { return DataDir("Errors"); }

std::string NewErrorFileName() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  char name[40];
  std::snprintf(name, sizeof(name), "%04u %02u %02u - %02u %02u %02u %03u.err", now.wYear, now.wMonth,
                now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds);
  return GetErrorsDir() + name;
}

std::string SaveNewErrorFile(const std::string& text) {
  const std::string dir = GetErrorsDir();
  const tk::TDateTime now = tk::Now();
  // Names are the time of creation; a name another runner took in the same
  // millisecond is never reused: the next millisecond's name is tried instead.
  for (int i = 0; i < 1000; ++i) {
    const std::string name =
        dir + tk::FormatDateTime("yyyy mm dd - hh nn ss zzz", now + i / 86400000.0) + ".err";
    HANDLE h = CreateFileW(tk::Widen(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE) {
      if (GetLastError() == ERROR_FILE_EXISTS || GetLastError() == ERROR_ALREADY_EXISTS) continue;
      return std::string();
    }
    DWORD written = 0;
    const bool ok = WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
                    written == text.size();
    CloseHandle(h);
    if (ok) return name;
    tk::RemoveFile(name);
    return std::string();
  }
  return std::string();
}

void PlayBeep(TFernoIni& ini) {
  Beep(static_cast<DWORD>(ini.GetBeepFrequency()), static_cast<DWORD>(ini.GetBeepDuration()));
}
