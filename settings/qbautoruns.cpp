#include "settings/qbautoruns.h"

#include <algorithm>

#include "settings/fernoini.h"
#include "settings/foschedules.h"
#include "toolkit/stringlist.h"
#include "toolkit/strings.h"

bool IsInCommaList(const std::string& name, const std::string& commaText) {
  return tk::TStringList(tk::FromCommaText(commaText)).IndexOf(name) >= 0;
}

// ---------------------------------------------------------------------------------

bool TQbAutoRun::LoadFromRegistry(const std::string& key, std::string* /*error*/) {
  const tk::TRegSection v = TFernoIni().ReadSectionValues(key);
  Media = v.ReadString("m", "");
  Days = v.ReadString("d", AllWeekDays).substr(0, 7);
  Action = static_cast<char>(v.ReadInteger("c", 'r') & 0xFF);
  Profiles = v.ReadString("p", "");
  Ask = v.ReadBool("a", false);
  Deselected = v.ReadString("dp", "");
  return true;
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
