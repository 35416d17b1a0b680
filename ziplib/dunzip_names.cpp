#include "ziplib/dunzip_names.h"

#include <windows.h>

#include <algorithm>

#include "toolkit/strings.h"

namespace ziplib {
namespace {

std::wstring Upper(std::string_view utf8) {
  std::wstring w = tk::Widen(utf8);
  if (!w.empty()) CharUpperBuffW(w.data(), DWORD(w.size()));
  return w;
}

bool IsDeviceName(std::string part) {
  // Windows maps these names to devices whatever the extension or trailing blanks.
  size_t dot = part.find('.');
  if (dot != std::string::npos) part.resize(dot);
  while (!part.empty() && part.back() == ' ') part.pop_back();
  std::string u = tk::UpperCase(part);
  static const char* const kNames[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
  for (const char* n : kNames)
    if (u == n) return true;
  if (u.size() < 4 || (u.compare(0, 3, "COM") != 0 && u.compare(0, 3, "LPT") != 0)) return false;
  // A port's number: a digit, or the superscript one, two or three (in UTF-8 here).
  const std::string number = u.substr(3);
  return (number.size() == 1 && number[0] >= '0' && number[0] <= '9') || number == "\xC2\xB9" ||
         number == "\xC2\xB2" || number == "\xC2\xB3";
}

}  // namespace

std::vector<std::string> SplitFileSpec(std::string_view spec) {
  std::vector<std::string> out;
  size_t i = 0;
  while (i < spec.size()) {
    while (i < spec.size() && (unsigned char)spec[i] <= ' ') ++i;
    if (i >= spec.size()) break;
    std::string word;
    bool quoted = false;
    while (i < spec.size() && (quoted || (unsigned char)spec[i] > ' ')) {
      if (spec[i] == '"')
        quoted = !quoted;
      else
        word += spec[i];
      ++i;
    }
    if (!word.empty()) out.push_back(word);
  }
  if (out.empty()) out.push_back("*.*");
  return out;
}

bool WildcardMatch(std::wstring_view name, std::wstring_view mask, bool crossFolders) {
  // Iterative match with one backtrack point: linear in practice, no recursion depth.
  size_t n = 0, m = 0, starM = std::wstring_view::npos, starN = 0;
  while (n < name.size()) {
    if (m < mask.size() && mask[m] == L'*') {
      starM = ++m;
      starN = n;
    } else if (m < mask.size() && (mask[m] == name[n] || (mask[m] == L'?' && (crossFolders || name[n] != L'/')))) {
      ++m;
      ++n;
    } else if (starM != std::wstring_view::npos && (crossFolders || name[starN] != L'/')) {
      m = starM;
      n = ++starN;
    } else {
      break;
    }
  }
  if (n == name.size()) {
    while (m < mask.size() && mask[m] == L'*') ++m;
    if (m == mask.size()) return true;
  }
  // "name.*" also matches "name": the empty extension.
  if (mask.size() >= 2 && mask.substr(mask.size() - 2) == L".*" && name.find(L'.') == std::wstring_view::npos)
    return WildcardMatch(name, mask.substr(0, mask.size() - 2), crossFolders);
  return false;
}

ItemSelector::ItemSelector(std::string_view spec, bool recurse) : recurse_(recurse) {
  for (std::string& m : SplitFileSpec(spec)) {
    std::replace(m.begin(), m.end(), '\\', '/');
    masks_.push_back({Upper(m), m.find('/') != std::string::npos});
  }
}

bool ItemSelector::Matches(const std::string& itemName) const {
  std::string n = itemName;
  std::replace(n.begin(), n.end(), '\\', '/');
  while (n.size() > 1 && n.back() == '/') n.pop_back();  // a folder entry matches by its name
  const std::wstring full = Upper(n);
  const size_t slash = full.rfind(L'/');
  const std::wstring_view last = slash == std::wstring::npos ? std::wstring_view(full)
                                                             : std::wstring_view(full).substr(slash + 1);
  for (const Mask& m : masks_) {
    if (recurse_) {
      if (m.hasFolder ? WildcardMatch(full, m.upper, true) : WildcardMatch(last, m.upper, true)) return true;
    } else if (WildcardMatch(full, m.upper, false)) {
      return true;
    }
  }
  return false;
}

bool SafeRelativePath(const std::string& itemName, bool junkFolders, std::string* out, std::string* why) {
  out->clear();
  if (itemName.empty()) {
    *why = "empty item name";
    return false;
  }
  if (itemName[0] == '/' || itemName[0] == '\\') {
    *why = "absolute path";
    return false;
  }
  std::vector<std::string> parts;
  std::string part;
  auto flush = [&]() -> bool {
    if (part.empty() || part == ".") {
      part.clear();
      return true;
    }
    // Windows drops trailing dots and blanks, so ".. " and "..." would climb as "..".
    if (part.find_first_not_of(". ") == std::string::npos) {
      *why = "parent folder reference";
      return false;
    }
    if (IsDeviceName(part)) {
      *why = "device name";
      return false;
    }
    parts.push_back(part);
    part.clear();
    return true;
  };
  for (char c : itemName) {
    const unsigned char u = (unsigned char)c;
    if (c == ':') {
      *why = "drive or stream name";
      return false;
    }
    if (u < 32 || c == '<' || c == '>' || c == '"' || c == '|' || c == '?' || c == '*') {
      *why = "character not allowed in a file name";
      return false;
    }
    if (c == '/' || c == '\\') {
      if (!flush()) return false;
    } else {
      part += c;
    }
  }
  if (!flush()) return false;
  if (parts.empty()) {
    *why = "empty item name";
    return false;
  }
  if (junkFolders) {
    *out = parts.back();
    return true;
  }
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i) *out += '\\';
    *out += parts[i];
  }
  return true;
}

}  // namespace ziplib
