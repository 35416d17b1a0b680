// Test, the delay before the test, split, join and extract.
#include "runner/commands.h"

#include <windows.h>

#include "runner/extrparams.h"
#include "runner/runengine.h"
#include "runner/runstate.h"
#include "settings/fernoglobal.h"
#include "settings/foconsts.h"
#include "settings/vglobal.h"
#include "toolkit/files.h"
#include "toolkit/format.h"
#include "toolkit/strings.h"

namespace {

using U = dz::TUnzipFlag;
using US = dz::TUnzipSubOption;

void ClearUnzipFile(TUnzipFile& u) {
  u.IndexofItem = 0;
  u.Options.Clear();
  u.wUnzipSubOptions.Clear();
  for (TLPStr* t : {&u.lpszZipFile, &u.lpszFileSpec, &u.lpszDestination, &u.lpszDecryptCode})
    t->Clear();
}

bool IsUnzipCancel(int r) { return r == dz::UE_CANCEL || r == dz::UE_SKIPPED; }

void ReportUnzipFailure(const TUnzipFile& u) {
  const int r = u.ResultCode();
  if (r != 0 && !IsUnzipCancel(r)) AddRunFailure(r, UnzipResultText(r));
}

}  // namespace

// ---------------------------------------------------------------------------------
void ShowDelayBeforeTest(TRunProgress& view) {
  view.ShowMajorItem("");
  view.ResetProgress();
  const std::string caption = "Delay before Test";
  const int seconds = view.LongestCustomDelay > 0 ? view.LongestCustomDelay : Runner.Ini->GetRunAndTestDelay();
  if (seconds <= 0) return;
  std::string text = caption + ": " + tk::IntToStr(seconds) + " seconds";
  // A matching line is the user's own choice even when it asks for 0 seconds.
  if (!view.CustomDelayMatched) text += " (default)";
  view.ShowDelay(seconds, caption, text);
}

// ---------------------------------------------------------------------------------
void TestProfileTarget(TRunProgress& view, const TQbProfile& p, const std::string& computer,
                       const std::string& zip) {
  TUnzipFile& u = view.UnzipComponent();
  ClearUnzipFile(u);
  u.IndexofItem = -1;
  u.lpszFileSpec.SetText("*.*");
  u.lpszZipFile.SetText(zip);
  u.Options = TUnzipFlags{U::QuietFlag, U::TestFlag, U::RecurseFlag};
  if (!p.ec.empty()) {
    u.Options.Include(U::DecryptFlag);
    u.lpszDecryptCode.SetText(p.ec);
  }
  if (Runner.Ini->GetDynaZipDiagnostic()) u.Options.Include(U::bDiagnostic);
  u.wUnzipSubOptions = TUnzipSubOptions{US::USO_MINORCANCEL};
  const tk::TDateTime started = tk::Now();
  ExecuteUnzip(u, dz::UNZIP_EXTRACT);
  const int r = u.ResultCode();
  if (r == dz::UE_CANCEL) return;  // cancelled: nothing is recorded
  if (r != 0) AddRunFailure(r, UnzipResultText(r), p.pn, computer);
  RecordTargetResult(TResultKind::Test, p, computer, r, started);
}

void TestProfiles(TRunProgress& view) {
  TFernoIni& ini = *Runner.Ini;
  view.SetBarColors(ini.GetProgressColor(2), ini.GetContrast2());
  if (!Runner.HandOff.bRunningShutdownProfiles) WriteToRefresh();
  view.ShowIcon(TStatusIcon::Test, true);
  for (TStatusIcon icon : {TStatusIcon::Add, TStatusIcon::Update, TStatusIcon::Freshen, TStatusIcon::ArchiveOnly,
                           TStatusIcon::ResetArchive, TStatusIcon::AfterDate, TStatusIcon::DeleteOriginal})
    view.ShowIcon(icon, false);

  const bool runAndTest = Runner.Command == 'B';
  for (int i = 2; i <= Runner.ArgCount() && !Runner.Cancel; ++i) {
    const std::string name = Runner.Arg(i);
    if (!Runner.Selected(name)) continue;
    TQbProfile p;
    if (!LoadNamedProfile(name, "Couldn't test: Profile doesn't exist", p)) continue;
    const bool multi = p.IsMultiComputer();
    if (runAndTest && !multi && (!view.RanOKList || view.RanOKList->IndexOf(name) < 0)) {
      AddRunError(0, "Test skipped, Profile didn't run successfully", name);
      continue;
    }
    if (p.zf.empty()) {
      AddRunFailure(0, "Couldn't test, Profile has no ZIP file name", name);
      continue;
    }
    if (!p.ml.empty() && !MediaMatches(p.ml, p.zf)) {
      AddRunFailure(0, MediaFailureText("Couldn't test", p.ml), name);
      continue;
    }
    view.ShowCaption("Testing  (" + name + ")");
    view.ShowIcon(TStatusIcon::StoreAndZip, p.b->GetFlag(poStoreAndZip));
    view.ShowIcon(TStatusIcon::Password, !p.ec.empty());

    for (const auto& computer : TargetComputers(p)) {
      if (Runner.Cancel) break;
      if (multi && !Runner.ComputerWanted(computer)) continue;
      if (runAndTest && multi && (!view.RanOKList || view.RanOKList->IndexOf(name + "\"" + computer) < 0)) {
        AddRunError(0, "Test skipped, Profile didn't run successfully", name, computer);
        continue;
      }
      const std::string zip = p.GetZipFileName(computer);
      if (!tk::FileExists(zip)) {
        AddRunFailure(0, "Couldn't test, ZIP file \"" + zip + "\" doesn't exist", name, computer);
        continue;
      }
      view.ResetProgress();
      view.ShowFileName(tk::LowerCase(tk::ExtractFileName(zip)));
      TestProfileTarget(view, p, computer, zip);
    }
    if (multi) p.UpdateTestErrorTotal();
  }
  UpdateAllTestsOK();
  NotifyManagerRefresh();
}

// ---------------------------------------------------------------------------------
bool CheckVolumesExist(const std::string& volumePath) {
  const std::string folder = tk::ExtractFilePath(volumePath);
  if (!tk::DirectoryExists(folder.empty() ? std::string(".") : folder)) return false;
  const DWORD files = tk::faReadOnly | tk::faHidden | tk::faSysFile | tk::faArchive;
  const std::string name = tk::ExtractFileName(volumePath);
  // The earlier volumes of a set carry the name with ".z01", ".z02", ... instead of its
  // extension, so a set is seen by them as well as by its last volume.
  for (const std::string& mask : {folder + name, folder + name + ".???", folder + tk::ChangeFileExt(name, ".z??")})
    if (!tk::FindFiles(mask, files).empty()) return true;
  return false;
}

void SplitArchive(TRunProgress& view) {
  const std::string zip = Runner.Arg(2);
  view.ShowCaption("Splitting " + QuoteIfSpaces(zip));
  int64_t volumeSize = tk::StrToInt64Def(Runner.Arg(4), 0);
  TZipFile& z = view.ZipComponent();
  ClearZipFile(z);
  z.CompFactor = 0;
  z.Options.Include(dz::TZipFlag::NoDirectoryNamesFlag);
  if (tk::FileSize(zip) >= 0xFFFFFFFFLL) z.Options.Include(dz::TZipFlag::LargeZIPFilesFlag);
  z.wMultiVolControl = TMultiVolFlags{dz::TMultiVolFlag::MV_USEMULTI, dz::TMultiVolFlag::MV_TOHD};
  z.wZipSubOptions = TZipSubOptions{dz::TZipSubOption::ZSO_MINORCANCEL};
  z.lpszItemList.SetText(QuoteIfSpaces(zip));
  z.lpszZipFile.SetText(Runner.Arg(3));
  z.Reserved3 = &volumeSize;
  ExecuteZip(z, dz::ZIP_ADD, TZipQueries{});
  z.Reserved3 = nullptr;
  const int r = z.ResultCode();
  if (r != 0 && r != dz::ZE_ABORT) AddRunFailure(r, ZipResultText(r));
}

void JoinVolumes(TRunProgress& view) {
  const std::string destination = tk::IncludeTrailingBackslash(Runner.Arg(3));
  view.ShowCaption("Joining to " + destination);
  TUnzipFile& u = view.UnzipComponent();
  ClearUnzipFile(u);
  u.Options = TUnzipFlags{U::RecurseFlag};
  u.wUnzipSubOptions = TUnzipSubOptions{US::USO_MINORCANCEL, US::USO_MVFROMHD};
  u.lpszDestination.SetText(destination);
  u.lpszFileSpec.SetText("*.*");
  u.lpszZipFile.SetText(Runner.Arg(2));
  ExecuteUnzip(u, dz::UNZIP_EXTRACT);
  ReportUnzipFailure(u);
}

bool IsStoredArchiveWrapper(const std::string& zip) {
  TUnzipFile u;
  u.Options = TUnzipFlags{U::QuietFlag};
  u.lpszZipFile.SetText(zip);
  // The wrapper holds stored.zip and nothing else: one match for the name, one item in all.
  u.lpszFileSpec.SetText("stored.zip");
  if (!u.Execute(dz::UNZIP_COUNTMATCHING) || u.ItemCount != 1) return false;
  return u.Execute(dz::UNZIP_OPEN) && u.ItemCount == 1;
}

void ExtractArchive(TRunProgress& view) {
  const TExtrParams& xp = *Runner.ExtrParams;
  std::string destination = xp.destination;
  if (!destination.empty()) {
    if (!tk::DirectoryExists(destination) && !tk::ForceDirectories(destination)) {
      AddRunFailure(0, "Couldn't create destination directory: " + destination);
      return;
    }
  } else {
    destination = view.ChooseFolder("Specify folder to extract");
    if (destination.empty()) return;
  }
  const bool withPassword = !xp.password.empty();
  const std::string masks = xp.masks.empty() ? std::string("*.*") : xp.masks;
  TUnzipFile& u = view.UnzipComponent();
  auto setPassword = [&] {
    if (!withPassword) return;
    u.Options.Include(U::DecryptFlag);
    u.lpszDecryptCode.SetText(xp.password);
  };
  view.ShowIcon(TStatusIcon::Password, withPassword);

  if (!IsStoredArchiveWrapper(xp.zip)) {
    ClearUnzipFile(u);
    u.Options = xp.flags;
    setPassword();
    u.wUnzipSubOptions = TUnzipSubOptions{US::USO_MINORCANCEL};
    u.lpszFileSpec.SetText(masks);
    u.lpszDestination.SetText(destination);
    u.lpszZipFile.SetText(xp.zip);
    view.ResetProgress();
    view.ShowCaption("Extracting " + tk::ExtractFileName(xp.zip));
    view.ShowIcon(TStatusIcon::StoreAndZip, false);
    ExecuteUnzip(u, dz::UNZIP_EXTRACT);
    ReportUnzipFailure(u);
    return;
  }

  const std::string stored = MakeStoredArchivePath();
  if (stored.empty()) {
    AddRunFailure(0, "Couldn't create temporary dir for extracting stored.zip");
    return;
  }
  ClearUnzipFile(u);
  u.Options = xp.flags;
  setPassword();
  u.Options.Include(U::NoDirectoryNamesFlag);
  u.lpszFileSpec.SetText("stored.zip");
  u.lpszDestination.SetText(tk::ExtractFilePath(stored));
  u.lpszZipFile.SetText(xp.zip);
  u.wUnzipSubOptions = TUnzipSubOptions{US::USO_MINORCANCEL};
  view.ShowCaption("Extracting stored.zip");
  view.ShowIcon(TStatusIcon::StoreAndZip, true);
  if (ExecuteUnzip(u, dz::UNZIP_EXTRACT)) {
    ClearUnzipFile(u);
    u.Options = xp.flags;
    u.Options.Exclude(U::DecryptFlag);
    u.wUnzipSubOptions = TUnzipSubOptions{US::USO_MINORCANCEL};
    u.lpszFileSpec.SetText(masks);
    u.lpszDestination.SetText(destination);
    u.lpszZipFile.SetText(stored);
    view.ShowCaption("Extracting " + tk::ExtractFileName(xp.zip));
    ExecuteUnzip(u, dz::UNZIP_EXTRACT);
    ReportUnzipFailure(u);
  } else if (!IsUnzipCancel(u.ResultCode())) {
    AddRunFailure(u.ResultCode(), "Couldn't extract temp ZIP file " + stored);
  }
  RemoveStoredArchivePath(stored, "Couldn't delete temp file ", "Couldn't remove temporary dir ", "", "");
}
