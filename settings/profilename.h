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
