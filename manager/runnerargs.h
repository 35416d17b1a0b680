#pragma once
// One word of a runner command line: in double quotes when it holds a blank (or
// another character the runner splits words at), so that it arrives whole.
#include <string>
#include <string_view>

inline std::string RunnerArg(std::string_view word) {
  bool split = false;
  for (char c : word) split = split || static_cast<unsigned char>(c) <= ' ';
  if (!split || word.find('"') != std::string_view::npos) return std::string(word);
  return "\"" + std::string(word) + "\"";
}
