// The profile actions of Qb.exe's main window from outside, with the keys and clicks
// of a user: new through the wizard, run of the selected rows and computers, delete
// with its refusal, rename everywhere the name is kept, and moving a row.
#include "manager/qb_fixture.h"
#include "settings/fernoini.h"
#include "settings/foschedules.h"
#include "settings/qbautoruns.h"

namespace qb_test {
namespace {

// Sends keys (vk 0 stands for a left click) with Ctrl held when asked. Keys are waited for
// until the manager has taken and handled them; a click is only sent, and its caller waits
// for the row it selects.
void Input(WORD vk, bool ctrl = false) {
  std::vector<INPUT> in(ctrl ? 4 : 2);
  for (size_t i = 0; i < in.size(); ++i) {
    const bool up = i >= in.size() / 2, edge = ctrl && (i == 0 || i + 1 == in.size());
    in[i].type = vk || edge ? INPUT_KEYBOARD : INPUT_MOUSE;
    in[i].ki.wVk = edge ? VK_CONTROL : vk;
    if (in[i].type == INPUT_KEYBOARD) in[i].ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    else in[i].mi.dwFlags = up ? MOUSEEVENTF_LEFTUP : MOUSEEVENTF_LEFTDOWN;
  }
  if (vk) qbtest::TypeInput(in);
  else SendInput(static_cast<UINT>(in.size()), in.data(), sizeof(INPUT));
}

// Clicks a row of a list view of the manager (with Ctrl to add it to the selection).
void ClickRow(HWND list, int row, bool ctrl = false) {
  DWORD pid = 0;
  GetWindowThreadProcessId(list, &pid);
  HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
  void* remote = VirtualAllocEx(process, nullptr, sizeof(RECT), MEM_COMMIT, PAGE_READWRITE);
  RECT r{LVIR_LABEL, 0, 0, 0};
  WriteProcessMemory(process, remote, &r, sizeof(r), nullptr);
  SendMessageW(list, LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(remote));
  ReadProcessMemory(process, remote, &r, sizeof(r), nullptr);
  VirtualFreeEx(process, remote, 0, MEM_RELEASE);
  CloseHandle(process);
  POINT p{r.left + 5, (r.top + r.bottom) / 2};
  const auto selected = [&] {
    return (SendMessageW(list, LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_SELECTED) & LVIS_SELECTED) != 0;
  };
  if (ctrl) {
    // A click that adds to the selection goes to the list with Ctrl in its own words: under
    // load a typed Ctrl could reach the list after the click, which then chose the row alone.
    const LPARAM at = MAKELPARAM(p.x, p.y);
    PostMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON | MK_CONTROL, at);
    PostMessageW(list, WM_LBUTTONUP, MK_CONTROL, at);
    if (!qbtest::WaitUntil(selected, 5000)) ADD_FAILURE() << "row " << row << " of the list did not take the click";
    return;
  }
  ClientToScreen(list, &p);
  // A click that lands while the window is still being brought forward is lost: click
  // again until the row shows as selected, a few times at most.
  for (int attempt = 0; attempt < 4; ++attempt) {
    qbtest::BringForward(GetAncestor(list, GA_ROOT), 1000);
    SetCursorPos(p.x, p.y);
    Input(0);
    if (qbtest::WaitUntil(selected, 1000)) return;
  }
  ADD_FAILURE() << "row " << row << " of the list did not take the click";
}

void SetText(HWND w, const std::string& text) {
  SendMessageW(w, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(tk::Widen(text).c_str()));
}

// The manager's box: its text after the button was pressed ("" when none came).
std::string AnswerBox(qbtest::ChildProcess& p, const std::string& button) {
  HWND box = static_cast<HWND>(p.FindProcessWindow(L"TMessageForm", 8000));
  if (!box) return "";
  const std::string text = BoxText(box);
  if (!PressButton(box, button)) PostMessageW(box, WM_CLOSE, 0, 0);
  qbtest::WaitUntil([&] { return !IsWindow(box); }, 5000);
  return text;
}

// Types a name into the input box and presses OK.
bool AnswerInput(qbtest::ChildProcess& p, const std::string& name) {
  HWND form = static_cast<HWND>(p.FindProcessWindow(L"TInputQueryForm", 8000));
  if (!form) return false;
  if (HWND edit = FindWindowExW(form, nullptr, L"Edit", nullptr)) SetText(edit, name);
  if (!PressButton(form, "OK")) PostMessageW(form, WM_CLOSE, 0, 0);
  return qbtest::WaitUntil([&] { return !IsWindow(form); }, 5000);
}

// A shown control of the wizard by its class and its place in its page.
HWND PageControl(HWND wizard, const wchar_t* cls, int left, int top) {
  struct Search {
    const wchar_t* Cls;
    POINT At;
    HWND Found = nullptr;
  } search{cls, {left, top}};
  EnumChildWindows(
      wizard,
      [](HWND w, LPARAM lp) -> BOOL {
        auto* s = reinterpret_cast<Search*>(lp);
        wchar_t name[64] = {0};
        GetClassNameW(w, name, 64);
        RECT r{};
        GetWindowRect(w, &r);
        MapWindowPoints(nullptr, GetParent(w), reinterpret_cast<POINT*>(&r), 2);
        if (IsWindowVisible(w) && !lstrcmpiW(name, s->Cls) && r.left == s->At.x && r.top == s->At.y) s->Found = w;
        return !s->Found;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.Found;
}

// The scheduler's window as the manager looks for it, counting reload messages.
int reloads = 0;
LRESULT CALLBACK SchedulerProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if (m == WM_APP + 12 && wp == 0 && lp == 0) ++reloads;
  return DefWindowProcW(w, m, wp, lp);
}

class QbProfileActions : public QbProgram {
 protected:
  void SetUp() override {
    QbProgram::SetUp();
    logs_ = GetLogsDir();
    qbtest::MakeDirs(logs_);
  }
  void TearDown() override {
    QbProgram::TearDown();
    for (const std::string& f : qbtest::ListDir(logs_)) DeleteFileW(tk::Widen(logs_ + f).c_str());
  }
  void Log(const std::string& name) { qbtest::WriteFile(logs_ + name, "log"); }
  std::string logs_;
};

TEST_F(QbProfileActions, CtrlNCreatesAProfileThroughTheWizard) {
  AddProfile("Old", {{"zf", "C:\\B\\Old.zip"}});
  ListProfiles({"Old"});
  HWND main = StartMain();
  ASSERT_NE(main, nullptr);
  HWND wizard = OpenByKey(*mainProcess_, main, {VK_CONTROL}, 'N', L"TWizardForm");
  ASSERT_NE(wizard, nullptr);
  EXPECT_EQ(qbtest::WindowText(wizard), "Create New Profile");
  auto next = [&] {
    HWND box = nullptr;
    ASSERT_TRUE(TurnPage(*mainProcess_, wizard, "Next >", &box) || TurnPage(*mainProcess_, wizard, "Finish", &box));
    ASSERT_EQ(box, nullptr) << BoxText(box);
  };
  HWND folder = PageControl(wizard, L"ComboBox", 8, 24), zip = PageControl(wizard, L"Edit", 8, 72);
  ASSERT_TRUE(folder && zip);
  SetText(folder, dir_.path());
  SetText(zip, "Docs.zip");
  next();
  next();
  // Relative paths below an existing folder: the item list gets *.* by itself.
  HWND relative = static_cast<HWND>(qbtest::FindChildByText(wizard, "Save relative path"));
  HWND addNames = static_cast<HWND>(qbtest::FindChildByText(wizard, "Save folder info in zip file"));
  ASSERT_TRUE(relative && addNames);
  if (SendMessageW(addNames, BM_GETCHECK, 0, 0) != BST_CHECKED) SendMessageW(addNames, BM_CLICK, 0, 0);
  SendMessageW(relative, BM_CLICK, 0, 0);
  HWND base = PageControl(wizard, L"Edit", 44, 98);
  ASSERT_NE(base, nullptr);
  SetText(base, dir_.path());
  for (int page = 2; page < 8 && IsWindowVisible(wizard) && !PageControl(wizard, L"Edit", 8, 24); ++page) next();
  HWND name = PageControl(wizard, L"Edit", 8, 24);
  ASSERT_NE(name, nullptr);
  SetText(name, "Docs");
  next();
  ASSERT_TRUE(WaitFor([&] { return !IsWindowVisible(wizard); }, 5000));
  Settle(main);
  EXPECT_EQ(qbtest::RegRead("Profiles\\Docs", "pn"), "Docs");
  EXPECT_EQ(qbtest::RegRead("Profiles\\Docs", "zf"), dir_ / "Docs.zip");
  EXPECT_EQ(qbtest::RegRead("Profile Names", "ProfileCount"), "2");
  EXPECT_EQ(qbtest::RegRead("Profile Names", "P1"), "Docs");
  const auto rows = ReadRows(FindLists(main).Profiles);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[1][0], "Docs");
  EXPECT_EQ(CloseMain(main), 0);
}

TEST_F(QbProfileActions, EnterRunsTheSelectedRowsAndComputers) {
  AddProfile("Docs", {{"zf", "C:\\B\\Docs.zip"}});
  AddProfile("My Photos", {{"zf", "C:\\B\\Photos.zip"}});
  AddProfile("Office", {{"zf", "C:\\B\\Office.zip"}, {"cns", "PC1,PC2,PC3"}});
  ListProfiles({"Docs", "My Photos", "Office"});
  qbtest::RegWrite(kGeneral, "LastMcProfile", "Office");
  HWND main = StartMain();
  ASSERT_NE(main, nullptr);
  const TLists lists = FindLists(main);
  ClickRow(lists.Profiles, 0);
  ClickRow(lists.Profiles, 1, true);
  Input(VK_RETURN);
  ASSERT_TRUE(WaitFor([&] { return StubRuns().size() == 1; }));
  EXPECT_EQ(StubRuns()[0].rfind("RunQb.exe|R Docs \"My Photos\"|", 0), 0u) << StubRuns()[0];
  ASSERT_EQ(ReadRows(lists.Computers).size(), 3u);
  ClickRow(lists.Computers, 0);
  ClickRow(lists.Computers, 2, true);
  Input(VK_RETURN);
  ASSERT_TRUE(WaitFor([&] { return StubRuns().size() == 2; }));
  EXPECT_EQ(StubRuns()[1].rfind("RunQb.exe|R Office|", 0), 0u) << StubRuns()[1];
  EXPECT_EQ(qbtest::RegRead(kGeneral, "sSelectedMcNames"), "PC1,PC3");
  EXPECT_EQ(CloseMain(main), 0);
}

TEST_F(QbProfileActions, DeleteRefusesAScheduledProfileAndOtherwiseRemovesKeyLogsAndEntry) {
  for (const char* name : {"A", "B", "C"}) AddProfile(name, {{"zf", std::string("C:\\B\\") + name + ".zip"}});
  ListProfiles({"A", "B", "C"});
  qbtest::RegWrite(kGeneral, "StartupProfiles", "\"A\" ");
  {
    TFoSchedules schedules;
    auto* s = new TFoSchedule;
    s->Profiles = "\"A\" ";
    schedules.Add(s);
    schedules.SaveAll();
  }
  Log("B ziplog 1.txt");
  Log("B ziplog 2.txt");
  Log("BB ziplog 1.txt");
  HWND main = StartMain();
  ASSERT_NE(main, nullptr);
  const HWND list = FindLists(main).Profiles;
  ClickRow(list, 0);
  Input(VK_DELETE);
  const std::string refusal = AnswerBox(*mainProcess_, "OK");
  EXPECT_NE(refusal.find("The profile \"A\" can't be deleted."), std::string::npos) << refusal;
  EXPECT_NE(refusal.find("It is assigned in a schedule."), std::string::npos) << refusal;
  EXPECT_EQ(refusal.find("startup"), std::string::npos) << refusal;
  EXPECT_EQ(qbtest::RegRead("Profiles\\A", "pn"), "A");

  ClickRow(list, 1);
  Input(VK_DELETE);
  EXPECT_NE(AnswerBox(*mainProcess_, "&Yes").find("Are you sure to delete the profile B?"), std::string::npos);
  EXPECT_TRUE(WaitFor([] { return qbtest::RegRead("Profiles\\B", "pn") == "<missing>"; }, 5000));
  // The list of names is rewritten after the key goes, in the same step.
  Settle(main);
  EXPECT_EQ(qbtest::RegRead("Profile Names", "ProfileCount"), "2");
  EXPECT_EQ(qbtest::RegRead("Profile Names", "P1"), "C");
  EXPECT_EQ(qbtest::RegRead("Profile Names", "P2"), "<missing>");
  EXPECT_EQ(qbtest::ListDir(logs_), (std::vector<std::string>{"BB ziplog 1.txt"}));
  EXPECT_EQ(ReadRows(list).size(), 2u);
  EXPECT_EQ(CloseMain(main), 0);
}

TEST_F(QbProfileActions, RenameMovesTheKeyTreeAndTheNameEverywhere) {
  AddProfile("Old", {{"zf", "C:\\B\\Old.zip"}, {"cns", "PC1"}});
  qbtest::RegWrite("Profiles\\Old\\lr", "PC1", "45000");
  AddProfile("Other", {{"zf", "C:\\B\\Other.zip"}});
  ListProfiles({"Other", "Old"});
  qbtest::RegWrite(kGeneral, "LastMcProfile", "Old");
  qbtest::RegWrite(kGeneral, "StartupProfiles", "\"X\" \"Old\" ");
  qbtest::RegWrite(kGeneral, "ShutdownProfiles", "\"Old\" ");
  {
    TFoSchedules schedules;
    for (const char* list : {"\"Old\" ", "\"Other\" \"Old\" ", "\"Old\" "}) {
      auto* s = new TFoSchedule;
      s->Profiles = list;
      schedules.Add(s);
    }
    schedules.SaveAll();
    qbtest::RegWrite("Schedules\\4", "t", "8:00");  // no number: renamed in its place alone
    qbtest::RegWrite("Schedules\\4", "p", "\"Old\" ");
    qbtest::RegWrite(kGeneral, "ScheduleCount", "4");
    TQbAutoRuns autoRuns;
    auto* a = new TQbAutoRun;
    a->Profiles = "Other,Old";
    autoRuns.Add(a);
    autoRuns.SaveAll();
  }
  Log("Old ziplog 1.txt");
  Log("Old ziplog 2.txt");
  SetFileAttributesW(tk::Widen(logs_ + "Old ziplog 2.txt").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY);
  Log("Older ziplog 1.txt");
  WNDCLASSW wc{};
  wc.lpszClassName = L"QbSchWindowClass";
  wc.lpfnWndProc = SchedulerProc;
  RegisterClassW(&wc);
  HWND scheduler = CreateWindowW(wc.lpszClassName, L"Qb Scheduler", WS_OVERLAPPED, 0, 0, 9, 9, 0, 0, 0, 0);
  reloads = 0;
  HWND main = StartMain();
  ASSERT_NE(main, nullptr);
  const HWND mcList = FindLists(main).McProfiles;
  // Refused: a backslash would nest keys; the reserved name of the temporary profile.
  for (const std::string& bad : {std::string("A\\B"), std::string("tempprofile")}) {
    ClickRow(mcList, 0);
    Input(VK_F2);
    ASSERT_TRUE(AnswerInput(*mainProcess_, bad));
    EXPECT_NE(AnswerBox(*mainProcess_, "OK").find("not allowed"), std::string::npos) << bad;
    EXPECT_EQ(qbtest::RegRead("Profiles\\Old", "pn"), "Old");
  }
  ClickRow(mcList, 0);
  Input(VK_F2);
  ASSERT_TRUE(AnswerInput(*mainProcess_, "  New Name  "));
  const std::string unread = AnswerBox(*mainProcess_, "OK");
  EXPECT_NE(unread.find("Value \"t\" in Schedules\\4 is not a number: \"8:00\""), std::string::npos) << unread;
  ASSERT_TRUE(WaitFor([] { return qbtest::RegRead("Profiles\\New Name", "pn") == "New Name"; }, 5000));
  Settle(main);
  for (MSG m; PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE);) DispatchMessageW(&m);
  DestroyWindow(scheduler);
  EXPECT_EQ(qbtest::RegRead("Profiles\\Old", "pn"), "<missing>");
  EXPECT_EQ(qbtest::RegRead("Profiles\\New Name\\lr", "PC1"), "45000") << "the per-computer values came along";
  EXPECT_EQ(qbtest::RegRead("Profiles\\New Name", "cns"), "PC1");
  EXPECT_EQ(qbtest::RegRead("Profile Names", "P1"), "New Name");
  EXPECT_EQ(qbtest::RegRead(kGeneral, "StartupProfiles"), "\"X\" \"New Name\" ");
  EXPECT_EQ(qbtest::RegRead(kGeneral, "ShutdownProfiles"), "\"New Name\" ");
  TFoSchedules schedules;
  ASSERT_EQ(schedules.GetCount(), 3);
  EXPECT_EQ(schedules.GetItem(1)->Profiles, "\"Other\" \"New Name\" ");
  EXPECT_EQ(schedules.GetItem(2)->Profiles, "\"New Name\" ");
  EXPECT_EQ(reloads, 1) << "one reload message for the four schedules";
  EXPECT_EQ(qbtest::RegRead("Schedules\\4", "p"), "\"New Name\" ");
  EXPECT_EQ(qbtest::RegRead("Schedules\\4", "t"), "8:00");
  TQbAutoRuns autoRuns;
  EXPECT_EQ(autoRuns.GetItem(0)->Profiles, "Other,\"New Name\"");
  EXPECT_EQ(qbtest::ListDir(logs_),
            (std::vector<std::string>{"New Name ziplog 1.txt", "New Name ziplog 2.txt", "Older ziplog 1.txt"}));
  EXPECT_EQ(ReadRows(mcList)[0][0], "New Name");
  SetFileAttributesW(tk::Widen(logs_ + "New Name ziplog 2.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(CloseMain(main), 0);
}

// Each row is one key of the list and acts on it: a key whose pn names another profile is
// shown under its own name with a warning, and a key listed twice is one row.
TEST_F(QbProfileActions, RowsActOnTheKeyTheListNamesWhateverItsPn) {
  for (const char* name : {"Mail", "Mail2", "Docs"}) AddProfile(name, {{"zf", std::string(name) + ".zip"}});
  qbtest::RegWrite("Profiles\\Mail2", "pn", "Mail");
  ListProfiles({"Mail", "Mail2", "Docs", "mail"});
  HWND main = StartMain();
  ASSERT_NE(main, nullptr);
  const std::string warning = AnswerBox(*mainProcess_, "OK");
  EXPECT_NE(warning.find("Value \"pn\" in Profiles\\Mail2 is \"Mail\", not the name of its key: read as \"Mail2\""),
            std::string::npos) << warning;
  const HWND list = FindLists(main).Profiles;
  const auto rows = ReadRows(list);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[1][0], "Mail2");
  ClickRow(list, 1);
  Input(VK_RETURN);
  ASSERT_TRUE(WaitFor([&] { return StubRuns().size() == 1; }));
  EXPECT_EQ(StubRuns()[0].rfind("RunQb.exe|R Mail2|", 0), 0u) << StubRuns()[0];
  ClickRow(list, 1);
  Input(VK_DELETE);
  EXPECT_NE(AnswerBox(*mainProcess_, "&Yes").find("delete the profile Mail2?"), std::string::npos);
  EXPECT_TRUE(WaitFor([] { return qbtest::RegRead("Profiles\\Mail2", "zf") == "<missing>"; }, 5000));
  Settle(main);
  EXPECT_EQ(qbtest::RegRead("Profiles\\Mail", "zf"), "Mail.zip");
  EXPECT_EQ(qbtest::RegValueNames("Profile Names").size(), 3u) << "ProfileCount, P0 and P1";
  EXPECT_EQ(qbtest::RegRead("Profile Names", "P1"), "Docs");
  EXPECT_EQ(CloseMain(main), 0);
}

TEST_F(QbProfileActions, CtrlUpAndClosingRewriteTheOrder) {
  for (const char* name : {"A", "B", "C"}) AddProfile(name, {{"zf", std::string("C:\\B\\") + name + ".zip"}});
  ListProfiles({"A", "B", "C"});
  HWND main = StartMain();
  ASSERT_NE(main, nullptr);
  const HWND list = FindLists(main).Profiles;
  ClickRow(list, 1);
  Input(VK_UP, true);
  Settle(main);
  EXPECT_EQ(ReadRows(list)[0][0], "B");
  EXPECT_EQ(qbtest::RegRead("Profile Names", "P0"), "A") << "the stored order changes at closing";
  EXPECT_EQ(CloseMain(main), 0);
  EXPECT_EQ(qbtest::RegRead("Profile Names", "P0"), "B");
  EXPECT_EQ(qbtest::RegRead("Profile Names", "P1"), "A");
  EXPECT_EQ(qbtest::RegRead("Profile Names", "P2"), "C");
}

}  // namespace
}  // namespace qb_test
