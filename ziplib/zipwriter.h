#pragma once
// The compression side of the library: what `dzip` does with one command, given as its
// options and a reporter (the DLL edge, dzip_edge.h, reads both from the command record).
// Pieces: file selection and entry names (dzip_select.cpp), the parallel compression
// pipeline and the output file (dzip_pipeline.cpp), the zip log (dzip_log.cpp), and the run
// itself (zipwriter.cpp).
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ziplib/dzcodes.h"
#include "ziplib/fileio.h"
#include "ziplib/reporter.h"
#include "ziplib/zipformat.h"

namespace ziplib {

// What one compression command asks for, texts as UTF-8; the DLL edge (dzip_edge.h) reads
// it from the command record once.
struct DzipOptions {
  int function = 0;
  std::string zipFile, itemList, tempPath, comment, date, include, exclude, storeSuffixes;
  int factor = 5;            // as given
  int level = 5;             // 0 store, 1..9 deflate or Deflate64
  bool deflate64 = false;    // factors 11..19: method 9 at level factor - 10
  std::string password;      // with `encrypt`: AES-256 (AE-2) for every file entry
  bool recurse = false, pathForTemp = false, deleteOriginal = false;
  bool noDirNames = false, addComment = false, afterDate = false, oldAsLatest = false;
  bool includeOnly = false, excludeOn = false, noDirEntries = false, includeSysHidden = false;
  bool storeSuffixesOn = false, diagnostic = false, encrypt = false;
  uint16_t mv = 0, zso = 0;
  std::optional<int64_t> volumeSize;     // a split's (MV_USEMULTI) largest volume, when given
  bool Sub(uint16_t bit) const { return (zso & bit) != 0; }
};

// One file or folder chosen for the zip.
struct SourceFile {
  std::wstring path;        // full path
  std::string zipName;      // UTF-8, '/' separated; a folder ends with '/'
  bool isDir = false;
  uint64_t size = 0;
  uint64_t mtime = 0, atime = 0, ctime = 0;   // FILETIME values (UTC)
  DWORD attrs = 0;
};

// Chooses the files of the item list with the record's filters. Warnings (duplicate names)
// go to the reporter. excludePath: the target zip, never taken into itself. unmatched,
// when given: the specs a run that finds nothing to do names, each in double quotes: those
// that matched nothing, else (every file they matched was filtered out) all of them.
std::vector<SourceFile> SelectFiles(const DzipOptions& o, Reporter& rep, const std::wstring& excludePath,
                                    std::string* unmatched = nullptr);

// The masks of an include or exclude list (dzip_select.cpp says how each is matched).
// relative: names are kept relative to the item's base folder. atDepth: the include list
// of a run that does not recurse, whose masks select files only at the depth they name.
// plainNamesFolders: a mask without wildcards names a folder too (an include list), not
// only one ending in '\' (an exclude list).
class MaskList {
 public:
  MaskList(const std::string& list, bool relative, bool atDepth = false, bool plainNamesFolders = true);
  bool Empty() const { return masks_.empty(); }
  // full: the file's full path; rel: its path below the base folder. A folder is asked
  // about with a trailing '\', as a file of any name in it would be. Each mask that
  // matches is noted as met.
  bool Matches(const std::string& full, const std::string& rel);
  // The folder (asked about as in Matches) is named by a mask, or lies below one that is:
  // everything in it matches.
  bool NamesFolder(const std::string& full, const std::string& rel) const;
  // A mask could select a file somewhere below the folder (asked about as in Matches).
  bool MayHoldBelow(const std::string& full, const std::string& rel) const;
  // The masks that never matched, as they were given.
  std::vector<std::string> Unmet() const;

 private:
  enum class Against { Name, Full, Relative };
  struct Mask {
    std::string given;     // as the list held it
    std::string file;      // matched as a file's mask ("" for a folder given with a trailing '\')
    std::string folder;    // what lies in the folder the mask names ("" when it names none)
    Against against, folderAgainst;
    bool met = false;
  };
  bool Match(const std::string& subject, const std::string& mask) const;
  std::vector<Mask> masks_;
  bool atDepth_;
};

// Helpers of the selection, open for tests of the library.
std::vector<std::string> SplitSpecList(const std::string& list);   // blanks, "quoted parts"
bool ParseAfterDate(const std::string& mmddyy, uint64_t* fileTimeUtc);  // local midnight
std::string MangleComponent(const std::string& name, int serial);       // 8.3 form
bool HasStoreSuffix(const std::string& name, const std::vector<std::string>& suffixes);

// What happened to each entry, for the log and the after-success actions.
enum class EntryAction { Added, Replaced, Kept, Skipped };
struct EntryResult {
  std::string zipName;
  std::wstring sourcePath;
  EntryAction action = EntryAction::Added;
  bool isDir = false;
  uint16_t method = 0;
  uint64_t size = 0, compressed = 0;
  uint64_t mtime = 0;
  bool changed = false;     // the file changed while it was read; the entry holds what was read
  std::string note;
};

// The zip being written, with a large buffer; Patch rewrites bytes already written.
class OutFile {
 public:
  bool Adopt(HANDLE h);      // writes through an open handle, closed by Close
  bool Write(const void* data, size_t len);
  bool Patch(uint64_t offset, const void* data, size_t len);
  bool Close();              // flushes; false when anything failed
  uint64_t Pos() const { return pos_; }
  bool Failed() const { return failed_; }
  unsigned long Error() const { return error_; }   // the system's code of the write that failed

 private:
  bool Flush();
  bool Fail();
  File file_;
  std::vector<uint8_t> buf_;
  size_t used_ = 0;
  uint64_t pos_ = 0;
  bool failed_ = false;
  unsigned long error_ = 0;
};

// One new entry for the pipeline.
struct NewItem {
  const SourceFile* src = nullptr;
  bool store = false;        // stored without compression (factor 0 or a store suffix)
  EntryAction action = EntryAction::Added;
};

// Compresses the new items in parallel (the caller's thread writes and calls back) and
// appends their local records to out and their central headers to central.
struct ProgressTotals {
  std::string majorItem;     // the text of the major callback (the zip file)
  uint64_t totalBytes = 0;
  uint64_t doneBytes = 0;
};
int CompressItems(const std::vector<NewItem>& items, const DzipOptions& o, OutFile& out, Reporter& rep,
                  ProgressTotals& progress, std::vector<EntryHeader>& central,
                  std::vector<EntryResult>& results);

// The zip log of one run (only with ZSO_LOGZIPRESULTS and a message callback).
class ZipLog {
 public:
  void Open(Reporter& rep, const DzipOptions& o);   // asks 701 and 702
  bool Active() const { return active_; }
  void Line(const std::string& text);
  void Entry(const EntryResult& e);
  void Summary(int result, const std::vector<EntryResult>& entries, double seconds);
  void Write();   // appends everything to the log file

 private:
  bool active_ = false;
  bool diagnostic_ = false;
  Reporter* rep_ = nullptr;   // the run's, for the warning of a log it could not write
  std::wstring file_;
  std::string text_;
};

// The header template filled as text: every "%s" becomes value, nothing else is read
// as a format (a "%d" or "%n" stays as it is).
std::string FillTemplate(const std::string& tmpl, const std::string& value);

// Runs one compression command; returns the result code.
int RunZip(const DzipOptions& o, Reporter& rep);

}  // namespace ziplib
