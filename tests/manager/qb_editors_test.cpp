// The editors of Qb.exe's Tools menu from outside: opened by their keys and menu
// items, driven through their controls, and what they leave in the registry and send
// to a window of the scheduler's class and title.
#include "editors_fixture.h"
#include "manager/qb_fixture.h"

namespace qb_test {
namespace {

// A message whose lParam points at size bytes: the bytes are copied into the
// control's process and back after the call.
LRESULT RemoteSend(HWND w, UINT msg, WPARAM wp, void* data, SIZE_T size) {
  DWORD pid = 0;
  GetWindowThreadProcessId(w, &pid);
  HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
  if (!process) return 0;
  void* remote = VirtualAllocEx(process, nullptr, size, MEM_COMMIT, PAGE_READWRITE);
  LRESULT r = 0;
  if (remote) {
    WriteProcessMemory(process, remote, data, size, nullptr);
    r = SendMessageW(w, msg, wp, reinterpret_cast<LPARAM>(remote));
    ReadProcessMemory(process, remote, data, size, nullptr);
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
  }
  CloseHandle(process);
  return r;
}

// The n-th child of a class in creation order (nullptr when there is none).
HWND Child(HWND parent, const wchar_t* cls, int n = 0) {
  struct TFind {
    const wchar_t* Class;
    int Left;
    HWND Found = nullptr;
  } find{cls, n};
  EnumChildWindows(
      parent,
      [](HWND w, LPARAM p) -> BOOL {
        auto* f = reinterpret_cast<TFind*>(p);
        wchar_t name[64] = {0};
        GetClassNameW(w, name, 64);
        if (lstrcmpiW(name, f->Class) != 0 || f->Left-- > 0) return TRUE;
        f->Found = w;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&find));
  return find.Found;
}

// The last list view of a form (the profiles to tick; the days' list comes before).
HWND ProfileList(HWND form) {
  HWND last = nullptr;
  for (int i = 0; HWND lv = Child(form, L"SysListView32", i); ++i) last = lv;
  return last;
}

void SetRowState(HWND list, int row, UINT mask, UINT state) {
  LVITEMW it{};
  it.stateMask = mask;
  it.state = state;
  RemoteSend(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), &it, sizeof(it));
}
void Tick(HWND list, int row) { SetRowState(list, row, LVIS_STATEIMAGEMASK, INDEXTOSTATEIMAGEMASK(2)); }
void Select(HWND list, int row) {
  SetRowState(list, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
}

// A click on the index-th button of the form's tool bar, as the bar reports it.
void ClickTool(HWND form, int index) {
  HWND bar = Child(form, L"ToolbarWindow32");
  TBBUTTON b{};
  ASSERT_TRUE(bar && RemoteSend(bar, TB_GETBUTTON, static_cast<WPARAM>(index), &b, sizeof(b)));
  PostMessageW(GetParent(bar), WM_COMMAND, MAKEWPARAM(b.idCommand, BN_CLICKED), reinterpret_cast<LPARAM>(bar));
}

void Press(HWND form, const std::string& button) { ASSERT_TRUE(PressButton(form, button)) << button; }

class QbEditors : public QbProgram {
 protected:
  void SetUp() override {
    QbProgram::SetUp();
    AddProfile("A", {{"zf", "C:\\backup\\A.zip"}, {"efil", "Temp,Media"}});
    AddProfile("B", {{"zf", "C:\\backup\\B.zip"}, {"efil", "Media"}});
    ListProfiles({"A", "B"});
    main_ = StartMain();
    ASSERT_NE(main_, nullptr);
  }
  void TearDown() override {
    // A dialog left open by a failed check is cancelled first, so that the window closes.
    for (const wchar_t* cls : {L"TInputQueryForm", L"TScheduleForm", L"TAutoRunForm", L"TFilterForm",
                               L"TSchedulesForm", L"TAutoRunsForm", L"TFiltersForm", L"TStartupProfilesForm"})
      if (HWND w = static_cast<HWND>(mainProcess_->FindProcessWindow(cls, 100))) PostMessageW(w, WM_CLOSE, 0, 0);
    QbProgram::TearDown();
  }
  // The dialog an item of the Tools menu opens, the item counted upwards from the last
  // one (Run Scheduler is 0).
  HWND FromTools(int fromLast, const wchar_t* cls) {
    HWND w = OpenFromMenu(*mainProcess_, main_, 3, fromLast + 1, cls);
    if (w) Settle(w);
    return w;
  }
  // The dialog a Ctrl shortcut of the main window opens.
  HWND ByShortcut(WORD key, const wchar_t* cls) {
    HWND w = OpenByKey(*mainProcess_, main_, {VK_CONTROL}, key, cls);
    if (w) Settle(w);
    return w;
  }
  HWND Window(const wchar_t* cls, unsigned ms = 10000) {
    HWND w = static_cast<HWND>(mainProcess_->FindProcessWindow(cls, ms));
    if (w) Settle(w);
    return w;
  }
  // The text of the box shown now, closed after reading ("" when none came).
  std::string TakeBox() {
    HWND box = Window(L"TMessageForm", 5000);
    if (!box) return "";
    const std::string text = BoxText(box);
    PostMessageW(box, WM_CLOSE, 0, 0);
    WaitFor([box] { return !IsWindowVisible(box); }, 5000);
    return text;
  }
  // Closed (the dialogs are kept hidden for the next showing), and what follows the
  // closing in the manager done.
  bool Gone(HWND w) {
    const bool hidden = WaitFor([w] { return !IsWindowVisible(w); }, 5000);
    Settle(main_);
    return hidden;
  }

  edtest::TSchedulerWindow scheduler_;
  HWND main_ = nullptr;
};

TEST_F(QbEditors, SchedulesStoredOnOkWithOneReloadAndKeptOnCancel) {
  HWND list = ByShortcut('1', L"TSchedulesForm");
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(qbtest::WindowText(list), "Schedules");
  ClickTool(list, 0);
  HWND editor = Window(L"TScheduleForm");
  ASSERT_NE(editor, nullptr);
  Tick(ProfileList(editor), 1);  // B
  Press(editor, "OK");
  ASSERT_TRUE(Gone(editor)) << TakeBox();
  Press(list, "OK");
  ASSERT_TRUE(Gone(list));
  EXPECT_EQ(qbtest::RegRead(kGeneral, "ScheduleCount"), "1");
  EXPECT_EQ(qbtest::RegRead("Schedules\\1", "p"), "\"B\" ");
  EXPECT_EQ(qbtest::RegRead("Schedules\\1", "ds"), "<missing>");  // every day
  EXPECT_NE(qbtest::RegRead("Schedules\\1", "t"), "<missing>");
  EXPECT_EQ(scheduler_.ReloadCount(), 1);

  // The entry is deleted in the dialog, which is then cancelled: nothing changes.
  list = ByShortcut('1', L"TSchedulesForm");
  ASSERT_NE(list, nullptr);
  Select(Child(list, L"SysListView32"), 0);
  ClickTool(list, 3);  // Delete, after the separator
  Settle(list);
  EXPECT_TRUE(qbtest::WaitUntil([&] { return SendMessageW(Child(list, L"SysListView32"), LVM_GETITEMCOUNT, 0, 0) == 0; },
                                10000));
  Press(list, "Cancel");
  ASSERT_TRUE(Gone(list));
  EXPECT_EQ(qbtest::RegRead(kGeneral, "ScheduleCount"), "1");
  EXPECT_EQ(qbtest::RegRead("Schedules\\1", "p"), "\"B\" ");
  EXPECT_EQ(scheduler_.ReloadCount(), 1) << "no reload after Cancel";
  EXPECT_EQ(CloseMain(main_), 0);
}

TEST_F(QbEditors, ATimeConflictIsRefusedAndTheDialogStaysOpen) {
  // Two stored entries at 08:00, one on days and one on dates.
  qbtest::RegWrite(kGeneral, "ScheduleCount", "2");
  for (const char* n : {"1", "2"}) {
    qbtest::RegWrite(std::string("Schedules\\") + n, "t", "0.333333333333333");
    qbtest::RegWrite(std::string("Schedules\\") + n, "p", "\"A\" ");
  }
  qbtest::RegWrite("Schedules\\1", "ds", "1111111");
  qbtest::RegWrite("Schedules\\2", "d", "1");
  HWND list = ByShortcut('1', L"TSchedulesForm");
  ASSERT_NE(list, nullptr);
  Press(list, "OK");
  const std::string text = TakeBox();
  EXPECT_NE(text.find("can not be repeated for both days"), std::string::npos) << text;
  Settle(list);
  EXPECT_TRUE(IsWindowVisible(list)) << "the dialog stays open";
  Press(list, "Cancel");
  ASSERT_TRUE(Gone(list));
  EXPECT_EQ(qbtest::RegRead("Schedules\\2", "d"), "1");
  EXPECT_EQ(scheduler_.ReloadCount(), 0);
  EXPECT_EQ(CloseMain(main_), 0);
}

TEST_F(QbEditors, AnAutoRunEntryIsStoredWithoutTellingTheScheduler) {
  HWND list = ByShortcut('2', L"TAutoRunsForm");
  ASSERT_NE(list, nullptr);
  ClickTool(list, 0);
  HWND editor = Window(L"TAutoRunForm");
  ASSERT_NE(editor, nullptr);
  edtest::SetText(Child(editor, L"Edit"), "BACKUP1");
  edtest::Choose(Child(editor, L"ComboBox", 0), 2);  // the days: the second preset
  edtest::Choose(Child(editor, L"ComboBox", 1), 1);  // Test
  Tick(ProfileList(editor), 0);                         // A
  Press(editor, "OK");
  ASSERT_TRUE(Gone(editor)) << TakeBox();
  Press(list, "OK");
  ASSERT_TRUE(Gone(list));
  EXPECT_EQ(qbtest::RegRead(kGeneral, "AutoRunCount"), "1");
  EXPECT_EQ(qbtest::RegRead("AutoRun\\1", "m"), "BACKUP1");
  EXPECT_EQ(qbtest::RegRead("AutoRun\\1", "d"), "0100000");
  EXPECT_EQ(qbtest::RegRead("AutoRun\\1", "c"), "116");  // 't'
  EXPECT_EQ(qbtest::RegRead("AutoRun\\1", "p"), "A");
  EXPECT_EQ(scheduler_.ReloadCount(), 0);
  EXPECT_EQ(CloseMain(main_), 0);
}

TEST_F(QbEditors, StartupAndShutdownProfiles) {
  HWND form = FromTools(2, L"TStartupProfilesForm");
  ASSERT_NE(form, nullptr);
  EXPECT_EQ(qbtest::WindowText(form), "Startup profiles");
  Tick(ProfileList(form), 1);  // B
  SendMessageW(Child(form, L"msctls_updown32"), UDM_SETPOS32, 0, 42);
  Press(form, "OK");
  ASSERT_TRUE(Gone(form));
  EXPECT_EQ(qbtest::RegRead(kGeneral, "StartupProfiles"), "\"B\" ");
  EXPECT_EQ(qbtest::RegRead(kGeneral, "StartupDelay"), "42");

  // With no turn-off choice stored the shut-down list refuses OK.
  form = FromTools(1, L"TStartupProfilesForm");
  ASSERT_NE(form, nullptr);
  EXPECT_EQ(qbtest::WindowText(form), "Shutdown profiles");
  Tick(ProfileList(form), 0);
  Press(form, "OK");
  EXPECT_NE(TakeBox().find("Select \"Power Off\" or \"Shutdown\""), std::string::npos);
  Settle(form);
  EXPECT_TRUE(IsWindowVisible(form));
  Press(form, "Cancel");
  ASSERT_TRUE(Gone(form));
  EXPECT_EQ(qbtest::RegRead(kGeneral, "ShutdownProfiles"), "<missing>");
  EXPECT_EQ(scheduler_.ReloadCount(), 0);
  EXPECT_EQ(CloseMain(main_), 0);
}

TEST_F(QbEditors, AFilterAddedRenamedAndDeletedWithTheProfilesFollowing) {
  qbtest::RegWrite("ExFilters", "Media", "MP3,AVI");
  HWND form = FromTools(3, L"TFiltersForm");
  ASSERT_NE(form, nullptr);
  EXPECT_EQ(qbtest::WindowText(form), "Exclude filters");
  HWND rows = Child(form, L"SysListView32");
  ClickTool(form, 0);
  HWND editor = Window(L"TFilterForm");
  ASSERT_NE(editor, nullptr);
  edtest::SetText(Child(editor, L"Edit", 0), "Temp");
  edtest::SetText(Child(editor, L"Edit", 1), "TMP");
  Press(editor, "OK");
  ASSERT_TRUE(Gone(editor)) << TakeBox();
  EXPECT_EQ(qbtest::RegRead("ExFilters", "Temp"), "TMP");

  // Media (the first row by name) becomes Video in the store and in both profiles.
  const auto names = ReadRows(rows);
  ASSERT_EQ(names.size(), 2u);
  const int media = names[0][0] == "Media" ? 0 : 1;
  Select(rows, media);
  ClickTool(form, 4);  // Rename, after the separator
  HWND input = Window(L"TInputQueryForm");
  ASSERT_NE(input, nullptr);
  edtest::SetText(Child(input, L"Edit"), "Video");
  Press(input, "OK");
  ASSERT_TRUE(Gone(input));
  Settle(form);
  EXPECT_EQ(qbtest::RegRead("ExFilters", "Video"), "MP3,AVI");
  EXPECT_EQ(qbtest::RegRead("ExFilters", "Media"), "<missing>");
  EXPECT_EQ(qbtest::RegRead("Profiles\\A", "efil"), "Temp,Video");
  EXPECT_EQ(qbtest::RegRead("Profiles\\B", "efil"), "Video");

  // Temp is deleted after the question, and leaves profile A.
  Select(rows, media == 0 ? 1 : 0);
  ClickTool(form, 2);
  HWND box = Window(L"TMessageForm");
  ASSERT_NE(box, nullptr);
  EXPECT_NE(BoxText(box).find("Are you sure to delete the exclude filter Temp ?"), std::string::npos);
  Press(box, "&Yes");
  ASSERT_TRUE(Gone(box));
  Settle(form);
  EXPECT_EQ(qbtest::RegRead("ExFilters", "Temp"), "<missing>");
  EXPECT_EQ(qbtest::RegRead("Profiles\\A", "efil"), "Video");
  Press(form, "Close");
  ASSERT_TRUE(Gone(form));
  EXPECT_EQ(CloseMain(main_), 0);
}

}  // namespace
}  // namespace qb_test
