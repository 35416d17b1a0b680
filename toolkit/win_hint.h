#pragma once
// Hint windows: the small pop-up that shows a control's hint text. The application
// makes every hint window through one replaceable class, so that a program can give
// all its hints another look at start-up without any form knowing.
#include <functional>
#include <memory>
#include <string>

#include "toolkit/win_controls.h"

namespace tk {

class THintWindow : public TCustomControl {
 public:
  explicit THintWindow(std::wstring className = L"THintWindow");
  // Shows text at the screen rectangle (pixels at 96 DPI) without taking the focus.
  void ActivateHint(const TBounds& screenRect, const std::string& text);
  // The size the text needs, border included (pixels at 96 DPI).
  TBounds CalcHintRect(int maxWidth, const std::string& text);
  void ReleaseHint();

 protected:
  void CreateParams(TCreateParams& params) override;
  void Paint(TCanvas& canvas) override;
};

// The application's hint window class: the maker of its hint windows.
using THintWindowClass = std::function<std::unique_ptr<THintWindow>()>;
void SetHintWindowClass(THintWindowClass maker);
// A new hint window of the application's class (a plain THintWindow by default).
std::unique_ptr<THintWindow> CreateHintWindow();

}  // namespace tk
