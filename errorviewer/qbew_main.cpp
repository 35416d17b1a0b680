// QbEw.exe: shows the errors and warnings of one error file, or one message.
#include <windows.h>

#include "errorviewer/ewdialog.h"
#include "toolkit/cmdline.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  std::vector<std::string> args;
  for (int i = 1; i <= tk::ParamCount(); ++i) args.push_back(tk::ParamStr(i));
  return qbew::RunErrorViewer(instance, args);
}
