// The memo window: its comma text, its size rules and its keys, driven from a second
// thread while Execute runs the modal loop.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>

#include "support/testutil.h"
#include "controls/memodialog.h"

using g32::TMemoDialog;

namespace {

HWND WaitMemoForm(const wchar_t* caption) {
  for (ULONGLONG end = GetTickCount64() + 20000; GetTickCount64() < end; Sleep(10)) {
    HWND w = FindWindowW(L"TMemoForm", caption);
    if (w && IsWindowVisible(w)) return w;
  }
  return nullptr;
}
HWND Memo(HWND form) { return FindWindowExW(form, nullptr, L"EDIT", nullptr); }
HWND Button(HWND form, const wchar_t* caption) { return FindWindowExW(form, nullptr, L"BUTTON", caption); }

using qbtest::TPerson;

}  // namespace

TEST(MemoDialog, CommaTextBothWays) {
  TMemoDialog d;
  d.SetCommaText("first,\"with blank\",\"a,b\"");
  EXPECT_EQ(d.Text, "first\r\nwith blank\r\na,b\r\n");
  EXPECT_EQ(d.GetCommaText(), "first,\"with blank\",\"a,b\"");
  d.Text = "LABEL 1\r\nBACKUP";
  EXPECT_EQ(d.GetCommaText(), "\"LABEL 1\",BACKUP");
}

TEST(MemoDialog, ButtonsBelowKeepThreeButtonWidthsAndEscapeKeepsText) {
  TMemoDialog d;
  d.Caption = "Media names";
  d.Prompt = "Enter volume labels";
  d.MemoWidth = 50;
  d.MemoHeight = 60;
  d.Text = "OLD";
  TPerson person([] {
    HWND f = WaitMemoForm(L"Media names");
    ASSERT_NE(f, nullptr);
    RECT r;
    GetClientRect(f, &r);
    EXPECT_EQ(r.right, 3 * 75 + 2 * 10);
    RECT ok, cancel;
    GetWindowRect(Button(f, L"OK"), &ok);
    GetWindowRect(Button(f, L"Cancel"), &cancel);
    EXPECT_EQ(cancel.left - ok.right, 8);
    EXPECT_EQ(ok.top, cancel.top);
    SetWindowTextW(Memo(f), L"changed");
    PostMessageW(Memo(f), WM_KEYDOWN, VK_ESCAPE, 0);
  });
  EXPECT_FALSE(d.Execute());
  EXPECT_EQ(d.Text, "OLD");
}

TEST(MemoDialog, TopRightButtonsEnterMakesANewLineOkTakesTheText) {
  TMemoDialog d;
  d.Caption = "Default comment";
  d.OKCancelAtTopRight = true;
  d.MemoWidth = 120;
  d.MemoHeight = 130;
  d.Text = "one";
  TPerson person([] {
    HWND f = WaitMemoForm(L"Default comment");
    ASSERT_NE(f, nullptr);
    HWND memo = Memo(f);
    RECT r, m, ok, cancel;
    GetClientRect(f, &r);
    GetWindowRect(memo, &m);
    EXPECT_EQ(m.right - m.left, 120);
    EXPECT_EQ(r.right, 120 + 3 * 10 + 75);
    GetWindowRect(Button(f, L"OK"), &ok);
    GetWindowRect(Button(f, L"Cancel"), &cancel);
    EXPECT_EQ(ok.left, cancel.left);
    EXPECT_EQ(cancel.top - ok.top, 25 + 8);
    SendMessageW(memo, EM_SETSEL, 3, 3);
    PostMessageW(memo, WM_KEYDOWN, VK_RETURN, 0);  // translated into a new line
    PostMessageW(memo, WM_KEYDOWN, 'T', 0);
    for (ULONGLONG end = GetTickCount64() + 20000; GetTickCount64() < end && GetWindowTextLengthW(memo) < 6;) Sleep(10);
    PostMessageW(memo, WM_KEYDOWN, VK_TAB, 0);  // moves on, no tab in the text
    PostMessageW(f, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  });
  EXPECT_TRUE(d.Execute());
  EXPECT_EQ(d.Text, "one\r\nt");
}
