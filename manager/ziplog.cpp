#include "manager/ziplog.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "manager/formfont.h"
#include "settings/errorlines.h"
#include "settings/fernoini.h"
#include "toolkit/stringlist.h"
#include "toolkit/strings.h"

namespace {

// Four integers of comma text; false when there are fewer or one is no number.
bool ParsePos(const std::string& text, int (&values)[4]) {
  std::vector<std::string> items = tk::FromCommaText(text);
  if (items.size() < 4) return false;
  for (int i = 0; i < 4; ++i) {
    auto v = ParseInt32(tk::Trim(items[static_cast<size_t>(i)]));
    if (!v) return false;
    values[i] = *v;
  }
  return true;
}

}  // namespace

TZipLogForm::TZipLogForm() : TForm(L"TZipLogForm") {
  SetCaption("ZIP Log");
  BorderIcons = 0;
  KeyPreview = true;
  SetFormFont(FontOf("Tahoma", 8));
  SetBounds(203, 140, 529, 427);
  Declare({
      {.Control = RichEdit1, .Name = "RichEdit1", .Caption = "", .Bounds = {0, 0, 521, 262},
       .Style = tk::edReadOnly | tk::mmNoWordWrap | tk::mmVScroll | tk::mmHScroll | tk::reScrollBarsAlways},
      {.Control = flbLogs, .Name = "flbLogs", .Caption = "", .Bounds = {0, 266, 432, 108}},
      {.Control = btnClose, .Name = "btnClose", .Caption = "Close", .Bounds = {440, 349, 75, 25},
       .Style = tk::btnDefault | tk::btnCancel, .ModalResult = tk::mrCancel},
      {.Control = StatusBar1, .Name = "StatusBar1", .Caption = "", .Bounds = {0, 378, 521, 19}},
  });
  RichEdit1.SetFont(FontOf("Courier New", 8));
  flbLogs.FileType = tk::ftNormal | tk::ftReadOnly | tk::ftHidden | tk::ftSystem | tk::ftArchive;
  anchors_[0] = {&RichEdit1, true, true, true, true};
  anchors_[1] = {&flbLogs, true, false, true, true};
  anchors_[2] = {&btnClose, false, false, true, true};

  OnCreate = [this] { FormCreate(); };
  OnShow = [this] { FormShow(); };
  OnClose = [this](tk::TCloseAction& action) { FormClose(action); };
  OnKeyDown = [this](WORD& key, tk::TShiftState shift) { FormKeyDown(key, shift); };
  OnResize = [this] { FormResize(); };
  flbLogs.OnClick = [this] { flbLogsClick(); };
  StatusBar1.OnResize = [this] { StatusBar1Resize(); };
}

void TZipLogForm::FormCreate() {
  anchored_ = true;
  const int w = ClientWidth(), h = ClientHeight();
  for (TAnchor& a : anchors_) {
    tk::TBounds b = a.Control->Bounds();
    a.Right0 = w - (b.Left + b.Width);
    a.Bottom0 = h - (b.Top + b.Height);
  }
}

void TZipLogForm::FormResize() {
  if (!anchored_) return;
  const int w = ClientWidth(), h = ClientHeight();
  for (const TAnchor& a : anchors_) {
    tk::TBounds b = a.Control->Bounds();
    int right = w - a.Right0, bottom = h - a.Bottom0;
    if (a.Left) b.Width = right - b.Left; else b.Left = right - b.Width;
    if (a.Top) b.Height = bottom - b.Top; else b.Top = bottom - b.Height;
    a.Control->SetBounds(b.Left, b.Top, std::max(b.Width, 0), std::max(b.Height, 0));
  }
}

void TZipLogForm::FormShow() {
  int pos[4];
  // Only a complete place and size is taken; anything else keeps the designed one.
  if (ParsePos(TFernoIni().GetLogFormPos(), pos) && pos[2] > 0 && pos[3] > 0) SetBounds(pos[0], pos[1], pos[2], pos[3]);
  RichEdit1.SetPlainText("");
  flbLogs.SetMask(ProfileName + " ziplog*.txt");
  flbLogs.SetDirectory(GetLogsDir());
  flbLogs.UpdateFileList();
  std::vector<std::string> items = flbLogs.Items();
  flbLogs.SetItems(std::vector<std::string>(items.rbegin(), items.rend()));
  if (flbLogs.Count() > 0) {
    flbLogs.SetItemIndex(0);
    flbLogsClick();
  }
}

void TZipLogForm::flbLogsClick() {
  std::string path = flbLogs.FileName();
  if (path.empty()) return;
  std::string text;
  RichEdit1.SetPlainText(ReadTextFile(path, text) ? text : std::string());
}

void TZipLogForm::FormKeyDown(WORD& key, tk::TShiftState) {
  if (key == VK_ESCAPE) {
    key = 0;
    Close();
  }
}

void TZipLogForm::FormClose(tk::TCloseAction&) {
  tk::TBounds b = Bounds();
  char text[64];
  std::snprintf(text, sizeof text, "%d,%d,%d,%d", b.Left, b.Top, b.Width, b.Height);
  TFernoIni().SetLogFormPos(text);
}

void TZipLogForm::StatusBar1Resize() {
  if (StatusBar1.HandleAllocated()) InvalidateRect(StatusBar1.Handle(), nullptr, TRUE);
}
