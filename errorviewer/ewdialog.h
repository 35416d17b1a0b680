#pragma once
// The error and warning viewer's one modal dialog (template QBEWDLG).
#include <windows.h>

#include <string>
#include <vector>

namespace qbew {

// Control ids of QBEWDLG.
constexpr int kListId = 1000;
constexpr int kCloseId = 2;

// The whole program: decides from args (the words after the program name) whether
// anything is shown, then runs the dialog from the resources of module. Returns the
// process's exit code.
int RunErrorViewer(HINSTANCE module, const std::vector<std::string>& args);

}  // namespace qbew
