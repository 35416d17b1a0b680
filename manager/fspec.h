#pragma once
// The profile wizard's dialog for one include or exclude entry: a folder and either all
// file types or one name and extension pattern. The wizard fills the fields, shows the
// dialog modally and builds the entry's text from the fields after OK; the dialog
// itself only checks and cleans what was typed.
#include <string>

#include "controls/savecombobox.h"
#include "toolkit/win_form.h"
#include "toolkit/win_groupbox.h"

class TFSpecForm : public tk::TForm {
 public:
  TFSpecForm();

  tk::TLabel lblPath, lblPathOptional;
  g32::TSaveComboBox scbPath;
  tk::TButton btnPath;
  tk::TRadioButton rbAllFileTypes, rbThisFileType;
  tk::TGroupBox gboxFN;
  tk::TLabel lblName, lblDot, lblExt;
  tk::TEdit edName;
  g32::TSaveComboBox scbExt;
  tk::TCheckBox chkRecurse0;  // kept hidden, not used
  tk::TButton btnOK, btnCancel;

  // The wizard's base folder: the root of the folder browser (empty: everything).
  std::string BaseDir;

  void FormCreate();
  void FormShow();
  void FileTypeClick();
  void btnPathClick();
  void scbPathExit();
  void scbPathSave(g32::TSaveComboBox& sender, bool& doSave);
  void edNameKeyPress(wchar_t& key);
  void edNameExit();
  void scbExtExit();
  void btnOKClick();
  void btnCancelClick();

  // The folder browser (a test puts its own in place). False when cancelled.
  std::function<bool(const std::string& caption, const std::string& root, std::string& folder)> BrowseFolder;
};
