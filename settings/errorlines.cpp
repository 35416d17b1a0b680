#include "settings/errorlines.h"

#include <windows.h>

#include "toolkit/strings.h"

namespace {

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

bool IsUtf8(std::string_view s) {
  if (s.empty()) return true;
  return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, s.data(), static_cast<int>(s.size()), nullptr, 0) > 0;
}

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

std::string TextFileToUtf8(std::string_view bytes) {
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
  if (IsUtf8(bytes)) return std::string(bytes);
  return tk::Narrow(tk::AnsiBytesToWide(bytes));
}

bool ReadTextFile(const std::string& path, std::string& text) {
  HANDLE h = CreateFileW(tk::Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  std::string bytes;
  char buf[65536];
  DWORD got = 0;
  bool ok;
  while ((ok = ReadFile(h, buf, sizeof buf, &got, nullptr) != FALSE) && got > 0) bytes.append(buf, got);
  CloseHandle(h);
  if (ok) text = TextFileToUtf8(bytes);
  return ok;
}

std::vector<TErrorLine> ParseErrorLines(std::string_view contents) {
  const std::string text = TextFileToUtf8(contents);
  std::vector<TErrorLine> lines;
  size_t pos = 0;
  while (true) {
    while (pos < text.size() && IsBlank(text[pos])) ++pos;
    if (pos >= text.size()) break;
    size_t eol = text.find('\n', pos);
    if (eol == std::string::npos) eol = text.size();
    std::string_view line = std::string_view(text).substr(pos, eol - pos);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    pos = eol;

    size_t wordEnd = 0;
    while (wordEnd < line.size() && !IsBlank(line[wordEnd])) ++wordEnd;
    TErrorLine entry;
    if (auto code = ParseInt32(line.substr(0, wordEnd))) {
      entry.HasCode = true;
      entry.Code = *code;
      entry.Text = std::string(line.substr(wordEnd));
    } else {
      entry.Text = std::string(line);
    }
    lines.push_back(std::move(entry));
  }
  return lines;
}
