#include "toolkit/reginifile.h"

#include <shlwapi.h>

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

HKEY OpenOrCreate(HKEY base, std::string_view path) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(base, Widen(path).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                      nullptr) != ERROR_SUCCESS)
    return nullptr;
  return key;
}
}  // namespace

TRegIniFile::TRegIniFile(std::string_view keyPath) : TRegIniFile(HKEY_CURRENT_USER, keyPath) {}

TRegIniFile::TRegIniFile(HKEY base, std::string_view keyPath) : root_(OpenOrCreate(base, keyPath)), path_(keyPath) {}

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

std::string TRegIniFile::ReadString(std::string_view section, std::string_view name, std::string_view def) const {
  SectionKey key(section.empty() ? root_ : OpenSection(section, false, KEY_QUERY_VALUE), !section.empty());
  if (!key) return std::string(def);
  const std::wstring wname = Widen(name);
  // The value may change between the size query and the read: retry a few times.
  for (int attempt = 0; attempt < 4; ++attempt) {
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(key.get(), wname.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
      return std::string(def);
    std::string data(size + sizeof(wchar_t), '\0');
    DWORD got = size;
    LONG rc = RegQueryValueExW(key.get(), wname.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &got);
    if (rc == ERROR_MORE_DATA) continue;
    if (rc != ERROR_SUCCESS) return std::string(def);
    switch (type) {
      case REG_SZ:
      case REG_EXPAND_SZ: {
        std::wstring text(got / sizeof(wchar_t), L'\0');
        memcpy(text.data(), data.data(), text.size() * sizeof(wchar_t));
        while (!text.empty() && text.back() == L'\0') text.pop_back();
        return Narrow(text);
      }
      case REG_DWORD:
        if (got == 4) {
          int32_t v;
          memcpy(&v, data.data(), 4);
          return IntToStr(v);
        }
        return std::string(def);
      case REG_QWORD:
        if (got == 8) {
          int64_t v;
          memcpy(&v, data.data(), 8);
          return IntToStr(v);
        }
        return std::string(def);
      default:
        return std::string(def);
    }
  }
  return std::string(def);
}

int TRegIniFile::ReadInteger(std::string_view section, std::string_view name, int def) const {
  // A missing value must give def itself, so no text default is formatted and parsed.
  const std::string missing = "\x01";
  std::string text = ReadString(section, name, missing);
  if (text == missing) return def;
  return StrToIntDef(text, def);
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

}  // namespace tk
