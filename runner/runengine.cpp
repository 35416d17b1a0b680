// The run of profiles: checks, one zip per computer, results, pruning, notifications.
#include "runner/runengine.h"

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "runner/runstate.h"
#include "settings/fernoglobal.h"
#include "settings/foconsts.h"
#include "settings/profilename.h"
#include "settings/protocol.h"
#include "settings/vglobal.h"
#include "toolkit/files.h"
#include "toolkit/format.h"
#include "toolkit/reginifile.h"
#include "toolkit/stringlist.h"
#include "toolkit/strings.h"
#include "toolkit/tempfile.h"
#include "ziplib/archivebit.h"

namespace {

using F = dz::TZipFlag;
using Z = dz::TZipFormat;
using S = dz::TZipSubOption;

constexpr const char* kProductVersion = "Quillbank 2.0";
constexpr const char* kLogHeader = "--- Quillbank ZIP Log - %s ---";

void CopyToBuffer(char* buffer, const std::string& text) {
  if (!buffer) return;
  const size_t n = std::min(text.size(), dz::kDzMsgBufferSize - 1);
  std::memcpy(buffer, text.data(), n);
  buffer[n] = '\0';
}


// A cleared component with the cancel-on-minor answer and without the library's boxes.
void ResetZipFile(TZipFile& z) {
  ClearZipFile(z);
  z.wZipSubOptions.Include(S::ZSO_MINORCANCEL);
  z.ZipFormats.Include(Z::QuietFlag);
}

void SetTempFolder(TZipFile& z, const TQbProfile& p) {
  if (p.b->GetFlag(poTempInTarget)) return;
  z.Options.Include(F::PathForTempFlag);
  z.lpszTempPath.SetText(Runner.Ini->GetTempDirectory());
}

void SetFlagOptions(TZipFile& z, const TQbProfile& p) {
  const TStrFlag& b = *p.b;
  if (b.GetFlag(poArchiveOnly)) z.wZipSubOptions.Include(S::ZSO_JUST_ARCHIVED);
  if (b.GetFlag(poClearArchive)) z.wZipSubOptions.Include(S::ZSO_RESET_ARCHIVED);
  if (b.GetFlag(poNoFolderNames)) z.Options.Include(F::NoDirectoryNamesFlag);
  if (b.GetFlag(poShortNames)) z.wZipSubOptions.Include(S::ZSO_MANGLELONGNAMES);
  if (b.GetFlag(poZipTimeOfNewest)) z.Options.Include(F::OldAsLatestFlag);
  if (b.GetFlag(poRecurse)) z.Options.Include(F::RecurseFlag);
  if (b.GetFlag(poHiddenAndSystem)) z.Options.Include(F::IncludeSysHiddenFlag);
  if (b.GetFlag(poGrowZip)) z.Options.Include(F::GrowExistingFlag);
  if (b.GetFlag(poLargeZip)) z.Options.Include(F::LargeZIPFilesFlag);
  if (b.GetFlag(poSkipLocked)) z.wZipSubOptions.Include(S::ZSO_SKIPLOCKEDFILES);
  if (p.nrl > 0) z.wZipSubOptions.Include(S::ZSO_LOGZIPRESULTS);
  if (b.GetFlag(poDeleteSources) && !b.GetFlag(poStoreAndZip)) z.Options.Include(F::DeleteOriginalFlag);
  if (Runner.Ini->GetDynaZipDiagnostic()) z.Options.Include(F::bDiagnostic);
}

void SetPassword(TZipFile& z, const TQbProfile& p) {
  if (p.ec.empty()) return;
  z.ZipFormats.Include(Z::EncryptFlag);
  z.lpszEncryptCode.SetText(p.ec);
}

void SetFileSpecs(TZipFile& z, const TQbProfile& p, const std::string& computer) {
  if (!p.bdir.empty()) {
    z.wZipSubOptions.Include(S::ZSO_RELATIVEPATH);
    z.lpszItemList.SetText(QuoteIfSpaces(tk::IncludeTrailingBackslash(p.bdir) + "*.*"));
    z.Options.Include(F::IncludeOnlyFollowingFlag);
    z.lpszIncludeFollowing.SetText(SpecListToItemList(p.il));
  } else if (!computer.empty()) {
    z.lpszItemList.SetText(QuoteIfSpaces(ComputerSharePath(p, computer) + "\\*.*"));
  } else {
    z.lpszItemList.SetText(SpecListToItemList(p.il));
  }
  const std::string excludes = ExcludeText(p);
  if (!excludes.empty()) {
    z.Options.Include(F::ExcludeFollowingFlag);
    z.lpszExcludeFollowing.SetText(excludes);
  }
}

void SetDateFilter(TZipFile& z, const TQbProfile& p) {
  const std::string date = AfterDateText(p, tk::Date());
  z.lpszDate.SetText(date);
  if (!date.empty()) z.Options.Include(F::AfterDateFlag);
}

void SetComment(TZipFile& z, const TQbProfile& p) {
  z.Options.Include(F::AddCommentFlag);
  z.lpszComment.SetText(p.b->GetFlag(poDefaultComment) ? Runner.Ini->Getdcmt()
                                                      : tk::JoinLines(tk::FromCommaText(p.cmt)));
}

// The keep-newest pruning of zip logs and dated zips.
void Prune(const TQbProfile& p, const std::string& computer) {
  p.PruneZipLogs(Runner.ErrorList);
  if (p.ztk > 1)
    DeleteOldFiles(p.MakeZipNameWithDate(computer, true), p.ztk, Runner.ErrorList, false,
                   [&](const std::string& name) { return p.IsDatedZipName(name, computer); });
}

// Delete-before-running has the library build the new zip under a fresh name (which no file
// has, so nothing of the old zip is kept) and put it straight into the old one's place once
// written: a failed or killed run leaves the previous backup and every source in place.
struct TFreshZip {
  std::string target;   // the profile's zip
  std::string fresh;    // "" when the library writes the target itself
  // The placeholder that keeps the fresh name ours (no file takes it meanwhile), held open
  // and marked for deletion: a killed run leaves none behind.
  tk::TempFile reserve;
};

// The zip must be deletable now (else the run stops as the user would expect when the
// old zip could not be deleted); a fresh name in the target folder is reserved.
bool PrepareFreshZip(TFreshZip& fz, const TQbProfile& p, const std::string& computer) {
  fz.fresh.clear();
  if (!p.b->GetFlag(poDeleteZipFirst) || !tk::FileExists(fz.target)) return true;
  HANDLE h = CreateFileW(tk::Widen(fz.target).c_str(), DELETE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE || !fz.reserve.CreateReserving(tk::ExtractFilePath(fz.target), "qbn", ".zip")) {
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    AddRunFailure(0, "Couldn't delete " + fz.target + " before running", p.pn, computer);
    return false;
  }
  CloseHandle(h);
  fz.fresh = fz.reserve.Path() + ".zip";
  return true;
}

// The new zip could not stand beside the old one for lack of room on the zip's own volume:
// a write there failed for a full disk, in putting the zip in place (result other than a
// write failure) or in writing its temporary file, when that lies on the same volume.
bool NoRoomBesideOldZip(int result, unsigned long writeError, const TQbProfile& p, const std::string& target) {
  if (writeError != ERROR_DISK_FULL && writeError != ERROR_HANDLE_DISK_FULL) return false;
  if (result != dz::ZE_WRITE) return true;
  const std::string temp =
      p.b->GetFlag(poTempInTarget) ? tk::ExtractFilePath(target) : Runner.Ini->GetTempDirectory();
  wchar_t a[MAX_PATH] = {}, b[MAX_PATH] = {};
  return GetVolumePathNameW(tk::Widen(temp).c_str(), a, MAX_PATH) &&
         GetVolumePathNameW(tk::Widen(target).c_str(), b, MAX_PATH) && tk::SameText(tk::Narrow(a), tk::Narrow(b));
}

// A medium too small for two copies cannot take the new zip beside the old one: then the old
// one goes first, as the user asked, and the zip is made once more in its place. The errors
// of the attempt beside it give way to one warning that says so.
int ZipAgainAfterDeleting(TZipFile& z, const TZipQueries& queries, TFreshZip& fz, int code, const TQbProfile& p,
                          const std::string& computer, int linesBefore, int failure) {
  if (!tk::RemoveFile(fz.target) && tk::FileExists(fz.target)) return failure;
  fz.reserve.Discard();
  fz.fresh.clear();
  while (Runner.ErrorList.Count() > linesBefore) Runner.ErrorList.Delete(Runner.ErrorList.Count() - 1);
  AddRunError(0, "Not enough room for a new ZIP file beside " + fz.target + "; it was deleted before zipping again",
              p.pn, computer);
  z.lpszZipFile.SetText(fz.target);
  ExecuteZip(z, code, TZipQueries{queries.LogName, queries.ArchiveList, {}, nullptr});
  return z.ResultCode();
}

}  // namespace

// ---------------------------------------------------------------------------------
void ClearZipFile(TZipFile& z) {
  z.Options.Clear();
  z.wMultiVolControl.Clear();
  z.wZipSubOptions.Clear();
  z.ZipFormats.Clear();
  for (TLPStr* t : {&z.lpszComment, &z.lpszDate, &z.lpszEncryptCode, &z.lpszExcludeFollowing,
                    &z.lpszIncludeFollowing, &z.lpszItemList, &z.lpszStoreSuffixes, &z.lpszTempPath,
                    &z.lpszZipFile})
    t->Clear();
  z.Reserved3 = nullptr;
}

std::string ErrorLineText(int code, const std::string& message, const std::string& profile,
                          const std::string& computer) {
  std::string line = tk::IntToStr(code) + " ";
  if (!profile.empty()) {
    line += profile;
    if (!computer.empty()) line += " (" + computer + ")";
    line += ": ";
  }
  line += message;
  for (char& c : line)
    if (c == '\r' || c == '\n') c = ' ';
  return line;
}

void AddRunError(int code, const std::string& message, const std::string& profile, const std::string& computer) {
  Runner.ErrorList.Add(ErrorLineText(code, message, profile, computer));
}

void AddRunFailure(int code, const std::string& message, const std::string& profile, const std::string& computer) {
  AddRunError(code, message, profile, computer);
  Runner.Failed = true;
  if (Runner.FirstErrorCode == 0) Runner.FirstErrorCode = code;
}

std::string ZipResultText(int code) {
  if (code >= 0 && code < ZipErrorTextCount) return ZipErrorTexts[code];
  return "Error " + tk::IntToStr(code);
}

std::string UnzipResultText(int code) {
  if (code >= 0 && code < UnzipErrorTextCount) return UnzipErrorTexts[code];
  return "Error " + tk::IntToStr(code);
}

std::string ZipLogFileName(const std::string& profileName) {
  return GetLogsDir() + profileName + " ziplog " + tk::FormatDateTime("yyyy mm dd hhnn", tk::Now()) + ".txt";
}

std::string SpecListToItemList(const std::string& commaText) {
  std::string out;
  for (const auto& item : tk::FromCommaText(commaText)) {
    if (!out.empty()) out += ' ';
    out += QuoteIfSpaces(item);
  }
  return tk::Trim(out);
}

std::string ComputerSharePath(const TQbProfile& profile, const std::string& computer) {
  // The zip's name without its last extension: the share data.old is backed up as data.old.zip.
  return "\\\\" + computer + "\\" + tk::ChangeFileExt(tk::ExtractFileName(profile.zf), "");
}

bool MediaMatches(const std::string& mediaList, const std::string& zipPath) {
  if (zipPath.empty()) return false;
  const std::string label = GetDriveVolumeLabel(zipPath);
  if (mediaList.find(';') == std::string::npos) return tk::SameText(mediaList, label);
  return IsInSemicolonList(label, mediaList);
}

std::string MediaFailureText(const std::string& verb, const std::string& mediaList) {
  if (mediaList.find(';') == std::string::npos) return verb + ", Media \"" + mediaList + "\" doesn't exist";
  return verb + ", Specified media doesn't exist";
}

std::string AfterDateText(const TQbProfile& p, tk::TDateTime today) {
  int y = 0, m = 0, d = 0;
  tk::DecodeDate(today, &y, &m, &d);
  tk::TDateTime date = 0;
  if (p.b->GetFlag(poCurrentMonth)) {
    date = tk::EncodeDate(y, m, 1);
  } else if (p.b->GetFlag(poCurrentWeek)) {
    const int week = std::min(4, (d + 6) / 7);
    date = tk::EncodeDate(y, m, 1 + (week - 1) * 7);
  } else if (p.b->GetFlag(poCurrentDay)) {
    date = today;
  } else if (p.adt > 0) {
    date = p.adt;
  } else if (p.adt < 0) {
    date = today + p.adt;
  } else {
    return std::string();
  }
  return tk::FormatDateTime("mmddyy", std::floor(date));
}

std::string StoreSuffixText(const TQbProfile& p) {
  std::string s;
  auto append = [&s](const std::string& part) {
    if (!s.empty()) s += ':';
    s += part;
  };
  if (p.b->GetFlag(poNoCompressArchives))
    s = ".BZ2:.Z:.ZIP:.ZOO:.ARC:.LZH:.ARJ:.TAZ:.TGZ:.LHA:.RAR:.7Z:.ACE:.CAB:.GZ:.GZIP:.JAR";
  if (p.b->GetFlag(poNoCompressImages)) append(".JPG:.PNG:.GIF:.TIF:.TIFF:.JPEG");
  for (const auto& item : tk::FromCommaText(p.ssuf)) append("." + item);
  return s;
}

std::string ExcludeText(const TQbProfile& p) {
  std::string s = SpecListToItemList(p.ef);
  for (const auto& name : tk::FromCommaText(p.efil)) {
    const std::string masks = ExtensionsToMasks(Runner.Ini->ReadString("ExFilters", name, ""));
    if (!masks.empty()) s += " " + masks;
  }
  return tk::Trim(s);
}

std::string MakeStoredArchivePath() {
  const std::wstring temp = tk::Widen(tk::IncludeTrailingBackslash(Runner.Ini->GetTempDirectory()));
  // Every try takes a new name from the system; a folder that already exists is never
  // shared with another runner, and there is no fixed fallback name.
  for (int attempt = 0; attempt < 20; ++attempt) {
    wchar_t buf[MAX_PATH];
    if (!GetTempFileNameW(temp.c_str(), L"qb_", 0, buf)) return std::string();
    const std::string placeholder = tk::Narrow(buf);
    const std::string folder = tk::LowerCase(tk::ChangeFileExt(placeholder, ".dir"));
    const bool made = CreateDirectoryW(tk::Widen(folder).c_str(), nullptr) != 0;
    tk::RemoveFile(placeholder);
    if (made) return folder + "\\stored.zip";
  }
  return std::string();
}

void RemoveStoredArchivePath(const std::string& storedZip, const std::string& fileFailure,
                             const std::string& folderFailure, const std::string& profile,
                             const std::string& computer) {
  const std::string folder = tk::ExcludeTrailingBackslash(tk::ExtractFilePath(storedZip));
  if (tk::FileExists(storedZip) && !tk::RemoveFile(storedZip))
    AddRunError(0, fileFailure + storedZip, profile, computer);
  for (const auto& f : tk::FindFiles(tk::IncludeTrailingBackslash(folder) + "*", tk::faAnyFile & ~tk::faDirectory))
    tk::RemoveFile(tk::IncludeTrailingBackslash(folder) + f.name);
  if (tk::DirectoryExists(folder) && !RemoveDirectoryW(tk::Widen(folder).c_str()))
    AddRunError(0, folderFailure + folder, profile, computer);
}

bool LoadNamedProfile(const std::string& name, const std::string& missingText, TQbProfile& p) {
  std::string loadError;
  if (!LoadProfileOfKey(p, name, &loadError)) {
    AddRunFailure(0, missingText, name);
    return false;
  }
  if (!loadError.empty())
    for (const std::string& line : tk::SplitLines(loadError)) AddRunError(0, line, name);
  return true;
}

namespace {
// Held while a result is read and written, so that two runners ending at once cannot both
// decide before either wrote.
class TResultsLock {
 public:
  TResultsLock() : h_(CreateMutexW(nullptr, FALSE, L"Local\\Quillbank results")) {
    if (h_) WaitForSingleObject(h_, 10000);
  }
  ~TResultsLock() {
    if (!h_) return;
    ReleaseMutex(h_);
    CloseHandle(h_);
  }
  TResultsLock(const TResultsLock&) = delete;
  TResultsLock& operator=(const TResultsLock&) = delete;

 private:
  HANDLE h_;
};
}  // namespace

void RecordTargetResult(TResultKind kind, const TQbProfile& p, const std::string& computer, int code,
                        tk::TDateTime started) {
  const bool run = kind == TResultKind::Run;
  const std::string timeSection = computer.empty() ? "" : run ? "lr" : "lt";
  const std::string codeSection = computer.empty() ? "" : run ? "ze" : "te";
  const std::string timeName = !computer.empty() ? computer : run ? "lrun" : "ltst";
  const std::string codeName = !computer.empty() ? computer : run ? "ze" : "te";
  TResultsLock lock;
  // A profile renamed or deleted while it ran has no key to take its result: writing would
  // make one that holds nothing else.
  tk::TRegIniFile ini(Runner.Ini->RootKey(), ProfileKey(p.pn), false);
  if (!ini.IsOpen()) {
    AddRunError(0, "The profile was renamed or deleted while it ran; its result was not recorded", p.pn, computer);
    return;
  }
  const tk::TDateTime now = tk::Now();
  bool keepOther = false;
  if (code == 0 && ini.ReadInteger(codeSection, codeName, 0) != 0) {
    // A computer's time is kept to five decimals, about a second.
    const double slack = computer.empty() ? 1e-9 : 0.5e-5;
    double recorded = 0;
    keepOther = tk::TryStrToFloat(ini.ReadString(timeSection, timeName, ""), &recorded, '.') &&
                recorded >= started - slack && recorded <= now + slack;
  }
  ini.WriteString(timeSection, timeName,
                  computer.empty() ? tk::FloatToStr(now, '.') : tk::FormatFloat("0.00000", now));
  if (code != 0)
    ini.WriteInteger(codeSection, codeName, code);
  else if (!keepOther)
    ini.DeleteValue(codeSection, codeName);
}

std::vector<std::string> TargetComputers(const TQbProfile& p) {
  std::vector<std::string> computers = tk::FromCommaText(p.cns);
  if (computers.empty()) computers.push_back(std::string());
  return computers;
}

void WriteToRefresh() {
  std::string list;
  for (int i = 2; i <= Runner.ArgCount(); ++i)
    if (Runner.Selected(Runner.Arg(i))) list += "\"" + Runner.Arg(i) + "\" ";
  Runner.Ini->SetToRefresh(list);
}

void NotifyManagerRefresh() {
  if (Runner.Ini->GetAutoRefresh()) PostToManager(WM_QB_REFRESH, QbRefreshWParam, QbRefreshLParam);
}

int LongestMatchingDelay(const tk::TStringList& lines, const std::string& zipPath, bool* matched) {
  int longest = 0;
  const std::string path = tk::AnsiUpperCase(zipPath);
  for (const auto& line : lines.Items()) {
    const size_t eq = line.find('=');
    const std::string prefix = eq == std::string::npos || eq == 0 ? "/" : line.substr(0, eq);
    if (path.compare(0, prefix.size(), tk::AnsiUpperCase(prefix)) != 0) continue;
    const int seconds = eq == std::string::npos ? 0 : tk::StrToIntDef(line.substr(eq + 1), 0);
    longest = std::max(longest, seconds);
    if (matched) *matched = true;
  }
  return longest;
}

void UpdateCustomDelay(TRunProgress& view, const std::string& zipPath) {
  if (!view.CustomDelayList) return;
  view.LongestCustomDelay =
      std::max(view.LongestCustomDelay, LongestMatchingDelay(*view.CustomDelayList, zipPath, &view.CustomDelayMatched));
}

// ---------------------------------------------------------------------------------
// Results of one target.
namespace {

// Runs the prepared component and records the result under the profile's key. A zip
// written under a fresh name takes the old zip's place in the library's own last step,
// before the sources go.
void RecordRunResult(TRunProgress& view, const std::string& logName, const TQbProfile& p,
                     const std::string& computer, int code, TFreshZip& fz) {
  if (!p.b->GetFlag(poStoreAndZip) && (code == dz::ZIP_FRESHEN || code == dz::ZIP_UPDATE) &&
      !tk::FileExists(fz.fresh.empty() ? fz.target : fz.fresh))
    code = dz::ZIP_ADD;
  const int linesBefore = Runner.ErrorList.Count();
  const tk::TDateTime started = tk::Now();
  TZipFile& z = view.ZipComponent();
  unsigned long writeError = 0;
  const TZipQueries queries{logName, {}, fz.fresh.empty() ? std::string() : fz.target, &writeError};
  ExecuteZip(z, code, queries);
  int r = z.ResultCode();
  if (r != 0 && !fz.fresh.empty() && NoRoomBesideOldZip(r, writeError, p, fz.target))
    r = ZipAgainAfterDeleting(z, queries, fz, code, p, computer, linesBefore, r);
  fz.reserve.Discard();

  if (r != 0) AddRunFailure(r, ZipResultText(r), p.pn, computer);
  RecordTargetResult(TResultKind::Run, p, computer, r, started);
  if (r == 0 && view.RanOKList) view.RanOKList->Add(computer.empty() ? p.pn : p.pn + "\"" + computer);
  tk::TRegIniFile ini(Runner.Ini->RootKey(), ProfileKey(p.pn), false);   // only a key that is there
  if (ini.IsOpen() && IsUNCPath(p.zf) && tk::FileExists(fz.target)) {
    const int64_t size = tk::FileSize(fz.target);
    if (size >= 0) {
      if (computer.empty()) ini.WriteString("", "lzs", tk::IntToStr(size));
      else ini.WriteString("zs", computer, tk::IntToStr(size));
    }
  }
}

// Store-and-zip with "reset archive bits": the inner zip lists the files it took, and their
// bits are cleared only once the outer zip is written, without reading them again. A file
// that changed or appeared after the inner zip keeps its bit for the next run.
void ClearListedArchiveBits(const TQbProfile& p, const std::string& computer, const std::string& list) {
  std::string text;
  HANDLE h = CreateFileW(tk::Widen(list).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    AddRunError(0, "Couldn't reset the archive attributes: no list of the zipped files", p.pn, computer);
    return;
  }
  char buf[65536];
  DWORD got = 0;
  while (ReadFile(h, buf, sizeof buf, &got, nullptr) && got > 0) text.append(buf, got);
  CloseHandle(h);
  for (const std::string& path : tk::SplitLines(text)) {
    if (!path.empty() && !ziplib::ClearArchiveBit(tk::Widen(path)))
      AddRunError(0, "Couldn't reset the archive attribute of " + path, p.pn, computer);
  }
}

void ZipStoreAndZip(TRunProgress& view, const std::string& logName, const TQbProfile& p,
                    const std::string& computer) {
  const std::string stored = MakeStoredArchivePath();
  if (stored.empty()) {
    AddRunFailure(0, "Couldn't create temporary dir for stored.zip", p.pn, computer);
    return;
  }
  // The inner zip is a plain copy of the whole backup, also of one with a password: from the
  // moment it is written it is held marked to go with the runner's handle (the outer zip
  // reads it beside that handle), so a killed run leaves no copy of it behind.
  HANDLE hold = INVALID_HANDLE_VALUE;
  auto cleanUp = [&] {
    if (hold != INVALID_HANDLE_VALUE) CloseHandle(hold);
    hold = INVALID_HANDLE_VALUE;
    RemoveStoredArchivePath(stored, "Couldn't delete temp ZIP file ", "Couldn't remove temp directory ", p.pn,
                            computer);
  };
  TZipFile& z = view.ZipComponent();
  ResetZipFile(z);
  z.CompFactor = 0;
  SetFlagOptions(z, p);
  SetFileSpecs(z, p, computer);
  SetDateFilter(z, p);
  z.lpszZipFile.SetText(stored);
  const std::string bitList = tk::ExtractFilePath(stored) + "archive bits.txt";
  const tk::TDateTime started = tk::Now();
  const bool innerOK =
      ExecuteZip(z, dz::ZIP_ADD,
                 TZipQueries{logName, p.b->GetFlag(poClearArchive) ? bitList : std::string(), {}, nullptr});
  if (innerOK)
    hold = CreateFileW(tk::Widen(stored).c_str(), GENERIC_READ | DELETE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (!innerOK) {
    const int r = z.ResultCode();
    AddRunFailure(r, r == dz::ZE_ABORT ? "Operation cancelled" : "Couldn't create temp ZIP file " + stored, p.pn,
                  computer);
    RecordTargetResult(TResultKind::Run, p, computer, r, started);
    cleanUp();
    Prune(p, computer);
    return;
  }

  ResetZipFile(z);
  SetTempFolder(z, p);
  z.CompFactor = p.cf;
  z.Options.Include(F::NoDirectoryNamesFlag);
  if (p.b->GetFlag(poZipTimeOfNewest)) z.Options.Include(F::OldAsLatestFlag);
  if (p.b->GetFlag(poGrowZip)) z.Options.Include(F::GrowExistingFlag);
  if (p.b->GetFlag(poLargeZip)) z.Options.Include(F::LargeZIPFilesFlag);
  if (p.nrl > 0) z.wZipSubOptions.Include(S::ZSO_LOGZIPRESULTS);
  SetPassword(z, p);
  z.ZipFormats.Include(Z::DontCompressTheseSuffixesFlag);
  z.lpszItemList.SetText(QuoteIfSpaces(stored));
  SetComment(z, p);
  TFreshZip fz{p.GetZipFileName(computer), {}, {}};
  if (!PrepareFreshZip(fz, p, computer)) {
    cleanUp();
    return;
  }
  z.lpszZipFile.SetText(fz.fresh.empty() ? fz.target : fz.fresh);
  RecordRunResult(view, logName, p, computer, dz::ZIP_ADD, fz);
  if (z.ResultCode() == 0 && tk::FileExists(fz.target) && p.b->GetFlag(poClearArchive))
    ClearListedArchiveBits(p, computer, bitList);
  cleanUp();
  Prune(p, computer);
}

}  // namespace

void ZipProfileTarget(TRunProgress& view, const TQbProfile& p, const std::string& computer) {
  const std::string logName = ZipLogFileName(p.pn);
  // A multi-computer target lies in a folder of the computer's name below the zip's.
  if (!computer.empty()) tk::ForceDirectories(tk::ExtractFilePath(p.GetZipFileName(computer)));
  if (p.b->GetFlag(poStoreAndZip)) {
    ZipStoreAndZip(view, logName, p, computer);
    return;
  }
  TZipFile& z = view.ZipComponent();
  ResetZipFile(z);
  SetTempFolder(z, p);
  z.CompFactor = p.cf;
  SetFlagOptions(z, p);
  SetPassword(z, p);
  z.ZipFormats.Include(Z::DontCompressTheseSuffixesFlag);
  z.lpszStoreSuffixes.SetText(StoreSuffixText(p));
  SetFileSpecs(z, p, computer);
  SetDateFilter(z, p);
  SetComment(z, p);
  TFreshZip fz{p.GetZipFileName(computer), {}, {}};
  if (!PrepareFreshZip(fz, p, computer)) return;
  z.lpszZipFile.SetText(fz.fresh.empty() ? fz.target : fz.fresh);
  RecordRunResult(view, logName, p, computer, p.ecmd, fz);
  Prune(p, computer);
}

// ---------------------------------------------------------------------------------
void RunProfiles(TRunProgress& view) {
  TFernoIni& ini = *Runner.Ini;
  view.SetBarColors(ini.GetProgressColor(1), ini.GetContrast());
  if (!Runner.HandOff.bRunningShutdownProfiles) WriteToRefresh();

  for (int i = 2; i <= Runner.ArgCount() && !Runner.Cancel; ++i) {
    const std::string name = Runner.Arg(i);
    if (!Runner.Selected(name)) continue;
    TQbProfile p;
    if (!LoadNamedProfile(name, "Couldn't run, Profile doesn't exist", p)) continue;
    // Without its password, excludes, medium labels or options the backup would be weaker
    // than the profile says, yet count as a success.
    std::vector<std::string> unreadable = p.UnreadableGuards();
    const tk::TRegSection filters = ini.ReadSectionValues("ExFilters");
    for (const std::string& filter : tk::FromCommaText(p.efil))
      if (std::string line = UnreadableFormText(filters, "ExFilters", filter); !line.empty())
        unreadable.push_back(std::move(line));
    if (!unreadable.empty()) {
      for (const std::string& line : unreadable) AddRunFailure(0, "Couldn't run, " + line, name);
      continue;
    }
    if (Runner.Command == 'B') UpdateCustomDelay(view, p.zf);
    if (p.zf.empty()) {
      AddRunFailure(0, "Couldn't run, Profile has no ZIP file name", name);
      continue;
    }

    if (!p.ml.empty() && !MediaMatches(p.ml, p.zf)) {
      AddRunFailure(0, MediaFailureText("Couldn't run", p.ml), name);
      continue;
    }
    const std::string folder = tk::ExtractFilePath(p.zf);
    if (folder.empty()) {
      AddRunFailure(0, "Couldn't run, ZIP file name \"" + p.zf + "\" names no folder", name);
      continue;
    }
    if (!tk::DirectoryExists(folder)) tk::ForceDirectories(folder);
    if (!tk::DirectoryExists(folder)) {
      AddRunFailure(0, "Couldn't create/access target path " + folder, name);
      continue;
    }

    const TStrFlag& b = *p.b;
    view.ShowIcon(TStatusIcon::Add, p.ecmd == dz::ZIP_ADD);
    view.ShowIcon(TStatusIcon::Update, p.ecmd == dz::ZIP_UPDATE);
    view.ShowIcon(TStatusIcon::Freshen, p.ecmd == dz::ZIP_FRESHEN);
    view.ShowIcon(TStatusIcon::Test, false);
    view.ShowIcon(TStatusIcon::StoreAndZip, b.GetFlag(poStoreAndZip));
    view.ShowIcon(TStatusIcon::ArchiveOnly, b.GetFlag(poArchiveOnly));
    view.ShowIcon(TStatusIcon::ResetArchive, b.GetFlag(poClearArchive));
    view.ShowIcon(TStatusIcon::Password, !p.ec.empty());
    view.ShowIcon(TStatusIcon::AfterDate, b.GetFlag(poCurrentMonth) || b.GetFlag(poCurrentWeek) ||
                                              b.GetFlag(poCurrentDay) || p.adt != 0);
    view.ShowIcon(TStatusIcon::DeleteOriginal, b.GetFlag(poDeleteSources));
    const std::string action = p.ecmd == dz::ZIP_FRESHEN  ? "Freshening "
                               : p.ecmd == dz::ZIP_UPDATE ? "Updating "
                               : p.ecmd == dz::ZIP_ADD    ? "Adding to "
                                                          : "";

    const bool multi = p.IsMultiComputer();
    for (const auto& computer : TargetComputers(p)) {
      if (Runner.Cancel) break;
      if (multi && !Runner.ComputerWanted(computer)) continue;
      view.ResetProgress();
      if (multi) {
        const std::string source = ComputerSharePath(p, computer);
        view.ShowCheckingSource("Checking source path... (" + source + ")");
        const bool reachable = tk::DirectoryExists(source);
        view.ShowCheckingSource("");
        if (!reachable) {
          AddRunFailure(51, "Source path not found", name, computer);
          RecordTargetResult(TResultKind::Run, p, computer, 51, tk::Now());
          continue;
        }
      }
      const std::string zip = p.GetZipFileName(computer);
      view.ShowCaption((action.empty() || !tk::FileExists(zip) ? std::string("Creating ") : action) +
                       tk::ExtractFileName(zip) + "  (" + name + ")");
      ZipProfileTarget(view, p, computer);
    }
    if (multi) p.UpdateZipErrorTotal();
  }

  if (Runner.Arg(2) != TempProfileName) {
    UpdateAllRunsOK();
    NotifyManagerRefresh();
  }
}

// ---------------------------------------------------------------------------------
// The library's messages, for both components.
namespace {
// queries: nullptr for the extraction side.
void HandleMessage(uint16_t MsgID, int32_t p1, char* lpsz1, char* lpsz2, int32_t& RtnResult,
                   const TZipQueries* queries) {
  const bool zipSide = queries != nullptr;
  RtnResult = 0;
  if (MsgID != dz::DZ_MSG_QUERY) CopyToBuffer(lpsz2, kProductVersion);
  const std::string text = lpsz1 ? std::string(lpsz1) : std::string();
  switch (MsgID) {
    case dz::DZ_MSG_OPEN_ERROR: AddRunError(-2, " ZIP File Open Error"); RtnResult = 1; break;
    case dz::DZ_MSG_READ_ERROR: AddRunError(-3, " ZIP File Read Error"); RtnResult = 1; break;
    case dz::DZ_MSG_WRITE_ERROR:
      AddRunError(-4, " ZIP File Write Error");
      if (queries && queries->WriteError) *queries->WriteError = static_cast<unsigned long>(p1);
      RtnResult = 1;
      break;
    case dz::DZ_MSG_ERROR:
      // A cancelled or skipped call says so as an error too; its result code tells it already.
      if (zipSide ? p1 != dz::ZE_ABORT : (p1 != dz::UE_CANCEL && p1 != dz::UE_SKIPPED)) AddRunError(p1, text);
      RtnResult = 1;
      break;
    case dz::DZ_MSG_WARNING: AddRunError(0, text); RtnResult = 1; break;
    case dz::DZ_MSG_QUERY:
      if (!zipSide) break;
      if (p1 == dz::DZ_QUERY_LOGFILENAME) CopyToBuffer(lpsz1, queries->LogName);
      else if (p1 == dz::DZ_QUERY_LOGHEADER) CopyToBuffer(lpsz1, kLogHeader);
      else if (p1 == dz::DZ_QUERY_ARCHIVELIST) CopyToBuffer(lpsz1, queries->ArchiveList);
      else if (p1 == dz::DZ_QUERY_FINALNAME) CopyToBuffer(lpsz1, queries->FinalName);
      RtnResult = 1;
      break;
    default: break;
  }
}
}  // namespace

// The handler holds the queries only for the call: no answer outlives the target it was for.
bool ExecuteZip(TZipFile& z, int32_t functionCode, const TZipQueries& queries) {
  z.OnMessageCallback = [&queries](uint16_t id, uint16_t, int32_t p1, int32_t, char* s1, char* s2, int32_t& r) {
    HandleMessage(id, p1, s1, s2, r, &queries);
  };
  const bool ok = z.Execute(functionCode);
  z.OnMessageCallback = nullptr;
  return ok;
}

bool ExecuteUnzip(TUnzipFile& u, int32_t functionCode) {
  u.OnMessageCallback = [](uint16_t id, uint16_t, int32_t p1, int32_t, char* s1, char* s2, int32_t& r) {
    HandleMessage(id, p1, s1, s2, r, nullptr);
  };
  const bool ok = u.Execute(functionCode);
  u.OnMessageCallback = nullptr;
  return ok;
}
