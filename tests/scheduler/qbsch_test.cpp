// The real QbSch.exe under Wine, run from a temporary program folder whose RunQb.exe,
// Qb.exe and QbEw.exe are the stand-in that records its command line and the hand-off
// values it sees.
#include <gtest/gtest.h>

#include <windows.h>
#include <dbt.h>

#include <algorithm>
#include <functional>
#include <sstream>

#include "scheduler/schlogic.h"
#include "settings/fernoini.h"
#include "settings/foschedules.h"
#include "support/testutil.h"
#include "toolkit/strings.h"

namespace {

bool WaitFor(const std::function<bool()>& done, unsigned ms = 20000) {
  for (unsigned waited = 0; waited < ms; waited += 50) {
    if (done()) return true;
    Sleep(50);
  }
  return done();
}

std::vector<std::string> Lines(const std::string& file) {
  std::vector<std::string> lines;
  if (!qbtest::Exists(file)) return lines;
  std::istringstream in(qbtest::ReadFile(file));
  for (std::string line; std::getline(in, line);)
    if (!line.empty()) lines.push_back(line);
  return lines;
}

class QbSchProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    qbtest::ClearQuillbankKey();
    for (const char* name : {"QbSch.exe"})
      CopyFileW(tk::Widen(qbtest::BinDir() + name).c_str(), tk::Widen(dir_ / name).c_str(), FALSE);
    for (const char* name : {"RunQb.exe", "Qb.exe", "QbEw.exe"})
      CopyFileW(tk::Widen(qbtest::BinDir() + "stub_runqb.exe").c_str(), tk::Widen(dir_ / name).c_str(), FALSE);
    SetEnvironmentVariableW(L"QB_STUB_LOG", tk::Widen(dir_ / "stub.log").c_str());
    SetEnvironmentVariableW(L"QB_SCH_TRACE", tk::Widen(dir_ / "trace.log").c_str());
    SetEnvironmentVariableW(L"QB_SCH_CLOCK", nullptr);
  }

  void TearDown() override {
    for (auto& pi : started_) {
      if (WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT) {
        if (HWND w = FindWindowW(QbSchClassName, QbSchCaption)) PostMessageW(w, WM_QBSCH_QUIT, 0, 0);
        if (WaitForSingleObject(pi.hProcess, 10000) == WAIT_TIMEOUT) TerminateProcess(pi.hProcess, 9);
        WaitForSingleObject(pi.hProcess, 5000);
      }
      CloseHandle(pi.hProcess);
    }
    SetEnvironmentVariableW(L"QB_SCH_CLOCK", nullptr);
    qbtest::ClearQuillbankKey();
  }

  HANDLE Start(const std::string& args, const std::string& exe = "QbSch.exe") {
    std::wstring cmd = tk::Widen("\"" + (dir_ / exe) + "\" " + args);
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return nullptr;
    CloseHandle(pi.hThread);
    started_.push_back(pi);
    return pi.hProcess;
  }

  HWND StartAndWait(const std::string& args = "") {
    HANDLE process = Start(args);
    if (!process) return nullptr;
    HWND window = nullptr;
    WaitFor([&] { return (window = FindWindowW(QbSchClassName, QbSchCaption)) != nullptr; });
    return window;
  }

  // A message box of the process, its text and caption.
  static HWND FindBox(DWORD pid, std::string* text = nullptr, std::string* caption = nullptr) {
    struct Search { DWORD pid; HWND found; } search{pid, nullptr};
    EnumWindows([](HWND w, LPARAM p) -> BOOL {
      auto* s = reinterpret_cast<Search*>(p);
      DWORD owner = 0;
      GetWindowThreadProcessId(w, &owner);
      wchar_t cls[32] = {0};
      GetClassNameW(w, cls, 32);
      if (owner == s->pid && lstrcmpW(cls, L"#32770") == 0) { s->found = w; return FALSE; }
      return TRUE;
    }, reinterpret_cast<LPARAM>(&search));
    if (search.found && text) {
      wchar_t buf[512] = {0};
      GetDlgItemTextW(search.found, 0xFFFF, buf, 512);
      *text = tk::Narrow(buf);
      if (text->empty()) return nullptr;  // the box is still being filled
    }
    if (search.found && caption) {
      wchar_t buf[128] = {0};
      GetWindowTextW(search.found, buf, 128);
      *caption = tk::Narrow(buf);
    }
    return search.found;
  }

  std::vector<std::string> Tips() {
    std::vector<std::string> tips;
    for (const auto& line : Lines(dir_ / "trace.log"))
      if (line.rfind("tray ", 0) == 0) tips.push_back(line);
    return tips;
  }

  qbtest::TempDir dir_;
  std::vector<PROCESS_INFORMATION> started_;
};

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
  EXPECT_EQ(FindWindowW(QbSchClassName, QbSchCaption), nullptr);
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
  // 29 February 2024 is a Thursday; twenty times as fast: a minute is three seconds,
  // and the start has two minutes before the first due one.
  SetEnvironmentVariableW(L"QB_SCH_CLOCK", L"2024-02-29 10:28:00,20");
  HWND window = StartAndWait();
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(WaitFor([&] {
    for (const auto& l : Lines(dir_ / "trace.log"))
      if (l == "check 2024-02-29 10:33") return true;
    return false;
  }, 40000));
  PostMessageW(window, WM_QBSCH_QUIT, 0, 0);
  WaitForSingleObject(started_[0].hProcess, 10000);
  Sleep(1000);  // the last stand-ins finish their line

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
  ASSERT_TRUE(WaitFor([&] { return !Tips().empty() && Tips().back() == "tray modify Quillbank 2.0 Scheduler"; }));
  DWORD_PTR answer = 99;
  ASSERT_NE(SendMessageTimeoutW(window, WM_QUERYENDSESSION, 0, 0, SMTO_BLOCK, 10000, &answer), 0);
  EXPECT_EQ(answer, TRUE);
  EXPECT_EQ(Tips().back(), "tray modify Quillbank 2.0 Scheduler - Autorun,Scheduler Disabled");
  SendMessageTimeoutW(window, WM_ENDSESSION, FALSE, 0, SMTO_BLOCK, 10000, &answer);
  EXPECT_TRUE(WaitFor([&] { return Tips().back() == "tray modify Quillbank 2.0 Scheduler"; }));
  EXPECT_TRUE(Lines(dir_ / "stub.log").empty());
}

TEST_F(QbSchProgram, ResultsChangedAndMenuSwitchesUpdateTheTip) {
  HWND window = StartAndWait();
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(WaitFor([&] { return !Tips().empty() && Tips().back() == "tray modify Quillbank 2.0 Scheduler"; }));
  qbtest::RegWrite("Options\\General", "AllRunsOK", "0");
  PostMessageW(window, WM_QBSCH_RESULTSCHANGED_MSG, 0, 0);
  EXPECT_TRUE(WaitFor([&] { return Tips().back() == "tray modify Quillbank 2.0 Scheduler (Error)"; }));
  const size_t before = Tips().size();
  PostMessageW(window, WM_QBSCH_RESULTSCHANGED_MSG, 0, 0);  // nothing changed
  PostMessageW(window, WM_COMMAND, 3002, 0);
  EXPECT_TRUE(WaitFor([&] { return Tips().back() == "tray modify Quillbank 2.0 Scheduler - Autorun Disabled (Error)"; }));
  // Icon and tip: two calls to the shell, none for the unchanged results.
  EXPECT_EQ(Tips().size(), before + 2);
  PostMessageW(window, WM_COMMAND, 3004, 0);
  EXPECT_TRUE(WaitFor([&] {
    return Tips().back() == "tray modify Quillbank 2.0 Scheduler - Autorun,Scheduler Disabled (Error)";
  }));
  PostMessageW(window, WM_QBSCH_TRAYNOTIFY, 0, WM_LBUTTONDBLCLK);
  ASSERT_TRUE(WaitFor([&] { return !Lines(dir_ / "stub.log").empty(); }));
  EXPECT_EQ(Lines(dir_ / "stub.log")[0].substr(0, 8), "Qb.exe||");
}

}  // namespace
