#include "toolkit/inifile.h"

#include <windows.h>

#include "toolkit/format.h"
#include "toolkit/strings.h"

namespace tk {

TIniFile::TIniFile(std::string_view fileName) : fileName_(fileName) {}

std::string TIniFile::ReadString(std::string_view section, std::string_view ident, std::string_view def) const {
  std::wstring s = Widen(section), k = Widen(ident), d = Widen(def), f = Widen(fileName_);
  // The call cuts a value that does not fit and then returns size - 1: grow until it fits.
  for (DWORD size = 512;; size *= 2) {
    std::wstring buf(size, L'\0');
    DWORD n = GetPrivateProfileStringW(s.c_str(), k.c_str(), d.c_str(), buf.data(), size, f.c_str());
    if (n < size - 1 || size >= (1u << 24)) {
      buf.resize(n);
      return Narrow(buf);
    }
  }
}

int TIniFile::ReadInteger(std::string_view section, std::string_view ident, int def) const {
  int32_t v = 0;
  return TryStrToInt(ReadString(section, ident, ""), &v) ? v : def;
}

std::vector<std::string> TIniFile::ReadSection(std::string_view section) const {
  std::wstring s = Widen(section), f = Widen(fileName_);
  // Without a value name the call lists the names, each ended by a NUL, the list by
  // another; it returns size - 2 when the list was cut.
  for (DWORD size = 4096;; size *= 2) {
    std::wstring buf(size, L'\0');
    DWORD n = GetPrivateProfileStringW(s.c_str(), nullptr, L"", buf.data(), size, f.c_str());
    if (n < size - 2 || size >= (1u << 24)) {
      std::vector<std::string> names;
      for (size_t at = 0; at < n;) {
        size_t end = buf.find(L'\0', at);
        if (end == std::wstring::npos || end > n) end = n;
        if (end > at) names.push_back(Narrow(std::wstring_view(buf).substr(at, end - at)));
        at = end + 1;
      }
      return names;
    }
  }
}

bool TIniFile::WriteString(std::string_view section, std::string_view ident, std::string_view value) {
  std::wstring f = Widen(fileName_);
  if (GetFileAttributesW(f.c_str()) == INVALID_FILE_ATTRIBUTES) {
    HANDLE h = CreateFileW(f.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
      const unsigned char bom[2] = {0xFF, 0xFE};
      DWORD written = 0;
      WriteFile(h, bom, sizeof bom, &written, nullptr);
      CloseHandle(h);
    }
  }
  return WritePrivateProfileStringW(Widen(section).c_str(), Widen(ident).c_str(), Widen(value).c_str(), f.c_str()) != 0;
}

}  // namespace tk
