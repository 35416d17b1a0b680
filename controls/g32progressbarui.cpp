#include "controls/g32progressbarui.h"

#include "settings/fernoglobal.h"

namespace g32 {

TG32ProgressbarFrame::TG32ProgressbarFrame() : tk::TCustomControl(L"TG32ProgressbarFrame") {
  bounds_.Width = 231;
  bounds_.Height = 98;
  Declare({
      {.Control = Label2, .Name = "Label2", .Caption = "Contrast", .Bounds = {8, 37, 0, 0}},
      {.Control = trkContrast, .Name = "trkContrast", .Caption = "", .Bounds = {58, 35, 135, 17},
       .Style = tk::tbNoTicks | tk::tbBothSides},
      {.Control = lblContrast, .Name = "lblContrast", .Caption = "64", .Bounds = {200, 37, 0, 0}},
      {.Control = Label3, .Name = "Label3", .Caption = "Color", .Bounds = {24, 67, 0, 0}},
      {.Control = ColorPickerButton1, .Name = "ColorPickerButton1", .Caption = "", .Bounds = {64, 67, 41, 17}},
      {.Control = SpeedButton1, .Name = "SpeedButton1", .Caption = " Default...", .Bounds = {160, 67, 60, 18},
       .OnClick = [this] { SpeedButton1Click(); }},
      // Last, so that it lies below the others.
      {.Control = Bevel1, .Name = "Bevel1", .Caption = "", .Bounds = {0, 0, 231, 95}},
  });
  Bevel1.SetShape(tk::TBevelShape::bsFrame);

  G32_Progressbar1.SetBackColor(clBtnFace);
  G32_Progressbar1.SetBorderStyle(TBorderStyle::bsNone);
  G32_Progressbar1.SetColor(0xFFCC99);  // also ends ParentColor
  G32_Progressbar1.SetPosition(60);

  trkContrast.SetRange(0, 255);
  trkContrast.SetPosition(64);
  trkContrast.SetFrequency(1);
  trkContrast.SetThumbLength(15);
  trkContrast.OnChange = [this] { trkContrastChange(); };

  ColorPickerButton1.SetFlat(true);
  ColorPickerButton1.SetCustomText("More Colors...");
  ColorPickerButton1.SetPopupSpacing(8);
  ColorPickerButton1.SetSelectionColor(clBtnFace);
  ColorPickerButton1.SetShowSystemColors(true);
  ColorPickerButton1.SetHint("Light colors give better appearance");
  ColorPickerButton1.ShowHint = true;
  ColorPickerButton1.OnChange = [this] { ColorPickerButton1Change(); };

  SpeedButton1.SetFlat(true);
  SpeedButton1.SetFont(tk::TFontSpec{.Name = "Tahoma", .Height = -11});
}

void TG32ProgressbarFrame::AfterCreate() {
  tk::TCustomControl::AfterCreate();
  const int d = Dpi();
  G32_Progressbar1.SetBounds(tk::ScaleToDpi(7, d), tk::ScaleToDpi(14, d), tk::ScaleToDpi(217, d), tk::ScaleToDpi(9, d));
  G32_Progressbar1.CreateWnd(Handle());
  if (G32_Progressbar1.Handle()) SetWindowPos(G32_Progressbar1.Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

void TG32ProgressbarFrame::DestroyHandle() {
  if (HWND bar = G32_Progressbar1.Handle()) DestroyWindow(bar);
  tk::TCustomControl::DestroyHandle();
}

void TG32ProgressbarFrame::trkContrastChange() {
  G32_Progressbar1.SetContrast(trkContrast.Position());
  lblContrast.SetCaption(std::to_string(trkContrast.Position()));
}

void TG32ProgressbarFrame::ColorPickerButton1Change() { G32_Progressbar1.SetColor(ColorPickerButton1.SelectionColor()); }

void TG32ProgressbarFrame::SpeedButton1Click() {
  if (MsgDlg("Reset default color and contrast?", "iq yn d2") != tk::mrYes) return;
  ColorPickerButton1.SetSelectionColor(DefaultColor);
  G32_Progressbar1.SetColor(DefaultColor);
  G32_Progressbar1.SetBackColor(clBtnFace);
  trkContrast.SetPosition(DefaultContrast);
}

}  // namespace g32
