#include "toolkit/reginifile.h"

#include <shlwapi.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "toolkit/format.h"
#include "toolkit/strings.h"

namespace tk {

namespace {
// A section key that is closed on leaving scope unless it is the root itself.
class SectionKey {
 public:
  SectionKey(HKEY key, bool owned) : key_(key), owned_(owned) {}
  ~SectionKey() {
    if (key_ && owned_) RegCloseKey(key_);
  }
  SectionKey(const SectionKey&) = delete;
  SectionKey& operator=(const SectionKey&) = delete;
  HKEY get() const { return key_; }
  explicit operator bool() const { return key_ != nullptr; }

 private:
  HKEY key_;
  bool owned_;
};

HKEY OpenOrCreate(HKEY base, std::string_view path, bool create) {
  HKEY key = nullptr;
  const LONG rc = create ? RegCreateKeyExW(base, Widen(path).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                           KEY_ALL_ACCESS, nullptr, &key, nullptr)
                         : RegOpenKeyExW(base, Widen(path).c_str(), 0, KEY_ALL_ACCESS, &key);
  return rc == ERROR_SUCCESS ? key : nullptr;
}
}  // namespace

TRegIniFile::TRegIniFile(std::string_view keyPath) : TRegIniFile(HKEY_CURRENT_USER, keyPath) {}

TRegIniFile::TRegIniFile(HKEY base, std::string_view keyPath) : TRegIniFile(base, keyPath, true) {}

TRegIniFile::TRegIniFile(HKEY base, std::string_view keyPath, bool createMissing)
    : root_(OpenOrCreate(base, keyPath, createMissing)) {}

TRegIniFile::~TRegIniFile() {
  if (root_) RegCloseKey(root_);
}

HKEY TRegIniFile::OpenSection(std::string_view section, bool create, REGSAM access) const {
  if (!root_) return nullptr;
  HKEY key = nullptr;
  const std::wstring w = Widen(section);
  LONG rc = create ? RegCreateKeyExW(root_, w.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr, &key,
                                     nullptr)
                   : RegOpenKeyExW(root_, w.c_str(), 0, access, &key);
  return rc == ERROR_SUCCESS ? key : nullptr;
}

namespace {
struct ReadValue {
  std::optional<std::string> text;
  TValueForm form = TValueForm::Text;
};

// The environment's variables put into an expandable text, as the system does it: a name
// it does not know stays as written.
std::wstring Expanded(const std::wstring& text) {
  std::wstring out(text.size() + 256, L'\0');
  for (int attempt = 0; attempt < 4; ++attempt) {
    const DWORD need = ExpandEnvironmentStringsW(text.c_str(), out.data(), static_cast<DWORD>(out.size()));
    if (need == 0) return text;
    if (need <= out.size()) {
      out.resize(need - 1);
      return out;
    }
    out.assign(need, L'\0');
  }
  return text;
}

// The text of a value read with its type: a string up to its first NUL (a string with
// NULs inside, such as UTF-16 bytes imported as ANSI text, would otherwise reach every
// reader), an expandable string with the environment's variables put in, a DWORD or QWORD
// as its signed decimal; nullopt for any other type or a size that does not fit the type.
ReadValue ValueText(DWORD type, const BYTE* data, DWORD size) {
  switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ: {
      std::wstring text(size / sizeof(wchar_t), L'\0');
      memcpy(text.data(), data, text.size() * sizeof(wchar_t));
      while (!text.empty() && text.back() == L'\0') text.pop_back();
      const size_t nul = text.find(L'\0');
      const TValueForm form = nul == std::wstring::npos ? TValueForm::Text : TValueForm::TextCutAtNul;
      if (nul != std::wstring::npos) text.resize(nul);
      if (type == REG_EXPAND_SZ) text = Expanded(text);
      return {Narrow(text), form};
    }
    case REG_DWORD:
      if (size != 4) return {std::nullopt, TValueForm::OtherType};
      int32_t v32;
      memcpy(&v32, data, 4);
      return {IntToStr(v32), TValueForm::Number};
    case REG_QWORD:
      if (size != 8) return {std::nullopt, TValueForm::OtherType};
      int64_t v64;
      memcpy(&v64, data, 8);
      return {IntToStr(v64), TValueForm::Number};
    default:
      return {std::nullopt, TValueForm::OtherType};
  }
}

// A missing value must give def itself, so no text default is formatted and parsed.
int TextToInteger(const std::optional<std::string>& text, int def) { return text ? StrToIntDef(*text, def) : def; }
}  // namespace

std::string TRegIniFile::ReadString(std::string_view section, std::string_view name, std::string_view def) const {
  return ReadText(section, name).value_or(std::string(def));
}

std::optional<std::string> TRegIniFile::ReadText(std::string_view section, std::string_view name) const {
  SectionKey key(section.empty() ? root_ : OpenSection(section, false, KEY_QUERY_VALUE), !section.empty());
  if (!key) return std::nullopt;
  const std::wstring wname = Widen(name);
  // The value may change between the size query and the read: retry a few times.
  for (int attempt = 0; attempt < 4; ++attempt) {
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(key.get(), wname.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
      return std::nullopt;
    std::string data(size + sizeof(wchar_t), '\0');
    DWORD got = size;
    LONG rc = RegQueryValueExW(key.get(), wname.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &got);
    if (rc == ERROR_MORE_DATA) continue;
    if (rc != ERROR_SUCCESS) return std::nullopt;
    return ValueText(type, reinterpret_cast<const BYTE*>(data.data()), got).text;
  }
  return std::nullopt;
}

int TRegIniFile::ReadInteger(std::string_view section, std::string_view name, int def) const {
  return TextToInteger(ReadText(section, name), def);
}

bool TRegIniFile::ReadBool(std::string_view section, std::string_view name, bool def) const {
  return ReadInteger(section, name, def ? 1 : 0) != 0;
}

bool TRegIniFile::WriteString(std::string_view section, std::string_view name, std::string_view value) {
  SectionKey key(section.empty() ? root_ : OpenSection(section, true, KEY_SET_VALUE), !section.empty());
  if (!key) return false;
  const std::wstring w = Widen(value);
  return RegSetValueExW(key.get(), Widen(name).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(w.c_str()),
                        static_cast<DWORD>((w.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

bool TRegIniFile::WriteInteger(std::string_view section, std::string_view name, int value) {
  return WriteString(section, name, IntToStr(value));
}

bool TRegIniFile::WriteBool(std::string_view section, std::string_view name, bool value) {
  return WriteString(section, name, value ? "1" : "0");
}

bool TRegIniFile::DeleteValue(std::string_view section, std::string_view name) {
  if (!root_) return false;
  SectionKey key(section.empty() ? root_ : OpenSection(section, false, KEY_SET_VALUE), !section.empty());
  if (!key) return !SectionExists(section);  // no section: the value is not there either
  LONG rc = RegDeleteValueW(key.get(), Widen(name).c_str());
  return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND;
}

bool TRegIniFile::EraseSection(std::string_view section) {
  if (!root_ || section.empty()) return false;
  LONG rc = SHDeleteKeyW(root_, Widen(section).c_str());
  return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND;
}

bool TRegIniFile::SectionExists(std::string_view section) const {
  if (!root_) return false;
  if (section.empty()) return true;
  SectionKey key(OpenSection(section, false, KEY_QUERY_VALUE), true);
  return static_cast<bool>(key);
}

bool TRegIniFile::ValueExists(std::string_view section, std::string_view name) const {
  SectionKey key(section.empty() ? root_ : OpenSection(section, false, KEY_QUERY_VALUE), !section.empty());
  if (!key) return false;
  return RegQueryValueExW(key.get(), Widen(name).c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

namespace {
// Names of the subkeys (keys true) or values of an open key.
std::vector<std::string> EnumNames(HKEY key, bool keys) {
  std::vector<std::string> names;
  DWORD maxKey = 0, maxValue = 0;
  RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, &maxKey, nullptr, nullptr, &maxValue, nullptr, nullptr,
                   nullptr);
  std::wstring buf((keys ? maxKey : maxValue) + 2, L'\0');
  for (DWORD i = 0;;) {
    DWORD len = static_cast<DWORD>(buf.size());
    LONG rc = keys ? RegEnumKeyExW(key, i, buf.data(), &len, nullptr, nullptr, nullptr, nullptr)
                   : RegEnumValueW(key, i, buf.data(), &len, nullptr, nullptr, nullptr, nullptr);
    if (rc == ERROR_MORE_DATA) {  // a longer name arrived meanwhile
      buf.resize(buf.size() * 2 + 256);
      continue;
    }
    if (rc != ERROR_SUCCESS) break;
    names.push_back(Narrow(std::wstring_view(buf.data(), len)));
    ++i;
  }
  return names;
}
}  // namespace

std::vector<std::string> TRegIniFile::ReadSections(std::string_view section) const {
  SectionKey key(section.empty() ? root_ : OpenSection(section, false, KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE),
                 !section.empty());
  return key ? EnumNames(key.get(), true) : std::vector<std::string>{};
}

std::vector<std::string> TRegIniFile::ReadSection(std::string_view section) const {
  SectionKey key(section.empty() ? root_ : OpenSection(section, false, KEY_QUERY_VALUE), !section.empty());
  return key ? EnumNames(key.get(), false) : std::vector<std::string>{};
}

TRegSection TRegIniFile::ReadSectionValues(std::string_view section) const {
  TRegSection result;
  SectionKey key(section.empty() ? root_ : OpenSection(section, false, KEY_QUERY_VALUE), !section.empty());
  if (!key) return result;
  result.exists_ = true;
  std::wstring name;
  std::string data;
  auto fitBuffers = [&] {
    DWORD maxName = 0, maxData = 0;
    RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &maxName, &maxData,
                     nullptr, nullptr);
    name.resize(std::max<size_t>(name.size(), maxName + 2));
    data.resize(std::max<size_t>(data.size(), maxData + sizeof(wchar_t)));
  };
  fitBuffers();
  for (DWORD i = 0, grown = 0;;) {
    DWORD nameLen = static_cast<DWORD>(name.size()), size = static_cast<DWORD>(data.size()), type = 0;
    LONG rc = RegEnumValueW(key.get(), i, name.data(), &nameLen, nullptr, &type, reinterpret_cast<BYTE*>(data.data()),
                            &size);
    if (rc == ERROR_MORE_DATA && grown++ < 4) {  // a longer value arrived meanwhile
      fitBuffers();
      name.resize(name.size() * 2);
      data.resize(data.size() * 2);
      continue;
    }
    if (rc == ERROR_MORE_DATA) {  // still growing: skip it rather than loop
      ++i;
      continue;
    }
    if (rc != ERROR_SUCCESS) break;
    ReadValue value = ValueText(type, reinterpret_cast<const BYTE*>(data.data()), size);
    result.values_.emplace(std::wstring(name.data(), nameLen), TRegSection::Value{std::move(value.text), value.form});
    ++i;
    grown = 0;
  }
  return result;
}

// ---- TRegSection ----

bool TRegSection::NoCaseLess::operator()(const std::wstring& a, const std::wstring& b) const {
  return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) ==
         CSTR_LESS_THAN;
}

std::string TRegSection::ReadString(std::string_view name, std::string_view def) const {
  const auto it = values_.find(Widen(name));
  return it != values_.end() && it->second.text ? *it->second.text : std::string(def);
}

int TRegSection::ReadInteger(std::string_view name, int def) const {
  const auto it = values_.find(Widen(name));
  return TextToInteger(it != values_.end() ? it->second.text : std::nullopt, def);
}

bool TRegSection::ReadBool(std::string_view name, bool def) const { return ReadInteger(name, def ? 1 : 0) != 0; }

bool TRegSection::ValueExists(std::string_view name) const { return values_.count(Widen(name)) != 0; }

TValueForm TRegSection::Form(std::string_view name) const {
  const auto it = values_.find(Widen(name));
  return it != values_.end() ? it->second.form : TValueForm::Text;
}

std::vector<std::pair<long long, std::string>> TRegSection::Numbered(std::string_view prefix, long long first,
                                                                     long long last) const {
  std::vector<std::pair<long long, std::string>> items;
  for (const auto& [name, value] : values_) {
    const long long index = NumberedNameIndex(Narrow(name), prefix);
    if (index >= first && index < last) items.emplace_back(index, value.text.value_or(std::string()));
  }
  // Names equal but for case are one value, so every index is there once.
  std::sort(items.begin(), items.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  return items;
}

long long NumberedNameIndex(std::string_view name, std::string_view prefix) {
  if (name.size() <= prefix.size() || !SameText(name.substr(0, prefix.size()), prefix)) return -1;
  const std::string_view digits = name.substr(prefix.size());
  // Longer numbers lie beyond every count a list can store.
  if (digits.size() > 12 || (digits.size() > 1 && digits[0] == '0')) return -1;
  long long index = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return -1;
    index = index * 10 + (c - '0');
  }
  return index;
}

std::vector<long long> NumberedIndexes(const std::vector<std::string>& names, std::string_view prefix,
                                       long long first, long long last) {
  std::vector<long long> indexes;
  for (const std::string& name : names)
    if (const long long i = NumberedNameIndex(name, prefix); i >= first && i < last) indexes.push_back(i);
  std::sort(indexes.begin(), indexes.end());
  indexes.erase(std::unique(indexes.begin(), indexes.end()), indexes.end());
  return indexes;
}

}  // namespace tk
