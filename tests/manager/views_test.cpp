// The zip log view, the error view and the About box as forms in this process:
// driven with messages, their controls read back, message boxes answered from a
// second thread.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "manager/about.h"
#include "manager/ew.h"
#include "manager/ziplog.h"
#include "settings/fernoini.h"
#include "support/testutil.h"
#include "toolkit/files.h"
#include "toolkit/strings.h"

using namespace qbtest;

namespace {

std::string Text(HWND h) {
  wchar_t buf[512] = {};
  GetWindowTextW(h, buf, 512);
  return tk::Narrow(buf);
}

// Answers the message dialogs that appear, in order, by clicking the button with the
// next text of the queue; keeps the caption and texts of every dialog seen.
class BoxAnswerer {
 public:
  explicit BoxAnswerer(std::vector<std::string> buttons)
      : buttons_(buttons.begin(), buttons.end()), thread_([this] { Run(); }) {}
  ~BoxAnswerer() {
    stop_ = true;
    thread_.join();
  }
  struct TBox {
    std::string Caption;
    std::vector<std::string> Texts;
  };
  std::vector<TBox> Seen() {
    std::lock_guard<std::mutex> lock(m_);
    return seen_;
  }

 private:
  void Run() {
    HWND last = nullptr;
    while (!stop_) {
      HWND box = FindWindowW(L"TMessageForm", nullptr);
      if (box && box != last && IsWindowVisible(box) && IsWindowEnabled(box)) {
        TBox seen{Text(box), {}};
        for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) seen.Texts.push_back(Text(c));
        std::string button;
        {
          std::lock_guard<std::mutex> lock(m_);
          seen_.push_back(seen);
          if (!buttons_.empty()) {
            button = buttons_.front();
            buttons_.pop_front();
          }
        }
        HWND b = button.empty() ? nullptr : FindWindowExW(box, nullptr, L"Button", tk::Widen(button).c_str());
        if (b) PostMessageW(b, BM_CLICK, 0, 0);
        else PostMessageW(box, WM_SYSCOMMAND, SC_CLOSE, 0);
        last = box;
      } else if (!box) {
        last = nullptr;
      }
      Sleep(20);
    }
  }
  std::mutex m_;
  std::deque<std::string> buttons_;
  std::vector<TBox> seen_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

bool BoxSaid(const BoxAnswerer::TBox& box, const std::string& text) {
  for (auto& t : box.Texts)
    if (t == text) return true;
  return false;
}

// A user's click on a list box item: selection, then the notification its form gets.
void ClickListItem(tk::TListBox& list, int index) {
  SendMessageW(list.Handle(), LB_SETCURSEL, index, 0);
  SendMessageW(GetParent(list.Handle()), WM_COMMAND, MAKEWPARAM(list.ControlId(), LBN_SELCHANGE),
               reinterpret_cast<LPARAM>(list.Handle()));
}

void Pump() { tk::Application.ProcessMessages(); }

// Each case starts with an empty settings key and its own files in the shared folders.
class Views : public ::testing::Test {
 protected:
  void SetUp() override {
    ClearQuillbankKey();
    logs_ = GetLogsDir();
    errors_ = GetErrorsDir();
    MakeDirs(logs_);
    MakeDirs(errors_);
    for (auto& name : ListDir(errors_)) DeleteFileW(tk::Widen(errors_ + name).c_str());
  }
  void TearDown() override {
    for (auto& f : made_) {
      SetFileAttributesW(tk::Widen(f).c_str(), FILE_ATTRIBUTE_NORMAL);
      DeleteFileW(tk::Widen(f).c_str());
    }
    for (auto& name : ListDir(errors_)) DeleteFileW(tk::Widen(errors_ + name).c_str());
    ClearQuillbankKey();
  }
  std::string Log(const std::string& name, const std::string& text) { return Make(logs_ + name, text); }
  std::string Err(const std::string& name, const std::string& text) { return Make(errors_ + name, text); }
  std::string Make(const std::string& path, const std::string& text) {
    WriteFile(path, text);
    made_.push_back(path);
    return path;
  }
  std::string logs_, errors_;
  std::vector<std::string> made_;
};

// ---------------------------------------------------------------- zip log view

TEST_F(Views, ZipLogOfAProfileWithoutLogsShowsNothing) {
  Log("Views Other ziplog 2024 01 01 1000.txt", "other\r\n");
  TZipLogForm f;
  f.ProfileName = "Views Lonely";
  f.Show();
  EXPECT_EQ(f.Caption(), "ZIP Log");
  EXPECT_EQ(f.flbLogs.Count(), 0);
  EXPECT_EQ(f.flbLogs.ItemIndex(), -1);
  EXPECT_EQ(f.RichEdit1.Text(), "");
  f.Close();
}

TEST_F(Views, ZipLogListsOnlyTheWholeMaskNewestFirstAndShowsTheSelectedText) {
  Log("Views A ziplog 2024 01 01 1000.txt", "first run\r\nline two\r\n");
  Log("Views A ziplog 2024 01 02 0900.txt", "second run\r\n  adding: a.txt (deflated 50%)\r\n");
  std::string hidden = Log("Views A ziplog 2023 12 31 2359.txt", "oldest\r\n");
  SetFileAttributesW(tk::Widen(hidden).c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY);
  // Like names of other profiles, and a log of another kind.
  Log("Views A B ziplog 2024 01 03 0900.txt", "profile A B\r\n");
  Log("Views AB ziplog 2024 01 03 0900.txt", "profile AB\r\n");
  Log("Views A ziplog 2024 01 04 0900.log", "not a text log\r\n");
  Log("Views A 2024 01 05 0900.txt", "no ziplog word\r\n");

  TZipLogForm f;
  f.ProfileName = "Views A";
  f.Show();
  EXPECT_EQ(f.flbLogs.Items(),
            (std::vector<std::string>{"Views A ziplog 2024 01 02 0900.txt", "Views A ziplog 2024 01 01 1000.txt",
                                      "Views A ziplog 2023 12 31 2359.txt"}));
  EXPECT_EQ(f.flbLogs.ItemIndex(), 0);
  EXPECT_EQ(f.RichEdit1.Lines(),
            (std::vector<std::string>{"second run", "  adding: a.txt (deflated 50%)"}));

  ClickListItem(f.flbLogs, 2);
  EXPECT_EQ(f.RichEdit1.Lines(), (std::vector<std::string>{"oldest"}));
  ClickListItem(f.flbLogs, 1);
  EXPECT_EQ(f.RichEdit1.Lines(), (std::vector<std::string>{"first run", "line two"}));
  // The text is for reading only.
  EXPECT_TRUE(GetWindowLongW(f.RichEdit1.Handle(), GWL_STYLE) & ES_READONLY);
  f.Close();

  // The profile with the longer name sees only its own.
  TZipLogForm g;
  g.ProfileName = "Views A B";
  g.Show();
  EXPECT_EQ(g.flbLogs.Items(), (std::vector<std::string>{"Views A B ziplog 2024 01 03 0900.txt"}));
  EXPECT_EQ(g.RichEdit1.Lines(), (std::vector<std::string>{"profile A B"}));
  g.Close();
}

TEST_F(Views, ZipLogShowsLongLinesWholeAndTextBeyondTheEditLimit) {
  std::string longLine(3000, 'x');
  std::string big;
  for (int i = 0; i < 4000; ++i) big += "  adding: folder\\file" + std::to_string(i) + ".dat (deflated 12%)\r\n";
  Log("Views Big ziplog 2024 02 01 0800.txt", longLine + "\r\n" + big);
  TZipLogForm f;
  f.ProfileName = "Views Big";
  f.Show();
  std::vector<std::string> lines = f.RichEdit1.Lines();
  ASSERT_EQ(lines.size(), 4001u);
  EXPECT_EQ(lines[0], longLine);
  EXPECT_EQ(lines[4000], "  adding: folder\\file3999.dat (deflated 12%)");
  // One screen line per text line: nothing is wrapped.
  EXPECT_EQ(SendMessageW(f.RichEdit1.Handle(), EM_GETLINECOUNT, 0, 0), 4002);
  f.Close();
}

TEST_F(Views, ZipLogComesBackAtTheSamePlaceAndSizeAndKeepsItsLayout) {
  {
    TZipLogForm f;
    f.ProfileName = "Views Pos";
    f.Show();
    // The stored default place until the window has been closed once.
    EXPECT_EQ(f.Bounds(), (tk::TBounds{130, 70, 540, 420}));
    tk::TBounds close0 = f.btnClose.Bounds(), rich0 = f.RichEdit1.Bounds(), list0 = f.flbLogs.Bounds();
    f.SetBounds(150, 90, 640, 500);
    Pump();
    // Anchors: the text grows both ways, the list and the button follow the bottom
    // right corner, the status bar stays along the bottom.
    EXPECT_EQ(f.RichEdit1.Bounds().Width, rich0.Width + 100);
    EXPECT_EQ(f.RichEdit1.Bounds().Height, rich0.Height + 80);
    EXPECT_EQ(f.flbLogs.Bounds(), (tk::TBounds{list0.Left, list0.Top + 80, list0.Width + 100, list0.Height}));
    EXPECT_EQ(f.btnClose.Bounds(), (tk::TBounds{close0.Left + 100, close0.Top + 80, close0.Width, close0.Height}));
    EXPECT_EQ(f.StatusBar1.Top() + f.StatusBar1.Height(), f.ClientHeight());
    EXPECT_EQ(f.StatusBar1.Width(), f.ClientWidth());
    f.Close();
  }
  EXPECT_EQ(RegRead("Options\\General", "LogFormPos"), "150,90,640,500");
  TZipLogForm g;
  g.ProfileName = "Views Pos";
  g.Show();
  EXPECT_EQ(g.Bounds(), (tk::TBounds{150, 90, 640, 500}));
  g.Close();
}

TEST_F(Views, ZipLogClosesWithEscapeAndSavesItsPlace) {
  Log("Views Esc ziplog 2024 03 01 0700.txt", "log\r\n");
  RegWrite("Options\\General", "LogFormPos", "60,50,500,400");
  TZipLogForm f;
  f.ProfileName = "Views Esc";
  f.HandleNeeded();
  EXPECT_EQ(GetWindowLongW(f.Handle(), GWL_STYLE) & WS_SYSMENU, 0) << "no border icons";
  // Escape reaches the form first, whichever control has it.
  PostMessageW(f.RichEdit1.Handle(), WM_KEYDOWN, VK_ESCAPE, 1);
  EXPECT_EQ(f.ShowModal(), tk::mrCancel);
  EXPECT_EQ(RegRead("Options\\General", "LogFormPos"), "60,50,500,400");
  // The Close button ends it too.
  PostMessageW(f.btnClose.Handle(), BM_CLICK, 0, 0);
  EXPECT_EQ(f.ShowModal(), tk::mrCancel);
}

TEST_F(Views, ZipLogKeepsTheDesignedPlaceForAnIncompleteStoredPosition) {
  for (const char* bad : {"1,2,3", "10,20,abc,300", "10,20,0,300"}) {
    RegWrite("Options\\General", "LogFormPos", bad);
    TZipLogForm f;
    f.ProfileName = "Views Bad";
    f.Show();
    EXPECT_EQ(f.Bounds(), (tk::TBounds{203, 140, 529, 427})) << bad;
    f.Close();
  }
}

// ---------------------------------------------------------------- error view

TEST_F(Views, ErrorViewWithoutFilesHasEmptyListsAndNoClearAll) {
  RegWrite("Options\\General", "DaysToKeepErrors", "9");
  Make(errors_ + "readme.txt", "not an error file\r\n");
  TEwForm f;
  f.Show();
  EXPECT_EQ(f.Caption(), "Errors/Warnings");
  EXPECT_EQ(f.flbErr.Count(), 0);
  EXPECT_EQ(f.lvEw.Count(), 0);
  EXPECT_FALSE(f.btnClearAll.Enabled());
  EXPECT_FALSE(IsWindowEnabled(f.btnClearAll.Handle()));
  EXPECT_EQ(f.lblLastXDays.Caption(), "Errors/Warnings older than 9 days are automatically deleted");
  EXPECT_EQ(f.lvEw.ColumnCaption(0), "Error/Warning");
  EXPECT_EQ(f.lvEw.ColumnCaption(1), "Error");
  EXPECT_EQ(f.lvEw.ColumnWidth(0), 358);
  EXPECT_TRUE(f.flbErr.Focused());
  f.Close();
}

TEST_F(Views, ErrorFilesNewestFirstWithAnIconPerLineKind) {
  Err("2024 01 01 - 10 00 00 000.err", "0 Profile skipped\r\n3 Disk full\r\nDisk gone\r\n\r\n-7 odd\r\n");
  Err("2024 01 02 - 08 30 00 000.err", "12 Could not open the zip\r\n");
  TEwForm f;
  f.Show();
  EXPECT_EQ(f.flbErr.Items(),
            (std::vector<std::string>{"2024 01 02 - 08 30 00 000.err", "2024 01 01 - 10 00 00 000.err"}));
  EXPECT_EQ(f.flbErr.ItemIndex(), 0);
  EXPECT_TRUE(f.btnClearAll.Enabled());
  EXPECT_EQ(f.lblLastXDays.Caption(), "Errors/Warnings older than 5 days are automatically deleted");
  ASSERT_EQ(f.lvEw.Count(), 1);
  EXPECT_EQ(f.lvEw.ItemCaption(0), " Could not open the zip");
  EXPECT_EQ(f.lvEw.SubItem(0, 0), "12");
  EXPECT_EQ(f.lvEw.ImageIndex(0), TEwForm::kImageError);

  ClickListItem(f.flbErr, 1);
  ASSERT_EQ(f.lvEw.Count(), 4);
  EXPECT_EQ(f.lvEw.ItemCaption(0), " Profile skipped");
  EXPECT_EQ(f.lvEw.ImageIndex(0), TEwForm::kImageWarning);
  EXPECT_EQ(f.lvEw.SubItem(0, 0), "");
  EXPECT_EQ(f.lvEw.ItemCaption(1), " Disk full");
  EXPECT_EQ(f.lvEw.ImageIndex(1), TEwForm::kImageError);
  EXPECT_EQ(f.lvEw.SubItem(1, 0), "3");
  // A line without a code is shown whole, as an error.
  EXPECT_EQ(f.lvEw.ItemCaption(2), "Disk gone");
  EXPECT_EQ(f.lvEw.ImageIndex(2), TEwForm::kImageError);
  EXPECT_EQ(f.lvEw.SubItem(2, 0), "");
  EXPECT_EQ(f.lvEw.SubItem(3, 0), "-7");
  // The two images: a warning and an error icon.
  EXPECT_EQ(f.ImageList1.Count(), 2);
  EXPECT_EQ(reinterpret_cast<HIMAGELIST>(SendMessageW(f.lvEw.Handle(), LVM_GETIMAGELIST, LVSIL_SMALL, 0)),
            f.ImageList1.Handle());
  f.Close();
}

TEST_F(Views, AnErrorFileThatCannotBeOpenedIsReportedAndTheLinesStay) {
  Err("2024 01 01 - 10 00 00 000.err", "4 kept line\r\n");
  std::string locked = Err("2024 01 02 - 10 00 00 000.err", "5 unreadable\r\n");
  TEwForm f;
  f.Show();
  ASSERT_EQ(f.lvEw.Count(), 1);
  ClickListItem(f.flbErr, 1);
  ASSERT_EQ(f.lvEw.Count(), 1);
  EXPECT_EQ(f.lvEw.ItemCaption(0), " kept line");

  HANDLE h = CreateFileW(tk::Widen(locked).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  {
    BoxAnswerer answer({"OK"});
    ClickListItem(f.flbErr, 0);
    auto seen = answer.Seen();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].Caption, "Information");
    EXPECT_TRUE(BoxSaid(seen[0], "Can not open error-log file (" + locked + ")"));
  }
  CloseHandle(h);
  ASSERT_EQ(f.lvEw.Count(), 1);
  EXPECT_EQ(f.lvEw.ItemCaption(0), " kept line");
  f.Close();
}

TEST_F(Views, ClearAllAsksAndDeletesEveryErrorFile) {
  Err("2024 01 01 - 10 00 00 000.err", "0 a\r\n");
  Err("2024 01 02 - 10 00 00 000.err", "1 b\r\n");
  TEwForm f;
  f.Show();
  {
    BoxAnswerer answer({"&No"});
    PostMessageW(f.btnClearAll.Handle(), BM_CLICK, 0, 0);
    ASSERT_TRUE(tk::Application.ProcessUntil([&] { return answer.Seen().size() == 1; }, 10000));
    Pump();
    auto seen = answer.Seen();
    EXPECT_EQ(seen[0].Caption, "Confirm");
    EXPECT_TRUE(BoxSaid(seen[0], "Delete all errors/warnings?"));
  }
  EXPECT_EQ(ListDir(errors_).size(), 2u);
  EXPECT_EQ(f.flbErr.Count(), 2);
  {
    BoxAnswerer answer({"&Yes"});
    f.btnClearAll.Click();
    EXPECT_EQ(answer.Seen().size(), 1u);
  }
  EXPECT_TRUE(ListDir(errors_).empty());
  EXPECT_EQ(f.flbErr.Count(), 0);
  EXPECT_EQ(f.lvEw.Count(), 0);
  EXPECT_FALSE(f.btnClearAll.Enabled());
  f.Close();
}

TEST_F(Views, AFileInUseStaysAfterClearAllWithOneWarning) {
  Err("2024 01 01 - 10 00 00 000.err", "0 old\r\n");
  std::string busy = Err("2024 01 02 - 10 00 00 000.err", "2 in use\r\n");
  Err("2024 01 03 - 10 00 00 000.err", "3 newest\r\n");
  // Another program holds it open for reading and lets nobody delete it.
  HANDLE h = CreateFileW(tk::Widen(busy).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  TEwForm f;
  f.Show();
  std::vector<BoxAnswerer::TBox> seen;
  {
    BoxAnswerer answer({"&Yes", "OK"});
    f.btnClearAll.Click();
    seen = answer.Seen();
  }
  CloseHandle(h);
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[1].Caption, "Warning");
  EXPECT_TRUE(BoxSaid(seen[1], "Could not delete errors/warnings"));
  EXPECT_EQ(ListDir(errors_), (std::vector<std::string>{"2024 01 02 - 10 00 00 000.err"}));
  EXPECT_EQ(f.flbErr.Items(), (std::vector<std::string>{"2024 01 02 - 10 00 00 000.err"}));
  ASSERT_EQ(f.lvEw.Count(), 1);
  EXPECT_EQ(f.lvEw.ItemCaption(0), " in use");
  EXPECT_TRUE(f.btnClearAll.Enabled());
  f.Close();
}

// ---------------------------------------------------------------- About box

TEST_F(Views, AboutBoxShowsTheProductVersionAndTheWebAddress) {
  const std::string expected = "Quillbank 2.0";
  TAboutForm f;
  f.HandleNeeded();
  EXPECT_EQ(f.Caption(), "About Quillbank");
  EXPECT_EQ(f.lblQbVerTitle.Caption(), expected);
  EXPECT_EQ(f.lblWWW.Caption(), kProductWebAddress);
  EXPECT_EQ(f.QbLogoFrame1.Width(), 95);
  EXPECT_TRUE(f.btnOK.Default());
  PostMessageW(f.btnOK.Handle(), BM_CLICK, 0, 0);
  EXPECT_EQ(f.ShowModal(), tk::mrOk);
  // Shown again, it keeps its labels.
  PostMessageW(f.btnOK.Handle(), WM_KEYDOWN, VK_RETURN, 1);
  EXPECT_EQ(f.ShowModal(), tk::mrOk);
  EXPECT_EQ(f.lblQbVerTitle.Caption(), expected);
}

TEST_F(Views, AboutBoxClosesWithEscapeAndItsLinkRunsTheWebSiteAction) {
  TAboutForm f;
  int opened = 0;
  f.OnWebSite = [&] { ++opened; };
  f.HandleNeeded();
  PostMessageW(f.btnOK.Handle(), WM_KEYDOWN, VK_ESCAPE, 1);
  EXPECT_EQ(f.ShowModal(), tk::mrCancel);
  EXPECT_EQ(opened, 0);

  f.Show();
  Pump();
  SendMessageW(f.lblWWW.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
  SendMessageW(f.lblWWW.Handle(), WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
  Pump();
  EXPECT_EQ(opened, 1);
  f.Hide();
}

TEST_F(Views, TheAboutBoxsLinkIsUnderlinedAsFarAsItsTextGoes) {
  TAboutForm f;
  f.Show();
  // The last blue column of each row of the link: the letters', then the underline's.
  std::vector<int> rowEnds;
  for (const auto& ink : qbtest::InkRows(f.lblWWW.Handle()))
    if (ink.second >= 0) rowEnds.push_back(ink.second);
  f.Hide();
  ASSERT_GE(rowEnds.size(), 3u);
  EXPECT_NEAR(rowEnds.back(), *std::max_element(rowEnds.begin(), rowEnds.end() - 1), 1);
}

}  // namespace
