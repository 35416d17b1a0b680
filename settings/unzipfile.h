#pragma once
// The extraction component: lists, counts, tests and extracts zips through dunzip32.dll.
#include "settings/dynazip.h"

class TUnzipFile : public TDynaZip {
 public:
  // Binds "DUNZIP32.DLL" and its entry "dunzip" (failure: the box and exit code 1).
  TUnzipFile();
  ~TUnzipFile() override;

  int32_t IndexofItem = 0;
  TUnzipFlags Options;
  TUnzipSubOptions wUnzipSubOptions;
  // Copied into the record before a call; after a successful call the library's count.
  int32_t ItemCount = 0;
  TLPStr lpszZipFile, lpszFileSpec, lpszDestination, lpszDecryptCode, lpszExtProgTitle, lpszReturnString;
  void* Reserved1 = nullptr;
  void* Reserved2 = nullptr;
  void* Reserved3 = nullptr;

  // 0: false without a call. Else builds the record afresh, calls the library, keeps
  // its result; on success takes the count and copies the item record from the info buffer.
  bool Execute(int32_t FunctionCode);
  int32_t ResultCode() const { return result_; }
  // The current item of the last successful call (name, attribute bits with
  // dz::kItemEncrypted for an encrypted item).
  const dz::UnzipItemRecord& ItemRecord() const { return *item_; }
  // The record of the last Execute, as handed to the library.
  const dz::UnzipCmdRecord& CommandRecord() const { return record_; }

  // The sub-option word of a set.
  static uint16_t SubOptionWord(TUnzipSubOptions set);

 private:
  void BuildRecord();

  int32_t result_ = 0;
  dz::UnzipCmdRecord record_{};
  dz::DzCallbackSubRecord subRecord_{};
  dz::UnzipItemRecord* item_;
  dz::UnzipInfoBuffer* info_;
};
