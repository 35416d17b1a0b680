// The application-wide helpers: lists and masks, files through the shell, folders,
// error-file pruning, the result summaries and the message dialogs.
#include <gtest/gtest.h>
#include <windows.h>
#include <winioctl.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "settings/fernoglobal.h"
#include "settings/fernoini.h"
#include "settings/protocol.h"
#include "support/testutil.h"
#include "toolkit/files.h"
#include "toolkit/strings.h"
#include "toolkit/win_app.h"
#include "toolkit/win_form.h"

namespace {

using qbtest::Exists;
using qbtest::RegRead;
using qbtest::RegWrite;

// ---------------------------------------------------------------------------------
// A dialog of this process as another thread sees it, answered by a click.

std::string WindowText(HWND w) {
  wchar_t buf[1024];
  const int n = GetWindowTextW(w, buf, 1024);
  return tk::Narrow(std::wstring_view(buf, static_cast<size_t>(n > 0 ? n : 0)));
}

std::string ClassOf(HWND w) {
  wchar_t buf[256];
  const int n = GetClassNameW(w, buf, 256);
  return tk::Narrow(std::wstring_view(buf, static_cast<size_t>(n > 0 ? n : 0)));
}

std::vector<HWND> Children(HWND parent) {
  std::vector<HWND> found;
  EnumChildWindows(
      parent,
      [](HWND w, LPARAM lp) -> BOOL {
        reinterpret_cast<std::vector<HWND>*>(lp)->push_back(w);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

struct SeenDialog {
  std::string caption;
  std::vector<std::string> buttons;  // push buttons, in creation order
  std::vector<std::string> texts;    // every child's text
};

// Waits on its own thread for a message dialog of this process, records it and
// clicks the child whose text is `click`; nothing happens when no dialog comes.
class DialogAnswerer {
 public:
  explicit DialogAnswerer(std::string click) : click_(std::move(click)) {
    thread_ = std::thread([this] { Watch(); });
  }
  ~DialogAnswerer() { Stop(); }
  void Stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
  }
  bool Seen() const { return seen_; }
  const SeenDialog& Dialog() const { return dialog_; }

 private:
  void Watch() {
    const ULONGLONG end = GetTickCount64() + 20000;
    while (!stop_ && GetTickCount64() < end) {
      HWND box = nullptr;
      for (HWND w = FindWindowExW(nullptr, nullptr, L"TMessageForm", nullptr); w;
           w = FindWindowExW(nullptr, w, L"TMessageForm", nullptr)) {
        DWORD pid = 0;
        GetWindowThreadProcessId(w, &pid);
        if (pid == GetCurrentProcessId() && IsWindowVisible(w)) box = w;
      }
      if (box) {
        dialog_.caption = WindowText(box);
        HWND target = nullptr;
        for (HWND c : Children(box)) {
          const std::string text = WindowText(c);
          dialog_.texts.push_back(text);
          const LONG style = GetWindowLongW(c, GWL_STYLE);
          const LONG kind = style & BS_TYPEMASK;
          if (tk::SameText(ClassOf(c), "Button") && (kind == BS_PUSHBUTTON || kind == BS_DEFPUSHBUTTON))
            dialog_.buttons.push_back(text);
          if (text == click_ && !target) target = c;
        }
        // Ticks first, when asked for a check box, then the OK button.
        if (target && (GetWindowLongW(target, GWL_STYLE) & BS_TYPEMASK) == BS_AUTOCHECKBOX) {
          SendMessageW(target, BM_CLICK, 0, 0);
          for (HWND c : Children(box))
            if (WindowText(c) == "OK") target = c;
        }
        seen_ = true;
        if (target)
          PostMessageW(target, BM_CLICK, 0, 0);
        else
          PostMessageW(box, WM_CLOSE, 0, 0);
        return;
      }
      Sleep(20);
    }
  }
  std::string click_;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> seen_{false};
  SeenDialog dialog_;
};

TEST(MsgDlg, CodesChooseKindAndButtons) {
  struct Case {
    const char* codes;
    const char* caption;
    std::vector<std::string> buttons;
    const char* click;
    int result;
  };
  const Case cases[] = {
      {"IE TOP", "Error", {"OK"}, "OK", tk::mrOk},
      {"iq yn d2", "Confirm", {"&Yes", "&No"}, "&No", tk::mrNo},
      {"ync", "Information", {"&Yes", "&No", "Cancel"}, "Cancel", tk::mrCancel},
      {"", "Information", {"OK"}, "OK", tk::mrOk},
      {"iw oc", "Warning", {"OK", "Cancel"}, "OK", tk::mrOk},
      {"xyz iqync", "Confirm", {"&Yes", "&No", "Cancel"}, "&Yes", tk::mrYes},
  };
  for (const Case& c : cases) {
    DialogAnswerer answer(c.click);
    const int result = MsgDlg("Some text", c.codes, "a caption that is never used");
    answer.Stop();
    ASSERT_TRUE(answer.Seen()) << c.codes;
    EXPECT_EQ(answer.Dialog().caption, c.caption) << c.codes;
    EXPECT_EQ(answer.Dialog().buttons, c.buttons) << c.codes;
    EXPECT_EQ(result, c.result) << c.codes;
  }
}

TEST(InfoDlgDontShowAgain, TickedBoxStopsFurtherShowing) {
  bool showAgain = true;
  {
    DialogAnswerer answer("Don't show again");
    InfoDlgDontShowAgain("Hello", 130, 100, showAgain);
    answer.Stop();
    ASSERT_TRUE(answer.Seen());
    EXPECT_EQ(answer.Dialog().caption, "Information");
  }
  EXPECT_FALSE(showAgain);
  {
    DialogAnswerer answer("OK");
    InfoDlgDontShowAgain("Hello", 130, 100, showAgain);
    answer.Stop();
    EXPECT_FALSE(answer.Seen());
  }
  showAgain = true;
  {
    DialogAnswerer answer("OK");
    InfoDlgDontShowAgain("Hello", 130, 100, showAgain);
    answer.Stop();
    EXPECT_TRUE(answer.Seen());
  }
  EXPECT_TRUE(showAgain);
}

// ---------------------------------------------------------------------------------

TEST(ShutDownComputer, ShutsDownOrPowersOffThroughTheSeam) {
  qbtest::TempDir dir;
  SetEnvironmentVariableW(L"QB_SESSION_END_LOG", tk::Widen(dir / "session.log").c_str());
  EXPECT_TRUE(ShutDownComputer(true));
  EXPECT_TRUE(ShutDownComputer(false));
  EXPECT_EQ(qbtest::ReadFile(dir / "session.log"),
            "ExitWindowsEx 0x00000001 reason 0x00040000\r\nExitWindowsEx 0x00000008 reason 0x00040000\r\n");
}

TEST(IsInSemicolonList, TrimmedElementsWithoutCase) {
  EXPECT_TRUE(IsInSemicolonList("Backup1", "disk ;  BACKUP1 ; other"));
  EXPECT_TRUE(IsInSemicolonList("last", "first;last"));
  EXPECT_TRUE(IsInSemicolonList("only", "only"));
  EXPECT_FALSE(IsInSemicolonList("Backup", "Backup1;Backup2"));
  EXPECT_FALSE(IsInSemicolonList("x", ""));
  EXPECT_FALSE(IsInSemicolonList("", ""));
}

TEST(ExtensionsToMasks, ExtensionsBecomeMasksAndEmptyItemsGo) {
  EXPECT_EQ(ExtensionsToMasks("txt,doc,readme.me"), "*.txt *.doc readme.me");
  EXPECT_EQ(ExtensionsToMasks(""), "");
  EXPECT_EQ(ExtensionsToMasks("txt,,doc"), "*.txt *.doc");
  EXPECT_EQ(ExtensionsToMasks("\"\",tmp,\"\""), "*.tmp");
  EXPECT_EQ(ExtensionsToMasks("*.bak"), "*.bak");
}

TEST(ShellDeleteFile, MissingFileAndPlainDelete) {
  qbtest::TempDir dir;
  EXPECT_EQ(ShellDeleteFile(dir / "missing.txt", false, nullptr), -1);
  qbtest::WriteFile(dir / "gone.txt", "x");
  EXPECT_EQ(ShellDeleteFile(dir / "gone.txt", false, nullptr), 0);
  EXPECT_FALSE(Exists(dir / "gone.txt"));

  // A bare name is taken from the current folder.
  wchar_t saved[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, saved);
  ASSERT_TRUE(SetCurrentDirectoryW(tk::Widen(dir.path()).c_str()));
  qbtest::WriteFile(dir / "bare.txt", "x");
  const int bare = ShellDeleteFile("bare.txt", false, nullptr);
  const int missingBare = ShellDeleteFile("bare.txt", false, nullptr);
  SetCurrentDirectoryW(saved);
  EXPECT_EQ(bare, 0);
  EXPECT_EQ(missingBare, -1);
  EXPECT_FALSE(Exists(dir / "bare.txt"));
}

TEST(GetFileSize64, FilesOnlyAndMinusOneOtherwise) {
  qbtest::TempDir dir;
  qbtest::WriteFile(dir / "five.bin", "12345");
  EXPECT_EQ(GetFileSize64(dir / "five.bin"), 5);
  EXPECT_EQ(GetFileSize64(dir / "none.bin"), -1);
  qbtest::MakeDirs(dir / "sub");
  EXPECT_EQ(GetFileSize64(dir / "sub"), -1);
  // Beyond 32 bits (a sparse file takes no room).
  HANDLE h = CreateFileW(tk::Widen(dir / "big.bin").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  DWORD ret = 0;
  DeviceIoControl(h, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &ret, nullptr);
  LARGE_INTEGER size;
  size.QuadPart = 5LL * 1024 * 1024 * 1024 + 3;
  ASSERT_TRUE(SetFilePointerEx(h, size, nullptr, FILE_BEGIN));
  ASSERT_TRUE(SetEndOfFile(h));
  CloseHandle(h);
  EXPECT_EQ(GetFileSize64(dir / "big.bin"), size.QuadPart);
}

TEST(EnsureDirExists, MakesParentsAndRefusesWhatCannotBe) {
  qbtest::TempDir dir;
  EXPECT_FALSE(EnsureDirExists(""));
  EXPECT_TRUE(EnsureDirExists(dir / "a\\b\\c"));
  EXPECT_TRUE(tk::DirectoryExists(dir / "a\\b\\c"));
  EXPECT_TRUE(EnsureDirExists(dir / "a\\b\\c\\"));
  qbtest::WriteFile(dir / "file", "x");
  EXPECT_FALSE(EnsureDirExists(dir / "file\\sub"));
}

// ---------------------------------------------------------------------------------

class RegistryHelpers : public ::testing::Test {
 protected:
  void SetUp() override { qbtest::ClearQuillbankKey(); }
  void TearDown() override { qbtest::ClearQuillbankKey(); }
};

// A window of the scheduler's class and title that counts the status messages.
class FakeScheduler {
 public:
  FakeScheduler() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = QbSchWindowClass;
    RegisterClassW(&wc);
    wnd_ = CreateWindowExW(0, QbSchWindowClass, QbSchWindowTitle, 0, 0, 0, 10, 10, nullptr, nullptr,
                           wc.hInstance, nullptr);
  }
  ~FakeScheduler() { DestroyWindow(wnd_); }
  int Received() {
    int n = 0;
    MSG msg;
    while (PeekMessageW(&msg, wnd_, WM_QBSCH_RESULTSCHANGED, WM_QBSCH_RESULTSCHANGED, PM_REMOVE)) {
      EXPECT_EQ(msg.wParam, 0u);
      EXPECT_EQ(msg.lParam, 0);
      ++n;
    }
    return n;
  }

 private:
  HWND wnd_ = nullptr;
};

TEST_F(RegistryHelpers, SummariesWithoutProfilesAreWrittenTrue) {
  FakeScheduler scheduler;
  UpdateAllRunsOK();
  UpdateAllTestsOK();
  EXPECT_EQ(RegRead("Options\\General", "AllRunsOK"), "1");
  EXPECT_EQ(RegRead("Options\\General", "AllTestsOK"), "1");
  EXPECT_EQ(scheduler.Received(), 2);
}

TEST_F(RegistryHelpers, OneFailedProfileMakesTheSummaryFalse) {
  RegWrite("Profile Names", "ProfileCount", "2");
  RegWrite("Profile Names", "P0", "Docs");
  RegWrite("Profile Names", "P1", "Mail");
  RegWrite("Profiles\\Docs", "ze", "0");
  RegWrite("Profiles\\Mail", "ze", "9");
  RegWrite("Profiles\\Docs", "te", "3");
  UpdateAllRunsOK();
  UpdateAllTestsOK();
  EXPECT_EQ(RegRead("Options\\General", "AllRunsOK"), "0");
  EXPECT_EQ(RegRead("Options\\General", "AllTestsOK"), "0");
  RegWrite("Profiles\\Mail", "ze", "0");
  UpdateAllRunsOK();
  EXPECT_EQ(RegRead("Options\\General", "AllRunsOK"), "1");
}

class ErrorFilePruning : public RegistryHelpers {
 protected:
  void SetUp() override {
    RegistryHelpers::SetUp();
    dir_ = GetErrorsDir();
    ASSERT_TRUE(EnsureErrorsDir());
  }
  std::string dir_;
};

TEST_F(ErrorFilePruning, NoDaysToKeepEmptiesTheErrorsFolder) {
  qbtest::WriteFile(dir_ + "2001 01 01 - 00 00 00 000.err", "0 old\r\n");
  qbtest::WriteFile(dir_ + "prune test keep.txt", "not an error file");
  const std::string fresh = NewErrorFileName();
  qbtest::WriteFile(fresh, "0 new\r\n");
  DialogAnswerer answer("OK");
  DeleteOldErrorFiles(0, true);
  answer.Stop();
  EXPECT_FALSE(answer.Seen());
  EXPECT_TRUE(tk::FindFiles(dir_ + "*.err").empty());
  EXPECT_TRUE(Exists(dir_ + "prune test keep.txt"));
  tk::RemoveFile(dir_ + "prune test keep.txt");
}

TEST_F(ErrorFilePruning, AFileThatStaysIsReportedOnce) {
  const std::string a = dir_ + "2001 01 01 - 00 00 00 001.err", b = dir_ + "2001 01 01 - 00 00 00 002.err";
  qbtest::WriteFile(a, "0 a\r\n");
  qbtest::WriteFile(b, "0 b\r\n");
  HANDLE lock = CreateFileW(tk::Widen(a).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(lock, INVALID_HANDLE_VALUE);
  DialogAnswerer answer("OK");
  DeleteOldErrorFiles(0, true);
  answer.Stop();
  CloseHandle(lock);
  ASSERT_TRUE(answer.Seen());
  EXPECT_EQ(answer.Dialog().caption, "Warning");
  EXPECT_NE(std::find(answer.Dialog().texts.begin(), answer.Dialog().texts.end(), "Could not delete errors/warnings"),
            answer.Dialog().texts.end());
  EXPECT_FALSE(Exists(b));
  tk::RemoveFile(a);
}

TEST_F(ErrorFilePruning, WithoutTheFolderNothingHappens) {
  const std::string folder = tk::ExcludeTrailingBackslash(dir_);
  const std::string aside = folder + ".pruning-aside";
  ASSERT_TRUE(tk::RenameFile(folder, aside));
  DialogAnswerer answer("OK");
  DeleteOldErrorFiles(0, true);
  answer.Stop();
  const bool made = tk::DirectoryExists(folder);
  if (made) RemoveDirectoryW(tk::Widen(folder).c_str());
  ASSERT_TRUE(tk::RenameFile(aside, folder));
  EXPECT_FALSE(made);
  EXPECT_FALSE(answer.Seen());
}

TEST(ZipHasEncryptedItems, SeesTheEncryptedItem) {
  qbtest::TempDir dir;
  qbtest::WriteFile(dir / "a.txt", "alpha alpha alpha");
  qbtest::WriteFile(dir / "b.txt", "beta");
  const std::string u = qbtest::ToUnixPath(dir.path());
  ASSERT_EQ(qbtest::RunUnix("cd '" + u + "' && zip -q plain.zip a.txt b.txt && zip -q enc.zip a.txt && zip -q -P pw enc.zip b.txt"), 0);
  EXPECT_FALSE(ZipHasEncryptedItems(dir / "plain.zip"));
  EXPECT_TRUE(ZipHasEncryptedItems(dir / "enc.zip"));
  EXPECT_FALSE(ZipHasEncryptedItems(dir / "missing.zip"));
}

TEST(CountCheckedItems, CountsTicks) {
  tk::TForm form;
  tk::TListView list;
  form.Declare({{.Control = list, .Name = "lv", .Caption = "", .Bounds = {0, 0, 200, 100}, .Style = tk::lvCheckBoxes}});
  form.HandleNeeded();
  list.AddColumn("c", 100);
  for (const char* s : {"a", "b", "c"}) list.AddItem(s);
  EXPECT_EQ(CountCheckedItems(list), 0);
  list.SetChecked(0, true);
  list.SetChecked(2, true);
  EXPECT_EQ(CountCheckedItems(list), 2);
  form.DestroyHandle();
}

}  // namespace
