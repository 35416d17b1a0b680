// The toolkit pieces of the main window in this process: shortcuts dispatched by the
// action list, the update pass reaching menu items and tool buttons, the header that
// sizes the columns of the three lists, and the splitter's veto.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <numeric>
#include <utility>
#include <vector>

#include "controls/shadowhint.h"
#include "manager/about.h"
#include "manager/mainform.h"
#include "manager/mainservices.h"
#include "manager/shelllaunch.h"
#include "support/testutil.h"
#include "toolkit/win_actions.h"
#include "toolkit/win_form.h"
#include "toolkit/win_hovertips.h"
#include "toolkit/win_toolbar.h"

namespace {

// A form with a menu, a tool bar and two actions linked to both.
class TActionForm : public tk::TForm {
 public:
  TActionForm() : TForm(L"TActionForm") {
    SetCaption("Actions");
    SetClientSize(300, 120);
    Declare({{.Control = bar, .Name = "bar", .Caption = "", .Bounds = {0, 0, 300, 24}},
             {.Control = edit, .Name = "edit", .Caption = "", .Bounds = {8, 40, 100, 21}}});
    refresh = &list.Add("axnRefresh", "View", "Refresh");
    refresh->ShortCut = {VK_F5, 0};
    refresh->OnExecute = [this] { ++refreshed; };
    run = &list.Add("axnRun", "Profile", "Run");
    run->ShortCut = {'R', tk::ssCtrl};
    run->SecondaryShortCuts = {{VK_RETURN, 0}};
    run->OnExecute = [this] { ++runs; };
    run->OnUpdate = [this](tk::TAction& a) {
      a.Enabled = runEnabled;
      a.Visible = runVisible;
    };
    tk::TMenuItem& top = menu.Items().Add("Profile");
    runItem = &top.Add("");
    run->Link(*runItem);
    refreshItem = &top.Add("");
    refresh->Link(*refreshItem, "Refresh now");
    runButton = &bar.AddButton("Run");
    run->Link(*runButton);
    OnCreate = [this] { menu.Attach(); };
  }
  tk::TToolBar bar;
  tk::TEdit edit;
  tk::TMainMenu menu{*this};
  tk::TActionList list{*this};
  tk::TAction *refresh, *run;
  tk::TMenuItem *runItem, *refreshItem;
  tk::TToolButton* runButton;
  int refreshed = 0, runs = 0;
  bool runEnabled = true, runVisible = true;
};

void Pump(unsigned ms = 300) { tk::Application.ProcessUntil([] { return false; }, ms); }

TEST(ActionList, ShortcutsReachTheirActionsOnlyWhileEnabled) {
  TActionForm form;
  form.Show();
  form.edit.SetFocus();
  Pump();
  EXPECT_EQ(tk::ShortCutToText(form.run->ShortCut), "Ctrl+R");
  EXPECT_EQ(form.runItem->ShortCutText(), "Ctrl+R");
  EXPECT_EQ(form.refreshItem->Caption(), "Refresh now") << "a menu text of its own stays";

  // Keys through the application's loop, as the user types them.
  PostMessageW(form.edit.Handle(), WM_KEYDOWN, VK_F5, 0);
  PostMessageW(form.edit.Handle(), WM_KEYDOWN, VK_RETURN, 0);
  Pump();
  EXPECT_EQ(form.refreshed, 1);
  EXPECT_EQ(form.runs, 1) << "the secondary shortcut works the action too";
  PostMessageW(form.edit.Handle(), WM_KEYDOWN, VK_F6, 0);
  Pump();
  EXPECT_EQ(form.refreshed + form.runs, 2);

  EXPECT_TRUE(form.list.DispatchShortCut('R', tk::ssCtrl));
  EXPECT_FALSE(form.list.DispatchShortCut('R', tk::ssCtrl | tk::ssShift)) << "modifiers must match";
  EXPECT_EQ(form.runs, 2);
  form.runEnabled = false;
  EXPECT_FALSE(form.list.DispatchShortCut('R', tk::ssCtrl)) << "a disabled action lets the key go on";
  EXPECT_EQ(form.runs, 2);
  form.Hide();
}

TEST(ActionList, TheUpdatePassReachesMenuItemsAndToolButtons) {
  TActionForm form;
  form.Show();
  Pump();
  HMENU profile = GetSubMenu(GetMenu(form.Handle()), 0);
  ASSERT_NE(profile, nullptr);
  EXPECT_EQ(GetMenuItemCount(profile), 2);
  const UINT runCommand = form.runItem->Command();
  EXPECT_FALSE(GetMenuState(profile, runCommand, MF_BYCOMMAND) & MF_GRAYED);

  form.runEnabled = false;
  Pump();  // the idle pass
  profile = GetSubMenu(GetMenu(form.Handle()), 0);
  EXPECT_TRUE(GetMenuState(profile, runCommand, MF_BYCOMMAND) & MF_GRAYED);
  EXPECT_FALSE(SendMessageW(form.bar.Handle(), TB_ISBUTTONENABLED, 100, 0));

  form.runVisible = false;
  Pump();
  profile = GetSubMenu(GetMenu(form.Handle()), 0);
  EXPECT_EQ(GetMenuItemCount(profile), 1) << "a hidden action's item leaves the menu";
  EXPECT_TRUE(SendMessageW(form.bar.Handle(), TB_ISBUTTONHIDDEN, 100, 0));

  form.runEnabled = form.runVisible = true;
  Pump();
  profile = GetSubMenu(GetMenu(form.Handle()), 0);
  EXPECT_EQ(GetMenuItemCount(profile), 2);
  EXPECT_TRUE(SendMessageW(form.bar.Handle(), TB_ISBUTTONENABLED, 100, 0));
  EXPECT_FALSE(SendMessageW(form.bar.Handle(), TB_ISBUTTONHIDDEN, 100, 0));
  form.Hide();
}

TEST(ActionList, RadioGroupKeepsOneChecked) {
  TActionForm form;
  tk::TAction& a = form.list.Add("a", "View", "A");
  tk::TAction& b = form.list.Add("b", "View", "B");
  a.GroupIndex = b.GroupIndex = 1;
  tk::TMenuItem& ia = form.menu.Items()[0].Add("");
  tk::TMenuItem& ib = form.menu.Items()[0].Add("");
  a.Link(ia);
  b.Link(ib);
  a.SetChecked(true);
  b.SetChecked(true);
  EXPECT_FALSE(a.Checked);
  EXPECT_FALSE(ia.Checked());
  EXPECT_TRUE(ib.Checked());
  EXPECT_TRUE(ib.RadioItem());
}

class MainWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    qbtest::ClearQuillbankKey();
    qbtest::RegWrite("Options\\General", "DoNotVerifyAppFileVersions", "1");
    qbtest::RegWrite("Options\\General", "FormWidth", "760");
    qbtest::RegWrite("Options\\General", "FormHeight", "480");
    form_ = std::make_unique<TMainForm>();
    form_->Show();
    Pump();
  }
  void TearDown() override {
    form_->Hide();
    form_.reset();
    qbtest::ClearQuillbankKey();
  }
  std::unique_ptr<TMainForm> form_;
};

TEST_F(MainWindow, TheHeaderSizesTheColumnsOfAllThreeLists) {
  TMainForm& f = *form_;
  // A drag of the divider of "Last run", as the header reports it.
  HDITEMW item{};
  item.mask = HDI_WIDTH;
  item.cxy = 90;
  SendMessageW(f.hcProfile.Handle(), HDM_SETITEMW, 1, reinterpret_cast<LPARAM>(&item));
  Pump(100);
  EXPECT_EQ(f.lvProfiles.ColumnWidth(1), 90);
  EXPECT_EQ(f.lvMcProfiles2.ColumnWidth(1), 90);
  EXPECT_EQ(f.lvProfiles.ColumnWidth(0), f.hcProfile.SectionWidth(0) - 3);
  EXPECT_EQ(f.lvMcProfiles.Width(), f.lvProfiles.ColumnWidth(0) - f.lvMcProfiles2.ColumnWidth(0));
  EXPECT_EQ(f.lvMcProfiles.ColumnWidth(0), f.lvMcProfiles.Width() - 4);
  // The last column takes the rest of the list's width less the vertical scroll bar's
  // room (so a long list shows no horizontal bar), in the header too.
  const int scrollBar = GetSystemMetrics(SM_CXVSCROLL);
  int used = 0;
  for (int i = 0; i < 8; ++i) used += f.lvProfiles.ColumnWidth(i);
  EXPECT_EQ(used + scrollBar + 4, f.lvProfiles.Width());
  EXPECT_EQ(f.hcProfile.SectionWidth(7), f.lvProfiles.ColumnWidth(7));
  EXPECT_EQ(f.lvMcProfiles2.ColumnWidth(7), f.lvProfiles.ColumnWidth(7));
  // And after the window grows.
  f.SetWidth(f.Width() + 60);
  Pump(100);
  used = 0;
  for (int i = 0; i < 8; ++i) used += f.lvProfiles.ColumnWidth(i);
  EXPECT_EQ(used + scrollBar + 4, f.lvProfiles.Width());
}

TEST_F(MainWindow, TheSplitterRefusesTooSmallAndTooLargePanels) {
  TMainForm& f = *form_;
  ASSERT_EQ(f.Splitter2.ResizeControl(), &f.pnlMcp);
  const int room = f.lvProfiles.Height() + f.Splitter2.Height() + f.pnlMcp.Height();
  EXPECT_TRUE(f.Splitter2.MoveTo(80));
  EXPECT_EQ(f.pnlMcp.Height(), 80);
  EXPECT_FALSE(f.Splitter2.MoveTo(54));
  EXPECT_EQ(f.pnlMcp.Height(), 80);
  EXPECT_TRUE(f.Splitter2.MoveTo(55));
  EXPECT_FALSE(f.Splitter2.MoveTo(room - 54));
  EXPECT_EQ(f.pnlMcp.Height(), 55);
  EXPECT_TRUE(f.Splitter2.MoveTo(room - 55));
  EXPECT_EQ(f.pnlMcp.Height(), room - 55);
  // The panel stays at the bottom with the splitter right above it.
  EXPECT_EQ(f.Splitter2.Top() + f.Splitter2.Height(), f.pnlMcp.Top());
  EXPECT_EQ(f.pnlMcp.Top() + f.pnlMcp.Height(), f.ClientHeight());
}

TEST_F(MainWindow, ViewModesAndMenus) {
  TMainForm& f = *form_;
  EXPECT_TRUE(f.Bothprofiles1->Checked());
  f.axnMcProfileOnly->Execute();
  EXPECT_TRUE(f.Mcprofile1->Checked());
  EXPECT_FALSE(f.Bothprofiles1->Checked());
  EXPECT_EQ(f.Splitter2.Height(), 0);
  EXPECT_LE(f.lvProfiles.Height(), 1);
  f.axnNormalProfileOnly->Execute();
  EXPECT_EQ(f.pnlMcp.Height(), 0);
  // Every main-menu entry and its action: the shortcuts shown as the user reads them.
  EXPECT_EQ(f.axnNewZipfile->ShortCut, (tk::TShortCut{'N', tk::ssCtrl | tk::ssAlt}));
  EXPECT_EQ(tk::ShortCutToText(f.axnNewZipfile->ShortCut), "Ctrl+Alt+N");
  EXPECT_EQ(f.MainMenu1.Items().Count(), 5);
  EXPECT_EQ(f.MainMenu1.Items()[3][0].Caption(), "Schedules");
  EXPECT_EQ(f.MainMenu1.Items()[3][0].ShortCutText(), "Ctrl+1");
  EXPECT_EQ(f.ActionList1.ActionsOf("Help").size(), 5u);
  EXPECT_EQ(f.tbAutoRun->Caption(), "AutoRun");
  EXPECT_FALSE(f.tbAbout->Visible());
  EXPECT_EQ(TMainForm::CenterPad("Copy", 7), "  Copy ");
  EXPECT_EQ(TMainForm::CenterPad("Options", 7), "Options");
}

}  // namespace

namespace {

TEST_F(MainWindow, ExitClosesThroughTheClosingSteps) {
  TMainForm& f = *form_;
  f.SetBounds(20, 10, 800, 500);
  f.axnBothProfiles->Execute();
  Pump(100);
  f.axnExit->Execute();
  EXPECT_EQ(qbtest::RegRead("Options\\General", "FormWidth"), "800");
  EXPECT_EQ(qbtest::RegRead("Options\\General", "FormLeft"), "20");
  EXPECT_EQ(qbtest::RegRead("Options\\General", "ProfileVisibility"), "3");
}

TEST_F(MainWindow, TheHelpItemsAndTheAboutLinkOpenTheAddressesTheyShowThroughTheShellSeam) {
  std::vector<std::string> opened;
  const TShellLauncher shell = SetShellLauncher([&](const TShellOpen& r) {
    opened.push_back(r.Verb + " " + r.File);
    return intptr_t{42};
  });
  form_->axnWWW->Execute();
  form_->axnMailExecute();  // the item is hidden, so its action runs only in code
  TAboutForm about;
  about.HandleNeeded();
  about.lblWWWClick();
  SetShellLauncher(shell);
  const std::string site = about.lblWWW.Caption();
  EXPECT_EQ(form_->axnWWW->Caption, site);
  EXPECT_EQ(opened, (std::vector<std::string>{"open " + site, "open mailto:" + form_->axnMail->Caption, "open " + site}));
}

}  // namespace

namespace {

// Shows the form and rests the pointer on its Run button; the button's screen rectangle.
RECT RestOnRunButton(TActionForm& form) {
  form.Show();
  SetForegroundWindow(form.Handle());
  Pump();
  RECT r = form.runButton->BoundsRect();
  MapWindowPoints(form.bar.Handle(), HWND_DESKTOP, reinterpret_cast<POINT*>(&r), 2);
  SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  return r;
}

TEST(HoverHints, AToolButtonsHintShowsInTheShadowedWindowAfterThePause) {
  g32::InitHintShadow();
  tk::EnableHoverHints({.HintPause = 100, .HintHidePause = 1500, .HintShortCuts = true});
  TActionForm form;
  form.run->Hint = "Run Profiles";
  const RECT r = RestOnRunButton(form);
  EXPECT_TRUE(tk::Application.ProcessUntil([] { return !tk::ShownHoverHint().empty(); }, 3000));
  EXPECT_EQ(tk::ShownHoverHint(), "Run Profiles (Ctrl+R)");
  HWND window = FindWindowW(L"TShadowedHintWindow", nullptr);
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(IsWindowVisible(window));
  // It goes after the hide pause and stays away while the pointer rests.
  EXPECT_TRUE(tk::Application.ProcessUntil([] { return tk::ShownHoverHint().empty(); }, 4000));
  Pump(400);
  EXPECT_EQ(tk::ShownHoverHint(), "");
  // Away from the bar: nothing.
  SetCursorPos(r.left, r.bottom + 60);
  Pump(400);
  EXPECT_EQ(tk::ShownHoverHint(), "");
  form.Hide();
}

}  // namespace

namespace {

// The colour a window shows at a point of its client area.
COLORREF ShownAt(HWND w, int x, int y) {
  HDC dc = GetDC(w);
  const COLORREF c = GetPixel(dc, x, y);
  ReleaseDC(w, dc);
  return c;
}

TEST(HoverHints, AHintGoesWhenAMenuOpensOverIt) {
  g32::InitHintShadow();
  tk::EnableHoverHints({.HintPause = 100, .HintHidePause = 30000, .HintShortCuts = false});
  TActionForm form;
  form.run->Hint = "Run Profiles";
  tk::TPopupMenu menu{form};
  menu.Items().Add("Profile");
  menu.Items().Add("Multi Computer Profile");
  const RECT r = RestOnRunButton(form);
  ASSERT_TRUE(tk::Application.ProcessUntil([] { return !tk::ShownHoverHint().empty(); }, 3000));
  HWND hint = FindWindowW(L"TShadowedHintWindow", nullptr);
  ASSERT_NE(hint, nullptr);
  bool menuShown = false, hintGone = false;
  {
    // The menu drops down right below the button, where the hint shows; a person looks
    // at it and closes it again.
    qbtest::TPerson person([&] {
      HWND popup = nullptr;
      menuShown = qbtest::WaitUntil([&] { return (popup = FindWindowW(L"#32768", nullptr)) && IsWindowVisible(popup); },
                                    5000);
      hintGone = qbtest::WaitUntil([&] { return !IsWindowVisible(hint); }, 3000);
      if (popup) PostMessageW(popup, WM_KEYDOWN, VK_ESCAPE, 0);
    });
    menu.Popup(r.left, r.bottom);
  }
  EXPECT_TRUE(menuShown);
  EXPECT_TRUE(hintGone);
  form.Hide();
}

TEST_F(MainWindow, TheFlatToolBarLookShowsAtOnceWhenItIsSwitchedBackOn) {
  TMainForm& f = *form_;
  SetCursorPos(0, 0);  // away from the bar: no button is hot
  const RECT r = f.tbCopy->BoundsRect();
  const int x = r.left + 2, y = r.bottom - 3;  // the face beside the caption
  f.ApplyXPMenu(false);
  Pump();
  const COLORREF plain = ShownAt(f.tbarMain.Handle(), x, y);
  // As the options dialog does it: no message is handled before the bar shows it.
  f.ApplyXPMenu(true);
  EXPECT_NE(ShownAt(f.tbarMain.Handle(), x, y), plain);  // the flat face is lighter
  f.ApplyXPMenu(false);
  EXPECT_EQ(ShownAt(f.tbarMain.Handle(), x, y), plain);
}

TEST(MainWindowPlace, ATallPanelLeavesBothListsAndAMinimisedCloseKeepsTheNormalPlace) {
  qbtest::ClearQuillbankKey();
  // McProfileViewHeight as a taller window left it.
  for (const auto& [name, value] : std::vector<std::pair<const char*, const char*>>{
           {"DoNotVerifyAppFileVersions", "1"}, {"FormLeft", "40"}, {"FormTop", "30"}, {"FormWidth", "700"},
           {"FormHeight", "440"}, {"ProfileVisibility", "3"}, {"McProfileViewHeight", "600"}})
    qbtest::RegWrite("Options\\General", name, value);
  {
    TMainForm form;
    form.Show();
    Pump();
    // Both lists inside the window, each at least as high as a drag of the splitter leaves it.
    const auto bothListsShow = [&form] {
      return form.lvProfiles.Height() > 54 && form.pnlMcp.Height() >= 55 &&
             form.pnlMcp.Top() + form.pnlMcp.Height() == form.ClientHeight() &&
             form.Splitter2.Top() > form.lvProfiles.Top();
    };
    EXPECT_TRUE(bothListsShow()) << form.lvProfiles.Height() << " / " << form.pnlMcp.Height();
    // A large window with a tall panel, shrunk.
    form.SetBounds(40, 30, 700, 700);
    Pump(100);
    ASSERT_TRUE(form.Splitter2.MoveTo(500));
    form.SetBounds(40, 30, 700, 320);
    Pump(100);
    EXPECT_TRUE(bothListsShow()) << form.lvProfiles.Height() << " / " << form.pnlMcp.Height();
    form.SetWindowState(tk::TWindowState::wsMinimized);
    EXPECT_TRUE(tk::Application.ProcessUntil([&form] { return IsIconic(form.Handle()) != 0; }, 3000));
    form.Close();
  }
  // The place the window comes back to, not the minimised one.
  for (const auto& [name, value] : std::vector<std::pair<const char*, const char*>>{
           {"FormLeft", "40"}, {"FormTop", "30"}, {"FormWidth", "700"}, {"FormHeight", "320"}})
    EXPECT_EQ(qbtest::RegRead("Options\\General", name), value) << name;
  EXPECT_LT(std::stoi(qbtest::RegRead("Options\\General", "McProfileViewHeight")), 320 - 110);
  tk::Application.ResetTerminated();
  qbtest::ClearQuillbankKey();
}

TEST(MainWindowOrder, AChangedOrderIsWrittenFirstAndTheSurplusGoesLast) {
  qbtest::ClearQuillbankKey();
  qbtest::RegWrite("Options\\General", "DoNotVerifyAppFileVersions", "1");
  for (const char* name : {"Docs", "Mail"}) qbtest::RegWrite(std::string("Profiles\\") + name, "pn", name);
  qbtest::RegWrite("Profile Names", "ProfileCount", "3");
  qbtest::RegWrite("Profile Names", "P0", "Mail");
  qbtest::RegWrite("Profile Names", "P1", "");  // no profile key behind it
  qbtest::RegWrite("Profile Names", "P2", "Docs");
  qbtest::RegWrite("Profile Names", "P7", "Old");
  {
    TMainForm form;
    form.Show();
    Pump();
    ASSERT_EQ(form.lvProfiles.Count(), 2) << "the entry without a key has no row";
    EXPECT_EQ(form.lvProfiles.ItemCaption(0), "Mail");
    EXPECT_EQ(form.lvProfiles.ItemCaption(1), "Docs");
    // The editors' services reach the rows' own profiles while the window lives.
    std::vector<TQbProfile*> rows;
    ForEachListedProfile([&rows](TQbProfile& p) { rows.push_back(&p); });
    EXPECT_EQ(rows,
              (std::vector<TQbProfile*>{form.RowProfile(form.lvProfiles, 0), form.RowProfile(form.lvProfiles, 1)}));
    form.OrderChanged = true;
    form.Close();
  }
  EXPECT_EQ(ListAllProfileNames(), (std::vector<std::string>{"Mail", "Docs"})) << "the stored ones once it is gone";
  EXPECT_EQ(qbtest::RegValueNames("Profile Names"), (std::vector<std::string>{"P0", "P1", "ProfileCount"}));
  EXPECT_EQ(qbtest::RegRead("Profile Names", "ProfileCount"), "2");
  EXPECT_EQ(qbtest::RegRead("Profile Names", "P0"), "Mail");
  EXPECT_EQ(qbtest::RegRead("Profile Names", "P1"), "Docs");
  EXPECT_EQ(qbtest::RegRead("Profiles\\Docs", "pn"), "Docs") << "no profile key was touched";
  qbtest::ClearQuillbankKey();
}

}  // namespace
