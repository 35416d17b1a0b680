#include "migrator/fernoprofile.h"

#include <cmath>

#include "settings/qbprofile.h"
#include "settings/vglobal.h"
#include "toolkit/format.h"
#include "toolkit/strings.h"

namespace {

// Count-prefixed list: <prefix>Count, then <prefix>0, <prefix>1, ...
std::vector<std::string> ReadCountedList(const tk::TRegIniFile& ini, const std::string& key,
                                         const std::string& prefix) {
  // Only the items stored below the count are read, so a damaged count costs nothing.
  const tk::TRegSection values = ini.ReadSectionValues(key);
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
                                   std::string* error) {
  const std::string& key = name;
  AddCompLevel = ini.ReadInteger(key, "AddCompLevel", 6);
  AddArchiveOnly = ini.ReadBool(key, "AddArchiveOnly", false);
  AddResetArchive = ini.ReadBool(key, "AddResetArchive", false);
  AddDirNames = ini.ReadBool(key, "AddDirNames", true);
  AddForceDOS = ini.ReadBool(key, "AddForceDOS", false);
  AddZipTime = ini.ReadBool(key, "AddZipTime", false);
  AddRecurseDirs = ini.ReadBool(key, "AddRecurseDirs", false);
  AddHiddenFiles = ini.ReadBool(key, "AddHiddenFiles", true);
  AddEncrypt = ini.ReadBool(key, "AddEncrypt", false);
  AddSeparateDirs = ini.ReadBool(key, "AddSeparateDirs", false);
  AddMove = ini.ReadBool(key, "AddMove", false);
  AddFreshen = ini.ReadBool(key, "AddFreshen", false);
  AddUpdate = ini.ReadBool(key, "AddUpdate", true);
  AddStoreSuffixes = ini.ReadString(key, "AddStoreSuffixes", OldDefaultStoreSuffixes);
  if (AddStoreSuffixes.empty() || AddStoreSuffixes[0] != ' ') AddStoreSuffixes = " " + AddStoreSuffixes;
  AddStoreSuffixes = tk::UpperCase(AddStoreSuffixes);
  FSpecArgs = tk::TStringList(ReadCountedList(ini, key, "FSpecArgs"));
  FSpecArgsExcl = tk::TStringList(ReadCountedList(ini, key, "FSpecArgsExcl"));
  Password = DecodeOldPassword(ini.ReadString(key, "Password", ""));
  UseDefaultComment = ini.ReadBool(key, "UseDefaultComment", false);
  Comment = tk::JoinLines(ReadCountedList(ini, key, "CommentLine"));
  RootDir = ini.ReadString(key, "RootDir", "");
  DeleteBeforeRunning = ini.ReadBool(key, "DeleteBeforeRunning", false);
  ZipFileName = ini.ReadString(key, "ZipFileName", "");
  MediaLabel = ini.ReadString(key, "MediaLabel", "");
  ProfileName = ini.ReadString(key, "ProfileName", "");
  bool ok = ReadOldFloat(ini, key, "LastRun", 0, &LastRun, error);
  RunOK = ini.ReadBool(key, "RunOK", true);
  ok &= ReadOldFloat(ini, key, "LastTested", 0, &LastTested, error);
  TestOK = ini.ReadBool(key, "TestOK", true);
  StoreAndZip = ini.ReadBool(key, "StoreAndZip", false);
  OnStartup = ini.ReadBool(key, "OnStartup", false);
  ZipFileNameDateFormat = ini.ReadString(key, "ZipFileNameDateFormat", "");
  TargetAsTempDir = ini.ReadBool(key, "TargetAsTempDir", false);
  return ok;
}
