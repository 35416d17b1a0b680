// The scheduler's decisions in-process: due schedules, the minutes a late timer owes,
// autorun choice and profile list, the volume-arrival record, the end-session kind,
// and the tray icon record against the real shell.
#include <gtest/gtest.h>

#include <windows.h>
#include <dbt.h>

#include "scheduler/schlogic.h"
#include "scheduler/trayico.h"
#include "support/testutil.h"

namespace {

tk::TDateTime At(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
  return tk::EncodeDate(y, mo, d) + tk::EncodeTime(h, mi, s);
}

TFoSchedule Weekdays(const std::string& mask, int h, int mi) {
  TFoSchedule s;
  s.Time = tk::EncodeTime(h, mi, 0);
  s.Days = mask;
  return s;
}

TFoSchedule Dates(const std::string& dates) {
  TFoSchedule s;
  s.Time = tk::EncodeTime(9, 0, 0);
  s.DatesMode = true;
  s.Dates = dates;
  return s;
}

std::vector<int> DueDaysOfMonth(const TFoSchedule& s, int year, int month) {
  std::vector<int> days;
  for (int d = 1; d <= tk::DaysInMonth(year, month); ++d)
    if (IsScheduleDue(s, At(year, month, d, 9, 0))) days.push_back(d);
  return days;
}

TEST(SchedulerDue, SundayOnlyMaskIsDueOnSundayAlone) {
  const TFoSchedule s = Weekdays("0000001", 9, 0);
  // 3 to 9 March 2024: Sunday .. Saturday.
  for (int d = 3; d <= 9; ++d)
    EXPECT_EQ(IsScheduleDue(s, At(2024, 3, d, 9, 0)), d == 3) << d;
}

TEST(SchedulerDue, WeekdayMaskMondayFirst) {
  const TFoSchedule s = Weekdays("1000100", 9, 0);  // Monday and Friday
  EXPECT_TRUE(IsScheduleDue(s, At(2024, 3, 4, 9, 0)));
  EXPECT_TRUE(IsScheduleDue(s, At(2024, 3, 8, 9, 0)));
  EXPECT_FALSE(IsScheduleDue(s, At(2024, 3, 5, 9, 0)));
  EXPECT_EQ(SundayFirstMask("1000100"), "0100010");
}

TEST(SchedulerDue, OnlyTheSchedulesMinute) {
  const TFoSchedule s = Weekdays("1111111", 23, 59);
  EXPECT_TRUE(IsScheduleDue(s, At(2024, 3, 4, 23, 59)));
  EXPECT_TRUE(IsScheduleDue(s, At(2024, 3, 4, 23, 59, 59)));
  EXPECT_FALSE(IsScheduleDue(s, At(2024, 3, 4, 23, 58)));
  EXPECT_FALSE(IsScheduleDue(s, At(2024, 3, 5, 0, 0)));
}

TEST(SchedulerDue, LastDateOfTheMonthWithLeapYears) {
  const TFoSchedule last = Dates("32");
  EXPECT_EQ(DueDaysOfMonth(last, 2024, 1), std::vector<int>{31});
  EXPECT_EQ(DueDaysOfMonth(last, 2023, 2), std::vector<int>{28});
  EXPECT_EQ(DueDaysOfMonth(last, 2024, 2), std::vector<int>{29});
  EXPECT_EQ(DueDaysOfMonth(last, 2100, 2), std::vector<int>{28});  // not a leap year
  EXPECT_EQ(DueDaysOfMonth(last, 2000, 2), std::vector<int>{29});
  EXPECT_EQ(DueDaysOfMonth(last, 2024, 4), std::vector<int>{30});
}

TEST(SchedulerDue, DatesListComparedAsText) {
  EXPECT_EQ(DueDaysOfMonth(Dates("1,15"), 2024, 5), (std::vector<int>{1, 15}));
  EXPECT_TRUE(DueDaysOfMonth(Dates("05"), 2024, 5).empty());
  // "32" among other dates is no last-date marker.
  EXPECT_EQ(DueDaysOfMonth(Dates("10,32"), 2024, 6), std::vector<int>{10});
}

TEST(SchedulerDue, Letters) {
  EXPECT_EQ(ScheduleLetter(0), 'R');
  EXPECT_EQ(ScheduleLetter(1), 'T');
  EXPECT_EQ(ScheduleLetter(2), 'B');
  EXPECT_EQ(ScheduleLetter(7), 'R');
}

TEST(SchedulerMinutes, LateAndEarlyTimersNeitherSkipNorDouble) {
  const tk::TDateTime last = At(2024, 3, 4, 10, 30);
  // Early by a fraction: the minute already checked is not checked again.
  EXPECT_TRUE(MinutesToCheck(last, At(2024, 3, 4, 10, 30, 59)).empty());
  // Late past the next minute's end: both owed minutes, in order.
  auto owed = MinutesToCheck(last, At(2024, 3, 4, 10, 32, 1));
  ASSERT_EQ(owed.size(), 2u);
  EXPECT_TRUE(IsScheduleDue(Weekdays("1111111", 10, 31), owed[0]));
  EXPECT_TRUE(IsScheduleDue(Weekdays("1111111", 10, 32), owed[1]));
  // Across midnight the owed minute keeps its own day.
  owed = MinutesToCheck(At(2024, 3, 3, 23, 58), At(2024, 3, 4, 0, 0, 30));
  ASSERT_EQ(owed.size(), 2u);
  EXPECT_TRUE(IsScheduleDue(Weekdays("0000001", 23, 59), owed[0]));  // 3 March 2024, a Sunday
  EXPECT_FALSE(IsScheduleDue(Weekdays("0000001", 0, 0), owed[1]));   // 4 March, a Monday
}

TEST(SchedulerMinutes, FirstCheckLongSleepAndClockBack) {
  EXPECT_EQ(MinutesToCheck(0, At(2024, 3, 4, 10, 30, 20)).size(), 1u);
  const auto slept = MinutesToCheck(At(2024, 3, 4, 10, 0), At(2024, 3, 4, 11, 0, 5));
  ASSERT_EQ(slept.size(), 1u);
  EXPECT_NEAR(slept[0], At(2024, 3, 4, 11, 0), 1e-7);
  EXPECT_EQ(MinutesToCheck(At(2024, 3, 4, 10, 0), At(2024, 3, 4, 10, 5)).size(), 5u);
  EXPECT_EQ(MinutesToCheck(At(2024, 3, 4, 10, 0), At(2024, 3, 4, 9, 0)).size(), 1u);
}

// The end of summer time, and a clock set back by hand: each repeated minute whose
// schedules ran runs no more, though the time change switches the checks off and on.
TEST(SchedulerMinutes, AClockSetBackAnHourRunsTheRepeatedMinutesOnce) {
  TCheckedMinutes state;
  EXPECT_TRUE(RunsSchedulesOf(state, At(2024, 10, 27, 2, 30)));
  EXPECT_TRUE(RunsSchedulesOf(state, At(2024, 10, 27, 2, 59)));
  state.Last = 0;
  EXPECT_FALSE(RunsSchedulesOf(state, At(2024, 10, 27, 2, 0)));
  EXPECT_FALSE(RunsSchedulesOf(state, At(2024, 10, 27, 2, 30)));
  EXPECT_TRUE(RunsSchedulesOf(state, At(2024, 10, 27, 3, 0)));
  EXPECT_TRUE(RunsSchedulesOf(state, At(2024, 10, 27, 1, 30)));  // further back: taken as corrected
}

TEST(SchedulerAutorun, ProfileListQuotesOnlyNamesWithBlanks) {
  TQbAutoRun entry;
  entry.Profiles = "\"My Docs\",Mail";
  EXPECT_EQ(AutorunProfileList(entry), "\"My Docs\" Mail");
  entry.Profiles = "";
  EXPECT_EQ(AutorunProfileList(entry), "");
}

TEST(SchedulerAutorun, Question) {
  TQbAutoRun entry;
  EXPECT_EQ(AutorunQuestion(entry), "");
  entry.Ask = true;
  entry.Action = 'b';
  EXPECT_EQ(AutorunQuestion(entry), "Run & Test selected profiles?");
  entry.Action = 't';
  EXPECT_EQ(AutorunQuestion(entry), "Test selected profiles?");
  entry.Action = 'x';
  EXPECT_EQ(AutorunQuestion(entry), " selected profiles?");
}

class SchedulerAutorunList : public ::testing::Test {
 protected:
  void SetUp() override { qbtest::ClearQuillbankKey(); }
  void TearDown() override { qbtest::ClearQuillbankKey(); }
};

TEST_F(SchedulerAutorunList, FirstEntryForTodayAndLabel) {
  {
    TQbAutoRuns list;
    auto add = [&](const char* media, const char* days, char action) {
      auto* e = new TQbAutoRun;
      e->Media = media;
      e->Days = days;
      e->Action = action;
      e->Profiles = "A";
      list.Add(e);
    };
    add("Backup", "0000001", 'r');    // Sundays only
    add("x,backup", "1111111", 'b');
    add("BACKUP", "1111111", 't');
    list.SaveAll();
  }
  TQbAutoRuns list;
  const TQbAutoRun* sunday = FindMediaAutoRun(list, "BackUp", 1);
  ASSERT_NE(sunday, nullptr);
  EXPECT_EQ(sunday->Action, 'r');
  const TQbAutoRun* monday = FindMediaAutoRun(list, "backup", 2);
  ASSERT_NE(monday, nullptr);
  EXPECT_EQ(monday->Action, 'b');
  EXPECT_EQ(FindMediaAutoRun(list, "Other", 2), nullptr);
}

TEST(SchedulerVolume, BroadcastIsCheckedBeforeItIsRead) {
  DEV_BROADCAST_VOLUME v{};
  v.dbcv_size = sizeof(v);
  v.dbcv_devicetype = DBT_DEVTYP_VOLUME;
  v.dbcv_unitmask = (1u << 10) | (1u << 20);  // K: and U:
  EXPECT_EQ(ArrivedVolumeLetter(reinterpret_cast<LPARAM>(&v)), 'K');
  v.dbcv_unitmask = 0;
  EXPECT_EQ(ArrivedVolumeLetter(reinterpret_cast<LPARAM>(&v)), 0);
  v.dbcv_unitmask = 1;
  v.dbcv_devicetype = DBT_DEVTYP_PORT;
  EXPECT_EQ(ArrivedVolumeLetter(reinterpret_cast<LPARAM>(&v)), 0);
  DEV_BROADCAST_HDR shortRecord{};
  shortRecord.dbch_size = sizeof(shortRecord);
  shortRecord.dbch_devicetype = DBT_DEVTYP_VOLUME;
  EXPECT_EQ(ArrivedVolumeLetter(reinterpret_cast<LPARAM>(&shortRecord)), 0);
  EXPECT_EQ(ArrivedVolumeLetter(0), 0);
}

TEST(SchedulerSession, LogOffBitIsPositiveOnX64) {
  const LPARAM logoff = static_cast<LPARAM>(static_cast<DWORD>(ENDSESSION_LOGOFF));
  ASSERT_GT(logoff, 0);
  EXPECT_EQ(WinShutdownFor(logoff, 1), 2);
  EXPECT_EQ(WinShutdownFor(0, 2), 1);
  EXPECT_EQ(WinShutdownFor(ENDSESSION_CRITICAL, 2), 2);
  EXPECT_EQ(WinShutdownFor(ENDSESSION_CLOSEAPP, 1), 1);
}

TEST(SchedulerSession, ShutdownCommand) {
  EXPECT_EQ(ShutdownCommand("C:\\Q\\", 2, 1), "C:\\Q\\Qb.exe -shutdown -L");
  EXPECT_EQ(ShutdownCommand("C:\\Q\\", 1, 1), "C:\\Q\\Qb.exe -shutdown -S");
  EXPECT_EQ(ShutdownCommand("C:\\Q\\", 1, 0), "C:\\Q\\Qb.exe -shutdown -P");
}

TEST(SchedulerTray, IconsAndTips) {
  EXPECT_STREQ(TrayIconName(true, true, false), "icoSA");
  EXPECT_STREQ(TrayIconName(true, false, false), "icoS");
  EXPECT_STREQ(TrayIconName(false, true, false), "icoA");
  EXPECT_STREQ(TrayIconName(false, false, false), "ico");
  EXPECT_STREQ(TrayIconName(true, true, true), "icoSAE");
  EXPECT_STREQ(TrayIconName(true, false, true), "icoSE");
  EXPECT_STREQ(TrayIconName(false, true, true), "icoAE");
  EXPECT_STREQ(TrayIconName(false, false, true), "icoE");
  EXPECT_EQ(TrayTip(true, true, false), "Quillbank 2.0 Scheduler");
  EXPECT_EQ(TrayTip(true, false, true), "Quillbank 2.0 Scheduler - Autorun Disabled (Error)");
  EXPECT_EQ(TrayTip(false, true, false), "Quillbank 2.0 Scheduler - Disabled");
  EXPECT_EQ(TrayTip(false, false, true), "Quillbank 2.0 Scheduler - Autorun,Scheduler Disabled (Error)");
}

TEST(SchedulerTray, ShellIsToldOnlyOfChanges) {
  HWND window = CreateWindowExW(0, L"STATIC", L"tray test", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  HICON a = LoadIconW(nullptr, IDI_APPLICATION);
  HICON b = LoadIconW(nullptr, IDI_WARNING);
  {
    TTrayIco tray(window, "Quillbank 2.0 Scheduler", a);
    EXPECT_EQ(tray.ShellCalls(), 1);
    tray.SetIcon(a);
    tray.SetTip("Quillbank 2.0 Scheduler");
    EXPECT_EQ(tray.ShellCalls(), 1);
    tray.SetIcon(b);
    tray.SetTip("Quillbank 2.0 Scheduler - Disabled");
    tray.SetIcon(a);
    tray.SetTip("Quillbank 2.0 Scheduler");
    EXPECT_EQ(tray.ShellCalls(), 5);
    const std::string longest = "Quillbank 2.0 Scheduler - Autorun,Scheduler Disabled (Error)";
    ASSERT_LE(longest.size(), TTrayIco::MaxTipLength);
    tray.SetTip(longest);
    EXPECT_EQ(tray.Tip(), longest);
    tray.SetTip(std::string(64, 'x'));
    EXPECT_EQ(tray.Tip(), longest);
    EXPECT_EQ(tray.ShellCalls(), 6);
  }
  DestroyWindow(window);
}

TEST(SchedulerClock, FixedStartAndSpeed) {
  const tk::TDateTime start = At(2024, 2, 29, 10, 29, 58);
  const ULONGLONG before = GetTickCount64();
  TSchClock clock(start, 60);
  const ULONGLONG made = GetTickCount64();
  EXPECT_GE(clock.Now(), start);
  EXPECT_LT(clock.Now(), start + 1.0 / 1440.0);
  EXPECT_EQ(clock.Interval(60000), 1000u);
  EXPECT_EQ(clock.Interval(30), 1u);
  // Once the system's tick count has moved on, the clock has moved sixty times as far:
  // between the ticks seen around its start and around the reading.
  ASSERT_TRUE(qbtest::WaitUntil([&] { return GetTickCount64() >= made + 50; }, 5000));
  const ULONGLONG readFrom = GetTickCount64();
  const double ran = (clock.Now() - start) * 86400000.0;
  const ULONGLONG readTo = GetTickCount64();
  EXPECT_GE(ran, 60.0 * double(readFrom - made) - 1);
  EXPECT_LE(ran, 60.0 * double(readTo - before) + 1);
}

}  // namespace
