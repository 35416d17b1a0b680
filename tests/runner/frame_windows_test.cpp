// The countdown and profile-choice windows of the runner, in-process under Xvfb.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "runner/countdown.h"
#include "runner/profilechoice.h"
#include "runner/runstate.h"
#include "settings/qbautoruns.h"
#include "settings/syshelpers.h"
#include "support/testutil.h"
#include "toolkit/strings.h"
#include "toolkit/win_app.h"

namespace {

using qbtest::RegRead;
using qbtest::RegWrite;
const char kGeneral[] = "Options\\General";

TAutoRunDelayForm* OpenCountdown() {
  for (tk::TForm* f : tk::Application.Forms())
    if (auto* c = dynamic_cast<TAutoRunDelayForm*>(f); c && c->HandleAllocated()) return c;
  return nullptr;
}

// Runs script on the open countdown from inside its modal loop, every 20 ms until it
// returns true; a countdown still open after 20 s is closed and fails the test.
class CountdownScript {
 public:
  explicit CountdownScript(std::function<bool(TAutoRunDelayForm&)> step) : step_(std::move(step)), timer_(20, true) {
    start_ = GetTickCount64();
    timer_.OnTimer = [this] {
      TAutoRunDelayForm* form = OpenCountdown();
      if (!form || done_) return;
      ++ticks_;
      if (GetTickCount64() - start_ > 20000) {
        ADD_FAILURE() << "the countdown did not close";
        done_ = true;
        form->Close();
        return;
      }
      done_ = step_(*form);
    };
  }
  int Ticks() const { return ticks_; }

 private:
  std::function<bool(TAutoRunDelayForm&)> step_;
  tk::TTimer timer_;
  ULONGLONG start_;
  bool done_ = false;
  int ticks_ = 0;
};

class RunnerWindows : public ::testing::Test {
 protected:
  void SetUp() override {
    qbtest::ClearQuillbankKey();
    Runner.Shutdown = TShutdownChoice{};
    Runner.HandOff = TRunnerHandOffValues{};
    Runner.ProfileSelection.reset();
  }
  void TearDown() override {
    Runner.ProfileSelection.reset();
    qbtest::ClearQuillbankKey();
  }
};

TEST_F(RunnerWindows, CountdownOfNoSecondsShowsNothing) {
  bool seen = false;
  CountdownScript script([&](TAutoRunDelayForm&) { return seen = true; });
  ShowCountdown(0, "c", "t", false, -1, -1, "OK");
  ShowCountdown(-5, "c", "t", false, -1, -1, "OK");
  tk::Application.ProcessMessages();
  EXPECT_FALSE(seen);
  EXPECT_EQ(OpenCountdown(), nullptr);
}

TEST_F(RunnerWindows, CountdownClosesByItselfAndShrinks) {
  std::string caption, text;
  bool buttonVisible = true, radiosVisible = true;
  int left = 0, top = 0, firstRemaining = -1, lastRemaining = 0;
  CountdownScript script([&](TAutoRunDelayForm& f) {
    if (firstRemaining < 0) {
      caption = f.Caption();
      text = f.Label1.Caption();
      buttonVisible = f.btnOK.Visible();
      radiosVisible = f.rbTurnOff.Visible() || f.btnRestart.Visible();
      left = f.Left();
      top = f.Top();
      firstRemaining = f.RemainingMs();
    }
    lastRemaining = f.RemainingMs();
    return false;
  });
  ShowCountdown(1, "Quillbank 2.0", "AutoRun delay (1 seconds)", false, 40, 50, "");
  EXPECT_EQ(OpenCountdown(), nullptr);
  EXPECT_EQ(caption, "Quillbank 2.0");
  EXPECT_EQ(text, "AutoRun delay (1 seconds)");
  EXPECT_FALSE(buttonVisible);
  EXPECT_FALSE(radiosVisible);
  EXPECT_EQ(left, 40);
  EXPECT_EQ(top, 50);
  // The first step runs at once; each later one takes 50 ms off.
  EXPECT_LE(firstRemaining, 950);
  EXPECT_GT(firstRemaining, 0);
  EXPECT_LT(lastRemaining, firstRemaining);
  EXPECT_EQ(lastRemaining % 50, 0);
}

TEST_F(RunnerWindows, CountdownButtonEndsItEarly) {
  CountdownScript script([](TAutoRunDelayForm& f) {
    EXPECT_TRUE(f.btnOK.Visible());
    EXPECT_EQ(f.btnOK.Caption(), "skip");
    f.btnOK.Click();
    return true;
  });
  ShowCountdown(600, "Delay before Test", "Delay before Test: 600 seconds", false, -1, -1, "skip");
  EXPECT_EQ(OpenCountdown(), nullptr);
}

TEST_F(RunnerWindows, RestartLeavesTurnOffAndLogOffFalse) {
  RegWrite(kGeneral, "LastShutdown", "2");
  Runner.Shutdown.TurnOff = true;
  CountdownScript script([](TAutoRunDelayForm& f) {
    EXPECT_TRUE(f.rbTurnOff.Visible());
    EXPECT_TRUE(f.rbTurnOff.Checked());
    EXPECT_FALSE(f.rbLogOff.Checked());
    EXPECT_TRUE(f.lblRestart.Visible());
    EXPECT_EQ(f.Label1.Caption(), "Turn off...");
    f.btnRestart.Click();
    return true;
  });
  ShowCountdown(600, "Quillbank 2.0", "Turn off...", true, -1, -1, "OK", true);
  EXPECT_TRUE(Runner.Shutdown.Restart);
  EXPECT_FALSE(Runner.Shutdown.TurnOff);
  EXPECT_FALSE(Runner.Shutdown.LogOff);
  // Still written from the "Turn off" button: 1, which the store keeps as its default.
  EXPECT_EQ(RegRead(kGeneral, "LastShutdown"), "<missing>");
}

TEST_F(RunnerWindows, ShutdownChoiceFollowsTheButtons) {
  RegWrite(kGeneral, "OnTurnoff", "1");
  Runner.Shutdown.LogOff = true;
  CountdownScript script([](TAutoRunDelayForm& f) {
    EXPECT_TRUE(f.rbLogOff.Checked());
    EXPECT_FALSE(f.rbTurnOff.Checked());
    f.rbTurnOff.SetChecked(true);  // as a click does
    EXPECT_EQ(f.Label1.Caption(), "Turn off...");
    f.btnOK.Click();
    return true;
  });
  ShowCountdown(600, "Quillbank 2.0", "Log off...", true, -1, -1, "OK", true);
  EXPECT_TRUE(Runner.Shutdown.TurnOff);
  EXPECT_FALSE(Runner.Shutdown.LogOff);
  EXPECT_FALSE(Runner.Shutdown.Restart);
  EXPECT_TRUE(Runner.Shutdown.ShutDownOnly);
  EXPECT_EQ(RegRead(kGeneral, "LastShutdown"), "<missing>");

  // Choosing log off is remembered as 2.
  RegWrite(kGeneral, "OnTurnoff", "0");
  Runner.Shutdown = TShutdownChoice{};
  Runner.Shutdown.TurnOff = true;
  CountdownScript again([](TAutoRunDelayForm& f) {
    f.rbLogOff.SetChecked(true);
    EXPECT_EQ(f.Label1.Caption(), "Log off...");
    f.btnOK.Click();
    return true;
  });
  ShowCountdown(600, "Quillbank 2.0", "Turn off...", true, -1, -1, "OK", true);
  EXPECT_TRUE(Runner.Shutdown.LogOff);
  EXPECT_FALSE(Runner.Shutdown.TurnOff);
  EXPECT_FALSE(Runner.Shutdown.ShutDownOnly);  // turning off would power off
  EXPECT_EQ(RegRead(kGeneral, "LastShutdown"), "2");
}

TEST_F(RunnerWindows, ShutdownKindComesFromTheSystemOrTheLastChoice) {
  bool turnOff = false, logOff = false;
  GetShutdownKind(turnOff, logOff);  // defaults: automatic, the system asked a shut-down
  EXPECT_TRUE(turnOff);
  EXPECT_FALSE(logOff);
  RegWrite(kGeneral, "WinShutdown", "2");
  GetShutdownKind(turnOff, logOff);
  EXPECT_FALSE(turnOff);
  EXPECT_TRUE(logOff);
  RegWrite(kGeneral, "AutomaticShutdownAction", "0");
  RegWrite(kGeneral, "LastShutdown", "1");
  GetShutdownKind(turnOff, logOff);
  EXPECT_TRUE(turnOff);
  EXPECT_FALSE(logOff);
  RegWrite(kGeneral, "LastShutdown", "7");
  GetShutdownKind(turnOff, logOff);
  EXPECT_FALSE(turnOff);
  EXPECT_FALSE(logOff);
}

// ---------------------------------------------------------------------------------

// Posts a key to the list (as typed) with Ctrl held or not, and lets the loop take it.
void PressKey(TAskForm& form, WORD key, bool ctrl) {
  BYTE state[256];
  GetKeyboardState(state);
  const BYTE saved = state[VK_CONTROL];
  state[VK_CONTROL] = ctrl ? 0x80 : 0;
  SetKeyboardState(state);
  PostMessageW(form.lvProfs.Handle(), WM_KEYDOWN, key, 1);
  PostMessageW(form.lvProfs.Handle(), WM_KEYUP, key, 0xC0000001);
  tk::Application.ProcessMessages();
  state[VK_CONTROL] = saved;
  SetKeyboardState(state);
}

std::vector<bool> Ticks(const TAskForm& form) {
  std::vector<bool> t;
  for (int i = 0; i < form.lvProfs.Count(); ++i) t.push_back(form.lvProfs.Checked(i));
  return t;
}

TEST_F(RunnerWindows, ProfileChoiceStartsWithTheRememberedDeselection) {
  TAskForm form({"Docs", "Mail", "Photos"}, "Back up now?", "mail", "DISK1");
  form.Show();
  tk::Application.ProcessMessages();
  EXPECT_EQ(form.Caption(), "Quillbank 2.0");
  EXPECT_EQ(form.lblMsg.Caption(), "Back up now?");
  EXPECT_EQ(form.lvProfs.ColumnCaption(0), "Profiles");
  EXPECT_EQ(Ticks(form), (std::vector<bool>{true, false, true}));
  // Rows are ticked, never selected.
  form.lvProfs.SetSelected(0, true);
  EXPECT_FALSE(form.lvProfs.Selected(0));
  form.Hide();
}

TEST_F(RunnerWindows, ProfileChoiceKeys) {
  TAskForm form({"A", "B", "C"}, "?", "", "");
  form.Show();
  tk::Application.ProcessMessages();
  ASSERT_EQ(Ticks(form), (std::vector<bool>{true, true, true}));
  PressKey(form, '2', false);  // toggles row 2
  EXPECT_EQ(Ticks(form), (std::vector<bool>{true, false, true}));
  PressKey(form, VK_NUMPAD2, false);  // the numeric pad too
  EXPECT_EQ(Ticks(form), (std::vector<bool>{true, true, true}));
  PressKey(form, '3', true);  // Ctrl: only row 3
  EXPECT_EQ(Ticks(form), (std::vector<bool>{false, false, true}));
  PressKey(form, '4', false);  // beyond the rows: nothing
  PressKey(form, '4', true);
  EXPECT_EQ(Ticks(form), (std::vector<bool>{false, false, true}));
  PressKey(form, 'A', true);  // Ctrl+A ticks all
  EXPECT_EQ(Ticks(form), (std::vector<bool>{true, true, true}));
  form.Hide();
}

TEST_F(RunnerWindows, CtrlThreeWithTwoRowsChangesNothing) {
  TAskForm form({"A", "B"}, "?", "B", "");
  form.Show();
  tk::Application.ProcessMessages();
  PressKey(form, '3', true);
  EXPECT_EQ(Ticks(form), (std::vector<bool>{true, false}));
  form.Hide();
}

TEST_F(RunnerWindows, OkOnlyWhileSomethingIsTicked) {
  TAskForm form({"A", "B"}, "?", "A", "");
  form.Show();
  tk::Application.ProcessMessages();
  EXPECT_TRUE(form.btnOK.Enabled());
  PressKey(form, '2', false);
  EXPECT_FALSE(form.btnOK.Enabled());
  PressKey(form, '1', false);
  EXPECT_TRUE(form.btnOK.Enabled());
  form.btnSelectAll.Click();
  EXPECT_EQ(Ticks(form), (std::vector<bool>{true, true}));
  form.Hide();
}

TEST_F(RunnerWindows, OkRemembersTheUntickedNamesInTheMatchingAutoRun) {
  RegWrite(kGeneral, "RememberAutoRunSelection", "0");
  {
    TQbAutoRuns runs;
    auto* never = new TQbAutoRun;  // the medium matches, but on no day
    never->Media = "DISK1";
    never->Days = "0000000";
    never->Profiles = "A,B,C";
    runs.Add(never);
    auto* other = new TQbAutoRun;  // another medium
    other->Media = "OTHER";
    other->Profiles = "A,B,C";
    runs.Add(other);
    auto* match = new TQbAutoRun;
    match->Media = "DISK2,disk1";
    match->Profiles = "A,B,C";
    runs.Add(match);
    runs.SaveAll();
  }
  TAskForm form({"A", "B", "C"}, "?", "B", "DISK1");
  form.Show();
  tk::Application.ProcessMessages();
  // Without remembering, every row starts ticked.
  ASSERT_EQ(Ticks(form), (std::vector<bool>{true, true, true}));
  PressKey(form, '3', false);
  form.btnOK.Click();
  EXPECT_EQ(form.ModalResult(), tk::mrOk);
  ASSERT_NE(Runner.ProfileSelection, nullptr);
  EXPECT_EQ(Runner.ProfileSelection->Items(), (std::vector<std::string>{"A", "B"}));
  EXPECT_EQ(RegRead(AutoRunEntryKey(3), "dp"), "C");
  EXPECT_EQ(RegRead(AutoRunEntryKey(1), "dp"), "<missing>");
  EXPECT_EQ(RegRead(AutoRunEntryKey(2), "dp"), "<missing>");
  // The entries are saved once each, not once more for every confirmation.
  EXPECT_EQ(TQbAutoRuns().GetCount(), 3);
  form.btnOK.Click();
  EXPECT_EQ(TQbAutoRuns().GetCount(), 3);
  EXPECT_EQ(RegRead(AutoRunEntryKey(4), "dp"), "<missing>");
  form.Hide();
}

// The numbers must stand level with the rows: the middle of each band of ink in the
// number column beside the middle of rows first, first + 1, ... of the list.
void ExpectNumbersLevelWithRows(const TAskForm& form, int first, size_t count) {
  std::vector<int> numbers;
  int top = -1;
  const auto ink = qbtest::InkRows(form.Memo1.Handle());
  for (int y = 0; y <= static_cast<int>(ink.size()); ++y) {
    const bool dark = y < static_cast<int>(ink.size()) && ink[y].first >= 0;
    if (dark && top < 0) top = y;
    if (!dark && top >= 0) numbers.push_back((top + y) / 2), top = -1;
  }
  ASSERT_EQ(numbers.size(), count);
  for (size_t i = 0; i < count; ++i) {
    RECT r{};
    ListView_GetItemRect(form.lvProfs.Handle(), first + static_cast<int>(i), &r, LVIR_BOUNDS);
    MapWindowPoints(form.lvProfs.Handle(), form.Memo1.Handle(), reinterpret_cast<POINT*>(&r), 2);
    EXPECT_NEAR(numbers[i], (r.top + r.bottom) / 2, 2) << "number " << first + i + 1;
  }
}

TEST_F(RunnerWindows, ProfileChoiceNumbersEachRowLevelWithIt) {
  std::vector<std::string> names;
  for (int i = 1; i <= 12; ++i) names.push_back("P" + std::to_string(i));
  for (size_t rows : {3, 12}) {
    TAskForm form({names.begin(), names.begin() + rows}, "?", "", "");
    form.Show();
    ExpectNumbersLevelWithRows(form, 0, std::min<size_t>(rows, 9));
    form.Hide();
  }
  // Scrolled by two rows, 3 to 9 follow theirs.
  TAskForm form(names, "?", "", "");
  form.Show();
  RECT row{};
  ListView_GetItemRect(form.lvProfs.Handle(), 0, &row, LVIR_BOUNDS);
  ListView_Scroll(form.lvProfs.Handle(), 0, 2 * (row.bottom - row.top));
  ASSERT_EQ(ListView_GetTopIndex(form.lvProfs.Handle()), 2);
  ExpectNumbersLevelWithRows(form, 2, 7);
  form.Hide();
}

// Last: after it this process counts as having asked for the end of the session.
TEST_F(RunnerWindows, CountdownHoldsTheSessionUntilTheRunnerAsksItself) {
  qbtest::TempDir dir;
  SetEnvironmentVariableW(L"QB_SESSION_END_LOG", tk::Widen(dir / "session.log").c_str());
  Runner.HandOff.bRunningShutdownProfiles = true;
  std::vector<LRESULT> answers;
  CountdownScript script([&](TAutoRunDelayForm& f) {
    answers.push_back(SendMessageW(f.Handle(), WM_QUERYENDSESSION, 0, 0));
    EXPECT_TRUE(LogOffSession());
    answers.push_back(SendMessageW(f.Handle(), WM_QUERYENDSESSION, 0, 0));
    f.btnOK.Click();
    return true;
  });
  ShowCountdown(600, "Quillbank 2.0", "Log off...", true, -1, -1, "OK");
  Runner.HandOff.bRunningShutdownProfiles = false;
  ASSERT_EQ(answers.size(), 2u);
  EXPECT_EQ(answers[0], 0);
  EXPECT_NE(answers[1], 0);
  EXPECT_TRUE(qbtest::Exists(dir / "session.log"));
}

}  // namespace
