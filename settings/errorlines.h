#pragma once
// Reading the error and warning files: per line an integer code, a blank and the
// text; code 0 is a warning, any other code an error. The viewer and the manager's
// error view both show them through this one reader.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct TErrorLine {
  std::string Text;      // after a code it begins with the blank that followed it
  bool HasCode = false;  // false: the line did not start with a code and is the whole text
  int Code = 0;
  // A warning is a line with code 0; everything else counts as an error.
  bool IsError() const { return !HasCode || Code != 0; }
};

// The lines of an error file's contents. Blanks and line ends before a code are
// skipped, so empty lines give nothing. A line whose first word is not a 32-bit
// integer is kept whole, without a code.
std::vector<TErrorLine> ParseErrorLines(std::string_view contents);

// A text file's bytes as UTF-8: a UTF-8 byte-order mark is dropped, and bytes that
// are not UTF-8 are read in the ANSI code page.
std::string TextFileToUtf8(std::string_view bytes);

// Reads the whole file (shared with writers) and gives its text as UTF-8 in text;
// false when it cannot be opened or read.
bool ReadTextFile(const std::string& path, std::string& text);

// A decimal 32-bit integer with an optional sign and nothing else.
std::optional<int> ParseInt32(std::string_view text);
