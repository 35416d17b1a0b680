#include "manager/ew.h"

#include <vector>

#include "manager/formfont.h"
#include "settings/errorlines.h"
#include "settings/fernoglobal.h"
#include "settings/fernoini.h"
#include "toolkit/win_celltips.h"

namespace {

void AddSystemIcon(tk::TImageList& list, LPCWSTR id) {
  HICON icon = static_cast<HICON>(LoadImageW(nullptr, id, IMAGE_ICON, list.Width(), list.Height(), LR_SHARED));
  list.AddIcon(icon);
}

}  // namespace

TEwForm::TEwForm() : TForm(L"TEwForm") {
  SetCaption("Errors/Warnings");
  BorderStyle = tk::TBorderStyle::bsDialog;
  BorderIcons = tk::biSystemMenu;
  Position = tk::TPosition::poScreenCenter;
  SetFormFont(FontOf("Tahoma", 8));
  SetClientSize(576, 259);
  Declare({
      {.Control = Label4, .Name = "Label4", .Caption = "Date/Time occurred", .Bounds = {8, 8, 0, 0}},
      {.Control = flbErr, .Name = "flbErr", .Caption = "", .Bounds = {8, 24, 152, 190}},
      {.Control = lvEw, .Name = "lvEw", .Caption = "", .Bounds = {166, 8, 402, 206},
       .Style = tk::lvGridLines | tk::lvNoColumnClick},
      {.Control = lblLastXDays, .Name = "lblLastXDays", .Caption = "", .Bounds = {8, 230, 0, 0}},
      {.Control = btnClearAll, .Name = "btnClearAll", .Caption = "Clear All", .Bounds = {412, 224, 75, 25}},
      {.Control = btnClose, .Name = "btnClose", .Caption = "Close", .Bounds = {493, 224, 75, 25},
       .Style = tk::btnDefault | tk::btnCancel, .ModalResult = tk::mrCancel},
  });
  lvEw.AddColumn("Error/Warning", 358);
  lvEw.AddColumn("Error", 40, tk::TAlignment::taRightJustify);
  // Index 0 marks warnings, index 1 errors.
  AddSystemIcon(ImageList1, IDI_WARNING);
  AddSystemIcon(ImageList1, IDI_ERROR);
  lvEw.SetSmallImages(ImageList1.Handle());

  OnShow = [this] { FormShow(); };
  flbErr.OnClick = [this] { flbErrClick(); };
  btnClearAll.OnClick = [this] { btnClearAllClick(); };
}

void TEwForm::RefreshErrorFileList() {
  flbErr.SetDirectory(GetErrorsDir());
  flbErr.SetMask("*.err");
  flbErr.UpdateFileList();
  btnClearAll.SetEnabled(flbErr.Count() > 0);
  if (flbErr.Count() > 0) {
    std::vector<std::string> items = flbErr.Items();
    flbErr.SetItems(std::vector<std::string>(items.rbegin(), items.rend()));
    flbErr.SetItemIndex(0);
    flbErrClick();
  } else {
    // No file is listed, so no file's lines may stay.
    lvEw.Clear();
  }
}

void TEwForm::FormShow() {
  // A line longer than its column is read whole in a tip over its row.
  tk::ShowCutCellTips(lvEw.Handle());
  RefreshErrorFileList();
  SetActiveControl(&flbErr);
  lblLastXDays.SetCaption("Errors/Warnings older than " + std::to_string(TFernoIni().GetDaysToKeepErrors()) +
                          " days are automatically deleted");
}

void TEwForm::flbErrClick() {
  std::string path = flbErr.FileName();
  if (!path.empty()) LoadErrorFile(path);
}

void TEwForm::LoadErrorFile(const std::string& path) {
  std::string text;
  if (!ReadTextFile(path, text)) {
    MsgDlg("Can not open error-log file (" + path + ")", "");
    return;
  }
  lvEw.BeginUpdate();
  lvEw.Clear();
  for (const TErrorLine& line : ParseErrorLines(text)) {
    int row = lvEw.AddItem(line.Text, 0, line.IsError() ? kImageError : kImageWarning);
    if (line.HasCode && line.Code != 0) lvEw.SetSubItem(row, 0, std::to_string(line.Code));
  }
  lvEw.EndUpdate();
}

void TEwForm::btnClearAllClick() {
  if (MsgDlg("Delete all errors/warnings?", "iq yn") != tk::mrYes) return;
  DeleteOldErrorFiles(0, true);
  RefreshErrorFileList();
  if (flbErr.Count() == 0) lvEw.Clear();
}
