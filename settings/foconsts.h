#pragma once
// Registry names shared by every program: the root keys and the section names of the
// settings layout. The section names are globals because the converter switches
// between the old and the current layout; the store reads them at each call, so a
// switch redirects the next call.
#include <string>

// Root of the current layout, below HKEY_CURRENT_USER.
inline constexpr const char* QuillbankRootKey = "Software\\Quillbank";
// Root of the old layout (version 1 of the product), below HKEY_CURRENT_USER. Only
// the converter opens it: it reads from here and writes to QuillbankRootKey.
inline constexpr const char* OldQuillbankRootKey = "Software\\Quillbank 1";

// The log-on start entry of the scheduler: value RunValueName in RunKey of the
// current user.
inline constexpr const char* RunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr const char* RunValueName = "Quillbank";

// The layout in force. Current layout (SetNewRegistryNames) / old layout
// (SetOldRegistryNames):
//   UseShortNames        true                false
//   GeneralSection       "Options\General"   "Global Options"
//   TempProfileName      "TempProfile"       "TempProfile"
//   ProfilesKey          "Profiles"          "" (profiles lie directly under the root)
//   ProfileNamesSection  "Profile Names"     "Quillbank Profile Names"
//   SchedulesKey         "Schedules"         ""
//   OldScheduleKeyPrefix ""                  "Schedule" (entries Schedule1, Schedule2, ...)
// The current layout is set before main() runs in every program.
extern bool UseShortNames;
extern std::string GeneralSection;
extern std::string TempProfileName;
extern std::string ProfilesKey;
extern std::string ProfileNamesSection;
extern std::string SchedulesKey;
extern std::string OldScheduleKeyPrefix;

// The key of the named profile below the settings root: ProfilesKey\name, or the name
// alone where profiles lie directly under the root.
std::string ProfileKey(const std::string& name);

void SetNewRegistryNames();
void SetOldRegistryNames();
