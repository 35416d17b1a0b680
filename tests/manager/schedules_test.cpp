// The schedule dialogs as the main window opens them: loaded from the registry, driven
// through their buttons, stored on OK with one reload message to a window of the
// scheduler's class and title, left as they were on Cancel.
#include <gtest/gtest.h>

#include "editors_fixture.h"
#include "manager/schedules.h"
#include "toolkit/win_hovertips.h"

namespace {

using edtest::ClickTool;
using edtest::When;
using qbtest::Join;
using qbtest::TScript;

class Schedules : public testing::Test {
 protected:
  void SetUp() override {
    qbtest::ClearQuillbankKey();
    edtest::MakeProfiles();
    TFernoIni().Set24HourTime(true);
    f.HandleNeeded();
    TScheduleForm& e = f.ScheduleForm();
    e.Clock = [] { return tk::EncodeDate(2026, 3, 4) + tk::EncodeTime(10, 0, 30, 0); };
    e.HandleNeeded();
  }
  void TearDown() override { qbtest::ClearQuillbankKey(); }
  void Store(std::initializer_list<TFoSchedule> entries) {
    TFoSchedules list;
    for (const TFoSchedule& s : entries) list.Add(new TFoSchedule(s));
    StoreSchedules(list);
  }
  static TFoSchedule At(int h, int m, const std::string& days, const std::string& profiles = "\"A\" ") {
    TFoSchedule s;
    s.Time = tk::EncodeTime(h, m, 0, 0);
    s.Days = days;
    s.Profiles = profiles;
    return s;
  }
  edtest::TSchedulerWindow scheduler;
  TSchedulesForm f;
};

}  // namespace

TEST_F(Schedules, ANewScheduleIsStoredOnOkAndTheSchedulerToldOnce) {
  TScheduleForm& e = f.ScheduleForm();
  const HWND editor = e.Handle();
  TScript s(f, Join({ClickTool(*f.tbAdd),
                     {When(editor, [&] {
                        edtest::Tick(e.lvProfs.Handle(), 0);  // A
                        edtest::Tick(e.lvProfs.Handle(), 1);  // A B
                        edtest::Choose(e.DaysFrame1.cbDays.Handle(), 1);
                        SendMessageW(e.rgAction.Button(1).Handle(), BM_CLICK, 0, 0);
                      }),
                      TScript::Click(e.btnOK), TScript::Click(f.btnOK)}}));
  EXPECT_TRUE(EditSchedules(f));
  ASSERT_TRUE(s.Completed());
  EXPECT_TRUE(s.Boxes().empty());
  EXPECT_EQ(e.Caption(), "New Schedule");
  EXPECT_EQ(qbtest::RegRead("Options\\General", "ScheduleCount"), "1");
  EXPECT_EQ(qbtest::RegRead("Schedules\\1", "t"), "0.420138888888889");  // 10:05
  EXPECT_EQ(qbtest::RegRead("Schedules\\1", "ds"), "1000000");
  EXPECT_EQ(qbtest::RegRead("Schedules\\1", "a"), "1");
  EXPECT_EQ(qbtest::RegRead("Schedules\\1", "p"), "\"A\" \"A B\" ");
  EXPECT_EQ(qbtest::RegRead("Schedules\\1", "d"), "<missing>");
  EXPECT_EQ(scheduler.ReloadCount(), 1);
}

TEST_F(Schedules, CancelLeavesTheStoredSchedulesAsTheyWere) {
  Store({At(8, 0, "1111100"), At(9, 30, "0000011")});
  TScript s(f, Join({{When(f.Handle(), [&] {
                       edtest::Select(f.lvSchedules.Handle(), 0);
                     })},
                     ClickTool(*f.tbDelete),
                     {TScript::Call([&] { return f.lvSchedules.Count() == 1; }), TScript::Click(f.btnCancel)}}));
  EXPECT_FALSE(EditSchedules(f));
  ASSERT_TRUE(s.Completed());
  EXPECT_EQ(qbtest::RegRead("Options\\General", "ScheduleCount"), "2");
  EXPECT_EQ(qbtest::RegRead("Schedules\\1", "ds"), "1111100");
  EXPECT_EQ(qbtest::RegRead("Schedules\\2", "ds"), "0000011");
  EXPECT_EQ(scheduler.ReloadCount(), 0);
}

TEST_F(Schedules, TheListShowsEachScheduleAndDeletingTheLastRowDisablesEditAndDelete) {
  TFoSchedule dates = At(7, 5, "0000000", "\"Home\" ");
  dates.DatesMode = true;
  dates.Dates = "32";
  Store({At(21, 0, "1010100"), dates});
  // The rows before any change, sorted by time.
  TFoSchedules list;
  f.Schedules = &list;
  f.Show();
  ASSERT_EQ(f.lvSchedules.Count(), 2);
  EXPECT_EQ(f.lvSchedules.ItemCaption(0), "07:05");
  EXPECT_EQ(f.lvSchedules.SubItem(0, 0), "Run");
  EXPECT_EQ(f.lvSchedules.SubItem(0, 1), "Last date of month");
  EXPECT_EQ(f.lvSchedules.SubItem(0, 2), "\"Home\" ");
  EXPECT_EQ(f.lvSchedules.ItemCaption(1), "21:00");
  EXPECT_EQ(f.lvSchedules.SubItem(1, 1), "Mon Wed Fri ");
  EXPECT_FALSE(f.tbEdit->Enabled());
  f.Hide();
  f.Schedules = nullptr;

  TScript s(f, Join({{When(f.Handle(), [&] { edtest::Select(f.lvSchedules.Handle(), 1); })},
                     ClickTool(*f.tbDelete),
                     {TScript::Call([&] { return f.lvSchedules.Count() == 1; }),
                      When(f.Handle(), [&] { edtest::Select(f.lvSchedules.Handle(), 0); })},
                     ClickTool(*f.tbDelete),
                     {TScript::Call([&] { return f.lvSchedules.Count() == 0; }), TScript::Click(f.btnOK)}}));
  EXPECT_TRUE(EditSchedules(f));
  ASSERT_TRUE(s.Completed());
  EXPECT_FALSE(f.tbEdit->Enabled());
  EXPECT_FALSE(f.tbDelete->Enabled());
  EXPECT_EQ(qbtest::RegRead("Options\\General", "ScheduleCount"), "<missing>");
  EXPECT_EQ(qbtest::RegRead("Schedules\\1", "t"), "<missing>");
  EXPECT_EQ(scheduler.ReloadCount(), 1);
}

TEST_F(Schedules, AConflictOfTimesIsRefusedAndTheDialogStaysOpen) {
  Store({At(8, 0, "1111100"), At(8, 0, "0000111", "\"Home\" ")});
  TScript s(f, {TScript::Click(f.btnOK), TScript::Answer("OK"), TScript::Click(f.btnCancel)});
  EXPECT_FALSE(EditSchedules(f));
  ASSERT_TRUE(s.Completed());
  ASSERT_EQ(s.Boxes().size(), 1u);
  EXPECT_EQ(s.Boxes()[0][0], "Error");
  EXPECT_TRUE(edtest::Said(s.Boxes()[0], "Schedule time (08:00) can be repeated for different days only"));
  EXPECT_EQ(qbtest::RegRead("Schedules\\2", "ds"), "0000111");
  EXPECT_EQ(scheduler.ReloadCount(), 0);
}

// An entry that could not be read is listed first, marked, with its stored time; OK keeps
// it as stored (copied whole below a shorter list), and Edit with a new time mends it.
TEST_F(Schedules, AnEntryThatCannotBeReadIsShownKeptAsStoredAndMendedByEdit) {
  Store({At(9, 30, "0000011"), At(12, 0, "0000011", "\"Home\" ")});
  qbtest::RegWrite("Schedules\\2", "t", "1.042");
  const auto row = [&](int n) { return When(f.Handle(), [&, n] { edtest::Select(f.lvSchedules.Handle(), n); }); };
  const auto marked = [&] {
    return f.lvSchedules.ItemCaption(0) == "1.042" && f.lvSchedules.SubItem(0, 0) == "Unreadable" &&
           f.lblUnread.Visible();
  };
  TScript first(f, Join({{TScript::Call(marked), row(1)}, ClickTool(*f.tbDelete),
                         {TScript::Call([&] { return f.lvSchedules.Count() == 1; }), TScript::Click(f.btnOK)}}));
  EXPECT_TRUE(EditSchedules(f));
  ASSERT_TRUE(first.Completed());
  EXPECT_EQ(qbtest::RegRead("Schedules\\1", "t"), "1.042");
  TScheduleForm& e = f.ScheduleForm();
  SYSTEMTIME st{2026, 3, 3, 4, 7, 15, 0, 0};
  const auto setTime = [&] { SendMessageW(e.dtpTime.Handle(), DTM_SETSYSTEMTIME, GDT_VALID, LPARAM(&st)); };
  TScript second(f, Join({{row(0)}, ClickTool(*f.tbEdit),
                          {When(e.Handle(), setTime), TScript::Click(e.btnOK),
                           TScript::Call([&] { return !f.lblUnread.Visible(); }), TScript::Click(f.btnOK)}}));
  EXPECT_TRUE(EditSchedules(f));
  ASSERT_TRUE(second.Completed());
  EXPECT_EQ(qbtest::RegRead("Schedules\\1", "t"), "0.302083333333333");  // 07:15
}

TEST_F(Schedules, TheEditorChecksDaysDatesAndProfilesBeforeItCloses) {
  TScheduleForm& e = f.ScheduleForm();
  e.ResetForNew();
  e.DaysFrame1.SetDays("0000000");
  const HWND dates = e.edDates.Handle();
  TScript s(e, {TScript::Click(e.btnOK), TScript::Answer("OK"),
                TScript::Click(e.rgDateSchedule.Button(1)), TScript::Click(e.rbDates),
                When(e.Handle(), [&] { edtest::SetText(dates, "5,,12"); }), TScript::Click(e.btnOK),
                TScript::Answer("OK"), When(e.Handle(), [&] { edtest::SetText(dates, "5,12"); }),
                TScript::Click(e.btnOK), TScript::Answer("OK"),
                When(e.Handle(), [&] { edtest::Tick(e.lvProfs.Handle(), 3); }), TScript::Click(e.btnOK)});
  EXPECT_EQ(e.ShowModal(), tk::mrOk);
  ASSERT_TRUE(s.Completed());
  const auto boxes = s.Boxes();
  ASSERT_EQ(boxes.size(), 3u);
  EXPECT_EQ(boxes[0][0], "Information");
  EXPECT_TRUE(edtest::Said(boxes[0], "No day is selected"));
  EXPECT_TRUE(edtest::Said(boxes[1], "Invalid dates"));
  EXPECT_TRUE(edtest::Said(boxes[2], "No profile is selected"));
  TFoSchedule back;
  e.FormToSchedule(back);
  EXPECT_TRUE(back.DatesMode);
  EXPECT_EQ(back.Days, "0000000");
  EXPECT_EQ(back.Dates, "5,12");
  EXPECT_EQ(back.Profiles, "\"Multi\" ");
  EXPECT_EQ(e.lblSelected.Caption(), "1 selected");
}

TEST_F(Schedules, TheToolButtonsSayWhatTheyDoWhenThePointerRestsOnThem) {
  tk::EnableHoverHints({.HintPause = 100, .HintHidePause = 10000, .HintShortCuts = false});
  TFoSchedules list;
  f.Schedules = &list;
  f.Show();
  SetForegroundWindow(f.Handle());
  for (tk::TToolButton* b : {f.tbAdd, f.tbEdit, f.tbDelete}) {
    RECT r = b->BoundsRect();
    MapWindowPoints(f.ToolBar1.Handle(), HWND_DESKTOP, reinterpret_cast<POINT*>(&r), 2);
    SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    const std::string want = b == f.tbAdd ? "New Schedule" : b == f.tbEdit ? "Edit Schedule" : "Delete Schedule";
    EXPECT_TRUE(tk::Application.ProcessUntil([&] { return tk::ShownHoverHint() == want; }, 3000)) << want;
  }
  SetCursorPos(0, 0);
  f.Hide();
  f.Schedules = nullptr;
}
