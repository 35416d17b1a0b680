#include "manager/fspec.h"

#include "manager/formfont.h"
#include "manager/dialogkit.h"
#include "settings/fernoglobal.h"
#include "settings/vglobal.h"
#include "toolkit/files.h"
#include "toolkit/strings.h"
#include "toolkit/win_dialogs.h"

TFSpecForm::TFSpecForm() : TForm(L"TFSpecForm") {
  SetCaption("File specification");
  BorderStyle = tk::TBorderStyle::bsDialog;
  BorderIcons = tk::biSystemMenu;
  Position = tk::TPosition::poScreenCenter;
  SetFormFont(FontOf("Tahoma", 8));
  SetClientSize(377, 218);
  Declare({
      {.Control = lblPath, .Name = "lblPath", .Caption = "Path", .Bounds = {12, 12, 0, 0}},
      {.Control = lblPathOptional, .Name = "lblPathOptional", .Caption = "(optional)", .Bounds = {40, 12, 0, 0}},
      {.Control = scbPath, .Name = "scbPath", .Caption = "", .Bounds = {12, 28, 321, 21}},
      {.Control = btnPath, .Name = "btnPath", .Caption = "...", .Bounds = {338, 27, 25, 23}},
      {.Control = rbAllFileTypes, .Name = "rbAllFileTypes", .Caption = "All file types  (*.*)",
       .Bounds = {12, 62, 200, 17}},
      {.Control = rbThisFileType, .Name = "rbThisFileType", .Caption = "This file type", .Bounds = {12, 84, 200, 17}},
      {.Control = gboxFN, .Name = "gboxFN", .Caption = "", .Bounds = {30, 104, 333, 64}},
      {.Control = lblName, .Name = "lblName", .Caption = "Name part", .Bounds = {12, 14, 0, 0}, .Parent = &gboxFN},
      {.Control = edName, .Name = "edName", .Caption = "*", .Bounds = {12, 30, 145, 21}, .Parent = &gboxFN},
      {.Control = lblDot, .Name = "lblDot", .Caption = ".", .Bounds = {162, 32, 0, 0}, .Parent = &gboxFN},
      {.Control = lblExt, .Name = "lblExt", .Caption = "Ext part", .Bounds = {172, 14, 0, 0}, .Parent = &gboxFN},
      {.Control = scbExt, .Name = "scbExt", .Caption = "", .Bounds = {172, 30, 145, 21},
       .Style = tk::cbSorted | tk::cbLowerCase, .Parent = &gboxFN},
      {.Control = chkRecurse0, .Name = "chkRecurse0", .Caption = "Recurse into sub-folders",
       .Bounds = {12, 184, 150, 17}, .Style = tk::sHidden},
      {.Control = btnOK, .Name = "btnOK", .Caption = "OK", .Bounds = {206, 180, 75, 25}, .Style = tk::btnDefault,
       .ModalResult = tk::mrOk},
      {.Control = btnCancel, .Name = "btnCancel", .Caption = "Cancel", .Bounds = {288, 180, 75, 25},
       .Style = tk::btnCancel, .ModalResult = tk::mrCancel},
  });

  // Checked through the setter, so that a later choice of the other button clears it
  // even before the windows exist.
  rbAllFileTypes.SetChecked(true);

  UseHistoryFile(scbPath, "Path");
  UseHistoryFile(scbExt, "Ext");
  scbExt.RememberText = false;

  OnCreate = [this] { FormCreate(); };
  OnShow = [this] { FormShow(); };
  rbAllFileTypes.OnClick = [this] { FileTypeClick(); };
  rbThisFileType.OnClick = [this] { FileTypeClick(); };
  btnPath.OnClick = [this] { btnPathClick(); };
  scbPath.OnExit = [this] { scbPathExit(); };
  scbPath.OnSave = [this](g32::TSaveComboBox& sender, bool& doSave) { scbPathSave(sender, doSave); };
  edName.OnKeyPress = [this](wchar_t& key) { edNameKeyPress(key); };
  edName.OnExit = [this] { edNameExit(); };
  scbExt.OnExit = [this] { scbExtExit(); };
  btnOK.OnClick = [this] { btnOKClick(); };
  btnCancel.OnClick = [this] { btnCancelClick(); };
  BrowseFolder = [this](const std::string& caption, const std::string& root, std::string& folder) {
    return tk::SelectDirectory(caption, root, folder, Handle());
  };
}

void TFSpecForm::FormCreate() {
  scbPath.LoadHistory();
  scbExt.LoadHistory();
  FileTypeClick();
}

void TFSpecForm::FormShow() {
  FileTypeClick();
  SetActiveControl(rbThisFileType.Checked() ? static_cast<tk::TControl*>(&scbExt) : &scbPath);
}

void TFSpecForm::FileTypeClick() {
  const bool one = rbThisFileType.Checked();
  for (tk::TControl* c : {static_cast<tk::TControl*>(&lblName), static_cast<tk::TControl*>(&edName),
                          static_cast<tk::TControl*>(&lblDot), static_cast<tk::TControl*>(&lblExt),
                          static_cast<tk::TControl*>(&scbExt)})
    c->SetEnabled(one);
}

void TFSpecForm::btnPathClick() {
  std::string folder = scbPath.Text();
  if (!BrowseFolder || !BrowseFolder("Select the path", BaseDir, folder)) return;
  scbPath.SetText(folder);
  // Passing through the box makes it record the folder in its history.
  scbPath.SetFocus();
  btnPath.SetFocus();
}

// Runs before the box saves its history, so that the folder goes in with its backslash.
void TFSpecForm::scbPathExit() {
  const std::string text = scbPath.Text();
  if (!text.empty() && text.back() != '\\') scbPath.SetText(text + "\\");
}

void TFSpecForm::scbPathSave(g32::TSaveComboBox& sender, bool& doSave) {
  if (IsFloppyDrive(sender.Text())) doSave = false;
}

void TFSpecForm::edNameKeyPress(wchar_t& key) {
  if (key == L'.') {
    key = 0;
    MsgDlg("You need not type the dot character", "ii");
    return;
  }
  static const std::wstring forbidden = L"|/\\:<>\"";
  if (forbidden.find(key) != std::wstring::npos) {
    const std::string shown = tk::Narrow(std::wstring(1, key));
    key = 0;
    MsgDlg(shown + " is not allowed in file name or extension", "ii");
  }
}

void TFSpecForm::edNameExit() {
  std::string name = tk::Trim(edName.Text());
  if (name.empty()) name = "*";
  if (name != edName.Text()) edName.SetText(name);
}

void TFSpecForm::scbExtExit() {
  // The box shows lower case; a text set from outside is brought in line here.
  const std::string ext = tk::LowerCase(tk::Trim(scbExt.Text()));
  if (ext != scbExt.Text()) scbExt.SetText(ext);
}

void TFSpecForm::btnOKClick() {
  btnOK.SetFocus();
  const std::string path = scbPath.Text();
  if (!lblPathOptional.Visible() && path.empty()) {
    SetModalResult(tk::mrNone);
    MsgDlg("Path is empty", "ii");
    scbPath.SetFocus();
    return;
  }
  if (!path.empty() && !DirExistsQuiet(path)) {
    SetModalResult(tk::mrNone);
    if (MsgDlg("Path " + path + " currently does not exist" + "\r\n\r\n" + "Accept it?", "iqyn") != tk::mrYes) {
      scbPath.SetFocus();
      return;
    }
    SetModalResult(tk::mrOk);
  }
  if (rbThisFileType.Checked() && scbExt.Text().empty()) {
    SetModalResult(tk::mrNone);
    MsgDlg("Extension is empty", "ii");
    scbExt.SetFocus();
  }
}

void TFSpecForm::btnCancelClick() { btnCancel.SetFocus(); }
