#pragma once
// The dialog that joins split volumes into one standard zip: the last volume and the
// destination folder. The main window reads them after "Join" (JoinCommandArgs).
#include <string>

#include "manager/dialogkit.h"
#include "toolkit/win_dialogs.h"
#include "toolkit/win_form.h"

class TReAssembleForm : public tk::TForm, public TFilePickers {
 public:
  TReAssembleForm();

  tk::TLabel lblLastVolFN, lblDestDir;
  tk::TEdit edLastVolFN, edDestDir;
  tk::TButton btnLastVol, btnDestDir;
  tk::TButton btnOK, btnCancel, btnHelp;
  tk::TOpenDialog OpenDialog1;

  void FormShow();
  void btnLastVolClick();
  void btnDestDirClick();
  void btnOKClick();

};

// The runner's arguments of the join (after the letter A): last volume, folder.
std::string JoinCommandArgs(const TReAssembleForm& form);
