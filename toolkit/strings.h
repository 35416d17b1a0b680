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

}  // namespace tk
