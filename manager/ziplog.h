#pragma once
// The zip log view: the zip logs of one profile, newest first, and the text of the
// selected one. Only the window's place and size are written back (LogFormPos).
#include <string>

#include "toolkit/win_form.h"
#include "toolkit/win_listbox.h"
#include "toolkit/win_richedit.h"
#include "toolkit/win_statusbar.h"

class TZipLogForm : public tk::TForm {
 public:
  TZipLogForm();

  // The profile whose logs the view lists; the main window sets it before showing it.
  std::string ProfileName;

  tk::TRichEdit RichEdit1;
  tk::TFileListBox flbLogs;
  tk::TButton btnClose;
  tk::TStatusBar StatusBar1;

  void FormShow();
  void FormClose(tk::TCloseAction& action);
  void FormKeyDown(WORD& key, tk::TShiftState shift);
  void flbLogsClick();
  void StatusBar1Resize();

 private:
  // Distance of each control's right and bottom edge from the client area's, taken
  // when the window is made and kept on every resize.
  struct TAnchor {
    tk::TControl* Control;
    bool Left, Top, Right, Bottom;
    int Right0 = 0, Bottom0 = 0;
  };
  void FormCreate();
  void FormResize();
  TAnchor anchors_[3];
  bool anchored_ = false;
};
