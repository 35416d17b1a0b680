#pragma once
// The dialog that extracts from a zip: the zip, the destination folder, all files or
// some masks, the overwrite and folder-name options and, for a zip with encrypted
// items, the password. The main window reads them after "Extract"
// (ExtractCommandArgs).
#include <string>

#include "controls/realpassdialog.h"
#include "controls/savecombobox.h"
#include "manager/dialogkit.h"
#include "toolkit/win_dialogs.h"
#include "toolkit/win_form.h"
#include "toolkit/win_groupbox.h"

class TExtractForm : public tk::TForm, public TFilePickers {
 public:
  TExtractForm();

  tk::TLabel lblZipFN;
  tk::TEdit edZipFN;
  tk::TButton btnZipFN;
  tk::TLabel lblExtractTo;
  g32::TSaveComboBox scbExtractTo;
  tk::TButton btnExtractTo;
  tk::TCheckBox chkAllFiles;
  tk::TLabel lblFilesToExtract;
  tk::TEdit edFilesToExtract;
  tk::TGroupBox gboxHow;
  tk::TCheckBox chkOverwrite, chkDirNames;
  tk::TButton btnPassword;
  tk::TButton btnOK, btnCancel, btnHelp;
  g32::TRealPassDialog RealPassDialog1;
  tk::TOpenDialog OpenDialog1;

  // Before showing: the held password cleared; with a row whose zip exists, that zip
  // and the row profile's password; without a row an empty zip field.
  void PrepareForZip(bool haveRow, const std::string& zip, const std::string& password);

  void FormCreate();
  void FormShow();
  void FormActivate();
  void edZipFNChange();
  void btnZipFNClick();
  void btnPasswordClick();
  void chkAllFilesClick();
  void edFilesToExtractKeyPress(wchar_t& key);
  void edFilesToExtractExit();
  void btnExtractToClick();
  void scbExtractToExit();
  void scbExtractToSave(g32::TSaveComboBox& sender, bool& doSave);
  void btnOKClick();
  void btnCancelClick();

 private:
  // The password dialog; the button follows its answer (the dialog's closing activates
  // this form before the answer is known).
  void AskPassword();
  // Password... shows while a password is held or the chosen zip needs one.
  void ShowPasswordButton();
  bool zipEncrypted_ = false;
};

// The runner's arguments of the extract (after the letter X): zip, masks, folder,
// then "/o- ", "/d- " and the "/p" word as the options ask.
std::string ExtractCommandArgs(const TExtractForm& form);
