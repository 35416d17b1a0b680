#include "manager/about.h"

#include <string>

#include "manager/formfont.h"
#include "toolkit/strings.h"

namespace {

// The width the text takes as it is drawn in the font, up to its last coloured pixel:
// the font's advances run a few pixels past the letters, and an underline with them.
int DrawnTextWidth(HFONT font, const std::string& text) {
  LOGFONTW lf{};
  GetObjectW(font, sizeof lf, &lf);
  lf.lfUnderline = FALSE;
  HFONT plain = CreateFontIndirectW(&lf);
  const std::wstring w = tk::Widen(text);
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ oldFont = SelectObject(dc, plain);
  SIZE extent{};
  GetTextExtentPoint32W(dc, w.c_str(), static_cast<int>(w.size()), &extent);
  int last = -1;
  if (HBITMAP b = CreateBitmap(extent.cx + 8, extent.cy, 1, 1, nullptr)) {
    HGDIOBJ oldBitmap = SelectObject(dc, b);
    RECT all{0, 0, extent.cx + 8, extent.cy};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    SetTextColor(dc, RGB(0, 0, 0));
    SetBkMode(dc, TRANSPARENT);
    TextOutW(dc, 0, 0, w.c_str(), static_cast<int>(w.size()));
    for (int x = all.right - 1; x >= 0 && last < 0; --x)
      for (int y = 0; y < all.bottom; ++y)
        if (GetPixel(dc, x, y) != RGB(255, 255, 255)) {
          last = x;
          break;
        }
    SelectObject(dc, oldBitmap);
    DeleteObject(b);
  }
  SelectObject(dc, oldFont);
  DeleteDC(dc);
  DeleteObject(plain);
  return last < 0 ? static_cast<int>(extent.cx) : last + 1;
}

}  // namespace

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
  // The label, which clips its underline, ends where the address's letters end.
  lblWWW.SetWidth(tk::ScaleFromDpi(DrawnTextWidth(lblWWW.FontHandle(), kProductWebAddress), tk::ScreenPixelsPerInch()));
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
