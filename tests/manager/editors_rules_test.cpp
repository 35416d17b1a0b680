// The rules of the schedule, autorun and filter editors that guard the stored data:
// the week-day presets, the proposed time and the dates check of a new schedule, the
// shown state of a stored schedule, and the stored lists and filters that are never
// lost on the way when they are replaced or renamed.
#include <gtest/gtest.h>

#include "editors_fixture.h"
#include "manager/autoruns.h"
#include "manager/daysframe.h"
#include "manager/entrykeys.h"
#include "manager/filters.h"
#include "manager/schedules.h"
#include "settings/foconsts.h"

namespace {

using edtest::Choose;

class THost : public tk::TForm {
 public:
  THost() : TForm(L"TDaysHost") {
    SetClientSize(200, 200);
    Declare({{.Control = Days, .Name = "DaysFrame1", .Caption = "", .Bounds = {8, 8, 180, 184}}});
    HandleNeeded();
  }
  TDaysFrame Days;
};

// The user's click on a day's box toggles it.
void Toggle(TDaysFrame& f, int day) { edtest::Tick(f.chklbDays.Handle(), day, !f.chklbDays.Checked(day)); }

class Editors : public testing::Test {
 protected:
  void SetUp() override { qbtest::ClearQuillbankKey(); }
  void TearDown() override { qbtest::ClearQuillbankKey(); }
};

}  // namespace

TEST_F(Editors, DaysFramePresetsFollowTheTicksAndSetThem) {
  THost host;
  TDaysFrame& f = host.Days;
  ASSERT_EQ(f.cbDays.Count(), 9);
  EXPECT_EQ(f.cbDays.Item(0), "All 7 days");
  EXPECT_EQ(f.cbDays.Item(8), "Custom");
  ASSERT_EQ(f.chklbDays.Count(), 7);
  EXPECT_EQ(f.chklbDays.Item(0), "Monday");
  EXPECT_EQ(f.chklbDays.Item(6), "Sunday");

  f.SetDays("0000000");
  for (int d = 0; d < 5; ++d) Toggle(f, d);  // Monday to Friday
  EXPECT_EQ(f.GetDays(), "1111100");
  EXPECT_EQ(f.cbDays.ItemIndex(), TDaysFrame::CustomPreset);
  Toggle(f, 5);
  Toggle(f, 6);
  EXPECT_EQ(f.cbDays.Text(), "All 7 days");
  for (int d = 0; d < 6; ++d) Toggle(f, d);
  EXPECT_EQ(f.GetDays(), "0000001");
  EXPECT_EQ(f.cbDays.Text(), "Sunday only");

  Choose(f.cbDays.Handle(), 3);
  EXPECT_EQ(f.GetDays(), "0010000");
  f.SetDays("1010100");
  Choose(f.cbDays.Handle(), TDaysFrame::CustomPreset);  // changes no tick
  EXPECT_EQ(f.GetDays(), "1010100");
  EXPECT_EQ(f.cbDays.ItemIndex(), TDaysFrame::CustomPreset);

  f.SetDays("11");  // too short: nothing changes
  EXPECT_EQ(f.GetDays(), "1010100");
  f.SetDays("0x1?1110");  // other characters leave their day; the eighth is ignored
  EXPECT_EQ(f.GetDays(), "0010111");
  f.SetDays("1000000");
  EXPECT_EQ(f.cbDays.Text(), "Monday only");
  EXPECT_EQ(f.chklbDays.ItemIndex(), -1);
}

TEST_F(Editors, ANewScheduleProposesTheNextFiveMinuteMark) {
  auto at = [](int h, int m, int s) { return tk::FormatDateTime("hh:nn:ss", TScheduleForm::NextFiveMinuteTime(
                                                                                 tk::EncodeDate(2026, 3, 4) + tk::EncodeTime(h, m, s, 0))); };
  EXPECT_EQ(at(10, 0, 30), "10:05:00");
  EXPECT_EQ(at(10, 5, 59), "10:05:00");
  EXPECT_EQ(at(10, 6, 0), "10:10:00");
  EXPECT_EQ(at(10, 55, 0), "10:55:00");
  EXPECT_EQ(at(10, 56, 0), "11:00:00");
  EXPECT_EQ(at(23, 58, 10), "23:58:00");
  EXPECT_LT(TScheduleForm::NextFiveMinuteTime(tk::EncodeDate(2026, 3, 4) + tk::EncodeTime(9, 1, 0, 0)), 1.0);
}

TEST_F(Editors, TheDatesListTakesDaysOfTheMonthOnly) {
  for (const char* good : {"5,12", "5,", ",5", "31", "5,99999999999"}) EXPECT_TRUE(TScheduleForm::ValidDates(good)) << good;
  for (const char* bad : {"", "5,,12", "0,5", "5,32", "5,a", "\"5\"", "5 ,12", "-5"})
    EXPECT_FALSE(TScheduleForm::ValidDates(bad)) << bad;
}

TEST_F(Editors, AStoredScheduleIsShownAndWrittenBackAsItWas) {
  edtest::MakeProfiles();
  TScheduleForm f;
  TFoSchedule s;
  s.Time = tk::EncodeDate(2020, 1, 1) + tk::EncodeTime(14, 30, 25, 0);
  s.DatesMode = true;
  s.Days = "0000000";
  s.Dates = "15";
  s.Action = 2;
  s.Profiles = "\"A B\" \"Multi\" ";
  f.ScheduleToForm(s);
  EXPECT_TRUE(f.rbDate.Checked());
  EXPECT_EQ(f.edDate.Text(), "15");
  EXPECT_TRUE(f.gboxMonthly.Visible());
  EXPECT_FALSE(f.DaysFrame1.Visible());
  EXPECT_TRUE(IsWindowEnabled(f.edDate.Handle()));
  EXPECT_FALSE(IsWindowEnabled(f.edDates.Handle()));
  EXPECT_EQ(f.lblAMPM.Caption(), "PM");
  ASSERT_EQ(f.lvProfs.Count(), 4);
  EXPECT_EQ(f.lvProfs.ItemCaption(0), "A");  // ordinary profiles first
  EXPECT_EQ(f.lvProfs.ItemCaption(3), "Multi");
  EXPECT_FALSE(f.lvProfs.Checked(0));  // A is not A B
  EXPECT_TRUE(f.lvProfs.Checked(1));
  EXPECT_TRUE(f.lvProfs.Checked(3));
  EXPECT_EQ(f.lblSelected.Caption(), "2 selected");

  TFoSchedule back;
  f.FormToSchedule(back);
  EXPECT_EQ(tk::FormatDateTime("hh:nn:ss", back.Time), "14:30:00");
  EXPECT_LT(back.Time, 1.0);
  EXPECT_TRUE(back.DatesMode);
  EXPECT_EQ(back.Days, "0000000");
  EXPECT_EQ(back.Dates, "15");
  EXPECT_EQ(back.Action, 2);
  EXPECT_EQ(back.Profiles, "\"A B\" \"Multi\" ");

  s.Dates = "1,15";
  f.ScheduleToForm(s);
  EXPECT_TRUE(f.rbDates.Checked());
  EXPECT_EQ(f.edDates.Text(), "1,15");
  s.Dates = "32";
  f.ScheduleToForm(s);
  EXPECT_TRUE(f.rbLastDate.Checked());

  TFoSchedule days;
  days.Days = "1010100";
  days.Time = tk::EncodeTime(8, 0, 0, 0);
  days.Profiles = "\"A\" ";
  f.ScheduleToForm(days);
  EXPECT_EQ(f.lblAMPM.Caption(), "AM");
  EXPECT_FALSE(f.gboxMonthly.Visible());
  f.FormToSchedule(back);
  EXPECT_FALSE(back.DatesMode);
  EXPECT_EQ(back.Days, "1010100");
  EXPECT_EQ(back.Dates, "");
  EXPECT_EQ(back.Profiles, "\"A\" ");
}

TEST_F(Editors, ReplacingTheStoredListsRemovesOnlyWhatIsBeyondTheNewList) {
  {
    TFoSchedules three;
    for (int i = 0; i < 3; ++i) {
      auto* s = new TFoSchedule();
      s->Time = tk::EncodeTime(8 + i, 0, 0, 0);
      s->Profiles = "\"A\" ";
      three.Add(s);
    }
    StoreSchedules(three);
  }
  qbtest::RegWrite("Schedules\\7", "t", "0.5");  // a stray entry of no list
  {
    TFoSchedules loaded;
    ASSERT_EQ(loaded.GetCount(), 3);
    loaded.Remove(loaded.GetItem(0));
    loaded.Remove(loaded.GetItem(0));
    StoreSchedules(loaded);
  }
  EXPECT_EQ(qbtest::RegRead("Options\\General", "ScheduleCount"), "1");
  EXPECT_EQ(qbtest::RegRead("Schedules\\1", "t"), "0.416666666666667");  // 10:00
  EXPECT_EQ(qbtest::RegRead("Schedules\\2", "t"), "<missing>");
  EXPECT_EQ(qbtest::RegRead("Schedules\\3", "t"), "<missing>");
  EXPECT_EQ(qbtest::RegRead("Schedules\\7", "t"), "<missing>");

  {
    TQbAutoRuns two;
    for (const char* m : {"ONE", "TWO"}) {
      auto* e = new TQbAutoRun();
      e->Media = m;
      two.Add(e);
    }
    StoreAutoRuns(two);
  }
  {
    TQbAutoRuns loaded;
    ASSERT_EQ(loaded.GetCount(), 2);
    loaded.Remove(loaded.GetItem(0));
    StoreAutoRuns(loaded);
  }
  EXPECT_EQ(qbtest::RegRead("Options\\General", "AutoRunCount"), "1");
  EXPECT_EQ(qbtest::RegRead("AutoRun\\1", "m"), "TWO");
  EXPECT_EQ(qbtest::RegRead("AutoRun\\2", "m"), "<missing>");

  TQbAutoRuns emptied;
  emptied.FreeItems();
  StoreAutoRuns(emptied);  // an emptied list leaves nothing behind
  EXPECT_EQ(qbtest::RegRead("Options\\General", "AutoRunCount"), "<missing>");
  EXPECT_EQ(qbtest::RegRead("AutoRun\\1", "m"), "<missing>");
}

TEST_F(Editors, AFilterIsNeverLostWhenItIsRenamed) {
  const std::string ex = FilterSection(1);
  EXPECT_EQ(ex, "ExFilters");
  EXPECT_EQ(FilterSection(0), "InFilters");
  ASSERT_TRUE(WriteFilter(ex, "Images", "JPG,GIF"));
  EXPECT_FALSE(WriteFilter(ex, "", "BAK"));  // would be the key's default value
  EXPECT_EQ(qbtest::RegValueNames("ExFilters"), std::vector<std::string>{"Images"});

  // A new name the registry does not take: the filter stays under its old name.
  EXPECT_FALSE(RenameFilter(ex, "Images", std::string(17000, 'x')));
  EXPECT_FALSE(RenameFilter(ex, "Images", ""));
  EXPECT_FALSE(RenameFilter(ex, "Missing", "Other"));
  EXPECT_EQ(qbtest::RegValueNames("ExFilters"), std::vector<std::string>{"Images"});
  EXPECT_EQ(ReadFilterData(ex, "Images"), "JPG,GIF");

  EXPECT_TRUE(RenameFilter(ex, "Images", "Pictures"));
  EXPECT_EQ(qbtest::RegValueNames("ExFilters"), std::vector<std::string>{"Pictures"});
  EXPECT_EQ(ReadFilterData(ex, "Pictures"), "JPG,GIF");
}
