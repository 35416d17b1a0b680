#pragma once
// The error view: every error file of the Errors folder, newest first, the lines of
// the selected one with a warning or error icon each, and the deletion of them all.
#include <string>

#include "toolkit/win_form.h"
#include "toolkit/win_imagelist.h"
#include "toolkit/win_listbox.h"

class TEwForm : public tk::TForm {
 public:
  // Images of the line list.
  static constexpr int kImageWarning = 0, kImageError = 1;

  TEwForm();

  tk::TLabel Label4;
  tk::TFileListBox flbErr;
  tk::TListView lvEw;
  tk::TLabel lblLastXDays;
  tk::TButton btnClearAll;
  tk::TButton btnClose;
  tk::TImageList ImageList1;

  void RefreshErrorFileList();
  // Shows the lines of one error file; a file that cannot be opened is reported and
  // the list keeps what it showed.
  void LoadErrorFile(const std::string& path);

  void FormShow();
  void flbErrClick();
  void btnClearAllClick();
};
