#include "manager/about.h"

#include "manager/formfont.h"

TAboutForm::TAboutForm() : TForm(L"TAboutForm") {
  SetCaption("About Quillbank");
  BorderStyle = tk::TBorderStyle::bsDialog;
  BorderIcons = tk::biSystemMenu;
  Position = tk::TPosition::poScreenCenter;
  KeyPreview = true;
  SetFormFont(FontOf("Tahoma", 8));
  SetClientSize(330, 227);
  Declare({
      {.Control = QbLogoFrame1, .Name = "QbLogoFrame1", .Caption = "", .Bounds = {8, 8, 95, 211}},
      {.Control = lblQbVerTitle, .Name = "lblQbVerTitle", .Caption = "", .Bounds = {120, 24, 0, 0}},
      {.Control = lblWWW, .Name = "lblWWW", .Caption = "", .Bounds = {120, 96, 0, 0}},
      {.Control = btnOK, .Name = "btnOK", .Caption = "OK", .Bounds = {247, 194, 75, 25}, .Style = tk::btnDefault,
       .ModalResult = tk::mrOk},
  });
  lblQbVerTitle.SetFont(FontOf("Tahoma", 12, true));
  tk::TFontSpec link = FontOf("Tahoma", 8);
  link.Underline = true;
  link.Color = RGB(0, 0, 0xFF);
  lblWWW.SetFont(link);
  lblWWW.SetCursor(IDC_HAND);

  OnCreate = [this] { FormCreate(); };
  OnKeyDown = [this](WORD& key, tk::TShiftState shift) { FormKeyDown(key, shift); };
  lblWWW.OnClick = [this] { lblWWWClick(); };
}

void TAboutForm::FormCreate() {
  lblQbVerTitle.SetCaption(QbVersionTitle);
  lblWWW.SetCaption(kProductWebAddress);
}

void TAboutForm::FormKeyDown(WORD& key, tk::TShiftState) {
  if (key == VK_ESCAPE) {
    key = 0;
    Close();
  }
}

void TAboutForm::lblWWWClick() {
  if (OnWebSite) OnWebSite();
}
