#include "settings/qbautoruns.h"

#include <algorithm>

#include "settings/fernoini.h"
#include "settings/foschedules.h"
#include "settings/qbprofile.h"
#include "toolkit/format.h"
#include "toolkit/stringlist.h"
#include "toolkit/strings.h"

bool IsInCommaList(const std::string& name, const std::string& commaText) {
  return tk::TStringList(tk::FromCommaText(commaText)).IndexOf(name) >= 0;
}

// ---------------------------------------------------------------------------------

bool IsAutoRunAction(char action) { return action == 'r' || action == 't' || action == 'b'; }

bool TQbAutoRun::LoadFromRegistry(const std::string& key, std::string* error) {
  const tk::TRegSection v = TFernoIni().ReadSectionValues(key);
  Warnings.clear();
  const auto add = [this](const std::string& line) { Warnings += (Warnings.empty() ? "" : "\r\n") + line; };
  for (const char* value : {"m", "d", "c", "p", "a", "dp"})
    if (const std::string line = StoredFormText(v, key, value); !line.empty()) add(line);
  Media = v.ReadString("m", "");
  Days = WeekDayMask(v.ReadString("d", AllWeekDays));
  Action = 'r';
  if (v.ValueExists("c")) {
    const std::string text = v.ReadString("c", "");
    int32_t code = 0;
    if (!tk::TryStrToInt(text, &code)) {
      // Read as missing, as a malformed number is.
      add(NotANumberText(key, "c", text));
    } else {
      // A character code is kept as stored; only a known letter is run.
      Action = code >= 0 && code <= 255 ? static_cast<char>(code) : '\0';
      if (!IsAutoRunAction(Action))
        add("Value \"c\" in " + key + " is not an action (114 Run, 116 Test or 98 Run & Test): \"" + text + "\"");
    }
  }
  Profiles = v.ReadString("p", "");
  Ask = v.ReadBool("a", false);
  Deselected = v.ReadString("dp", "");
  if (error && !Warnings.empty()) *error += (error->empty() ? "" : "\r\n") + Warnings;
  return Warnings.empty();
}

void TQbAutoRun::SaveToRegistry(const std::string& key) const {
  TFernoIni ini;
  ini.WriteString(key, "m", Media);
  if (Days == AllWeekDays)
    ini.DeleteValue(key, "d");
  else
    ini.WriteString(key, "d", Days);
  if (Action == 'r')
    ini.DeleteValue(key, "c");
  else
    ini.WriteInteger(key, "c", static_cast<unsigned char>(Action));
  ini.WriteString(key, "p", Profiles);
  ini.WriteBool(key, "a", Ask);
  if (Deselected.empty())
    ini.DeleteValue(key, "dp");
  else
    ini.WriteString(key, "dp", Deselected);
}

std::string TQbAutoRun::GetActionText() const {
  switch (Action) {
    case 'r': return "Run";
    case 't': return "Test";
    case 'b': return "Run & Test";
    default: return "";
  }
}

std::string TQbAutoRun::GetDaysText() const {
  if (Days == AllWeekDays) return "All 7 days";
  return tk::Trim(WeekDayNames(Days));
}

std::string TQbAutoRun::GetAskText() const { return Ask ? "Yes" : "No"; }

bool TQbAutoRun::SharesDayWith(const std::string& otherDays) const {
  return WeekDaysShared(Days, otherDays);
}

// ---------------------------------------------------------------------------------

std::string UnreadAutoRunsText(const std::string& lines) {
  return "An autorun could not be read as stored:\r\n\r\n" + lines;
}

std::string AutoRunEntryKey(int n) { return std::string(AutoRunKey) + "\\" + std::to_string(n); }

TQbAutoRuns::TQbAutoRuns(std::string* error) { LoadAll(error); }

TQbAutoRuns::~TQbAutoRuns() { FreeItems(); }

bool TQbAutoRuns::LoadAll(std::string* error) {
  TFernoIni ini;
  const long long count = ini.GetAutoRunCount();
  bool ok = true;
  // Only the entries stored are loaded: a count beyond them costs nothing more.
  for (long long n : tk::NumberedIndexes(ini.ReadSections(AutoRunKey), "", 1, count + 1)) {
    auto item = std::make_unique<TQbAutoRun>();
    ok &= item->LoadFromRegistry(AutoRunEntryKey(static_cast<int>(n)), error);
    items_.push_back(std::move(item));
  }
  return ok;
}

void TQbAutoRuns::SaveAll() const {
  TFernoIni().SetAutoRunCount(GetCount());
  for (int i = 0; i < GetCount(); ++i) items_[static_cast<size_t>(i)]->SaveToRegistry(AutoRunEntryKey(i + 1));
}

void TQbAutoRuns::Add(TQbAutoRun* item) { items_.emplace_back(item); }

void TQbAutoRuns::Remove(TQbAutoRun* item) {
  auto it = std::find_if(items_.begin(), items_.end(),
                         [item](const auto& p) { return p.get() == item; });
  if (it != items_.end()) items_.erase(it);
}

TQbAutoRun* TQbAutoRuns::GetItem(int index) const {
  if (index < 0 || index >= GetCount()) return nullptr;
  return items_[static_cast<size_t>(index)].get();
}

void TQbAutoRuns::FreeItems() { items_.clear(); }

std::string TQbAutoRuns::FindMediaConflict() const {
  for (const auto& a : items_)
    for (const std::string& label : tk::FromCommaText(a->Media))
      for (const auto& b : items_)
        if (b != a && a->SharesDayWith(b->Days) && IsInCommaList(label, b->Media)) return label;
  return "";
}

bool TQbAutoRuns::RenameProfile(const std::string& oldName, const std::string& newName) {
  bool changed = false;
  for (const auto& item : items_) {
    std::vector<std::string> names = tk::FromCommaText(item->Profiles);
    for (std::string& name : names) {
      if (tk::SameText(name, oldName)) {
        name = newName;
        changed = true;
      }
    }
    item->Profiles = tk::ToCommaText(names);
  }
  if (changed) SaveAll();
  return changed;
}

bool TQbAutoRuns::UsesProfile(const std::string& name) const {
  return std::any_of(items_.begin(), items_.end(),
                     [&](const auto& item) { return IsInCommaList(name, item->Profiles); });
}

void EraseStoredAutoRuns() {
  TFernoIni ini;
  ini.EraseSection(AutoRunKey);
  ini.SetAutoRunCount(0);
}
