// The options dialog with the flat look on its controls, for people to look at
// (scripts/screenshots): "options_preview <page> <seconds>" shows page 0..4 and ends
// after the seconds (or when closed).
#include <windows.h>

#include <cstdlib>

#include "controls/flatmenu.h"
#include "manager/options.h"
#include "toolkit/win_timer.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  TOptionsForm form;
  form.Position = tk::TPosition::poDesigned;
  form.SetBounds(200, 150, form.Width(), form.Height());
  g32::TXPMenu flat(&form);
  form.HandleNeeded();
  flat.SetActive(true);
  const int page = __argc > 1 ? _wtoi(__wargv[1]) : 0;
  form.OnActivate = [&] { form.PageControl1.SetActivePageIndex(page); };
  const int seconds = __argc > 2 ? _wtoi(__wargv[2]) : 0;
  tk::TTimer timer;
  if (seconds > 0) {
    timer.SetInterval(static_cast<unsigned>(seconds) * 1000);
    timer.OnTimer = [&] { form.SetModalResult(tk::mrCancel); };
    timer.SetEnabled(true);
  }
  form.ShowModal();
  return 0;
}
