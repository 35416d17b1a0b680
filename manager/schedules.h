#pragma once
// The schedule editors: TSchedulesForm lists every timed run and adds, edits and
// deletes entries of an in-memory list; TScheduleForm edits one entry (time of day,
// week days or dates of the month, action, profiles). The caller owns the list:
// EditSchedules loads it, shows the list dialog and, on OK, stores it and tells the
// scheduler to reload.
#include <functional>
#include <memory>
#include <string>

#include "manager/help.h"
#include "controls/memodialog.h"
#include "manager/daysframe.h"
#include "manager/entrylist.h"
#include "settings/foschedules.h"
#include "toolkit/win_datetimepicker.h"
#include "toolkit/win_form.h"
#include "toolkit/win_groupbox.h"
#include "toolkit/win_updown.h"

class TScheduleForm : public tk::TForm, public THelpTopicSource {
 public:
  TScheduleForm();

  tk::TLabel lblTime;
  tk::TDateTimePicker dtpTime;
  tk::TLabel lblAMPM;
  tk::TRadioGroup rgDateSchedule;
  TDaysFrame DaysFrame1;
  tk::TGroupBox gboxMonthly;
  tk::TRadioButton rb1stDate, rbDate, rbLastDate, rbDates;
  tk::TEdit edDate, edDates;
  tk::TUpDown udDate;
  tk::TButton btnDates;
  tk::TRadioGroup rgAction;
  tk::TListView lvProfs;
  tk::TLabel lblSelected;
  tk::TButton btnOK, btnCancel, btnHelp;
  g32::TMemoDialog MemoDialog1;

  std::string HelpTopic() const override { return "schedule"; }

  void ResetForNew();
  void ScheduleToForm(const TFoSchedule& s);
  void FormToSchedule(TFoSchedule& s) const;
  // The time the editor shows: hours and minutes only.
  void SetTime(double time);
  double TimeOfDay() const;

  // Whole minutes from now to the next 5-minute mark (hh:00 gives hh:05; 23:56 to
  // 23:59 stay as they are).
  static double NextFiveMinuteTime(double now);
  // The dates list of the "Dates" choice is acceptable.
  static bool ValidDates(const std::string& dates);

  // The clock the default time of a new entry comes from (a test puts its own).
  std::function<double()> Clock;

  void FormActivate();
  void FormShow();
  void dtpTimeChange();
  void rgDateScheduleClick();
  void DateChoiceClick();
  void btnDatesClick();
  void btnOKClick();

 private:
  void ShowAMPM();
};

// How the list marks an entry that could not be read, and the note above the lines that
// say why.
inline constexpr const char* UnreadScheduleMark = "Unreadable";
inline constexpr const char* UnreadScheduleNote =
    "Unreadable: kept as stored, never run. Edit gives it a new time, Delete removes it.";

class TSchedulesForm : public TEntryListForm {
 public:
  TSchedulesForm();

  tk::TListView lvSchedules;
  tk::TLabel lblNote1, lblNote2;
  // Below the list while it shows entries that could not be read: why each could not.
  tk::TLabel lblUnread;

  // The list being edited (owned by the caller, set before each showing).
  TFoSchedules* Schedules = nullptr;
  // The editor of one entry (made on first use).
  TScheduleForm& ScheduleForm();

  void FormShow();
  void btnOKClick();

 protected:
  void ShowUnreadNote();
  int EntryCount() const override;
  void* Entry(int index) const override;
  void ShowRow(int row, const void* entry) override;
  int CompareEntries(const void* a, const void* b) const override;
  void* NewEntry() override;
  bool EditEntry(void* entry) override;
  void RemoveEntry(void* entry) override;

 private:
  std::unique_ptr<TScheduleForm> scheduleForm_;
};

// Stores the list in place of the stored one: the entries are written first, then
// the count, and the stored entries beyond it are removed last, so that a failure on
// the way never leaves the user without schedules nor counts entries not written.
void StoreSchedules(const TFoSchedules& list);
// Posts the reload message to the scheduler's window when it runs.
void NotifyScheduler();
// What the main window does on OK of the list dialog: store and notify.
void SaveSchedulesAndNotify(const TFoSchedules& list);
// Loads the stored schedules, shows the dialog modally and on OK stores them and
// notifies the scheduler. True on OK (the caller then marks its profiles changed). The
// entries that could not be read are shown marked, to be mended or deleted; untouched,
// they are kept as stored.
bool EditSchedules(TSchedulesForm& form);
