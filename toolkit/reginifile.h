#pragma once
// A string-valued registry store: an open root key whose subkeys are sections and
// whose REG_SZ values are the settings. Every read goes to the registry (no cache),
// so several programs can share the key; no call throws.
#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

namespace tk {

class TRegIniFile {
 public:
  // Opens (creating when missing) HKEY_CURRENT_USER\<keyPath> for full access.
  explicit TRegIniFile(std::string_view keyPath);
  // Opens (creating when missing) <base>\<keyPath> for full access.
  TRegIniFile(HKEY base, std::string_view keyPath);
  virtual ~TRegIniFile();
  TRegIniFile(const TRegIniFile&) = delete;
  TRegIniFile& operator=(const TRegIniFile&) = delete;

  // Did the root key open? When not, reads give their defaults and writes fail.
  bool IsOpen() const { return root_ != nullptr; }
  const std::string& FileName() const { return path_; }
  HKEY RootKey() const { return root_; }

  // A section is a subkey path below the root ("Profiles\Docs"); "" is the root.
  // Reading: a REG_SZ or REG_EXPAND_SZ value reads as its text (not expanded), a
  // REG_DWORD as its signed 32-bit decimal text, a REG_QWORD as its signed 64-bit one; any other
  // type, a missing value or a missing section gives the default.
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

 private:
  HKEY OpenSection(std::string_view section, bool create, REGSAM access) const;
  HKEY root_ = nullptr;
  std::string path_;
};

}  // namespace tk
