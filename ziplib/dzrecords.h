#pragma once
// The command records of the zip library's two entries, `dzip` (dzip32.dll: add, update,
// freshen, split) and `dunzip` (dunzip32.dll: open, next item, count, extract, test, join),
// with their callbacks and codes (dzcodes.h). One header for the binding and both DLLs, so
// the two sides cannot drift apart.
//
// 64-bit layout: every field that holds an address (texts, callbacks, user data, the
// sub-record and info buffer addresses), the three reserved fields and the "0" slots
// between address fields are pointer-sized; every other field keeps its width (sizes and
// codes 32-bit, BOOLs 32-bit, option words 16-bit) and its order; natural x64 alignment.
// The size field must hold sizeof of the record: an entry refuses any other size with
// ZE_PARMS / UE_BADCMD rather than misread it. The info buffer and the item record hold
// no addresses and keep their packed sizes and offsets.
//
// Texts are NUL-terminated UTF-8 (nil = empty). BOOL fields hold -1 for true and 0 for
// false; the library takes any non-zero value as true.
#include <cstddef>
#include <cstdint>

#include "ziplib/dzcodes.h"

namespace dz {

// ---------------------------------------------------------------------------------
// Callback sub-record, pointed to from both command records.
struct DzCallbackSubRecord {
  uint32_t size;                      // sizeof(DzCallbackSubRecord)
  TMemToMemCallbackFn MemToMemCallback;
  void* memToMemUserData;
  uint8_t zero[16];
};
static_assert(offsetof(DzCallbackSubRecord, size) == 0);
static_assert(offsetof(DzCallbackSubRecord, MemToMemCallback) == 8);
static_assert(offsetof(DzCallbackSubRecord, memToMemUserData) == 16);
static_assert(offsetof(DzCallbackSubRecord, zero) == 24);
static_assert(sizeof(DzCallbackSubRecord) == 40);

// ---------------------------------------------------------------------------------
// Compression command record (entry `dzip`). Field order as on 32-bit; 32-bit offsets
// in the comments for reference only.
struct ZipCmdRecord {
  uint32_t recordSize;                 //   0  sizeof(ZipCmdRecord)
  int32_t functionCode;                //   4  ZIP_FRESHEN, ZIP_UPDATE, ZIP_ADD
  const char* lpszZipFile;             //   8
  const char* lpszItemList;            //  12  blank-separated, optionally quoted specs
  TStatusCallbackFn MajorCallback;     //  16
  void* majorUserData;                 //  20
  TStatusCallbackFn MinorCallback;     //  24
  void* minorUserData;                 //  28
  DzBool DosifyFlag;                   //  32
  DzBool RecurseFlag;                  //  36
  int32_t CompFactor;                  //  40  0 store, 1-9 deflate, 11-19 Deflate64
  DzBool QuietFlag;                    //  44
  DzBool PathForTempFlag;              //  48
  const char* lpszTempPath;            //  52
  DzBool FixFlag;                      //  56
  DzBool FixHarderFlag;                //  60
  DzBool IncludeVolumeFlag;            //  64
  DzBool DeleteOriginalFlag;           //  68
  DzBool GrowExistingFlag;             //  72
  DzBool NoDirectoryNamesFlag;         //  76
  DzBool ConvertLFtoCRLFFlag;          //  80
  DzBool AddCommentFlag;               //  84
  const char* lpszComment;             //  88
  DzBool AfterDateFlag;                //  92
  const char* lpszDate;                //  96  "mmddyy"
  DzBool OldAsLatestFlag;              // 100
  DzBool IncludeOnlyFollowingFlag;     // 104
  const char* lpszIncludeFollowing;    // 108
  DzBool ExcludeFollowingFlag;         // 112
  const char* lpszExcludeFollowing;    // 116
  DzBool NoDirectoryEntriesFlag;       // 120
  DzBool IncludeSysHiddenFlag;         // 124
  DzBool DontCompressTheseSuffixesFlag;// 128
  const char* lpszStoreSuffixes;       // 132  ".ZIP:.JPG:..."
  DzBool bDiagnostic;                  // 136
  DzBool EncryptFlag;                  // 140
  const char* lpszEncryptCode;         // 144
  TMessageCallbackFn MessageCallback;  // 148
  void* messageUserData;               // 152
  uint16_t wMultiVolControl;           // 156  MV_*
  uint16_t wZipSubOptions;             // 158  ZSO_*
  DzCallbackSubRecord* lpCallbackSubRecord; // 160
  void* zero1;                         // 164  "0" slot
  TRenameCallbackFn RenameCallback;    // 168
  void* renameUserData;                // 172
  const char* lpszExtProgTitle;        // 176
  void* reserved1;                     // 180
  void* reserved2;                     // 184
  DzBool LargeZIPFilesFlag;            // 188
  void* reserved3;                     // 192  split: address of the int64 volume size
  uint8_t zero2[24];                   // 196
};
static_assert(offsetof(ZipCmdRecord, recordSize) == 0);
static_assert(offsetof(ZipCmdRecord, functionCode) == 4);
static_assert(offsetof(ZipCmdRecord, lpszZipFile) == 8);
static_assert(offsetof(ZipCmdRecord, lpszItemList) == 16);
static_assert(offsetof(ZipCmdRecord, MajorCallback) == 24);
static_assert(offsetof(ZipCmdRecord, majorUserData) == 32);
static_assert(offsetof(ZipCmdRecord, MinorCallback) == 40);
static_assert(offsetof(ZipCmdRecord, minorUserData) == 48);
static_assert(offsetof(ZipCmdRecord, DosifyFlag) == 56);
static_assert(offsetof(ZipCmdRecord, RecurseFlag) == 60);
static_assert(offsetof(ZipCmdRecord, CompFactor) == 64);
static_assert(offsetof(ZipCmdRecord, QuietFlag) == 68);
static_assert(offsetof(ZipCmdRecord, PathForTempFlag) == 72);
static_assert(offsetof(ZipCmdRecord, lpszTempPath) == 80);
static_assert(offsetof(ZipCmdRecord, FixFlag) == 88);
static_assert(offsetof(ZipCmdRecord, FixHarderFlag) == 92);
static_assert(offsetof(ZipCmdRecord, IncludeVolumeFlag) == 96);
static_assert(offsetof(ZipCmdRecord, DeleteOriginalFlag) == 100);
static_assert(offsetof(ZipCmdRecord, GrowExistingFlag) == 104);
static_assert(offsetof(ZipCmdRecord, NoDirectoryNamesFlag) == 108);
static_assert(offsetof(ZipCmdRecord, ConvertLFtoCRLFFlag) == 112);
static_assert(offsetof(ZipCmdRecord, AddCommentFlag) == 116);
static_assert(offsetof(ZipCmdRecord, lpszComment) == 120);
static_assert(offsetof(ZipCmdRecord, AfterDateFlag) == 128);
static_assert(offsetof(ZipCmdRecord, lpszDate) == 136);
static_assert(offsetof(ZipCmdRecord, OldAsLatestFlag) == 144);
static_assert(offsetof(ZipCmdRecord, IncludeOnlyFollowingFlag) == 148);
static_assert(offsetof(ZipCmdRecord, lpszIncludeFollowing) == 152);
static_assert(offsetof(ZipCmdRecord, ExcludeFollowingFlag) == 160);
static_assert(offsetof(ZipCmdRecord, lpszExcludeFollowing) == 168);
static_assert(offsetof(ZipCmdRecord, NoDirectoryEntriesFlag) == 176);
static_assert(offsetof(ZipCmdRecord, IncludeSysHiddenFlag) == 180);
static_assert(offsetof(ZipCmdRecord, DontCompressTheseSuffixesFlag) == 184);
static_assert(offsetof(ZipCmdRecord, lpszStoreSuffixes) == 192);
static_assert(offsetof(ZipCmdRecord, bDiagnostic) == 200);
static_assert(offsetof(ZipCmdRecord, EncryptFlag) == 204);
static_assert(offsetof(ZipCmdRecord, lpszEncryptCode) == 208);
static_assert(offsetof(ZipCmdRecord, MessageCallback) == 216);
static_assert(offsetof(ZipCmdRecord, messageUserData) == 224);
static_assert(offsetof(ZipCmdRecord, wMultiVolControl) == 232);
static_assert(offsetof(ZipCmdRecord, wZipSubOptions) == 234);
static_assert(offsetof(ZipCmdRecord, lpCallbackSubRecord) == 240);
static_assert(offsetof(ZipCmdRecord, zero1) == 248);
static_assert(offsetof(ZipCmdRecord, RenameCallback) == 256);
static_assert(offsetof(ZipCmdRecord, renameUserData) == 264);
static_assert(offsetof(ZipCmdRecord, lpszExtProgTitle) == 272);
static_assert(offsetof(ZipCmdRecord, reserved1) == 280);
static_assert(offsetof(ZipCmdRecord, reserved2) == 288);
static_assert(offsetof(ZipCmdRecord, LargeZIPFilesFlag) == 296);
static_assert(offsetof(ZipCmdRecord, reserved3) == 304);
static_assert(offsetof(ZipCmdRecord, zero2) == 312);
static_assert(sizeof(ZipCmdRecord) == 336);

// ---------------------------------------------------------------------------------
// Extraction command record (entry `dunzip`). Note: minor callback before major.
struct UnzipCmdRecord {
  uint32_t recordSize;                 //   0  sizeof(UnzipCmdRecord)
  int32_t functionCode;                //   4  UNZIP_*
  const char* lpszZipFile;             //   8
  void* zero1;                         //  12  "0" slot
  const char* lpszFileSpec;            //  16  blank-separated masks
  int32_t IndexofItem;                 //  20  ignored (callers leave it -1 or stale)
  const char* lpszDestination;         //  24
  DzBool FreshenFlag;                  //  28
  DzBool UpdateFlag;                   //  32
  DzBool OverWriteFlag;                //  36
  DzBool QuietFlag;                    //  40
  DzBool TestFlag;                     //  44
  DzBool NoDirectoryNamesFlag;         //  48
  DzBool RecurseFlag;                  //  52
  DzBool NoDirectoryItemsFlag;         //  56
  TStatusCallbackFn MinorCallback;     //  60
  void* minorUserData;                 //  64
  TStatusCallbackFn MajorCallback;     //  68
  void* majorUserData;                 //  72
  int32_t itemCount;                   //  76  in and out
  char* lpszReturnString;              //  80
  DzBool bDiagnostic;                  //  84
  DzBool bLF2CRLFFlag;                 //  88
  DzBool DecryptFlag;                  //  92
  const char* lpszDecryptCode;         //  96
  TMessageCallbackFn MessageCallback;  // 100
  void* messageUserData;               // 104
  uint16_t wUnzipSubOptions;           // 108  USO_*
  DzCallbackSubRecord* lpCallbackSubRecord; // 110
  void* zero2;                         // 114  "0" slot
  TRenameCallbackFn RenameCallback;    // 118
  void* renameUserData;                // 122
  const char* lpszExtProgTitle;        // 126
  void* reserved1;                     // 130
  void* reserved2;                     // 134
  void* reserved3;                     // 138
  struct UnzipInfoBuffer* lpInfoBuffer;// 142
  uint8_t zero3[24];                   // 146
};
static_assert(offsetof(UnzipCmdRecord, recordSize) == 0);
static_assert(offsetof(UnzipCmdRecord, functionCode) == 4);
static_assert(offsetof(UnzipCmdRecord, lpszZipFile) == 8);
static_assert(offsetof(UnzipCmdRecord, zero1) == 16);
static_assert(offsetof(UnzipCmdRecord, lpszFileSpec) == 24);
static_assert(offsetof(UnzipCmdRecord, IndexofItem) == 32);
static_assert(offsetof(UnzipCmdRecord, lpszDestination) == 40);
static_assert(offsetof(UnzipCmdRecord, FreshenFlag) == 48);
static_assert(offsetof(UnzipCmdRecord, UpdateFlag) == 52);
static_assert(offsetof(UnzipCmdRecord, OverWriteFlag) == 56);
static_assert(offsetof(UnzipCmdRecord, QuietFlag) == 60);
static_assert(offsetof(UnzipCmdRecord, TestFlag) == 64);
static_assert(offsetof(UnzipCmdRecord, NoDirectoryNamesFlag) == 68);
static_assert(offsetof(UnzipCmdRecord, RecurseFlag) == 72);
static_assert(offsetof(UnzipCmdRecord, NoDirectoryItemsFlag) == 76);
static_assert(offsetof(UnzipCmdRecord, MinorCallback) == 80);
static_assert(offsetof(UnzipCmdRecord, minorUserData) == 88);
static_assert(offsetof(UnzipCmdRecord, MajorCallback) == 96);
static_assert(offsetof(UnzipCmdRecord, majorUserData) == 104);
static_assert(offsetof(UnzipCmdRecord, itemCount) == 112);
static_assert(offsetof(UnzipCmdRecord, lpszReturnString) == 120);
static_assert(offsetof(UnzipCmdRecord, bDiagnostic) == 128);
static_assert(offsetof(UnzipCmdRecord, bLF2CRLFFlag) == 132);
static_assert(offsetof(UnzipCmdRecord, DecryptFlag) == 136);
static_assert(offsetof(UnzipCmdRecord, lpszDecryptCode) == 144);
static_assert(offsetof(UnzipCmdRecord, MessageCallback) == 152);
static_assert(offsetof(UnzipCmdRecord, messageUserData) == 160);
static_assert(offsetof(UnzipCmdRecord, wUnzipSubOptions) == 168);
static_assert(offsetof(UnzipCmdRecord, lpCallbackSubRecord) == 176);
static_assert(offsetof(UnzipCmdRecord, zero2) == 184);
static_assert(offsetof(UnzipCmdRecord, RenameCallback) == 192);
static_assert(offsetof(UnzipCmdRecord, renameUserData) == 200);
static_assert(offsetof(UnzipCmdRecord, lpszExtProgTitle) == 208);
static_assert(offsetof(UnzipCmdRecord, reserved1) == 216);
static_assert(offsetof(UnzipCmdRecord, reserved2) == 224);
static_assert(offsetof(UnzipCmdRecord, reserved3) == 232);
static_assert(offsetof(UnzipCmdRecord, lpInfoBuffer) == 240);
static_assert(offsetof(UnzipCmdRecord, zero3) == 248);
static_assert(sizeof(UnzipCmdRecord) == 272);

// ---------------------------------------------------------------------------------
// Info buffer (2150 bytes, packed; the caller sets infoSize to 2150 before each call)
// and the caller's item record (310 bytes, packed), copied from it after a call.
#pragma pack(push, 1)
struct UnzipInfoBuffer {
  uint32_t infoSize;            //    0  kUnzipInfoBufferSize
  uint16_t method;              //    4  compression method of the item
  uint16_t reserved6;           //    6
  uint32_t compressedSize;      //    8  low 32 bits
  uint32_t compressedSizeHigh;  //   12
  uint32_t uncompressedSize;    //   16  low 32 bits
  uint32_t uncompressedSizeHigh;//   20
  uint32_t attributes;          //   24  Windows attribute bits; kItemEncrypted = encrypted
  uint32_t crc32;               //   28
  uint16_t dosDate;             //   32
  uint16_t dosTime;             //   34
  uint16_t gpFlags;             //   36  general-purpose bits
  char dateTimeText[32];        //   38  "mm/dd/yy hh:mm:ss" (at most 17 characters)
  char name[2048];              //   70  UTF-8, '/' between folders, NUL-terminated
  uint32_t itemIndex;           // 2118  index of the item in the zip
  uint32_t itemCount;           // 2122  number of items in the zip
  uint8_t reserved2126[24];     // 2126
};
#pragma pack(pop)
constexpr uint32_t kUnzipInfoBufferSize = 2150;
constexpr uint32_t kItemEncrypted = 0x8000;
static_assert(offsetof(UnzipInfoBuffer, method) == 4);
static_assert(offsetof(UnzipInfoBuffer, compressedSize) == 8);
static_assert(offsetof(UnzipInfoBuffer, uncompressedSize) == 16);
static_assert(offsetof(UnzipInfoBuffer, attributes) == 24);
static_assert(offsetof(UnzipInfoBuffer, crc32) == 28);
static_assert(offsetof(UnzipInfoBuffer, dosDate) == 32);
static_assert(offsetof(UnzipInfoBuffer, dosTime) == 34);
static_assert(offsetof(UnzipInfoBuffer, gpFlags) == 36);
static_assert(offsetof(UnzipInfoBuffer, dateTimeText) == 38);
static_assert(offsetof(UnzipInfoBuffer, name) == 70);
static_assert(offsetof(UnzipInfoBuffer, itemIndex) == 2118);
static_assert(offsetof(UnzipInfoBuffer, itemCount) == 2122);
static_assert(sizeof(UnzipInfoBuffer) == kUnzipInfoBufferSize);

#pragma pack(push, 1)
struct UnzipItemRecord {
  uint16_t method;              //   0  from info   4
  uint32_t compressedSize;      //   2  from info   8
  uint32_t uncompressedSize;    //   6  from info  16
  uint16_t dosDate;             //  10  from info  32
  uint16_t dosTime;             //  12  from info  34
  uint16_t gpFlags;             //  14  from info  36
  uint32_t crc32;               //  16  from info  28
  char dateTimeText[18];        //  20  from info  38, at most 17 characters
  char name[260];               //  38  from info  70, at most 259 characters
  uint32_t attributes;          // 298  from info  24; kItemEncrypted = encrypted
  uint32_t itemIndex;           // 302  from info 2118
  uint32_t itemCount;           // 306  from info 2122
};
#pragma pack(pop)
static_assert(offsetof(UnzipItemRecord, compressedSize) == 2);
static_assert(offsetof(UnzipItemRecord, uncompressedSize) == 6);
static_assert(offsetof(UnzipItemRecord, dosDate) == 10);
static_assert(offsetof(UnzipItemRecord, dosTime) == 12);
static_assert(offsetof(UnzipItemRecord, gpFlags) == 14);
static_assert(offsetof(UnzipItemRecord, crc32) == 16);
static_assert(offsetof(UnzipItemRecord, dateTimeText) == 20);
static_assert(offsetof(UnzipItemRecord, name) == 38);
static_assert(offsetof(UnzipItemRecord, attributes) == 298);
static_assert(offsetof(UnzipItemRecord, itemIndex) == 302);
static_assert(offsetof(UnzipItemRecord, itemCount) == 306);
static_assert(sizeof(UnzipItemRecord) == 310);

// ---------------------------------------------------------------------------------
// The entries, exported undecorated from the two DLLs, and their types for GetProcAddress.
using DZipFn = int32_t(__stdcall*)(ZipCmdRecord* record);
using DUnzipFn = int32_t(__stdcall*)(UnzipCmdRecord* record);

// A caller's whole extraction, as the runner's X command asks for it: every item of zip
// into dest, with folders and overwriting, or a test of every item when dest is nullptr.
// The record points at the sub-record and the info buffer beside it, so it stays in place.
struct ExtractAllCommand {
  UnzipCmdRecord record{};
  DzCallbackSubRecord sub{};
  UnzipInfoBuffer info{};
  ExtractAllCommand(const char* zip, const char* dest) {
    info.infoSize = kUnzipInfoBufferSize;
    sub.size = sizeof sub;
    record.recordSize = sizeof record;
    record.functionCode = UNZIP_EXTRACT;
    record.lpszZipFile = zip;
    record.lpszFileSpec = "*.*";
    record.IndexofItem = -1;
    record.lpszDestination = dest ? dest : "";
    record.TestFlag = dest ? 0 : kDzTrue;
    record.OverWriteFlag = record.RecurseFlag = record.QuietFlag = kDzTrue;
    record.lpCallbackSubRecord = &sub;
    record.lpInfoBuffer = &info;
  }
  ExtractAllCommand(const ExtractAllCommand&) = delete;
  ExtractAllCommand& operator=(const ExtractAllCommand&) = delete;
};

}  // namespace dz

// The entries are exported undecorated: extern "C" int32_t __stdcall dzip(dz::ZipCmdRecord*)
// from dzip32.dll and extern "C" int32_t __stdcall dunzip(dz::UnzipCmdRecord*) from dunzip32.dll.
