#include "manager/regexport.h"

#include <windows.h>

#include "settings/fernoglobal.h"
#include "settings/fernoini.h"
#include "settings/protocol.h"
#include "settings/vglobal.h"
#include "toolkit/datetime.h"
#include "toolkit/files.h"
#include "toolkit/strings.h"
#include "toolkit/tempfile.h"

namespace {

constexpr const char* kExportedKey = "HKEY_CURRENT_USER\\Software\\Quillbank";

// regedit leaves the file alone when it cannot write it, whatever it returns; only a
// file that is new or newer than before the run was written by it.
struct TFileStamp {
  bool Exists = false;
  FILETIME Written{};
  explicit TFileStamp(const std::string& file) : Exists(tk::FileLastWrite(file, &Written) && FileExistsQuiet(file)) {}
  bool operator==(const TFileStamp& o) const {
    return Exists == o.Exists && (!Exists || CompareFileTime(&Written, &o.Written) == 0);
  }
};

bool ExportByHand(const std::string& file) {
  if (FileExistsQuiet(file)) {
    if (MsgDlg(file + " will be deleted before exporting" + "\r\n\r\n" + "Do you want to delete?", "iwyn") !=
        tk::mrYes)
      return false;
    if (!tk::RemoveFile(file)) {
      MsgDlg(file + " could not be deleted", "ie");
      return false;
    }
  }
  if (RegeditExport(file)) {
    MsgDlg("Profiles and settings are exported(as .reg) to \r\n\r\n" + file, "ii");
    return true;
  }
  MsgDlg("Export failed", "ie");
  return false;
}

// Written beside the backup under a name no file had and moved over it only when
// complete, so a failed export leaves the last good backup as it was.
bool ExportAutomatically(const std::string& folder) {
  const std::string target = tk::IncludeTrailingBackslash(folder) + kAutoExportFileName;
  bool done = false;
  tk::TempFile reserve;   // keeps the fresh name ours while regedit writes it
  if (DirExistsQuiet(folder) && reserve.CreateReserving(folder, "qbe", ".reg")) {
    const std::string fresh = reserve.Path() + ".reg";
    done = RegeditExport(fresh) && MoveFileExW(tk::Widen(fresh).c_str(), tk::Widen(target).c_str(),
                                               MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!done) tk::RemoveFile(fresh);
  }
  if (!done) {
    TFernoIni ini;
    if (ini.GetBeepOnRegBackupError()) PlayBeep(ini);
  }
  return done;
}

}  // namespace

bool RegeditExport(const std::string& fileName, unsigned waitMs) {
  const TFileStamp before(fileName);
  DWORD exitCode = 1;
  if (!StartProgram("regedit.exe /e " + QuoteIfSpaces(fileName) + " " + kExportedKey,
                    {.Show = SW_HIDE, .FeedbackCursor = false, .PriorityClass = NORMAL_PRIORITY_CLASS, .WaitMs = waitMs}, &exitCode))
    return false;
  const TFileStamp after(fileName);
  return exitCode == 0 && after.Exists && !(after == before);
}

bool ExportProfiles(const std::string& folder, const std::string& fileName) {
  return fileName.empty() ? ExportAutomatically(folder) : ExportByHand(fileName);
}

std::string ProposedExportFileName() {
  const std::string name =
      "Qb 2.0 Profiles ( on " + tk::FormatDateTime(TFernoIni().GetDateFormat(), tk::Date()) + " )";
  return tk::ReplaceAll(name, "/", "-");
}

bool ExportProfilesByHand(const std::function<bool(tk::TSaveDialog& dialog)>& runDialog) {
  tk::TSaveDialog SaveDialog1;
  SaveDialog1.Title = "Export profiles, schedules and settings to file";
  SaveDialog1.DefaultExt = "bak";
  SaveDialog1.Filter = "*.bak (in .reg format)|*.bak";
  SaveDialog1.Options = tk::ofOverwritePrompt | tk::ofPathMustExist | tk::ofHideReadOnly | tk::ofEnableSizing;
  SaveDialog1.FileName = ProposedExportFileName();
  const bool chosen = runDialog ? runDialog(SaveDialog1) : SaveDialog1.Execute();
  return chosen && ExportProfiles(tk::ExtractFilePath(SaveDialog1.FileName), SaveDialog1.FileName);
}

bool ExportProfilesAtClose(int profileCount, bool profilesChanged) {
  TFernoIni ini;
  if (!ini.GetBackupToReg() || profileCount < 1 || !profilesChanged) return false;
  return ExportProfiles(ini.GetRegBackupToMyDocuments() ? GetMyDocumentsDir() : ini.GetRegBackupDir(), "");
}
