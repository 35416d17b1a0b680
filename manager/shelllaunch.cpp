#include "manager/shelllaunch.h"

#include <shellapi.h>

#include "settings/fernoglobal.h"
#include "settings/vglobal.h"
#include "toolkit/files.h"
#include "toolkit/strings.h"

namespace {

TShellLauncher& Launcher() {
  static TShellLauncher launcher;
  return launcher;
}

intptr_t ShellExecuteRequest(const TShellOpen& r) {
  const std::wstring verb = tk::Widen(r.Verb), file = tk::Widen(r.File), params = tk::Widen(r.Parameters);
  return reinterpret_cast<intptr_t>(ShellExecuteW(r.Owner, verb.empty() ? nullptr : verb.c_str(), file.c_str(),
                                                  params.empty() ? nullptr : params.c_str(), nullptr, r.ShowCmd));
}

// The web site and the mail: opened by the shell, one message when that fails.
void OpenAddress(const std::string& address, const char* failure) {
  if (ShellLaunch({.Owner = GetActiveWindow(), .Verb = "open", .File = address, .Parameters = "", .ShowCmd = SW_SHOWNORMAL}) <= 32)
    MsgDlg(failure, "ie");
}

}  // namespace

intptr_t ShellLaunch(const TShellOpen& request) {
  return Launcher() ? Launcher()(request) : ShellExecuteRequest(request);
}

TShellLauncher SetShellLauncher(TShellLauncher launcher) {
  TShellLauncher previous = std::move(Launcher());
  Launcher() = std::move(launcher);
  return previous;
}

void OpenZipFile(const std::string& zip) {
  if (!FileExistsQuiet(zip)) {
    MsgDlg(zip + " doesn't exist", "iw");
    return;
  }
  if (ShellLaunch({.Owner = GetActiveWindow(), .Verb = "open", .File = zip, .Parameters = "", .ShowCmd = SW_SHOW}) <= 32)
    MsgDlg(std::string("Couldn't launch the program associated with .ZIP extension") + "\r\n" +
               "(Or, there is no program currently associated with .ZIP)",
           "ie");
}

void OpenZipFolder(const std::string& zip, bool explore) {
  const std::string folder = tk::ExtractFilePath(zip);
  if (!DirExistsQuiet(folder)) {
    MsgDlg("Folder " + QuoteIfSpaces(folder) + " is not accessible", "iw");
    return;
  }
  if (ShellLaunch({.Owner = GetActiveWindow(),
                   .Verb = explore ? "explore" : "open",
                   .File = folder,
                   .Parameters = "",
                   .ShowCmd = SW_SHOWNORMAL}) <= 32)
    MsgDlg("Couldn't open/explore the target folder", "ie");
}

void OpenWebSite() { OpenAddress(kProductWebAddress, "Couldn't launch the default browser"); }

void OpenSupportMail() {
  OpenAddress(std::string("mailto:") + kSupportMailAddress, "Couldn't launch the default mail client");
}
