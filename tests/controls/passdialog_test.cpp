// The password window driven like a person would: keys posted to it from a second
// thread while Execute runs its modal loop on the test's thread.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "support/testutil.h"
#include "controls/realpassdialog.h"

using g32::TRealPassDialog;

namespace {

constexpr ULONGLONG kGuardMs = 20000;  // only against a hang

bool WaitFor(const std::function<bool()>& done) {
  ULONGLONG end = GetTickCount64() + kGuardMs;
  while (GetTickCount64() < end) {
    if (done()) return true;
    Sleep(10);
  }
  return false;
}

std::wstring Text(HWND w) {
  wchar_t buf[256] = {};
  GetWindowTextW(w, buf, 256);
  return buf;
}

HWND Prompt(HWND form) { return FindWindowExW(form, nullptr, L"STATIC", nullptr); }
HWND PassLabel(HWND form) { return FindWindowExW(form, Prompt(form), L"STATIC", nullptr); }

// The visible entry window whose prompt reads prompt.
HWND WaitForm(const std::wstring& prompt) {
  HWND found = nullptr;
  WaitFor([&] {
    for (HWND w = FindWindowW(L"TPassForm", nullptr); w; w = FindWindowExW(nullptr, w, L"TPassForm", nullptr))
      if (IsWindowVisible(w) && Text(Prompt(w)) == prompt) return (found = w) != nullptr;
    return false;
  });
  return found;
}

// Lower-case letters and digits as the keyboard delivers them: the key goes down and
// the window's loop translates it into its character.
void Type(HWND form, const std::wstring& s) {
  for (wchar_t c : s) PostMessageW(form, WM_KEYDOWN, LOBYTE(VkKeyScanW(c)), 0);
}
// A key as the keyboard delivers it: the key, then its character where it has one.
void Key(HWND form, WPARAM vk) {
  PostMessageW(form, WM_KEYDOWN, vk, 0);
  if (vk == VK_BACK) PostMessageW(form, WM_CHAR, 8, 0);
  if (vk == VK_RETURN) PostMessageW(form, WM_CHAR, 13, 0);
  if (vk == VK_ESCAPE) PostMessageW(form, WM_CHAR, 27, 0);
}
bool LabelBecomes(HWND form, const std::wstring& want) {
  return WaitFor([&] { return Text(PassLabel(form)) == want; });
}

// Runs the person's part on its own thread; failures there are recorded, not thrown.
using qbtest::TPerson;

}  // namespace

TEST(PassDialog, Defaults) {
  TRealPassDialog d;
  EXPECT_EQ(d.Text, "Type the password");
  EXPECT_EQ(d.Text2, "Re-type the password");
  EXPECT_EQ(d.Caption, "Enter password");
  EXPECT_EQ(d.PasswordChar, L'*');
  EXPECT_FALSE(d.AskTwice);
  EXPECT_TRUE(d.DisplayIcon);
  EXPECT_STREQ(d.PasswordFont.lfFaceName, L"Courier New");
  EXPECT_EQ(d.PasswordFont.lfWeight, FW_BOLD);
}

TEST(PassDialog, MaskedKeysBackspaceAndEnter) {
  TRealPassDialog d;
  d.DisplayIcon = false;
  TPerson person([] {
    HWND f = WaitForm(L"Type the password");
    ASSERT_NE(f, nullptr);
    wchar_t title[64];
    GetWindowTextW(f, title, 64);
    EXPECT_STREQ(title, L"Enter password");
    EXPECT_TRUE(IsWindowVisible(PassLabel(f)));
    Key(f, VK_BACK);  // on an empty entry: nothing
    Type(f, L"abc");
    EXPECT_TRUE(LabelBecomes(f, L"***"));
    Key(f, VK_BACK);
    EXPECT_TRUE(LabelBecomes(f, L"**"));
    Type(f, L"z");
    EXPECT_TRUE(LabelBecomes(f, L"***"));
    Key(f, VK_RETURN);
  });
  EXPECT_TRUE(d.Execute());
  EXPECT_EQ(d.Password, "abz");
}

TEST(PassDialog, PlainCharacterShowsTheText) {
  TRealPassDialog d;
  d.DisplayIcon = false;
  d.PasswordChar = 0;
  d.Password = "old";
  TPerson person([] {
    HWND f = WaitForm(L"Type the password");
    ASSERT_NE(f, nullptr);
    EXPECT_TRUE(LabelBecomes(f, L"old"));  // the last password starts the entry
    Type(f, L"er");
    EXPECT_TRUE(LabelBecomes(f, L"older"));
    Key(f, VK_ESCAPE);
  });
  EXPECT_FALSE(d.Execute());
  EXPECT_EQ(d.Password, "old");
}

TEST(PassDialog, LengthBarFillsAtThirtyCharacters) {
  TRealPassDialog d;  // DisplayIcon: the bar instead of characters
  d.Password = std::string(40, 'x');
  TPerson person([] {
    HWND f = WaitForm(L"Type the password");
    ASSERT_NE(f, nullptr);
    EXPECT_FALSE(IsWindowVisible(PassLabel(f)));
    HWND bar = FindWindowExW(f, nullptr, L"TPaintBox32", nullptr);
    ASSERT_NE(bar, nullptr);
    EXPECT_TRUE(IsWindowVisible(bar));
    RECT r;
    GetClientRect(bar, &r);
    EXPECT_EQ(r.bottom, 14);
    // Full: the bar reaches the last inner column; no white trough is left.
    EXPECT_TRUE(WaitFor([&] {
      HDC dc = GetDC(bar);
      COLORREF near_end = GetPixel(dc, r.right - 3, 7);
      ReleaseDC(bar, dc);
      return near_end != RGB(255, 255, 255) && near_end != CLR_INVALID;
    }));
    PostMessageW(f, WM_CLOSE, 0, 0);  // the close box
  });
  EXPECT_FALSE(d.Execute());
  EXPECT_EQ(d.Password, std::string(40, 'x'));
}

TEST(PassDialog, AskTwiceMatchingThenNextCallStartsTyped) {
  TRealPassDialog d;
  d.DisplayIcon = false;
  d.AskTwice = true;
  {
    TPerson person([] {
      HWND f = WaitForm(L"Type the password");
      ASSERT_NE(f, nullptr);
      Type(f, L"s3cret");
      EXPECT_TRUE(LabelBecomes(f, L"******"));
      Key(f, VK_RETURN);
      HWND g = WaitForm(L"Re-type the password");
      ASSERT_NE(g, nullptr);
      EXPECT_TRUE(LabelBecomes(g, L""));  // the second entry starts empty
      Type(g, L"s3cret");
      EXPECT_TRUE(LabelBecomes(g, L"******"));
      PostMessageW(g, WM_COMMAND, IDOK, 0);  // the OK button
    });
    EXPECT_TRUE(d.Execute());
  }
  EXPECT_EQ(d.Password, "s3cret");
  {
    TPerson person([] {
      HWND f = WaitForm(L"Type the password");
      ASSERT_NE(f, nullptr);
      EXPECT_TRUE(LabelBecomes(f, L"******"));
      Key(f, VK_RETURN);
      HWND g = WaitForm(L"Re-type the password");
      ASSERT_NE(g, nullptr);
      PostMessageW(g, WM_COMMAND, IDCANCEL, 0);  // cancelling the second window
    });
    EXPECT_FALSE(d.Execute());
  }
  EXPECT_EQ(d.Password, "s3cret");
}

BOOL CALLBACK CollectTexts(HWND w, LPARAM p) {
  reinterpret_cast<std::vector<std::wstring>*>(p)->push_back(Text(w));
  return TRUE;
}

// Waits for the message box of this caption, answers it with OK; whether it said the text.
bool BoxSaid(const wchar_t* caption, const std::wstring& said) {
  HWND box = nullptr;
  if (!WaitFor([&] { return (box = FindWindowW(L"#32770", caption)) != nullptr && IsWindowVisible(box); }))
    return false;
  std::vector<std::wstring> texts;
  EnumChildWindows(box, CollectTexts, reinterpret_cast<LPARAM>(&texts));
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  return std::find(texts.begin(), texts.end(), said) != texts.end();
}

TEST(PassDialog, AskTwiceMismatchShowsTheErrorAndKeepsThePassword) {
  TRealPassDialog d;
  d.DisplayIcon = false;
  d.AskTwice = true;
  d.Password = "before";
  TPerson person([] {
    HWND f = WaitForm(L"Type the password");
    ASSERT_NE(f, nullptr);
    for (int i = 0; i < 6; ++i) Key(f, VK_BACK);
    Type(f, L"one");
    EXPECT_TRUE(LabelBecomes(f, L"***"));
    Key(f, VK_RETURN);
    HWND g = WaitForm(L"Re-type the password");
    ASSERT_NE(g, nullptr);
    Type(g, L"two");
    EXPECT_TRUE(LabelBecomes(g, L"***"));
    Key(g, VK_RETURN);
    EXPECT_TRUE(BoxSaid(L"Error", L"Passwords do not match, re-enter correctly"));
  });
  EXPECT_FALSE(d.Execute());
  EXPECT_EQ(d.Password, "before");
}

TEST(PassDialog, ADoubleQuoteIsRefusedWithAMessageAndTheRestKept) {
  TRealPassDialog d;
  d.DisplayIcon = false;
  d.PasswordChar = 0;
  TPerson person([] {
    HWND f = WaitForm(L"Type the password");
    ASSERT_NE(f, nullptr);
    Type(f, L"ab");
    EXPECT_TRUE(LabelBecomes(f, L"ab"));
    PostMessageW(f, WM_CHAR, L'"', 0);
    EXPECT_TRUE(BoxSaid(L"Information", L"A password can not hold the double quote character (\")"));
    Type(f, L"c");
    EXPECT_TRUE(LabelBecomes(f, L"abc"));
    Key(f, VK_RETURN);
  });
  EXPECT_TRUE(d.Execute());
  EXPECT_EQ(d.Password, "abc");
}
