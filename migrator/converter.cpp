#include "migrator/converter.h"

#include <windows.h>

#include <algorithm>
#include <memory>

#include "settings/fernoini.h"
#include "settings/foconsts.h"
#include "settings/foschedules.h"
#include "settings/profilename.h"
#include "settings/qbprofile.h"
#include "settings/vglobal.h"
#include "toolkit/files.h"
#include "toolkit/format.h"
#include "toolkit/stringlist.h"
#include "toolkit/strings.h"

namespace {

bool KeyExists(const char* path) {
  HKEY key = nullptr;
  const LONG r = RegOpenKeyExW(HKEY_CURRENT_USER, tk::Widen(path).c_str(), 0, KEY_READ, &key);
  if (r == ERROR_SUCCESS) RegCloseKey(key);
  // Any answer other than "not there" counts as there: the conversion must not run
  // over a current layout it could not look at.
  return r != ERROR_FILE_NOT_FOUND;
}

// Sets the process decimal separator for the life of the object, then '.' again.
class TDecimalSeparatorScope {
 public:
  explicit TDecimalSeparatorScope(char sep) { tk::SetDecimalSeparator(sep); }
  ~TDecimalSeparatorScope() { tk::SetDecimalSeparator('.'); }
};

// The old store, which must be made while the old names are in force.
std::unique_ptr<TFernoIni> OpenOldStore() {
  SetOldRegistryNames();
  return std::make_unique<TFernoIni>();
}

std::unique_ptr<TFernoIni> OpenNewStore() {
  SetNewRegistryNames();
  return std::make_unique<TFernoIni>();
}

// A name of the old profile list that has a key of its own under the old root.
bool OldProfileExists(const TFernoIni& oldIni, const std::string& name) {
  return !name.empty() && oldIni.SectionExists(name);
}

// The two stores side by side; the section names are globals, so the old names are
// put in force for each read and the current ones for each write.
class TSettingsCopier {
 public:
  TSettingsCopier() : old_(OpenOldStore()), new_(OpenNewStore()) {}

  template <class Get, class Set>
  void Carry(Get get, Set set) {
    SetOldRegistryNames();
    auto value = ((*old_).*get)();
    SetNewRegistryNames();
    ((*new_).*set)(value);
  }
  template <class Get, class Set>
  void CarryIndexed(Get get, Set set, int index) {
    SetOldRegistryNames();
    auto value = ((*old_).*get)(index);
    SetNewRegistryNames();
    ((*new_).*set)(index, value);
  }


 private:
  std::unique_ptr<TFernoIni> old_, new_;
};

#define QB_CARRY(copier, Name) (copier).Carry(&TFernoIni::Get##Name, &TFernoIni::Set##Name)

}  // namespace

bool HasConvertSwitch(const std::vector<std::string>& args) {
  for (const std::string& arg : args)
    if (arg.size() > 1 && (arg[0] == '-' || arg[0] == '/') && tk::SameText(arg.substr(1), "convert"))
      return true;
  return false;
}

bool CheckConvertPreconditions() {
  return KeyExists(OldQuillbankRootKey) && !KeyExists(QuillbankRootKey);
}

void MoveComboBoxIni(const std::string& appDataDir, const std::string& programDir) {
  if (appDataDir.empty()) return;
  const std::string folder = appDataDir + "Quillbank";
  if (!tk::DirectoryExists(folder)) tk::ForceDirectories(folder);
  const std::string target = folder + "\\ComboBox.ini";
  const std::string source = programDir + "ComboBox.ini";
  if (tk::FileExists(target) || !tk::FileExists(source)) return;
  // The program folder and the user's folder may lie on different volumes.
  MoveFileExW(tk::Widen(source).c_str(), tk::Widen(target).c_str(), MOVEFILE_COPY_ALLOWED);
}

void ConvertOldProfile(const TZipProfile& o, TQbProfile& n, std::string* archiveList) {
  // The old level 6 was the old default; the current default level is 5.
  n.cf = o.AddCompLevel == 6 ? 5 : o.AddCompLevel;
  n.b->SetFlag(poArchiveOnly, o.AddArchiveOnly);
  n.b->SetFlag(poClearArchive, o.AddResetArchive);
  if (o.AddResetArchive && !o.AddArchiveOnly) {
    // Clearing the archive bit of every zipped file is only offered together with
    // "Include archive only" now.
    n.b->SetFlag(poClearArchive, false);
    if (archiveList) *archiveList += o.ProfileName + "\r\n";
  }
  n.b->SetFlag(poNoFolderNames, !o.AddDirNames);
  n.b->SetFlag(poShortNames, o.AddForceDOS);
  n.b->SetFlag(poZipTimeOfNewest, o.AddZipTime);
  bool recurse = false;
  std::vector<std::string> includes;
  for (const std::string& spec : o.FSpecArgs.Items()) {
    // An entry begins with its recursion mark, ">" or a blank; an entry without one
    // is kept whole, so that a path is never cut.
    const bool marked = !spec.empty() && (spec[0] == '>' || spec[0] == ' ');
    if (marked && spec[0] == '>') recurse = true;
    includes.push_back(marked ? spec.substr(1) : spec);
  }
  n.b->SetFlag(poRecurse, recurse);
  n.b->SetFlag(poHiddenAndSystem, o.AddHiddenFiles);
  n.b->SetFlag(poStoreAndZip, o.StoreAndZip);
  n.b->SetFlag(poDeleteZipFirst, o.DeleteBeforeRunning);
  n.b->SetFlag(poDefaultComment, o.UseDefaultComment);
  n.b->SetFlag(poTempInTarget, o.TargetAsTempDir);
  n.ecmd = o.AddFreshen ? 1 : (o.AddUpdate ? 3 : 4);
  n.ssuf.clear();
  n.il = tk::ToCommaText(includes);
  if (o.FSpecArgsExcl.Count() > 0) n.ef = o.FSpecArgsExcl.CommaText();
  n.ec = o.Password;
  n.cmt = tk::ToCommaText(tk::SplitLines(o.Comment));
  n.adt = 0;
  n.bdir = o.RootDir;
  n.lrun = o.LastRun;
  n.ltst = o.LastTested;
  n.pn = o.ProfileName;
  n.ml = o.MediaLabel;
  n.zfndf = o.ZipFileNameDateFormat;
  n.ztk = -1;
  n.ze = 0;
  n.te = 0;
  n.nrl = 0;
  n.efil.clear();
  n.SetZipFile(o.ZipFileName);
}

void ConvertSchedules(char localeSeparator, TConvertReport& report) {
  std::vector<std::unique_ptr<TFoSchedule>> items;
  {
    TDecimalSeparatorScope sep(localeSeparator);
    auto oldIni = OpenOldStore();
    for (int n : StoredScheduleNumbers()) {
      auto item = std::make_unique<TFoSchedule>();
      const std::string key = ScheduleKey(n);
      // The record reads the time only in the '.' form; the old programs wrote it
      // with the user's separator, so the time is read again here.
      item->LoadFromRegistry(key);
      // A time that is no number would become midnight, a time the user never chose:
      // such a schedule stays behind, and the final message names it.
      if (!ReadOldFloat(*oldIni, key, "ScheduleTime", 0, &item->Time, &report.UnreadSchedules)) continue;
      // The record keeps the action in a byte: 300 would become 44.
      const std::string action = oldIni->ReadString(key, "Action", "0");
      if (const int code = tk::StrToIntDef(action, 0); code < 0 || code > 2) {
        item->Action = 0;
        report.UnknownActions += "Value \"Action\" in " + key + " is not a known action: \"" + action + "\"\r\n";
      }
      items.push_back(std::move(item));
    }
  }
  SetNewRegistryNames();
  TFoSchedules schedules;
  for (auto& item : items) schedules.Add(item.release());
  schedules.SaveAll();
}

void ConvertSettings(TConvertReport& /*report*/) {
  TSettingsCopier c;
  // The profile list is the profiles step's: the names the profiles were stored under.
  for (int i = 0; i <= 7; ++i) c.CarryIndexed(&TFernoIni::GetColWidth, &TFernoIni::SetColWidth, i);
  QB_CARRY(c, FormLeft);
  QB_CARRY(c, FormTop);
  QB_CARRY(c, FormWidth);
  QB_CARRY(c, FormHeight);
  QB_CARRY(c, ShowFNOnRun);
  QB_CARRY(c, MaskPassword);
  QB_CARRY(c, AllowUndo);
  for (int i = 1; i <= 2; ++i)
    c.CarryIndexed(&TFernoIni::GetProgressColor, &TFernoIni::SetProgressColor, i);
  QB_CARRY(c, ColorProgressbar);
  QB_CARRY(c, StartupDelay);
  QB_CARRY(c, LastProfile);
  QB_CARRY(c, AutoRefresh);
  QB_CARRY(c, StartupProfiles);
  // ScheduleCount is the schedules step's: the number of entries it copied.
  QB_CARRY(c, Use2ColorView);
  QB_CARRY(c, ToRefresh);
  QB_CARRY(c, Contrast);
  QB_CARRY(c, Contrast2);
  QB_CARRY(c, AllRunsOK);
  QB_CARRY(c, AllTestsOK);
  QB_CARRY(c, LastSchedule);
  c.Carry(&TFernoIni::GetDefCmt, &TFernoIni::Setdcmt);
  QB_CARRY(c, DateFormat);  // read with the old default "mmm-dd-yyyy"
  QB_CARRY(c, IncludeTime);
  QB_CARRY(c, BackupToReg);
  QB_CARRY(c, RegBackupDir);
  QB_CARRY(c, DoNotVerifyAppFileVersions);
  QB_CARRY(c, bRunFromScheduler);
  QB_CARRY(c, AlternateColor);
  QB_CARRY(c, AlternateColor2);
  QB_CARRY(c, TempDirectory);
  QB_CARRY(c, ZipFileSizeUnit);
  QB_CARRY(c, ZipFileSizePrecision);
  QB_CARRY(c, SchedulerOnStartup);
  QB_CARRY(c, XPMenu);
  QB_CARRY(c, DisableStartupProfiles);
  SetNewRegistryNames();
}

namespace {

bool HasName(const std::vector<std::string>& names, const std::string& name) {
  return std::any_of(names.begin(), names.end(), [&](const std::string& n) { return tk::SameText(n, name); });
}

// The name an old profile can have now: without blanks around it, each character that
// a profile name may not hold (a backslash would nest keys) made a '_', the old key's
// name when nothing is left.
std::string UsableName(const std::string& wanted, const std::string& key) {
  std::string name = tk::Trim(wanted);
  if (name.empty()) name = key;
  for (char& c : name)
    if (IsProfileNameBadChar(c)) c = '_';
  return name;
}

// name, or when a profile took it (registry keys ignore case), name (2), name (3), ...
std::string FreeName(const std::string& name, const std::vector<std::string>& taken) {
  std::string free = name;
  for (int n = 2; HasName(taken, free); ++n) free = name + " (" + std::to_string(n) + ")";
  return free;
}

// One profile: old names and a fresh store to read, current names and a fresh store
// to write. The name it was stored under, "" when its key is missing.
std::string ConvertOneProfile(const std::string& key, bool temporary, const std::vector<std::string>& taken,
                              char localeSeparator, TConvertReport& report) {
  TZipProfile oldProfile;
  {
    TDecimalSeparatorScope sep(localeSeparator);
    auto oldIni = OpenOldStore();
    if (!OldProfileExists(*oldIni, key)) {
      report.MissingProfiles += key + "\r\n";
      SetNewRegistryNames();
      return "";
    }
    oldProfile.LoadFromRegistry(*oldIni, key, &report.UnreadValues, &report.UncopiedValues);
  }
  // The temporary profile is found by its name; every other one gets a name of its own,
  // so that no profile is written over another.
  const std::string wanted = oldProfile.ProfileName.empty() ? key : oldProfile.ProfileName;
  const std::string name = temporary ? std::string(TempProfileName) : FreeName(UsableName(wanted, key), taken);
  if (!temporary && name != wanted)
    report.RenamedProfiles += "\"" + wanted + "\" (old key " + key + ") is now \"" + name + "\"\r\n";
  oldProfile.ProfileName = name;
  SetNewRegistryNames();
  TQbProfile newProfile;
  ConvertOldProfile(oldProfile, newProfile, &report.ArchiveBitProfiles);
  newProfile.SaveToRegistry();
  return name;
}

}  // namespace

void ConvertProfiles(char localeSeparator, TConvertReport& report) {
  std::vector<std::string> keys;
  bool hasTemporary = false;
  {
    auto oldIni = OpenOldStore();
    hasTemporary = OldProfileExists(*oldIni, TempProfileName);
    if (hasTemporary) keys.push_back(TempProfileName);
    // A key listed twice is one profile.
    for (std::string& name : oldIni->GetProfileNames())
      if (!HasName(keys, name)) keys.push_back(std::move(name));
  }
  SetNewRegistryNames();
  // The temporary profile's name is kept for it, listed or not.
  std::vector<std::string> taken = {TempProfileName}, listed;
  for (size_t i = 0; i < keys.size(); ++i) {
    const bool temporary = hasTemporary && i == 0;
    const std::string name = ConvertOneProfile(keys[i], temporary, taken, localeSeparator, report);
    if (name.empty() || temporary) continue;
    taken.push_back(name);
    listed.push_back(name);
  }
  // The list holds exactly the names the profiles were stored under.
  auto newIni = OpenNewStore();
  newIni->SetProfileCount(static_cast<int>(listed.size()));
  for (size_t i = 0; i < listed.size(); ++i) newIni->SetProfileName(static_cast<int>(i), listed[i]);
}

bool RunConversion(TConvertReport& report) {
  const char localeSeparator = tk::LocaleDecimalSeparator();
  if (!CheckConvertPreconditions()) return false;
  MoveComboBoxIni(GetAppDataDir(), tk::ProgramDir());
  ConvertSchedules(localeSeparator, report);
  ConvertSettings(report);
  ConvertProfiles(localeSeparator, report);
  return true;
}

std::string FinalMessage(const TConvertReport& report) {
  std::string text = "Profiles & settings have been copied to \"New Format\".\r\n\r\n";
  bool first = true;
  // Each list that is not empty, after its heading, one blank line between two lists.
  const auto section = [&](const std::string& heading, const std::string& lines) {
    if (lines.empty()) return;
    if (!first) text += "\r\n";
    first = false;
    text += heading + lines;
  };
  section("The following profiles used \"Clear archive bit\" without\r\n"
          "using \"Include archive only\". That is NOT possible now.\r\n\r\n",
          report.ArchiveBitProfiles);
  section("The following profiles of the old list were not found and have not been copied:\r\n\r\n",
          report.MissingProfiles);
  section("The following profiles had a name that was taken or cannot be used and have been copied "
          "under another:\r\n\r\n",
          report.RenamedProfiles);
  section("The following values were not numbers and have been copied as 0:\r\n\r\n", report.UnreadValues);
  section("The following values were not stored as text and have not been copied as they were:\r\n\r\n",
          report.UncopiedValues);
  section("The following schedules could not be read and have not been copied:\r\n\r\n", report.UnreadSchedules);
  section("The following schedule actions are not known and have been copied as \"Run\":\r\n\r\n",
          report.UnknownActions);
  return text;
}
