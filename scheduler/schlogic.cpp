#include "scheduler/schlogic.h"

#include <dbt.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "settings/vglobal.h"
#include "toolkit/cmdline.h"
#include "toolkit/stringlist.h"
#include "toolkit/strings.h"

namespace {

constexpr double kMinute = 1.0 / 1440.0;

// Whole minutes since day 0, so that two stamps of one minute compare equal.
long long MinuteIndex(tk::TDateTime value) {
  return static_cast<long long>(std::floor(value * 1440.0 + 1e-6));
}

}  // namespace

TSchClock::TSchClock() {
  wchar_t buf[64] = {0};
  if (GetEnvironmentVariableW(L"QB_SCH_CLOCK", buf, 64) == 0) return;
  const std::string text = tk::Narrow(buf);
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0, speed = 1;
  const int n = std::sscanf(text.c_str(), "%d-%d-%d %d:%d:%d,%d", &y, &mo, &d, &h, &mi, &s, &speed);
  tk::TDateTime date = 0, time = 0;
  if (n < 6 || !tk::TryEncodeDate(y, mo, d, &date) || !tk::TryEncodeTime(h, mi, s, 0, &time)) return;
  *this = TSchClock(date + time, speed);
}

TSchClock::TSchClock(tk::TDateTime start, int speed)
    : fixed_(true), start_(start), startTicks_(GetTickCount64()), speed_(speed < 1 ? 1 : speed) {}

tk::TDateTime TSchClock::Now() const {
  if (!fixed_) return tk::Now();
  const double elapsedMs = static_cast<double>(GetTickCount64() - startTicks_) * speed_;
  return start_ + elapsedMs / 86400000.0;
}

UINT TSchClock::Interval(UINT ms) const {
  const UINT scaled = ms / static_cast<UINT>(speed_);
  return scaled == 0 ? 1 : scaled;
}

TSchClock& SchClock() {
  static TSchClock clock;
  return clock;
}

UINT StartupDelayMs(int seconds) {
  if (seconds <= 0) return 0;
  return static_cast<UINT>(std::min<long long>(seconds * 1000LL, USER_TIMER_MAXIMUM));
}

std::string SundayFirstMask(const std::string& mondayFirst) {
  // A short mask has its missing days off, Monday first, as the loaders and editors read it.
  const std::string mask = WeekDayMask(mondayFirst);
  return mask.substr(6) + mask.substr(0, 6);
}

bool MaskHasDay(const std::string& mondayFirst, int dayOfWeek) {
  const std::string mask = SundayFirstMask(mondayFirst);
  return dayOfWeek >= 1 && dayOfWeek <= static_cast<int>(mask.size()) && mask[dayOfWeek - 1] == '1';
}

char ScheduleLetter(uint8_t action) {
  if (action == 1) return 'T';
  if (action == 2) return 'B';
  return 'R';
}

bool IsScheduleDayDue(const TFoSchedule& schedule, tk::TDateTime date) {
  if (!schedule.DatesMode) return MaskHasDay(schedule.Days, tk::DayOfWeek(date));
  int year = 0, month = 0, day = 0;
  tk::DecodeDate(date, &year, &month, &day);
  // Compared as text, so an entry written "05" never matches the 5th.
  const std::string today = std::to_string(day);
  if (schedule.Dates == "32" && today == std::to_string(tk::DaysInMonth(year, month))) return true;
  tk::TStringList dates;
  dates.SetCommaText(schedule.Dates);
  for (int i = 0; i < dates.Count(); ++i)
    if (dates[i] == today) return true;
  return false;
}

bool IsScheduleDue(const TFoSchedule& schedule, tk::TDateTime minute) {
  // The stored time as the minute it runs at, by the rule its load and the editor follow.
  double time = 0;
  if (!ScheduleTimeOfDay(schedule.Time, &time) ||
      MinuteIndex(time) != MinuteIndex(TimeOfDayToMinute(minute)))
    return false;
  return IsScheduleDayDue(schedule, std::floor(minute + 1e-9));
}

tk::TDateTime DateTimeToMinute(tk::TDateTime value) {
  return static_cast<double>(MinuteIndex(value)) * kMinute;
}

std::vector<tk::TDateTime> MinutesToCheck(tk::TDateTime lastChecked, tk::TDateTime now) {
  const long long current = MinuteIndex(now);
  std::vector<tk::TDateTime> minutes;
  if (lastChecked <= 0) {
    minutes.push_back(current * kMinute);
    return minutes;
  }
  const long long last = MinuteIndex(lastChecked);
  if (current == last) return minutes;
  if (current < last || current - last > MaxCatchUpMinutes) {
    minutes.push_back(current * kMinute);
    return minutes;
  }
  for (long long m = last + 1; m <= current; ++m) minutes.push_back(m * kMinute);
  return minutes;
}

bool RunsSchedulesOf(TCheckedMinutes& state, tk::TDateTime minute) {
  state.Last = minute;
  const long long index = MinuteIndex(minute);
  if (state.Latest > 0) {
    const long long latest = MinuteIndex(state.Latest);
    if (index < latest - 60) state.Latest = 0;
    else if (index <= latest) return false;
  }
  state.Latest = minute;
  return true;
}

std::string AutorunProfileList(const TQbAutoRun& entry) {
  tk::TStringList names;
  names.SetCommaText(entry.Profiles);
  std::string list;
  for (int i = 0; i < names.Count(); ++i) list += QuoteIfSpaces(names[i]) + " ";
  return tk::Trim(list);
}

std::string AutorunQuestion(const TQbAutoRun& entry) {
  if (!entry.Ask) return std::string();
  std::string prefix;
  if (entry.Action == 'b') prefix = "Run & Test";
  else if (entry.Action == 'r') prefix = "Run";
  else if (entry.Action == 't') prefix = "Test";
  return prefix + " selected profiles?";
}

const TQbAutoRun* FindMediaAutoRun(const TQbAutoRuns& list, const std::string& label, int dayOfWeek) {
  for (int i = 0; i < list.GetCount(); ++i) {
    const TQbAutoRun* entry = list.GetItem(i);
    if (entry && MaskHasDay(entry->Days, dayOfWeek) && IsInCommaList(label, entry->Media)) return entry;
  }
  return nullptr;
}

char ArrivedVolumeLetter(LPARAM broadcast) {
  const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(broadcast);
  if (!header || header->dbch_devicetype != DBT_DEVTYP_VOLUME ||
      header->dbch_size < sizeof(DEV_BROADCAST_VOLUME))
    return 0;
  const DWORD mask = reinterpret_cast<const DEV_BROADCAST_VOLUME*>(broadcast)->dbcv_unitmask;
  for (int bit = 0; bit < 26; ++bit)
    if (mask & (1u << bit)) return static_cast<char>('A' + bit);
  return 0;
}

int WinShutdownFor(LPARAM lParam, int current) {
  if (lParam == 0) return 1;
  // On x64 the log-off bit arrives as a positive value, so test the bit, not the sign.
  if (static_cast<DWORD>(lParam) & ENDSESSION_LOGOFF) return 2;
  return current;
}

std::string ShutdownCommand(const std::string& programDir, int kind, int onTurnoff) {
  std::string command = programDir + QbExe + " -" + QbShutdownSwitch + " ";
  if (kind != 1) command += QbShutdownLogOff;
  else if (onTurnoff == 1) command += QbShutdownShutDown;
  else command += QbShutdownPowerOff;
  return command;
}

const char* TrayIconName(bool schedulerOn, bool autorunOn, bool error) {
  static const char* const names[8] = {"ico", "icoA", "icoS", "icoSA", "icoE", "icoAE", "icoSE", "icoSAE"};
  return names[(error ? 4 : 0) | (schedulerOn ? 2 : 0) | (autorunOn ? 1 : 0)];
}

std::string TrayTip(bool schedulerOn, bool autorunOn, bool error) {
  std::string tip = QbSchBoxCaption;
  if (schedulerOn && !autorunOn) tip += " - Autorun Disabled";
  else if (!schedulerOn && autorunOn) tip += " - Disabled";
  else if (!schedulerOn && !autorunOn) tip += " - Autorun,Scheduler Disabled";
  if (error) tip += " (Error)";
  return tip;
}

bool HasCommandSwitch(const std::string& name) {
  for (int i = 1; i <= tk::ParamCount(); ++i) {
    std::string word = tk::ParamStr(i);
    if (!word.empty() && (word[0] == '-' || word[0] == '/')) word.erase(0, 1);
    if (tk::SameText(word, name)) return true;
  }
  return false;
}

void SchTrace(const std::string& line) {
  static const std::wstring file = [] {
    wchar_t buf[MAX_PATH] = {0};
    return GetEnvironmentVariableW(L"QB_SCH_TRACE", buf, MAX_PATH) ? std::wstring(buf) : std::wstring();
  }();
  if (file.empty()) return;
  HANDLE h = CreateFileW(file.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return;
  const std::string text = line + "\n";
  DWORD written = 0;
  WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(h);
}
