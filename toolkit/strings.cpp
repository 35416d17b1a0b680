#include "toolkit/strings.h"

#include <windows.h>

namespace tk {

namespace {
std::wstring ToWide(UINT cp, std::string_view s) {
  if (s.empty()) return {};
  int n = MultiByteToWideChar(cp, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
  std::wstring w(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(cp, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
  return w;
}
std::string FromWide(UINT cp, std::wstring_view w) {
  if (w.empty()) return {};
  int n = WideCharToMultiByte(cp, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
  std::string s(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(cp, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr, nullptr);
  return s;
}
}  // namespace

std::wstring Widen(std::string_view utf8) { return ToWide(CP_UTF8, utf8); }
std::string Narrow(std::wstring_view utf16) { return FromWide(CP_UTF8, utf16); }
std::wstring AnsiBytesToWide(std::string_view bytes) { return ToWide(CP_ACP, bytes); }
std::string WideToAnsiBytes(std::wstring_view text) { return FromWide(CP_ACP, text); }

}  // namespace tk

namespace tk {

namespace {
bool IsTrimmed(char c) { return static_cast<unsigned char>(c) <= ' '; }

std::wstring CaseMapped(std::string_view s, bool upper) {
  std::wstring w = Widen(s);
  if (!w.empty()) {
    if (upper)
      CharUpperBuffW(w.data(), static_cast<DWORD>(w.size()));
    else
      CharLowerBuffW(w.data(), static_cast<DWORD>(w.size()));
  }
  return w;
}
}  // namespace

std::string UpperCase(std::string_view s) {
  std::string r(s);
  for (char& c : r)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return r;
}

std::string LowerCase(std::string_view s) {
  std::string r(s);
  for (char& c : r)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return r;
}

std::string AnsiUpperCase(std::string_view s) { return Narrow(CaseMapped(s, true)); }
std::string AnsiLowerCase(std::string_view s) { return Narrow(CaseMapped(s, false)); }

bool SameText(std::string_view a, std::string_view b) {
  if (a.size() == b.size() && a == b) return true;
  return CaseMapped(a, true) == CaseMapped(b, true);
}

int CompareText(std::string_view a, std::string_view b) {
  // Equal upper-case forms are equal; otherwise the locale decides, and where it sees
  // no difference the upper-case forms' order does, so the order stays total and
  // agrees with SameText (a sorted list relies on that).
  const std::wstring ua = CaseMapped(a, true), ub = CaseMapped(b, true);
  if (ua == ub) return 0;
  const std::wstring wa = Widen(a), wb = Widen(b);
  int r = CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, wa.data(), static_cast<int>(wa.size()),
                         wb.data(), static_cast<int>(wb.size()));
  if (r == CSTR_LESS_THAN) return -1;
  if (r == CSTR_GREATER_THAN) return 1;
  return ua < ub ? -1 : 1;
}

int CompareStr(std::string_view a, std::string_view b) {
  int r = a.compare(b);
  return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

bool StartsText(std::string_view sub, std::string_view s) {
  return sub.size() <= s.size() && SameText(sub, s.substr(0, sub.size()));
}

bool EndsText(std::string_view sub, std::string_view s) {
  return sub.size() <= s.size() && SameText(sub, s.substr(s.size() - sub.size()));
}

std::string TrimLeft(std::string_view s) {
  size_t i = 0;
  while (i < s.size() && IsTrimmed(s[i])) ++i;
  return std::string(s.substr(i));
}

std::string TrimRight(std::string_view s) {
  size_t n = s.size();
  while (n > 0 && IsTrimmed(s[n - 1])) --n;
  return std::string(s.substr(0, n));
}

std::string Trim(std::string_view s) { return TrimLeft(TrimRight(s)); }

std::string ReplaceAll(std::string_view s, std::string_view from, std::string_view to) {
  if (from.empty()) return std::string(s);
  std::string r;
  size_t pos = 0;
  for (;;) {
    size_t hit = s.find(from, pos);
    if (hit == std::string_view::npos) break;
    r.append(s.substr(pos, hit - pos)).append(to);
    pos = hit + from.size();
  }
  r.append(s.substr(pos));
  return r;
}

}  // namespace tk
