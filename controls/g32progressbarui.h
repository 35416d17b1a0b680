#pragma once
// A panel for choosing the colour and the contrast of the gradient progress bar,
// with a live preview bar and a Default button that restores both.
#include <string>

#include "controls/colorpickerbutton.h"
#include "controls/g32_progressbar.h"
#include "toolkit/win_speedbutton.h"
#include "toolkit/win_trackbar.h"

namespace g32 {

class TG32ProgressbarFrame : public tk::TCustomControl {
 public:
  TG32ProgressbarFrame();  // 231 x 98

  TColor DefaultColor = 0xFEE4D8;
  int DefaultContrast = 95;

  tk::TBevel Bevel1;
  TG32_ProgressBar G32_Progressbar1;  // the preview, made with the frame's window
  tk::TLabel Label2;
  tk::TTrackBar trkContrast;
  tk::TLabel lblContrast;
  tk::TLabel Label3;
  TColorPickerButton ColorPickerButton1;
  tk::TSpeedButton SpeedButton1;

  void trkContrastChange();
  void ColorPickerButton1Change();
  void SpeedButton1Click();

  void DestroyHandle() override;

 protected:
  void AfterCreate() override;
};

}  // namespace g32
