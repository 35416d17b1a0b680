#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "toolkit/datetime.h"

namespace {
// Restores the process format settings each test may change.
class DateTimeFormat : public ::testing::Test {
 protected:
  void TearDown() override {
    tk::SetDateSeparator('/');
    tk::SetTimeSeparator(':');
    tk::SetShortDateFormat("m/d/yyyy");
    tk::SetShortTimeFormat("h:nn");
    tk::SetLongTimeFormat("h:nn:ss AM/PM");
  }
};

// 14 July 2003 09:05:07.089, a Monday.
tk::TDateTime Sample() { return tk::EncodeDate(2003, 7, 14) + tk::EncodeTime(9, 5, 7, 89); }
}  // namespace

TEST(DateTime, EncodeKnownDays) {
  EXPECT_EQ(tk::EncodeDate(1899, 12, 30), 0.0);
  EXPECT_EQ(tk::EncodeDate(1900, 1, 1), 2.0);
  EXPECT_EQ(tk::EncodeDate(2003, 7, 14), 37816.0);
  EXPECT_EQ(tk::EncodeDate(1899, 12, 29), -1.0);
  EXPECT_EQ(tk::EncodeDate(1, 1, 1), -693593.0);
  EXPECT_NEAR(tk::EncodeDate(2003, 7, 14) + tk::EncodeTime(9, 5, 0), 37816.3784722222, 1e-10);
  EXPECT_EQ(tk::EncodeTime(12, 0, 0), 0.5);
  tk::TDateTime v = 123;
  EXPECT_FALSE(tk::TryEncodeDate(2003, 2, 29, &v));
  EXPECT_FALSE(tk::TryEncodeDate(2003, 13, 1, &v));
  EXPECT_FALSE(tk::TryEncodeTime(24, 0, 0, 0, &v));
  EXPECT_FALSE(tk::TryEncodeTime(0, 0, 0, 1000, &v));
  EXPECT_EQ(v, 123);
  EXPECT_TRUE(tk::TryEncodeDate(2004, 2, 29, &v));
}

TEST(DateTime, DecodeRoundTripsAcrossCenturies) {
  for (int y : {1, 1600, 1899, 1900, 1999, 2000, 2004, 2100, 9999})
    for (int m = 1; m <= 12; ++m)
      for (int d : {1, 15, tk::DaysInMonth(y, m)}) {
        int yy, mm, dd;
        // Before day 0 the time counts away from zero: the day stays the same.
        const tk::TDateTime day = tk::EncodeDate(y, m, d);
        tk::DecodeDate(day >= 0 ? day + 0.75 : day - 0.75, &yy, &mm, &dd);
        ASSERT_EQ(yy * 10000 + mm * 100 + dd, y * 10000 + m * 100 + d);
      }
  int h, n, s, ms;
  tk::DecodeTime(Sample(), &h, &n, &s, &ms);
  EXPECT_EQ((std::vector<int>{h, n, s, ms}), (std::vector<int>{9, 5, 7, 89}));
  // A time just short of midnight rounds into the next day, in both halves.
  tk::TDateTime late = tk::EncodeDate(2003, 12, 31) + 0.9999999999;
  int y, m, d;
  tk::DecodeDate(late, &y, &m, &d);
  tk::DecodeTime(late, &h, &n, &s, &ms);
  EXPECT_EQ(y * 10000 + m * 100 + d, 20040101);
  EXPECT_EQ(h + n + s + ms, 0);
  // Before 1899 the fraction still counts from midnight: -1.25 is 29 Dec 1899 06:00.
  tk::DecodeDate(-1.25, &y, &m, &d);
  tk::DecodeTime(-1.25, &h, &n, &s, &ms);
  EXPECT_EQ(y * 10000 + m * 100 + d, 18991229);
  EXPECT_EQ(h, 6);
}

TEST(DateTime, CalendarHelpers) {
  EXPECT_EQ(tk::DayOfWeek(tk::EncodeDate(1899, 12, 30)), 7);  // Saturday
  EXPECT_EQ(tk::DayOfWeek(tk::EncodeDate(2003, 7, 13)), 1);   // Sunday
  EXPECT_EQ(tk::DayOfWeek(Sample()), 2);
  EXPECT_EQ(tk::DayOfWeek(tk::EncodeDate(1899, 12, 24)), 1);  // before day 0
  EXPECT_TRUE(tk::IsLeapYear(2000));
  EXPECT_FALSE(tk::IsLeapYear(1900));
  EXPECT_TRUE(tk::IsLeapYear(2004));
  EXPECT_EQ(tk::DaysInMonth(2004, 2), 29);
  EXPECT_EQ(tk::DaysInMonth(2003, 2), 28);
  EXPECT_EQ(tk::DaysInMonth(2003, 4), 30);
  EXPECT_EQ(tk::DaysInMonth(2003, 13), 0);
  EXPECT_EQ(tk::Date(), std::trunc(tk::Now()));
  EXPECT_GT(tk::Now(), tk::EncodeDate(2020, 1, 1));
}

TEST_F(DateTimeFormat, EveryLetter) {
  const tk::TDateTime t = Sample();
  EXPECT_EQ(tk::FormatDateTime("d dd ddd dddd", t), "14 14 Mon Monday");
  EXPECT_EQ(tk::FormatDateTime("m mm mmm mmmm", t), "7 07 Jul July");
  EXPECT_EQ(tk::FormatDateTime("yy yyyy", t), "03 2003");
  EXPECT_EQ(tk::FormatDateTime("h hh n nn s ss", t), "9 09 5 05 7 07");
  EXPECT_EQ(tk::FormatDateTime("z zzz", t), "89 089");
  EXPECT_EQ(tk::FormatDateTime("YYYY-MM-DD", t), "2003-07-14");
  EXPECT_EQ(tk::FormatDateTime("d/m/yy", tk::EncodeDate(2003, 3, 5)), "5/3/03");
  EXPECT_EQ(tk::FormatDateTime("mmm-dd-yyyy", tk::EncodeDate(2003, 3, 5)), "Mar-05-2003");
  // "ww" is no format letter and passes through.
  EXPECT_EQ(tk::FormatDateTime("mmm yyyy ww", tk::EncodeDate(2003, 3, 5)), "Mar 2003 ww");
}

TEST_F(DateTimeFormat, MinutesAfterHours) {
  const tk::TDateTime t = Sample();
  EXPECT_EQ(tk::FormatDateTime("hh:mm", t), "09:05");
  EXPECT_EQ(tk::FormatDateTime("h mm", t), "9 05");
  EXPECT_EQ(tk::FormatDateTime("hh:mm dd/mm", t), "09:05 14/07");  // a day resets it
}

TEST_F(DateTimeFormat, TwelveHourClock) {
  const tk::TDateTime morning = tk::EncodeTime(9, 5, 0), noon = tk::EncodeTime(12, 0, 0);
  const tk::TDateTime evening = tk::EncodeTime(21, 30, 0), midnight = 0;
  EXPECT_EQ(tk::FormatDateTime("h:nn AM/PM", morning), "9:05 AM");
  EXPECT_EQ(tk::FormatDateTime("hh:nn AM/PM", evening), "09:30 PM");
  EXPECT_EQ(tk::FormatDateTime("h:nn am/pm", evening), "9:30 pm");
  EXPECT_EQ(tk::FormatDateTime("h a/p", evening), "9 p");
  EXPECT_EQ(tk::FormatDateTime("h A/P", morning), "9 A");
  EXPECT_EQ(tk::FormatDateTime("h ampm", evening), "9 PM");
  EXPECT_EQ(tk::FormatDateTime("h AM/PM", noon), "12 PM");
  EXPECT_EQ(tk::FormatDateTime("h AM/PM", midnight), "12 AM");
  EXPECT_EQ(tk::FormatDateTime("hh:nn", evening), "21:30");  // no marker: 24 hours
  // A marker that follows a later hour belongs to that hour only.
  EXPECT_EQ(tk::FormatDateTime("hh hh AM/PM", evening), "21 09 PM");
  // A lone 'a' is a plain character.
  EXPECT_EQ(tk::FormatDateTime("h a.", evening), "21 a.");
}

TEST_F(DateTimeFormat, QuotedLiteralsAndSeparators) {
  const tk::TDateTime t = Sample();
  EXPECT_EQ(tk::FormatDateTime("\"day\" d 'of' mmmm", t), "day 14 of July");
  EXPECT_EQ(tk::FormatDateTime("'hh:nn' hh", t), "hh:nn 09");
  tk::SetDateSeparator('.');
  tk::SetTimeSeparator('-');
  EXPECT_EQ(tk::FormatDateTime("dd/mm/yyyy hh:nn", t), "14.07.2003 09-05");
  EXPECT_EQ(tk::FormatDateTime("dd'/'mm", t), "14/07");
}

TEST_F(DateTimeFormat, NamedFormatsFollowTheSettings) {
  const tk::TDateTime t = Sample();
  EXPECT_EQ(tk::FormatDateTime("c", t), "7/14/2003 9:05:07 AM");
  EXPECT_EQ(tk::FormatDateTime("c", tk::EncodeDate(2003, 7, 14)), "7/14/2003");  // no time at midnight
  EXPECT_EQ(tk::FormatDateTime("", tk::EncodeDate(2003, 7, 14)), "7/14/2003");
  EXPECT_EQ(tk::FormatDateTime("t", t), "9:05");
  EXPECT_EQ(tk::FormatDateTime("tt", t), "9:05:07 AM");
  EXPECT_EQ(tk::FormatDateTime("ddddd", t), "7/14/2003");
  tk::SetLongTimeFormat("hh:nn");
  EXPECT_EQ(tk::LongTimeFormat(), "hh:nn");
  EXPECT_EQ(tk::FormatDateTime("tt", tk::EncodeTime(21, 30, 0)), "21:30");
  tk::SetLongTimeFormat("hh:nn AM/PM");
  EXPECT_EQ(tk::FormatDateTime("tt", tk::EncodeTime(21, 30, 0)), "09:30 PM");
  tk::SetShortDateFormat("c");  // a format that names itself ends instead of looping
  EXPECT_EQ(tk::FormatDateTime("c", tk::EncodeDate(2003, 7, 14)), "");
}

TEST(DateTime, SystemTimeAndFileTime) {
  SYSTEMTIME st{};
  ASSERT_TRUE(tk::DateTimeToSystemTime(Sample(), &st));
  EXPECT_EQ(st.wYear, 2003);
  EXPECT_EQ(st.wMonth, 7);
  EXPECT_EQ(st.wDay, 14);
  EXPECT_EQ(st.wDayOfWeek, 1);
  EXPECT_EQ(st.wHour, 9);
  EXPECT_EQ(st.wMinute, 5);
  EXPECT_EQ(st.wSecond, 7);
  EXPECT_EQ(st.wMilliseconds, 89);
  EXPECT_NEAR(tk::SystemTimeToDateTime(st), Sample(), 1e-9);
  EXPECT_FALSE(tk::DateTimeToSystemTime(tk::EncodeDate(1600, 12, 31), &st));

  FILETIME ft;
  ASSERT_TRUE(tk::DateTimeToFileTime(Sample(), &ft));
  tk::TDateTime back = 0;
  ASSERT_TRUE(tk::FileTimeToDateTime(ft, &back));
  EXPECT_NEAR(back, Sample(), 1e-9);
  // The FILETIME is UTC: it must agree with the system's own local-to-UTC step.
  SYSTEMTIME local{};
  tk::DateTimeToSystemTime(Sample(), &local);
  FILETIME lft, utc;
  SystemTimeToFileTime(&local, &lft);
  LocalFileTimeToFileTime(&lft, &utc);
  EXPECT_EQ(ft.dwLowDateTime, utc.dwLowDateTime);
  EXPECT_EQ(ft.dwHighDateTime, utc.dwHighDateTime);
}

TEST(DateTime, DosPackedTime) {
  uint32_t packed = 0;
  ASSERT_TRUE(tk::DateTimeToDosDateTime(tk::EncodeDate(2003, 7, 14) + tk::EncodeTime(9, 5, 7), &packed));
  EXPECT_EQ(packed, (23u << 25 | 7u << 21 | 14u << 16 | 9u << 11 | 5u << 5 | 3u));  // seconds in pairs
  tk::TDateTime v = 0;
  ASSERT_TRUE(tk::DosDateTimeToDateTime(packed, &v));
  EXPECT_NEAR(v, tk::EncodeDate(2003, 7, 14) + tk::EncodeTime(9, 5, 6), 1e-9);
  EXPECT_FALSE(tk::DateTimeToDosDateTime(tk::EncodeDate(1979, 12, 31), &packed));
  EXPECT_FALSE(tk::DosDateTimeToDateTime(0, &v));  // month 0
  FILETIME ft;
  ASSERT_TRUE(tk::DateTimeToFileTime(tk::EncodeDate(2003, 7, 14) + tk::EncodeTime(9, 5, 8), &ft));
  EXPECT_EQ(tk::FileTimeToDosTime(ft), (23u << 25 | 7u << 21 | 14u << 16 | 9u << 11 | 5u << 5 | 4u));
}
