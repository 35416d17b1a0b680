#pragma once
// The codes and callback types of the zip library's two entries: function codes, option
// bits, message ids, result codes. Apart from the command records (dzrecords.h), so that
// the writer and the reader speak the entries' codes without seeing the records.
#include <cstddef>
#include <cstdint>

#ifndef __stdcall
#define __stdcall
#endif

namespace dz {

using DzBool = int32_t;
constexpr DzBool kDzTrue = -1;
constexpr DzBool kDzFalse = 0;

// ---------------------------------------------------------------------------------
// Callbacks. Every callback reaches the caller on the calling thread, from inside the
// entry call. The user data given beside each callback in the record comes back last.

// Major (item text, overall percent) and minor (current file, its percent) progress.
// Return -1 to ask the library to stop (compression result ZE_ABORT, extraction
// UE_CANCEL); the minor answer counts only with ZSO_MINORCANCEL / USO_MINORCANCEL.
// Item names use '/' between folders.
using TStatusCallbackFn = int32_t(__stdcall*)(const char* szItem, int32_t Percent, void* userData);

// Message callback. MsgID and mbType are taken by their low 16 bits. lpsz1 and lpsz2 are
// always two writable buffers of kDzMsgBufferSize bytes each (the library terminates them
// after the call, so an answer is cut to kDzMsgBufferSize - 1 bytes). For ids 11 and 12
// lpsz1 holds the text; for id 13 the caller answers in lpsz1. The return value is the
// caller's RtnResult.
using TMessageCallbackFn = int32_t(__stdcall*)(int32_t MsgID, int32_t mbType, int32_t p1, int32_t p2,
                                               char* lpsz1, char* lpsz2, void* userData);
constexpr size_t kDzMsgBufferSize = 4096;

// Rename and memory-to-memory callbacks: part of the records; never called by our
// library (the system assigns no handler).
using TRenameCallbackFn = int32_t(__stdcall*)(void* dzr, void* userData);
using TMemToMemCallbackFn = void(__stdcall*)(int32_t lAction, char* lpMemBuf, uint32_t* pdwSize,
                                             int32_t dwTotalReadL, int32_t dwTotalReadH,
                                             int32_t dwTotalWrittenL, int32_t dwTotalWrittenH,
                                             void* userData, int32_t* plRet);

// ---------------------------------------------------------------------------------
// Function codes.
constexpr int32_t ZIP_FRESHEN = 1;   // replace changed entries only
constexpr int32_t ZIP_UPDATE = 3;    // replace changed entries, add new files
constexpr int32_t ZIP_ADD = 4;       // add and replace; with MV_USEMULTI | MV_TOHD: split

constexpr int32_t UNZIP_OPEN = 1;         // open the zip; itemCount := number of items
constexpr int32_t UNZIP_NEXTITEM = 2;     // info buffer := the next item (cursor per user data)
constexpr int32_t UNZIP_COUNTMATCHING = 3;// itemCount := number of items matching the spec
constexpr int32_t UNZIP_EXTRACT = 8;      // extract (or test with TestFlag; join with USO_MVFROMHD)

// ---------------------------------------------------------------------------------
// Members of the binding's option sets, as bit positions (member n = bit n of the mask).
enum class TZipFlag : int {
  RecurseFlag, PathForTempFlag, FixFlag, FixHarderFlag, IncludeVolumeFlag, DeleteOriginalFlag,
  GrowExistingFlag, NoDirectoryNamesFlag, AddCommentFlag, AfterDateFlag, OldAsLatestFlag,
  IncludeOnlyFollowingFlag, ExcludeFollowingFlag, NoDirectoryEntriesFlag, IncludeSysHiddenFlag,
  bDiagnostic, LargeZIPFilesFlag
};
enum class TZipFormat : int {
  DosifyFlag, EncryptFlag, DontCompressTheseSuffixesFlag, ConvertLFtoCRLFFlag, QuietFlag
};
enum class TMultiVolFlag : int {
  MV_USEMULTI, MV_FORMAT, MV_LOWDENSE, MV_WIPE, MV_SUBDIR, MV_SYSHIDE, MV_CDFIRST, MV_TOHD
};
enum class TZipSubOption : int {
  ZSO_RELATIVEPATH, ZSO_MINORCANCEL, ZSO_EXTERNALPROG, ZSO_EXTPROGCANCEL, ZSO_IGNORELONGNAMES,
  ZSO_MANGLELONGNAMES, ZSO_SKIPLOCKEDFILES, ZSO_FORCEREMOVEABLE, ZSO_LOGZIPRESULTS,
  ZSO_JUST_ARCHIVED, ZSO_RESET_ARCHIVED, ZSO_INHIBIT_PUMP, ZSO_ANSI_NAMES
};
enum class TUnzipFlag : int {
  FreshenFlag, UpdateFlag, OverWriteFlag, QuietFlag, TestFlag, NoDirectoryNamesFlag, RecurseFlag,
  NoDirectoryItemsFlag, bDiagnostic, bLF2CRLFFlag, DecryptFlag
};
enum class TUnzipSubOption : int {
  USO_OVERWRITE_RO, USO_MINORCANCEL, USO_EXTERNALPROG, USO_EXTPROGCANCEL, USO_IGNORELONGNAMES,
  USO_MANGLELONGNAMES, USO_FORCEREMOVEABLE, USO_LOGZIPRESULTS, USO_INHIBIT_PUMP, USO_MVFROMHD,
  USO_LEAVEPARTIAL, USO_ANSI_NAMES
};

// Values in the record's words.
constexpr uint16_t MV_USEMULTI = 0x8000;
constexpr uint16_t MV_FORMAT = 0x0001;
constexpr uint16_t MV_LOWDENSE = 0x0002;
constexpr uint16_t MV_WIPE = 0x0100;
constexpr uint16_t MV_SUBDIR = 0x0200;
constexpr uint16_t MV_SYSHIDE = 0x0400;
constexpr uint16_t MV_CDFIRST = 0x1000;
constexpr uint16_t MV_TOHD = 0x4000;

constexpr uint16_t ZSO_RELATIVEPATH = 0x0001;
constexpr uint16_t ZSO_MINORCANCEL = 0x0002;
constexpr uint16_t ZSO_EXTERNALPROG = 0x0004;
constexpr uint16_t ZSO_EXTPROGCANCEL = 0x0008;
constexpr uint16_t ZSO_IGNORELONGNAMES = 0x0010;
constexpr uint16_t ZSO_MANGLELONGNAMES = 0x0020;
constexpr uint16_t ZSO_SKIPLOCKEDFILES = 0x0040;
constexpr uint16_t ZSO_FORCEREMOVEABLE = 0x0080;
constexpr uint16_t ZSO_LOGZIPRESULTS = 0x0100;
constexpr uint16_t ZSO_JUST_ARCHIVED = 0x0200;
constexpr uint16_t ZSO_RESET_ARCHIVED = 0x0400;
constexpr uint16_t ZSO_INHIBIT_PUMP = 0x4000;
constexpr uint16_t ZSO_ANSI_NAMES = 0x0800;

constexpr uint16_t USO_OVERWRITE_RO = 0x0001;
constexpr uint16_t USO_MINORCANCEL = 0x0002;
constexpr uint16_t USO_EXTERNALPROG = 0x0004;
constexpr uint16_t USO_EXTPROGCANCEL = 0x0008;
constexpr uint16_t USO_IGNORELONGNAMES = 0x0010;
constexpr uint16_t USO_MANGLELONGNAMES = 0x0020;
constexpr uint16_t USO_FORCEREMOVEABLE = 0x0080;
constexpr uint16_t USO_LOGZIPRESULTS = 0x0100;
constexpr uint16_t USO_INHIBIT_PUMP = 0x4000;
constexpr uint16_t USO_MVFROMHD = 0x2000;
constexpr uint16_t USO_LEAVEPARTIAL = 0x0040;
constexpr uint16_t USO_ANSI_NAMES = 0x0800;

// ---------------------------------------------------------------------------------
// Message ids of the message callback.
constexpr int32_t DZ_MSG_OPEN_ERROR = 2;   // the zip could not be opened
constexpr int32_t DZ_MSG_READ_ERROR = 3;   // reading the zip failed
constexpr int32_t DZ_MSG_WRITE_ERROR = 4;  // writing the zip failed: the system's error code in p1
constexpr int32_t DZ_MSG_ERROR = 11;       // an error: result code in p1, text in lpsz1
constexpr int32_t DZ_MSG_WARNING = 12;     // a warning: text in lpsz1
constexpr int32_t DZ_MSG_QUERY = 13;       // compression asks; the answer goes into lpsz1
constexpr int32_t DZ_QUERY_LOGFILENAME = 701;   // p1 of id 13: the zip log's file name
constexpr int32_t DZ_QUERY_LOGHEADER = 702;     // p1 of id 13: the log header with one "%s"
// p1 of id 13, asked with ZSO_RESET_ARCHIVED after success: a file name answered means the
// caller clears the archive bits itself later; the zipped files' paths are written there.
constexpr int32_t DZ_QUERY_ARCHIVELIST = 703;
// p1 of id 13, asked once the new zip is written: a file name answered means the caller had
// the zip written under a name of its own (to make it anew) and the new zip takes the place
// of the one answered; sources are deleted only once it stands there.
constexpr int32_t DZ_QUERY_FINALNAME = 704;

// ---------------------------------------------------------------------------------
// Result codes of `dzip` (texts: the runner's compression table).
constexpr int32_t ZE_OK = 0;
constexpr int32_t ZE_BUSY = 1;        // "Busy, can't re-enter now"
constexpr int32_t ZE_EOF = 2;         // "Unexpected end of Zip file"
constexpr int32_t ZE_FORMAT = 3;      // "Zip file structure invalid"
constexpr int32_t ZE_MEM = 4;         // "Out of memory"
constexpr int32_t ZE_LOGIC = 5;       // "Internal logic error"
constexpr int32_t ZE_BIG = 6;         // "Entry too big to split"
constexpr int32_t ZE_NOTE = 7;        // "Invalid comment format" (comment over 65535 bytes)
constexpr int32_t ZE_TEST = 8;        // "Zip file invalid or insufficient memory"
constexpr int32_t ZE_ABORT = 9;       // "Operation cancelled"
constexpr int32_t ZE_TEMP = 10;       // "Temporary file failure"
constexpr int32_t ZE_READ = 11;       // "Input file read failure"
constexpr int32_t ZE_NONE = 12;       // "Nothing to do!"
constexpr int32_t ZE_NAME = 13;       // "Missing or empty Zip file"
constexpr int32_t ZE_WRITE = 14;      // "Output file write failure, possible disk full"
constexpr int32_t ZE_CREAT = 15;      // "Could not create ZIP file"
constexpr int32_t ZE_PARMS = 16;      // "Invalid combination of control parameters"
constexpr int32_t ZE_INCOMPLETE = 17; // "Could not complete operation"
constexpr int32_t ZE_OPEN = 18;       // "File not found or no read permission"
constexpr int32_t ZE_MEDIA = 19;      // "Media error, disk not ready, or hardware error"
constexpr int32_t ZE_MVPARMS = 20;    // "Invalid combination of multi-volume control parameters"
constexpr int32_t ZE_MVUSAGE = 21;    // "Improper use of a multi-volume ZIP file"

// Result codes of `dunzip` (texts: the extraction table).
constexpr int32_t UE_OK = 0;
constexpr int32_t UE_EOF = 2;          // "Unexpected end of ZIP file"
constexpr int32_t UE_STRUCT = 3;       // "ZIP file structure invalid"
constexpr int32_t UE_MEM = 4;          // "Out of memory"
constexpr int32_t UE_NOTFOUND = 9;     // "File not found"
constexpr int32_t UE_NOFILES = 11;     // "No files to test, extract, etc"
constexpr int32_t UE_SAMEVOL = 12;     // "Same Volume"
constexpr int32_t UE_INDEX = 25;       // "Index out of bounds"
constexpr int32_t UE_CREATE = 28;      // "Error creating output file"
constexpr int32_t UE_OPEN = 29;        // "Error opening archive"
constexpr int32_t UE_CRC = 39;         // "Bad CRC"
constexpr int32_t UE_APPCANCEL = 40;   // "Application cancelled operation"
constexpr int32_t UE_ENCRYPTED = 41;   // "File skipped, encrypted"
constexpr int32_t UE_METHOD = 42;      // "File skipped, unknown compression method"
constexpr int32_t UE_BADPASSWORD = 44; // "Bad or missing decrypt code"
constexpr int32_t UE_BUSY = 45;        // "Busy, can't enter now"
constexpr int32_t UE_VOLLABEL = 46;    // "Can't extract a Volume label item"
constexpr int32_t UE_BADCMD = 47;      // "Bad command structure"
constexpr int32_t UE_CANCEL = 48;      // "Operation cancelled"
constexpr int32_t UE_SKIPPED = 49;     // "Operation skipped"
constexpr int32_t UE_DISKFULL = 50;    // "Disk full"

}  // namespace dz
