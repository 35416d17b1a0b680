#pragma once
// The scheduler's decisions, kept apart from its window so they can be checked alone:
// which schedule is due at a minute, which autorun a label starts, the minutes a late
// timer still owes, the tray picture and tip, and the clock every timer reads.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "settings/foschedules.h"
#include "settings/protocol.h"
#include "settings/qbautoruns.h"
#include "toolkit/datetime.h"

// The caption of the scheduler's boxes and its tray tip.
inline constexpr const char* QbSchBoxCaption = "Quillbank 2.0 Scheduler";

// The local time every timer of the scheduler reads. Normally the system clock; when
// the environment variable QB_SCH_CLOCK holds "yyyy-mm-dd hh:nn:ss" (optionally
// followed by ",speed", a whole number from 1), the clock starts at that moment when
// the program starts and runs speed times as fast, and every timer interval is divided
// by speed, so a test sees whole minutes go by in seconds.
class TSchClock {
 public:
  TSchClock();  // reads QB_SCH_CLOCK
  // Fixed start and speed (tests in-process).
  TSchClock(tk::TDateTime start, int speed);
  tk::TDateTime Now() const;
  UINT Interval(UINT ms) const;  // the timer interval for ms of clock time, at least 1

 private:
  bool fixed_ = false;
  tk::TDateTime start_ = 0;
  ULONGLONG startTicks_ = 0;
  int speed_ = 1;
};
TSchClock& SchClock();

// The clock time, in milliseconds, of the start-up profiles' timer for a StartupDelay in
// seconds: 0 (run at once) for 0 and for a negative delay, at most what a window timer
// holds (USER_TIMER_MAXIMUM, about 24.8 days).
UINT StartupDelayMs(int seconds);

// The Monday-first mask (as WeekDayMask reads it) turned Sunday-first (its last
// character moved to the front).
std::string SundayFirstMask(const std::string& mondayFirst);
// The Sunday-first mask has '1' at dayOfWeek (1 = Sunday .. 7).
bool MaskHasDay(const std::string& mondayFirst, int dayOfWeek);

// "R", "T" or "B" for the schedule's action (0 run, 1 test, 2 run then test).
char ScheduleLetter(uint8_t action);
// The schedule's days or dates include the date of the value (its time is ignored).
bool IsScheduleDayDue(const TFoSchedule& schedule, tk::TDateTime date);
// The schedule's time is the minute of the value and its day or date is due.
bool IsScheduleDue(const TFoSchedule& schedule, tk::TDateTime minute);

// Date and time cut to the whole minute.
tk::TDateTime DateTimeToMinute(tk::TDateTime value);
// The minutes after lastChecked up to now's minute, oldest first. At most
// MaxCatchUpMinutes: a longer gap (a computer that slept) gives only now's minute.
// Nothing when now's minute was already checked; now's minute alone when nothing was
// checked yet (0) or the clock went back.
inline constexpr int MaxCatchUpMinutes = 5;
std::vector<tk::TDateTime> MinutesToCheck(tk::TDateTime lastChecked, tk::TDateTime now);

// What the due checks keep between them.
struct TCheckedMinutes {
  tk::TDateTime Last = 0;    // the minute of the last check; 0: none since switched on
  tk::TDateTime Latest = 0;  // the latest minute whose schedules ran, kept while off
};
// Notes a check of the minute and says whether its schedules run. A clock set back by at
// most an hour (the end of summer time) brings minutes again whose schedules ran
// already: they do not run again. A clock set back further starts anew.
bool RunsSchedulesOf(TCheckedMinutes& state, tk::TDateTime minute);

// The entry's profiles for the runner: names with blanks in double quotes, joined by
// single blanks.
std::string AutorunProfileList(const TQbAutoRun& entry);
// The question the runner asks before an autorun ("Run selected profiles?"), "" when
// the entry does not ask.
std::string AutorunQuestion(const TQbAutoRun& entry);
// The first entry for the day of the week (1 = Sunday) that lists the label; nullptr
// when none.
const TQbAutoRun* FindMediaAutoRun(const TQbAutoRuns& list, const std::string& label, int dayOfWeek);

// The drive letter of a volume-arrival broadcast ('A' + the lowest bit of the unit
// mask), or 0 when the record is missing, too short, not a volume or has no unit.
char ArrivedVolumeLetter(LPARAM broadcast);

// WinShutdown after an end-session query with this lParam: 1 for a shut-down (0), 2
// when the log-off bit is set, otherwise as it was.
int WinShutdownFor(LPARAM lParam, int current);
// The manager's shut-down command for the kind (1 log off) and OnTurnoff.
std::string ShutdownCommand(const std::string& programDir, int kind, int onTurnoff);

// The tray picture ("icoSA" ...) and tip for the three states.
const char* TrayIconName(bool schedulerOn, bool autorunOn, bool error);
std::string TrayTip(bool schedulerOn, bool autorunOn, bool error);

// The command line holds the word name, alone or after "-" or "/", in any case.
bool HasCommandSwitch(const std::string& name);

// Test trace: when the environment variable QB_SCH_TRACE names a file, each call
// appends the line to it (the tray calls to the shell, the beep, the minutes checked,
// the label of an arriving volume, the scheduler switched on, a box shown), so a test
// outside the process can follow what the scheduler did.
void SchTrace(const std::string& line);
