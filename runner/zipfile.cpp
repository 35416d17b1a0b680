#include "runner/zipfile.h"

#include <cstring>
#include <iterator>

#include "settings/protocol.h"

namespace {

constexpr uint16_t kMultiVolValues[] = {dz::MV_USEMULTI, dz::MV_FORMAT, dz::MV_LOWDENSE, dz::MV_WIPE,
                                        dz::MV_SUBDIR,   dz::MV_SYSHIDE, dz::MV_CDFIRST, dz::MV_TOHD};
constexpr uint16_t kSubOptionValues[] = {
    dz::ZSO_RELATIVEPATH,    dz::ZSO_MINORCANCEL,     dz::ZSO_EXTERNALPROG,  dz::ZSO_EXTPROGCANCEL,
    dz::ZSO_IGNORELONGNAMES, dz::ZSO_MANGLELONGNAMES, dz::ZSO_SKIPLOCKEDFILES, dz::ZSO_FORCEREMOVEABLE,
    dz::ZSO_LOGZIPRESULTS,   dz::ZSO_JUST_ARCHIVED,   dz::ZSO_RESET_ARCHIVED, dz::ZSO_INHIBIT_PUMP,
    dz::ZSO_ANSI_NAMES};

}  // namespace

TZipFile::TZipFile() : TDynaZip(DZipDll, "dzip", "dzip") {
  Options.Clear();
  CompFactor = 5;
}

uint16_t TZipFile::MultiVolumeWord(TMultiVolFlags set) { return SetToWord(set, kMultiVolValues); }
uint16_t TZipFile::SubOptionWord(TZipSubOptions set) { return SetToWord(set, kSubOptionValues); }

void TZipFile::BuildRecord() {
  using F = dz::TZipFlag;
  using Z = dz::TZipFormat;
  std::memset(&record_, 0, sizeof record_);
  record_.recordSize = sizeof record_;
  record_.CompFactor = CompFactor;
  WireRecord(record_, subRecord_, Reserved1, Reserved2, Reserved3);

  record_.RecurseFlag = DzBoolOf(Options.Contains(F::RecurseFlag));
  record_.PathForTempFlag = DzBoolOf(Options.Contains(F::PathForTempFlag));
  record_.FixFlag = DzBoolOf(Options.Contains(F::FixFlag));
  record_.FixHarderFlag = DzBoolOf(Options.Contains(F::FixHarderFlag));
  record_.IncludeVolumeFlag = DzBoolOf(Options.Contains(F::IncludeVolumeFlag));
  record_.DeleteOriginalFlag = DzBoolOf(Options.Contains(F::DeleteOriginalFlag));
  record_.GrowExistingFlag = DzBoolOf(Options.Contains(F::GrowExistingFlag));
  record_.NoDirectoryNamesFlag = DzBoolOf(Options.Contains(F::NoDirectoryNamesFlag));
  record_.AddCommentFlag = DzBoolOf(Options.Contains(F::AddCommentFlag));
  record_.AfterDateFlag = DzBoolOf(Options.Contains(F::AfterDateFlag));
  record_.OldAsLatestFlag = DzBoolOf(Options.Contains(F::OldAsLatestFlag));
  record_.IncludeOnlyFollowingFlag = DzBoolOf(Options.Contains(F::IncludeOnlyFollowingFlag));
  record_.ExcludeFollowingFlag = DzBoolOf(Options.Contains(F::ExcludeFollowingFlag));
  record_.NoDirectoryEntriesFlag = DzBoolOf(Options.Contains(F::NoDirectoryEntriesFlag));
  record_.IncludeSysHiddenFlag = DzBoolOf(Options.Contains(F::IncludeSysHiddenFlag));
  record_.bDiagnostic = DzBoolOf(Options.Contains(F::bDiagnostic));
  record_.LargeZIPFilesFlag = DzBoolOf(Options.Contains(F::LargeZIPFilesFlag));
  record_.DosifyFlag = DzBoolOf(ZipFormats.Contains(Z::DosifyFlag));
  record_.EncryptFlag = DzBoolOf(ZipFormats.Contains(Z::EncryptFlag));
  record_.DontCompressTheseSuffixesFlag = DzBoolOf(ZipFormats.Contains(Z::DontCompressTheseSuffixesFlag));
  record_.ConvertLFtoCRLFFlag = DzBoolOf(ZipFormats.Contains(Z::ConvertLFtoCRLFFlag));
  record_.QuietFlag = DzBoolOf(ZipFormats.Contains(Z::QuietFlag));
  record_.wMultiVolControl = MultiVolumeWord(wMultiVolControl);
  record_.wZipSubOptions = SubOptionWord(wZipSubOptions);

  record_.lpszZipFile = lpszZipFile.GetText();
  record_.lpszItemList = lpszItemList.GetText();
  record_.lpszEncryptCode = lpszEncryptCode.GetText();
  record_.lpszExtProgTitle = lpszExtProgTitle.GetText();
  record_.lpszTempPath = lpszTempPath.GetText();
  record_.lpszComment = lpszComment.GetText();
  record_.lpszDate = lpszDate.GetText();
  record_.lpszIncludeFollowing = lpszIncludeFollowing.GetText();
  record_.lpszExcludeFollowing = lpszExcludeFollowing.GetText();
  record_.lpszStoreSuffixes = lpszStoreSuffixes.GetText();
}

bool TZipFile::Execute(int32_t FunctionCode) {
  if (FunctionCode == 0) return false;
  BuildRecord();
  record_.functionCode = FunctionCode;
  result_ = reinterpret_cast<dz::DZipFn>(reinterpret_cast<void*>(Entry()))(&record_);
  return result_ == 0;
}
