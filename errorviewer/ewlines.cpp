#include "errorviewer/ewlines.h"

#include <windows.h>

#include <cstdio>

#include "settings/protocol.h"
#include "toolkit/strings.h"

namespace qbew {
namespace {

const wchar_t kGeneralKey[] = L"Software\\Quillbank\\Options\\General";
const wchar_t kDontShowValue[] = L"DontShowEwDlgViaSch";

}  // namespace

std::vector<TEwRow> ParseErrorFile(std::string_view contents) {
  std::vector<TEwRow> rows;
  for (TErrorLine& line : ParseErrorLines(contents)) {
    TEwRow row;
    row.Text = std::move(line.Text);
    row.Image = line.IsError() ? kImageError : kImageWarning;
    if (line.HasCode && line.Code != 0) row.Code = std::to_string(line.Code);
    rows.push_back(std::move(row));
  }
  return rows;
}

bool IsRunFromScheduler(const std::vector<std::string>& args) {
  return args.size() >= 2 && args[1] == QbEwFromScheduler;
}

TEwStart DecideStart(const std::vector<std::string>& args) {
  if (args.empty()) return TEwStart::Exit;
  TEwStart kind;
  if (args[0] == QbEwNoFileName) {
    kind = TEwStart::ShowMessage;
  } else {
    DWORD attr = GetFileAttributesW(tk::Widen(args[0]).c_str());
    if (args[0].empty() || attr == INVALID_FILE_ATTRIBUTES || (attr & FILE_ATTRIBUTE_DIRECTORY)) return TEwStart::Exit;
    kind = TEwStart::ShowFile;
  }
  if (IsRunFromScheduler(args) && DontShowViaScheduler()) return TEwStart::Exit;
  return kind;
}

bool DontShowViaScheduler() {
  HKEY key;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kGeneralKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return false;
  DWORD type = 0, size = 0;
  bool hidden = false;
  if (RegQueryValueExW(key, kDontShowValue, nullptr, &type, nullptr, &size) == ERROR_SUCCESS && size > 0) {
    if (type == REG_SZ || type == REG_EXPAND_SZ) {
      // The settings store writes booleans as "1" / "0" and reads any non-zero number as
      // true, so a stored "0" (or a text that is no number) does not hide the viewer.
      std::wstring data(size / sizeof(wchar_t) + 1, L'\0');
      DWORD got = size;
      if (RegQueryValueExW(key, kDontShowValue, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &got) ==
          ERROR_SUCCESS) {
        data.resize(got / sizeof(wchar_t));
        while (!data.empty() && data.back() == L'\0') data.pop_back();
        auto value = ParseInt32(tk::Trim(tk::Narrow(data)));
        hidden = value && *value != 0;
      }
    } else {
      hidden = true;
    }
  }
  RegCloseKey(key);
  return hidden;
}

std::string OccurrenceSuffix(int hour, int minute) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "  (occurred at %02d:%02d)", hour, minute);
  return buf;
}

std::string FirstColumnCaption(bool runFromScheduler, int hour, int minute) {
  std::string caption = "Error/Warning Messages";
  if (runFromScheduler) caption += OccurrenceSuffix(hour, minute);
  return caption;
}

}  // namespace qbew
