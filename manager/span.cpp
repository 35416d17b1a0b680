#include "manager/span.h"

#include "manager/dialogkit.h"
#include "manager/filesize.h"
#include "manager/help.h"
#include "manager/runnerargs.h"
#include "settings/fernoglobal.h"
#include "settings/vglobal.h"
#include "toolkit/files.h"
#include "toolkit/format.h"
#include "toolkit/strings.h"

namespace {

constexpr int64_t kMinVolumeSize = 65536;

}  // namespace

TSpanForm::TSpanForm() : TForm(L"TSpanForm"), TFilePickers(static_cast<tk::TForm&>(*this)) {
  UseDialogLook(*this, "Split ZIP file to volumes", 420, 214);
  Declare({
      {.Control = lblZipFN, .Name = "lblZipFN", .Caption = "Select zip file to split", .Bounds = {12, 10, 0, 0}},
      {.Control = edZipFN, .Name = "edZipFN", .Caption = "", .Bounds = {12, 26, 362, 21}, .Style = tk::edReadOnly},
      {.Control = btnZipFN, .Name = "btnZipFN", .Caption = "...", .Bounds = {380, 25, 27, 23}},
      {.Control = lblVolDir, .Name = "lblVolDir", .Caption = "Folder for volumes", .Bounds = {12, 56, 0, 0}},
      {.Control = scbVolDir, .Name = "scbVolDir", .Caption = "", .Bounds = {12, 72, 362, 21}},
      {.Control = btnVolDir, .Name = "btnVolDir", .Caption = "...", .Bounds = {380, 71, 27, 23}},
      {.Control = lblVolFN, .Name = "lblVolFN", .Caption = "Volume name", .Bounds = {12, 102, 0, 0}},
      {.Control = edVolFN, .Name = "edVolFN", .Caption = "", .Bounds = {12, 118, 200, 21}},
      {.Control = lblMaxVolumeSize, .Name = "lblMaxVolumeSize", .Caption = "Volume size in bytes",
       .Bounds = {224, 102, 0, 0}},
      {.Control = edMaxVolumeSize, .Name = "edMaxVolumeSize", .Caption = "1450664", .Bounds = {224, 118, 150, 21}},
      {.Control = btnEditVolSize, .Name = "btnEditVolSize", .Caption = "...", .Bounds = {380, 117, 27, 23}},
      {.Control = lblVolumes, .Name = "lblVolumes", .Caption = "Volumes", .Bounds = {12, 150, 0, 0}},
      {.Control = lblNoOfVols, .Name = "lblNoOfVols", .Caption = "", .Bounds = {70, 150, 150, 15},
       .Style = tk::lblFixedSize},
      {.Control = btnOK, .Name = "btnOK", .Caption = "Split", .Bounds = {170, 178, 75, 25}, .Style = tk::btnDefault,
       .ModalResult = tk::mrOk},
      {.Control = btnCancel, .Name = "btnCancel", .Caption = "Cancel", .Bounds = {251, 178, 75, 25},
       .Style = tk::btnCancel, .ModalResult = tk::mrCancel},
      {.Control = btnHelp, .Name = "btnHelp", .Caption = "Help", .Bounds = {332, 178, 75, 25}},
  });
  btnEditVolSize.SetHint("Enter in other units");
  UseHistoryFile(scbVolDir, "VolDir");

  OpenDialog1.Title = "Select zip file to span to volumes";
  OpenDialog1.Filter = "ZIP Archive (*.zip)|*.zip";
  OpenDialog1.DefaultExt = "zip";
  OpenDialog1.Options = tk::ofFileMustExist | tk::ofPathMustExist | tk::ofHideReadOnly | tk::ofEnableSizing;

  OnCreate = [this] { FormCreate(); };
  OnShow = [this] { FormShow(); };
  edZipFN.OnChange = [this] { edZipFNChange(); };
  scbVolDir.OnChange = [this] { ComputeVolumes(); };
  edVolFN.OnChange = [this] { ComputeVolumes(); };
  edMaxVolumeSize.OnChange = [this] { ComputeVolumes(); };
  edVolFN.OnKeyPress = [this](wchar_t& key) { edVolFNKeyPress(key); };
  edMaxVolumeSize.OnKeyPress = [this](wchar_t& key) { edMaxVolumeSizeKeyPress(key); };
  btnZipFN.OnClick = [this] { btnZipFNClick(); };
  btnVolDir.OnClick = [this] { btnVolDirClick(); };
  btnEditVolSize.OnClick = [this] { btnEditVolSizeClick(); };
  scbVolDir.OnExit = [this] { scbVolDirExit(); };
  scbVolDir.OnSave = [this](g32::TSaveComboBox& sender, bool& doSave) { scbVolDirSave(sender, doSave); };
  btnOK.OnClick = [this] { btnOKClick(); };
  btnCancel.OnClick = [this] { btnCancelClick(); };
  btnHelp.OnClick = [] { ShowHelpTopic(""); };
}

void TSpanForm::PrepareForZip(const std::string& zip) {
  // The window first: its creation loads the folder history, which must not replace
  // the folder proposed below (as it does not on any later use).
  HandleNeeded();
  edZipFN.SetText("");
  if (!zip.empty() && FileExistsQuiet(zip)) edZipFN.SetText(zip);
}

void TSpanForm::FormCreate() { scbVolDir.LoadHistory(); }

void TSpanForm::FormShow() {
  ReadZipSize();
  ComputeVolumes();
}

void TSpanForm::ReadZipSize() {
  const int64_t size = GetFileSize64(edZipFN.Text());
  ZipSize = size > 0 ? size : 0;
}

void TSpanForm::edZipFNChange() {
  ReadZipSize();
  const std::string zip = edZipFN.Text();
  if (!zip.empty()) {
    scbVolDir.SetText(tk::ExtractFilePath(zip));
    edVolFN.SetText(ExtractFileNameNoExt(zip) + " Vol");
  }
  ComputeVolumes();
}

int64_t TSpanForm::VolumeSize() const {
  int64_t size = 0;
  return tk::TryStrToInt64(edMaxVolumeSize.Text(), &size) && size > 0 ? size : 0;
}

void TSpanForm::ComputeVolumes() {
  if (ZipSize == 0) {
    lblNoOfVols.SetCaption("");
    return;
  }
  if (edVolFN.Text().empty()) return;
  const int64_t size = VolumeSize();
  if (size == 0) {
    lblNoOfVols.SetCaption("Not possible");
    return;
  }
  lblNoOfVols.SetCaption(tk::IntToStr(ZipSize / size + (ZipSize % size ? 1 : 0)));
}

void TSpanForm::edVolFNKeyPress(wchar_t& key) {
  static const std::wstring forbidden = L"\"*/:<>?\\|";
  if (forbidden.find(key) != std::wstring::npos) {
    key = 0;
  } else if (key == L'.') {
    key = 0;
    MsgDlg("You don't need to type the extension part", "ii");
  }
}

void TSpanForm::edMaxVolumeSizeKeyPress(wchar_t& key) {
  if (!((key >= L'0' && key <= L'9') || key == 8)) key = 0;
}

void TSpanForm::btnZipFNClick() {
  OpenDialog1.FileName = edZipFN.Text();
  if (RunOpenDialog && RunOpenDialog(OpenDialog1)) edZipFN.SetText(OpenDialog1.FileName);
}

void TSpanForm::btnVolDirClick() {
  std::string folder = scbVolDir.Text();
  if (!BrowseFolder || !BrowseFolder("Select directory to store volume files", folder)) return;
  scbVolDir.SetFocus();
  scbVolDir.SetText(folder);
  // Leaving the box makes it keep the folder in its history.
  btnVolDir.SetFocus();
  ComputeVolumes();
}

void TSpanForm::btnEditVolSizeClick() {
  const int64_t size = EditFileSize(VolumeSize(), 'B');
  if (size != -1) edMaxVolumeSize.SetText(tk::IntToStr(size));
}

// Runs before the box saves its history, so the folder goes in with its backslash.
void TSpanForm::scbVolDirExit() {
  const std::string text = scbVolDir.Text();
  if (!text.empty() && text.back() != '\\') scbVolDir.SetText(text + "\\");
}

void TSpanForm::scbVolDirSave(g32::TSaveComboBox& sender, bool& doSave) {
  if (IsFloppyDrive(sender.Text()) || !DirExistsQuiet(sender.Text())) doSave = false;
}

void TSpanForm::btnOKClick() {
  btnOK.SetFocus();
  TrimText(edZipFN);
  TrimText(scbVolDir);
  TrimText(edVolFN);
  const auto refuse = [this](const std::string& message, const char* codes) {
    SetModalResult(tk::mrNone);
    MsgDlg(message, codes);
  };
  const std::string zip = edZipFN.Text(), folder = scbVolDir.Text(), volume = edVolFN.Text();
  if (!FileExistsQuiet(zip)) return refuse("Specified zip file doesn't exist", "ie");
  if (folder.empty()) return refuse("Volume location not specified", "ii");
  if (!EnsureDirExists(folder)) return refuse("The directory " + folder + " couldn't be created", "ie");
  if (volume.empty()) return refuse("Volume name not specified", "ii");
  if (volume == ExtractFileNameNoExt(zip)) return refuse("Volume name should not be same as ZIP file name", "ii");
  const int64_t size = VolumeSize();
  if (size < 1) return refuse("Invalid volume size", "ii");
  if (size < kMinVolumeSize) return refuse("Volume size should be greater than 65536 (64KB)", "ii");
}

void TSpanForm::btnCancelClick() { btnCancel.SetFocus(); }

std::string TSpanForm::VolumeFile() const {
  const std::string folder = scbVolDir.Text();
  // Only a real extension is replaced: the name proposed for "my.backup.zip" is
  // "my.backup Vol", whose volumes must not become "my.zip".
  const std::string name = edVolFN.Text();
  const std::string ext = tk::ExtractFileExt(name);
  const bool hasExt = !ext.empty() && ext.find(' ') == std::string::npos;
  return (folder.empty() ? std::string() : tk::IncludeTrailingBackslash(folder)) +
         (hasExt ? tk::ChangeFileExt(name, ".zip") : name + ".zip");
}

std::string SplitCommandArgs(const TSpanForm& form) {
  return RunnerArg(form.edZipFN.Text()) + " " + RunnerArg(form.VolumeFile()) + " " +
         tk::IntToStr(form.VolumeSize());
}
