// The scheduler as a program: its start, single instance, uninstall, due schedules and
// the end of the session.
#include <windows.h>

#include <algorithm>

#include "qbsch_fixture.h"
#include "settings/fernoini.h"
#include "settings/foschedules.h"

namespace {

using namespace qbsch_test;

TEST_F(QbSchProgram, HiddenWindowSingleInstanceAndQuitMessage) {
  HWND window = StartAndWait();
  ASSERT_NE(window, nullptr);
  EXPECT_FALSE(IsWindowVisible(window));
  HANDLE second = Start("");
  ASSERT_NE(second, nullptr);
  std::string text, caption;
  HWND box = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (box = FindBox(GetProcessId(second), &text, &caption)) != nullptr; }));
  EXPECT_EQ(text, "Quillbank scheduler program is already running");
  EXPECT_EQ(caption, "Quillbank 2.0 Scheduler");
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  EXPECT_EQ(WaitForSingleObject(second, 10000), WAIT_OBJECT_0);
  EXPECT_TRUE(IsWindow(window));

  // The tray followed the start: created, then autorun on, then the scheduler on.
  ASSERT_TRUE(WaitFor([&] { return Tips().size() >= 3; }));
  EXPECT_EQ(Tips()[0], "tray add Quillbank 2.0 Scheduler");

  PostMessageW(window, WM_QBSCH_QUIT, 0, 0);
  DWORD code = 99;
  ASSERT_EQ(WaitForSingleObject(started_[0].hProcess, 10000), WAIT_OBJECT_0);
  GetExitCodeProcess(started_[0].hProcess, &code);
  EXPECT_EQ(code, 0u);
  EXPECT_EQ(qbtest::RegRead("Options\\General", "bRunningShutdownProfiles"), "<missing>");
}

TEST_F(QbSchProgram, RenamedProgramRefusesToRun) {
  CopyFileW(tk::Widen(dir_ / "QbSch.exe").c_str(), tk::Widen(dir_ / "Other.exe").c_str(), FALSE);
  HANDLE process = Start("", "Other.exe");
  ASSERT_NE(process, nullptr);
  std::string text;
  HWND box = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (box = FindBox(GetProcessId(process), &text)) != nullptr; }));
  EXPECT_EQ(text, "Don't rename the EXE file, it should be QbSch.exe");
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  EXPECT_EQ(WaitForSingleObject(process, 10000), WAIT_OBJECT_0);
  EXPECT_EQ(FindWindowW(QbSchWindowClass, QbSchWindowTitle), nullptr);
}

TEST_F(QbSchProgram, QuitInstanceEndsTheSchedulerAndErases) {
  // A window of another program whose caption begins alike must not be ended.
  HWND decoy = CreateWindowExW(0, L"STATIC", L"Qb Scheduler decoy", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(decoy, nullptr);
  qbtest::RegWrite("Options\\General", "StartupDelay", "7");
  HWND window = StartAndWait();
  ASSERT_NE(window, nullptr);
  HANDLE quitter = Start("QuitInstance");
  ASSERT_NE(quitter, nullptr);
  EXPECT_EQ(WaitForSingleObject(started_[0].hProcess, 10000), WAIT_OBJECT_0);
  std::string text;
  HWND box = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (box = FindBox(GetProcessId(quitter), &text)) != nullptr; }));
  EXPECT_EQ(text, "Erase all profiles, schedules, and other settings?");
  PostMessageW(box, WM_COMMAND, IDYES, 0);
  EXPECT_EQ(WaitForSingleObject(quitter, 10000), WAIT_OBJECT_0);
  HKEY key = nullptr;
  EXPECT_NE(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Quillbank", 0, KEY_READ, &key), ERROR_SUCCESS);
  MSG msg;
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  DestroyWindow(decoy);
}

LRESULT CALLBACK PlainWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

TEST_F(QbSchProgram, QuitInstanceFindsASchedulerByCaptionPrefixOfItsClassOnly) {
  // No scheduler under its full caption: the caption search decides. A scheduler window
  // whose caption begins alike in another case is ended; another class's window that
  // begins alike, enumerated before it, is not.
  WNDCLASSW wc{};
  wc.lpfnWndProc = PlainWindowProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = QbSchWindowClass;
  ASSERT_NE(RegisterClassW(&wc), 0);
  HWND ours = CreateWindowExW(0, QbSchWindowClass, L"QB SCHEDULER (older)", 0, 0, 0, 10, 10, nullptr, nullptr,
                              wc.hInstance, nullptr);
  HWND decoy = CreateWindowExW(0, L"STATIC", L"qb scheduler decoy", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(ours, nullptr);
  ASSERT_NE(decoy, nullptr);
  qbtest::RegWrite("Options\\General", "StartupDelay", "7");
  HKEY run = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, tk::Widen(RunKey).c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &run,
                            nullptr),
            ERROR_SUCCESS);
  const std::wstring startLine = L"QbSch.exe -RunStartupProfiles";
  RegSetValueExW(run, tk::Widen(RunValueName).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(startLine.c_str()),
                 static_cast<DWORD>((startLine.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(run);

  HANDLE quitter = Start("/quitinstance");
  ASSERT_NE(quitter, nullptr);
  std::string text;
  HWND box = WaitForBox(quitter, &text);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(text, "Erase all profiles, schedules, and other settings?");
  // The start entry went before the question; answered No, the settings stay.
  HKEY key = nullptr;
  EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, tk::Widen(RunKey).c_str(), 0, KEY_QUERY_VALUE, &key), ERROR_SUCCESS);
  EXPECT_NE(RegQueryValueExW(key, tk::Widen(RunValueName).c_str(), nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
  RegCloseKey(key);
  PostMessageW(box, WM_COMMAND, IDNO, 0);
  EXPECT_EQ(WaitForSingleObject(quitter, 10000), WAIT_OBJECT_0);
  EXPECT_EQ(qbtest::RegRead("Options\\General", "StartupDelay"), "7");

  MSG msg;
  int quits = 0;
  while (PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    ++quits;
    EXPECT_EQ(msg.hwnd, ours);
  }
  EXPECT_EQ(quits, 1);
  DestroyWindow(decoy);
  DestroyWindow(ours);
  UnregisterClassW(QbSchWindowClass, wc.hInstance);
}

TEST_F(QbSchProgram, DueSchedulesStartTheRunnerAtTheirMinuteOnly) {
  {
    TFoSchedules list;
    auto add = [&](int minute, const char* days, bool datesMode, const char* dates, uint8_t action, const char* profiles) {
      auto* s = new TFoSchedule;
      s->Time = tk::EncodeTime(10, minute, 0);
      s->Days = days;
      s->DatesMode = datesMode;
      s->Dates = dates;
      s->Action = action;
      s->Profiles = profiles;
      list.Add(s);
    };
    add(30, "0001000", false, "", 1, "\"My Docs\" \"Mail\" ");  // Thursday: due
    add(30, "1111111", true, "32", 2, "\"Last\" ");             // 29 February 2024: due
    add(30, "0000100", false, "", 0, "\"Friday\" ");            // not today
    add(30, "1111111", true, "28", 0, "\"The28th\" ");           // not today
    add(31, "1111111", false, "", 0, "\"Next\" ");              // the next minute
    add(35, "1111111", false, "", 0, "\"Later\" ");             // beyond the test's run
    list.SaveAll();
  }
  // 29 February 2024 is a Thursday; sixty times as fast: a minute is a second, and the
  // start has five minutes before the first due one.
  SetEnvironmentVariableW(L"QB_SCH_CLOCK", L"2024-02-29 10:25:00,60");
  HWND window = StartAndWait();
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(WaitFor([&] {
    for (const auto& l : Lines(dir_ / "trace.log"))
      if (l == "check 2024-02-29 10:33") return true;
    return false;
  }, 40000));
  ASSERT_TRUE(Quit(window));
  ASSERT_TRUE(WaitForStandIns());

  std::vector<std::string> checks;
  for (const auto& l : Lines(dir_ / "trace.log"))
    if (l.rfind("check ", 0) == 0) checks.push_back(l.substr(6));
  // Every minute once, none skipped, up to the last one checked.
  ASSERT_GE(checks.size(), 4u) << qbtest::ReadFile(dir_ / "trace.log");
  const size_t first = checks.size() - 4;
  for (size_t i = 0; i < 4; ++i) EXPECT_EQ(checks[first + i], "2024-02-29 10:3" + std::to_string(i)) << i;
  for (size_t i = 0; i < first; ++i) EXPECT_EQ(checks[i].substr(0, 15), "2024-02-29 10:2") << i;

  auto runs = Lines(dir_ / "stub.log");
  std::sort(runs.begin(), runs.end());
  ASSERT_EQ(runs.size(), 3u);
  EXPECT_EQ(runs[0].substr(0, runs[0].find("|RVA")), "RunQb.exe|B \"Last\" |RFS=1");
  EXPECT_EQ(runs[1].substr(0, runs[1].find("|RVA")), "RunQb.exe|R \"Next\" |RFS=1");
  EXPECT_EQ(runs[2].substr(0, runs[2].find("|RVA")), "RunQb.exe|T \"My Docs\" \"Mail\" |RFS=1");
}

// An unreadable schedule is named and not run; a start-up delay beyond a timer's is not wrapped.
TEST_F(QbSchProgram, AnUnreadableScheduleIsNamedAndAHugeStartupDelayIsWaited) {
  qbtest::RegWrite("Options\\General", "StartupProfiles", "\"Boot\" ");
  qbtest::RegWrite("Options\\General", "StartupDelay", "4294968");
  qbtest::RegWrite("Options\\General", "ScheduleCount", "2");
  qbtest::RegWrite("Schedules\\1", "t", "10:30");
  qbtest::RegWrite("Schedules\\1", "p", "\"Broken\" ");
  qbtest::RegWrite("Schedules\\2", "t", "0.4375");  // 10:30
  qbtest::RegWrite("Schedules\\2", "p", "\"Due\" ");
  SetEnvironmentVariableW(L"QB_SCH_CLOCK", L"2024-02-29 10:29:00,20");  // a minute is three seconds
  HWND window = StartAndWait("-RunStartupProfiles");
  ASSERT_NE(window, nullptr);
  std::string text;
  HWND box = WaitForBox(started_.back().hProcess, &text);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(text, "A schedule could not be read:\r\n\r\nValue \"t\" in Schedules\\1 is not a number: \"10:30\"\r\n\r\n"
                  "It is not run until it is mended.");
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  ASSERT_TRUE(WaitFor([&] { return !Runs().empty(); }, 40000));
  const auto runs = SettledRuns(window);
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(Before(runs[0], "|RFS"), "RunQb.exe|R \"Due\" ");
}

TEST_F(QbSchProgram, EndSessionQueryRefusedForShutdownProfiles) {
  {
    TFernoIni ini;
    ini.SetShutdownProfiles("\"Night\" ");
    ini.Sethc('b');
  }
  HWND window = StartAndWait();
  ASSERT_NE(window, nullptr);
  DWORD_PTR answer = 99;
  ASSERT_NE(SendMessageTimeoutW(window, WM_QUERYENDSESSION, 0, static_cast<LPARAM>(ENDSESSION_LOGOFF), SMTO_BLOCK,
                                10000, &answer), 0);
  EXPECT_EQ(answer, FALSE);
  EXPECT_EQ(qbtest::RegRead("Options\\General", "WinShutdown"), "2");
  ASSERT_TRUE(WaitFor([&] { return !Lines(dir_ / "stub.log").empty(); }));
  const std::string run = Lines(dir_ / "stub.log")[0];
  EXPECT_EQ(run.substr(0, run.find("|RFS")), "RunQb.exe|b \"Night\" ");
  // While they run, a second query lets the session end.
  ASSERT_NE(SendMessageTimeoutW(window, WM_QUERYENDSESSION, 0, 0, SMTO_BLOCK, 10000, &answer), 0);
  EXPECT_EQ(answer, TRUE);
  EXPECT_EQ(Tips().back(), "tray modify Quillbank 2.0 Scheduler - Autorun,Scheduler Disabled");
}

TEST_F(QbSchProgram, CancelledSessionEndRestoresTheSwitches) {
  HWND window = StartAndWait();
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(TipBecomes("Quillbank 2.0 Scheduler"));
  DWORD_PTR answer = 99;
  ASSERT_NE(SendMessageTimeoutW(window, WM_QUERYENDSESSION, 0, 0, SMTO_BLOCK, 10000, &answer), 0);
  EXPECT_EQ(answer, TRUE);
  EXPECT_EQ(Tips().back(), "tray modify Quillbank 2.0 Scheduler - Autorun,Scheduler Disabled");
  SendMessageTimeoutW(window, WM_ENDSESSION, FALSE, 0, SMTO_BLOCK, 10000, &answer);
  EXPECT_TRUE(TipBecomes("Quillbank 2.0 Scheduler"));
  ASSERT_TRUE(Settle(window));
  EXPECT_TRUE(Runs().empty());
}

TEST_F(QbSchProgram, EndSessionAllowedWhenShutdownProfilesAreDisabledOrRunning) {
  {
    TFernoIni ini;
    ini.SetShutdownProfiles("\"Night\" ");
    ini.SetShutdownProfilesDisabled(true);
  }
  HWND window = StartAndWait();
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(TipBecomes("Quillbank 2.0 Scheduler"));
  DWORD_PTR answer = 99;
  ASSERT_NE(SendMessageTimeoutW(window, WM_QUERYENDSESSION, 0, 0, SMTO_BLOCK, 10000, &answer), 0);
  EXPECT_EQ(answer, TRUE);
  EXPECT_EQ(Tips().back(), "tray modify Quillbank 2.0 Scheduler - Autorun,Scheduler Disabled");
  EXPECT_EQ(qbtest::RegRead("Options\\General", "WinShutdown"), "<missing>");
  // The session really ends this time: nothing comes back.
  SendMessageTimeoutW(window, WM_ENDSESSION, TRUE, 0, SMTO_BLOCK, 10000, &answer);

  // Shut-down profiles that already run (started by an earlier query) let it end too.
  TFernoIni().SetShutdownProfilesDisabled(false);
  TFernoIni().SetbRunningShutdownProfiles(true);
  ASSERT_NE(SendMessageTimeoutW(window, WM_QUERYENDSESSION, 0, 0, SMTO_BLOCK, 10000, &answer), 0);
  EXPECT_EQ(answer, TRUE);
  ASSERT_TRUE(Settle(window));
  EXPECT_TRUE(Runs().empty());
  EXPECT_EQ(Tips().back(), "tray modify Quillbank 2.0 Scheduler - Autorun,Scheduler Disabled");
}

TEST_F(QbSchProgram, ShutdownCommandFollowsWhenTheRunnerMayNotEndTheSession) {
  {
    TFernoIni ini;
    ini.SetShutdownProfiles("\"Night\" ");
    ini.SetShutdownOnDllInitFailed(true);
  }
  // Three hundred times as fast: the five minutes the runner gets are one second.
  SetEnvironmentVariableW(L"QB_SCH_CLOCK", L"2024-03-04 22:00:00,300");
  qbtest::RegWrite("Options\\General", "WinShutdown", "2");  // left by an earlier log-off
  HWND window = StartAndWait();
  ASSERT_NE(window, nullptr);
  DWORD_PTR answer = 99;
  ASSERT_NE(SendMessageTimeoutW(window, WM_QUERYENDSESSION, 0, 0, SMTO_BLOCK, 10000, &answer), 0);
  EXPECT_EQ(answer, FALSE);
  EXPECT_EQ(TFernoIni().GetWinShutdown(), 1);
  ASSERT_TRUE(WaitFor([&] { return Runs().size() >= 2; }));
  auto runs = SettledRuns(window);
  std::sort(runs.begin(), runs.end());
  ASSERT_EQ(runs.size(), 2u);
  // The default letter; then the turn-off the manager carries out, as OnTurnoff is not 1.
  EXPECT_EQ(Before(runs[0], "|RVA"), "Qb.exe|-shutdown -P|RFS=<missing>");
  EXPECT_EQ(Before(runs[1], "|RVA"), "RunQb.exe|r \"Night\" |RFS=<missing>");
  EXPECT_NE(runs[1].find("|RSP=1"), std::string::npos) << runs[1];
}

}  // namespace
