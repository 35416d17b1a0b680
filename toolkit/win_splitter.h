#pragma once
// A splitter: a thin bar, aligned like the control it sizes, that the user drags to
// make that control (the sibling with the same alignment placed just before it in
// the parent's order) larger or smaller. OnCanResize sees each new size and may veto
// it; the splitter never snaps a control shut on its own.
#include <functional>

#include "toolkit/win_controls.h"

namespace tk {

class TSplitter : public TCustomControl {
 public:
  TSplitter();
  // The smallest size a drag gives the control.
  int MinSize = 30;
  // newSize: the control's height (top, bottom) or width (left, right) in pixels at
  // 96 DPI; clear accept to refuse the move.
  std::function<void(int& newSize, bool& accept)> OnCanResize;
  std::function<void()> OnMoved;
  // The control the splitter sizes; nullptr when it has none.
  TControl* ResizeControl() const;
  // Gives the control newSize as a drag would (minimum, veto, realignment); true when
  // the size was taken.
  bool MoveTo(int newSize);

 protected:
  void CreateParams(TCreateParams& params) override;
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  bool Vertical() const;  // sizes a height (top or bottom alignment)
  bool dragging_ = false;
  POINT start_{};
  int startSize_ = 0;
};

}  // namespace tk
