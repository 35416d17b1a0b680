#include "settings/unzipfile.h"

#include <algorithm>
#include <cstring>

#include "settings/protocol.h"

namespace {

constexpr uint16_t kSubOptionValues[] = {
    dz::USO_OVERWRITE_RO,    dz::USO_MINORCANCEL,     dz::USO_EXTERNALPROG, dz::USO_EXTPROGCANCEL,
    dz::USO_IGNORELONGNAMES, dz::USO_MANGLELONGNAMES, dz::USO_FORCEREMOVEABLE, dz::USO_LOGZIPRESULTS,
    dz::USO_INHIBIT_PUMP,    dz::USO_MVFROMHD,        dz::USO_LEAVEPARTIAL, dz::USO_ANSI_NAMES};

// Copies a NUL-terminated text of at most size - 1 characters into a zero-filled field.
void CopyText(char* dest, size_t size, const char* src, size_t srcSize) {
  std::memset(dest, 0, size);
  size_t n = 0;
  while (n < srcSize && n + 1 < size && src[n]) ++n;
  std::memcpy(dest, src, n);
}

}  // namespace

TUnzipFile::TUnzipFile()
    : TDynaZip(DUnzipDll, "dunzip", "dunzip"),
      item_(new dz::UnzipItemRecord{}),
      info_(new dz::UnzipInfoBuffer{}) {
  Options.Clear();
}

TUnzipFile::~TUnzipFile() {
  delete item_;
  delete info_;
}

uint16_t TUnzipFile::SubOptionWord(TUnzipSubOptions set) { return SetToWord(set, kSubOptionValues); }

void TUnzipFile::BuildRecord() {
  using F = dz::TUnzipFlag;
  std::memset(&record_, 0, sizeof record_);
  record_.recordSize = sizeof record_;
  record_.IndexofItem = IndexofItem;
  info_->infoSize = dz::kUnzipInfoBufferSize;
  record_.lpInfoBuffer = info_;
  WireRecord(record_, subRecord_, Reserved1, Reserved2, Reserved3);
  record_.FreshenFlag = DzBoolOf(Options.Contains(F::FreshenFlag));
  record_.UpdateFlag = DzBoolOf(Options.Contains(F::UpdateFlag));
  record_.OverWriteFlag = DzBoolOf(Options.Contains(F::OverWriteFlag));
  record_.QuietFlag = DzBoolOf(Options.Contains(F::QuietFlag));
  record_.TestFlag = DzBoolOf(Options.Contains(F::TestFlag));
  record_.NoDirectoryNamesFlag = DzBoolOf(Options.Contains(F::NoDirectoryNamesFlag));
  record_.RecurseFlag = DzBoolOf(Options.Contains(F::RecurseFlag));
  record_.NoDirectoryItemsFlag = DzBoolOf(Options.Contains(F::NoDirectoryItemsFlag));
  record_.bDiagnostic = DzBoolOf(Options.Contains(F::bDiagnostic));
  record_.bLF2CRLFFlag = DzBoolOf(Options.Contains(F::bLF2CRLFFlag));
  record_.DecryptFlag = DzBoolOf(Options.Contains(F::DecryptFlag));
  record_.wUnzipSubOptions = SubOptionWord(wUnzipSubOptions);
  record_.lpszZipFile = lpszZipFile.GetText();
  record_.lpszFileSpec = lpszFileSpec.GetText();
  record_.lpszDestination = lpszDestination.GetText();
  record_.lpszDecryptCode = lpszDecryptCode.GetText();
  record_.lpszExtProgTitle = lpszExtProgTitle.GetText();
  record_.lpszReturnString = const_cast<char*>(lpszReturnString.GetText());
  record_.itemCount = ItemCount;
}

bool TUnzipFile::Execute(int32_t FunctionCode) {
  if (FunctionCode == 0) return false;
  if (FunctionCode == 6) lpszReturnString.SetCapacity(uint16_t((ItemCount & 0xFFFF) + 1));
  BuildRecord();
  record_.functionCode = FunctionCode;
  result_ = reinterpret_cast<dz::DUnzipFn>(reinterpret_cast<void*>(Entry()))(&record_);
  if (result_ != 0) return false;
  ItemCount = record_.itemCount;
  const dz::UnzipInfoBuffer& in = *info_;
  dz::UnzipItemRecord& out = *item_;
  out.method = in.method;
  out.compressedSize = in.compressedSize;
  out.uncompressedSize = in.uncompressedSize;
  out.dosDate = in.dosDate;
  out.dosTime = in.dosTime;
  out.gpFlags = in.gpFlags;
  out.crc32 = in.crc32;
  CopyText(out.dateTimeText, sizeof out.dateTimeText, in.dateTimeText, sizeof in.dateTimeText);
  CopyText(out.name, sizeof out.name, in.name, sizeof in.name);
  out.attributes = in.attributes;
  out.itemIndex = in.itemIndex;
  out.itemCount = in.itemCount;
  return true;
}
