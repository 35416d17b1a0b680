#pragma once
// The parsed command line of the extract command X:
//   RunQb.exe X <zip> [<masks>] [<destination>] [/o-] [/d-] [/p<password>]
// Switches (words that begin with "/") may stand anywhere; the positional words are
// counted after they were taken out.
#include <string>
#include <vector>

#include "settings/dynazip.h"

class TExtrParams {
 public:
  // Flags start as {OverWriteFlag, RecurseFlag}; the texts empty.
  TExtrParams();

  // Reads the raw command line (as the process got it, word 0 the program, word 1
  // the letter). Every field is set afresh.
  void Parse(const std::string& rawCommandLine);

  // The command line's words after every "/" word was removed: runs of characters
  // above the blank, double-quoted parts may hold blanks and lose their quotes, a
  // lone pair of quotes is skipped, each word at most 4096 characters.
  static std::vector<std::string> PositionalWords(const std::string& rawCommandLine);

  std::string zip;          // word 2 with the extension ".zip"; a bare name in the current folder
  std::string password;     // the rest of the word that begins with "/p" (else "/P")
  std::string destination;  // word 4, "" when absent
  std::string masks;        // word 3 with ';' turned into blanks, trimmed
  TUnzipFlags flags;
};
