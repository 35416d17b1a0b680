// Schedules against the real registry, their conflicts, and the start of the runner
// program (copies of this test program stand in for RunQb.exe and QbEw.exe).
#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "settings/fernoini.h"
#include "settings/foschedules.h"
#include "support/testutil.h"
#include "toolkit/files.h"
#include "toolkit/strings.h"

using qbtest::RegRead;
using qbtest::RegValueNames;
using qbtest::RegWrite;
using Names = std::vector<std::string>;

namespace {

// Started under the name RunQb.exe or QbEw.exe, this program notes its command line
// in <its name>.cmdline beside itself and ends before any test runs.
const bool standIn = [] {
  const std::string self = tk::ProgramFile();
  const std::string name = tk::ExtractFileName(self);
  if (!tk::SameText(name, "RunQb.exe") && !tk::SameText(name, "QbEw.exe")) return false;
  const std::string line = tk::Narrow(GetCommandLineW());
  qbtest::WriteFile(self + ".cmdline.tmp", line);
  tk::RenameFile(self + ".cmdline.tmp", self + ".cmdline");
  ExitProcess(0);
}();

// The stand-in's note once the started program has written and closed it (within 30 s).
std::string WaitForNote(const std::string& exe) {
  std::string note = "<none>";
  qbtest::WaitUntil(
      [&] {
        if (!qbtest::Exists(exe + ".cmdline")) return false;
        try {
          note = qbtest::ReadFile(exe + ".cmdline");
          return true;
        } catch (const std::exception&) {  // still open in the program that writes it
          return false;
        }
      },
      30000);
  return note;
}

const double At8 = 8.0 / 24;

TFoSchedule* Entry(double time, const std::string& days, const std::string& dates = "") {
  auto* s = new TFoSchedule;
  s->Time = time;
  s->DatesMode = !dates.empty();
  s->Days = dates.empty() ? days : "0000000";
  s->Dates = dates;
  s->Profiles = "\"Docs\" ";
  return s;
}

class Schedules : public testing::Test {
 protected:
  void SetUp() override {
    qbtest::ClearQuillbankKey();
    tk::SetLongTimeFormat("hh:nn");
  }
  void TearDown() override { qbtest::ClearQuillbankKey(); }
};

}  // namespace

TEST_F(Schedules, SaveWritesOnlyWhatDiffersFromDefaults) {
  TFoSchedule s;
  s.Time = At8;
  s.Profiles = "\"Docs\" ";
  RegWrite("Schedules\\1", "dt", "5");
  RegWrite("Schedules\\1", "ds", "1000000");
  s.SaveToRegistry("Schedules\\1");
  EXPECT_EQ(RegValueNames("Schedules\\1"), (Names{"p", "t"}));
  EXPECT_EQ(RegRead("Schedules\\1", "t"), "0.333333333333333");

  TFoSchedule d;
  d.DatesMode = true;
  d.Days = "0000000";
  d.Dates = "32";
  d.Action = 2 | 0x80;
  d.SaveToRegistry("Schedules\\2");
  EXPECT_EQ(RegValueNames("Schedules\\2"), (Names{"a", "d", "p", "t"}));
  EXPECT_EQ(RegRead("Schedules\\2", "a"), "2");
  EXPECT_EQ(RegRead("Schedules\\2", "p"), "");
  d.Dates = "1,15";
  d.Action = 0;
  d.SaveToRegistry("Schedules\\2");
  EXPECT_EQ(RegValueNames("Schedules\\2"), (Names{"d", "dt", "p", "t"}));
  EXPECT_EQ(RegRead("Schedules\\2", "dt"), "1,15");
}

TEST_F(Schedules, ListRoundTripsThroughTheRegistry) {
  {
    TFoSchedules list;
    EXPECT_EQ(list.GetCount(), 0);
    EXPECT_EQ(list.GetItem(0), nullptr);
    list.Add(Entry(At8, "1010100"));
    list.Add(Entry(0.75, "", "1,32"));
    list.GetItem(1)->Action = 1;
    list.SaveAll();
  }
  EXPECT_EQ(RegRead("Options\\General", "ScheduleCount"), "2");
  RegWrite("Schedules\\1", "dt", "7");         // ignored in days mode
  RegWrite("Schedules\\2", "ds", "1111111");   // ignored in dates mode
  TFoSchedules list;
  ASSERT_EQ(list.GetCount(), 2);
  const TFoSchedule& a = *list.GetItem(0);
  EXPECT_NEAR(a.Time, At8, 1e-12);
  EXPECT_EQ(a.Days, "1010100");
  EXPECT_FALSE(a.DatesMode);
  EXPECT_EQ(a.Dates, "");
  EXPECT_EQ(a.Profiles, "\"Docs\" ");
  const TFoSchedule& b = *list.GetItem(1);
  EXPECT_TRUE(b.DatesMode);
  EXPECT_EQ(b.Days, "0000000");
  EXPECT_EQ(b.Dates, "1,32");
  EXPECT_EQ(b.Action, 1);

  // Defaults of a bare entry: every day; the last date in dates mode.
  RegWrite("Schedules\\1", "ds", "111111100");
  TFernoIni().DeleteValue("Schedules\\2", "dt");
  TFoSchedules again;
  EXPECT_EQ(again.GetItem(0)->Days, "1111111");
  EXPECT_EQ(again.GetItem(1)->Dates, "32");

  EraseStoredSchedules();
  EXPECT_EQ(RegRead("Options\\General", "ScheduleCount"), "<missing>");
  EXPECT_EQ(RegValueNames("Schedules\\1"), Names{});
  EXPECT_EQ(TFoSchedules().GetCount(), 0);
}

TEST_F(Schedules, OldLayoutIsReadWithLongNames) {
  HKEY h;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Quillbank 1\\Schedule1", 0, nullptr, 0,
                            KEY_ALL_ACCESS, nullptr, &h, nullptr), ERROR_SUCCESS);
  RegCloseKey(h);
  SetOldRegistryNames();
  {
    TFernoIni ini;
    ini.SetScheduleCount(1);
    ini.WriteString("Schedule1", "ScheduleTime", "0.5");
    ini.WriteString("Schedule1", "ScheduleDays", "0000011");
    ini.WriteString("Schedule1", "Action", "2");
    ini.WriteString("Schedule1", "Profiles", "\"Old\" ");
  }
  TFoSchedules list;
  SetNewRegistryNames();
  RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Quillbank 1");
  RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Quillbank 1");
  ASSERT_EQ(list.GetCount(), 1);
  EXPECT_EQ(list.GetItem(0)->Time, 0.5);
  EXPECT_EQ(list.GetItem(0)->Days, "0000011");
  EXPECT_EQ(list.GetItem(0)->Action, 2);
  EXPECT_EQ(list.GetItem(0)->Profiles, "\"Old\" ");
}

TEST_F(Schedules, MalformedTimeLeavesTheEntryOutAndSaysSo) {
  TFernoIni().SetScheduleCount(2);
  RegWrite("Schedules\\1", "t", "8am");
  RegWrite("Schedules\\2", "t", "0.25");
  std::string error;
  TFoSchedules list(&error);
  EXPECT_EQ(error, "Value \"t\" in Schedules\\1 is not a number: \"8am\"");
  ASSERT_EQ(list.GetCount(), 1);
  EXPECT_EQ(list.GetItem(0)->Time, 0.25);
  TFoSchedule s;
  EXPECT_FALSE(s.LoadFromRegistry("Schedules\\1"));
  EXPECT_EQ(s.Time, 0);
}

// Times outside a day, an unknown action and a time stored as a number make an entry
// unread; a time with seconds is its minute, clashing with it.
TEST_F(Schedules, DamagedEntriesAreKeptApartAndTimesAreTheirMinutes) {
  TFernoIni().SetScheduleCount(6);
  const char* const times[] = {"1.042", "-0.25", "99999", "0.5", "", "0.334375"};  // the last 08:01:30
  for (int n = 1; n <= 6; ++n) RegWrite("Schedules\\" + std::to_string(n), "t", times[n - 1]);
  RegWrite("Schedules\\4", "a", "257");
  RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\Quillbank\\Schedules\\5", L"t", REG_DWORD, "\0\0\0", 4);
  std::string error;
  TFoSchedules list(&error);
  EXPECT_EQ(error,
            "Value \"t\" in Schedules\\1 is not a time of day: \"1.042\"\r\n"
            "Value \"t\" in Schedules\\2 is not a time of day: \"-0.25\"\r\n"
            "Value \"t\" in Schedules\\3 is not a time of day: \"99999\"\r\n"
            "Value \"a\" in Schedules\\4 is not an action (0, 1 or 2): \"257\"\r\n"
            "Value \"t\" in Schedules\\5 is stored as a number, not as text: read as \"0\"");
  ASSERT_EQ(list.GetCount(), 1);
  list.Add(Entry(tk::EncodeTime(8, 1, 0, 0), "0000010"));
  std::string message;
  EXPECT_EQ(list.FindTimeConflict(message), tk::EncodeTime(8, 1, 0, 0));
}

TEST_F(Schedules, Texts) {
  TFoSchedule s;
  EXPECT_EQ(s.GetWhenText(), "Daily");
  s.Days = "1010100";
  EXPECT_EQ(s.GetWhenText(), "Mon Wed Fri ");
  s.Days = "0000000";
  s.Dates = "1";
  EXPECT_EQ(s.GetWhenText(), "1st of month");
  s.Dates = "32";
  EXPECT_EQ(s.GetWhenText(), "Last date of month");
  s.Dates = "1,15";
  EXPECT_EQ(s.GetWhenText(), "Dates: 1,15");
  s.Dates = "15";
  EXPECT_EQ(s.GetWhenText(), "Date: 15");
  const char* actions[] = {"Run", "Test", "Run & Test"};
  for (uint8_t a = 0; a < 3; ++a) {
    s.Action = a;
    EXPECT_EQ(s.GetActionText(), actions[a]);
  }
}

TEST_F(Schedules, ConflictsOfDaysAndDates) {
  std::string msg;
  TFoSchedules list;
  list.Add(Entry(At8, "1000000"));
  list.Add(Entry(At8, "", "1"));
  EXPECT_DOUBLE_EQ(list.FindTimeConflict(msg), At8);
  EXPECT_EQ(msg, "Schedule time (08:00) can not be repeated for both days && dates");

  list.FreeItems();
  list.Add(Entry(At8, "", "1,15"));
  list.Add(Entry(At8, "", "32"));
  EXPECT_EQ(list.FindTimeConflict(msg), 0);
  list.Add(Entry(At8, "", "15"));
  EXPECT_DOUBLE_EQ(list.FindTimeConflict(msg), At8);
  EXPECT_EQ(msg, "Schedule time (08:00) can be repeated for different dates only");
}

TEST_F(Schedules, ConflictsOfWeekDays) {
  std::string msg;
  TFoSchedules list;
  list.Add(Entry(At8, "1111100"));
  list.Add(Entry(At8, "0000011"));
  EXPECT_EQ(list.FindTimeConflict(msg), 0);
  list.GetItem(1)->Days = "0000111";
  EXPECT_DOUBLE_EQ(list.FindTimeConflict(msg), At8);
  EXPECT_EQ(msg, "Schedule time (08:00) can be repeated for different days only");
  tk::SetLongTimeFormat("hh:nn AM/PM");
  list.GetItem(0)->Time = list.GetItem(1)->Time = 13.5 / 24;
  list.FindTimeConflict(msg);
  EXPECT_EQ(msg, "Schedule time (01:30 PM) can be repeated for different days only");
}

TEST_F(Schedules, TimesLessThanASecondApartAreTheSame) {
  std::string msg;
  TFoSchedules list;
  list.Add(Entry(At8, "1000000"));
  list.Add(Entry(At8 + 0.5 / 86400, "1000000"));
  EXPECT_DOUBLE_EQ(list.FindTimeConflict(msg), At8);
  list.GetItem(1)->Time = At8 + 1.0 / 86400;
  EXPECT_EQ(list.FindTimeConflict(msg), 0);
  list.GetItem(1)->Time = At8 - 0.5 / 86400;
  EXPECT_DOUBLE_EQ(list.FindTimeConflict(msg), At8);
}

TEST_F(Schedules, RenameSavesOnlyWhenANameMatched) {
  {
    TFoSchedules list;
    list.Add(Entry(At8, "1000000"));
    list.GetItem(0)->Profiles = "\"Docs\" \"Other\" ";
    list.Add(Entry(0.5, "0100000"));
    list.GetItem(1)->Profiles = "\"docs\" ";
    list.SaveAll();
  }
  TFoSchedules list;
  EXPECT_TRUE(list.IsProfileScheduled("Other"));
  EXPECT_FALSE(list.IsProfileScheduled("other"));
  EXPECT_FALSE(list.IsProfileScheduled("Doc"));

  EraseStoredSchedules();
  EXPECT_FALSE(list.RenameProfile("Nope", "X"));
  EXPECT_EQ(RegRead("Options\\General", "ScheduleCount"), "<missing>");
  EXPECT_EQ(RegValueNames("Schedules\\1"), Names{});

  EXPECT_TRUE(list.RenameProfile("Docs", "My Papers"));
  EXPECT_EQ(list.GetItem(0)->Profiles, "\"My Papers\" \"Other\" ");
  EXPECT_EQ(list.GetItem(1)->Profiles, "\"docs\" ");  // a name in other case is not named
  EXPECT_EQ(RegRead("Options\\General", "ScheduleCount"), "2");
  EXPECT_EQ(RegRead("Schedules\\1", "p"), "\"My Papers\" \"Other\" ");
}

TEST_F(Schedules, TimeOfDayToMinuteDropsSecondsAndDate) {
  EXPECT_EQ(TimeOfDayToMinute(37816 + tk::EncodeTime(9, 5, 59, 999)), tk::EncodeTime(9, 5, 0));
  EXPECT_EQ(TimeOfDayToMinute(tk::EncodeTime(23, 59, 30)), tk::EncodeTime(23, 59, 0));
  EXPECT_EQ(TimeOfDayToMinute(0), 0);
}

TEST_F(Schedules, RunProfileStartsTheRunnerBesideTheProgram) {
  qbtest::TempDir dir;
  const std::string folder = dir / "Program Files\\";
  qbtest::MakeDirs(folder);
  ASSERT_TRUE(CopyFileW(tk::Widen(tk::ProgramFile()).c_str(), tk::Widen(folder + "RunQb.exe").c_str(), FALSE));
  RunProfileFrom(folder, 'R', "", true);  // no arguments: nothing starts
  // A program started is running or has left its note by the time the call returns.
  EXPECT_TRUE(qbtest::ProgramsRunningFrom(folder).empty());
  EXPECT_FALSE(qbtest::Exists(folder + "RunQb.exe.cmdline"));
  EXPECT_EQ(RegRead("Options\\General", "bRunFromScheduler"), "<missing>");

  RunProfileFrom(folder, 'B', "\"Docs\" \"My Files\" ", true);
  EXPECT_EQ(WaitForNote(folder + "RunQb.exe"),
            "\"" + folder + "RunQb.exe\" B \"Docs\" \"My Files\" ");
  EXPECT_EQ(RegRead("Options\\General", "bRunFromScheduler"), "1");
}

TEST_F(Schedules, FailedStartWritesAnErrorFileForTheViewer) {
  qbtest::TempDir dir;
  const std::string folder = dir / "Q b\\";  // holds QbEw.exe but no RunQb.exe
  qbtest::MakeDirs(folder);
  ASSERT_TRUE(CopyFileW(tk::Widen(tk::ProgramFile()).c_str(), tk::Widen(folder + "QbEw.exe").c_str(), FALSE));
  const std::string errors = GetErrorsDir();
  const auto before = qbtest::ListDir(errors);

  RunProfileFrom(folder, 'R', "\"Docs\" ", true);
  const std::string note = WaitForNote(folder + "QbEw.exe");
  std::string errorFile;
  for (const std::string& name : qbtest::ListDir(errors))
    if (std::find(before.begin(), before.end(), name) == before.end()) errorFile = errors + name;
  ASSERT_FALSE(errorFile.empty());
  EXPECT_EQ(tk::ExtractFileExt(errorFile), ".err");
  EXPECT_EQ(qbtest::ReadFile(errorFile), "0 Couldn't run RunQb\r\n");
  EXPECT_EQ(note, "\"" + folder + "QbEw.exe\" \"" + errorFile + "\"");
  // The run did not start, so no later run may take it for a scheduled one.
  EXPECT_EQ(RegRead("Options\\General", "bRunFromScheduler"), "0");
  tk::RemoveFile(errorFile);
}
