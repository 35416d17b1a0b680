#pragma once
// The export of all settings (everything below HKEY_CURRENT_USER\Software\Quillbank)
// to a file in registry-export format, written by regedit.exe: by hand to a file the
// user chooses, and automatically when the manager closes.
#include <functional>
#include <string>

#include "toolkit/win_dialogs.h"

// How long an export may take before it counts as failed.
inline constexpr unsigned kRegeditWaitMs = 60000;
// The automatic export's file in its folder.
inline constexpr const char* kAutoExportFileName = "Quillbank 2.0 Profiles.bak";

// Runs "regedit.exe /e <file> HKEY_CURRENT_USER\Software\Quillbank" hidden and waits
// at most waitMs (then ends it). Done only when regedit ended with exit code 0 and
// the file was written by it (regedit reports 0 also when it could not write).
bool RegeditExport(const std::string& fileName, unsigned waitMs = kRegeditWaitMs);

// With a file name: the export by hand to that file, with its questions and messages.
// With an empty file name: the automatic export into the folder, silent (a beep when
// it fails and BeepOnRegBackupError is on); the earlier backup there is replaced only
// by a complete new one. True when the export was done.
bool ExportProfiles(const std::string& folder, const std::string& fileName);

// "Qb 2.0 Profiles ( on <today in DateFormat> )" with every "/" turned into "-".
std::string ProposedExportFileName();

// The export by hand after the profile check: the save dialog with the proposed
// name, then ExportProfiles. runDialog shows the dialog (a test answers it); empty:
// the system's save dialog. False when cancelled or failed.
bool ExportProfilesByHand(const std::function<bool(tk::TSaveDialog& dialog)>& runDialog = nullptr);

// The export at closing: when BackupToReg is on, there is a profile and the
// profiles changed, into My Documents (RegBackupToMyDocuments) or RegBackupDir.
// True when an export was done.
bool ExportProfilesAtClose(int profileCount, bool profilesChanged);
