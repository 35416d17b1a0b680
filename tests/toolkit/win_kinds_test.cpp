// The up-down, page control, date and time pickers, input box and track bar
// selection under Xvfb, in-process: each control on a real form, driven with
// messages and read back.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>

#include "toolkit/datetime.h"
#include "toolkit/strings.h"
#include "toolkit/win_datetimepicker.h"
#include "toolkit/win_form.h"
#include "toolkit/win_inputbox.h"
#include "toolkit/win_pagecontrol.h"
#include "toolkit/win_timer.h"
#include "toolkit/win_trackbar.h"
#include "toolkit/win_updown.h"

using namespace tk;

namespace {

bool Pump(const std::function<bool()>& done) { return Application.ProcessUntil(done, 3000); }
// Lets the forms handle everything posted so far, and what that posts in turn: a message
// posted behind them comes out of the queue after them, so markers are posted until one
// comes out first.
void Settle() {
  constexpr UINT kMarker = WM_APP + 0x3F;
  bool seen = false;
  int before = 0;
  const int hook = Application.AddMessageHook([&](MSG& m) {
    if (m.message != kMarker || m.hwnd) {
      ++before;
      return false;
    }
    seen = true;
    return true;
  });
  for (int round = 0; round < 20; ++round) {
    seen = false;
    before = 0;
    PostThreadMessageW(GetCurrentThreadId(), kMarker, 0, 0);
    if (!Pump([&] { return seen; }) || before == 0) break;
  }
  Application.RemoveMessageHook(hook);
}

std::string TextOf(HWND h) {
  wchar_t buf[256] = {};
  GetWindowTextW(h, buf, 256);
  return Narrow(buf);
}

class TKindsForm : public TForm {
 public:
  TEdit edCount;
  TUpDown udCount;
  TPageControl pcMain;
  TTabSheet tsOne, tsTwo, tsThree;
  TEdit edOne, edTwo, edThree;
  TDateTimePicker dtpDate, dtpTime;
  TTrackBar tbLevel;
  int levelChanges = 0;
  TKindsForm() : TForm(L"TKindsForm") {
    SetCaption("Kinds");
    SetClientSize(420, 330);
    Declare({
        {.Control = edCount, .Name = "edCount", .Caption = "", .Bounds = {8, 8, 80, 21}},
        {.Control = udCount, .Name = "udCount", .Caption = "", .Bounds = {88, 8, 16, 21}},
        {.Control = pcMain, .Name = "pcMain", .Caption = "", .Bounds = {8, 40, 300, 160}},
        {.Control = tsOne, .Name = "tsOne", .Caption = "One", .Bounds = {}, .Parent = &pcMain},
        {.Control = edOne, .Name = "edOne", .Caption = "1", .Bounds = {8, 8, 100, 21}, .Parent = &tsOne},
        {.Control = tsTwo, .Name = "tsTwo", .Caption = "Two", .Bounds = {}, .Parent = &pcMain},
        {.Control = edTwo, .Name = "edTwo", .Caption = "2", .Bounds = {8, 8, 100, 21}, .Parent = &tsTwo},
        {.Control = tsThree, .Name = "tsThree", .Caption = "Three", .Bounds = {}, .Parent = &pcMain},
        {.Control = edThree, .Name = "edThree", .Caption = "3", .Bounds = {8, 8, 100, 21}, .Parent = &tsThree},
        {.Control = dtpDate, .Name = "dtpDate", .Caption = "", .Bounds = {8, 210, 120, 21}},
        {.Control = dtpTime, .Name = "dtpTime", .Caption = "", .Bounds = {140, 210, 90, 21}, .Style = dtkTime},
        {.Control = tbLevel, .Name = "tbLevel", .Caption = "", .Bounds = {8, 250, 300, 32},
         .OnChange = [this] { ++levelChanges; }},
    });
  }
};

void PostKey(HWND h, WORD vk) {
  PostMessageW(h, WM_KEYDOWN, vk, 1);
  PostMessageW(h, WM_KEYUP, vk, 0xC0000001);
}

}  // namespace

TEST(UpDown, RangeIsKeptWithoutWrapAndTheNumberHasNoThousandsSeparator) {
  TKindsForm f;
  int changes = 0;
  f.udCount.OnChange = [&] { ++changes; };
  // Bound and set before the windows exist.
  f.udCount.SetAssociate(&f.edCount);
  f.udCount.SetRange(1, 5000);
  f.udCount.SetIncrement(250);
  f.udCount.SetPosition(1200);
  f.Show();
  EXPECT_EQ(f.edCount.Text(), "1200");
  EXPECT_EQ(f.udCount.Position(), 1200);
  EXPECT_EQ(f.udCount.Increment(), 250);

  // The arrow key in the edit steps by the increment; the system writes the number.
  f.edCount.SetFocus();
  changes = 0;
  PostKey(f.edCount.Handle(), VK_UP);
  EXPECT_TRUE(Pump([&] { return changes > 0; }));
  EXPECT_EQ(f.edCount.Text(), "1450");
  EXPECT_EQ(f.udCount.Position(), 1450);

  // Clamped, never wrapped.
  f.udCount.SetPosition(99999);
  EXPECT_EQ(f.udCount.Position(), 5000);
  EXPECT_EQ(f.edCount.Text(), "5000");
  changes = 0;
  PostKey(f.edCount.Handle(), VK_UP);
  Settle();
  EXPECT_EQ(f.udCount.Position(), 5000);
  EXPECT_EQ(f.edCount.Text(), "5000");
  f.udCount.SetPosition(-7);
  EXPECT_EQ(f.edCount.Text(), "1");

  // A number typed out of range reads clamped; no number reads as the last position.
  f.edCount.SetText("7000");
  EXPECT_EQ(f.udCount.Position(), 5000);
  f.edCount.SetText("0");
  EXPECT_EQ(f.udCount.Position(), 1);
  f.udCount.SetPosition(3000);
  f.edCount.SetText("abc");
  EXPECT_EQ(f.udCount.Position(), 3000);

  // A narrower range pulls the shown number inside it.
  f.udCount.SetRange(10, 20);
  EXPECT_EQ(f.udCount.Position(), 20);
  EXPECT_EQ(f.edCount.Text(), "20");
  EXPECT_EQ(f.udCount.Min(), 10);
  EXPECT_EQ(f.udCount.Max(), 20);
  f.Hide();
}

TEST(PageControl, HiddenTabsStayPagesAndNoTabsMeansNoTabRow) {
  TKindsForm f;
  f.pcMain.SetActivePage(&f.tsTwo);
  f.Show();
  HWND tabs = f.pcMain.Handle();
  EXPECT_EQ(f.pcMain.PageCount(), 3);
  EXPECT_EQ(f.tsThree.PageIndex(), 2);
  EXPECT_EQ(f.pcMain.ActivePageIndex(), 1);
  EXPECT_EQ(SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0), 3);
  EXPECT_EQ(SendMessageW(tabs, TCM_GETCURSEL, 0, 0), 1);
  EXPECT_TRUE(IsWindowVisible(f.tsTwo.Handle()));
  EXPECT_FALSE(IsWindowVisible(f.tsOne.Handle()));

  // Hiding a tab removes it from the row; the sheet is still a page code can show.
  f.tsTwo.SetTabVisible(false);
  EXPECT_EQ(SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0), 2);
  EXPECT_EQ(SendMessageW(tabs, TCM_GETCURSEL, 0, 0), -1);
  EXPECT_EQ(f.pcMain.ActivePage(), &f.tsTwo);
  f.pcMain.SetActivePageIndex(2);
  EXPECT_EQ(SendMessageW(tabs, TCM_GETCURSEL, 0, 0), 1);  // "Three" is the second tab now
  f.pcMain.SetActivePage(&f.tsTwo);
  EXPECT_TRUE(IsWindowVisible(f.tsTwo.Handle()));
  EXPECT_FALSE(IsWindowVisible(f.tsThree.Handle()));
  EXPECT_EQ(f.pcMain.PageCount(), 3);

  // A click on a tab: OnChanging may refuse, else the page changes and OnChange fires.
  int changes = 0;
  bool allow = false;
  f.pcMain.OnChanging = [&](bool& a) { a = allow; };
  f.pcMain.OnChange = [&] { ++changes; };
  auto clickTab = [&](int tab) {
    RECT r{};
    SendMessageW(tabs, TCM_GETITEMRECT, tab, reinterpret_cast<LPARAM>(&r));
    LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    SendMessageW(tabs, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageW(tabs, WM_LBUTTONUP, 0, at);
    Settle();
  };
  clickTab(0);
  EXPECT_EQ(f.pcMain.ActivePage(), &f.tsTwo);
  EXPECT_EQ(changes, 0);
  allow = true;
  clickTab(0);
  EXPECT_EQ(f.pcMain.ActivePage(), &f.tsOne);
  EXPECT_EQ(changes, 1);
  EXPECT_TRUE(IsWindowVisible(f.tsOne.Handle()));
  EXPECT_FALSE(IsWindowVisible(f.tsTwo.Handle()));

  // With every tab hidden the page fills the whole control.
  f.tsOne.SetTabVisible(false);
  f.tsThree.SetTabVisible(false);
  EXPECT_EQ(SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0), 0);
  RECT client{}, sheet{};
  GetClientRect(tabs, &client);
  GetWindowRect(f.tsOne.Handle(), &sheet);
  MapWindowPoints(nullptr, tabs, reinterpret_cast<POINT*>(&sheet), 2);
  EXPECT_EQ(sheet.left, client.left);
  EXPECT_EQ(sheet.top, client.top);
  EXPECT_EQ(sheet.right, client.right);
  EXPECT_EQ(sheet.bottom, client.bottom);
  // Showing a tab again brings back the row above the page.
  f.tsThree.SetTabVisible(true);
  GetWindowRect(f.tsOne.Handle(), &sheet);
  MapWindowPoints(nullptr, tabs, reinterpret_cast<POINT*>(&sheet), 2);
  EXPECT_GT(sheet.top, client.top + 10);
  f.Hide();
}

TEST(DateTimePicker, ValueRoundTripsInBothKindsAndUserChangesFire) {
  TKindsForm f;
  const TDateTime day = EncodeDate(2026, 3, 14), clock = EncodeTime(9, 26, 53);
  f.dtpDate.SetDateTime(day + clock);
  f.dtpTime.SetFormat("HH:mm:ss");
  f.dtpTime.SetDateTime(EncodeDate(2001, 2, 3) + EncodeTime(23, 59, 58));
  f.Show();
  const double ms = 1.0 / 86400000;
  EXPECT_NEAR(f.dtpDate.DateTime(), day + clock, ms);
  EXPECT_DOUBLE_EQ(f.dtpDate.Date(), day);
  EXPECT_NEAR(f.dtpDate.Time(), clock, ms);
  EXPECT_NEAR(f.dtpTime.Time(), EncodeTime(23, 59, 58), ms);
  EXPECT_DOUBLE_EQ(f.dtpTime.Date(), EncodeDate(2001, 2, 3));
  EXPECT_TRUE(f.dtpTime.IsTimePicker());
  EXPECT_TRUE(GetWindowLongW(f.dtpTime.Handle(), GWL_STYLE) & DTS_TIMEFORMAT);
  EXPECT_FALSE(GetWindowLongW(f.dtpDate.Handle(), GWL_STYLE) & DTS_TIMEFORMAT);

  // Set by code after the window exists: read back from the control, no OnChange.
  int changes = 0;
  f.dtpDate.OnChange = [&] { ++changes; };
  f.dtpTime.OnChange = [&] { ++changes; };
  f.dtpDate.SetDateTime(EncodeDate(1999, 12, 31) + EncodeTime(12, 0, 0));
  EXPECT_NEAR(f.dtpDate.DateTime(), EncodeDate(1999, 12, 31) + EncodeTime(12, 0, 0), ms);
  // A value the system cannot hold is not taken.
  f.dtpDate.SetDateTime(EncodeDate(1500, 1, 1));
  EXPECT_DOUBLE_EQ(f.dtpDate.Date(), EncodeDate(1999, 12, 31));
  Settle();
  EXPECT_EQ(changes, 0);

  // The user picks the hour field of the time picker and steps it with the arrow key.
  f.dtpTime.SetFocus();
  // The picker lays its fields out when it paints; a click before that hits no field.
  RedrawWindow(f.dtpTime.Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  PostMessageW(f.dtpTime.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(6, 8));
  PostMessageW(f.dtpTime.Handle(), WM_LBUTTONUP, 0, MAKELPARAM(6, 8));
  PostKey(f.dtpTime.Handle(), VK_UP);
  EXPECT_TRUE(Pump([&] { return changes > 0; }));
  int h = 0, m = 0, sec = 0, msec = 0;
  DecodeTime(f.dtpTime.Time(), &h, &m, &sec, &msec);
  EXPECT_EQ(h, 0);  // 23 stepped up; minutes and seconds stay
  EXPECT_EQ(m, 59);
  EXPECT_EQ(sec, 58);
  f.Hide();
  // The value survives the window going.
  const TDateTime kept = f.dtpTime.DateTime();
  f.DestroyHandle();
  EXPECT_DOUBLE_EQ(f.dtpTime.DateTime(), kept);
}

TEST(TrackBar, SelectionIsKeptBeforeTheWindowAndReadBackFromIt) {
  TKindsForm f;
  f.tbLevel.SetRange(0, 9);
  f.tbLevel.SetSelection(2, 6);
  EXPECT_EQ(f.tbLevel.SelStart(), 2);
  f.Show();
  EXPECT_EQ(SendMessageW(f.tbLevel.Handle(), TBM_GETSELSTART, 0, 0), 2);
  EXPECT_EQ(f.tbLevel.SelEnd(), 6);
  EXPECT_TRUE(GetWindowLongW(f.tbLevel.Handle(), GWL_STYLE) & TBS_ENABLESELRANGE);
  f.tbLevel.SetPosition(4);  // the table's OnChange is the bar's
  EXPECT_EQ(f.levelChanges, 1);
  f.tbLevel.SetSelection(0, 0);
  EXPECT_EQ(f.tbLevel.SelStart(), 0);
  EXPECT_EQ(f.tbLevel.SelEnd(), 0);
  EXPECT_FALSE(GetWindowLongW(f.tbLevel.Handle(), GWL_STYLE) & TBS_ENABLESELRANGE);
  f.Hide();
}

namespace {

// Answers the input box of this process: puts text in its edit (unless null) and
// presses the button with the caption given; Esc when the box never came.
struct BoxAnswer {
  TTimer timer{30, false};
  int ticks = 0;
  std::string seenText, seenPrompt;
  BoxAnswer(const char* text, const char* button) {
    timer.OnTimer = [this, text, button] {
      HWND box = FindWindowW(L"TInputQueryForm", nullptr);
      if (++ticks > 100) {
        if (box) PostMessageW(box, WM_CLOSE, 0, 0);
        timer.SetEnabled(false);
        return;
      }
      if (!box || !IsWindowVisible(box)) return;
      timer.SetEnabled(false);
      HWND edit = FindWindowExW(box, nullptr, WC_EDITW, nullptr);
      HWND label = FindWindowExW(box, nullptr, WC_STATICW, nullptr);
      seenText = TextOf(edit);
      seenPrompt = TextOf(label);
      if (text) SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(Widen(text).c_str()));
      HWND b = FindWindowExW(box, nullptr, WC_BUTTONW, Widen(button).c_str());
      PostMessageW(b, BM_CLICK, 0, 0);
    };
    timer.SetEnabled(true);
  }
};

}  // namespace

TEST(InputBox, OkGivesTheEditedTextCancelKeepsTheOldOne) {
  {
    std::string value = "old name";
    BoxAnswer answer("new name", "OK");
    EXPECT_TRUE(InputQuery("Rename", "New name:", value));
    EXPECT_EQ(value, "new name");
    EXPECT_EQ(answer.seenText, "old name");
    EXPECT_EQ(answer.seenPrompt, "New name:");
  }
  {
    std::string value = "kept";
    BoxAnswer answer("typed", "Cancel");
    EXPECT_FALSE(InputQuery("Rename", "New name:", value));
    EXPECT_EQ(value, "kept");
  }
  {
    BoxAnswer answer("12", "OK");
    EXPECT_EQ(InputBox("Count", "How many?", "3"), "12");
  }
  {
    BoxAnswer answer(nullptr, "Cancel");
    EXPECT_EQ(InputBox("Count", "How many?", "3"), "3");
  }
}
