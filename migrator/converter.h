#pragma once
// The one-shot carrying of the old settings layout (root OldQuillbankRootKey, long
// value names, one key per profile under the root) over to the current one. The old
// data is never changed or deleted.
#include <string>
#include <vector>

#include "migrator/fernoprofile.h"

class TQbProfile;

// The conversion switch: "convert" after "-" or "/", in any case.
bool HasConvertSwitch(const std::vector<std::string>& args);

// The old root exists below HKEY_CURRENT_USER and the current root does not.
bool CheckConvertPreconditions();

// Moves <programDir>ComboBox.ini into <appDataDir>Quillbank\ (made when missing),
// unless a ComboBox.ini is already there; nothing when appDataDir is empty. Both
// folders end with a backslash. Failures are ignored.
void MoveComboBoxIni(const std::string& appDataDir, const std::string& programDir);

// Fills a new record (defaults of a new profile) from the old one. A profile that
// cleared the archive bit without including archive-only files loses that option:
// its name and CR LF are added to *archiveList.
void ConvertOldProfile(const TZipProfile& oldProfile, TQbProfile& newProfile,
                       std::string* archiveList);

// What a conversion met that the user should hear about.
struct TConvertReport {
  std::string ArchiveBitProfiles;  // names, each followed by CR LF
  std::string MissingProfiles;     // names in the old list without a key, each + CR LF
  std::string RenamedProfiles;     // lines naming the profiles stored under a name of their own
  std::string UnreadValues;        // lines naming values that were not numbers
  std::string UncopiedValues;      // lines naming values stored as other than text
  std::string UnreadSchedules;     // lines naming the schedules whose time was not a number
  std::string UnknownActions;      // lines naming schedule actions copied as the default
};

// Schedules, settings and profiles, in that order (the preconditions are the
// caller's). localeSeparator is the decimal separator the old data was written with.
void ConvertSchedules(char localeSeparator, TConvertReport& report);
void ConvertSettings(TConvertReport& report);
void ConvertProfiles(char localeSeparator, TConvertReport& report);

// The whole run after the switch: preconditions, ComboBox.ini, schedules, settings,
// profiles. False (and nothing changed) when the preconditions fail.
bool RunConversion(TConvertReport& report);

// Text of the final message box.
std::string FinalMessage(const TConvertReport& report);
