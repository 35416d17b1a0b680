#pragma once
// What the manager's small dialogs share: their look, their history boxes (one
// section each of ComboBox.ini in the per-user application-data folder "Quillbank"),
// trimming a field in place, and the folder browser and open dialog that a test can
// replace.
#include <functional>
#include <string>

#include "controls/savecombobox.h"
#include "manager/formfont.h"
#include "toolkit/strings.h"
#include "toolkit/win_dialogs.h"
#include "toolkit/win_form.h"

inline void UseHistoryFile(g32::TSaveComboBox& box, const char* section) {
  box.SetAppDataIniPath("Quillbank");
  box.SetIniFileName("ComboBox.ini");
  box.Section = section;
}

// A fixed dialog frame with a close box, centred on the screen, in Tahoma 8.
inline void UseDialogLook(tk::TForm& form, const std::string& caption, int clientWidth, int clientHeight) {
  form.SetCaption(caption);
  form.BorderStyle = tk::TBorderStyle::bsDialog;
  form.BorderIcons = tk::biSystemMenu;
  form.Position = tk::TPosition::poScreenCenter;
  form.SetFormFont(FontOf("Tahoma", 8));
  form.SetClientSize(clientWidth, clientHeight);
}

// Trims a field's text in place; an unchanged text is not set again, so that its
// change handler does not run for nothing.
template <class TField>
void TrimText(TField& field) {
  const std::string trimmed = tk::Trim(field.Text());
  if (trimmed != field.Text()) field.SetText(trimmed);
}

// The folder browser and the open dialog of a dialog, owned by it.
struct TFilePickers {
  // False when cancelled; folder is the start and the choice.
  std::function<bool(const std::string& caption, std::string& folder)> BrowseFolder;
  // False when cancelled; the dialog's FileName is the choice.
  std::function<bool(tk::TOpenDialog& dialog)> RunOpenDialog;

  explicit TFilePickers(tk::TForm& owner)
      : BrowseFolder([&owner](const std::string& caption, std::string& folder) {
          return tk::SelectDirectory(caption, "", folder, owner.Handle());
        }),
        RunOpenDialog([&owner](tk::TOpenDialog& dialog) { return dialog.Execute(owner.Handle()); }) {}
};
