#include "scheduler/qbsch.h"

#include <dbt.h>

#include <algorithm>
#include <cctype>

#include "settings/foconsts.h"
#include "settings/qbautoruns.h"
#include "settings/vglobal.h"
#include "toolkit/cmdline.h"
#include "toolkit/files.h"
#include "toolkit/format.h"
#include "toolkit/stringlist.h"
#include "toolkit/strings.h"

namespace {

enum : UINT_PTR { kTimerGrid = 1, kTimerMinute = 2, kTimerStartup = 3, kTimerEnable = 5, kTimerShutdown = 6 };
// The scheduler's own message: show the boxes waiting in line.
constexpr UINT kShowPendingBoxes = WM_APP + 40;
enum : UINT { cmdRunManager = 3001, cmdAutorunOff, cmdAutorunOn, cmdSchedulerOff, cmdSchedulerOn, cmdClose };

const char* const kIconNames[8] = {"ico", "icoA", "icoS", "icoSA", "icoE", "icoAE", "icoSE", "icoSAE"};

TScheduler* g_scheduler = nullptr;

int Box(const std::string& text, const char* caption, UINT flags) {
  SchTrace("box");
  return MessageBoxW(nullptr, tk::Widen(text).c_str(), tk::Widen(caption).c_str(), MB_TOPMOST | flags);
}

bool IsSchedulerClass(HWND hwnd) {
  wchar_t name[64] = {0};
  return GetClassNameW(hwnd, name, 64) > 0 && lstrcmpW(name, QbSchWindowClass) == 0;
}

BOOL CALLBACK FindByCaptionPrefix(HWND hwnd, LPARAM found) {
  wchar_t caption[80] = {0};
  GetWindowTextW(hwnd, caption, 80);
  const std::wstring prefix = QbSchWindowTitle;
  // Another program's window may begin alike; only our class counts.
  if (CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, caption,
                     static_cast<int>(std::min(prefix.size(), wcslen(caption))), prefix.c_str(),
                     static_cast<int>(prefix.size())) == CSTR_EQUAL &&
      IsSchedulerClass(hwnd)) {
    *reinterpret_cast<HWND*>(found) = hwnd;
    return FALSE;
  }
  return TRUE;
}

LRESULT CALLBACK SchedulerWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (g_scheduler) return g_scheduler->WindowProc(hwnd, msg, wParam, lParam);
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

std::string MinuteText(tk::TDateTime minute) { return tk::FormatDateTime("yyyy-mm-dd hh:nn", minute); }

}  // namespace

HWND FindSchedulerWindow() {
  HWND found = FindWindowW(QbSchWindowClass, QbSchWindowTitle);
  if (!found) EnumWindows(FindByCaptionPrefix, reinterpret_cast<LPARAM>(&found));
  return found;
}

void EraseAllSettings() {
  if (MessageBoxW(nullptr, L"Erase all profiles, schedules, and other settings?", L"Quillbank 2.0",
                  MB_TOPMOST | MB_ICONWARNING | MB_YESNO) != IDYES)
    return;
  HKEY software = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software", 0, KEY_ALL_ACCESS, &software) == ERROR_SUCCESS) {
    for (const char* root : {QuillbankRootKey, OldQuillbankRootKey}) {
      const std::string sub = std::string(root).substr(std::string("Software\\").size());
      RegDeleteTreeW(software, tk::Widen(sub).c_str());
      RegDeleteKeyW(software, tk::Widen(sub).c_str());
    }
    RegCloseKey(software);
  }
  for (const std::string& folder : {GetLogsDir(), GetErrorsDir()}) {
    if (!DirExistsQuiet(folder)) continue;
    tk::TStringList ignored;
    DeleteOldFiles(folder + "*.*", 0, ignored, false);
    RemoveDirectoryW(tk::Widen(folder).c_str());
  }
  const std::string appData = GetAppDataDir();
  if (!appData.empty()) {
    DeleteFileW(tk::Widen(appData + "Quillbank\\ComboBox.ini").c_str());
    RemoveDirectoryW(tk::Widen(appData + "Quillbank").c_str());
  }
}

TScheduler::TScheduler() { g_scheduler = this; }

TScheduler::~TScheduler() {
  if (ini_) ini_->SetbRunningShutdownProfiles(false);
  schedules_.reset();
  tray_.reset();
  ini_.reset();
  g_scheduler = nullptr;
}

bool TScheduler::LoadIcons() {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  for (int i = 0; i < 8; ++i)
    icons_[i] = static_cast<HICON>(
        LoadImageW(instance, tk::Widen(kIconNames[i]).c_str(), IMAGE_ICON, 16, 16, LR_SHARED));
  return true;
}

HICON TScheduler::IconFor(const char* name) const {
  for (int i = 0; i < 8; ++i)
    if (std::string(kIconNames[i]) == name) return icons_[i];
  return icons_[0];
}

int TScheduler::Run() {
  tk::SetDecimalSeparator('.');
  const bool quit = HasCommandSwitch("QuitInstance");
  if (HWND other = FindSchedulerWindow()) {
    if (!quit) {
      Box("Quillbank scheduler program is already running", QbSchBoxCaption, MB_ICONWARNING);
      return 0;
    }
    PostMessageW(other, WM_QUIT, 0, 0);
  }
  if (quit) {
    RemoveSchedulerFromStartup();
    EraseAllSettings();
    return 0;
  }
  if (!tk::SameText(tk::ExtractFileName(tk::ParamStr(0)), QbSchExe)) {
    Box(std::string("Don't rename the EXE file, it should be ") + QbSchExe, QbSchBoxCaption, MB_ICONWARNING);
    return 0;
  }

  LoadIcons();
  schedulerOn_ = false;
  autorunOn_ = true;
  ini_ = std::make_unique<TFernoIni>();
  ini_->SetbRunningShutdownProfiles(false);
  allRunsOK_ = ini_->GetAllRunsOK();
  allTestsOK_ = ini_->GetAllTestsOK();
  const std::string unread = LoadSchedules();

  WNDCLASSW wc{};
  wc.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
  wc.lpfnWndProc = SchedulerWndProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hIcon = IconFor("ico");
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  wc.lpszClassName = QbSchWindowClass;
  if (!RegisterClassW(&wc)) {
    Box("Could not register window class for Quillbank 2.0 Scheduler", QbSchBoxCaption, MB_ICONERROR);
    return 0;
  }
  window_ = CreateWindowExW(0, QbSchWindowClass, QbSchWindowTitle, 0x80, 20, 20, 300, 200, nullptr, nullptr,
                            wc.hInstance, nullptr);
  if (!window_) {
    Box("Window creation failed for Quillbank 2.0 Scheduler", QbSchBoxCaption, MB_ICONERROR);
    return 0;
  }

  AutorunOn();
  EnableScheduler();
  StartStartupProfiles();
  SendMessageW(window_, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  ShowWindow(window_, SW_HIDE);
  // Once the window is there, so that a second start still finds this one.
  ShowUnreadSchedules(unread);

  MSG msg{};
  int exitCode = 0;
  for (;;) {
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0) {
      exitCode = static_cast<int>(msg.wParam);
      break;
    }
    if (got == -1) break;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return exitCode;
}

std::string TScheduler::LoadSchedules() {
  schedules_ = std::make_unique<TFoSchedules>();
  std::set<std::string> now;
  std::string unread;
  for (int i = 0; i < schedules_->UnreadCount(); ++i) {
    const std::string& lines = schedules_->GetUnread(i)->Unread;
    if (now.insert(lines).second && !unreadShown_.count(lines)) unread += (unread.empty() ? "" : "\r\n") + lines;
  }
  // A mended entry is forgotten, so that it is named again should it break again.
  unreadShown_ = std::move(now);
  return unread;
}

void TScheduler::ShowUnreadSchedules(const std::string& unread) {
  if (!unread.empty())
    Box(UnreadSchedulesText(unread) + "\r\n\r\nIt is not run until it is mended.", QbSchBoxCaption, MB_ICONWARNING);
}

void TScheduler::UpdateTrayState() {
  if (!tray_) return;
  const bool error = !(allRunsOK_ && allTestsOK_);
  tray_->SetIcon(IconFor(TrayIconName(schedulerOn_, autorunOn_, error)));
  tray_->SetTip(TrayTip(schedulerOn_, autorunOn_, error));
}

void TScheduler::AutorunOn() {
  autorunOn_ = true;
  UpdateTrayState();
}

void TScheduler::AutorunOff() {
  autorunOn_ = false;
  UpdateTrayState();
}

void TScheduler::SchedulerOff() {
  schedulerOn_ = false;
  UpdateTrayState();
  KillTimer(window_, kTimerGrid);
  KillTimer(window_, kTimerMinute);
  // A pending switch-on must not undo this (nor clear bRunningShutdownProfiles).
  KillTimer(window_, kTimerEnable);
  enablePending_ = false;
  // Minutes that pass while off are not run later.
  minutes_.Last = 0;
  gridMinute_ = -1;
}

void TScheduler::EnableScheduler() {
  schedulerOn_ = true;
  UpdateTrayState();
  schedulerOn_ = false;
  enablePending_ = true;
  SYSTEMTIME st{};
  tk::DateTimeToSystemTime(SchClock().Now(), &st);
  SetTimer(window_, kTimerEnable, SchClock().Interval(1050 - st.wMilliseconds), nullptr);
}

void TScheduler::SchedulerOn() {
  enablePending_ = false;
  ini_->SetbRunningShutdownProfiles(false);
  if (schedulerOn_) return;
  schedulerOn_ = true;
  SchTrace("scheduler on");
  UpdateTrayState();
  gridMinute_ = -1;
  SetTimer(window_, kTimerGrid, SchClock().Interval(1000), nullptr);
}

// Sets the minute timer to fire just after the next full minute, so that timer drift
// never carries the check past a minute's end.
void TScheduler::ResetMinuteTimer() {
  SYSTEMTIME st{};
  tk::DateTimeToSystemTime(SchClock().Now(), &st);
  const UINT intoMinute = st.wSecond * 1000u + st.wMilliseconds;
  SetTimer(window_, kTimerMinute, SchClock().Interval(60000 - intoMinute + 50), nullptr);
}

void TScheduler::CheckDueSchedules() {
  const tk::TDateTime now = SchClock().Now();
  for (tk::TDateTime minute : MinutesToCheck(minutes_.Last, now)) {
    SchTrace("check " + MinuteText(minute));
    if (!RunsSchedulesOf(minutes_, minute)) continue;
    for (int i = 0; i < schedules_->GetCount(); ++i) {
      const TFoSchedule* schedule = schedules_->GetItem(i);
      if (schedule && IsScheduleDue(*schedule, minute))
        RunProfile(ScheduleLetter(schedule->Action), schedule->Profiles, true);
    }
  }
}

void TScheduler::VolumeArrived(char driveLetter) {
  const std::string label = GetDriveVolumeLabel(std::string(1, driveLetter) + ":\\");
  SchTrace(std::string("volume ") + driveLetter + ": " + label);
  if (label.empty()) return;
  CheckMediaAutoRuns(label);
  if (autorunSkipped_) {
    AutorunOff();
    Sleep(500);
    AutorunOn();
    autorunSkipped_ = false;
  }
}

void TScheduler::CheckMediaAutoRuns(const std::string& label) {
  TQbAutoRuns list;
  const TQbAutoRun* entry = FindMediaAutoRun(list, label, tk::DayOfWeek(SchClock().Now()));
  if (!entry) return;
  // Nothing is handed to a runner that could not be told what to do.
  const bool known = IsAutoRunAction(entry->Action);
  if (known && (GetAsyncKeyState(ini_->GetDontAutoRun()) & 0x8000)) {
    if (ini_->GetBeepOnAutoRunSkip()) {
      SchTrace("beep");
      PlayBeep(*ini_);
    }
    autorunSkipped_ = true;
  } else if (known) {
    const std::string profiles = AutorunProfileList(*entry);
    ini_->SetsMsgBeforeAutoRun(AutorunQuestion(*entry));
    ini_->SetbRunViaAutoRun(true);
    ini_->SetsMediaInserted(label);
    ini_->SetsProfilesToDeselect(entry->Deselected);
    RunProfile(entry->Action, tk::Trim(profiles), false);
  }
  // Named once, after the arrival is answered: the system waits for that answer.
  if (!entry->Warnings.empty() && autorunsShown_.insert(entry->Warnings).second) {
    pendingBoxes_.push_back(UnreadAutoRunsText(entry->Warnings) +
                            (known ? "\r\n\r\nIt runs as read." : "\r\n\r\nIt is not run until it is mended."));
    PostMessageW(window_, kShowPendingBoxes, 0, 0);
  }
}

void TScheduler::StartStartupProfiles() {
  if (!HasCommandSwitch(QbSchStartupSwitch) || ini_->GetDisableStartupProfiles() ||
      ini_->GetStartupProfiles().empty())
    return;
  if (const UINT delay = StartupDelayMs(ini_->GetStartupDelay()); delay > 0) {
    SetTimer(window_, kTimerStartup, SchClock().Interval(delay), nullptr);
    return;
  }
  RunProfile(ini_->Gettc(), ini_->GetStartupProfiles(), false);
}

void TScheduler::StartManager() {
  if (ini_->GetbRunningShutdownProfiles()) return;
  StartProgram(QuoteIfSpaces(tk::ProgramDir() + QbExe));
}

void TScheduler::AskClose() {
  if (Box("The scheduler program should be running for\r\nscheduled/autorun/shutdown profiles to work\r\n\r\n"
          "Are you sure to close?",
          QbSchBoxCaption, MB_ICONWARNING | MB_YESNO) != IDNO)
    PostQuitMessage(0);
}

void TScheduler::ShowTrayMenu() {
  HMENU menu = CreatePopupMenu();
  AppendMenuW(menu, MF_STRING, cmdRunManager, L"Run Quillbank 2.0");
  SetMenuDefaultItem(menu, cmdRunManager, FALSE);
  AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
  if (autorunOn_) AppendMenuW(menu, MF_STRING, cmdAutorunOff, L"Disable AutoRun");
  else AppendMenuW(menu, MF_STRING, cmdAutorunOn, L"Enable AutoRun");
  AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
  if (schedulerOn_) AppendMenuW(menu, MF_STRING, cmdSchedulerOff, L"Disable Scheduler");
  else AppendMenuW(menu, MF_STRING, cmdSchedulerOn, L"Enable Scheduler");
  AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(menu, MF_STRING, cmdClose, L"Close");
  POINT pt{};
  GetCursorPos(&pt);
  SetForegroundWindow(window_);
  TrackPopupMenu(menu, TPM_BOTTOMALIGN | TPM_RIGHTALIGN, pt.x, pt.y, 0, window_, nullptr);
  PostMessageW(window_, WM_NULL, 0, 0);
  DestroyMenu(menu);
}

LRESULT TScheduler::QueryEndSession(LPARAM lParam) {
  BOOL answer = TRUE;
  // A scheduler about to switch itself on counts as on.
  const bool before[2] = {schedulerOn_ || enablePending_, autorunOn_};
  if (!ini_->GetShutdownProfilesDisabled() && !ini_->GetShutdownProfiles().empty() &&
      !ini_->GetbRunningShutdownProfiles()) {
    ini_->SetbRunningShutdownProfiles(true);
    const int current = ini_->GetWinShutdown();
    const int kind = WinShutdownFor(lParam, current);
    if (kind != current) ini_->SetWinShutdown(kind);
    RunProfile(ini_->Gethc(), ini_->GetShutdownProfiles(), false);
    if (ini_->GetShutdownOnDllInitFailed())
      SetTimer(window_, kTimerShutdown, SchClock().Interval(300000), nullptr);
    answer = FALSE;
    restorePending_ = false;
  } else if (!restorePending_) {
    // An earlier query of the same round already saved the states it found.
    restorePending_ = true;
    savedSchedulerOn_ = before[0];
    savedAutorunOn_ = before[1];
  }
  SchedulerOff();
  AutorunOff();
  return answer;
}

void TScheduler::EndSession(bool ending) {
  if (ending || !restorePending_) {
    restorePending_ = false;
    return;
  }
  // The session goes on: backups must not stop silently.
  restorePending_ = false;
  if (savedAutorunOn_) AutorunOn();
  if (savedSchedulerOn_) EnableScheduler();
}

void TScheduler::RunShutdownCommand() {
  if (schedulerOn_) return;
  const int kind = ini_->GetAutomaticShutdownAction() ? ini_->GetWinShutdown() : ini_->GetLastShutdown();
  const std::string dir = tk::ProgramDir();
  std::string command = ShutdownCommand(dir, kind, ini_->GetOnTurnoff());
  // The folder may hold blanks: quote the program so no other file is started.
  command = QuoteIfSpaces(dir + QbExe) + command.substr((dir + QbExe).size());
  StartProgram(command);
}

LRESULT TScheduler::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_CREATE:
      window_ = hwnd;
      tray_ = std::make_unique<TTrayIco>(hwnd, QbSchBoxCaption, IconFor("ico"));
      return 0;
    case WM_TIMER:
      switch (wParam) {
        case kTimerGrid: {
          SYSTEMTIME st{};
          const tk::TDateTime now = SchClock().Now();
          tk::DateTimeToSystemTime(now, &st);
          const long long minute = static_cast<long long>(DateTimeToMinute(now) * 1440.0 + 0.5);
          // A tick that misses second 0 still finds the new minute.
          const bool newMinute = st.wSecond == 0 || (gridMinute_ >= 0 && minute != gridMinute_);
          gridMinute_ = minute;
          if (!newMinute) return 0;
          KillTimer(hwnd, kTimerGrid);
          ResetMinuteTimer();
          if (schedulerOn_) CheckDueSchedules();
          return 0;
        }
        case kTimerMinute:
          ResetMinuteTimer();
          if (schedulerOn_) CheckDueSchedules();
          return 0;
        case kTimerStartup:
          KillTimer(hwnd, kTimerStartup);
          RunProfile(ini_->Gettc(), ini_->GetStartupProfiles(), false);
          return 0;
        case kTimerEnable:
          KillTimer(hwnd, kTimerEnable);
          SchedulerOn();
          return 0;
        case kTimerShutdown:
          KillTimer(hwnd, kTimerShutdown);
          RunShutdownCommand();
          return 0;
      }
      return 0;
    case WM_QBSCH_TRAYNOTIFY:
      if (lParam == WM_LBUTTONDBLCLK) StartManager();
      else if (lParam == WM_RBUTTONUP) ShowTrayMenu();
      return 0;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case cmdRunManager: StartManager(); break;
        case cmdAutorunOff: AutorunOff(); break;
        case cmdAutorunOn: AutorunOn(); break;
        case cmdSchedulerOff: SchedulerOff(); break;
        case cmdSchedulerOn: EnableScheduler(); break;
        case cmdClose: AskClose(); break;
      }
      return 0;
    case WM_QBSCH_RELOADSCHEDULES: {
      // Only the flag pauses the check while the list is replaced; the minute timers
      // keep their grid.
      const bool wasOn = schedulerOn_;
      schedulerOn_ = false;
      schedules_.reset();
      const std::string unread = LoadSchedules();
      schedulerOn_ = wasOn;
      ShowUnreadSchedules(unread);
      return 0;
    }
    case kShowPendingBoxes:
      while (!pendingBoxes_.empty()) {
        const std::string text = pendingBoxes_.front();
        pendingBoxes_.erase(pendingBoxes_.begin());
        Box(text, QbSchBoxCaption, MB_ICONWARNING);
      }
      return 0;
    case WM_QBSCH_RESULTSCHANGED:
      allRunsOK_ = ini_->GetAllRunsOK();
      allTestsOK_ = ini_->GetAllTestsOK();
      UpdateTrayState();
      return 0;
    case WM_QBSCH_QUIT:
      PostQuitMessage(0);
      return 0;
    case WM_TIMECHANGE:
      if (schedulerOn_) {
        SchedulerOff();
        EnableScheduler();
      }
      return 0;
    case WM_DEVICECHANGE:
      if (autorunOn_ && wParam == DBT_DEVICEARRIVAL)
        if (const char letter = ArrivedVolumeLetter(lParam)) VolumeArrived(letter);
      return 0;
    case WM_QUERYENDSESSION:
      return QueryEndSession(lParam);
    case WM_ENDSESSION:
      EndSession(wParam != FALSE);
      return 0;
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

int SchedulerMain() {
  TScheduler scheduler;
  return scheduler.Run();
}
