// Qb.exe's start: its window, the single-instance and own-name checks, the shut-down
// forms of its command line and the values it clears.
#include "manager/qb_fixture.h"

namespace qb_test {
namespace {

// A box shown by a start that must not open a window: its caption and text, then OK;
// the process has ended with 0.
void ExpectBoxAndEnd(qbtest::ChildProcess& p, const std::string& caption, const std::string& text) {
  HWND box = static_cast<HWND>(p.FindProcessWindow(L"TMessageForm"));
  ASSERT_NE(box, nullptr) << text;
  EXPECT_EQ(qbtest::WindowText(box), caption);
  EXPECT_NE(BoxText(box).find(text), std::string::npos) << BoxText(box);
  EXPECT_EQ(p.FindProcessWindow(L"TMainForm", 200, false), nullptr);
  EXPECT_TRUE(PressButton(box, "OK"));
  EXPECT_EQ(p.Wait(15000), 0);
}

TEST_F(QbProgram, OneManagerRunsAndClearsTheHandOffValues) {
  qbtest::RegWrite(kGeneral, "ToRefresh", "\"Docs\" ");
  qbtest::RegWrite(kGeneral, "bRunningShutdownProfiles", "1");
  HWND main = StartMain();
  ASSERT_NE(main, nullptr);
  EXPECT_EQ(qbtest::WindowText(main), "Quillbank");
  EXPECT_EQ(FindWindowW(L"TMainForm", L"Quillbank"), main);
  EXPECT_EQ(qbtest::RegRead(kGeneral, "ToRefresh"), "<missing>");
  EXPECT_NE(qbtest::RegRead(kGeneral, "bRunningShutdownProfiles"), "1");

  // A second start, and a copy under another name: the earlier check answers both.
  ExpectBoxAndEnd(Start(), "Warning", "Quillbank is already running");
  CopyFileW(tk::Widen(dir_ / "Qb.exe").c_str(), tk::Widen(dir_ / "Qb2.exe").c_str(), FALSE);
  ExpectBoxAndEnd(Start("", dir_ / "Qb2.exe"), "Warning", "Quillbank is already running");

  // The shut-down forms work while a manager runs: they come before the check.
  EXPECT_EQ(Start("-shutdown -L").Wait(15000), 0);
  EXPECT_EQ(SessionRequests().size(), 1u);
  EXPECT_EQ(CloseMain(main, mainProcess_), 0);

  // A manager window whose title is not exactly the product name, behind a window of
  // another program whose title begins with the product name: still one manager only.
  WNDCLASSW wc{};
  wc.lpfnWndProc = DefWindowProcW;
  wc.hInstance = GetModuleHandleW(nullptr);
  for (const wchar_t* cls : {L"QbTestOther", L"TMainForm"}) {
    wc.lpszClassName = cls;
    RegisterClassW(&wc);
  }
  HWND manager = CreateWindowExW(0, L"TMainForm", L"Quillbank - busy", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr,
                                 nullptr, wc.hInstance, nullptr);
  HWND other = CreateWindowExW(WS_EX_TOPMOST, L"QbTestOther", L"quillbank notes", WS_POPUP | WS_VISIBLE, 0, 0, 50,
                               50, nullptr, nullptr, wc.hInstance, nullptr);
  ASSERT_NE(manager, nullptr);
  ASSERT_NE(other, nullptr);
  ExpectBoxAndEnd(Start(), "Warning", "Quillbank is already running");
  DestroyWindow(other);
  DestroyWindow(manager);
}

TEST_F(QbProgram, TheProgramFileKeepsItsName) {
  Install(dir_ / "renamed\\", "Qb1.exe");
  ExpectBoxAndEnd(Start("", dir_ / "renamed\\Qb1.exe"), "Error", "Don't rename the EXE file, it should be Qb.exe");

  Install(dir_ / "cased\\", "QB.EXE");
  qbtest::ChildProcess& p = Start("", dir_ / "cased\\QB.EXE");
  HWND main = static_cast<HWND>(p.FindProcessWindow(L"TMainForm"));
  ASSERT_NE(main, nullptr);
  EXPECT_EQ(CloseMain(main), 0);
}

TEST_F(QbProgram, ShutdownFormsOfTheCommandLine) {
  // The switch in any case with either switch character; the kind with exact case,
  // always the second parameter.
  EXPECT_EQ(Start("/SHUTDOWN -S").Wait(15000), 0);
  const auto requests = SessionRequests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].rfind("ExitWindowsEx 0x", 0), 0u) << requests[0];
  EXPECT_NE(requests[0], "ExitWindowsEx 0x0") << "a shut-down, not a log-off";
  for (const char* args : {"-shutdown -s", "-S -shutdown", "-shutdown", "/shutdown -X"}) {
    qbtest::ChildProcess& p = Start(args);
    EXPECT_EQ(p.Wait(15000), 0) << args;
  }
  EXPECT_EQ(SessionRequests().size(), 1u);
  EXPECT_EQ(Start("-Shutdown -P").Wait(15000), 0);
  ASSERT_EQ(SessionRequests().size(), 2u);
  EXPECT_NE(SessionRequests()[1], requests[0]) << "power-off differs from shut-down";
  // None of them read or wrote a setting, nor showed a window.
  EXPECT_EQ(qbtest::RegValueNames(kGeneral), std::vector<std::string>{"DoNotVerifyAppFileVersions"});
}

}  // namespace
}  // namespace qb_test
