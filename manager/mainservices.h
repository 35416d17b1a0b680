#pragma once
// Services of the main window that the manager's editors call. The main window puts
// its own in place when it starts; before it, after it and in a program without it the
// defaults below serve.
#include <functional>
#include <string>
#include <vector>

// Every profile name: ordinary profiles first, then multi-computer profiles, each in
// list order. Default: the stored profiles in stored order.
extern std::function<std::vector<std::string>()> ListAllProfileNames;
std::vector<std::string> StoredProfileNames();

// The main window's help action (it asks the active dialog for its topic). Default:
// the help topic of the active window (manager/help.h).
extern std::function<void()> RunHelpAction;

class TQbProfile;
// Runs fn on every profile the main window lists (ordinary and multi-computer); fn
// saves what it changes. Default: each profile of ListAllProfileNames loaded from the
// registry.
extern std::function<void(const std::function<void(TQbProfile& profile)>& fn)> ForEachListedProfile;
// Puts the defaults back; the main window calls it when it goes.
void UseStoredProfiles();
