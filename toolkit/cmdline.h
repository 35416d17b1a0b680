#pragma once
// The words of a command line: chars <= ' ' separate words outside double quotes;
// double quotes group and are removed (a backslash has no special meaning, so
// "C:\dir\" is the word C:\dir\).
#include <string>
#include <string_view>
#include <vector>

namespace tk {

std::vector<std::string> SplitCommandLine(std::string_view commandLine);

// Words of this process's command line (GetCommandLineW). ParamStr(0) is the
// program's full file name (GetModuleFileNameW); ParamStr(i) for i in 1..ParamCount()
// the words after the program; out of range gives "".
int ParamCount();
std::string ParamStr(int index);

}  // namespace tk
