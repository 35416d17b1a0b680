#include "settings/protocol.h"

#include "toolkit/strings.h"

void PostToScheduler(UINT message) {
  if (HWND w = FindWindowW(QbSchWindowClass, QbSchWindowTitle)) PostMessageW(w, message, 0, 0);
}

void PostToManager(UINT message, WPARAM wParam, LPARAM lParam) {
  if (HWND w = FindWindowW(QbMainWindowClass, tk::Widen(QbMainCaption).c_str())) PostMessageW(w, message, wParam, lParam);
}

bool StartProgram(const std::string& commandLine, const TStartOptions& options, DWORD* exitCode) {
  std::wstring cmd = tk::Widen(commandLine);
  STARTUPINFOW si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESHOWWINDOW | (options.FeedbackCursor ? STARTF_FORCEONFEEDBACK : 0);
  si.wShowWindow = options.Show;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, options.PriorityClass, nullptr, nullptr, &si,
                      &pi))
    return false;
  CloseHandle(pi.hThread);
  bool done = true;
  if (options.WaitMs) {
    const bool ended = WaitForSingleObject(pi.hProcess, *options.WaitMs) == WAIT_OBJECT_0;
    if (!ended) {
      TerminateProcess(pi.hProcess, 1);
      WaitForSingleObject(pi.hProcess, 5000);
    }
    done = ended && (!exitCode || GetExitCodeProcess(pi.hProcess, exitCode));
  }
  CloseHandle(pi.hProcess);
  return done;
}
