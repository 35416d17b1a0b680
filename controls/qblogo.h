#pragma once
// The small frame with the product's logo picture inside a lowered frame bevel,
// placed on the left side of the profile wizard and of the About box.
#include <windows.h>

#include "toolkit/win_controls.h"

namespace g32 {

class TQbLogoFrame : public tk::TCustomControl {
 public:
  // Size of the logo picture in pixels.
  static constexpr int kLogoWidth = 88, kLogoHeight = 206;

  TQbLogoFrame();

  tk::TImage ImgWizard;
  tk::TBevel Bevel3;
  tk::TButton Button1;  // no caption, no handler, hidden and no tab stop

  // The logo picture, drawn in code; the caller owns the bitmap.
  static HBITMAP CreateLogoBitmap();
};

}  // namespace g32
