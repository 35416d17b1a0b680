#pragma once
// Timed runs: one entry runs a set of profiles at a time of day on chosen week days or
// on chosen dates of the month; the list lives in Schedules\1, Schedules\2, ... .
// Also the start of the runner program that the manager and the scheduler share.
//
// LoadFromRegistry reports what it cannot take as the profile record does
// (settings/qbprofile.h): false, the default kept, one line in *error. An entry cannot be
// read when its time is not a number or not a time of day (below 0, from 1 on), when its
// action is none of 0, 1, 2, or when a value is not stored as plain text. Such an entry
// is kept apart: never run, shown to be mended or deleted, and kept as stored when the
// list is saved. A time with seconds is the schedule of its minute.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "toolkit/datetime.h"

// Week-day masks: seven '0'/'1' characters, Monday first.
inline constexpr const char* AllWeekDays = "1111111";
// A stored mask as seven characters: the first seven, a shorter one padded with days off.
std::string WeekDayMask(const std::string& stored);
// True when some position 1..7 is '1' in both masks.
bool WeekDaysShared(const std::string& a, const std::string& b);
// The names of the set days in week order, each followed by one blank ("Mon Wed ").
std::string WeekDayNames(const std::string& days);

class TFoSchedule {
 public:
  TFoSchedule() = default;

  // Value names by the layout in force (t, ds, a, p / ScheduleTime, ScheduleDays,
  // Action, Profiles; d and dt in both).
  bool LoadFromRegistry(const std::string& key, std::string* error = nullptr);
  // Always with the current layout's names; values at their defaults are deleted
  // (t and p are always written).
  void SaveToRegistry(const std::string& key) const;

  std::string GetActionText() const;  // "Run", "Test", "Run & Test"
  std::string GetWhenText() const;
  bool SharesDayWith(const std::string& otherDays) const;
  bool SharesDateWith(const std::string& otherDates) const;

  double Time = 0;                  // time of day, date part 0
  std::string Days = AllWeekDays;   // Monday first
  uint8_t Action = 0;               // 0 run, 1 test, 2 run then test
  std::string Profiles;             // every name in double quotes followed by a blank
  bool DatesMode = false;           // runs on dates of the month instead of week days
  std::string Dates;                // comma text of day numbers; "32" the last date
  int StoredNumber = 0;             // the entry's key it was loaded from; 0 when not loaded
  // Why the entry could not be read (the lines of its load), "" when it was; and the
  // text of its time as stored.
  std::string Unread;
  std::string StoredTime;
};

// The stored time of day as the minute it runs at (seconds dropped); false when the value
// is no time of day (below 0, from one whole day on).
bool ScheduleTimeOfDay(double stored, double* minute);

class TFoSchedules {
 public:
  // Loads every stored entry (StoredScheduleNumbers). An entry that could not be read is
  // left out of the entries, kept among the unread ones and named in *error (when
  // given), and the load fails (LoadAll false, Whole false).
  explicit TFoSchedules(std::string* error = nullptr);
  ~TFoSchedules();
  TFoSchedules(const TFoSchedules&) = delete;
  TFoSchedules& operator=(const TFoSchedules&) = delete;

  bool LoadAll(std::string* error = nullptr);
  // Every stored entry was read.
  bool Whole() const { return unreadable_.empty(); }
  // Writes entries 1..count, then ScheduleCount; stored entries beyond the count stay
  // (callers that shrink the list erase them afterwards). The unread entries count as
  // entries and are kept as stored: each keeps its key when its number is in the list,
  // else its key is copied to a free number. The readable entries take the other numbers
  // in list order. In the old layout a list not read whole writes nothing (false).
  bool SaveAll() const;
  // SaveAll without ScheduleCount: the number of entries written, -1 when nothing was.
  int SaveEntries() const;

  void Add(TFoSchedule* item);  // takes ownership
  void Remove(TFoSchedule* item);  // a readable or an unread entry
  // The entries that could not be read, in stored order.
  int UnreadCount() const { return static_cast<int>(unreadable_.size()); }
  TFoSchedule* GetUnread(int index) const;  // nullptr outside
  // An unread entry given new values by the editor becomes an entry of the list.
  void Mend(TFoSchedule* item);
  int GetCount() const { return static_cast<int>(items_.size()); }
  // No entry (nullptr) for an index outside the list.
  TFoSchedule* GetItem(int index) const;
  void FreeItems();

  // The first time that two entries share in a conflicting way, with the message in
  // *message; 0 when none.
  double FindTimeConflict(std::string& message) const;
  // The first quoted name equal to oldName in each entry that names it becomes
  // newName; saves when any entry changed and returns whether one did. In a list not read
  // whole, the entries that could not be read are renamed too, and only the profiles of
  // the changed entries are written, each in its own key, so that nothing else changes.
  bool RenameProfile(const std::string& oldName, const std::string& newName);
  // The entries that could not be read count too.
  bool IsProfileScheduled(const std::string& name) const;

 private:
  std::vector<std::unique_ptr<TFoSchedule>> items_;
  std::vector<std::unique_ptr<TFoSchedule>> unreadable_;  // as far as they were read
};

// What the box of a program that loaded the list says of the entries it could not read
// (the lines of the load).
std::string UnreadSchedulesText(const std::string& lines);

// The registry key of entry n (1-based) in the layout in force.
std::string ScheduleKey(int n);
// The numbers 1..ScheduleCount whose entry key is stored, in order: a count beyond the
// stored entries costs no more than they do, and a number without its key is left out.
std::vector<int> StoredScheduleNumbers();
// Deletes every stored entry and ScheduleCount.
void EraseStoredSchedules();

// Hours and minutes of the value as a time of day (seconds dropped, date part 0).
tk::TDateTime TimeOfDayToMinute(tk::TDateTime value);

// Starts RunQb.exe beside the running program with the command letter and the
// arguments, without waiting; nothing when args is empty or mode is no letter. fromScheduler sets
// bRunFromScheduler first. When the runner cannot be started, a new error file with
// the line "0 Couldn't run RunQb" is written and QbEw.exe is started with it.
void RunProfile(char mode, const std::string& args, bool fromScheduler);
// RunProfile with the folder of the programs given (trailing backslash).
void RunProfileFrom(const std::string& programDir, char mode, const std::string& args,
                    bool fromScheduler);
