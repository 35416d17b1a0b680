#pragma once
// Everything the manager hands to the shell to open goes through one seam: zips with
// the program associated with them, folders, the web site, a new mail and the help
// viewer. A test installs its own launcher and sees what would have been opened.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

struct TShellOpen {
  HWND Owner = nullptr;
  std::string Verb;        // "open", "explore"
  std::string File;        // document, folder, program or address
  std::string Parameters;  // for a program
  int ShowCmd = SW_SHOWNORMAL;
};

// The shell's result: above 32 on success, else the error code.
using TShellLauncher = std::function<intptr_t(const TShellOpen& request)>;

// Runs the request through the installed launcher (the shell itself when none is).
intptr_t ShellLaunch(const TShellOpen& request);
// Installs a launcher (empty: the shell again) and returns the one it replaces.
TShellLauncher SetShellLauncher(TShellLauncher launcher);

// The product's own addresses: the web site, shown in the About box and on the Help
// menu, and the support mail of the hidden mail item.
inline constexpr const char* kProductWebAddress = "http://www.quillbank.example/";
inline constexpr const char* kSupportMailAddress = "support@quillbank.example";

// The zip action "Open": the zip with its associated program; messages when it is
// missing or nothing could open it.
void OpenZipFile(const std::string& zip);
// The zip action "Open Folder": the zip's folder, explored or opened.
void OpenZipFolder(const std::string& zip, bool explore);
// The web site and a new mail to the support address; a message when the shell cannot.
void OpenWebSite();
void OpenSupportMail();
