#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <functional>
#include <regex>
#include <string>
#include <vector>

#include "settings/fernoini.h"
#include "settings/vglobal.h"
#include "support/testutil.h"
#include "toolkit/datetime.h"
#include "toolkit/files.h"
#include "toolkit/strings.h"

namespace {

const char kGeneral[] = "Options\\General";

void DeleteKeyTree(const char* path) { RegDeleteTreeW(HKEY_CURRENT_USER, tk::Widen(path).c_str()); }

std::vector<std::string> Sorted(std::vector<std::string> v) {
  std::sort(v.begin(), v.end());
  return v;
}

// One settable row: a value away from its default, and the default written back.
struct Row {
  const char* name;
  std::function<void(TFernoIni&)> setOther;
  std::function<void(TFernoIni&)> setDefault;
};

#define BOOL_ROW(N, D) Row{#N, [](TFernoIni& i) { i.Set##N(!(D)); }, [](TFernoIni& i) { i.Set##N(D); }}
#define INT_ROW(N, D) Row{#N, [](TFernoIni& i) { i.Set##N((D) + 1); }, [](TFernoIni& i) { i.Set##N(D); }}
#define STR_ROW(N, D) Row{#N, [](TFernoIni& i) { i.Set##N("other"); }, [](TFernoIni& i) { i.Set##N(D); }}

std::vector<Row> GeneralRows() {
  std::vector<Row> rows = {
      BOOL_ROW(AllowUndo, false), BOOL_ROW(AutoRefresh, true), BOOL_ROW(ColorProgressbar, true),
      INT_ROW(FormWidth, 680), INT_ROW(FormHeight, 350), INT_ROW(FormLeft, 50), INT_ROW(FormTop, 75),
      STR_ROW(LastProfile, ""), BOOL_ROW(MaskPassword, true), INT_ROW(ScheduleCount, 0),
      BOOL_ROW(ShowFNOnRun, true), INT_ROW(StartupDelay, 15), STR_ROW(StartupProfiles, ""),
      STR_ROW(ToRefresh, ""), BOOL_ROW(Use2ColorView, true), INT_ROW(Contrast, 95), INT_ROW(Contrast2, 95),
      BOOL_ROW(AllRunsOK, true), BOOL_ROW(AllTestsOK, true), STR_ROW(dcmt, ""),
      STR_ROW(DateFormat, "mm/dd/yyyy"), BOOL_ROW(IncludeTime, true), BOOL_ROW(BackupToReg, true),
      STR_ROW(RegBackupDir, ""), BOOL_ROW(DoNotVerifyAppFileVersions, false),
      INT_ROW(AlternateColor, 0xFFFFFF), INT_ROW(AlternateColor2, 0xF3F8F9),
      STR_ROW(TempDirectory, GetTempDir()), STR_ROW(ZipFileSizeUnit, "MB"), INT_ROW(ZipFileSizePrecision, 2),
      BOOL_ROW(SchedulerOnStartup, true), BOOL_ROW(XPMenu, DefaultXPMenu()),
      BOOL_ROW(DisableStartupProfiles, false), BOOL_ROW(24HourTime, false), INT_ROW(AutoRunDelay, 3),
      BOOL_ROW(bRunFromScheduler, false), INT_ROW(AutoRunCount, 0), BOOL_ROW(ShowButtonText, true),
      INT_ROW(DontAutoRun, 17), BOOL_ROW(BeepOnAutoRunSkip, true), STR_ROW(LogFormPos, "130,70,540,420"),
      INT_ROW(McProfileViewHeight, 124), STR_ROW(LastMcProfile, ""), BOOL_ROW(RememberAutoRunSelection, true),
      BOOL_ROW(UseSavedSize, true), INT_ROW(ProfileVisibility, 3), STR_ROW(sSelectedMcNames, ""),
      BOOL_ROW(McpViewActive, false), BOOL_ROW(BeepOnRegBackupError, true),
      BOOL_ROW(RegBackupToMyDocuments, true), INT_ROW(RunAndTestDelay, 15), STR_ROW(CustomRunAndTestDelay, ""),
      BOOL_ROW(DontShowEwDlgViaSch, false), STR_ROW(ShutdownProfiles, ""), BOOL_ROW(ShutdownProfilesDisabled, false),
      BOOL_ROW(bRunningShutdownProfiles, false), BOOL_ROW(AutomaticShutdownAction, true),
      Row{"tc", [](TFernoIni& i) { i.Settc('t'); }, [](TFernoIni& i) { i.Settc('r'); }},
      Row{"hc", [](TFernoIni& i) { i.Sethc('b'); }, [](TFernoIni& i) { i.Sethc('r'); }},
      INT_ROW(ShutdownDelay, 30), INT_ROW(OnTurnoff, -1), BOOL_ROW(ExploreTargetFolder, false),
      INT_ROW(DaysToKeepErrors, 5), BOOL_ROW(ShutdownOnDllInitFailed, false), INT_ROW(BeepFrequency, 400),
      INT_ROW(BeepDuration, 100), BOOL_ROW(DontShowMBoxOnTest, false), BOOL_ROW(bRunViaAutoRun, false),
      STR_ROW(sMsgBeforeAutoRun, ""), STR_ROW(sMediaInserted, ""), STR_ROW(sProfilesToDeselect, ""),
      INT_ROW(LastShutdown, 1), INT_ROW(WinShutdown, 1), STR_ROW(LastSchedule, ""),
  };
  for (int c = 0; c < 8; ++c) {
    static const int widths[8] = {129, 67, 53, 100, 100, 74, 72, 55};
    rows.push_back(Row{"", [c](TFernoIni& i) { i.SetColWidth(c, widths[c] + 1); },
                       [c](TFernoIni& i) { i.SetColWidth(c, widths[c]); }});
  }
  rows.push_back(Row{"", [](TFernoIni& i) { i.SetProgressColor(1, 0x123456); },
                     [](TFernoIni& i) { i.SetProgressColor(1, 0xFEE4D8); }});
  rows.push_back(Row{"", [](TFernoIni& i) { i.SetProgressColor(2, 0x654321); },
                     [](TFernoIni& i) { i.SetProgressColor(2, static_cast<int>(0x8000000Fu)); }});
  return rows;
}

class SettingsStore : public ::testing::Test {
 protected:
  void SetUp() override {
    SetNewRegistryNames();
    qbtest::ClearQuillbankKey();
    DeleteKeyTree(OldQuillbankRootKey);
  }
  void TearDown() override {
    SetNewRegistryNames();
    qbtest::ClearQuillbankKey();
    DeleteKeyTree(OldQuillbankRootKey);
  }
  std::string General(const char* value) { return qbtest::RegRead(kGeneral, value); }
};

}  // namespace

TEST_F(SettingsStore, FreshRegistryYieldsEveryDefaultAndWritesNothing) {
  TFernoIni ini;
  EXPECT_FALSE(ini.GetAllowUndo());
  EXPECT_TRUE(ini.GetAutoRefresh());
  ASSERT_TRUE(IsHighColorDisplay());  // the test screen has 24-bit colour
  EXPECT_TRUE(ini.GetColorProgressbar());
  const int widths[8] = {129, 67, 53, 100, 100, 74, 72, 55};
  for (int c = 0; c < 8; ++c) EXPECT_EQ(ini.GetColWidth(c), widths[c]) << c;
  EXPECT_EQ(ini.GetFormWidth(), 680);
  EXPECT_EQ(ini.GetFormHeight(), 350);
  EXPECT_EQ(ini.GetFormLeft(), 50);
  EXPECT_EQ(ini.GetFormTop(), 75);
  EXPECT_EQ(ini.GetLastProfile(), "");
  EXPECT_TRUE(ini.GetMaskPassword());
  EXPECT_EQ(ini.GetProgressColor(1), 0xFEE4D8);
  EXPECT_EQ(static_cast<unsigned>(ini.GetProgressColor(2)), 0x8000000Fu);
  EXPECT_EQ(ini.GetScheduleCount(), 0);
  EXPECT_TRUE(ini.GetShowFNOnRun());
  EXPECT_EQ(ini.GetStartupDelay(), 15);
  EXPECT_EQ(ini.GetStartupProfiles(), "");
  EXPECT_EQ(ini.GetToRefresh(), "");
  EXPECT_TRUE(ini.GetUse2ColorView());
  EXPECT_EQ(ini.GetContrast(), 95);
  EXPECT_EQ(ini.GetContrast2(), 95);
  EXPECT_TRUE(ini.GetAllRunsOK());
  EXPECT_TRUE(ini.GetAllTestsOK());
  EXPECT_EQ(ini.Getdcmt(), "");
  EXPECT_EQ(ini.GetDateFormat(), "mm/dd/yyyy");
  EXPECT_TRUE(ini.GetIncludeTime());
  EXPECT_TRUE(ini.GetBackupToReg());
  EXPECT_EQ(ini.GetRegBackupDir(), "");
  EXPECT_FALSE(ini.GetDoNotVerifyAppFileVersions());
  EXPECT_EQ(ini.GetAlternateColor(), 0xFFFFFF);
  EXPECT_EQ(ini.GetAlternateColor2(), 0xF3F8F9);
  EXPECT_EQ(ini.GetTempDirectory(), GetTempDir());
  EXPECT_EQ(ini.GetZipFileSizeUnit(), "MB");
  EXPECT_EQ(ini.GetZipFileSizePrecision(), 2);
  EXPECT_TRUE(ini.GetSchedulerOnStartup());
  EXPECT_TRUE(DefaultXPMenu());  // the prefix is not NT 5.1
  EXPECT_EQ(ini.GetXPMenu(), DefaultXPMenu());
  EXPECT_FALSE(ini.GetDisableStartupProfiles());
  EXPECT_FALSE(ini.Get24HourTime());
  EXPECT_EQ(ini.GetAutoRunDelay(), 3);
  EXPECT_FALSE(ini.GetbRunFromScheduler());
  EXPECT_EQ(ini.GetAutoRunCount(), 0);
  EXPECT_TRUE(ini.GetShowButtonText());
  EXPECT_EQ(ini.GetDontAutoRun(), 17);
  EXPECT_TRUE(ini.GetBeepOnAutoRunSkip());
  EXPECT_EQ(ini.GetLogFormPos(), "130,70,540,420");
  EXPECT_EQ(ini.GetMcProfileViewHeight(), 124);
  EXPECT_EQ(ini.GetLastMcProfile(), "");
  EXPECT_TRUE(ini.GetRememberAutoRunSelection());
  EXPECT_TRUE(ini.GetFixToolbarProblem());
  EXPECT_TRUE(ini.GetUseSavedSize());
  EXPECT_EQ(ini.GetProfileVisibility(), 3);
  EXPECT_EQ(ini.GetsSelectedMcNames(), "");
  EXPECT_FALSE(ini.GetMcpViewActive());
  EXPECT_TRUE(ini.GetBeepOnRegBackupError());
  EXPECT_TRUE(ini.GetRegBackupToMyDocuments());
  EXPECT_EQ(ini.GetRunAndTestDelay(), 15);
  EXPECT_EQ(ini.GetCustomRunAndTestDelay(), "");
  EXPECT_FALSE(ini.GetDontShowEwDlgViaSch());
  EXPECT_EQ(ini.GetShutdownProfiles(), "");
  EXPECT_FALSE(ini.GetShutdownProfilesDisabled());
  EXPECT_FALSE(ini.GetbRunningShutdownProfiles());
  EXPECT_TRUE(ini.GetAutomaticShutdownAction());
  EXPECT_EQ(ini.Gettc(), 'r');
  EXPECT_EQ(ini.Gethc(), 'r');
  EXPECT_EQ(ini.GetShutdownDelay(), 30);
  EXPECT_EQ(ini.GetOnTurnoff(), -1);
  EXPECT_FALSE(ini.GetExploreTargetFolder());
  EXPECT_EQ(ini.GetDaysToKeepErrors(), 5);
  EXPECT_FALSE(ini.GetShutdownOnDllInitFailed());
  EXPECT_EQ(ini.GetBeepFrequency(), 400);
  EXPECT_EQ(ini.GetBeepDuration(), 100);
  EXPECT_FALSE(ini.GetDontShowMBoxOnTest());
  EXPECT_FALSE(ini.GetDynaZipDiagnostic());
  EXPECT_FALSE(ini.GetbRunViaAutoRun());
  EXPECT_EQ(ini.GetsMsgBeforeAutoRun(), "");
  EXPECT_EQ(ini.GetsMediaInserted(), "");
  EXPECT_EQ(ini.GetsProfilesToDeselect(), "");
  EXPECT_EQ(ini.GetLastShutdown(), 1);
  EXPECT_EQ(ini.GetWinShutdown(), 1);
  EXPECT_EQ(ini.GetLastSchedule(), "");
  EXPECT_EQ(ini.GetDefCmt(), "");
  EXPECT_EQ(ini.GetProfileCount(), 0);
  EXPECT_EQ(ini.GetProfileName(0), "");
  EXPECT_TRUE(qbtest::RegValueNames(kGeneral).empty());
}

TEST_F(SettingsStore, EverySetterWritesAwayFromTheDefaultAndOnlyAlwaysValuesStayAtIt) {
  const std::vector<Row> rows = GeneralRows();
  TFernoIni ini;
  for (const Row& r : rows) r.setOther(ini);
  // Every row wrote a value of its own.
  EXPECT_EQ(qbtest::RegValueNames(kGeneral).size(), rows.size());
  for (const Row& r : rows)
    if (*r.name) {
      EXPECT_NE(General(r.name), "<missing>") << r.name;
    }
  for (const Row& r : rows) r.setDefault(ini);
  EXPECT_EQ(Sorted(qbtest::RegValueNames(kGeneral)),
            Sorted({"AllRunsOK", "AllTestsOK", "RegBackupDir", "bRunFromScheduler", "LogFormPos", "ProfileVisibility",
                    "sSelectedMcNames", "bRunViaAutoRun", "sMsgBeforeAutoRun", "sMediaInserted",
                    "sProfilesToDeselect"}));
  EXPECT_EQ(General("AllRunsOK"), "1");
  EXPECT_EQ(General("bRunFromScheduler"), "0");
  EXPECT_EQ(General("RegBackupDir"), "");
  EXPECT_EQ(General("ProfileVisibility"), "3");
}

TEST_F(SettingsStore, ValuesReadBackAsWritten) {
  TFernoIni ini;
  ini.SetFormWidth(-12);
  EXPECT_EQ(General("FormWidth"), "-12");
  EXPECT_EQ(ini.GetFormWidth(), -12);
  ini.SetAllowUndo(true);
  EXPECT_EQ(General("AllowUndo"), "1");
  EXPECT_TRUE(ini.GetAllowUndo());
  ini.SetAutoRefresh(false);
  EXPECT_EQ(General("AutoRefresh"), "0");
  EXPECT_FALSE(ini.GetAutoRefresh());
  ini.SetLastProfile("Docs and Mail");
  EXPECT_EQ(ini.GetLastProfile(), "Docs and Mail");
  ini.SetProgressColor(2, 0x00FF00);
  EXPECT_EQ(ini.GetProgressColor(2), 0x00FF00);
  ini.SetProgressColor(2, static_cast<int>(0x8000000Fu));
  EXPECT_EQ(General("ProgressColor2"), "<missing>");
}

TEST_F(SettingsStore, DateFormatDefaultIsComparedWithCase) {
  TFernoIni ini;
  ini.SetDateFormat("MM/dd/yyyy");
  EXPECT_EQ(General("DateFormat"), "MM/dd/yyyy");
  EXPECT_EQ(ini.GetDateFormat(), "MM/dd/yyyy");
  ini.SetDateFormat("mm/dd/yyyy");
  EXPECT_EQ(General("DateFormat"), "<missing>");
}

TEST_F(SettingsStore, ProfileVisibilityKeepsTheLowSevenBits) {
  TFernoIni ini;
  ini.SetProfileVisibility(130);
  EXPECT_EQ(General("ProfileVisibility"), "2");
  EXPECT_EQ(ini.GetProfileVisibility(), 2);
  ini.SetProfileVisibility(1);
  EXPECT_EQ(General("ProfileVisibility"), "1");
}

TEST_F(SettingsStore, ActionLettersAreStoredAsCharacterCodes) {
  TFernoIni ini;
  ini.Settc('b');
  EXPECT_EQ(General("tc"), "98");
  EXPECT_EQ(ini.Gettc(), 'b');
  ini.Settc('r');
  EXPECT_EQ(General("tc"), "<missing>");
  ini.Sethc('t');
  EXPECT_EQ(General("hc"), "116");
  EXPECT_EQ(ini.Gethc(), 't');
  ini.Sethc('r');
  EXPECT_EQ(General("hc"), "<missing>");
  qbtest::RegWrite(kGeneral, "hc", "98");
  EXPECT_EQ(ini.Gethc(), 'b');
}

TEST_F(SettingsStore, DefaultCommentRoundTripsThroughCommaText) {
  TFernoIni ini;
  ini.Setdcmt("Backup, weekly\r\nsecond");
  EXPECT_EQ(General("dcmt"), "\"Backup, weekly\",second");
  EXPECT_EQ(ini.Getdcmt(), "Backup, weekly\r\nsecond\r\n");
  ini.Setdcmt("a\nb \"q\"\rc");
  EXPECT_EQ(General("dcmt"), "a,\"b \"\"q\"\"\",c");
  EXPECT_EQ(ini.Getdcmt(), "a\r\nb \"q\"\r\nc\r\n");
  ini.Setdcmt("");
  EXPECT_EQ(General("dcmt"), "<missing>");
  EXPECT_EQ(ini.Getdcmt(), "");
}

TEST_F(SettingsStore, ColumnWidthOutsideTheColumnsTouchesNothing) {
  qbtest::RegWrite(kGeneral, "ColWidth8", "5");
  TFernoIni ini;
  EXPECT_EQ(ini.GetColWidth(8), 100);
  EXPECT_EQ(ini.GetColWidth(-1), 100);
  ini.SetColWidth(8, 77);
  ini.SetColWidth(9, 77);
  EXPECT_EQ(General("ColWidth8"), "5");
  EXPECT_EQ(General("ColWidth9"), "<missing>");
  ini.SetColWidth(7, 56);
  EXPECT_EQ(General("ColWidth7"), "56");
  EXPECT_EQ(ini.GetColWidth(7), 56);
  ini.SetProgressColor(3, 1);
  EXPECT_EQ(General("ProgressColor3"), "<missing>");
}

TEST_F(SettingsStore, TempDirectoryDefaultIsComparedWithoutCase) {
  TFernoIni ini;
  const std::string temp = GetTempDir();
  ini.SetTempDirectory("D:\\Scratch\\");
  EXPECT_EQ(General("TempDirectory"), "D:\\Scratch\\");
  EXPECT_EQ(ini.GetTempDirectory(), "D:\\Scratch\\");
  const std::string otherCase = tk::UpperCase(temp) == temp ? tk::LowerCase(temp) : tk::UpperCase(temp);
  ASSERT_NE(otherCase, temp);
  ini.SetTempDirectory(otherCase);
  EXPECT_EQ(General("TempDirectory"), "<missing>");
  EXPECT_EQ(ini.GetTempDirectory(), temp);
}

TEST_F(SettingsStore, OddStoredTextsFallBackSafely) {
  qbtest::RegWrite(kGeneral, "AllowUndo", "2");
  qbtest::RegWrite(kGeneral, "AutoRefresh", "0");
  qbtest::RegWrite(kGeneral, "FormWidth", "abc");
  qbtest::RegWrite(kGeneral, "FormHeight", "12.5");
  qbtest::RegWrite(kGeneral, "Contrast", "715827883");  // contrasts: the track bar's 0 to 255
  qbtest::RegWrite(kGeneral, "Contrast2", "-40");
  TFernoIni ini;
  EXPECT_TRUE(ini.GetAllowUndo());
  EXPECT_FALSE(ini.GetAutoRefresh());
  EXPECT_EQ(ini.GetFormWidth(), 680);
  EXPECT_EQ(ini.GetFormHeight(), 350);
  EXPECT_EQ(ini.GetContrast(), 255);
  EXPECT_EQ(ini.GetContrast2(), 0);
  // A value of another registry type: a number reads as its value, anything else
  // as the default.
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Quillbank\\Options\\General", 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &key, nullptr),
            ERROR_SUCCESS);
  const DWORD number = 800;
  RegSetValueExW(key, L"FormLeft", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
  const BYTE bytes[3] = {1, 2, 3};
  RegSetValueExW(key, L"LastProfile", 0, REG_BINARY, bytes, sizeof bytes);
  RegSetValueExW(key, L"FormTop", 0, REG_BINARY, bytes, sizeof bytes);
  RegCloseKey(key);
  EXPECT_EQ(ini.GetFormLeft(), 800);
  EXPECT_EQ(ini.GetLastProfile(), "");
  EXPECT_EQ(ini.GetFormTop(), 75);
  ini.SetFormTop(10);  // overwritten as text
  EXPECT_EQ(General("FormTop"), "10");
}

TEST_F(SettingsStore, ProfileNamesAreAlwaysWritten) {
  TFernoIni ini;
  ini.SetProfileCount(2);
  ini.SetProfileName(0, "Docs");
  ini.SetProfileName(1, "");
  EXPECT_EQ(qbtest::RegRead("Profile Names", "ProfileCount"), "2");
  EXPECT_EQ(qbtest::RegRead("Profile Names", "P0"), "Docs");
  EXPECT_EQ(qbtest::RegRead("Profile Names", "P1"), "");
  EXPECT_EQ(ini.GetProfileCount(), 2);
  EXPECT_EQ(ini.GetProfileName(0), "Docs");
  ini.SetProfileCount(0);
  EXPECT_EQ(qbtest::RegRead("Profile Names", "ProfileCount"), "<missing>");
}

TEST_F(SettingsStore, RegistryNamesSwitchBetweenLayouts) {
  EXPECT_TRUE(UseShortNames);
  EXPECT_EQ(GeneralSection, "Options\\General");
  EXPECT_EQ(ProfilesKey, "Profiles");
  EXPECT_EQ(SchedulesKey, "Schedules");
  EXPECT_EQ(OldScheduleKeyPrefix, "");

  SetOldRegistryNames();
  EXPECT_FALSE(UseShortNames);
  EXPECT_EQ(GeneralSection, "Global Options");
  EXPECT_EQ(TempProfileName, "TempProfile");
  EXPECT_EQ(ProfilesKey, "");
  EXPECT_EQ(ProfileNamesSection, "Quillbank Profile Names");
  EXPECT_EQ(SchedulesKey, "");
  EXPECT_EQ(OldScheduleKeyPrefix, "Schedule");

  // The old store opens the old root; the old default date format applies there.
  TFernoIni old;
  EXPECT_EQ(old.GetDateFormat(), "mmm-dd-yyyy");
  old.SetFormWidth(700);
  old.SetProfileCount(1);
  SetNewRegistryNames();
  EXPECT_EQ(old.GetFormWidth(), 680);  // the next call reads the current names
  EXPECT_EQ(old.GetDateFormat(), "mm/dd/yyyy");
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Quillbank 1\\Global Options", 0, KEY_READ, &key),
            ERROR_SUCCESS);
  wchar_t text[16] = {};
  DWORD size = sizeof text;
  EXPECT_EQ(RegQueryValueExW(key, L"FormWidth", nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size),
            ERROR_SUCCESS);
  EXPECT_STREQ(text, L"700");
  RegCloseKey(key);
  EXPECT_TRUE(qbtest::RegValueNames(kGeneral).empty());

  TFernoIni current;
  EXPECT_EQ(current.GetFormWidth(), 680);
}

TEST_F(SettingsStore, OldDefaultCommentJoinsItsLines) {
  SetOldRegistryNames();
  TFernoIni old;
  old.WriteInteger(GeneralSection, "DefCmtCount", 2);
  old.WriteString(GeneralSection, "DefCmt0", "first, line");
  old.WriteString(GeneralSection, "DefCmt1", "second");
  old.WriteString(GeneralSection, "DefCmt2", "not counted");
  EXPECT_EQ(old.GetDefCmt(), "first, line\r\nsecond\r\n");
  old.WriteInteger(GeneralSection, "DefCmtCount", -1);
  EXPECT_EQ(old.GetDefCmt(), "");
}

TEST_F(SettingsStore, TimeFormatFollows24HourTime) {
  TFernoIni ini;
  SetTimeFormat(ini);
  EXPECT_EQ(tk::LongTimeFormat(), "hh:nn AM/PM");
  ini.Set24HourTime(true);
  SetTimeFormat(ini);
  EXPECT_EQ(tk::LongTimeFormat(), "hh:nn");
  EXPECT_EQ(tk::FormatDateTime("tt", tk::EncodeTime(15, 7, 0)), "15:07");
}

TEST_F(SettingsStore, LogsAndErrorsFoldersLieUnderApplicationData) {
  const std::string appData = GetAppDataDir();
  ASSERT_FALSE(appData.empty());
  EXPECT_EQ(GetLogsDir(), appData + "Quillbank\\Logs\\");
  EXPECT_EQ(GetErrorsDir(), appData + "Quillbank\\Errors\\");
}

TEST_F(SettingsStore, NewErrorFileNameIsTheLocalTime) {
  SYSTEMTIME before{};
  GetLocalTime(&before);
  const std::string name = NewErrorFileName();
  const std::string dir = GetErrorsDir();
  ASSERT_EQ(name.substr(0, dir.size()), dir);
  const std::string file = name.substr(dir.size());
  std::smatch m;
  ASSERT_TRUE(std::regex_match(file, m, std::regex(R"((\d{4}) (\d{2}) (\d{2}) - (\d{2}) (\d{2}) (\d{2}) (\d{3})\.err)")))
      << file;
  EXPECT_EQ(std::stoi(m[1]), before.wYear);
  EXPECT_EQ(std::stoi(m[2]), before.wMonth);
  EXPECT_EQ(std::stoi(m[3]), before.wDay);
  EXPECT_GE(std::stoi(m[4]) * 60 + std::stoi(m[5]), before.wHour * 60 + before.wMinute);
}

class SchedulerStartup : public ::testing::Test {
 protected:
  void SetUp() override { saved_ = RunValue(&had_); }
  void TearDown() override {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, tk::Widen(RunKey).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
      return;
    if (had_)
      RegSetValueExW(key, L"Quillbank", 0, REG_SZ, reinterpret_cast<const BYTE*>(saved_.c_str()),
                     static_cast<DWORD>((saved_.size() + 1) * sizeof(wchar_t)));
    else
      RegDeleteValueW(key, L"Quillbank");
    RegCloseKey(key);
  }
  static std::wstring RunValue(bool* present) {
    wchar_t text[1024] = {};
    DWORD size = sizeof text - sizeof(wchar_t);
    *present = RegGetValueW(HKEY_CURRENT_USER, tk::Widen(RunKey).c_str(), L"Quillbank", RRF_RT_REG_SZ, nullptr, text,
                            &size) == ERROR_SUCCESS;
    return text;
  }
  std::wstring saved_;
  bool had_ = false;
};

TEST_F(SchedulerStartup, AddWritesTheEntryAndRemoveDeletesIt) {
  AddSchedulerToStartup();
  bool present = false;
  const std::wstring value = RunValue(&present);
  ASSERT_TRUE(present);
  EXPECT_EQ(tk::Narrow(value), tk::ProgramDir() + "QbSch.exe -RunStartupProfiles");
  RemoveSchedulerFromStartup();
  RunValue(&present);
  EXPECT_FALSE(present);
  // A missing entry is no failure: nothing is shown, nothing is written.
  RemoveSchedulerFromStartup();
  RunValue(&present);
  EXPECT_FALSE(present);
}
