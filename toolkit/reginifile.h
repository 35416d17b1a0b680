#pragma once
// A string-valued registry store: an open root key whose subkeys are sections and
// whose REG_SZ values are the settings. Every read goes to the registry (no cache),
// so several programs can share the key; no call throws.
#include <windows.h>

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tk {

// How a value was stored, beside the text it reads as (see TRegIniFile::ReadString):
// as text; as text holding a NUL character, read up to it; as a number, read as its
// decimal text; or as another type, read as missing.
enum class TValueForm { Text, TextCutAtNul, Number, OtherType };

// The values of one section as they were when it was read: the key opened once and
// every value taken with its data in one pass, for loaders of records of many values
// (each read of TRegIniFile opens the key again). The getters follow the rules of
// TRegIniFile's; names compare without regard to case, as the registry compares them.
class TRegSection {
 public:
  // Did the section's key exist when it was read?
  bool Exists() const { return exists_; }
  std::string ReadString(std::string_view name, std::string_view def) const;
  int ReadInteger(std::string_view name, int def) const;
  bool ReadBool(std::string_view name, bool def) const;
  bool ValueExists(std::string_view name) const;
  // Text for a missing value.
  TValueForm Form(std::string_view name) const;
  // The values named prefix + a decimal index (without leading zeros) whose index lies
  // in [first, last), in index order: what a counted list really holds, however large
  // its stored count, at the cost of the values present.
  std::vector<std::pair<long long, std::string>> Numbered(std::string_view prefix, long long first,
                                                          long long last) const;

 private:
  friend class TRegIniFile;
  struct NoCaseLess {
    bool operator()(const std::wstring& a, const std::wstring& b) const;
  };
  bool exists_ = false;
  struct Value {
    std::optional<std::string> text;  // nullopt for a type that reads as the default
    TValueForm form = TValueForm::Text;
  };
  std::map<std::wstring, Value, NoCaseLess> values_;
};

// The index of a name made of prefix (without regard to case) and a decimal number
// without leading zeros, as counted lists write them; -1 for any other name.
long long NumberedNameIndex(std::string_view name, std::string_view prefix);
// The indexes in [first, last) of the names that NumberedNameIndex reads, sorted, each once.
std::vector<long long> NumberedIndexes(const std::vector<std::string>& names, std::string_view prefix,
                                       long long first, long long last);

class TRegIniFile {
 public:
  // Opens (creating when missing) HKEY_CURRENT_USER\<keyPath> for full access.
  explicit TRegIniFile(std::string_view keyPath);
  // Opens (creating when missing) <base>\<keyPath> for full access.
  TRegIniFile(HKEY base, std::string_view keyPath);
  // The same, but with createMissing false a missing key is not made: IsOpen() is false,
  // and a key deleted while open takes no more writes (they fail).
  TRegIniFile(HKEY base, std::string_view keyPath, bool createMissing);
  virtual ~TRegIniFile();
  TRegIniFile(const TRegIniFile&) = delete;
  TRegIniFile& operator=(const TRegIniFile&) = delete;

  // Did the root key open? When not, reads give their defaults and writes fail.
  bool IsOpen() const { return root_ != nullptr; }
  HKEY RootKey() const { return root_; }

  // A section is a subkey path below the root ("Profiles\Docs"); "" is the root.
  // Reading: a REG_SZ value reads as its text up to its first NUL character, as Windows
  // programs read it, a REG_EXPAND_SZ one the same with the environment's variables
  // put in (%APPDATA%\Backup.zip); a REG_DWORD as its signed 32-bit
  // decimal text, a REG_QWORD as its signed 64-bit one; any other type, a missing value or
  // a missing section gives the default.
  std::string ReadString(std::string_view section, std::string_view name,
                         std::string_view def) const;
  // Reads the text as an integer (tk::TryStrToInt rules); otherwise def.
  int ReadInteger(std::string_view section, std::string_view name, int def) const;
  // ReadInteger with def's 0/1; any non-zero integer is true.
  bool ReadBool(std::string_view section, std::string_view name, bool def) const;

  // Writes a REG_SZ value, creating the section key as needed; false on failure.
  bool WriteString(std::string_view section, std::string_view name, std::string_view value);
  bool WriteInteger(std::string_view section, std::string_view name, int value);  // decimal text
  bool WriteBool(std::string_view section, std::string_view name, bool value);    // "1" / "0"

  // Deletes one value; true when it is gone afterwards (also when it never existed).
  bool DeleteValue(std::string_view section, std::string_view name);
  // The toolkit's name for DeleteValue: deletes the value `ident`, not a key.
  bool DeleteKey(std::string_view section, std::string_view ident) { return DeleteValue(section, ident); }
  // Deletes the section's key with everything below it; "" erases nothing.
  bool EraseSection(std::string_view section);

  bool SectionExists(std::string_view section) const;
  bool KeyExists(std::string_view section) const { return SectionExists(section); }
  bool ValueExists(std::string_view section, std::string_view name) const;
  // Names of the subkeys of the root (section "") or of the given section.
  std::vector<std::string> ReadSections(std::string_view section = {}) const;
  // Names of the values of a section.
  std::vector<std::string> ReadSection(std::string_view section) const;
  // Every value of a section at once (see TRegSection).
  TRegSection ReadSectionValues(std::string_view section) const;

 private:
  // The text of a value by the rules of ReadString; nullopt where it gives the default.
  std::optional<std::string> ReadText(std::string_view section, std::string_view name) const;
  HKEY OpenSection(std::string_view section, bool create, REGSAM access) const;
  HKEY root_ = nullptr;
};

}  // namespace tk
