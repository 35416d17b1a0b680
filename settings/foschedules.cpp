#include "settings/foschedules.h"

#include <algorithm>
#include <cctype>
#include <cmath>

#include "settings/fernoini.h"
#include "settings/protocol.h"
#include "settings/qbprofile.h"
#include "settings/vglobal.h"
#include "toolkit/files.h"
#include "toolkit/format.h"
#include "toolkit/stringlist.h"
#include "toolkit/strings.h"

namespace {

constexpr const char* kDayNames[7] = {"Mon ", "Tue ", "Wed ", "Thu ", "Fri ", "Sat ", "Sun "};

// Two times of day are the same schedule time when closer than about a second.
constexpr double kSameTime = 1e-5;

std::string Quoted(const std::string& name) { return "\"" + name + "\""; }

// Shown normally, at normal priority, without waiting.
bool StartShownNormal(const std::string& commandLine, bool feedbackCursor) {
  return StartProgram(commandLine, {.Show = SW_SHOWNORMAL,
                                    .FeedbackCursor = feedbackCursor,
                                    .PriorityClass = NORMAL_PRIORITY_CLASS,
                                    .WaitMs = std::nullopt});
}

}  // namespace

std::string WeekDayMask(const std::string& stored) {
  std::string mask = stored.substr(0, 7);
  mask.resize(7, '0');
  return mask;
}

bool WeekDaysShared(const std::string& a, const std::string& b) {
  const size_t n = std::min<size_t>({a.size(), b.size(), 7});
  for (size_t i = 0; i < n; ++i)
    if (a[i] == '1' && b[i] == '1') return true;
  return false;
}

std::string WeekDayNames(const std::string& days) {
  std::string text;
  for (size_t i = 0; i < 7 && i < days.size(); ++i)
    if (days[i] == '1') text += kDayNames[i];
  return text;
}

// ---------------------------------------------------------------------------------

bool TFoSchedule::LoadFromRegistry(const std::string& key, std::string* error) {
  const tk::TRegSection v = TFernoIni().ReadSectionValues(key);
  const bool shortNames = UseShortNames;
  const char* const timeName = shortNames ? "t" : "ScheduleTime";
  const char* const actionName = shortNames ? "a" : "Action";
  const char* const names[] = {timeName, actionName, shortNames ? "p" : "Profiles", "d", "dt",
                               shortNames ? "ds" : "ScheduleDays"};
  std::string why;
  const auto add = [&why](const std::string& line) { why += (why.empty() ? "" : "\r\n") + line; };
  // A value not stored as plain text is named once, by how it was stored.
  for (const char* value : names)
    if (const std::string line = StoredFormText(v, key, value); !line.empty()) add(line);
  const bool formsRead = why.empty();
  StoredTime = v.ReadString(timeName, "");
  double stored = 0;
  Time = 0;
  const bool number = ReadFloatValue(v, key, timeName, 0, &stored, formsRead ? &why : nullptr);
  if (number && !ScheduleTimeOfDay(stored, &Time) && formsRead)
    add("Value \"" + std::string(timeName) + "\" in " + key + " is not a time of day: \"" + StoredTime + "\"");
  Action = 0;
  if (v.ValueExists(actionName)) {
    int32_t action = -1;
    const std::string text = v.ReadString(actionName, "");
    if (tk::TryStrToInt(text, &action) && action >= 0 && action <= 2)
      Action = static_cast<uint8_t>(action);
    else if (formsRead)
      add("Value \"" + std::string(actionName) + "\" in " + key + " is not an action (0, 1 or 2): \"" + text + "\"");
  }
  Profiles = v.ReadString(shortNames ? "p" : "Profiles", "");
  DatesMode = v.ReadBool("d", false);
  if (DatesMode) {
    Days = "0000000";
    Dates = v.ReadString("dt", "32");
  } else {
    Days = WeekDayMask(v.ReadString(shortNames ? "ds" : "ScheduleDays", AllWeekDays));
    Dates.clear();
  }
  Unread = why;
  if (error && !why.empty()) *error += (error->empty() ? "" : "\r\n") + why;
  return why.empty();
}

bool ScheduleTimeOfDay(double stored, double* minute) {
  if (!(stored >= 0 && stored < 1)) return false;
  // A stored 08:00 is 0.333333333333333, a hair below the minute it means.
  *minute = std::floor(stored * 1440 + 1e-6) / 1440;
  if (*minute >= 1) *minute = 1439.0 / 1440;
  return true;
}

void TFoSchedule::SaveToRegistry(const std::string& key) const {
  TFernoIni ini;
  ini.WriteString(key, "t", tk::FloatToStr(Time, '.'));
  const int action = Action & 0x7F;
  if (action == 0)
    ini.DeleteValue(key, "a");
  else
    ini.WriteInteger(key, "a", action);
  ini.WriteString(key, "p", Profiles);
  if (DatesMode) {
    ini.WriteString(key, "d", "1");
    ini.DeleteValue(key, "ds");
    if (Dates == "32")
      ini.DeleteValue(key, "dt");
    else
      ini.WriteString(key, "dt", Dates);
  } else {
    ini.DeleteValue(key, "d");
    ini.DeleteValue(key, "dt");
    if (Days == AllWeekDays)
      ini.DeleteValue(key, "ds");
    else
      ini.WriteString(key, "ds", Days);
  }
}

std::string TFoSchedule::GetActionText() const {
  switch (Action) {
    case 0: return "Run";
    case 1: return "Test";
    case 2: return "Run & Test";
    default: return "";
  }
}

std::string TFoSchedule::GetWhenText() const {
  if (tk::Trim(Dates).empty()) return Days == AllWeekDays ? "Daily" : WeekDayNames(Days);
  if (Dates == "1") return "1st of month";
  if (Dates == "32") return "Last date of month";
  if (Dates.find(',') != std::string::npos) return "Dates: " + Dates;
  return "Date: " + Dates;
}

bool TFoSchedule::SharesDayWith(const std::string& otherDays) const {
  return WeekDaysShared(Days, otherDays);
}

bool TFoSchedule::SharesDateWith(const std::string& otherDates) const {
  const tk::TStringList other(tk::FromCommaText(otherDates));
  for (const std::string& date : tk::FromCommaText(Dates))
    if (other.IndexOf(date) >= 0) return true;
  return false;
}

// ---------------------------------------------------------------------------------

std::string UnreadSchedulesText(const std::string& lines) {
  return "A schedule could not be read:\r\n\r\n" + lines;
}

std::string ScheduleKey(int n) {
  if (!UseShortNames) return OldScheduleKeyPrefix + std::to_string(n);
  return SchedulesKey + "\\" + std::to_string(n);
}

TFoSchedules::TFoSchedules(std::string* error) { LoadAll(error); }

TFoSchedules::~TFoSchedules() { FreeItems(); }

std::vector<int> StoredScheduleNumbers() {
  TFernoIni ini;
  const long long count = ini.GetScheduleCount();
  // The old layout keeps its entries directly under the root.
  const std::string listKey = UseShortNames ? SchedulesKey : std::string();
  const std::string prefix = UseShortNames ? std::string() : OldScheduleKeyPrefix;
  std::vector<int> numbers;
  for (long long n : tk::NumberedIndexes(ini.ReadSections(listKey), prefix, 1, count + 1))
    numbers.push_back(static_cast<int>(n));
  return numbers;
}

bool TFoSchedules::LoadAll(std::string* error) {
  for (int n : StoredScheduleNumbers()) {
    auto item = std::make_unique<TFoSchedule>();
    item->StoredNumber = n;
    (item->LoadFromRegistry(ScheduleKey(n), error) ? items_ : unreadable_).push_back(std::move(item));
  }
  return Whole();
}

bool TFoSchedules::SaveAll() const {
  const int count = SaveEntries();
  if (count < 0) return false;
  TFernoIni().SetScheduleCount(count);
  return true;
}

int TFoSchedules::SaveEntries() const {
  if (!Whole() && SchedulesKey.empty()) return -1;
  const int count = GetCount() + UnreadCount();
  std::vector<bool> taken(static_cast<size_t>(count) + 1, false);
  std::vector<const TFoSchedule*> moving;
  for (const auto& item : unreadable_) {
    if (item->StoredNumber >= 1 && item->StoredNumber <= count)
      taken[static_cast<size_t>(item->StoredNumber)] = true;
    else
      moving.push_back(item.get());
  }
  int next = 1;
  const auto freeNumber = [&] {
    while (taken[static_cast<size_t>(next)]) ++next;
    taken[static_cast<size_t>(next)] = true;
    return next;
  };
  TFernoIni ini;
  const auto entryKey = [](int n) { return SchedulesKey + "\\" + std::to_string(n); };
  // An unread entry beyond the new count goes over as it is stored, values and types.
  for (const TFoSchedule* item : moving) {
    HKEY source = nullptr, copy = nullptr;
    if (RegOpenKeyExW(ini.RootKey(), tk::Widen(ScheduleKey(item->StoredNumber)).c_str(), 0, KEY_READ, &source) !=
        ERROR_SUCCESS)
      return -1;
    const std::string target = entryKey(freeNumber());
    ini.EraseSection(target);
    const bool copied = RegCreateKeyExW(ini.RootKey(), tk::Widen(target).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                        nullptr, &copy, nullptr) == ERROR_SUCCESS &&
                        RegCopyTreeW(source, nullptr, copy) == ERROR_SUCCESS;
    RegCloseKey(source);
    if (copy) RegCloseKey(copy);
    if (!copied) return -1;
  }
  for (const auto& item : items_) item->SaveToRegistry(entryKey(freeNumber()));
  return count;
}

void TFoSchedules::Add(TFoSchedule* item) { items_.emplace_back(item); }

void TFoSchedules::Remove(TFoSchedule* item) {
  for (auto* list : {&items_, &unreadable_}) {
    auto it = std::find_if(list->begin(), list->end(), [item](const auto& p) { return p.get() == item; });
    if (it != list->end()) list->erase(it);
  }
}

TFoSchedule* TFoSchedules::GetItem(int index) const {
  if (index < 0 || index >= GetCount()) return nullptr;
  return items_[static_cast<size_t>(index)].get();
}

TFoSchedule* TFoSchedules::GetUnread(int index) const {
  if (index < 0 || index >= UnreadCount()) return nullptr;
  return unreadable_[static_cast<size_t>(index)].get();
}

void TFoSchedules::Mend(TFoSchedule* item) {
  auto it = std::find_if(unreadable_.begin(), unreadable_.end(), [item](const auto& p) { return p.get() == item; });
  if (it == unreadable_.end()) return;
  item->Unread.clear();
  items_.push_back(std::move(*it));
  unreadable_.erase(it);
}

void TFoSchedules::FreeItems() {
  items_.clear();
  unreadable_.clear();
}

double TFoSchedules::FindTimeConflict(std::string& message) const {
  for (const auto& a : items_) {
    const std::string timeText = tk::FormatDateTime(tk::LongTimeFormat(), a->Time);
    auto sameTime = [&](const auto& b) {
      return b != a && std::fabs(b->Time - a->Time) < kSameTime;
    };
    for (const auto& b : items_) {
      if (sameTime(b) && a->DatesMode != b->DatesMode) {
        message = "Schedule time (" + timeText + ") can not be repeated for both days && dates";
        return a->Time;
      }
    }
    for (const auto& b : items_) {
      if (!sameTime(b)) continue;
      message = "Schedule time (" + timeText + ") can be repeated for different " +
                (a->DatesMode ? "dates only" : "days only");
      if (a->DatesMode ? a->SharesDateWith(b->Dates) : a->SharesDayWith(b->Days)) return a->Time;
    }
  }
  return 0;
}

bool TFoSchedules::RenameProfile(const std::string& oldName, const std::string& newName) {
  const std::string from = Quoted(oldName);
  std::vector<const TFoSchedule*> changed;
  for (const auto* list : {&items_, &unreadable_})
    for (const auto& item : *list) {
      if (item->Profiles.find(from) == std::string::npos) continue;
      // Profile names are registry keys, so names differing only in case are one
      // profile: the first of them is the one renamed.
      const size_t pos = tk::LowerCase(item->Profiles).find(tk::LowerCase(from));
      item->Profiles.replace(pos, from.size(), Quoted(newName));
      changed.push_back(item.get());
    }
  if (Whole()) {
    if (!changed.empty()) SaveAll();
  } else {
    TFernoIni ini;
    for (const TFoSchedule* item : changed)
      if (item->StoredNumber > 0) ini.WriteString(ScheduleKey(item->StoredNumber), "p", item->Profiles);
  }
  return !changed.empty();
}

bool TFoSchedules::IsProfileScheduled(const std::string& name) const {
  const std::string quoted = Quoted(name);
  const auto names = [&](const auto& item) { return item->Profiles.find(quoted) != std::string::npos; };
  return std::any_of(items_.begin(), items_.end(), names) ||
         std::any_of(unreadable_.begin(), unreadable_.end(), names);
}

void EraseStoredSchedules() {
  TFernoIni ini;
  // Without a Schedules key (the old layout) there is no list key to erase; an empty
  // section would be the whole settings root.
  if (!SchedulesKey.empty()) ini.EraseSection(SchedulesKey);
  ini.SetScheduleCount(0);
}

tk::TDateTime TimeOfDayToMinute(tk::TDateTime value) {
  int h = 0, m = 0, s = 0, ms = 0;
  tk::DecodeTime(value, &h, &m, &s, &ms);
  return tk::EncodeTime(h, m, 0, 0);
}

// ---------------------------------------------------------------------------------

void RunProfile(char mode, const std::string& args, bool fromScheduler) {
  RunProfileFrom(tk::ProgramDir(), mode, args, fromScheduler);
}

void RunProfileFrom(const std::string& programDir, char mode, const std::string& args,
                    bool fromScheduler) {
  // A command letter that is none (a NUL would cut the command line) starts nothing.
  if (args.empty() || !std::isalpha(static_cast<unsigned char>(mode))) return;
  // Quoted when the folder holds a blank, so that no other program on the way
  // ("C:\Program.exe") is started in its place.
  const std::string commandLine =
      QuoteIfSpaces(programDir + RunQbExe) + " " + std::string(1, mode) + " " + args;
  if (fromScheduler) TFernoIni().SetbRunFromScheduler(true);
  if (StartShownNormal(commandLine, true)) return;

  // The one-shot value must not reach a later run that the scheduler did not start.
  if (fromScheduler) TFernoIni().SetbRunFromScheduler(false);
  tk::ForceDirectories(GetErrorsDir());
  const std::string errorFile = SaveNewErrorFile("0 Couldn't run RunQb\r\n");
  if (errorFile.empty()) return;
  StartShownNormal(QuoteIfSpaces(programDir + QbEwExe) + " " + QuoteIfSpaces(errorFile), false);
}
