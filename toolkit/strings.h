#pragma once
// Text inside the system is UTF-8 in std::string; UTF-16 only at a Win32 call.
#include <string>
#include <string_view>

namespace tk {

std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view utf16);

// Byte strings that are not text (such as an inverted password) travel through the
// ANSI code page: each byte maps to one character and back, so they round-trip.
std::wstring AnsiBytesToWide(std::string_view bytes);
std::string WideToAnsiBytes(std::wstring_view text);

// Case of ASCII letters only ('a'..'z' <-> 'A'..'Z'); every other byte stays as it is.
std::string UpperCase(std::string_view s);
std::string LowerCase(std::string_view s);

// Case of every letter (Unicode-aware, the user's locale rules).
std::string AnsiUpperCase(std::string_view s);
std::string AnsiLowerCase(std::string_view s);

// Comparison without regard to case (Unicode-aware, the user's locale):
// < 0, 0 or > 0 like strcmp. SameText is CompareText(a, b) == 0.
int CompareText(std::string_view a, std::string_view b);
bool SameText(std::string_view a, std::string_view b);
// Ordinal comparison with case (byte order of the UTF-8 text).
int CompareStr(std::string_view a, std::string_view b);

// Does s begin / end with sub, compared without regard to case?
bool StartsText(std::string_view sub, std::string_view s);
bool EndsText(std::string_view sub, std::string_view s);

// Remove every character <= ' ' (blanks and control characters) from both ends / one end.
std::string Trim(std::string_view s);
std::string TrimLeft(std::string_view s);
std::string TrimRight(std::string_view s);

// Every occurrence of from replaced by to (case-sensitive); an empty from changes nothing.
std::string ReplaceAll(std::string_view s, std::string_view from, std::string_view to);

}  // namespace tk
