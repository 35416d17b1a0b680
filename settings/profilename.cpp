#include "settings/profilename.h"

bool IsProfileNameBadChar(char c) { return ProfileNameBadChars.find(c) != std::string_view::npos; }

bool ProfileNameHasBadChar(std::string_view name) {
  return name.find_first_of(ProfileNameBadChars) != std::string_view::npos;
}
