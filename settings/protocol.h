#pragma once
// How the programs meet: the messages one posts to another's window, the windows they
// find each other by, the file names of the programs and libraries in the program
// folder, and the one way a program starts another. Every program takes them from
// here, so a sender and its receiver cannot drift apart.
#include <windows.h>

#include <optional>
#include <string>

// The scheduler's hidden window, class QbSchWindowClass titled QbSchWindowTitle, takes
// these: its tray icon's callback; "reload the schedules" (the manager, after the
// schedule list was saved or a profile got a new name); "re-read AllRunsOK and
// AllTestsOK" (the runner after a run, the manager after a profile was edited or
// deleted); and "quit", which none of the programs sends.
inline constexpr UINT WM_QBSCH_TRAYNOTIFY = WM_APP + 10;       // 0x800A
inline constexpr UINT WM_QBSCH_RELOADSCHEDULES = WM_APP + 12;  // 0x800C
inline constexpr UINT WM_QBSCH_RESULTSCHANGED = WM_APP + 13;   // 0x800D
inline constexpr UINT WM_QBSCH_QUIT = WM_APP + 15;             // 0x800F
inline constexpr const wchar_t* QbSchWindowClass = L"QbSchWindowClass";
inline constexpr const wchar_t* QbSchWindowTitle = L"Qb Scheduler";

// The manager's main window, class QbMainWindowClass titled QbMainCaption (the product
// name), takes the runner's refresh message: reload the profiles named in ToRefresh.
// Only wParam QbRefreshWParam with lParam QbRefreshLParam counts.
inline constexpr UINT WM_QB_REFRESH = WM_APP + 11;  // 0x800B
inline constexpr WPARAM QbRefreshWParam = 100;
inline constexpr LPARAM QbRefreshLParam = 200;
inline constexpr const wchar_t* QbMainWindowClass = L"TMainForm";
inline constexpr const char* QbMainCaption = "Quillbank";

// The files of the program folder. Each program checks its own name at start.
inline constexpr const char* QbExe = "Qb.exe";
inline constexpr const char* RunQbExe = "RunQb.exe";
inline constexpr const char* QbSchExe = "QbSch.exe";
inline constexpr const char* QbEwExe = "QbEw.exe";
inline constexpr const char* DZipDll = "dzip32.dll";
inline constexpr const char* DUnzipDll = "dunzip32.dll";

// Words of the command lines one program gives another. The viewer takes an error file,
// or QbEwNoFileName and a message, and QbEwFromScheduler after the file when a schedule
// started the run. The log-on entry starts the scheduler with the switch
// QbSchStartupSwitch. The scheduler starts the manager with the switch QbShutdownSwitch
// and the kind of ending: log off, shut down or power off.
inline constexpr const char* QbEwNoFileName = "NOFILENAME";
inline constexpr const char* QbEwFromScheduler = "/RunFromScheduler";
inline constexpr const char* QbSchStartupSwitch = "RunStartupProfiles";
inline constexpr const char* QbShutdownSwitch = "shutdown";
inline constexpr const char* QbShutdownLogOff = "-L";
inline constexpr const char* QbShutdownShutDown = "-S";
inline constexpr const char* QbShutdownPowerOff = "-P";

// Posts the message to the scheduler's window when the scheduler runs.
void PostToScheduler(UINT message);
// Posts the message to the manager's main window when a manager runs.
void PostToManager(UINT message, WPARAM wParam, LPARAM lParam);

// How StartProgram starts a program. The defaults start it shown and do not wait.
struct TStartOptions {
  WORD Show = SW_SHOW;
  // The busy cursor until the program shows its first window.
  bool FeedbackCursor = false;
  // 0: normal, unless the starter itself runs below normal, whose class it then gets.
  DWORD PriorityClass = 0;
  // Waits at most so many milliseconds for the end (INFINITE: without limit); a
  // program still running then is ended.
  std::optional<DWORD> WaitMs;
};

// Starts a program by its command line (no separate program name, no inherited
// handles). Without a wait: true when it was started. With a wait: true only when it
// ended within the wait and its exit code, when asked for, was read into *exitCode.
bool StartProgram(const std::string& commandLine, const TStartOptions& options = {}, DWORD* exitCode = nullptr);
