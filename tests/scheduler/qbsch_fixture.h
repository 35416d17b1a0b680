#pragma once
// The real QbSch.exe under Wine, run from a temporary program folder whose RunQb.exe,
// Qb.exe and QbEw.exe are the stand-in that records its command line and the hand-off
// values it sees. Every program started from that folder, the scheduler and the
// stand-ins it starts, has ended when a test ends.
#include <gtest/gtest.h>

#include <windows.h>
#include <dbt.h>

#include <algorithm>
#include <cctype>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "scheduler/schlogic.h"
#include "settings/foconsts.h"
#include "support/testutil.h"
#include "toolkit/strings.h"

namespace qbsch_test {

inline bool WaitFor(const std::function<bool()>& done, unsigned ms = 20000) { return qbtest::WaitUntil(done, ms); }

inline std::vector<std::string> Lines(const std::string& file) { return qbtest::FileLines(file); }

// The part of a stand-in's record before the named field ("|RVA").
inline std::string Before(const std::string& record, const std::string& field) {
  return record.substr(0, record.find(field));
}

class QbSchProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    qbtest::ClearQuillbankKey();
    DeleteRunValue();
    CopyFileW(tk::Widen(qbtest::BinDir() + "QbSch.exe").c_str(), tk::Widen(dir_ / "QbSch.exe").c_str(), FALSE);
    for (const char* name : {"RunQb.exe", "Qb.exe", "QbEw.exe"})
      CopyFileW(tk::Widen(qbtest::BinDir() + "stub_runqb.exe").c_str(), tk::Widen(dir_ / name).c_str(), FALSE);
    SetEnvironmentVariableW(L"QB_STUB_LOG", tk::Widen(dir_ / "stub.log").c_str());
    SetEnvironmentVariableW(L"QB_SCH_TRACE", tk::Widen(dir_ / "trace.log").c_str());
    SetEnvironmentVariableW(L"QB_SCH_CLOCK", nullptr);
  }

  void TearDown() override {
    for (auto& pi : started_) {
      if (WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT) {
        if (HWND w = FindWindowW(QbSchWindowClass, QbSchWindowTitle)) PostMessageW(w, WM_QBSCH_QUIT, 0, 0);
        if (WaitForSingleObject(pi.hProcess, 10000) == WAIT_TIMEOUT) TerminateProcess(pi.hProcess, 9);
        WaitForSingleObject(pi.hProcess, 5000);
      }
      CloseHandle(pi.hProcess);
    }
    // The stand-ins the scheduler started end on their own; a left one is a fault.
    if (!WaitForStandIns(true)) {
      ADD_FAILURE() << "a program of the test folder was still running";
      for (DWORD pid : ProgramsOfTheFolder(true))
        if (HANDLE h = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid)) {
          TerminateProcess(h, 9);
          WaitForSingleObject(h, 5000);
          CloseHandle(h);
        }
    }
    SetEnvironmentVariableW(L"QB_SCH_CLOCK", nullptr);
    DeleteRunValue();
    qbtest::ClearQuillbankKey();
  }

  static void DeleteRunValue() { RegDeleteKeyValueW(HKEY_CURRENT_USER, tk::Widen(RunKey).c_str(), tk::Widen(RunValueName).c_str()); }

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
    const auto switchedOn = [&] {
      const auto trace = Trace();
      return std::count(trace.begin(), trace.end(), std::string("scheduler on"));
    };
    const auto before = switchedOn();
    HANDLE process = Start(args);
    if (!process) return nullptr;
    HWND window = nullptr;
    if (!WaitFor([&] { return (window = FindWindowW(QbSchWindowClass, QbSchWindowTitle)) != nullptr; })) return nullptr;
    // The window exists before the start is complete; the scheduler switches itself on
    // from its message loop, after the start.
    if (!WaitFor([&] { return switchedOn() > before; })) return nullptr;
    return window;
  }

  // A menu command, carried out when the call returns.
  static bool Command(HWND window, UINT id) {
    DWORD_PTR ignored = 0;
    return SendMessageTimeoutW(window, WM_COMMAND, id, 0, SMTO_BLOCK, 10000, &ignored) != 0;
  }

  // Ends the scheduler started last through its quit message; true when it ended with 0.
  bool Quit(HWND window) {
    PostMessageW(window, WM_QBSCH_QUIT, 0, 0);
    HANDLE process = started_.back().hProcess;
    DWORD code = 99;
    return WaitForSingleObject(process, 10000) == WAIT_OBJECT_0 && GetExitCodeProcess(process, &code) && code == 0;
  }

  // The ids of the running processes whose program lies in the test folder; with
  // schedulers false, the scheduler itself is left out.
  std::vector<DWORD> ProgramsOfTheFolder(bool schedulers) const {
    std::vector<DWORD> found;
    const std::string folder = tk::LowerCase(dir_.path());
    for (const qbtest::TRunningProgram& p : qbtest::ProgramsRunningFrom(folder))
      if (schedulers || p.Program != folder + "qbsch.exe") found.push_back(p.Id);
    return found;
  }

  // Waits until every stand-in the scheduler started has written its line and ended.
  bool WaitForStandIns(bool schedulers = false) {
    return WaitFor([&] { return ProgramsOfTheFolder(schedulers).empty(); }, 30000);
  }

  // Lets the scheduler finish the messages sent so far and every run they started, so
  // that the stand-in log is complete.
  bool Settle(HWND window) {
    DWORD_PTR ignored = 0;
    return SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_BLOCK, 10000, &ignored) != 0 && WaitForStandIns();
  }

  std::vector<std::string> Runs() { return Lines(dir_ / "stub.log"); }
  // The runs once the scheduler has settled (see Settle).
  std::vector<std::string> SettledRuns(HWND window) {
    EXPECT_TRUE(Settle(window));
    return Runs();
  }
  std::vector<std::string> Trace() { return Lines(dir_ / "trace.log"); }

  std::vector<std::string> Tips() {
    std::vector<std::string> tips;
    for (const auto& line : Trace())
      if (line.rfind("tray ", 0) == 0) tips.push_back(line);
    return tips;
  }
  bool TipBecomes(const std::string& tip) {
    return WaitFor([&] { return !Tips().empty() && Tips().back() == "tray modify " + tip; });
  }

  // The label of a test drive (the build's testdrives folders, made drives of the prefix
  // before its server starts, which is when Wine learns of drives and their labels).
  static std::string DriveLabel(char letter) {
    const std::wstring root = std::wstring(1, static_cast<wchar_t>(letter)) + L":\\";
    wchar_t label[MAX_PATH + 1] = {0};
    if (GetDriveTypeW(root.c_str()) <= DRIVE_NO_ROOT_DIR) return "<no drive>";
    if (!GetVolumeInformationW(root.c_str(), label, MAX_PATH + 1, nullptr, nullptr, nullptr, nullptr, 0))
      return "<unreadable>";
    return tk::Narrow(label);
  }

  // Sends a volume arrival for the units of the mask; true when the scheduler answered.
  static bool SendVolumeArrival(HWND window, DWORD unitMask, DWORD deviceType = DBT_DEVTYP_VOLUME) {
    DEV_BROADCAST_VOLUME volume{};
    volume.dbcv_size = sizeof(volume);
    volume.dbcv_devicetype = deviceType;
    volume.dbcv_unitmask = unitMask;
    DWORD_PTR answer = 0;
    return SendMessageTimeoutW(window, WM_DEVICECHANGE, DBT_DEVICEARRIVAL, reinterpret_cast<LPARAM>(&volume),
                               SMTO_BLOCK, 10000, &answer) != 0;
  }
  static DWORD Unit(char letter) { return 1u << (letter - 'A'); }

  // A top-level window of the class that the process shows.
  static HWND FindWindowOf(DWORD pid, const wchar_t* className) {
    struct Search {
      DWORD pid;
      const wchar_t* className;
      HWND found;
    } search{pid, className, nullptr};
    EnumWindows(
        [](HWND w, LPARAM p) -> BOOL {
          auto* s = reinterpret_cast<Search*>(p);
          DWORD owner = 0;
          GetWindowThreadProcessId(w, &owner);
          wchar_t cls[32] = {0};
          GetClassNameW(w, cls, 32);
          if (owner == s->pid && lstrcmpW(cls, s->className) == 0 && IsWindowVisible(w)) {
            s->found = w;
            return FALSE;
          }
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
  }

  // A message box of the process, its text and caption.
  static HWND FindBox(DWORD pid, std::string* text = nullptr, std::string* caption = nullptr) {
    const HWND found = FindWindowOf(pid, L"#32770");
    if (found && text) {
      wchar_t buf[512] = {0};
      GetDlgItemTextW(found, 0xFFFF, buf, 512);
      *text = tk::Narrow(buf);
      if (text->empty()) return nullptr;  // the box is still being filled
    }
    if (found && caption) {
      wchar_t buf[128] = {0};
      GetWindowTextW(found, buf, 128);
      *caption = tk::Narrow(buf);
    }
    return found;
  }

  // Waits for the process's message box and returns its text.
  static HWND WaitForBox(HANDLE process, std::string* text, std::string* caption = nullptr) {
    HWND box = nullptr;
    WaitFor([&] { return (box = FindBox(GetProcessId(process), text, caption)) != nullptr; });
    return box;
  }

  qbtest::TempDir dir_;
  std::vector<PROCESS_INFORMATION> started_;
};

}  // namespace qbsch_test
