#include "manager/extract.h"

#include "manager/dialogkit.h"
#include "manager/help.h"
#include "manager/runnerargs.h"
#include "settings/fernoglobal.h"
#include "settings/vglobal.h"
#include "toolkit/files.h"
#include "toolkit/strings.h"

TExtractForm::TExtractForm() : TForm(L"TExtractForm"), TFilePickers(static_cast<tk::TForm&>(*this)) {
  UseDialogLook(*this, "Extract ZIP file", 420, 262);
  Declare({
      {.Control = lblZipFN, .Name = "lblZipFN", .Caption = "ZIP file to extract", .Bounds = {12, 10, 0, 0}},
      {.Control = edZipFN, .Name = "edZipFN", .Caption = "", .Bounds = {12, 26, 362, 21}, .Style = tk::edReadOnly},
      {.Control = btnZipFN, .Name = "btnZipFN", .Caption = "...", .Bounds = {380, 25, 27, 23}},
      {.Control = lblExtractTo, .Name = "lblExtractTo", .Caption = "Destination folder", .Bounds = {12, 56, 0, 0}},
      {.Control = scbExtractTo, .Name = "scbExtractTo", .Caption = "", .Bounds = {12, 72, 362, 21}},
      {.Control = btnExtractTo, .Name = "btnExtractTo", .Caption = "...", .Bounds = {380, 71, 27, 23}},
      {.Control = chkAllFiles, .Name = "chkAllFiles", .Caption = "All files (*.*)", .Bounds = {12, 104, 120, 17}},
      {.Control = lblFilesToExtract, .Name = "lblFilesToExtract", .Caption = "Files to extract",
       .Bounds = {12, 128, 0, 0}},
      {.Control = edFilesToExtract, .Name = "edFilesToExtract", .Caption = "", .Bounds = {12, 144, 200, 21}},
      {.Control = gboxHow, .Name = "gboxHow", .Caption = " How to extract ", .Bounds = {224, 100, 183, 66}},
      {.Control = chkOverwrite, .Name = "chkOverwrite", .Caption = "Overwrite automatically !",
       .Bounds = {10, 18, 165, 17}, .Parent = &gboxHow},
      {.Control = chkDirNames, .Name = "chkDirNames", .Caption = "Extract folder names", .Bounds = {10, 40, 165, 17},
       .Parent = &gboxHow},
      {.Control = btnPassword, .Name = "btnPassword", .Caption = "Password...", .Bounds = {12, 182, 90, 25},
       .Style = tk::sHidden},
      {.Control = btnOK, .Name = "btnOK", .Caption = "Extract", .Bounds = {170, 226, 75, 25},
       .Style = tk::btnDefault, .ModalResult = tk::mrOk},
      {.Control = btnCancel, .Name = "btnCancel", .Caption = "Cancel", .Bounds = {251, 226, 75, 25},
       .Style = tk::btnCancel, .ModalResult = tk::mrCancel},
      {.Control = btnHelp, .Name = "btnHelp", .Caption = "Help", .Bounds = {332, 226, 75, 25}},
  });
  scbExtractTo.SetHint("Will be created if doesn't exist");
  edFilesToExtract.SetHint("Seperate multiple wildcards with semicolon");
  UseHistoryFile(scbExtractTo, "ExtractTo");

  RealPassDialog1.Caption = "Password to decrypt zip file";
  RealPassDialog1.Text = "Type the password";
  RealPassDialog1.Text2 = "Re-type the password";
  RealPassDialog1.AskTwice = false;
  RealPassDialog1.PasswordChar = L'$';

  OpenDialog1.Title = "Select zip file to extract";
  OpenDialog1.Filter = "ZIP files (*.zip)|*.zip";

  OnCreate = [this] { FormCreate(); };
  OnShow = [this] { FormShow(); };
  OnActivate = [this] { FormActivate(); };
  edZipFN.OnChange = [this] { edZipFNChange(); };
  btnZipFN.OnClick = [this] { btnZipFNClick(); };
  btnPassword.OnClick = [this] { btnPasswordClick(); };
  chkAllFiles.OnClick = [this] { chkAllFilesClick(); };
  edFilesToExtract.OnKeyPress = [this](wchar_t& key) { edFilesToExtractKeyPress(key); };
  edFilesToExtract.OnExit = [this] { edFilesToExtractExit(); };
  btnExtractTo.OnClick = [this] { btnExtractToClick(); };
  scbExtractTo.OnExit = [this] { scbExtractToExit(); };
  scbExtractTo.OnSave = [this](g32::TSaveComboBox& sender, bool& doSave) { scbExtractToSave(sender, doSave); };
  btnOK.OnClick = [this] { btnOKClick(); };
  btnCancel.OnClick = [this] { btnCancelClick(); };
  btnHelp.OnClick = [] { ShowHelpTopic(""); };
}

void TExtractForm::PrepareForZip(bool haveRow, const std::string& zip, const std::string& password) {
  HandleNeeded();  // its creation loads the history before the fields are filled, as on later uses
  RealPassDialog1.Password.clear();
  zipEncrypted_ = false;
  if (!haveRow) {
    edZipFN.SetText("");
  } else if (FileExistsQuiet(zip)) {
    edZipFN.SetText(zip);
    RealPassDialog1.Password = password;
  }
}

void TExtractForm::FormCreate() { scbExtractTo.LoadHistory(); }

void TExtractForm::FormShow() {
  chkAllFiles.SetChecked(true);
  chkDirNames.SetChecked(true);
  chkOverwrite.SetChecked(false);
  chkAllFilesClick();
}

void TExtractForm::FormActivate() { ShowPasswordButton(); }

void TExtractForm::ShowPasswordButton() { btnPassword.SetVisible(zipEncrypted_ || !RealPassDialog1.Password.empty()); }

void TExtractForm::AskPassword() {
  RealPassDialog1.Execute();
  ShowPasswordButton();
}

void TExtractForm::edZipFNChange() {
  if (!Active()) return;
  RealPassDialog1.Password.clear();
  zipEncrypted_ = ZipHasEncryptedItems(edZipFN.Text());
  ShowPasswordButton();
  if (zipEncrypted_) AskPassword();
}

void TExtractForm::btnZipFNClick() {
  OpenDialog1.FileName = edZipFN.Text();
  if (RunOpenDialog && RunOpenDialog(OpenDialog1)) edZipFN.SetText(OpenDialog1.FileName);
}

void TExtractForm::btnPasswordClick() { AskPassword(); }

void TExtractForm::chkAllFilesClick() {
  if (chkAllFiles.Checked()) {
    edFilesToExtract.SetEnabled(false);
    edFilesToExtract.SetColor(tk::clBtnFace);
    return;
  }
  edFilesToExtract.SetEnabled(true);
  edFilesToExtract.SetColor(tk::clWindow);
  if (edFilesToExtract.Text().empty()) edFilesToExtract.SetText("*.");
  if (Visible() && HandleAllocated()) {
    edFilesToExtract.SetFocus();
    edFilesToExtract.SetSelStart(static_cast<int>(tk::Widen(edFilesToExtract.Text()).size()));
  }
}

void TExtractForm::edFilesToExtractKeyPress(wchar_t& key) {
  if (key == L' ') {
    key = 0;
    MsgDlg("Seperate file types with semicolon", "ii");
  } else if (key == L';') {
    key = 0;
    edFilesToExtract.SetText(edFilesToExtract.Text() + ";*.");
    edFilesToExtract.SetSelStart(static_cast<int>(tk::Widen(edFilesToExtract.Text()).size()));
  }
}

void TExtractForm::edFilesToExtractExit() {
  std::string masks = tk::Trim(edFilesToExtract.Text());
  if (masks == "*.") masks.clear();
  if (masks.size() > 2 && masks.ends_with(";*.")) masks.resize(masks.size() - 3);
  if (masks != edFilesToExtract.Text()) edFilesToExtract.SetText(masks);
}

void TExtractForm::btnExtractToClick() {
  std::string folder = scbExtractTo.Text();
  if (!BrowseFolder || !BrowseFolder("Select destination directory", folder)) return;
  scbExtractTo.SetFocus();
  scbExtractTo.SetText(folder);
  // Leaving the box makes it keep the folder in its history.
  btnExtractTo.SetFocus();
}

// Runs before the box saves its history.
void TExtractForm::scbExtractToExit() {
  const std::string text = scbExtractTo.Text();
  if (IsUNCPath(text)) return;
  std::string folder = tk::Trim(text);
  if (!folder.empty() && folder.back() != '\\') folder += '\\';
  if (folder != text) scbExtractTo.SetText(folder);
}

void TExtractForm::scbExtractToSave(g32::TSaveComboBox& sender, bool& doSave) {
  const std::string folder = sender.Text();
  if (IsUNCPath(folder) || folder.empty() || IsFloppyDrive(folder)) {
    doSave = false;
    return;
  }
  if (!EnsureDirExists(folder)) {
    doSave = false;
    MsgDlg("The destination directory " + folder + " could not be created", "ie");
  }
}

void TExtractForm::btnOKClick() {
  btnOK.SetFocus();
  TrimText(edZipFN);
  TrimText(scbExtractTo);
  TrimText(edFilesToExtract);
  const auto refuse = [this](const std::string& message, tk::TControl& focus) {
    SetModalResult(tk::mrNone);
    MsgDlg(message, "iw");
    focus.SetFocus();
  };
  if (!FileExistsQuiet(edZipFN.Text())) return refuse("ZIP file " + edZipFN.Text() + " doesn't exist", edZipFN);
  if (scbExtractTo.Text().empty()) return refuse("Destination folder not specified", scbExtractTo);
  if (!chkAllFiles.Checked() && edFilesToExtract.Text().empty())
    return refuse("\"Files to extract\" not specified", edFilesToExtract);
  // A password kept from before the password dialog refused double quotes cannot reach
  // the runner unchanged: it is not passed on altered.
  if (RealPassDialog1.Password.find('"') != std::string::npos)
    return refuse("The password holds a double quote character (\"), which can not be passed on; "
                  "type the password again with Password...", btnPassword);
}

void TExtractForm::btnCancelClick() { btnCancel.SetFocus(); }

std::string ExtractCommandArgs(const TExtractForm& form) {
  std::string args = RunnerArg(form.edZipFN.Text()) + " " +
                     (form.chkAllFiles.Checked() ? std::string("*.*") : RunnerArg(form.edFilesToExtract.Text())) +
                     " " + RunnerArg(form.scbExtractTo.Text()) + " ";
  if (!form.chkOverwrite.Checked()) args += "/o- ";
  if (!form.chkDirNames.Checked()) args += "/d- ";
  // The whole word in quotes, so that a password with a blank arrives as one word.
  if (!form.RealPassDialog1.Password.empty()) args += RunnerArg("/p" + form.RealPassDialog1.Password);
  return args;
}
