#pragma once
// The compression component: adds, updates, freshens and splits zips through dzip32.dll.
#include "settings/dynazip.h"

class TZipFile : public TDynaZip {
 public:
  // Binds "DZIP32.DLL" and its entry "dzip" (failure: the box and exit code 1).
  TZipFile();
  ~TZipFile() override = default;

  int32_t CompFactor = 5;
  TZipFlags Options;
  TZipFormats ZipFormats;
  TMultiVolFlags wMultiVolControl;
  TZipSubOptions wZipSubOptions;
  TLPStr lpszZipFile, lpszItemList, lpszEncryptCode, lpszExtProgTitle, lpszTempPath, lpszComment, lpszDate,
      lpszIncludeFollowing, lpszExcludeFollowing, lpszStoreSuffixes;
  void* Reserved1 = nullptr;
  void* Reserved2 = nullptr;
  void* Reserved3 = nullptr;  // the split puts the address of its 64-bit volume size here

  // 0: false without a call. Else builds the record afresh, calls the library and keeps
  // its result; true when the result is 0.
  bool Execute(int32_t FunctionCode);
  int32_t ResultCode() const { return result_; }
  const dz::ZipCmdRecord& CommandRecord() const { return record_; }

  static uint16_t MultiVolumeWord(TMultiVolFlags set);
  static uint16_t SubOptionWord(TZipSubOptions set);

 private:
  void BuildRecord();

  int32_t result_ = 0;
  dz::ZipCmdRecord record_{};
  dz::DzCallbackSubRecord subRecord_{};
};
