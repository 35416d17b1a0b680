#pragma once
// One backup profile as it lives in the registry under Profiles\<name>, with the
// building of its dated zip file name, the pruning of its zip logs, the texts of the
// manager's zip-size column and the texts of the zip library's result codes.
//
// Loading and malformed numbers: every LoadFromRegistry of the records (profile,
// schedule, autorun) returns true when the record loaded cleanly. When a stored
// number cannot be read as one (a double or lzs that is not a number), the value
// keeps its default, the rest of the record still loads, the call returns false and,
// when an error text is asked for, it receives one line naming the key, the value and
// the stored text, e.g.
//   Value "adt" in Profiles\Docs is not a number: "abc"
// The profile reports the same way every value it reads that is not stored as plain
// text (a number, another type, a text with a NUL inside): it is read by the store's
// rule (toolkit/reginifile.h) and named in a line of StoredFormText. A 32-bit number
// whose text is not one (or lies beyond 32 bits) keeps its default with one line too.
// The caller turns that line into an error line or a message.
// The values that decide what a run protects or leaves out are not read by that rule:
// see UnreadableGuards.
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "settings/strflag.h"
#include "toolkit/datetime.h"
#include "toolkit/reginifile.h"
#include "toolkit/stringlist.h"

// Positions of the profile's option string b (1-based).
enum TQbProfileOption : int {
  poArchiveOnly = 1,        // include only files whose Archive attribute is set
  poClearArchive = 2,       // clear the Archive attribute of the zipped files
  poNoFolderNames = 3,      // do not store folder names
  poShortNames = 4,         // store file names in 8.3 form
  poZipTimeOfNewest = 5,    // the zip's time stamp is that of its newest file
  poRecurse = 6,            // recurse into sub-folders
  poHiddenAndSystem = 7,    // include hidden and system files
  poStoreAndZip = 8,        // store in a temporary zip first, then zip that
  poDeleteZipFirst = 9,     // delete the zip file before the run
  poDefaultComment = 10,    // use the default comment
  poTempInTarget = 11,      // temporary file in the target folder
  poLargeZip = 12,          // large zip file support
  poGrowZip = 13,           // try to grow the existing zip
  poNoCompressArchives = 14,
  poNoCompressImages = 15,
  poSkipLocked = 16,
  poCurrentMonth = 17,
  poCurrentWeek = 18,
  poCurrentDay = 19,
  poDeleteSources = 20,
};

inline constexpr const char* DefaultProfileFlags = "00000110001001000000";

class TQbProfile {
 public:
  TQbProfile();
  ~TQbProfile();
  TQbProfile(const TQbProfile&) = delete;
  TQbProfile& operator=(const TQbProfile&) = delete;

  // Every field to its default; pn stays as it is.
  void SetDefaults();

  // Reads Profiles\<name> (the name alone in the old layout). Missing values take
  // their defaults, a missing key gives a profile of defaults with an empty pn; pn
  // is the stored pn, not the name given. See the top of this file for the result.
  bool LoadFromRegistry(const std::string& name, std::string* error = nullptr);
  // Writes Profiles\<pn>: b, zf and pn always, every other value only when it
  // differs from its default (deleting it otherwise), efil last. Nothing else under
  // the key is touched.
  // A profile without a name is not saved (false): its values would land in the
  // Profiles key itself.
  bool SaveToRegistry();
  void SaveExcludeFilters();
  // The first item of efil equal to oldName (without regard to case) becomes
  // newName / is removed; when one was found, efil is saved. True when found.
  bool RenameExcludeFilter(const std::string& oldName, const std::string& newName);
  bool RemoveExcludeFilter(const std::string& name);

  const std::string& GetZipFile() const { return zf; }
  void SetZipFile(const std::string& name) { zf = name; }

  // The zip file a run writes; a multi-computer profile passes the computer as
  // subDir, others pass "".
  std::string GetZipFileName(const std::string& subDir) const;
  // The dated zip name for today; with wildcard the mask of all dated zips of the
  // profile (every d, m and y a "?", "ww" as "Week?").
  std::string MakeZipNameWithDate(const std::string& subDir, bool wildcard) const;
  // As above for a given day instead of today.
  std::string MakeZipNameWithDate(const std::string& subDir, bool wildcard,
                                  tk::TDateTime day) const;
  // fileName (without folder), found with the mask of MakeZipNameWithDate, is one the
  // dated name gives on some day: a digit wherever the date has a number. The pruning of
  // old zips takes no other.
  bool IsDatedZipName(const std::string& fileName, const std::string& subDir) const;
  // il, after "bdir\  ->  " when a base folder is set.
  std::string GetSourceText() const;

  // Adds up the per-computer result codes (kind 1: ze, kind 2: te) of the computers
  // of cns and stores the sum as the profile's own ze / te.
  void SumComputerResults(int kind);
  void UpdateZipErrorTotal() { SumComputerResults(1); }
  void UpdateTestErrorTotal() { SumComputerResults(2); }
  // Deletes the per-computer values (lr, lt, ze, te, zs) of computers no longer in
  // cns; nothing when cns is empty.
  void RemoveStaleComputerValues();
  // Keeps the nrl newest zip logs of the profile; files that cannot be deleted add a
  // line to errorList.
  void PruneZipLogs(tk::TStringList& errorList) const;

  // Text of the manager's zip-size column.
  std::string GetZipSizeText(int precision, const std::string& sizeUnit, bool useStoredSize,
                             const std::string& computer) const;
  // The same for a profile that may be missing ("nil").
  static std::string GetZipSizeText(const TQbProfile* profile, int precision,
                                    const std::string& sizeUnit, bool useStoredSize,
                                    const std::string& computer);

  // The values that decide what a run protects or leaves out (the password ec, the
  // excludes ef and efil, the medium labels ml, the options b) which the last
  // LoadFromRegistry could not read as they were saved: another type, a number, a NUL
  // inside, and for b also an empty text. One line each, e.g.
  //   Value "ec" in Profiles\Docs is not stored as text
  // Such a field keeps its default, which would weaken the backup: a run stops on it.
  // SaveToRegistry leaves such a stored value as it is while its field still holds what
  // was loaded (nobody gave it a new one).
  const std::vector<std::string>& UnreadableGuards() const { return unreadableLines_; }

  // The registry key of this profile (Profiles\<pn>).
  std::string RegistryKey() const;
  bool IsMultiComputer() const { return !cns.empty(); }

  // Fields, named after the registry values that store them.
  std::string zf;
  std::unique_ptr<TStrFlag> b;
  int32_t cf = 5;
  int32_t ecmd = 3;
  std::string ssuf;
  std::string il;
  std::string cns;
  std::string ef;
  std::string ec;  // the password, in plain text
  std::string cmt;
  double adt = 0;
  std::string bdir;
  double lrun = 0;
  double ltst = 0;
  int64_t lzs = -2;
  std::string pn;
  std::string ml;
  std::string zfndf;
  int32_t ztk = -1;
  int32_t ze = 0;
  int32_t te = 0;
  int32_t nrl = 0;
  std::string efil;

 private:
  // The dated zip name: mask 0 for day, 1 the pruning mask, 2 that mask with its numbers
  // marked (IsDatedZipName).
  std::string DatedZipName(const std::string& subDir, int mask, tk::TDateTime day) const;
  // The text of the guarded field name holds now.
  std::string GuardText(const std::string& name) const;
  // Saving over the key it was loaded from, the field of this unreadable value is unchanged.
  bool KeepsStored(const std::string& name, const std::string& key) const;

  std::vector<std::string> unreadableLines_;
  std::vector<std::pair<std::string, std::string>> unreadable_;   // name, field text as loaded
  std::string loadedKey_;
};

// Stored doubles (dates, times, the date filter) are the general float text with '.'.
// Reads one: a missing value gives def; a text that is not a number leaves def in
// *value, returns false and, when error is given, puts the line described at the top
// of this file in it.
bool ReadFloatValue(const tk::TRegIniFile& ini, const std::string& section,
                    const std::string& name, double def, double* value, std::string* error);
// The same from a section read at once; section names the key in the error line.
bool ReadFloatValue(const tk::TRegSection& values, const std::string& section,
                    const std::string& name, double def, double* value, std::string* error);
// The same line for a value whose text is not a number.
std::string NotANumberText(const std::string& section, const std::string& name,
                           const std::string& text);

// The line for a value that is not stored as plain text, naming how it was read; "" for
// a plain text or a missing value:
//   Value "b" in Profiles\Docs is stored as a number, not as text: read as "272"
std::string StoredFormText(const tk::TRegSection& values, const std::string& section,
                           const std::string& name);

// The line for a value whose text is what a run keeps or leaves out, stored so that it does
// not read as what was saved (another type, a number, a NUL inside); "" for a plain text
// or a missing value:
//   Value "ec" in Profiles\Docs is not stored as text
std::string UnreadableFormText(const tk::TRegSection& values, const std::string& section, const std::string& name);

// "Week1" .. "Week4" for the day of the month of the given day (days 22 to 31 are Week4).
std::string WeekOfMonthText(tk::TDateTime day);
// The first "ww" (in any case) of text replaced by the week of the month of the given day.
std::string ExpandWeekToken(const std::string& text, tk::TDateTime day);
// The stored date format as the system uses it: a lone "d" becomes "dd", and "w1",
// "w2", "w3" become "ww".
std::string NormalizeZipDateFormat(const std::string& format);
// '_' when the format holds one, else '-' when it holds one, else a blank.
char ZipNameSeparator(const std::string& dateFormat);

// "0." and max(n, 1) zeros.
std::string DecimalsMask(int n);
// A size as "n bytes", "x.xx KB", "MB" or "GB" (chosen by magnitude when the unit is
// none of bytes, KB, MB); -1 gives "can't open".
std::string FormatFileSize(const std::string& sizeUnit, int64_t size, int precision);

// Texts of the zip library's result codes: compression side 0..51, extraction side
// 0..50 (codes without a text of their own read "Error <code>").
inline constexpr int ZipErrorTextCount = 52;
inline constexpr int UnzipErrorTextCount = 51;
extern const std::string ZipErrorTexts[ZipErrorTextCount];
extern std::string UnzipErrorTexts[UnzipErrorTextCount];
void FillUnzipErrorTexts();
