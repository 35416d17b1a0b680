#include "toolkit/win_statusbar.h"

namespace tk {

TStatusBar::TStatusBar() { SetAlign(TAlign::alBottom); }

void TStatusBar::CreateParams(TCreateParams& p) {
  p.ClassName = STATUSCLASSNAMEW;
  // The toolkit places it (alignment), so the bar keeps the bounds it is given.
  p.Style |= CCS_NOPARENTALIGN | CCS_NORESIZE | CCS_NODIVIDER | SBARS_SIZEGRIP;
  if (bounds_.Height <= 0) bounds_.Height = 19;
}

LRESULT TStatusBar::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  LRESULT r = TControl::WndProc(msg, wp, lp);
  if (msg == WM_SIZE && OnResize) OnResize();
  return r;
}

}  // namespace tk
