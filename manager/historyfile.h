#pragma once
// Helpers of the manager's dialogs. Every history box keeps its list in one section of
// the per-user application-data folder "Quillbank".
#include "controls/savecombobox.h"

inline void UseHistoryFile(g32::TSaveComboBox& box, const char* section) {
  box.SetAppDataIniPath("Quillbank");
  box.SetIniFileName("ComboBox.ini");
  box.Section = section;
}

#include "toolkit/strings.h"

// Trims a field's text in place; an unchanged text is not set again, so that its
// change handler does not run for nothing.
template <class TField>
void TrimText(TField& field) {
  const std::string trimmed = tk::Trim(field.Text());
  if (trimmed != field.Text()) field.SetText(trimmed);
}
