// QbEw.exe started as a real program: its window is found and its list read back
// through the list view's own messages, with buffers placed in the viewer's process.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/testutil.h"
#include "toolkit/strings.h"

namespace {

const wchar_t kTitle[] = L"Error/Warning Messages - Quillbank";
constexpr unsigned kGuardMs = 30000;  // only against a hang, never a measure

struct TRow {
  std::string Text, Code;
  int Image = -1;
};

// Windows of one process.
struct TFind {
  DWORD Pid;
  std::wstring Title;
  HWND Found = nullptr;
};

BOOL CALLBACK FindTopLevel(HWND wnd, LPARAM param) {
  auto* f = reinterpret_cast<TFind*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(wnd, &pid);
  if (pid != f->Pid || !IsWindowVisible(wnd)) return TRUE;
  wchar_t cls[64], title[256];
  GetClassNameW(wnd, cls, 64);
  GetWindowTextW(wnd, title, 256);
  if (std::wstring(cls) == L"#32770" && title == f->Title) {
    f->Found = wnd;
    return FALSE;
  }
  return TRUE;
}

class TViewer {
 public:
  explicit TViewer(const std::string& args) {
    std::wstring cmd = tk::Widen("\"" + qbtest::BinDir() + "QbEw.exe\" " + args);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    started_ = CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi_);
  }
  ~TViewer() {
    if (!started_) return;
    if (WaitForSingleObject(pi_.hProcess, 0) != WAIT_OBJECT_0) {
      TerminateProcess(pi_.hProcess, 9);
      WaitForSingleObject(pi_.hProcess, 5000);
    }
    CloseHandle(pi_.hThread);
    CloseHandle(pi_.hProcess);
  }
  bool Started() const { return started_; }
  bool Ended() const { return WaitForSingleObject(pi_.hProcess, 0) == WAIT_OBJECT_0; }
  bool WaitEnd() { return WaitForSingleObject(pi_.hProcess, kGuardMs) == WAIT_OBJECT_0; }
  DWORD ExitCode() const {
    DWORD code = 0;
    GetExitCodeProcess(pi_.hProcess, &code);
    return code;
  }

  // The process's visible dialog with this title, or null when the process ended first.
  HWND WaitWindow(const std::wstring& title) {
    ULONGLONG end = GetTickCount64() + kGuardMs;
    while (GetTickCount64() < end) {
      TFind f{pi_.dwProcessId, title};
      EnumWindows(FindTopLevel, reinterpret_cast<LPARAM>(&f));
      if (f.Found) return f.Found;
      if (Ended()) return nullptr;
      Sleep(20);
    }
    return nullptr;
  }
  // Ends without any window of the process appearing on the way.
  bool EndsWithoutWindow() {
    ULONGLONG end = GetTickCount64() + kGuardMs;
    while (GetTickCount64() < end) {
      bool ended = Ended();
      TFind f{pi_.dwProcessId, kTitle};
      EnumWindows(FindTopLevel, reinterpret_cast<LPARAM>(&f));
      if (f.Found) return false;
      if (ended) return true;
      Sleep(10);
    }
    return false;
  }

  std::vector<TRow> ReadRows(HWND list) {
    std::vector<TRow> rows;
    int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
      TRow r;
      r.Text = ItemText(list, i, 0, &r.Image);
      r.Code = ItemText(list, i, 1, nullptr);
      rows.push_back(r);
    }
    return rows;
  }

  std::string ColumnCaption(HWND list, int column) {
    Remote mem(pi_.hProcess);
    LVCOLUMNW col{};
    col.mask = LVCF_TEXT;
    col.pszText = reinterpret_cast<wchar_t*>(mem.base + sizeof col);
    col.cchTextMax = kTextChars;
    mem.Write(&col, sizeof col);
    if (!SendMessageW(list, LVM_GETCOLUMNW, column, reinterpret_cast<LPARAM>(mem.base))) return "<none>";
    return mem.Text(sizeof col);
  }

  // The text of the viewer's tooltip showing now, "<none>" when none shows.
  std::string ShownTip() {
    for (HWND w = FindWindowExW(nullptr, nullptr, TOOLTIPS_CLASSW, nullptr); w;
         w = FindWindowExW(nullptr, w, TOOLTIPS_CLASSW, nullptr)) {
      DWORD pid = 0;
      GetWindowThreadProcessId(w, &pid);
      wchar_t text[kTextChars] = L"";
      if (pid == pi_.dwProcessId && IsWindowVisible(w))
        return tk::Narrow(std::wstring_view(text, static_cast<size_t>(SendMessageW(w, WM_GETTEXT, kTextChars, LPARAM(text)))));
    }
    return "<none>";
  }

 private:
  static constexpr int kTextChars = 1024;
  // A block in the viewer's address space for the list view to read and write.
  struct Remote {
    explicit Remote(HANDLE p) : process(p) {
      base = static_cast<char*>(VirtualAllocEx(p, nullptr, 8192, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    }
    ~Remote() { VirtualFreeEx(process, base, 0, MEM_RELEASE); }
    void Write(const void* data, size_t n) { WriteProcessMemory(process, base, data, n, nullptr); }
    void Read(void* data, size_t n) { ReadProcessMemory(process, base, data, n, nullptr); }
    std::string Text(size_t offset) {
      wchar_t buf[kTextChars] = {};
      ReadProcessMemory(process, base + offset, buf, sizeof buf - sizeof(wchar_t), nullptr);
      return tk::Narrow(buf);
    }
    HANDLE process;
    char* base;
  };

  std::string ItemText(HWND list, int item, int sub, int* image) {
    Remote mem(pi_.hProcess);
    LVITEMW it{};
    it.mask = LVIF_TEXT | (image ? LVIF_IMAGE : 0);
    it.iItem = item;
    it.iSubItem = sub;
    it.pszText = reinterpret_cast<wchar_t*>(mem.base + sizeof it);
    it.cchTextMax = kTextChars;
    mem.Write(&it, sizeof it);
    SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(mem.base));
    LVITEMW back{};
    mem.Read(&back, sizeof back);
    if (image) *image = back.iImage;
    return mem.Text(sizeof it);
  }

  PROCESS_INFORMATION pi_{};
  bool started_ = false;
};

std::string Quote(const std::string& s) { return "\"" + s + "\""; }

class QbEwProgram : public testing::Test {
 protected:
  void SetUp() override { qbtest::ClearQuillbankKey(); }
  void TearDown() override { qbtest::ClearQuillbankKey(); }

  // Closes the dialog as its Close button does and checks the program has ended.
  static void CloseAndCheck(TViewer& v, HWND dlg) {
    PostMessageW(dlg, WM_COMMAND, MAKEWPARAM(2, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dlg, 2)));
    ASSERT_TRUE(v.WaitEnd());
    EXPECT_EQ(v.ExitCode(), 0u);
    EXPECT_FALSE(IsWindow(dlg));
  }
  qbtest::TempDir dir_;
};

TEST_F(QbEwProgram, ShowsWarningsAndErrorsOfAFile) {
  std::string file = dir_ / "run of 12-09.err";
  qbtest::WriteFile(file,
                    "0 Nothing to zip in C:\\Data\r\n3 Disk full\r\n\r\nnot a number here\r\n0 Zip \xC3\xA4 tested\r\n");
  TViewer v(Quote(file));
  ASSERT_TRUE(v.Started());
  HWND dlg = v.WaitWindow(kTitle);
  ASSERT_NE(dlg, nullptr);
  HWND list = GetDlgItem(dlg, 1000);
  ASSERT_NE(list, nullptr);
  wchar_t cls[64];
  GetClassNameW(list, cls, 64);
  EXPECT_STREQ(cls, WC_LISTVIEWW);

  EXPECT_EQ(v.ColumnCaption(list, 0), "Error/Warning Messages");
  EXPECT_EQ(v.ColumnCaption(list, 1), "Err code");
  // The messages take the room the codes leave, less that of a vertical scroll bar.
  RECT client;
  GetClientRect(list, &client);
  EXPECT_EQ(SendMessageW(list, LVM_GETCOLUMNWIDTH, 0, 0), client.right - 60 - GetSystemMetrics(SM_CXVSCROLL));
  EXPECT_EQ(SendMessageW(list, LVM_GETCOLUMNWIDTH, 1, 0), 60);
  LRESULT ex = SendMessageW(list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0);
  EXPECT_EQ(ex & (LVS_EX_GRIDLINES | LVS_EX_INFOTIP), LVS_EX_GRIDLINES | LVS_EX_INFOTIP);
  EXPECT_EQ(GetWindowLongW(list, GWL_STYLE) & LVS_TYPEMASK, LVS_REPORT);

  auto rows = v.ReadRows(list);
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[0].Text, " Nothing to zip in C:\\Data");
  EXPECT_EQ(rows[0].Code, "");
  EXPECT_EQ(rows[0].Image, 1);  // warning
  EXPECT_EQ(rows[1].Text, " Disk full");
  EXPECT_EQ(rows[1].Code, "3");
  EXPECT_EQ(rows[1].Image, 0);  // error
  EXPECT_EQ(rows[2].Text, "not a number here");
  EXPECT_EQ(rows[2].Code, "");
  EXPECT_EQ(rows[2].Image, 0);
  EXPECT_EQ(rows[3].Text, " Zip \xC3\xA4 tested");
  EXPECT_EQ(rows[3].Image, 1);

  // Placed at random near the top-left corner of the screen, not topmost.
  RECT r;
  GetWindowRect(dlg, &r);
  EXPECT_GE(r.left, 0);
  EXPECT_LT(r.left, 60);
  EXPECT_GE(r.top, 0);
  EXPECT_LT(r.top, 80);
  EXPECT_EQ(GetWindowLongW(dlg, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
  wchar_t close[32];
  GetWindowTextW(GetDlgItem(dlg, 2), close, 32);
  EXPECT_STREQ(close, L"Close");
  CloseAndCheck(v, dlg);
}

TEST_F(QbEwProgram, EmptyFileShowsNoRowsAndEscapeCloses) {
  std::string file = dir_ / "empty.err";
  qbtest::WriteFile(file, "");
  TViewer v(Quote(file));
  HWND dlg = v.WaitWindow(kTitle);
  ASSERT_NE(dlg, nullptr);
  EXPECT_EQ(SendMessageW(GetDlgItem(dlg, 1000), LVM_GETITEMCOUNT, 0, 0), 0);
  // The close box and Escape both arrive as the Close button's command.
  PostMessageW(dlg, WM_CLOSE, 0, 0);
  ASSERT_TRUE(v.WaitEnd());
  EXPECT_EQ(v.ExitCode(), 0u);
}

TEST_F(QbEwProgram, NoFileNameShowsTheMessageAsOneError) {
  TViewer v("NOFILENAME \"Could not delete errors/warnings\"");
  HWND dlg = v.WaitWindow(kTitle);
  ASSERT_NE(dlg, nullptr);
  HWND list = GetDlgItem(dlg, 1000);
  auto rows = v.ReadRows(list);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].Text, "Could not delete errors/warnings");
  EXPECT_EQ(rows[0].Code, "");
  EXPECT_EQ(rows[0].Image, 0);
  EXPECT_EQ(v.ColumnCaption(list, 0), "Error/Warning Messages");
  CloseAndCheck(v, dlg);
}

TEST_F(QbEwProgram, ScheduledRunShownWithTimeWhenNotSuppressed) {
  std::string file = dir_ / "sched.err";
  qbtest::WriteFile(file, "7 Target drive missing\r\n");
  SYSTEMTIME before;
  GetLocalTime(&before);
  TViewer v(Quote(file) + " /RunFromScheduler");
  HWND dlg = v.WaitWindow(kTitle);
  ASSERT_NE(dlg, nullptr);
  SYSTEMTIME after;
  GetLocalTime(&after);
  HWND list = GetDlgItem(dlg, 1000);
  std::string caption = v.ColumnCaption(list, 0);
  char a[64], b[64];
  snprintf(a, sizeof a, "Error/Warning Messages  (occurred at %02d:%02d)", before.wHour, before.wMinute);
  snprintf(b, sizeof b, "Error/Warning Messages  (occurred at %02d:%02d)", after.wHour, after.wMinute);
  EXPECT_TRUE(caption == a || caption == b) << caption;
  auto rows = v.ReadRows(list);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].Code, "7");
  CloseAndCheck(v, dlg);
}

TEST_F(QbEwProgram, ScheduledRunSuppressedByDontShow) {
  std::string file = dir_ / "sched.err";
  qbtest::WriteFile(file, "7 Target drive missing\r\n");
  qbtest::RegWrite("Options\\General", "DontShowEwDlgViaSch", "1");
  {
    TViewer v(Quote(file) + " /RunFromScheduler");
    ASSERT_TRUE(v.Started());
    EXPECT_TRUE(v.EndsWithoutWindow());
  }
  {  // the same file from a run started by hand is shown
    TViewer v(Quote(file));
    HWND dlg = v.WaitWindow(kTitle);
    ASSERT_NE(dlg, nullptr);
    CloseAndCheck(v, dlg);
  }
  {  // the store's false
    qbtest::RegWrite("Options\\General", "DontShowEwDlgViaSch", "0");
    TViewer v(Quote(file) + " /RunFromScheduler");
    HWND dlg = v.WaitWindow(kTitle);
    ASSERT_NE(dlg, nullptr);
    CloseAndCheck(v, dlg);
  }
}

TEST_F(QbEwProgram, BadCommandLinesExitSilently) {
  for (std::string args : {std::string(), std::string("nofilename \"msg\""), Quote(dir_ / "missing.err"),
                           Quote(dir_.path().substr(0, dir_.path().size() - 1))}) {
    TViewer v(args);
    ASSERT_TRUE(v.Started());
    EXPECT_TRUE(v.EndsWithoutWindow()) << args;
    EXPECT_EQ(v.ExitCode(), 0u) << args;
  }
}

TEST_F(QbEwProgram, ALongListShowsNoSidewaysBarAndACutLineWholeInATip) {
  const std::string longLine = " Disk full while writing E:\\Backups\\Quarterly reports of the northern branch "
                               "offices\\Reports 2026-12-09 with the scanned invoices.zip";
  std::string text = "3" + longLine + "\r\n";
  for (int i = 0; i < 30; ++i) text += "0 Short line\r\n";
  qbtest::WriteFile(dir_ / "long.err", text);
  TViewer v(Quote(dir_ / "long.err"));
  HWND dlg = v.WaitWindow(kTitle);
  ASSERT_NE(dlg, nullptr);
  HWND list = GetDlgItem(dlg, 1000);
  EXPECT_EQ(GetWindowLongW(list, GWL_STYLE) & (WS_VSCROLL | WS_HSCROLL), WS_VSCROLL);
  // The pointer resting on the cut line, the first under the header, shows it whole; on a
  // short line, half way down, no tip shows. A move the viewer missed is made again.
  RECT client, head;
  GetClientRect(list, &client);
  GetClientRect(reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0)), &head);
  auto restOn = [&](int y, const std::string& tip) {
    for (int attempt = 0; attempt < 10; ++attempt) {
      POINT p{30 + attempt % 2, y};
      ClientToScreen(list, &p);
      SetCursorPos(p.x, p.y);
      if (qbtest::WaitUntil([&] { return v.ShownTip() == tip; }, 1000)) return true;
    }
    return false;
  };
  EXPECT_TRUE(restOn(head.bottom + 4, longLine)) << v.ShownTip();
  EXPECT_TRUE(restOn((head.bottom + client.bottom) / 2, "<none>")) << v.ShownTip();
  CloseAndCheck(v, dlg);
}

BOOL CALLBACK CollectTexts(HWND wnd, LPARAM param) {
  wchar_t buf[512];
  GetWindowTextW(wnd, buf, 512);
  reinterpret_cast<std::vector<std::string>*>(param)->push_back(tk::Narrow(buf));
  return TRUE;
}

TEST_F(QbEwProgram, FileThatCannotBeOpenedShowsTheBoxAndEnds) {
  std::string file = dir_ / "locked.err";
  qbtest::WriteFile(file, "3 x\r\n");
  HANDLE lock = CreateFileW(tk::Widen(file).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(lock, INVALID_HANDLE_VALUE);
  TViewer v(Quote(file));
  HWND box = v.WaitWindow(L"Quillbank 2.0");
  ASSERT_NE(box, nullptr);
  std::vector<std::string> texts;
  EnumChildWindows(box, CollectTexts, reinterpret_cast<LPARAM>(&texts));
  bool found = false;
  for (auto& t : texts) found = found || t == "Can not open error-log file (" + file + ")";
  EXPECT_TRUE(found);
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  EXPECT_TRUE(v.EndsWithoutWindow());  // the list never appears
  CloseHandle(lock);
  EXPECT_EQ(qbtest::ReadFile(file), "3 x\r\n");
}

}  // namespace
