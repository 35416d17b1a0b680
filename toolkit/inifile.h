#pragma once
// A plain ini file read and written through the system's profile functions: every
// read and write goes to the file, so several objects and programs can share it.
// No call throws.
#include <string>
#include <string_view>
#include <vector>

namespace tk {

class TIniFile {
 public:
  // The file need not exist; its folder is not created.
  explicit TIniFile(std::string_view fileName);
  TIniFile(const TIniFile&) = delete;
  TIniFile& operator=(const TIniFile&) = delete;

  const std::string& FileName() const { return fileName_; }

  // The value's text (blanks around it and one pair of enclosing quotes removed, as
  // the system reads ini values); def when the file, section or value is missing.
  std::string ReadString(std::string_view section, std::string_view ident, std::string_view def) const;
  // The value read as an integer (tk::TryStrToInt rules); otherwise def.
  int ReadInteger(std::string_view section, std::string_view ident, int def) const;
  // Names of the values of a section (none when the file or section is missing).
  std::vector<std::string> ReadSection(std::string_view section) const;
  // A file that does not exist yet is made as UTF-16 text first, so that every
  // character of a value survives (a new file would otherwise take the ANSI code
  // page). False when the file cannot be written.
  bool WriteString(std::string_view section, std::string_view ident, std::string_view value);

 private:
  std::string fileName_;
};

}  // namespace tk
