// The scheduler's runs that are not due schedules: the autorun of an arriving volume,
// the start-up profiles, and what the tray icon and its menu do.
#include <windows.h>

#include <algorithm>

#include "qbsch_fixture.h"
#include "settings/fernoini.h"
#include "settings/qbautoruns.h"

namespace {

using namespace qbsch_test;

// Holds a key down for the whole desktop while it lives.
class HeldKey {
 public:
  explicit HeldKey(WORD vk) : vk_(vk) { Send(0); }
  ~HeldKey() { Send(KEYEVENTF_KEYUP); }
  HeldKey(const HeldKey&) = delete;
  HeldKey& operator=(const HeldKey&) = delete;

 private:
  void Send(DWORD flags) {
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk_;
    in.ki.dwFlags = flags;
    SendInput(1, &in, sizeof(in));
  }
  WORD vk_;
};

void SaveAutorun(TQbAutoRuns& list, const char* media, const char* days, char action, const char* profiles,
                 bool ask = false, const char* deselected = "") {
  auto* entry = new TQbAutoRun;
  entry->Media = media;
  entry->Days = days;
  entry->Action = action;
  entry->Profiles = profiles;
  entry->Ask = ask;
  entry->Deselected = deselected;
  list.Add(entry);
}

class QbSchEvents : public QbSchProgram {
 protected:
  // A volume arrival while the key is held down.
  static bool ArriveHolding(WORD vk, HWND window, DWORD unitMask) {
    HeldKey key(vk);
    return SendVolumeArrival(window, unitMask);
  }

  // 4 March 2024 is a Monday.
  void SetUp() override {
    QbSchProgram::SetUp();
    SetEnvironmentVariableW(L"QB_SCH_CLOCK", L"2024-03-04 09:00:00");
  }
};

// The prefix's test volumes: L: is labelled, N: has no label.
constexpr char kLabelled = 'L', kUnlabelled = 'N';
const char* const kLabel = "QBMEDIA";

TEST_F(QbSchEvents, VolumeArrivalStartsTheFirstAutorunOfTheLabelForToday) {
  ASSERT_EQ(DriveLabel(kLabelled), kLabel) << "the test volumes are made by scripts/test before the Wine server";
  ASSERT_EQ(DriveLabel(kUnlabelled), "");
  {
    TQbAutoRuns list;
    SaveAutorun(list, "Other", "1111111", 'r', "Unrelated");
    list.SaveAll();
  }
  HWND window = StartAndWait();
  ASSERT_NE(window, nullptr);

  // A volume without a label, a label no entry lists, a record without a unit and one
  // of another device type.
  ASSERT_TRUE(SendVolumeArrival(window, Unit(kUnlabelled)));
  ASSERT_TRUE(SendVolumeArrival(window, Unit(kLabelled)));
  ASSERT_TRUE(SendVolumeArrival(window, 0));
  ASSERT_TRUE(SendVolumeArrival(window, Unit(kLabelled), DBT_DEVTYP_PORT));
  ASSERT_TRUE(Settle(window));
  EXPECT_TRUE(Runs().empty());

  // The list is read at each arrival: entries written now count for the next volume.
  EraseStoredAutoRuns();
  {
    TQbAutoRuns list;
    SaveAutorun(list, "Other,QBMEDIA", "0100000", 't', "Tuesday");  // not on Mondays
    SaveAutorun(list, "Spare,qbmedia", "1000000", 'b', "\"My Docs\",Mail", true, "Mail");
    SaveAutorun(list, "QbMedia", "1111111", 'r', "Second");  // the label's second entry today
    list.SaveAll();
  }
  // The lowest unit of the mask is the volume: the labelled one, not X:.
  ASSERT_TRUE(SendVolumeArrival(window, Unit(kLabelled) | Unit('X')));
  auto runs = SettledRuns(window);
  ASSERT_EQ(runs.size(), 1u) << qbtest::ReadFile(dir_ / "trace.log");
  EXPECT_EQ(Before(runs[0], "|WS"),
            "RunQb.exe|b \"My Docs\" Mail|RFS=<missing>|RVA=1|MSG=Run & Test selected profiles?|MEDIA=QBMEDIA"
            "|DESEL=Mail");
  // Without a unit of its own below, the unlabelled volume still starts nothing.
  ASSERT_TRUE(SendVolumeArrival(window, Unit(kUnlabelled) | Unit('Y')));

  // Autorun switched off from the menu: the volume starts nothing until it is on again.
  ASSERT_TRUE(Command(window, 3002));
  ASSERT_TRUE(SendVolumeArrival(window, Unit(kLabelled)));
  ASSERT_TRUE(Settle(window));
  EXPECT_EQ(Runs().size(), 1u);
  ASSERT_TRUE(Command(window, 3003));
  ASSERT_TRUE(SendVolumeArrival(window, Unit(kLabelled)));
  ASSERT_TRUE(Settle(window));
  EXPECT_EQ(Runs().size(), 2u);
}

// A damaged entry is named once however often it is loaded, and starts nothing: an
// autorun whose action is no letter would start the runner with a cut command line.
TEST_F(QbSchEvents, DamagedEntriesAreNamedOnceAndStartNothing) {
  qbtest::RegWrite("Options\\General", "ScheduleCount", "1");
  qbtest::RegWrite("Schedules\\1", "t", "99999");
  {
    TQbAutoRuns list;
    SaveAutorun(list, "QBMEDIA", "1111111", '\0', "Docs", true);
    list.SaveAll();
  }
  HWND window = StartAndWait();
  ASSERT_NE(window, nullptr);
  for (int i = 0; i < 3; ++i) PostMessageW(window, WM_QBSCH_RELOADSCHEDULES, 0, 0);
  for (int i = 0; i < 2; ++i) ASSERT_TRUE(SendVolumeArrival(window, Unit(kLabelled)));
  // The autorun's box comes after the reloads posted before it.
  EXPECT_TRUE(WaitFor([&] { const auto t = Trace(); return std::count(t.begin(), t.end(), std::string("box")) == 2; }));
  ASSERT_TRUE(Settle(window));
  std::vector<std::string> texts;  // each box closed, its text kept
  std::string text;
  const DWORD pid = GetProcessId(started_.back().hProcess);
  for (HWND box; texts.size() < 10 && (box = FindBox(pid, &text)); texts.push_back(text))
    SendMessageTimeoutW(box, WM_COMMAND, IDOK, 0, SMTO_BLOCK, 5000, nullptr);
  std::sort(texts.begin(), texts.end());
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_NE(texts[0].find("Schedules\\1 is not a time of day"), std::string::npos) << texts[0];
  EXPECT_NE(texts[1].find("AutoRun\\1 is not an action"), std::string::npos) << texts[1];
  EXPECT_TRUE(SettledRuns(window).empty());
  EXPECT_EQ(qbtest::RegRead("Options\\General", "bRunViaAutoRun"), "<missing>");
}

TEST_F(QbSchEvents, HeldSkipKeyStartsNothingAndBlinksTheAutorunState) {
  ASSERT_EQ(DriveLabel(kLabelled), kLabel);
  {
    TQbAutoRuns list;
    SaveAutorun(list, "qbmedia", "1111111", 'r', "Camera");
    list.SaveAll();
  }
  HWND window = StartAndWait();
  ASSERT_NE(window, nullptr);

  auto beeps = [&] {
    const auto trace = Trace();
    return std::count(trace.begin(), trace.end(), std::string("beep"));
  };
  size_t before = Tips().size();
  ASSERT_TRUE(ArriveHolding(VK_CONTROL, window, Unit(kLabelled)));
  ASSERT_TRUE(Settle(window));
  EXPECT_TRUE(Runs().empty());
  EXPECT_EQ(beeps(), 1);
  // Autorun off for a moment, then on again.
  std::vector<std::string> tips = Tips();
  ASSERT_GT(tips.size(), before);
  tips.erase(tips.begin(), tips.begin() + static_cast<long>(before));
  EXPECT_NE(std::find(tips.begin(), tips.end(), "tray modify Quillbank 2.0 Scheduler - Autorun Disabled"), tips.end());
  EXPECT_EQ(tips.back(), "tray modify Quillbank 2.0 Scheduler");

  // Without the beep, and with another skip key: Shift held skips, Ctrl no longer does.
  {
    TFernoIni ini;
    ini.SetBeepOnAutoRunSkip(false);
    ini.SetDontAutoRun(VK_SHIFT);
  }
  before = Tips().size();
  ASSERT_TRUE(ArriveHolding(VK_SHIFT, window, Unit(kLabelled)));
  ASSERT_TRUE(Settle(window));
  EXPECT_TRUE(Runs().empty());
  EXPECT_EQ(beeps(), 1);
  EXPECT_GT(Tips().size(), before);
  ASSERT_TRUE(ArriveHolding(VK_CONTROL, window, Unit(kLabelled)));
  auto runs = SettledRuns(window);
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(Before(runs[0], "|DESEL"), "RunQb.exe|r Camera|RFS=<missing>|RVA=1|MSG=|MEDIA=QBMEDIA");
}

TEST_F(QbSchEvents, StartupProfilesRunAfterTheirDelayAsStoredThen) {
  {
    TFernoIni ini;
    ini.SetStartupProfiles("\"Early\" ");
    ini.Settc('b');
    ini.SetStartupDelay(200);
  }
  // Sixty times as fast: the 200 seconds are some three.
  SetEnvironmentVariableW(L"QB_SCH_CLOCK", L"2024-03-04 08:00:00,60");
  HWND window = StartAndWait("-RunStartupProfiles");
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(Runs().empty());
  // Changed while the delay runs: the list read when it ends is the one run.
  TFernoIni().SetStartupProfiles("\"Late\" \"Mail\" ");
  ASSERT_TRUE(WaitFor([&] { return !Runs().empty(); }, 60000));
  auto runs = SettledRuns(window);
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(Before(runs[0], "|RVA"), "RunQb.exe|b \"Late\" \"Mail\" |RFS=<missing>");
}

TEST_F(QbSchEvents, StartupProfilesWithoutDelayOnlyWithTheSwitchAndNotDisabled) {
  {
    TFernoIni ini;
    ini.SetStartupProfiles("\"Boot\" ");
    ini.SetStartupDelay(0);
  }
  HWND window = StartAndWait("/runstartupprofiles");
  ASSERT_NE(window, nullptr);
  auto runs = SettledRuns(window);
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(Before(runs[0], "|RFS"), "RunQb.exe|r \"Boot\" ");
  ASSERT_TRUE(Quit(window));

  window = StartAndWait();  // no switch
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(Settle(window));
  ASSERT_TRUE(Quit(window));
  TFernoIni().SetDisableStartupProfiles(true);
  window = StartAndWait("-RunStartupProfiles");
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(Settle(window));
  EXPECT_EQ(Runs().size(), 1u);
}

TEST_F(QbSchEvents, ResultsChangedAndEverySwitchUpdateTheTip) {
  HWND window = StartAndWait();
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(TipBecomes("Quillbank 2.0 Scheduler"));
  qbtest::RegWrite("Options\\General", "AllRunsOK", "0");
  PostMessageW(window, WM_QBSCH_RESULTSCHANGED, 0, 0);
  EXPECT_TRUE(TipBecomes("Quillbank 2.0 Scheduler (Error)"));
  const size_t before = Tips().size();
  PostMessageW(window, WM_QBSCH_RESULTSCHANGED, 0, 0);  // nothing changed
  PostMessageW(window, WM_COMMAND, 3002, 0);
  EXPECT_TRUE(TipBecomes("Quillbank 2.0 Scheduler - Autorun Disabled (Error)"));
  // Icon and tip: two calls to the shell, none for the unchanged results.
  EXPECT_EQ(Tips().size(), before + 2);
  PostMessageW(window, WM_COMMAND, 3004, 0);
  EXPECT_TRUE(TipBecomes("Quillbank 2.0 Scheduler - Autorun,Scheduler Disabled (Error)"));
  PostMessageW(window, WM_COMMAND, 3003, 0);
  EXPECT_TRUE(TipBecomes("Quillbank 2.0 Scheduler - Disabled (Error)"));
  // A failed test counts as an error as well; good runs and tests clear it.
  qbtest::RegWrite("Options\\General", "AllRunsOK", "1");
  qbtest::RegWrite("Options\\General", "AllTestsOK", "0");
  PostMessageW(window, WM_QBSCH_RESULTSCHANGED, 0, 0);
  PostMessageW(window, WM_COMMAND, 3005, 0);
  EXPECT_TRUE(TipBecomes("Quillbank 2.0 Scheduler (Error)"));
  qbtest::RegWrite("Options\\General", "AllTestsOK", "1");
  PostMessageW(window, WM_QBSCH_RESULTSCHANGED, 0, 0);
  EXPECT_TRUE(TipBecomes("Quillbank 2.0 Scheduler"));
}

TEST_F(QbSchEvents, ManagerFromTheMenuAndDoubleClickUnlessShutdownProfilesRun) {
  HWND window = StartAndWait();
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(TipBecomes("Quillbank 2.0 Scheduler"));
  // The scheduler switched on clears the flag, so it is set only now.
  TFernoIni().SetbRunningShutdownProfiles(true);
  PostMessageW(window, WM_QBSCH_TRAYNOTIFY, 0, WM_LBUTTONDBLCLK);
  PostMessageW(window, WM_COMMAND, 3001, 0);
  ASSERT_TRUE(Settle(window));
  EXPECT_TRUE(Runs().empty());
  TFernoIni().SetbRunningShutdownProfiles(false);
  PostMessageW(window, WM_QBSCH_TRAYNOTIFY, 0, WM_LBUTTONDBLCLK);
  ASSERT_TRUE(Settle(window));
  PostMessageW(window, WM_COMMAND, 3001, 0);
  // A sent message overtakes the posted command, so the second start is waited for.
  EXPECT_TRUE(WaitFor([&] { return Runs().size() >= 2; }));
  auto runs = SettledRuns(window);
  ASSERT_EQ(runs.size(), 2u);
  for (const auto& run : runs) EXPECT_EQ(Before(run, "|RFS"), "Qb.exe|");
}

TEST_F(QbSchEvents, CloseAsksFirstAndEndsOnlyWhenConfirmed) {
  HWND window = StartAndWait();
  ASSERT_NE(window, nullptr);
  HANDLE process = started_.back().hProcess;
  for (int answer : {IDNO, IDYES}) {
    PostMessageW(window, WM_COMMAND, 3006, 0);
    std::string text, caption;
    HWND box = WaitForBox(process, &text, &caption);
    ASSERT_NE(box, nullptr) << answer;
    EXPECT_EQ(text,
              "The scheduler program should be running for\r\nscheduled/autorun/shutdown profiles to work\r\n\r\n"
              "Are you sure to close?");
    EXPECT_EQ(caption, "Quillbank 2.0 Scheduler");
    PostMessageW(box, WM_COMMAND, answer, 0);
    if (answer == IDNO) {
      ASSERT_TRUE(WaitFor([&] { return !IsWindow(box); }));
      ASSERT_TRUE(Settle(window));
      EXPECT_EQ(WaitForSingleObject(process, 0), WAIT_TIMEOUT);
    }
  }
  ASSERT_EQ(WaitForSingleObject(process, 10000), WAIT_OBJECT_0);
  DWORD code = 99;
  GetExitCodeProcess(process, &code);
  EXPECT_EQ(code, 0u);
}

TEST_F(QbSchEvents, RightClickMenuOffersTheSwitchesInItsOrder) {
  HWND window = StartAndWait();
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(TipBecomes("Quillbank 2.0 Scheduler"));
  const DWORD pid = GetProcessId(started_.back().hProcess);
  // Picks the n-th command of a new menu with the keyboard the menu reads.
  auto pick = [&](int downs) {
    PostMessageW(window, WM_QBSCH_TRAYNOTIFY, 0, WM_RBUTTONUP);
    HWND menu = nullptr;
    if (!WaitFor([&] { return (menu = FindWindowOf(pid, L"#32768")) != nullptr; })) return false;
    for (int i = 0; i < downs; ++i) PostMessageW(window, WM_KEYDOWN, VK_DOWN, 0);
    PostMessageW(window, WM_KEYDOWN, VK_RETURN, 0);
    return WaitFor([&] { return FindWindowOf(pid, L"#32768") == nullptr; });
  };
  // Run, the autorun switch, the scheduler switch, Close; separators are passed over.
  ASSERT_TRUE(pick(2));
  EXPECT_TRUE(TipBecomes("Quillbank 2.0 Scheduler - Autorun Disabled"));
  ASSERT_TRUE(pick(3));
  EXPECT_TRUE(TipBecomes("Quillbank 2.0 Scheduler - Autorun,Scheduler Disabled"));
  ASSERT_TRUE(pick(2));
  EXPECT_TRUE(TipBecomes("Quillbank 2.0 Scheduler - Disabled"));
  ASSERT_TRUE(pick(3));
  EXPECT_TRUE(TipBecomes("Quillbank 2.0 Scheduler"));
  ASSERT_TRUE(pick(1));
  ASSERT_TRUE(WaitFor([&] { return !Runs().empty(); }));
  EXPECT_EQ(Before(Runs()[0], "|RFS"), "Qb.exe|");

  // A menu left alone is dismissed from outside and changes nothing.
  const size_t before = Tips().size();
  PostMessageW(window, WM_QBSCH_TRAYNOTIFY, 0, WM_RBUTTONUP);
  ASSERT_TRUE(WaitFor([&] { return FindWindowOf(pid, L"#32768") != nullptr; }));
  PostMessageW(window, WM_CANCELMODE, 0, 0);
  ASSERT_TRUE(WaitFor([&] { return FindWindowOf(pid, L"#32768") == nullptr; }));
  ASSERT_TRUE(Settle(window));
  EXPECT_EQ(Tips().size(), before);
  EXPECT_EQ(Runs().size(), 1u);
}

}  // namespace
