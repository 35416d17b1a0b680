#pragma once
// Tips over the cut cells of a report list view: while the pointer rests on a cell
// whose column is too narrow for its text (the list ends it in "..."), a tooltip shows
// the whole text. It works on the list's window, so a toolkit list and a bare dialog
// list get it alike.
#include <windows.h>

namespace tk {

// Gives the list view its cut-cell tips (once; a second call does nothing). They go
// with the list's window.
void ShowCutCellTips(HWND listView);

}  // namespace tk
