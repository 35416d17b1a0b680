#pragma once
// What renaming and deleting a profile do to the stored settings, kept apart from the
// main window: the profile's key, the name list, the start-up and shut-down lists, the
// schedules, the autoruns and the zip logs. The window's actions ask the user, call
// these, and bring their rows up to date.
#include <string>

#include "settings/fernoini.h"
#include "settings/qbprofile.h"

// The box a new name for a profile is refused with: its text and its letter codes
// (as MsgDlg takes them). An empty text: the name will do.
struct TNameRefusal {
  std::string Text;
  std::string Codes;
};
TNameRefusal RefuseNewProfileName(const TFernoIni& ini, const std::string& newName);

// Renames the profile everywhere its name is kept, and tells the scheduler when one of
// its schedules changed. False when the key could not be moved: then nothing changed.
bool RenameProfile(TFernoIni& ini, const std::string& oldName, const std::string& newName);

// Why the profile may not be deleted (a schedule, the start-up list, an autorun or the
// shut-down list uses it); "" when it may.
std::string ProfileDeleteBlocker(const TFernoIni& ini, const std::string& name);

// Deletes the zip logs and the key of the profile stored under name. The name list is
// the caller's.
void DeleteProfileData(TFernoIni& ini, TQbProfile& profile, const std::string& name);
