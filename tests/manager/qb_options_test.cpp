// Qb.exe's Options action from outside: the dialog opened from the View menu with the
// keys a user presses, a hint on one of its controls, a date format chosen, OK, and the
// main window's rows read back.
#include "manager/qb_fixture.h"

namespace qb_test {
namespace {

// The combo box among a window's controls (of another process) that offers item.
HWND ComboOffering(HWND window, const std::string& item) {
  struct TSearch {
    std::wstring Item;
    HWND Found = nullptr;
  } search{tk::Widen(item)};
  EnumChildWindows(
      window,
      [](HWND w, LPARAM p) -> BOOL {
        auto* s = reinterpret_cast<TSearch*>(p);
        wchar_t cls[32] = {0};
        GetClassNameW(w, cls, 32);
        if (lstrcmpiW(cls, L"ComboBox") == 0 &&
            SendMessageW(w, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(s->Item.c_str())) >= 0)
          s->Found = w;
        return !s->Found;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.Found;
}

// The text a control of another process shows (asked, not its stored caption).
std::string ShownText(HWND control) {
  wchar_t text[256] = {0};
  SendMessageW(control, WM_GETTEXT, 255, reinterpret_cast<LPARAM>(text));
  return tk::Narrow(text);
}

class QbOptions : public QbProgram {};

TEST_F(QbOptions, OkShowsTheRowsInTheNewDateFormatAtOnce) {
  AddProfile("Photos", {{"zf", dir_ / "Photos.zip"}, {"lrun", "45000.5"}, {"ltst", "45100"}});
  ListProfiles({"Photos"});
  HWND main = StartMain();
  ASSERT_NE(main, nullptr);
  const HWND list = FindLists(main).Profiles;
  ASSERT_EQ(ReadRows(list).at(0).at(1), "03/15/2023  12:00:00 PM");

  HWND options = OpenFromMenu(*mainProcess_, main, 2, 1, L"TOptionsForm");  // View, Options
  ASSERT_NE(options, nullptr) << "the options dialog did not open";
  // A dialog left open by a failed check is cancelled, so the manager can close.
  struct TCancel {
    HWND Dialog;
    ~TCancel() {
      if (IsWindowVisible(Dialog)) PostMessageW(Dialog, WM_CLOSE, 0, 0);
    }
  } cancel{options};
  // The pointer resting on a control with a hint shows it, as on the main window.
  HWND twoColors = static_cast<HWND>(qbtest::FindChildByText(options, "Use alternate colors for list-views"));
  ASSERT_NE(twoColors, nullptr);
  RECT r{};
  GetWindowRect(twoColors, &r);
  SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  HWND hint = static_cast<HWND>(mainProcess_->FindProcessWindow(L"TShadowedHintWindow", 5000));
  ASSERT_NE(hint, nullptr) << "no hint came";
  EXPECT_EQ(qbtest::WindowText(hint), "Improves readability");

  HWND dates = ComboOffering(options, "dd-mmm-yyyy");
  ASSERT_NE(dates, nullptr);
  EXPECT_EQ(ShownText(dates), "mm/dd/yyyy") << "the dialog shows the stored format";
  SendMessageW(dates, CB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(L"dd-mmm-yyyy"));
  HWND includeTime = static_cast<HWND>(qbtest::FindChildByText(options, "Include time"));
  ASSERT_NE(includeTime, nullptr);
  PostMessageW(includeTime, BM_CLICK, 0, 0);
  // The posted click is handled after any sent message, so wait for its effect itself.
  ASSERT_TRUE(WaitFor([&] { return SendMessageW(includeTime, BM_GETCHECK, 0, 0) == BST_UNCHECKED; }, 10000));
  ASSERT_TRUE(PressButton(options, "OK"));
  EXPECT_TRUE(WaitFor([&] { return !IsWindowVisible(options); }, 10000));
  Settle(main);

  // Both date columns, without the time.
  const auto rows = ReadRows(list);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][1], "15-Mar-2023");
  EXPECT_EQ(rows[0][6], "23-Jun-2023");
  EXPECT_EQ(qbtest::RegRead(kGeneral, "DateFormat"), "dd-mmm-yyyy");
  EXPECT_EQ(qbtest::RegRead(kGeneral, "IncludeTime"), "0");

  EXPECT_EQ(CloseMain(main), 0);
}

}  // namespace
}  // namespace qb_test
