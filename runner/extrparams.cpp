#include "runner/extrparams.h"

#include <windows.h>

#include <iterator>

#include "toolkit/files.h"
#include "toolkit/strings.h"

namespace {

constexpr size_t kMaxWord = 4096;

// Every word of the command line, quotes dropped, lone "" pairs skipped.
std::vector<std::string> AllWords(const std::string& raw) {
  std::vector<std::string> words;
  size_t i = 0;
  const size_t n = raw.size();
  while (i < n) {
    while (i < n && static_cast<unsigned char>(raw[i]) <= ' ') ++i;
    if (i >= n) break;
    std::string word;
    bool quoted = false, hadQuote = false;
    while (i < n && (quoted || static_cast<unsigned char>(raw[i]) > ' ')) {
      if (raw[i] == '"') {
        quoted = !quoted;
        hadQuote = true;
      } else if (word.size() < kMaxWord) {
        word += raw[i];
      }
      ++i;
    }
    if (word.empty() && hadQuote) continue;  // a pair of quotes standing alone
    words.push_back(word);
  }
  return words;
}

bool IsSwitch(const std::string& word) { return !word.empty() && word[0] == '/'; }

std::string CurrentFolder() {
  wchar_t buf[MAX_PATH * 4];
  const DWORD len = GetCurrentDirectoryW(static_cast<DWORD>(std::size(buf)), buf);
  if (len == 0 || len >= std::size(buf)) return std::string();
  return tk::Narrow(std::wstring_view(buf, len));
}

}  // namespace

TExtrParams::TExtrParams() : flags{dz::TUnzipFlag::OverWriteFlag, dz::TUnzipFlag::RecurseFlag} {}

std::vector<std::string> TExtrParams::PositionalWords(const std::string& rawCommandLine) {
  std::vector<std::string> result;
  for (auto& w : AllWords(rawCommandLine))
    if (!IsSwitch(w)) result.push_back(w);
  return result;
}

void TExtrParams::Parse(const std::string& rawCommandLine) {
  *this = TExtrParams();
  const std::vector<std::string> all = AllWords(rawCommandLine);
  // Only a word that itself begins with the switch carries the password, so a "/p"
  // inside a path such as D:/photos is never taken for one; "/p" wins over "/P".
  const std::string* lower = nullptr;
  const std::string* upper = nullptr;
  for (const auto& w : all) {
    if (!IsSwitch(w)) continue;
    const std::string body = w.substr(1);
    if (tk::SameText(body, "o-")) flags.Exclude(dz::TUnzipFlag::OverWriteFlag);
    if (tk::SameText(body, "d-")) flags.Include(dz::TUnzipFlag::NoDirectoryNamesFlag);
    if (!lower && w.compare(0, 2, "/p") == 0) lower = &w;
    if (!upper && w.compare(0, 2, "/P") == 0) upper = &w;
  }
  if (const std::string* p = lower ? lower : upper) password = p->substr(2);

  const std::vector<std::string> words = PositionalWords(rawCommandLine);
  auto word = [&](size_t i) { return i < words.size() ? words[i] : std::string(); };
  const std::string given = word(2);
  if (!given.empty()) {
    zip = tk::ChangeFileExt(given, ".zip");
    if (tk::ExtractFilePath(zip).empty()) zip = tk::IncludeTrailingBackslash(CurrentFolder()) + zip;
  }
  masks = tk::Trim(tk::ReplaceAll(word(3), ";", " "));
  destination = word(4);
}
