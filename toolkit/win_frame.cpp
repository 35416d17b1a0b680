#include "toolkit/win_frame.h"

namespace tk {

TFrame::TFrame() : TCustomControl(L"TFrame") {}
TFrame::TFrame(std::wstring className) : TCustomControl(std::move(className)) {}

}  // namespace tk
