#include "manager/reassemble.h"

#include "manager/dialogkit.h"
#include "manager/help.h"
#include "manager/runnerargs.h"
#include "settings/fernoglobal.h"
#include "settings/vglobal.h"
#include "toolkit/files.h"

TReAssembleForm::TReAssembleForm() : TForm(L"TReAssembleForm"), TFilePickers(static_cast<tk::TForm&>(*this)) {
  UseDialogLook(*this, "Join volumes to standard ZIP file", 420, 142);
  Declare({
      {.Control = lblLastVolFN, .Name = "lblLastVolFN", .Caption = "Last zip volume", .Bounds = {12, 10, 0, 0}},
      {.Control = edLastVolFN, .Name = "edLastVolFN", .Caption = "", .Bounds = {12, 26, 362, 21}},
      {.Control = btnLastVol, .Name = "btnLastVol", .Caption = "...", .Bounds = {380, 25, 27, 23}},
      {.Control = lblDestDir, .Name = "lblDestDir", .Caption = "Destination directory", .Bounds = {12, 56, 0, 0}},
      {.Control = edDestDir, .Name = "edDestDir", .Caption = "", .Bounds = {12, 72, 362, 21}},
      {.Control = btnDestDir, .Name = "btnDestDir", .Caption = "...", .Bounds = {380, 71, 27, 23}},
      {.Control = btnOK, .Name = "btnOK", .Caption = "Join", .Bounds = {170, 106, 75, 25}, .Style = tk::btnDefault,
       .ModalResult = tk::mrOk},
      {.Control = btnCancel, .Name = "btnCancel", .Caption = "Cancel", .Bounds = {251, 106, 75, 25},
       .Style = tk::btnCancel, .ModalResult = tk::mrCancel},
      {.Control = btnHelp, .Name = "btnHelp", .Caption = "Help", .Bounds = {332, 106, 75, 25}},
  });
  OpenDialog1.Title = "Select the last zip file volume";
  OpenDialog1.Filter = "ZIP volumes (*.zip)|*.zip";
  OpenDialog1.DefaultExt = "zip";
  OpenDialog1.Options = tk::ofFileMustExist | tk::ofPathMustExist | tk::ofHideReadOnly | tk::ofEnableSizing;

  OnShow = [this] { FormShow(); };
  btnLastVol.OnClick = [this] { btnLastVolClick(); };
  btnDestDir.OnClick = [this] { btnDestDirClick(); };
  btnOK.OnClick = [this] { btnOKClick(); };
  btnHelp.OnClick = [] { ShowHelpTopic(""); };
}

void TReAssembleForm::FormShow() {
  SetActiveControl(&edLastVolFN);
  edLastVolFN.SetText("");
  edDestDir.SetText("");
}

void TReAssembleForm::btnLastVolClick() {
  OpenDialog1.FileName = edLastVolFN.Text();
  if (RunOpenDialog && RunOpenDialog(OpenDialog1)) edLastVolFN.SetText(OpenDialog1.FileName);
}

void TReAssembleForm::btnDestDirClick() {
  std::string folder = edDestDir.Text();
  if (BrowseFolder && BrowseFolder("Join to", folder)) edDestDir.SetText(tk::IncludeTrailingBackslash(folder));
}

void TReAssembleForm::btnOKClick() {
  const auto refuse = [this](const std::string& message, const char* codes, tk::TControl* focus) {
    SetModalResult(tk::mrNone);
    MsgDlg(message, codes);
    if (focus) focus->SetFocus();
  };
  if (edLastVolFN.Text().empty()) return refuse("Last zip volume not specified", "ie", &edLastVolFN);
  const std::string folder = edDestDir.Text();
  if (folder.empty()) return refuse("Destinaiton folder not specified", "ie", &edDestDir);
  if (DirExistsQuiet(folder)) return;
  SetModalResult(tk::mrNone);
  if (MsgDlg("Create directory  " + folder + " ?", "iq yn") != tk::mrYes) return;
  if (!tk::ForceDirectories(folder)) {
    MsgDlg("Could not create directory: " + folder, "ii");
    return;
  }
  SetModalResult(tk::mrOk);
}

std::string JoinCommandArgs(const TReAssembleForm& form) {
  return RunnerArg(form.edLastVolFN.Text()) + " " + RunnerArg(form.edDestDir.Text());
}
