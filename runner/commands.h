#pragma once
// Test, the delay before the test, split, join and extract: the helpers the run
// engine and the tests reach (the commands themselves are declared in runqbmain.h).
#include <string>

#include "settings/qbprofile.h"

class TRunFoMainForm;

// Command B: raises the window's longest matching delay with the custom delay lines
// whose prefix begins the zip path.
void UpdateCustomDelay(TRunFoMainForm& form, const std::string& zipPath);
// The longest delay of the lines (prefix "=" seconds) that match the zip path; 0 when
// none matches.
int LongestMatchingDelay(const tk::TStringList& lines, const std::string& zipPath, bool* matched = nullptr);

// Tests one zip and records the result under the profile's key.
void TestProfileTarget(TRunFoMainForm& form, const TQbProfile& profile, const std::string& computer,
                       const std::string& zip);

// The zip holds exactly one item, named "stored.zip", and nothing else.
bool IsStoredArchiveWrapper(const std::string& zip);
