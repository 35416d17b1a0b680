#include "manager/filesize.h"

#include <cmath>
#include <memory>

#include "manager/dialogkit.h"
#include "toolkit/format.h"

namespace {

bool IsDigitOrBack(wchar_t key) { return (key >= L'0' && key <= L'9') || key == 8; }

double ParseOrZero(const std::string& text) {
  double v = 0;
  return tk::TryStrToFloat(text, &v, tk::DecimalSeparator()) && std::isfinite(v) && v >= 0 ? v : 0;
}

// Bytes from a fractional count, held inside the 64-bit range.
int64_t RoundBytes(double bytes) {
  if (!(bytes < 9.2e18)) return 0;
  return static_cast<int64_t>(std::llround(bytes));
}

}  // namespace

TFileSizeForm::TFileSizeForm() : TForm(L"TFileSizeForm") {
  UseDialogLook(*this, "Volume size", 330, 142);
  Declare({
      {.Control = rgSizeIn, .Name = "rgSizeIn", .Caption = " Size in ", .Bounds = {8, 8, 90, 92}},
      {.Control = gboxSize, .Name = "gboxSize", .Caption = " Volume size ", .Bounds = {106, 8, 216, 92}},
      {.Control = lblBytes, .Name = "lblBytes", .Caption = "Bytes", .Bounds = {12, 22, 0, 0}, .Parent = &gboxSize},
      {.Control = edBytes, .Name = "edBytes", .Caption = "", .Bounds = {60, 18, 144, 21}, .Parent = &gboxSize},
      {.Control = lblKB, .Name = "lblKB", .Caption = "KB", .Bounds = {12, 44, 0, 0}, .Parent = &gboxSize},
      {.Control = edKB, .Name = "edKB", .Caption = "", .Bounds = {60, 40, 144, 21}, .Parent = &gboxSize},
      {.Control = lblMB, .Name = "lblMB", .Caption = "MB", .Bounds = {12, 66, 0, 0}, .Parent = &gboxSize},
      {.Control = edMB, .Name = "edMB", .Caption = "", .Bounds = {60, 62, 144, 21}, .Parent = &gboxSize},
      {.Control = btnOK, .Name = "btnOK", .Caption = "OK", .Bounds = {166, 110, 75, 25}, .Style = tk::btnDefault,
       .ModalResult = tk::mrOk},
      {.Control = btnCancel, .Name = "btnCancel", .Caption = "Cancel", .Bounds = {247, 110, 75, 25},
       .Style = tk::btnCancel, .ModalResult = tk::mrCancel},
  });
  rgSizeIn.SetItems({"&Bytes", "&KB", "&MB"});
  rgSizeIn.OnClick = [this] { rgSizeInClick(); };
  rgSizeIn.SetItemIndex(1);
  edBytes.OnKeyPress = [this](wchar_t& key) { edBytesKeyPress(key); };
  edKB.OnKeyPress = [this](wchar_t& key) { edDecimalKeyPress(key); };
  edMB.OnKeyPress = [this](wchar_t& key) { edDecimalKeyPress(key); };
  edBytes.OnChange = [this] { edBytesChange(); };
  edKB.OnChange = [this] { edKBChange(); };
  edMB.OnChange = [this] { edMBChange(); };
}

tk::TEdit* TFileSizeForm::UnitEdit(int index) {
  switch (index) {
    case 0: return &edBytes;
    case 1: return &edKB;
    case 2: return &edMB;
    default: return nullptr;
  }
}

void TFileSizeForm::rgSizeInClick() {
  for (int i = 0; i < 3; ++i) {
    UnitEdit(i)->SetEnabled(false);
    UnitEdit(i)->SetColor(tk::clBtnFace);
  }
  tk::TEdit* chosen = UnitEdit(rgSizeIn.ItemIndex());
  if (!chosen) return;
  chosen->SetEnabled(true);
  chosen->SetColor(tk::clWindow);
  if (Visible() && HandleAllocated()) chosen->SetFocus();
}

void TFileSizeForm::edBytesKeyPress(wchar_t& key) {
  if (!IsDigitOrBack(key)) key = 0;
}

void TFileSizeForm::edDecimalKeyPress(wchar_t& key) {
  if (!IsDigitOrBack(key) && key != static_cast<wchar_t>(tk::DecimalSeparator())) key = 0;
}

void TFileSizeForm::edBytesChange() {
  if (updating_) return;
  int64_t bytes = 0;
  Bytes = tk::TryStrToInt64(edBytes.Text(), &bytes) && bytes > 0 ? bytes : 0;
  KB = static_cast<double>(Bytes) / 1024;
  MB = KB / 1024;
  SetSizeFields();
}

void TFileSizeForm::edKBChange() {
  if (updating_) return;
  KB = ParseOrZero(edKB.Text());
  Bytes = RoundBytes(KB * 1024);
  MB = KB / 1024;
  SetSizeFields();
}

void TFileSizeForm::edMBChange() {
  if (updating_) return;
  MB = ParseOrZero(edMB.Text());
  KB = MB * 1024;
  Bytes = RoundBytes(KB * 1024);
  SetSizeFields();
}

void TFileSizeForm::SetSizeFields() {
  updating_ = true;
  const int chosen = rgSizeIn.ItemIndex();
  if (chosen != 0) edBytes.SetText(tk::IntToStr(Bytes));
  if (chosen != 1) edKB.SetText(tk::FormatFloat("#.##########", KB));
  if (chosen != 2) edMB.SetText(tk::FormatFloat("#.##########", MB));
  updating_ = false;
  btnOK.SetEnabled(Bytes != 0 && KB != 0 && MB != 0);
}

int64_t EditFileSize(int64_t size, char unit) {
  static std::unique_ptr<TFileSizeForm> form;
  if (!form) form = std::make_unique<TFileSizeForm>();
  const int index = unit == 'M' ? 2 : unit == 'K' ? 1 : 0;
  form->rgSizeIn.SetItemIndex(index);
  form->rgSizeInClick();  // also when the unit was chosen already
  form->UnitEdit(index)->SetText(tk::IntToStr(size));
  return form->ShowModal() == tk::mrOk ? form->Bytes : -1;
}
