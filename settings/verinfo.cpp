#include "settings/verinfo.h"

#include <windows.h>

#include <cstdio>
#include <system_error>

#include "toolkit/strings.h"

namespace {

const char* const kTextKeys[] = {"CompanyName",      "FileDescription", "FileVersion", "InternalName",
                                 "LegalCopyright",   "OriginalFilename", "ProductName", "ProductVersion",
                                 "Comments",         "LegalTrademarks"};

const VS_FIXEDFILEINFO* FixedInfo(unsigned char* info) {
  void* p = nullptr;
  UINT len = 0;
  if (!VerQueryValueW(info, L"\\", &p, &len) || !p || len < sizeof(VS_FIXEDFILEINFO)) return nullptr;
  return static_cast<const VS_FIXEDFILEINFO*>(p);
}

}  // namespace

TFileVersionInfo::~TFileVersionInfo() = default;

void TFileVersionInfo::SetFileName(const std::string& fileName) {
  if (fileName == fileName_) return;
  fileName_ = fileName;
  // Nothing of the previous file may answer for the new one.
  info_.reset();
  infoSize_ = 0;
  std::wstring name = tk::Widen(fileName);
  DWORD handle = 0;
  DWORD size = GetFileVersionInfoSizeW(name.c_str(), &handle);
  if (size == 0 || size > 0x7FFFFFFF) return;
  auto block = std::make_unique<unsigned char[]>(size);
  if (!GetFileVersionInfoW(name.c_str(), 0, size, block.get())) {
    DWORD err = GetLastError();
    throw std::system_error(static_cast<int>(err), std::system_category(),
                            "Cannot read the version information of " + fileName);
  }
  info_ = std::move(block);
  infoSize_ = static_cast<int32_t>(size);
}

int TFileVersionInfo::GetVersionNumber(int index) const {
  if (infoSize_ <= 0 || index < 1 || index > 4) return -1;
  const VS_FIXEDFILEINFO* fixed = FixedInfo(info_.get());
  if (!fixed) return -1;
  switch (index) {
    case 1: return HIWORD(fixed->dwFileVersionMS);
    case 2: return LOWORD(fixed->dwFileVersionMS);
    case 3: return HIWORD(fixed->dwFileVersionLS);
    default: return LOWORD(fixed->dwFileVersionLS);
  }
}

tk::TDateTime TFileVersionInfo::DateTime() const {
  if (infoSize_ <= 0) return 0;
  const VS_FIXEDFILEINFO* fixed = FixedInfo(info_.get());
  if (!fixed) return 0;
  FILETIME ft{fixed->dwFileDateLS, fixed->dwFileDateMS};
  SYSTEMTIME st{};
  if (!FileTimeToSystemTime(&ft, &st)) return 0;
  return tk::SystemTimeToDateTime(st);
}

std::string TFileVersionInfo::GetVersionText(int index) const {
  if (infoSize_ <= 0 || index < 1 || index > 10) return "";
  void* p = nullptr;
  UINT len = 0;
  if (!VerQueryValueW(info_.get(), L"\\VarFileInfo\\Translation", &p, &len) || !p || len < 4) return "";
  const WORD* translation = static_cast<const WORD*>(p);
  char key[128];
  std::snprintf(key, sizeof key, "\\StringFileInfo\\%.4x%.4x\\%s", translation[0], translation[1],
                kTextKeys[index - 1]);
  p = nullptr;
  len = 0;
  if (!VerQueryValueW(info_.get(), tk::Widen(key).c_str(), &p, &len) || !p) return "";
  // The length counts characters, with the closing NUL when there is one.
  std::wstring_view text(static_cast<const wchar_t*>(p), len);
  if (size_t nul = text.find(L'\0'); nul != std::wstring_view::npos) text = text.substr(0, nul);
  return tk::Narrow(text);
}
