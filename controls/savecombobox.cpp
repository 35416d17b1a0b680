#include "controls/savecombobox.h"

#include <algorithm>
#include <cctype>

#include "settings/vglobal.h"
#include "toolkit/files.h"
#include "toolkit/format.h"
#include "toolkit/strings.h"

namespace g32 {

namespace {

const char kItem[] = "Item";

// The index of a value named "Item" + decimal index (as the box writes them, the
// name compared without regard to case as the stores do); -1 for any other name.
long long ItemIndexOf(const std::string& name) {
  const size_t prefix = sizeof kItem - 1;
  if (name.size() <= prefix || !tk::SameText(name.substr(0, prefix), kItem)) return -1;
  std::string digits = name.substr(prefix);
  if (digits.size() > 10 || (digits.size() > 1 && digits[0] == '0')) return -1;
  for (char c : digits)
    if (!std::isdigit(static_cast<unsigned char>(c))) return -1;
  return std::stoll(digits);
}

}  // namespace

TSaveComboBox::TSaveComboBox() = default;
TSaveComboBox::~TSaveComboBox() = default;

void TSaveComboBox::SetIniFileName(const std::string& name) {
  if (!SaveToIni) return;
  iniFileName_ = name;
  if (name.empty()) return;
  std::string appData = GetAppDataDir();
  std::string folder = appDataIniPath_.empty() || appData.empty()
                           ? tk::ProgramDir()
                           : tk::IncludeTrailingBackslash(appData + appDataIniPath_);
  iniStore_ = std::make_unique<tk::TIniFile>(folder + name);
}

void TSaveComboBox::SetAppDataIniPath(const std::string& folder) {
  appDataIniPath_ = folder;
  SetIniFileName(iniFileName_);
}

void TSaveComboBox::SetRegKey(const std::string& key) {
  if (SaveToIni || key == regKey_) return;
  regKey_ = key;
  if (!key.empty()) regStore_ = std::make_unique<tk::TRegIniFile>(key);
}

std::vector<std::string> TSaveComboBox::StoreValueNames() const {
  return SaveToIni ? iniStore_->ReadSection(Section) : regStore_->ReadSection(Section);
}
std::string TSaveComboBox::StoreRead(const std::string& name) const {
  return SaveToIni ? iniStore_->ReadString(Section, name, "") : regStore_->ReadString(Section, name, "");
}
int TSaveComboBox::StoreReadInteger(const std::string& name) const {
  return SaveToIni ? iniStore_->ReadInteger(Section, name, 0) : regStore_->ReadInteger(Section, name, 0);
}
void TSaveComboBox::StoreWrite(const std::string& name, const std::string& value) {
  if (SaveToIni) {
    tk::ForceDirectories(tk::ExtractFilePath(iniStore_->FileName()));
    iniStore_->WriteString(Section, name, value);
  } else {
    regStore_->WriteString(Section, name, value);
  }
}

void TSaveComboBox::LoadHistory() {
  if ((SaveToIni ? iniFileName_ : regKey_).empty() || Section.empty() || !HasStore()) return;
  Clear();
  const long long count = StoreReadInteger("Count");
  // Only the items the section really holds are read, in index order: a damaged
  // Count of millions must not keep the dialog busy reading values that are not there.
  std::vector<long long> present;
  for (const std::string& name : StoreValueNames())
    if (long long i = ItemIndexOf(name); i >= 0 && i < count) present.push_back(i);
  std::sort(present.begin(), present.end());
  present.erase(std::unique(present.begin(), present.end()), present.end());
  for (long long i : present)
    if (std::string item = StoreRead(kItem + tk::IntToStr(i)); !item.empty()) AddItem(item);
  if (RememberText) SetText(StoreRead("LastText"));
}

void TSaveComboBox::SaveHistory() {
  if (!HasStore()) return;
  // The handler may complete the text (a folder gets its backslash): what is stored
  // is the text the box shows afterwards, so one folder never appears in two forms.
  bool doSave = true;
  if (OnSave) OnSave(*this, doSave);
  const std::string text = Text();
  // A box without a section has no place that a load would read back.
  if (RememberText && !Section.empty()) StoreWrite("LastText", text);
  if (!doSave || Section.empty() || tk::Trim(text).empty()) return;
  if (!SaveRepeated && IndexOf(text) >= 0) return;
  const int n = std::max(StoreReadInteger("Count"), 0);
  StoreWrite("Count", tk::IntToStr(n + 1));
  StoreWrite(kItem + tk::IntToStr(n), text);
  AddItem(text);
}

void TSaveComboBox::DoExit() {
  TComboBox::DoExit();
  if (SaveOnExit) SaveHistory();
}

}  // namespace g32
