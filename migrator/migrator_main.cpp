// Migrator.exe: carries the old settings layout over to the current one when started
// with -convert (or /convert); otherwise, or when there is nothing to carry, it ends
// at once without a change. The one window is the closing message box.
#include <windows.h>

#include <vector>

#include "migrator/converter.h"
#include "toolkit/cmdline.h"
#include "toolkit/strings.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  std::vector<std::string> args;
  for (int i = 1; i <= tk::ParamCount(); ++i) args.push_back(tk::ParamStr(i));
  if (!HasConvertSwitch(args)) return 0;
  TConvertReport report;
  if (!RunConversion(report)) return 0;
  MessageBoxW(nullptr, tk::Widen(FinalMessage(report)).c_str(), L"Quillbank", MB_ICONINFORMATION);
  return 0;
}
