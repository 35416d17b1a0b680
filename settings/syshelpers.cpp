#include "settings/syshelpers.h"

#include <cstdio>
#include <cstdlib>

#include "toolkit/format.h"
#include "toolkit/strings.h"

namespace {

// Privilege attributes by the wanted state: disabled, enabled.
constexpr DWORD kPrivilegeAttributes[2] = {0, SE_PRIVILEGE_ENABLED};

bool sessionEndRequested = false;

bool IsNTPlatform() {
  OSVERSIONINFOW info{};
  info.dwOSVersionInfoSize = sizeof info;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  if (!GetVersionExW(&info)) return true;
#pragma GCC diagnostic pop
  return info.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

// The one place where a request to end the session leaves the process. With
// QB_SESSION_END_LOG set, the request is recorded in that file and counted as granted.
bool EndSession(UINT exitFlags, DWORD reason) {
  const wchar_t* log = _wgetenv(L"QB_SESSION_END_LOG");
  if (log && *log) {
    FILE* f = _wfopen(log, L"ab");
    if (!f) return false;
    const std::string line = "ExitWindowsEx 0x" + tk::IntToHex(exitFlags, 8) + " reason 0x" + tk::IntToHex(reason, 8) + "\r\n";
    const bool ok = std::fwrite(line.data(), 1, line.size(), f) == line.size();
    return std::fclose(f) == 0 && ok;
  }
  return ExitWindowsEx(exitFlags, reason) != 0;
}

}  // namespace

bool SetProcessPrivilege(bool enable, const std::string& privilegeName) {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &token)) return false;
  bool ok = false;
  TOKEN_PRIVILEGES tp{};
  tp.PrivilegeCount = 1;
  tp.Privileges[0].Attributes = kPrivilegeAttributes[enable ? 1 : 0];
  // A name the system does not know would adjust a zero identifier: refuse it.
  if (LookupPrivilegeValueW(nullptr, tk::Widen(privilegeName).c_str(), &tp.Privileges[0].Luid)) {
    SetLastError(0);
    // A partial assignment succeeds with ERROR_NOT_ALL_ASSIGNED: only error 0 counts.
    ok = AdjustTokenPrivileges(token, FALSE, &tp, 0, nullptr, nullptr) && GetLastError() == 0;
  }
  CloseHandle(token);
  return ok;
}

bool ExitWindowsWith(UINT exitFlags) {
  if (IsNTPlatform() && !SetProcessPrivilege(true, "SeShutdownPrivilege")) return false;
  // Set before the request: the session-end query can reach our windows while
  // ExitWindowsEx is still running.
  sessionEndRequested = true;
  const bool ok = EndSession(exitFlags, SHTDN_REASON_MAJOR_APPLICATION);
  if (!ok) sessionEndRequested = false;
  return ok;
}

bool LogOffSession() { return ExitWindowsWith(EWX_LOGOFF); }
bool PowerOffComputer() { return ExitWindowsWith(EWX_POWEROFF); }
bool ShutDownSystem() { return ExitWindowsWith(EWX_SHUTDOWN); }

bool SessionEndRequestedByUs() { return sessionEndRequested; }
