#include "manager/schedules.h"

#include <climits>
#include <cmath>

#include "manager/entrykeys.h"
#include "manager/formfont.h"
#include "manager/mainservices.h"
#include "manager/profilechecks.h"
#include "settings/fernoglobal.h"
#include "settings/fernoini.h"
#include "settings/foconsts.h"
#include "settings/protocol.h"
#include "toolkit/stringlist.h"
#include "toolkit/strings.h"

namespace {

double DatePartRemoved(double t) { return t - std::floor(t); }

void PaintEnabled(tk::TControl& edit, bool enabled) {
  edit.SetEnabled(enabled);
  edit.SetColor(enabled ? tk::clWindow : tk::clBtnFace);
}

}  // namespace

// ---------------------------------------------------------------- one schedule

TScheduleForm::TScheduleForm() : TForm(L"TScheduleForm") {
  SetCaption("Schedule");
  BorderStyle = tk::TBorderStyle::bsDialog;
  BorderIcons = tk::biSystemMenu;
  Position = tk::TPosition::poScreenCenter;
  SetFormFont(FontOf("Tahoma", 8));
  SetClientSize(436, 330);
  Declare({
      {.Control = lblTime, .Name = "lblTime", .Caption = "Schedule time", .Bounds = {12, 12, 0, 0}},
      {.Control = dtpTime, .Name = "dtpTime", .Caption = "", .Bounds = {12, 28, 90, 21}, .Style = tk::dtkTime},
      {.Control = lblAMPM, .Name = "lblAMPM", .Caption = "AM", .Bounds = {108, 31, 0, 0}},
      {.Control = rgDateSchedule, .Name = "rgDateSchedule", .Caption = " Schedule based on ",
       .Bounds = {12, 58, 180, 42}},
      {.Control = DaysFrame1, .Name = "DaysFrame1", .Caption = "", .Bounds = {12, 108, 180, 184}},
      {.Control = gboxMonthly, .Name = "gboxMonthly", .Caption = " Schedule date(s) ", .Bounds = {12, 108, 180, 184},
       .Style = tk::sHidden},
      {.Control = rb1stDate, .Name = "rb1stDate", .Caption = "1st date of month", .Bounds = {12, 24, 150, 17},
       .Parent = &gboxMonthly},
      {.Control = rbDate, .Name = "rbDate", .Caption = "Date", .Bounds = {12, 54, 56, 17}, .Parent = &gboxMonthly},
      {.Control = edDate, .Name = "edDate", .Caption = "2", .Bounds = {72, 52, 40, 21}, .Style = tk::edReadOnly,
       .Parent = &gboxMonthly},
      {.Control = udDate, .Name = "udDate", .Caption = "", .Bounds = {112, 52, 16, 21}, .Parent = &gboxMonthly},
      {.Control = rbLastDate, .Name = "rbLastDate", .Caption = "Last date of month", .Bounds = {12, 84, 150, 17},
       .Parent = &gboxMonthly},
      {.Control = rbDates, .Name = "rbDates", .Caption = "Dates", .Bounds = {12, 114, 56, 17},
       .Style = tk::chkChecked, .Parent = &gboxMonthly},
      {.Control = edDates, .Name = "edDates", .Caption = "", .Bounds = {72, 112, 70, 21}, .Style = tk::edReadOnly,
       .Parent = &gboxMonthly},
      {.Control = btnDates, .Name = "btnDates", .Caption = "...", .Bounds = {146, 111, 24, 23},
       .Parent = &gboxMonthly},
      {.Control = rgAction, .Name = "rgAction", .Caption = " Action to do ", .Bounds = {206, 12, 218, 76}},
      {.Control = lvProfs, .Name = "lvProfs", .Caption = "", .Bounds = {206, 96, 218, 176},
       .Style = tk::lvCheckBoxes | tk::lvNoColumnClick},
      {.Control = lblSelected, .Name = "lblSelected", .Caption = "0 selected", .Bounds = {206, 276, 0, 0}},
      {.Control = btnOK, .Name = "btnOK", .Caption = "OK", .Bounds = {184, 296, 75, 25}, .Style = tk::btnDefault,
       .ModalResult = tk::mrOk},
      {.Control = btnCancel, .Name = "btnCancel", .Caption = "Cancel", .Bounds = {266, 296, 75, 25},
       .Style = tk::btnCancel, .ModalResult = tk::mrCancel},
      {.Control = btnHelp, .Name = "btnHelp", .Caption = "Help", .Bounds = {348, 296, 75, 25}},
  });
  DaysFrame1.gboxDays.SetCaption(" Schedule day(s) ");
  rgDateSchedule.SetColumns(2);
  rgDateSchedule.SetItems({"days", "dates"});
  rgAction.SetItems({"Run", "Test", "Run && Test"});
  udDate.SetAssociate(&edDate);
  udDate.SetRange(2, 31);
  udDate.SetPosition(2);
  lvProfs.AddColumn("Profile(s) to act on", 194);
  dtpTime.SetFormat("hh:mm");

  MemoDialog1.Caption = "Dates";
  MemoDialog1.Prompt = "Enter dates";
  MemoDialog1.MemoWidth = 90;
  MemoDialog1.MemoHeight = 130;
  MemoDialog1.OKCancelAtTopRight = true;

  Clock = [] { return tk::Now(); };
  UseAsProfileChecks(lvProfs, lblSelected);
  OnActivate = [this] { FormActivate(); };
  OnShow = [this] { FormShow(); };
  dtpTime.OnChange = [this] { dtpTimeChange(); };
  rgDateSchedule.OnClick = [this] { rgDateScheduleClick(); };
  for (tk::TRadioButton* rb : {&rb1stDate, &rbDate, &rbLastDate, &rbDates}) rb->OnClick = [this] { DateChoiceClick(); };
  btnDates.OnClick = [this] { btnDatesClick(); };
  btnOK.OnClick = [this] { btnOKClick(); };
  btnHelp.OnClick = [] {
    if (RunHelpAction) RunHelpAction();
  };
}

double TScheduleForm::NextFiveMinuteTime(double now) {
  int h = 0, m = 0, s = 0, ms = 0;
  tk::DecodeTime(now, &h, &m, &s, &ms);
  if (m <= 55) {
    m = m <= 5 ? 5 : (m + 4) / 5 * 5;
  } else if (h < 23) {
    ++h;
    m = 0;
  }
  return tk::EncodeTime(h, m, 0, 0);
}

bool TScheduleForm::ValidDates(const std::string& dates) {
  if (dates.empty() || dates.find(",,") != std::string::npos || dates.find('"') != std::string::npos) return false;
  for (char c : dates)
    if (c != ',' && (c < '0' || c > '9')) return false;
  for (const std::string& item : tk::FromCommaText(dates)) {
    // Only digits remain here; an empty item or one too long for a 32-bit number is
    // passed over.
    if (item.empty() || item.size() > 10) continue;
    const long long n = std::stoll(item);
    if (n > INT_MAX) continue;
    if (n < 1 || n > 31) return false;
  }
  return true;
}

void TScheduleForm::SetTime(double time) {
  dtpTime.SetDateTime(TimeOfDayToMinute(DatePartRemoved(time)));
  ShowAMPM();
}

double TScheduleForm::TimeOfDay() const { return TimeOfDayToMinute(DatePartRemoved(dtpTime.DateTime())); }

void TScheduleForm::ShowAMPM() {
  int h = 0, m = 0, s = 0, ms = 0;
  tk::DecodeTime(dtpTime.DateTime(), &h, &m, &s, &ms);
  lblAMPM.SetCaption(h < 12 ? "AM" : "PM");
  lblAMPM.SetFontColor(h < 12 ? 0xFFFFFF : 0x888888);
}

void TScheduleForm::dtpTimeChange() {
  // The picker's own value goes back through the rule only when it differs, so the
  // change this makes does not come round again.
  if (std::fabs(dtpTime.DateTime() - TimeOfDay()) > 1e-9) SetTime(dtpTime.DateTime());
  ShowAMPM();
}

void TScheduleForm::FormActivate() {
  ShowAMPM();
  SetActiveControl(&dtpTime);
}

void TScheduleForm::FormShow() { ShowSelectedCount(lvProfs, lblSelected); }

void TScheduleForm::rgDateScheduleClick() {
  gboxMonthly.SetVisible(rgDateSchedule.ItemIndex() == 1);
  DaysFrame1.SetVisible(!gboxMonthly.Visible());
}

void TScheduleForm::DateChoiceClick() {
  PaintEnabled(edDate, rbDate.Checked());
  udDate.SetEnabled(rbDate.Checked());
  PaintEnabled(edDates, rbDates.Checked());
  btnDates.SetEnabled(rbDates.Checked());
}

void TScheduleForm::ResetForNew() {
  HandleNeeded();
  SetTime(NextFiveMinuteTime(Clock()));
  DaysFrame1.SetDays(AllWeekDays);
  rbLastDate.SetChecked(true);
  udDate.SetPosition(2);
  edDates.SetText("");
  rgAction.SetItemIndex(0);
  FillProfileChecks(lvProfs, nullptr);
  rgDateSchedule.SetItemIndex(0);
  rgDateScheduleClick();
  DateChoiceClick();
}

void TScheduleForm::ScheduleToForm(const TFoSchedule& s) {
  HandleNeeded();
  SetTime(s.Time);
  rgDateSchedule.SetItemIndex(s.DatesMode ? 1 : 0);
  if (s.DatesMode) {
    DaysFrame1.SetDays("0000000");
    if (s.Dates == "1") {
      rb1stDate.SetChecked(true);
    } else if (s.Dates == "32") {
      rbLastDate.SetChecked(true);
    } else if (s.Dates.find(',') == std::string::npos) {
      rbDate.SetChecked(true);
      edDate.SetText(s.Dates);
    } else {
      rbDates.SetChecked(true);
      edDates.SetText(s.Dates);
    }
  } else {
    DaysFrame1.SetDays(s.Days);
    rbDates.SetChecked(true);
    edDates.SetText("");
  }
  rgAction.SetItemIndex(s.Action);
  const std::string profiles = s.Profiles;
  FillProfileChecks(lvProfs, [&profiles](const std::string& name) {
    return profiles.find("\"" + name + "\"") != std::string::npos;
  });
  rgDateScheduleClick();
  DateChoiceClick();
}

void TScheduleForm::FormToSchedule(TFoSchedule& s) const {
  s.Time = TimeOfDay();
  s.DatesMode = rgDateSchedule.ItemIndex() == 1;
  if (s.DatesMode) {
    s.Days = "0000000";
    if (rb1stDate.Checked())
      s.Dates = "1";
    else if (rbDate.Checked())
      s.Dates = edDate.Text();
    else if (rbDates.Checked())
      s.Dates = edDates.Text();
    else if (rbLastDate.Checked())
      s.Dates = "32";
  } else {
    s.Days = DaysFrame1.GetDays();
    s.Dates.clear();
  }
  s.Action = static_cast<uint8_t>(std::max(0, rgAction.ItemIndex()));
  s.Profiles = QuotedProfileList(CheckedProfileNames(lvProfs));
}

void TScheduleForm::btnDatesClick() {
  MemoDialog1.SetCommaText(edDates.Text());
  if (!MemoDialog1.Execute()) return;
  MemoDialog1.Text = tk::Trim(MemoDialog1.Text);
  edDates.SetText(MemoDialog1.GetCommaText());
}

void TScheduleForm::btnOKClick() {
  std::string message;
  if (rgDateSchedule.ItemIndex() == 0 && DaysFrame1.GetDays() == "0000000")
    message = "No day is selected";
  else if (rgDateSchedule.ItemIndex() == 1 && rbDates.Checked() && !ValidDates(tk::Trim(edDates.Text())))
    message = "Invalid dates";
  else if (lvProfs.CheckedCount() == 0)
    message = "No profile is selected";
  if (message.empty()) return;
  SetModalResult(tk::mrNone);
  MsgDlg(message, "ii");
}

// ---------------------------------------------------------------- the list

TSchedulesForm::TSchedulesForm() : TEntryListForm(L"TSchedulesForm", lvSchedules) {
  SetCaption("Schedules");
  SetClientSize(474, 330);
  Declare({
      {.Control = ToolBar1, .Name = "ToolBar1", .Caption = "", .Bounds = {0, 0, 474, 26}},
      {.Control = lvSchedules, .Name = "lvSchedules", .Caption = "", .Bounds = {8, 32, 458, 220},
       .Style = tk::lvRowSelect | tk::lvGridLines},
      {.Control = lblUnread, .Name = "lblUnread", .Caption = "", .Bounds = {8, 216, 458, 38},
       .Style = tk::lblFixedSize | tk::sHidden},
      {.Control = lblNote1, .Name = "lblNote1", .Caption = "Schedule time can be repeated for different days or dates.",
       .Bounds = {8, 260, 0, 0}},
      {.Control = lblNote2, .Name = "lblNote2", .Caption = "Scheduler won't work when system is in standby mode",
       .Bounds = {8, 278, 0, 0}},
      {.Control = btnOK, .Name = "btnOK", .Caption = "OK", .Bounds = {310, 298, 75, 25}, .Style = tk::btnDefault,
       .ModalResult = tk::mrOk},
      {.Control = btnCancel, .Name = "btnCancel", .Caption = "Cancel", .Bounds = {391, 298, 75, 25},
       .Style = tk::btnCancel, .ModalResult = tk::mrCancel},
  });
  SetUp("Schedule", true);
  lvSchedules.AddColumn("Schedule time", 90);
  lvSchedules.AddColumn("Action", 70);
  lvSchedules.AddColumn("Runs on", 120);
  lvSchedules.AddColumn("Profiles", 165);
  OnShow = [this] { FormShow(); };
  btnOK.OnClick = [this] { btnOKClick(); };
}

TScheduleForm& TSchedulesForm::ScheduleForm() {
  if (!scheduleForm_) scheduleForm_ = std::make_unique<TScheduleForm>();
  return *scheduleForm_;
}

void TSchedulesForm::FormShow() {
  TFernoIni ini;
  SetTimeFormat(ini);
  ShowEntries();
  ShowUnreadNote();
}

void TSchedulesForm::ShowUnreadNote() {
  std::string lines;
  for (int i = 0; Schedules && i < Schedules->UnreadCount(); ++i)
    lines += (lines.empty() ? "" : "\r\n") + Schedules->GetUnread(i)->Unread;
  // The note takes the foot of the list while an entry marked so is in it.
  lvSchedules.SetBounds(8, 32, 458, lines.empty() ? 220 : 180);
  lblUnread.SetCaption(lines.empty() ? "" : std::string(UnreadScheduleNote) + "\r\n" + lines);
  lblUnread.SetVisible(!lines.empty());
}

int TSchedulesForm::EntryCount() const { return Schedules ? Schedules->GetCount() + Schedules->UnreadCount() : 0; }
void* TSchedulesForm::Entry(int index) const {
  const int readable = Schedules->GetCount();
  return index < readable ? Schedules->GetItem(index) : Schedules->GetUnread(index - readable);
}

void TSchedulesForm::ShowRow(int row, const void* entry) {
  const auto& s = *static_cast<const TFoSchedule*>(entry);
  const bool unread = !s.Unread.empty();
  // An entry that could not be read shows its time as stored.
  lvSchedules.SetItemCaption(row, unread ? s.StoredTime : tk::FormatDateTime(tk::LongTimeFormat(), s.Time));
  lvSchedules.SetSubItem(row, 0, unread ? std::string(UnreadScheduleMark) : s.GetActionText());
  lvSchedules.SetSubItem(row, 1, s.GetWhenText());
  lvSchedules.SetSubItem(row, 2, s.Profiles);
}

int TSchedulesForm::CompareEntries(const void* a, const void* b) const {
  // The entries to mend come first, in stored order.
  const auto* sa = static_cast<const TFoSchedule*>(a);
  const auto* sb = static_cast<const TFoSchedule*>(b);
  if (sa->Unread.empty() != sb->Unread.empty()) return sa->Unread.empty() ? 1 : -1;
  if (!sa->Unread.empty())
    return sa->StoredNumber < sb->StoredNumber ? -1 : sa->StoredNumber > sb->StoredNumber ? 1 : 0;
  const double ta = DatePartRemoved(static_cast<const TFoSchedule*>(a)->Time);
  const double tb = DatePartRemoved(static_cast<const TFoSchedule*>(b)->Time);
  return ta < tb ? -1 : ta > tb ? 1 : 0;
}

void* TSchedulesForm::NewEntry() {
  TScheduleForm& f = ScheduleForm();
  f.ResetForNew();
  f.SetCaption("New Schedule");
  if (f.ShowModal() == tk::mrCancel || !Schedules) return nullptr;
  auto* s = new TFoSchedule();
  f.FormToSchedule(*s);
  Schedules->Add(s);
  return s;
}

bool TSchedulesForm::EditEntry(void* entry) {
  auto* s = static_cast<TFoSchedule*>(entry);
  TScheduleForm& f = ScheduleForm();
  f.ScheduleToForm(*s);
  f.SetCaption("Edit Schedule");
  if (f.ShowModal() == tk::mrCancel) return false;
  f.FormToSchedule(*s);
  // Given new values, an entry that could not be read is one of the list again.
  if (Schedules && !s->Unread.empty()) {
    Schedules->Mend(s);
    ShowUnreadNote();
  }
  return true;
}

void TSchedulesForm::RemoveEntry(void* entry) {
  if (!Schedules) return;
  Schedules->Remove(static_cast<TFoSchedule*>(entry));
  ShowUnreadNote();
}

void TSchedulesForm::btnOKClick() {
  if (!Schedules) return;
  std::string message;
  if (Schedules->FindTimeConflict(message) != 0) {
    SetModalResult(tk::mrNone);
    MsgDlg(message, "ie");
  }
}

// ---------------------------------------------------------------- storing

void StoreSchedules(const TFoSchedules& list) {
  // Entries first, then the count that makes them the list, then the surplus.
  const int count = list.SaveEntries();
  if (count < 0) return;
  TFernoIni().SetScheduleCount(count);
  EraseEntriesBeyond(SchedulesKey, count);
}

void NotifyScheduler() { PostToScheduler(WM_QBSCH_RELOADSCHEDULES); }

void SaveSchedulesAndNotify(const TFoSchedules& list) {
  StoreSchedules(list);
  NotifyScheduler();
}

bool EditSchedules(TSchedulesForm& form) {
  TFoSchedules list;
  form.Schedules = &list;
  const bool ok = form.ShowModal() == tk::mrOk;
  form.Schedules = nullptr;
  if (ok) SaveSchedulesAndNotify(list);
  return ok;
}
