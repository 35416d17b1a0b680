// Migrator.exe run as the real program on an old layout written into the prefix's
// registry; its closing box is found by its caption, read and answered with OK.
#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "settings/foconsts.h"
#include "settings/qbprofile.h"
#include "settings/vglobal.h"
#include "support/testutil.h"
#include "toolkit/strings.h"

namespace {

constexpr unsigned kGuardMs = 60000;  // only against a hang, never a measure
const wchar_t kIntl[] = L"Control Panel\\International";

void DeleteTree(const char* path) {
  RegDeleteTreeW(HKEY_CURRENT_USER, tk::Widen(path).c_str());
  RegDeleteKeyW(HKEY_CURRENT_USER, tk::Widen(path).c_str());
}

bool KeyThere(const char* path) {
  HKEY h;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, tk::Widen(path).c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS)
    return false;
  RegCloseKey(h);
  return true;
}

// A REG_SZ value below the old root (or the same characters as another type).
void OldWrite(const std::string& sub, const std::string& name, const std::string& text, DWORD type = REG_SZ) {
  std::wstring key = tk::Widen(std::string(OldQuillbankRootKey) + (sub.empty() ? "" : "\\" + sub));
  HKEY h;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &h,
                            nullptr), ERROR_SUCCESS);
  std::wstring w = tk::Widen(text);
  RegSetValueExW(h, tk::Widen(name).c_str(), 0, type, reinterpret_cast<const BYTE*>(w.c_str()),
                 static_cast<DWORD>((w.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(h);
}

// Every value below a key, as "sub\key|name" -> text.
void Dump(HKEY key, const std::wstring& prefix, std::map<std::wstring, std::wstring>& out) {
  wchar_t name[512];
  std::vector<BYTE> data(65536);
  for (DWORD i = 0;; ++i) {
    DWORD nameLen = 512, size = static_cast<DWORD>(data.size()), type = 0;
    if (RegEnumValueW(key, i, name, &nameLen, nullptr, &type, data.data(), &size) != ERROR_SUCCESS) break;
    out[prefix + L"|" + name] = std::wstring(reinterpret_cast<wchar_t*>(data.data()), size / 2);
  }
  for (DWORD i = 0;; ++i) {
    DWORD nameLen = 512;
    if (RegEnumKeyExW(key, i, name, &nameLen, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    HKEY sub;
    if (RegOpenKeyExW(key, name, 0, KEY_READ, &sub) == ERROR_SUCCESS) {
      out[prefix + L"\\" + name] = L"<key>";
      Dump(sub, prefix + L"\\" + name, out);
      RegCloseKey(sub);
    }
  }
}

std::map<std::wstring, std::wstring> DumpTree(const char* path) {
  std::map<std::wstring, std::wstring> out;
  HKEY h;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, tk::Widen(path).c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS)
    return out;
  Dump(h, L"", out);
  RegCloseKey(h);
  return out;
}

std::vector<std::string> Sorted(std::vector<std::string> v) {
  std::sort(v.begin(), v.end());
  return v;
}

struct TFindBox {
  DWORD Pid;
  HWND Found = nullptr;
};

BOOL CALLBACK FindBox(HWND wnd, LPARAM param) {
  auto* f = reinterpret_cast<TFindBox*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(wnd, &pid);
  wchar_t cls[64], title[64];
  GetClassNameW(wnd, cls, 64);
  GetWindowTextW(wnd, title, 64);
  if (pid == f->Pid && IsWindowVisible(wnd) && std::wstring(cls) == L"#32770" &&
      std::wstring(title) == L"Quillbank") {
    f->Found = wnd;
    return FALSE;
  }
  return TRUE;
}

BOOL CALLBACK CollectStatic(HWND wnd, LPARAM param) {
  wchar_t cls[64];
  GetClassNameW(wnd, cls, 64);
  if (tk::SameText(tk::Narrow(cls), "Static")) {
    wchar_t text[4096] = {};
    GetWindowTextW(wnd, text, 4096);
    auto* longest = reinterpret_cast<std::string*>(param);
    if (wcslen(text) > longest->size()) *longest = tk::Narrow(text);
  }
  return TRUE;
}

// One run of the real converter. Box: the text of its closing box, "" when it
// showed none. ExitCode: its exit code, or -1 when it did not end.
struct TRun {
  std::string Box;
  long ExitCode = -1;
};

TRun RunMigrator(const std::string& args) {
  TRun result;
  std::wstring cmd = tk::Widen("\"" + qbtest::BinDir() + "Migrator.exe\" " + args);
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
    return result;
  const ULONGLONG end = GetTickCount64() + kGuardMs;
  while (GetTickCount64() < end && WaitForSingleObject(pi.hProcess, 20) == WAIT_TIMEOUT) {
    TFindBox f{pi.dwProcessId};
    EnumWindows(FindBox, reinterpret_cast<LPARAM>(&f));
    if (!f.Found) continue;
    EnumChildWindows(f.Found, CollectStatic, reinterpret_cast<LPARAM>(&result.Box));
    if (HWND ok = GetDlgItem(f.Found, IDOK)) PostMessageW(ok, BM_CLICK, 0, 0);
    WaitForSingleObject(pi.hProcess, 5000);
  }
  DWORD code = 0;
  if (WaitForSingleObject(pi.hProcess, 0) == WAIT_OBJECT_0 && GetExitCodeProcess(pi.hProcess, &code))
    result.ExitCode = static_cast<long>(code);
  else {
    TerminateProcess(pi.hProcess, 9);
    WaitForSingleObject(pi.hProcess, 5000);
  }
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return result;
}

const std::string kHead = "Profiles & settings have been copied to \"New Format\".\r\n\r\n";

class Migrator : public ::testing::Test {
 protected:
  void SetUp() override { Clean(); }
  void TearDown() override { Clean(); }
  static void Clean() {
    SetNewRegistryNames();
    qbtest::ClearQuillbankKey();
    DeleteTree(OldQuillbankRootKey);
  }

  // An old layout with settings, two schedules, the temporary profile and a list of
  // four names, one of which has no key.
  static void WriteOldLayout() {
    const std::string g = "Global Options";
    OldWrite(g, "ScheduleCount", "2");
    OldWrite(g, "ColWidth0", "200");
    OldWrite(g, "ColWidth1", "67");  // the default: not written
    OldWrite(g, "FormLeft", "10");
    OldWrite(g, "ShowFNOnRun", "0");
    OldWrite(g, "MaskPassword", "1");
    OldWrite(g, "AllowUndo", "1");
    OldWrite(g, "ProgressColor1", "255");
    OldWrite(g, "StartupDelay", "20");
    OldWrite(g, "LastProfile", "Docs");
    OldWrite(g, "StartupProfiles", "\"Docs\" ");
    OldWrite(g, "Use2ColorView", "0");
    OldWrite(g, "Contrast", "80");
    OldWrite(g, "AllRunsOK", "0");
    OldWrite(g, "LastSchedule", "x");
    OldWrite(g, "DefCmtCount", "2");
    OldWrite(g, "DefCmt0", "Line one, with comma");
    OldWrite(g, "DefCmt1", "Second");
    OldWrite(g, "IncludeTime", "0");
    OldWrite(g, "DoNotVerifyAppFileVersions", "1");
    OldWrite(g, "AlternateColor", "123");
    OldWrite(g, "ZipFileSizeUnit", "KB");
    OldWrite(g, "ZipFileSizePrecision", "3");
    OldWrite(g, "SchedulerOnStartup", "0");
    OldWrite(g, "DisableStartupProfiles", "1");
    OldWrite(g, "24HourTime", "1");  // not one of the carried settings

    OldWrite("Schedule1", "ScheduleTime", "0.333333333333333");
    OldWrite("Schedule1", "ScheduleDays", "1111100");
    OldWrite("Schedule1", "Action", "2");
    OldWrite("Schedule1", "Profiles", "\"Docs\" ");
    OldWrite("Schedule2", "ScheduleTime", "0.75");
    OldWrite("Schedule2", "d", "1");
    OldWrite("Schedule2", "dt", "1,15");
    OldWrite("Schedule2", "Profiles", "\"Reset\" ");

    const std::string n = "Quillbank Profile Names";
    OldWrite(n, "ProfileCount", "4");
    OldWrite(n, "P0", "Docs");
    OldWrite(n, "P1", "Photos Nine");
    OldWrite(n, "P2", "Gone");
    OldWrite(n, "P3", "Reset");

    OldWrite("Docs", "AddCompLevel", "6");
    OldWrite("Docs", "AddDirNames", "0");
    OldWrite("Docs", "AddHiddenFiles", "0");
    OldWrite("Docs", "AddRecurseDirs", "1");
    OldWrite("Docs", "AddEncrypt", "1");
    OldWrite("Docs", "AddFreshen", "1");
    OldWrite("Docs", "AddStoreSuffixes", "zip");
    OldWrite("Docs", "FSpecArgsCount", "2");
    OldWrite("Docs", "FSpecArgs0", ">C:\\Data\\*.*");
    OldWrite("Docs", "FSpecArgs1", "C:\\Notes\\*.txt");
    OldWrite("Docs", "FSpecArgsExclCount", "1");
    OldWrite("Docs", "FSpecArgsExcl0", "*.tmp");
    OldWrite("Docs", "Password", tk::Narrow(tk::AnsiBytesToWide(InvertChars("Secret"))));
    OldWrite("Docs", "UseDefaultComment", "1");
    OldWrite("Docs", "CommentLineCount", "2");
    OldWrite("Docs", "CommentLine0", "Hello world");
    OldWrite("Docs", "CommentLine1", "Two");
    OldWrite("Docs", "RootDir", "C:\\Data");
    OldWrite("Docs", "DeleteBeforeRunning", "1");
    OldWrite("Docs", "ZipFileName", "D:\\Backup\\Docs.zip");
    OldWrite("Docs", "MediaLabel", "BACKUP1;BACKUP2");
    OldWrite("Docs", "ProfileName", "Docs");
    OldWrite("Docs", "LastRun", "38500.5");
    OldWrite("Docs", "LastTested", "38501.25");
    OldWrite("Docs", "RunOK", "0");
    OldWrite("Docs", "StoreAndZip", "1");
    OldWrite("Docs", "ZipFileNameDateFormat", "yyyy-mm-dd");

    OldWrite("Photos Nine", "AddCompLevel", "9");
    OldWrite("Photos Nine", "AddArchiveOnly", "1");
    OldWrite("Photos Nine", "AddResetArchive", "1");
    OldWrite("Photos Nine", "AddUpdate", "0");
    OldWrite("Photos Nine", "TargetAsTempDir", "1");
    OldWrite("Photos Nine", "ProfileName", "Photos Nine");
    OldWrite("Photos Nine", "ZipFileName", "E:\\P.zip");

    OldWrite("Reset", "AddResetArchive", "1");
    OldWrite("Reset", "ProfileName", "Reset");
    OldWrite("Reset", "ZipFileName", "F:\\R.zip");

    OldWrite("TempProfile", "ProfileName", "TempProfile");
    OldWrite("TempProfile", "ZipFileName", "C:\\T.zip");
  }

  static std::string General(const char* name) { return qbtest::RegRead("Options\\General", name); }
  static std::string Prof(const std::string& p, const char* name) {
    return qbtest::RegRead("Profiles\\" + p, name);
  }
};

}  // namespace

TEST_F(Migrator, CarriesTheOldLayoutValueByValue) {
  WriteOldLayout();
  const auto oldBefore = DumpTree(OldQuillbankRootKey);
  const TRun run = RunMigrator("-convert");
  ASSERT_EQ(run.ExitCode, 0);
  EXPECT_EQ(run.Box, kHead +
                         "The following profiles used \"Clear archive bit\" without\r\n"
                         "using \"Include archive only\". That is NOT possible now.\r\n\r\n"
                         "Reset\r\n\r\n"
                         "The following profiles of the old list were not found and have not "
                         "been copied:\r\n\r\nGone\r\n");
  EXPECT_EQ(DumpTree(OldQuillbankRootKey), oldBefore);  // the old data stays as it was

  // Settings: exactly the carried values that differ from the current defaults, and
  // those written always.
  const std::map<std::string, std::string> general = {
      {"ColWidth0", "200"}, {"FormLeft", "10"}, {"ShowFNOnRun", "0"}, {"AllowUndo", "1"},
      {"ProgressColor1", "255"}, {"StartupDelay", "20"}, {"LastProfile", "Docs"},
      {"StartupProfiles", "\"Docs\" "}, {"ScheduleCount", "2"}, {"Use2ColorView", "0"},
      {"Contrast", "80"}, {"AllRunsOK", "0"}, {"AllTestsOK", "1"}, {"LastSchedule", "x"},
      {"dcmt", "\"Line one, with comma\",Second"}, {"DateFormat", "mmm-dd-yyyy"},
      {"IncludeTime", "0"}, {"RegBackupDir", ""}, {"DoNotVerifyAppFileVersions", "1"},
      {"bRunFromScheduler", "0"}, {"AlternateColor", "123"}, {"ZipFileSizeUnit", "KB"},
      {"ZipFileSizePrecision", "3"}, {"SchedulerOnStartup", "0"}, {"DisableStartupProfiles", "1"}};
  std::vector<std::string> names;
  for (const auto& [name, text] : general) {
    names.push_back(name);
    EXPECT_EQ(General(name.c_str()), text) << name;
  }
  EXPECT_EQ(Sorted(qbtest::RegValueNames("Options\\General")), Sorted(names));

  // The list without the name that had no key.
  EXPECT_EQ(Sorted(qbtest::RegValueNames("Profile Names")), Sorted({"ProfileCount", "P0", "P1", "P2"}));
  EXPECT_EQ(qbtest::RegRead("Profile Names", "ProfileCount"), "3");
  EXPECT_EQ(qbtest::RegRead("Profile Names", "P0"), "Docs");
  EXPECT_EQ(qbtest::RegRead("Profile Names", "P1"), "Photos Nine");
  EXPECT_EQ(qbtest::RegRead("Profile Names", "P2"), "Reset");

  // Schedules in the current names, '.' as separator.
  EXPECT_EQ(Sorted(qbtest::RegValueNames("Schedules\\1")), Sorted({"t", "ds", "a", "p"}));
  EXPECT_EQ(qbtest::RegRead("Schedules\\1", "t"), "0.333333333333333");
  EXPECT_EQ(qbtest::RegRead("Schedules\\1", "ds"), "1111100");
  EXPECT_EQ(qbtest::RegRead("Schedules\\1", "a"), "2");
  EXPECT_EQ(qbtest::RegRead("Schedules\\1", "p"), "\"Docs\" ");
  EXPECT_EQ(Sorted(qbtest::RegValueNames("Schedules\\2")), Sorted({"t", "p", "d", "dt"}));
  EXPECT_EQ(qbtest::RegRead("Schedules\\2", "t"), "0.75");
  EXPECT_EQ(qbtest::RegRead("Schedules\\2", "dt"), "1,15");
  EXPECT_EQ(qbtest::RegRead("Schedules\\2", "p"), "\"Reset\" ");

  // Docs: level 6 becomes 5, ">" marks recursion, freshen, comment and password.
  const std::map<std::string, std::string> docs = {
      {"b", "00100101110001000000"}, {"ecmd", "1"}, {"il", "C:\\Data\\*.*,C:\\Notes\\*.txt"},
      {"ef", "*.tmp"}, {"cmt", "\"Hello world\",Two"}, {"bdir", "C:\\Data"},
      {"zf", "D:\\Backup\\Docs.zip"}, {"pn", "Docs"}, {"ml", "BACKUP1;BACKUP2"},
      {"lrun", "38500.5"}, {"ltst", "38501.25"}, {"zfndf", "yyyy-mm-dd"}};
  names.clear();
  for (const auto& [name, text] : docs) {
    names.push_back(name);
    EXPECT_EQ(Prof("Docs", name.c_str()), text) << name;
  }
  names.push_back("ec");
  EXPECT_EQ(Sorted(qbtest::RegValueNames("Profiles\\Docs")), Sorted(names));
  TQbProfile loaded;
  ASSERT_TRUE(loaded.LoadFromRegistry("Docs"));
  EXPECT_EQ(loaded.ec, "Secret");

  // Level 9 stays; archive-only with clearing keeps both; no update means add.
  EXPECT_EQ(Sorted(qbtest::RegValueNames("Profiles\\Photos Nine")), Sorted({"b", "cf", "ecmd", "zf", "pn"}));
  EXPECT_EQ(Prof("Photos Nine", "b"), "11000010001001000000");
  EXPECT_EQ(Prof("Photos Nine", "cf"), "9");
  EXPECT_EQ(Prof("Photos Nine", "ecmd"), "4");

  // Clearing the archive bit alone is dropped (and named in the box above).
  EXPECT_EQ(Prof("Reset", "b"), "00000010000001000000");
  EXPECT_EQ(Sorted(qbtest::RegValueNames("Profiles\\Reset")), Sorted({"b", "zf", "pn"}));
  EXPECT_EQ(Prof("TempProfile", "zf"), "C:\\T.zip");
  EXPECT_EQ(qbtest::RegRead("Profiles\\Gone", "pn"), "<missing>");
}

TEST_F(Migrator, SecondRunChangesNothing) {
  WriteOldLayout();
  ASSERT_EQ(RunMigrator("/convert").ExitCode, 0);
  const auto after = DumpTree(QuillbankRootKey);
  ASSERT_FALSE(after.empty());
  // Old data that changed since would show if the second run converted again.
  OldWrite("Docs", "AddCompLevel", "1");
  OldWrite("Global Options", "FormLeft", "99");
  const TRun again = RunMigrator("/CONVERT");
  EXPECT_EQ(again.ExitCode, 0);
  EXPECT_EQ(again.Box, "");
  EXPECT_EQ(DumpTree(QuillbankRootKey), after);
}

TEST_F(Migrator, NoSwitchOrAnExistingCurrentLayoutChangesNothing) {
  WriteOldLayout();
  const auto oldBefore = DumpTree(OldQuillbankRootKey);
  for (const char* args : {"", "-other", "-convertx"}) {
    const TRun run = RunMigrator(args);
    EXPECT_EQ(run.ExitCode, 0) << args;
    EXPECT_EQ(run.Box, "") << args;
    EXPECT_FALSE(KeyThere(QuillbankRootKey)) << args;
  }
  qbtest::RegWrite("Options\\General", "FormLeft", "1");
  const auto current = DumpTree(QuillbankRootKey);
  const TRun run = RunMigrator("-convert");
  EXPECT_EQ(run.ExitCode, 0);
  EXPECT_EQ(run.Box, "");
  EXPECT_EQ(DumpTree(QuillbankRootKey), current);
  EXPECT_EQ(DumpTree(OldQuillbankRootKey), oldBefore);
}

TEST_F(Migrator, WithoutAnOldLayoutNothingIsMade) {
  const TRun run = RunMigrator("-convert");
  EXPECT_EQ(run.ExitCode, 0);
  EXPECT_EQ(run.Box, "");
  EXPECT_FALSE(KeyThere(QuillbankRootKey));
  EXPECT_FALSE(KeyThere(OldQuillbankRootKey));
}

// The user's locale decimal separator for the life of the object, then the old one.
class TLocaleDecimal {
 public:
  explicit TLocaleDecimal(const wchar_t* sep) {
    wchar_t buf[16] = {};
    DWORD size = sizeof buf;
    had_ = RegGetValueW(HKEY_CURRENT_USER, kIntl, L"sDecimal", RRF_RT_REG_SZ, nullptr, buf, &size) ==
           ERROR_SUCCESS;
    old_ = buf;
    Set(sep);
  }
  ~TLocaleDecimal() {
    if (had_)
      Set(old_.c_str());
    else
      RegDeleteKeyValueW(HKEY_CURRENT_USER, kIntl, L"sDecimal");
  }

 private:
  static void Set(const wchar_t* sep) {
    RegSetKeyValueW(HKEY_CURRENT_USER, kIntl, L"sDecimal", REG_SZ, sep,
                    static_cast<DWORD>((wcslen(sep) + 1) * sizeof(wchar_t)));
  }
  bool had_ = false;
  std::wstring old_;
};

TEST_F(Migrator, DecimalCommaOfTheLocaleIsReadAndThePointWritten) {
  TLocaleDecimal comma(L",");
  OldWrite("Global Options", "ScheduleCount", "1");
  OldWrite("Schedule1", "ScheduleTime", "0,75");
  OldWrite("Schedule1", "Profiles", "\"Comma\" ");
  OldWrite("Quillbank Profile Names", "ProfileCount", "1");
  OldWrite("Quillbank Profile Names", "P0", "Comma");
  OldWrite("Comma", "ProfileName", "Comma");
  OldWrite("Comma", "LastRun", "38500,5");
  OldWrite("Comma", "LastTested", "38501,25");
  const TRun run = RunMigrator("-convert");
  ASSERT_EQ(run.ExitCode, 0);
  EXPECT_EQ(run.Box, kHead);
  EXPECT_EQ(Prof("Comma", "lrun"), "38500.5");
  EXPECT_EQ(Prof("Comma", "ltst"), "38501.25");
  EXPECT_EQ(qbtest::RegRead("Schedules\\1", "t"), "0.75");
}

// The count is that of the schedules copied; a time that is no number stays behind and an
// unknown action becomes Run, each named.
TEST_F(Migrator, SchedulesCountWhatWasCopiedAndNameWhatWasNot) {
  OldWrite("Global Options", "ScheduleCount", "2147483647");
  OldWrite("Schedule1", "ScheduleTime", "8:00");
  OldWrite("Schedule2", "ScheduleTime", "0.5");
  OldWrite("Schedule2", "Action", "300");
  OldWrite("Schedule3", "ScheduleTime", "0.75");
  const TRun run = RunMigrator("-convert");
  ASSERT_EQ(run.ExitCode, 0);
  EXPECT_EQ(run.Box, kHead +
                         "The following schedules could not be read and have not been copied:\r\n\r\n"
                         "Value \"ScheduleTime\" in Schedule1 is not a number: \"8:00\"\r\n\r\n"
                         "The following schedule actions are not known and have been copied as \"Run\":\r\n\r\n"
                         "Value \"Action\" in Schedule2 is not a known action: \"300\"\r\n");
  EXPECT_EQ(qbtest::RegRead("Options\\General", "ScheduleCount"), "2");
  EXPECT_EQ(qbtest::RegRead("Schedules\\1", "t"), "0.5");
  EXPECT_EQ(qbtest::RegRead("Schedules\\1", "a"), "<missing>");
}

TEST_F(Migrator, DayCountThatIsNoNumberIsNamedAndTheProfileStillCopied) {
  OldWrite("Quillbank Profile Names", "ProfileCount", "1");
  OldWrite("Quillbank Profile Names", "P0", "Bad");
  OldWrite("Bad", "ProfileName", "Bad");
  OldWrite("Bad", "ZipFileName", "D:\\Bad.zip");
  OldWrite("Bad", "LastRun", "soon");
  const TRun run = RunMigrator("-convert");
  ASSERT_EQ(run.ExitCode, 0);
  EXPECT_EQ(run.Box.rfind(kHead + "The following values were not numbers", 0), 0u) << run.Box;
  EXPECT_NE(run.Box.find("soon"), std::string::npos);
  EXPECT_EQ(Prof("Bad", "zf"), "D:\\Bad.zip");
  EXPECT_EQ(Prof("Bad", "lrun"), "<missing>");
}

// Old keys named alike each become a profile of their own (a key listed twice, once),
// the list names what was stored, the temporary profile keeps its key whatever its
// name, and a password that is no text is named, never dropped in silence.
TEST_F(Migrator, EveryOldProfileGetsAKeyOfItsOwnAndTheListNamesThem) {
  const struct { std::string key, name, now; } old[] = {{"Docs", "Docs", "Docs"}, {"Work", "Docs", "Docs (2)"},
      {"Mail", "Post", "Post"}, {"Bin", "Bin", "Bin"}, {"Slash", "A\\B", "A_B"}, {"TempProfile", "Docs", "TempProfile"}};
  OldWrite("Quillbank Profile Names", "ProfileCount", "6");
  OldWrite("Quillbank Profile Names", "P5", "docs");  // Docs again
  for (size_t i = 0; i < 6; ++i) {
    if (i < 5) OldWrite("Quillbank Profile Names", "P" + std::to_string(i), old[i].key);
    OldWrite(old[i].key, "ProfileName", old[i].name);
    OldWrite(old[i].key, "ZipFileName", old[i].key + ".zip");
  }
  const std::string secret = tk::Narrow(tk::AnsiBytesToWide(InvertChars("Secret")));
  OldWrite("Docs", "Password", secret);
  OldWrite("Bin", "Password", secret, REG_BINARY);
  const TRun run = RunMigrator("-convert");
  ASSERT_EQ(run.ExitCode, 0);
  EXPECT_EQ(run.Box, kHead +
                         "The following profiles had a name that was taken or cannot be used and have been "
                         "copied under another:\r\n\r\n\"Docs\" (old key Work) is now \"Docs (2)\"\r\n"
                         "\"A\\B\" (old key Slash) is now \"A_B\"\r\n\r\n"
                         "The following values were not stored as text and have not been copied as they "
                         "were:\r\n\r\nValue \"Password\" in Bin is not stored as text: read as missing\r\n");
  EXPECT_EQ(qbtest::RegValueNames("Profile Names").size(), 6u);
  EXPECT_EQ(qbtest::RegRead("Profile Names", "ProfileCount"), "5");
  for (size_t i = 0; i < 6; ++i) {
    if (i < 5) EXPECT_EQ(qbtest::RegRead("Profile Names", "P" + std::to_string(i)), old[i].now);
    EXPECT_TRUE(Prof(old[i].now, "pn") == old[i].now && Prof(old[i].now, "zf") == old[i].key + ".zip") << old[i].now;
  }
  EXPECT_NE(Prof("Docs", "ec"), "<missing>");
  EXPECT_EQ(Prof("Bin", "ec"), "<missing>");
}
