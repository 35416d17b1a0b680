// The progress window of the runner in-process, and the error-file writing of the
// hand-off to the viewer.
#include <gtest/gtest.h>
#include <windows.h>

#include <set>
#include <string>

#include "runner/commands.h"
#include "runner/countdown.h"
#include "runner/runengine.h"
#include "runner/runqbmain.h"
#include "settings/fernoini.h"
#include "support/testutil.h"
#include "toolkit/files.h"
#include "toolkit/stringlist.h"
#include "toolkit/strings.h"
#include "toolkit/win_app.h"
#include "toolkit/win_timer.h"

namespace {

using qbtest::RegWrite;
const char kGeneral[] = "Options\\General";

class ProgressWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    qbtest::ClearQuillbankKey();
    Runner.HandOff = TRunnerHandOffValues{};
    Runner.Command = 'R';
    Runner.Cancel = false;
    Runner.TurnOffOnExit = false;
  }
  void TearDown() override {
    Runner.Cancel = false;
    Runner.HandOff = TRunnerHandOffValues{};
    qbtest::ClearQuillbankKey();
  }
  // Made but not shown: the dispatcher starts only once the window appears.
  static void Make(TRunFoMainForm& form) {
    form.HandleNeeded();
    tk::Application.ProcessMessages();
  }
  static void PressCtrl(TRunFoMainForm& form, bool release = true) {
    PostMessageW(form.btnCancel.Handle(), WM_KEYDOWN, VK_CONTROL, 1);
    if (release) PostMessageW(form.btnCancel.Handle(), WM_KEYUP, VK_CONTROL, 0xC0000001);
    tk::Application.ProcessMessages();
  }
};

TEST_F(ProgressWindow, ComponentsAtStart) {
  RegWrite(kGeneral, "ColorProgressbar", "0");
  TRunFoMainForm form;
  Make(form);
  EXPECT_EQ(form.Caption(), "Running Quillbank");
  EXPECT_EQ(tk::Application.Title(), "RunQb 2.0");
  EXPECT_EQ(form.lblTimeElapsed.Caption(), "00:00:00");
  EXPECT_EQ(form.lblFN.Caption(), "");
  EXPECT_EQ(form.btnCancel.Caption(), "Cancel");
  EXPECT_FALSE(form.chkTurnOff.Visible());
  EXPECT_FALSE(form.lblPercent.Visible());
  EXPECT_FALSE(form.lblCheckingSrcPath.Visible());
  EXPECT_EQ(form.lblCheckingSrcPath.Left(), form.lblFN.Left());
  for (tk::TImage* img : {&form.imgUpdate, &form.imgFreshen, &form.imgTest}) {
    EXPECT_EQ(img->Bounds(), form.imgAdd.Bounds());
    EXPECT_NE(img->Icon(), nullptr);
  }
  EXPECT_FALSE(form.imgAdd.Visible());
  // Without colour: the plain bars.
  EXPECT_FALSE(form.GradientBars);
  EXPECT_TRUE(form.pbarMinor.Visible());
  EXPECT_TRUE(form.pbarMajor.Visible());
  EXPECT_FALSE(form.g32Major.Visible());
  form.SetMajorPosition(40);
  EXPECT_EQ(form.pbarMajor.Position(), 40);
  form.lblFN.SetCaption("x.txt");
  form.ResetProgress();
  EXPECT_EQ(form.pbarMajor.Position(), 0);
  EXPECT_EQ(form.lblFN.Caption(), "");
  EXPECT_NE(GetWindowLongW(form.Handle(), GWL_STYLE) & WS_MINIMIZEBOX, 0);
  form.DestroyHandle();
}

TEST_F(ProgressWindow, ColourBarsWhenChosen) {
  RegWrite(kGeneral, "ColorProgressbar", "1");
  TRunFoMainForm form;
  Make(form);
  ASSERT_TRUE(form.GradientBars);  // Xvfb runs at 24 bits
  EXPECT_TRUE(form.g32Minor.Visible());
  EXPECT_TRUE(form.g32Major.Visible());
  EXPECT_FALSE(form.pbarMajor.Visible());
  EXPECT_EQ(form.g32Major.Color(), 0xFFCC99u);
  EXPECT_EQ(form.g32Major.Contrast(), 128);
  form.SetMinorPosition(70);
  EXPECT_EQ(form.g32Minor.Position(), 70);
  form.DestroyHandle();
}

TEST_F(ProgressWindow, RunAndTestWithADelayCannotBeMinimised) {
  Runner.Command = 'B';
  RegWrite(kGeneral, "CustomRunAndTestDelay", "D:\\=40");
  RegWrite(kGeneral, "RunAndTestDelay", "0");
  TRunFoMainForm form;
  Make(form);
  EXPECT_EQ(GetWindowLongW(form.Handle(), GWL_STYLE) & WS_MINIMIZEBOX, 0);
  form.DestroyHandle();
}

// The text of the countdown that ShowDelayBeforeTest shows, read from inside its modal loop.
std::string DelayText(TRunFoMainForm& form) {
  std::string text;
  tk::TTimer poll(20, true);
  const ULONGLONG start = GetTickCount64();
  poll.OnTimer = [&] {
    for (tk::TForm* f : tk::Application.Forms())
      if (auto* c = dynamic_cast<TAutoRunDelayForm*>(f); c && c->HandleAllocated()) {
        text = c->Label1.Caption();
        c->Close();
      }
    if (GetTickCount64() - start > 20000) ADD_FAILURE() << "no countdown";
  };
  ShowDelayBeforeTest(form);
  return text;
}

TEST_F(ProgressWindow, ACustomDelayLineIsNotCalledTheDefaultEvenAtZeroSeconds) {
  Runner.Command = 'B';
  RegWrite(kGeneral, "RunAndTestDelay", "25");
  TFernoIni ini;
  Runner.Ini = &ini;
  TRunFoMainForm form;
  Make(form);
  form.CustomDelayList = std::make_unique<tk::TStringList>();
  form.CustomDelayList->SetCommaText("D:\\=0");
  UpdateCustomDelay(form, "C:\\backup.zip");
  EXPECT_EQ(DelayText(form), "Delay before Test: 25 seconds (default)");
  UpdateCustomDelay(form, "D:\\backup.zip");
  EXPECT_EQ(DelayText(form), "Delay before Test: 25 seconds");
  form.CustomDelayList->SetCommaText("D:\\=40");
  UpdateCustomDelay(form, "D:\\backup.zip");
  EXPECT_EQ(DelayText(form), "Delay before Test: 40 seconds");
  form.DestroyHandle();
  Runner.Ini = nullptr;
}

TEST_F(ProgressWindow, CtrlTogglesTurnOffOnExit) {
  TRunFoMainForm form;
  Make(form);
  PressCtrl(form);
  EXPECT_TRUE(form.chkTurnOff.Visible());
  form.chkTurnOff.SetChecked(true);
  EXPECT_TRUE(Runner.TurnOffOnExit);
  form.chkTurnOff.SetChecked(false);
  EXPECT_FALSE(Runner.TurnOffOnExit);
  PressCtrl(form);
  EXPECT_FALSE(form.chkTurnOff.Visible());
  // A held key repeats its key-down; it toggles once.
  PressCtrl(form, false);
  PressCtrl(form, false);
  PressCtrl(form);
  EXPECT_TRUE(form.chkTurnOff.Visible());
  form.DestroyHandle();
}

TEST_F(ProgressWindow, ShutdownRunHasNoTurnOffToggleAndHoldsTheSession) {
  Runner.HandOff.bRunningShutdownProfiles = true;
  TRunFoMainForm form;
  Make(form);
  PressCtrl(form);
  EXPECT_FALSE(form.chkTurnOff.Visible());
  EXPECT_EQ(SendMessageW(form.Handle(), WM_QUERYENDSESSION, 0, 0), 0);
  Runner.HandOff.bRunningShutdownProfiles = false;
  EXPECT_NE(SendMessageW(form.Handle(), WM_QUERYENDSESSION, 0, 0), 0);
  form.DestroyHandle();
}

TEST_F(ProgressWindow, CancelAndClosingSetTheCancelFlag) {
  TRunFoMainForm form;
  Make(form);
  form.btnCancel.Click();
  EXPECT_TRUE(Runner.Cancel);
  Runner.Cancel = false;
  bool canClose = true;
  form.OnCloseQuery(canClose);
  EXPECT_TRUE(Runner.Cancel);
  EXPECT_FALSE(canClose);  // the command is still to run: it stops and ends the program
  form.DestroyHandle();
}

TEST_F(ProgressWindow, SchedulerStartupEntryWhenAsked) {
  RegWrite(kGeneral, "SchedulerOnStartup", "1");
  {
    TRunFoMainForm form;
    Make(form);
    form.DestroyHandle();
  }
  HKEY key;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run", 0,
                          KEY_READ | KEY_WRITE, &key),
            ERROR_SUCCESS);
  wchar_t value[1024];
  DWORD size = sizeof value;
  const LONG r = RegQueryValueExW(key, L"Quillbank", nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size);
  RegDeleteValueW(key, L"Quillbank");
  RegCloseKey(key);
  ASSERT_EQ(r, ERROR_SUCCESS);
  EXPECT_TRUE(tk::EndsText("QbSch.exe -RunStartupProfiles", tk::Narrow(value)));
}

TEST(ElapsedText, TwoDigitsEach) {
  EXPECT_EQ(TRunFoMainForm::ElapsedText(0), "00:00:00");
  EXPECT_EQ(TRunFoMainForm::ElapsedText((3600 + 2 * 60 + 3) / 86400.0), "01:02:03");
  EXPECT_EQ(TRunFoMainForm::ElapsedText(59.4 / 86400.0), "00:00:59");
  EXPECT_EQ(TRunFoMainForm::ElapsedText(100 * 3600 / 86400.0), "100:00:00");
}

TEST(ErrorFile, EachErrorStaysOneLine) {
  tk::TStringList list;
  list.Add("9 Docs: first\r\nsecond");
  list.Add("0 a\rb\nc");
  EXPECT_EQ(ErrorListText(list), "9 Docs: first  second\r\n0 a b c\r\n");
  EXPECT_EQ(ErrorListText(tk::TStringList()), "");
}

TEST(ErrorFile, RunnersInTheSameMillisecondNeverShareAFile) {
  ASSERT_TRUE(tk::ForceDirectories(GetErrorsDir()));
  std::set<std::string> names;
  for (int i = 0; i < 20; ++i) {
    const std::string name = SaveNewErrorFile("0 line " + std::to_string(i) + "\r\n");
    ASSERT_FALSE(name.empty());
    EXPECT_TRUE(names.insert(name).second) << name;
  }
  int i = 0;
  for (const std::string& name : names) {
    EXPECT_TRUE(tk::EndsText(".err", name));
    EXPECT_EQ(tk::ExtractFilePath(name), GetErrorsDir());
    EXPECT_TRUE(tk::StartsText("0 line ", qbtest::ReadFile(name)));
    tk::RemoveFile(name);
    ++i;
  }
  EXPECT_EQ(i, 20);
}

}  // namespace
