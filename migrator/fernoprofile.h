#pragma once
// The profile record of the old settings layout, read only by the converter: one key
// per profile directly under the old root, with long value names. Missing values take
// the defaults that the old programs used.
#include <string>

#include "toolkit/reginifile.h"
#include "toolkit/stringlist.h"

// The old default list of suffixes stored without compression.
inline constexpr const char* OldDefaultStoreSuffixes =
    " GIF PNG Z ZIP ZOO ARC LZH ARJ TAZ TGZ LHA RAR ACE CAB GZ GZIP JAR";

class TZipProfile {
 public:
  TZipProfile() = default;

  // Reads the key <name> below the root of ini (the old layout's store). Day counts
  // (LastRun, LastTested) are read with the process decimal separator in force
  // (tk::DecimalSeparator), the one the old programs wrote them with; a text in the
  // '.' form is taken too. A day count that is neither keeps 0, the rest still loads,
  // the result is false and *error (when given) gets one line per such value.
  // *uncopied (when given) gets a line, with CR LF, for each value carried over that is
  // stored so that it does not read as it was written (another type, a NUL inside, a
  // number where a text belongs), naming what it was read as.
  bool LoadFromRegistry(const tk::TRegIniFile& ini, const std::string& name,
                        std::string* error = nullptr, std::string* uncopied = nullptr);

  int AddCompLevel = 6;
  bool AddArchiveOnly = false;
  bool AddResetArchive = false;
  bool AddDirNames = true;
  bool AddForceDOS = false;
  bool AddZipTime = false;
  bool AddRecurseDirs = false;
  bool AddHiddenFiles = true;
  bool AddEncrypt = false;
  bool AddSeparateDirs = false;
  bool AddMove = false;
  bool AddFreshen = false;
  bool AddUpdate = true;
  std::string AddStoreSuffixes = OldDefaultStoreSuffixes;
  tk::TStringList FSpecArgs;      // include specifications; ">" in front marks recursion
  tk::TStringList FSpecArgsExcl;  // exclude specifications
  std::string Password;           // plain text
  bool UseDefaultComment = false;
  std::string Comment;            // the comment lines, each followed by CR LF
  std::string RootDir;
  bool DeleteBeforeRunning = false;
  std::string ZipFileName;
  std::string MediaLabel;
  std::string ProfileName;
  double LastRun = 0;
  bool RunOK = true;
  double LastTested = 0;
  bool TestOK = true;
  bool StoreAndZip = false;
  bool OnStartup = false;
  std::string ZipFileNameDateFormat;
  bool TargetAsTempDir = false;
};

// A day count of the old layout: the text with the process decimal separator, or in
// the '.' form. A missing value is def. A text that is neither leaves def, returns
// false and adds a line to *error.
bool ReadOldFloat(const tk::TRegIniFile& ini, const std::string& section,
                  const std::string& name, double def, double* value, std::string* error);
