// The form base under Xvfb, in-process: modal results, dialog keys, nesting,
// focus events, key preview and the programmatic setters.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>

#include "toolkit/strings.h"
#include "toolkit/win_form.h"
#include "toolkit/win_msgdlg.h"
#include "toolkit/win_timer.h"

using namespace tk;

namespace {

class TDlg : public TForm {
 public:
  TEdit edName, edOther;
  TMemo mmNotes;
  TButton btnOK, btnCancel, btnOpen;
  TDlg(const std::wstring& cls = L"TDlg") : TForm(cls) {
    BorderStyle = TBorderStyle::bsDialog;
    BorderIcons = biSystemMenu;
    Position = TPosition::poScreenCenter;
    SetCaption("Test dialog");
    SetClientSize(300, 160);
    Declare({
        {.Control = edName, .Name = "edName", .Caption = "", .Bounds = {8, 8, 200, 21}},
        {.Control = edOther, .Name = "edOther", .Caption = "", .Bounds = {8, 36, 200, 21}},
        {.Control = mmNotes, .Name = "mmNotes", .Caption = "", .Bounds = {8, 64, 200, 50}},
        {.Control = btnOK, .Name = "btnOK", .Caption = "OK", .Bounds = {8, 124, 75, 25},
         .Style = btnDefault, .ModalResult = mrOk},
        {.Control = btnCancel, .Name = "btnCancel", .Caption = "Cancel", .Bounds = {90, 124, 75, 25},
         .Style = ::tk::btnCancel, .ModalResult = mrCancel},
        {.Control = btnOpen, .Name = "btnOpen", .Caption = "Open", .Bounds = {172, 124, 75, 25}},
    });
  }
};

// Runs step(n) on every tick of a short timer (n = 0, 1, ...) while a modal loop
// or the test waits; steps post their input so the loop sees it.
struct Driver {
  TTimer timer{30, false};
  int n = 0;
  bool busy = false;
  explicit Driver(std::function<void(int)> step) {
    timer.OnTimer = [this, step] {
      if (busy) return;
      busy = true;
      step(n++);
      busy = false;
    };
    timer.SetEnabled(true);
  }
};

void PostKey(HWND h, WORD vk) {
  PostMessageW(h, WM_KEYDOWN, vk, 1);
  PostMessageW(h, WM_KEYUP, vk, 0xC0000001);
}

bool Pump(const std::function<bool()>& done) { return Application.ProcessUntil(done, 5000); }

}  // namespace

TEST(FormModal, ButtonResultIsStoredBeforeClickAndZeroKeepsTheFormOpen) {
  TDlg f;
  int clicks = 0, seenResult = -1;
  bool stillOpen = false;
  f.btnOK.OnClick = [&] {
    ++clicks;
    if (clicks == 1) {
      seenResult = f.ModalResult();
      f.SetModalResult(mrNone);  // a failed check
    }
  };
  Driver d([&](int n) {
    if (n == 1 || n == 3) PostMessageW(f.btnOK.Handle(), BM_CLICK, 0, 0);
    if (n == 2) stillOpen = IsWindowVisible(f.Handle()) && f.Modal();
    if (n > 40) f.SetModalResult(99);  // never reached when the clicks work
  });
  EXPECT_EQ(f.ShowModal(), mrOk);
  EXPECT_EQ(seenResult, mrOk);
  EXPECT_TRUE(stillOpen);
  EXPECT_EQ(clicks, 2);
  EXPECT_FALSE(IsWindowVisible(f.Handle()));
  EXPECT_FALSE(f.Modal());
}

TEST(FormModal, CloseBoxGivesCancelAndCloseQueryCanRefuse) {
  TDlg f;
  int queries = 0;
  f.OnCloseQuery = [&](bool& can) { can = ++queries > 1; };
  Driver d([&](int n) {
    if (n == 1 || n == 2) PostMessageW(f.Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
    if (n > 40) f.SetModalResult(99);
  });
  EXPECT_EQ(f.ShowModal(), mrCancel);
  EXPECT_EQ(queries, 2);
}

TEST(FormModal, EscWorksTheCancelButtonAndEnterTheDefault) {
  TDlg f;
  int cancelClicks = 0;
  f.btnCancel.OnClick = [&] { ++cancelClicks; };
  Driver esc([&](int n) {
    if (n == 1) PostKey(f.edName.Handle(), VK_ESCAPE);
    if (n > 40) f.SetModalResult(99);
  });
  EXPECT_EQ(f.ShowModal(), mrCancel);
  EXPECT_EQ(cancelClicks, 1);
  esc.timer.SetEnabled(false);

  // Enter in a memo is a new line; in an edit it works the default button.
  bool memoKeptOpen = false;
  Driver enter([&](int n) {
    if (n == 1) PostKey(f.mmNotes.Handle(), VK_RETURN);
    if (n == 3) {
      memoKeptOpen = f.Modal() && IsWindowVisible(f.Handle());
      PostKey(f.edOther.Handle(), VK_RETURN);
    }
    if (n > 40) f.SetModalResult(99);
  });
  EXPECT_EQ(f.ShowModal(), mrOk);
  EXPECT_TRUE(memoKeptOpen);
}

TEST(FormModal, NestingDisablesTheOthersAndRestoresFocus) {
  TDlg mainForm(L"TNestMain"), second(L"TNestSecond"), third(L"TNestThird");
  mainForm.Show();
  mainForm.edOther.SetFocus();
  Pump([&] { return GetFocus() == mainForm.edOther.Handle(); });
  ASSERT_EQ(GetFocus(), mainForm.edOther.Handle());

  bool mainDisabledInSecond = false, bothDisabledInThird = false, secondFocusBack = false,
       secondEnabledAgain = false;
  int levelInThird = 0, secondActivations = 0, activationsBeforeThird = 0;
  second.OnActivate = [&] { ++secondActivations; };
  // The third level opens from a one-shot timer, so that the focus stays where
  // the step put it (a button click would move it to the button).
  TTimer opener(10, false);
  opener.OnTimer = [&] {
    opener.SetEnabled(false);
    third.ShowModal();
  };
  Driver d([&](int n) {
    if (n == 1) {
      mainDisabledInSecond = !IsWindowEnabled(mainForm.Handle()) && IsWindowEnabled(second.Handle());
      second.edOther.SetFocus();
    }
    if (n == 2) {
      activationsBeforeThird = secondActivations;
      opener.SetEnabled(true);
    }
    if (n == 4) {
      bothDisabledInThird = !IsWindowEnabled(mainForm.Handle()) && !IsWindowEnabled(second.Handle()) &&
                            IsWindowEnabled(third.Handle());
      levelInThird = Application.ModalLevel();
      PostKey(third.edName.Handle(), VK_ESCAPE);
    }
    if (n == 6) {
      secondFocusBack = GetFocus() == second.edOther.Handle();
      secondEnabledAgain = IsWindowEnabled(second.Handle());
      PostMessageW(second.btnOK.Handle(), BM_CLICK, 0, 0);
    }
    if (n > 60) { third.SetModalResult(99); second.SetModalResult(99); }
  });
  EXPECT_EQ(second.ShowModal(), mrOk);
  EXPECT_TRUE(mainDisabledInSecond);
  EXPECT_TRUE(bothDisabledInThird);
  EXPECT_EQ(levelInThird, 2);
  EXPECT_TRUE(secondFocusBack);
  EXPECT_GE(activationsBeforeThird, 1);
  EXPECT_GT(secondActivations, activationsBeforeThird);  // again after the nested form closed
  EXPECT_TRUE(secondEnabledAgain);
  EXPECT_TRUE(IsWindowEnabled(mainForm.Handle()));
  EXPECT_EQ(GetFocus(), mainForm.edOther.Handle());
  EXPECT_EQ(Application.ModalLevel(), 0);
  mainForm.Hide();
}

TEST(FormModal, TerminateEndsEveryModalLoopWithCancel) {
  TDlg outer(L"TOuter"), inner(L"TInner");
  TTimer opener(10, false);
  opener.OnTimer = [&] {
    opener.SetEnabled(false);
    EXPECT_EQ(inner.ShowModal(), mrCancel);
  };
  Driver d([&](int n) {
    if (n == 1) opener.SetEnabled(true);
    if (n == 3 && inner.Modal()) Application.Terminate();
    if (n > 40) { inner.SetModalResult(99); outer.SetModalResult(99); }
  });
  EXPECT_EQ(outer.ShowModal(), mrCancel);
  EXPECT_FALSE(inner.Modal());
  EXPECT_TRUE(Application.Terminated());
  Application.ResetTerminated();
  EXPECT_EQ(Application.ModalLevel(), 0);
}

TEST(FormFocus, ExitFiresOnlyWhenFocusMovesWithinTheForm) {
  TDlg f;
  int exitsName = 0, entersOther = 0;
  f.edName.OnExit = [&] { ++exitsName; };
  f.edOther.OnEnter = [&] { ++entersOther; };
  f.Show();
  f.edName.SetFocus();
  ASSERT_TRUE(Pump([&] { return GetFocus() == f.edName.Handle(); }));

  // A message box takes the focus and gives it back: no exit.
  Driver d([&](int n) {
    if (n == 1)
      if (HWND box = FindWindowW(L"TMessageForm", nullptr)) PostKey(GetFocus() ? GetFocus() : box, VK_RETURN);
    if (n > 40)
      if (HWND box = FindWindowW(L"TMessageForm", nullptr)) PostMessageW(box, WM_CLOSE, 0, 0);
  });
  EXPECT_EQ(MessageDlg("Busy", TMsgDlgType::mtInformation, mbOK), mrOk);
  d.timer.SetEnabled(false);
  Pump([&] { return GetFocus() == f.edName.Handle(); });
  EXPECT_EQ(GetFocus(), f.edName.Handle());
  EXPECT_EQ(exitsName, 0);

  // Another top-level window (another program, as far as the form can tell).
  HWND other = CreateWindowExW(0, L"STATIC", L"other", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr, nullptr,
                               nullptr, nullptr);
  SetActiveWindow(other);
  SetFocus(other);
  Pump([&] { return GetFocus() == other; });
  SetActiveWindow(f.Handle());
  Pump([&] { return GetFocus() == f.edName.Handle(); });
  DestroyWindow(other);
  EXPECT_EQ(GetFocus(), f.edName.Handle());
  EXPECT_EQ(exitsName, 0);
  EXPECT_EQ(entersOther, 0);

  f.edOther.SetFocus();
  EXPECT_EQ(exitsName, 1);
  EXPECT_EQ(entersOther, 1);
  EXPECT_EQ(f.ActiveControl(), &f.edOther);
  f.Hide();
}

TEST(FormFocus, DisablingTheFocusedControlHandsTheFocusToTheNextOne) {
  TDlg f;
  f.Show();
  f.btnOK.SetFocus();
  ASSERT_TRUE(Pump([&] { return GetFocus() == f.btnOK.Handle(); }));
  f.btnOK.SetEnabled(false);
  EXPECT_EQ(GetFocus(), f.btnCancel.Handle());
  EXPECT_TRUE(Pump([&] { return f.ActiveControl() == &f.btnCancel; }));
  // So the keys still reach the form: Esc works the cancel button.
  int cancels = 0;
  f.btnCancel.OnClick = [&] { ++cancels; };
  PostKey(GetFocus(), VK_ESCAPE);
  EXPECT_TRUE(Pump([&] { return cancels == 1; }));
  // A control without the focus is disabled without moving it.
  f.edName.SetEnabled(false);
  EXPECT_EQ(GetFocus(), f.btnCancel.Handle());
  f.Hide();
}

TEST(FormKeys, KeyPreviewSeesKeysBeforeTheControl) {
  TDlg f;
  int formKeys = 0, editKeys = 0;
  f.OnKeyDown = [&](WORD& key, TShiftState) {
    if (key == 'X') { ++formKeys; key = 0; }
  };
  f.edName.OnKeyDown = [&](WORD& key, TShiftState) { if (key == 'X') ++editKeys; };
  f.Show();
  f.KeyPreview = true;
  PostKey(f.edName.Handle(), 'X');
  Pump([&] { return formKeys > 0; });
  EXPECT_EQ(formKeys, 1);
  EXPECT_EQ(editKeys, 0);

  f.KeyPreview = false;
  PostKey(f.edName.Handle(), 'X');
  Pump([&] { return editKeys > 0; });
  EXPECT_EQ(formKeys, 1);
  EXPECT_EQ(editKeys, 1);
  f.Hide();
}

TEST(FormKeys, TabMovesToTheNextControl) {
  TDlg f;
  f.Show();
  f.edName.SetFocus();
  ASSERT_TRUE(Pump([&] { return GetFocus() == f.edName.Handle(); }));
  PostKey(f.edName.Handle(), VK_TAB);
  EXPECT_TRUE(Pump([&] { return GetFocus() == f.edOther.Handle(); }));
  f.Hide();
}

class TSetters : public TForm {
 public:
  TCheckBox chkA;
  TRadioButton rbOne, rbTwo;
  TComboBox cbKind;
  TEdit edText;
  TSetters() {
    SetClientSize(200, 150);
    Declare({
        {.Control = chkA, .Name = "chkA", .Caption = "A", .Bounds = {8, 8, 100, 17}},
        {.Control = rbOne, .Name = "rbOne", .Caption = "One", .Bounds = {8, 30, 100, 17}, .Style = chkChecked},
        {.Control = rbTwo, .Name = "rbTwo", .Caption = "Two", .Bounds = {8, 50, 100, 17}},
        {.Control = cbKind, .Name = "cbKind", .Caption = "", .Bounds = {8, 72, 100, 21}, .Style = cbList},
        {.Control = edText, .Name = "edText", .Caption = "", .Bounds = {8, 100, 100, 21}},
    });
  }
};

TEST(ControlEvents, CheckAndRadioSettersFireClickComboIndexDoesNot) {
  TSetters f;
  int chk = 0, one = 0, two = 0, combo = 0, edit = 0;
  f.chkA.OnClick = [&] { ++chk; };
  f.rbOne.OnClick = [&] { ++one; };
  f.rbTwo.OnClick = [&] { ++two; };
  f.cbKind.OnChange = [&] { ++combo; };
  f.cbKind.OnClick = [&] { ++combo; };
  f.edText.OnChange = [&] { ++edit; };
  f.HandleNeeded();
  EXPECT_TRUE(f.rbOne.Checked());

  f.chkA.SetChecked(true);
  f.chkA.SetChecked(true);  // no change, no event
  EXPECT_EQ(chk, 1);
  EXPECT_TRUE(f.chkA.Checked());
  SendMessageW(f.chkA.Handle(), BM_CLICK, 0, 0);  // a click the user made
  EXPECT_EQ(chk, 2);
  EXPECT_FALSE(f.chkA.Checked());

  f.rbTwo.SetChecked(true);
  EXPECT_EQ(two, 1);
  EXPECT_EQ(one, 0);
  EXPECT_FALSE(f.rbOne.Checked());
  f.rbOne.SetChecked(false);  // unchecking fires nothing
  EXPECT_EQ(one, 0);

  f.cbKind.SetItems({"zip", "split", "test"});
  f.cbKind.SetItemIndex(2);
  f.cbKind.SetText("split");
  EXPECT_EQ(combo, 0);
  EXPECT_EQ(f.cbKind.ItemIndex(), 1);

  f.edText.SetText("abc");
  EXPECT_EQ(edit, 1);
  EXPECT_EQ(f.edText.Text(), "abc");
}

// The volume size dialog's shape: a size typed in one unit is shown in the other.
class TUnits : public TForm {
 public:
  TEdit edBytes, edKB;
  TUnits() {
    SetClientSize(200, 70);
    Declare({
        {.Control = edBytes, .Name = "edBytes", .Caption = "", .Bounds = {8, 8, 100, 21}},
        {.Control = edKB, .Name = "edKB", .Caption = "", .Bounds = {8, 36, 100, 21}, .Style = edReadOnly},
    });
    edBytes.OnChange = [this] { edKB.SetText(std::to_string(std::atoi(edBytes.Text().c_str()) / 1024)); };
  }
};

TEST(ControlEvents, AnEditFilledBeforeItsWindowExistsReactsAsItDoesLater) {
  TUnits f;
  f.edBytes.SetText("2048");  // the first use: no window has been made yet
  EXPECT_FALSE(f.HandleAllocated());
  EXPECT_EQ(f.edKB.Text(), "2");
  f.Show();
  EXPECT_EQ(f.edKB.Text(), "2");  // the window shows what the handler set
  f.Hide();
  f.DestroyHandle();
  f.edBytes.SetText("8192");
  EXPECT_EQ(f.edKB.Text(), "8");
}

// Controls that draw in their parent's colour repaint when told of a new one.
TEST(ControlEvents, AContainersColourIsToldToItsChildrenOnly) {
  int told = 0;
  TDlg dlg;
  dlg.HandleNeeded();
  const TControl::TWndMethod own = dlg.edName.WindowProc();
  dlg.edName.SetWindowProc([&told, own](UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == CM_PARENTCOLORCHANGED) ++told;
    return own(msg, wp, lp);
  });
  dlg.SetColor(clWindow);
  EXPECT_EQ(told, 1);
  dlg.edName.SetColor(clWhite);  // its own colour is no parent's change
  EXPECT_EQ(told, 1);
  EXPECT_EQ(dlg.Color(), clWindow);
}

TEST(FormWindow, ClassNameBorderAndFont) {
  TDlg mf(L"TMainForm");
  mf.SetCaption("Quillbank");
  mf.SetFormStyle(TFormStyle::fsStayOnTop);
  mf.Show();
  wchar_t cls[64] = {};
  GetClassNameW(mf.Handle(), cls, 64);
  EXPECT_EQ(std::wstring(cls), L"TMainForm");
  EXPECT_EQ(FindWindowW(L"TMainForm", L"Quillbank"), mf.Handle());

  LONG style = GetWindowLongW(mf.Handle(), GWL_STYLE), ex = GetWindowLongW(mf.Handle(), GWL_EXSTYLE);
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_FALSE(style & WS_THICKFRAME);  // a dialog border
  EXPECT_FALSE(style & WS_MINIMIZEBOX);
  EXPECT_FALSE(style & WS_MAXIMIZEBOX);
  EXPECT_TRUE(ex & WS_EX_DLGMODALFRAME);
  EXPECT_TRUE(ex & WS_EX_TOPMOST);
  EXPECT_EQ(mf.ClientWidth(), 300);
  EXPECT_EQ(mf.ClientHeight(), 160);

  // Centred on the work area.
  RECT wr, area;
  GetWindowRect(mf.Handle(), &wr);
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
  EXPECT_LE(std::abs((wr.left + wr.right) / 2 - (area.left + area.right) / 2), 1);
  EXPECT_LE(std::abs((wr.top + wr.bottom) / 2 - (area.top + area.bottom) / 2), 1);

  auto font = reinterpret_cast<HFONT>(SendMessageW(mf.btnOK.Handle(), WM_GETFONT, 0, 0));
  ASSERT_NE(font, nullptr);
  LOGFONTW lf{};
  GetObjectW(font, sizeof(lf), &lf);
  EXPECT_EQ(std::wstring(lf.lfFaceName), L"Tahoma");
  EXPECT_EQ(lf.lfHeight, ScaleToDpi(-11, ScreenPixelsPerInch()));
  mf.Hide();

  TDlg plain;
  plain.BorderStyle = TBorderStyle::bsSizeable;
  plain.BorderIcons = biSystemMenu | biMinimize;
  plain.HandleNeeded();
  style = GetWindowLongW(plain.Handle(), GWL_STYLE);
  EXPECT_TRUE(style & WS_THICKFRAME);
  EXPECT_TRUE(style & WS_MINIMIZEBOX);
  EXPECT_FALSE(style & WS_MAXIMIZEBOX);
  GetClassNameW(plain.Handle(), cls, 64);
  EXPECT_EQ(std::wstring(cls), L"TDlg");
}

TEST(FormEvents, CreateShowCloseDestroyInOrder) {
  std::string log;
  {
    TDlg f;
    f.OnCreate = [&] { log += "create,"; };
    f.OnShow = [&] { log += "show,"; };
    f.OnClose = [&](TCloseAction&) { log += "close,"; };
    f.OnHide = [&] { log += "hide,"; };
    f.OnDestroy = [&] { log += "destroy,"; };
    f.Show();
    f.Show();  // already showing: no second OnShow
    f.Close();
    EXPECT_FALSE(IsWindowVisible(f.Handle()));
    f.DestroyHandle();
    EXPECT_FALSE(f.HandleAllocated());
  }
  EXPECT_EQ(log, "create,show,close,hide,destroy,");
}

TEST(Timer, FiresFromTheLoopAndStopsWhenDisabled) {
  TTimer t(20, false);
  int ticks = 0;
  t.OnTimer = [&] {
    if (++ticks == 3) t.SetEnabled(false);
  };
  t.SetEnabled(true);
  EXPECT_TRUE(Pump([&] { return ticks >= 3; }));
  // While another timer of the same interval fires five times, the stopped one fires no more.
  TTimer other(20, false);
  int others = 0;
  other.OnTimer = [&] { ++others; };
  other.SetEnabled(true);
  EXPECT_TRUE(Pump([&] { return others >= 5; }));
  EXPECT_EQ(ticks, 3);
  EXPECT_FALSE(t.Enabled());
}

// A control of a system class: its window reaches the control and the class's own
// procedure; when the control lets it go from behind a procedure hooked in later, that
// procedure still sees every message to the window's end, and the handle finds no
// control afterwards (the system may hand it out again).
namespace {
WNDPROC g_before = nullptr;
int g_lateMessages = 0;
bool g_lateSawEnd = false;
LRESULT CALLBACK LateProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  ++g_lateMessages;
  if (msg == WM_NCDESTROY) g_lateSawEnd = true;
  return CallWindowProcW(g_before, h, msg, wp, lp);
}
}  // namespace

TEST(ControlWindow, ASystemWindowReachesItsControlUntilItsEnd) {
  TDlg dlg;
  dlg.HandleNeeded();
  const HWND edit = dlg.edName.Handle();
  ASSERT_NE(edit, nullptr);
  EXPECT_EQ(TControl::FromHandle(edit), &dlg.edName);
  g_before = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(LateProc)));
  SetWindowTextW(edit, L"later");
  EXPECT_EQ(dlg.edName.Text(), "later");
  EXPECT_GT(g_lateMessages, 0);
  dlg.edName.DestroyHandle();
  EXPECT_TRUE(g_lateSawEnd);
  EXPECT_FALSE(IsWindow(edit));
  EXPECT_EQ(TControl::FromHandle(edit), nullptr);
  EXPECT_EQ(dlg.edName.Text(), "later");  // the state stays with the control
}
