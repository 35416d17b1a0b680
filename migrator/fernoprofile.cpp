#include "migrator/fernoprofile.h"

#include <cmath>

#include "settings/qbprofile.h"
#include "settings/vglobal.h"
#include "toolkit/format.h"
#include "toolkit/strings.h"

namespace {

// Count-prefixed list: <prefix>Count, then <prefix>0, <prefix>1, ...
std::vector<std::string> ReadCountedList(const tk::TRegSection& values, const std::string& prefix) {
  // Only the items stored below the count are read, so a damaged count costs nothing.
  std::vector<std::string> items;
  for (auto& item : values.Numbered(prefix, 0, values.ReadInteger(prefix + "Count", 0)))
    items.push_back(std::move(item.second));
  return items;
}

// The old programs kept the password in the ANSI code page, every byte inverted, each
// byte one character of that code page in the stored text.
std::string DecodeOldPassword(const std::string& stored) {
  const std::string ansi = InvertChars(tk::WideToAnsiBytes(tk::Widen(stored)));
  return tk::Narrow(tk::AnsiBytesToWide(ansi));
}

// The values carried over whose stored form is not what they are read as: every text
// value (and list item) not stored as plain text, every number or flag stored so that it
// reads as missing or cut at a NUL. Each line + CR LF. The day counts are ReadOldFloat's.
std::string UncopiedValueLines(const tk::TRegSection& v, const std::string& key) {
  std::string lines;
  const auto check = [&](const std::string& name, bool text) {
    const tk::TValueForm form = v.Form(name);
    if (form == tk::TValueForm::Text || (!text && form == tk::TValueForm::Number)) return;
    lines += StoredFormText(v, key, name) + "\r\n";
  };
  for (const char* name : {"AddCompLevel", "AddArchiveOnly", "AddResetArchive", "AddDirNames", "AddForceDOS",
                           "AddZipTime", "AddHiddenFiles", "AddFreshen", "AddUpdate", "FSpecArgsCount",
                           "FSpecArgsExclCount", "UseDefaultComment", "CommentLineCount", "DeleteBeforeRunning",
                           "StoreAndZip", "TargetAsTempDir"})
    check(name, false);
  for (const char* name : {"Password", "RootDir", "ZipFileName", "MediaLabel", "ProfileName", "ZipFileNameDateFormat"})
    check(name, true);
  for (const char* prefix : {"FSpecArgs", "FSpecArgsExcl", "CommentLine"})
    for (const auto& item : v.Numbered(prefix, 0, v.ReadInteger(std::string(prefix) + "Count", 0)))
      check(prefix + std::to_string(item.first), true);
  return lines;
}

}  // namespace

bool ReadOldFloat(const tk::TRegIniFile& ini, const std::string& section, const std::string& name,
                  double def, double* value, std::string* error) {
  *value = def;
  if (!ini.ValueExists(section, name)) return true;
  const std::string text = ini.ReadString(section, name, "");
  double parsed = 0;
  if ((tk::TryStrToFloat(text, &parsed, tk::DecimalSeparator()) ||
       tk::TryStrToFloat(text, &parsed, '.')) &&
      std::isfinite(parsed)) {
    *value = parsed;
    return true;
  }
  if (error) *error += NotANumberText(section, name, text) + "\r\n";
  return false;
}

bool TZipProfile::LoadFromRegistry(const tk::TRegIniFile& ini, const std::string& name,
                                   std::string* error, std::string* uncopied) {
  const std::string& key = name;
  const tk::TRegSection v = ini.ReadSectionValues(key);
  AddCompLevel = v.ReadInteger("AddCompLevel", 6);
  AddArchiveOnly = v.ReadBool("AddArchiveOnly", false);
  AddResetArchive = v.ReadBool("AddResetArchive", false);
  AddDirNames = v.ReadBool("AddDirNames", true);
  AddForceDOS = v.ReadBool("AddForceDOS", false);
  AddZipTime = v.ReadBool("AddZipTime", false);
  AddRecurseDirs = v.ReadBool("AddRecurseDirs", false);
  AddHiddenFiles = v.ReadBool("AddHiddenFiles", true);
  AddEncrypt = v.ReadBool("AddEncrypt", false);
  AddSeparateDirs = v.ReadBool("AddSeparateDirs", false);
  AddMove = v.ReadBool("AddMove", false);
  AddFreshen = v.ReadBool("AddFreshen", false);
  AddUpdate = v.ReadBool("AddUpdate", true);
  AddStoreSuffixes = v.ReadString("AddStoreSuffixes", OldDefaultStoreSuffixes);
  if (AddStoreSuffixes.empty() || AddStoreSuffixes[0] != ' ') AddStoreSuffixes = " " + AddStoreSuffixes;
  AddStoreSuffixes = tk::UpperCase(AddStoreSuffixes);
  FSpecArgs = tk::TStringList(ReadCountedList(v, "FSpecArgs"));
  FSpecArgsExcl = tk::TStringList(ReadCountedList(v, "FSpecArgsExcl"));
  Password = DecodeOldPassword(v.ReadString("Password", ""));
  UseDefaultComment = v.ReadBool("UseDefaultComment", false);
  Comment = tk::JoinLines(ReadCountedList(v, "CommentLine"));
  RootDir = v.ReadString("RootDir", "");
  DeleteBeforeRunning = v.ReadBool("DeleteBeforeRunning", false);
  ZipFileName = v.ReadString("ZipFileName", "");
  MediaLabel = v.ReadString("MediaLabel", "");
  ProfileName = v.ReadString("ProfileName", "");
  bool ok = ReadOldFloat(ini, key, "LastRun", 0, &LastRun, error);
  RunOK = v.ReadBool("RunOK", true);
  ok &= ReadOldFloat(ini, key, "LastTested", 0, &LastTested, error);
  TestOK = v.ReadBool("TestOK", true);
  StoreAndZip = v.ReadBool("StoreAndZip", false);
  OnStartup = v.ReadBool("OnStartup", false);
  ZipFileNameDateFormat = v.ReadString("ZipFileNameDateFormat", "");
  TargetAsTempDir = v.ReadBool("TargetAsTempDir", false);
  if (uncopied) *uncopied += UncopiedValueLines(v, key);
  return ok;
}
