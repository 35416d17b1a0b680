#pragma once
// What the schedule, autorun and start-up/shut-down editors share: the list of every
// profile with a check box per row (rows never stay selected, ticked rows drawn in
// the highlight colours, the "n selected" label kept up to date), the quoted profile
// list the schedules and the start-up lists store, and the alternating row colours
// of the manager's lists.
#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

#include "toolkit/win_controls.h"

// Installs the behaviour on the list (one column, check boxes) and its label.
void UseAsProfileChecks(tk::TListView& lv, tk::TLabel& lblSelected);
// Refills the list with every profile name (ListAllProfileNames), each ticked when ticked(name) says so.
void FillProfileChecks(tk::TListView& lv, const std::function<bool(const std::string&)>& ticked);
std::vector<std::string> CheckedProfileNames(const tk::TListView& lv);
void ShowSelectedCount(const tk::TListView& lv, tk::TLabel& lblSelected);

// Every name in double quotes followed by one blank ("\"A\" \"A B\" ").
std::string QuotedProfileList(const std::vector<std::string>& names);

// Custom drawing of a list with the manager's alternating row colours (the settings
// Use2ColorView, AlternateColor for odd rows and AlternateColor2 for even rows, the
// first row being even). Installed on the list views of the list dialogs.
void UseAlternateRows(tk::TListView& lv);
