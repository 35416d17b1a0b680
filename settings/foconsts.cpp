#include "settings/foconsts.h"

bool UseShortNames = true;
std::string GeneralSection;
std::string TempProfileName;
std::string ProfilesKey;
std::string ProfileNamesSection;
std::string SchedulesKey;
std::string OldScheduleKeyPrefix;

std::string ProfileKey(const std::string& name) { return ProfilesKey.empty() ? name : ProfilesKey + "\\" + name; }

void SetNewRegistryNames() {
  UseShortNames = true;
  GeneralSection = "Options\\General";
  TempProfileName = "TempProfile";
  ProfilesKey = "Profiles";
  ProfileNamesSection = "Profile Names";
  SchedulesKey = "Schedules";
  OldScheduleKeyPrefix.clear();
}

void SetOldRegistryNames() {
  UseShortNames = false;
  GeneralSection = "Global Options";
  TempProfileName = "TempProfile";
  ProfilesKey.clear();
  ProfileNamesSection = "Quillbank Profile Names";
  SchedulesKey.clear();
  OldScheduleKeyPrefix = "Schedule";
}

namespace {
// Every program starts on the current layout; the strings above are constructed
// before this runs (same file, earlier definitions).
const bool currentLayoutSet = (SetNewRegistryNames(), true);
}  // namespace
