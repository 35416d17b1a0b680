#include "toolkit/cmdline.h"

#include <windows.h>

#include "toolkit/files.h"
#include "toolkit/strings.h"

namespace tk {

std::vector<std::string> SplitCommandLine(std::string_view s) {
  std::vector<std::string> words;
  size_t p = 0, n = s.size();
  auto blank = [&](size_t i) { return static_cast<unsigned char>(s[i]) <= ' '; };
  for (;;) {
    // Blanks and empty quote pairs between words are skipped.
    for (;;) {
      while (p < n && blank(p)) ++p;
      if (p + 1 < n && s[p] == '"' && s[p + 1] == '"')
        p += 2;
      else
        break;
    }
    if (p >= n) break;
    std::string word;
    while (p < n && !blank(p)) {
      if (s[p] == '"') {
        ++p;
        while (p < n && s[p] != '"') word += s[p++];
        if (p < n) ++p;
      } else {
        word += s[p++];
      }
    }
    words.push_back(std::move(word));
  }
  return words;
}

namespace {
std::vector<std::string> ProcessWords() { return SplitCommandLine(Narrow(GetCommandLineW())); }
}  // namespace

int ParamCount() {
  size_t n = ProcessWords().size();
  return n > 0 ? static_cast<int>(n) - 1 : 0;
}

std::string ParamStr(int index) {
  if (index == 0) return ProgramFile();
  std::vector<std::string> words = ProcessWords();
  if (index < 0 || static_cast<size_t>(index) >= words.size()) return {};
  return words[static_cast<size_t>(index)];
}

}  // namespace tk
