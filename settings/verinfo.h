#pragma once
// The version resource of one program file: its four version numbers, its file date
// and its standard text entries. The main window compares the versions of the
// programs and of the zip library with it.
#include <cstdint>
#include <memory>
#include <string>

#include "toolkit/datetime.h"

class TFileVersionInfo {
 public:
  TFileVersionInfo() = default;
  virtual ~TFileVersionInfo();
  TFileVersionInfo(const TFileVersionInfo&) = delete;
  TFileVersionInfo& operator=(const TFileVersionInfo&) = delete;

  const std::string& FileName() const { return fileName_; }
  // A name that differs from the stored one (exact compare) is stored and its version
  // resource read whole; a name without resource leaves none. A failing read of a
  // resource the system reported throws std::system_error with the system's code.
  void SetFileName(const std::string& fileName);

  // -1 without resource.
  int MajorVersion() const { return GetVersionNumber(1); }
  int MinorVersion() const { return GetVersionNumber(2); }
  int Release() const { return GetVersionNumber(3); }
  int Build() const { return GetVersionNumber(4); }
  // The file date of the resource's fixed part (date and time, milliseconds
  // included); 0 without resource.
  tk::TDateTime DateTime() const;

  // The text entries of the first translation; "" without resource or entry.
  std::string CompanyName() const { return GetVersionText(1); }
  std::string FileDescription() const { return GetVersionText(2); }
  std::string FileVersion() const { return GetVersionText(3); }
  std::string InternalName() const { return GetVersionText(4); }
  std::string LegalCopyright() const { return GetVersionText(5); }
  std::string OriginalFilename() const { return GetVersionText(6); }
  std::string ProductName() const { return GetVersionText(7); }
  std::string ProductVersion() const { return GetVersionText(8); }
  std::string Comments() const { return GetVersionText(9); }
  std::string LegalTrademarks() const { return GetVersionText(10); }

  // 1 major, 2 minor, 3 release, 4 build; -1 for any other index.
  int GetVersionNumber(int index) const;
  // 1 CompanyName .. 10 LegalTrademarks, in the order above; "" for any other index.
  std::string GetVersionText(int index) const;

 private:
  std::string fileName_;
  int32_t infoSize_ = 0;  // 0 or less: no resource
  std::unique_ptr<unsigned char[]> info_;
};
