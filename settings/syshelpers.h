#pragma once
// The operations that end the Windows session (log off, shut down, power off,
// restart) and the privilege switch they need. Every request goes through one seam:
// when the environment variable QB_SESSION_END_LOG names a file, the request is
// appended to that file as one line ("ExitWindowsEx 0x<flags>") and reported as
// granted, and the session goes on (tests use it; they must never end the session).
#include <windows.h>

#include <string>

// Switches one privilege of this process's token on or off. True only when the
// name was found and the token took the change in full (a privilege the account
// does not hold counts as failure).
bool SetProcessPrivilege(bool enable, const std::string& privilegeName);

// Takes the shut-down privilege where the system has it and asks Windows to end the
// session with the flags (never forced). True when Windows accepted the request.
bool ExitWindowsWith(UINT exitFlags);
bool LogOffSession();     // EWX_LOGOFF
bool PowerOffComputer();  // EWX_POWEROFF
bool ShutDownSystem();    // EWX_SHUTDOWN

// True from the moment this process asked for the end of the session: its own
// windows then let the session end instead of holding it up.
bool SessionEndRequestedByUs();
