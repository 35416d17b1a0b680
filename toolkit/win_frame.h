#pragma once
// A frame: a group of controls that several forms embed as one piece. A frame class
// derives from TFrame and declares its controls in its constructor, as a form does;
// the host form declares the frame in its own table like any control (bounds, and a
// caption the frame may use), and the frame's windows are made with the host's.
#include <string>

#include "toolkit/win_controls.h"

namespace tk {

class TFrame : public TCustomControl {
 public:
  TFrame();

 protected:
  explicit TFrame(std::wstring className);
};

}  // namespace tk
