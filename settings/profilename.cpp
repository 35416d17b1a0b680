#include "settings/profilename.h"

#include "settings/fernoini.h"
#include "settings/foconsts.h"
#include "settings/qbprofile.h"
#include "toolkit/strings.h"

bool IsProfileNameBadChar(char c) { return ProfileNameBadChars.find(c) != std::string_view::npos; }

bool ProfileNameHasBadChar(std::string_view name) {
  return name.find_first_of(ProfileNameBadChars) != std::string_view::npos;
}

bool LoadProfileOfKey(TQbProfile& profile, const std::string& name, std::string* error,
                      std::string* nameWarning) {
  const std::string key = ProfileKey(name);
  if (name.empty() || !TFernoIni().SectionExists(key)) return false;
  profile.LoadFromRegistry(name, error);
  if (!tk::SameText(profile.pn, name)) {
    if (nameWarning)
      *nameWarning = "Value \"pn\" in " + key + " is \"" + profile.pn + "\", not the name of its key: read as \"" +
                     name + "\"";
    profile.pn = name;
  }
  return true;
}
