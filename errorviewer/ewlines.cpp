#include "errorviewer/ewlines.h"

#include <windows.h>

#include <cstdio>

#include "toolkit/strings.h"

namespace qbew {
namespace {

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

bool IsUtf8(std::string_view s) {
  if (s.empty()) return true;
  return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, s.data(), static_cast<int>(s.size()), nullptr, 0) > 0;
}

const wchar_t kGeneralKey[] = L"Software\\Quillbank\\Options\\General";
const wchar_t kDontShowValue[] = L"DontShowEwDlgViaSch";

}  // namespace

std::optional<int> ParseInt32(std::string_view text) {
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  if (i == text.size()) return std::nullopt;
  long long value = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return std::nullopt;
    value = value * 10 + (text[i] - '0');
    if (value > 2147483648LL) return std::nullopt;
  }
  if (negative) value = -value;
  if (value > 2147483647LL) return std::nullopt;
  return static_cast<int>(value);
}

std::vector<TEwRow> ParseErrorFile(std::string_view contents) {
  std::string converted;
  if (contents.substr(0, 3) == "\xEF\xBB\xBF") contents.remove_prefix(3);
  if (!IsUtf8(contents)) {
    converted = tk::Narrow(tk::AnsiBytesToWide(contents));
    contents = converted;
  }
  std::vector<TEwRow> rows;
  size_t pos = 0;
  while (true) {
    while (pos < contents.size() && IsBlank(contents[pos])) ++pos;
    if (pos >= contents.size()) break;
    size_t eol = contents.find('\n', pos);
    if (eol == std::string_view::npos) eol = contents.size();
    std::string_view line = contents.substr(pos, eol - pos);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    pos = eol;

    size_t wordEnd = 0;
    while (wordEnd < line.size() && !IsBlank(line[wordEnd])) ++wordEnd;
    TEwRow row;
    if (auto code = ParseInt32(line.substr(0, wordEnd))) {
      row.Text = std::string(line.substr(wordEnd));
      row.Image = *code == 0 ? kImageWarning : kImageError;
      if (*code != 0) row.Code = std::to_string(*code);
    } else {
      row.Text = std::string(line);
      row.Image = kImageError;
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

bool IsRunFromScheduler(const std::vector<std::string>& args) {
  return args.size() >= 2 && args[1] == "/RunFromScheduler";
}

TEwStart DecideStart(const std::vector<std::string>& args) {
  if (args.empty()) return TEwStart::Exit;
  TEwStart kind;
  if (args[0] == "NOFILENAME") {
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
