#include "manager/mainservices.h"

#include "manager/help.h"

#include "settings/fernoini.h"
#include "settings/profilename.h"
#include "settings/qbprofile.h"

std::vector<std::string> StoredProfileNames() {
  TFernoIni ini;
  std::vector<std::string> ordinary, multi;
  for (const std::string& name : ini.GetProfileNames()) {
    if (name.empty()) continue;
    TQbProfile p;
    p.LoadFromRegistry(name);
    (p.IsMultiComputer() ? multi : ordinary).push_back(name);
  }
  ordinary.insert(ordinary.end(), multi.begin(), multi.end());
  return ordinary;
}

namespace {
void ForEachStoredProfile(const std::function<void(TQbProfile& profile)>& fn) {
  for (const std::string& name : ListAllProfileNames()) {
    TQbProfile p;
    // A profile whose key is gone has no name to save under; one that has goes back to it.
    if (LoadProfileOfKey(p, name)) fn(p);
  }
}
}  // namespace

std::function<std::vector<std::string>()> ListAllProfileNames = StoredProfileNames;
std::function<void()> RunHelpAction = [] { ShowHelpTopic(""); };
std::function<void(const std::function<void(TQbProfile& profile)>& fn)> ForEachListedProfile = ForEachStoredProfile;

void UseStoredProfiles() {
  ListAllProfileNames = StoredProfileNames;
  ForEachListedProfile = ForEachStoredProfile;
}
