#pragma once
// What the error and warning viewer shows, apart from the window: its command line,
// the scheduler's "don't show" switch and the rows read from an error file.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "settings/errorlines.h"

namespace qbew {

// Image indexes of the viewer's list.
constexpr int kImageError = 0;
constexpr int kImageWarning = 1;

// One row of the list.
struct TEwRow {
  std::string Text;  // as shown; after a code it begins with the blank that followed it
  std::string Code;  // second column: the decimal code of an error, empty otherwise
  int Image = kImageError;
};

// The rows of an error file's contents (settings/errorlines.h reads the lines); a line
// without a code is shown whole as an error.
std::vector<TEwRow> ParseErrorFile(std::string_view contents);

using ::ParseInt32;

enum class TEwStart {
  Exit,         // bad command line, or a scheduled run the user does not want to see
  ShowMessage,  // NOFILENAME: one error row with argument 2
  ShowFile,     // argument 1 is an existing file
};

// args are the words after the program name.
bool IsRunFromScheduler(const std::vector<std::string>& args);
TEwStart DecideStart(const std::vector<std::string>& args);

// Options\General\DontShowEwDlgViaSch of the current user, read straight from the
// registry: true when it holds a true value.
bool DontShowViaScheduler();

// "  (occurred at hh:mm)" for the given local time, 24-hour clock with leading zeros.
std::string OccurrenceSuffix(int hour, int minute);

// Caption of the first column.
std::string FirstColumnCaption(bool runFromScheduler, int hour, int minute);

}  // namespace qbew
