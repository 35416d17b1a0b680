#pragma once
// The status bar without panels: one text along the bottom of its form.
#include <functional>

#include "toolkit/win_controls.h"

namespace tk {

// Aligned to the bottom of its parent (19 pixels high unless declared otherwise);
// the caption is its text. OnResize fires after each size change of its window.
class TStatusBar : public TControl {
 public:
  TStatusBar();
  std::function<void()> OnResize;

 protected:
  void CreateParams(TCreateParams& params) override;
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;
};

}  // namespace tk
