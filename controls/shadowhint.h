#pragma once
// Hint windows with a drop shadow on systems that draw one. InitHintShadow makes
// them the application's hint window class; it runs once at program start (also on
// its own when this unit is linked in) and a second call changes nothing.
#include "toolkit/win_hint.h"

namespace g32 {

// Platform identifier and version of the running system.
struct TOsVersion {
  unsigned PlatformId = 0;
  unsigned Major = 0, Minor = 0;
};
TOsVersion RunningOsVersion();
// The NT platform (identifier 2) from version 5.1 on draws window shadows.
bool SystemDrawsShadows(const TOsVersion& v);

class TShadowedHintWindow : public tk::THintWindow {
 public:
  TShadowedHintWindow() : THintWindow(L"TShadowedHintWindow") {}

 protected:
  void CreateParams(tk::TCreateParams& params) override;
};

// Sets the application's hint window class to TShadowedHintWindow, the first time
// only; true when this call set it.
bool InitHintShadow();

}  // namespace g32
