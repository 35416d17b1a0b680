#pragma once
// What a profile name may hold. The name is a registry key name below Profiles
// (a backslash would nest keys), part of the zip-log file mask and a word of the
// runner's command line, so the file-name special characters are refused.
#include <string>
#include <string_view>

// The characters no profile name may hold: \ / : * ? " < > |
inline constexpr std::string_view ProfileNameBadChars = "\\/:*?\"<>|";

bool IsProfileNameBadChar(char c);
// True when the name holds one of ProfileNameBadChars.
bool ProfileNameHasBadChar(std::string_view name);

class TQbProfile;

// Loads the profile stored under the key of the given name (Profiles\<name>); false, and
// nothing loaded, when the name is empty or has no key. Every program acts on the key,
// whatever its pn holds, so a pn that is not the key's name (in any letter case) gives
// way to it, and *nameWarning (when given) gets the line naming both:
//   Value "pn" in Profiles\Mail2 is "Mail", not the name of its key: read as "Mail2"
// *error gets what TQbProfile::LoadFromRegistry reports.
bool LoadProfileOfKey(TQbProfile& profile, const std::string& name, std::string* error = nullptr,
                      std::string* nameWarning = nullptr);
