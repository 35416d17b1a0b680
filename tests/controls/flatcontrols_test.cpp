// Flat painting of standard controls: a form with every kind of control, the flat
// look switched on, hovered, focused and off again, read back from the pixels that
// each control shows.
#include <gtest/gtest.h>

#include <map>
#include <memory>

#include "controls/flatcontrols.h"
#include "controls/flatmenu.h"
#include "toolkit/win_bitbtn.h"
#include "toolkit/win_groupbox.h"
#include "toolkit/win_richedit.h"
#include "toolkit/win_speedbutton.h"
#include "toolkit/win_updown.h"

using namespace g32;

namespace {

struct TEveryKindForm : tk::TForm {
  tk::TComboBox cbList;
  tk::TEdit edName, edNum;
  tk::TUpDown udNum;
  tk::TMemo mmNotes;
  tk::TRichEdit reLog;
  tk::TCheckBox chkOn, chkGrayed, chkKeep;
  tk::TRadioButton rbOne;
  tk::TButton btnOK;
  tk::TBitBtn bbGo;
  tk::TSpeedButton sbTool;
  tk::TPanel pnlBox;
  tk::TButton btnInPanel;
  tk::TGroupBox gbGroup;
  tk::TCheckBox chkInGroup;
  TEveryKindForm() : TForm(L"TFlatControlsTestForm") {
    SetClientSize(420, 300);
    Declare({
        {.Control = cbList, .Name = "cbList", .Caption = "", .Bounds = {8, 8, 140, 21}, .Style = tk::cbList},
        {.Control = edName, .Name = "edName", .Caption = "name", .Bounds = {8, 40, 140, 21}},
        {.Control = edNum, .Name = "edNum", .Caption = "", .Bounds = {300, 8, 60, 21}, .Style = tk::edReadOnly},
        {.Control = udNum, .Name = "udNum", .Caption = "", .Bounds = {360, 8, 16, 21}},
        {.Control = mmNotes, .Name = "mmNotes", .Caption = "", .Bounds = {8, 70, 140, 40}},
        {.Control = reLog, .Name = "reLog", .Caption = "", .Bounds = {8, 120, 140, 40}},
        {.Control = chkOn, .Name = "chkOn", .Caption = "On", .Bounds = {160, 8, 100, 21}},
        {.Control = chkGrayed, .Name = "chkGrayed", .Caption = "Grayed", .Bounds = {160, 32, 100, 21},
         .Style = tk::chkAllowGrayed},
        {.Control = chkKeep, .Name = "chkKeep", .Caption = "Keep", .Bounds = {160, 56, 100, 21}},
        {.Control = rbOne, .Name = "rbOne", .Caption = "One", .Bounds = {160, 80, 100, 21}},
        {.Control = btnOK, .Name = "btnOK", .Caption = "OK", .Bounds = {160, 110, 75, 25}},
        {.Control = bbGo, .Name = "bbGo", .Caption = "Go", .Bounds = {240, 110, 75, 25}},
        {.Control = sbTool, .Name = "sbTool", .Caption = "Tool", .Bounds = {320, 110, 75, 25}},
        {.Control = pnlBox, .Name = "pnlBox", .Caption = "", .Bounds = {8, 170, 190, 60}},
        {.Control = btnInPanel, .Name = "btnInPanel", .Caption = "In", .Bounds = {10, 10, 75, 25},
         .Parent = &pnlBox},
        {.Control = gbGroup, .Name = "gbGroup", .Caption = " Group ", .Bounds = {210, 170, 190, 80}},
        {.Control = chkInGroup, .Name = "chkInGroup", .Caption = "Inside", .Bounds = {10, 24, 120, 21},
         .Parent = &gbGroup},
    });
    cbList.SetItems({"one", "two"});
    udNum.SetAssociate(&edNum);
    chkKeep.Tag = 999;
    Show();
    chkGrayed.SetState(tk::TCheckBoxState::cbGrayed);
    mmNotes.SetFocus();  // the sampled controls are all without the focus
  }
};

void Pump() {
  for (int i = 0; i < 5; ++i) {
    tk::Application.ProcessMessages();
    Sleep(10);
  }
}

// Repaints a control now and reads one of its pixels (window coordinates for edits).
COLORREF PixelOf(tk::TControl& c, int x, int y, bool window = false) {
  RedrawWindow(c.Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_ERASE | RDW_UPDATENOW);
  Pump();
  HDC dc = window ? GetWindowDC(c.Handle()) : GetDC(c.Handle());
  COLORREF p = GetPixel(dc, x, y);
  ReleaseDC(c.Handle(), dc);
  return p;
}

COLORREF Rgb(tk::TColor c) { return tk::ColorToRGB(c); }
COLORREF Light(tk::TColor c, int p) { return Rgb(Lighten(nullptr, c, p)); }

struct TSamples {
  COLORREF buttonEdge, comboButton, editBorder, checkFill, panelEdge;
};

TSamples Sample(TEveryKindForm& f) {
  RECT cb, ed;
  GetClientRect(f.cbList.Handle(), &cb);
  GetWindowRect(f.edName.Handle(), &ed);
  return {PixelOf(f.btnOK, 0, 12), PixelOf(f.cbList, cb.right - 4, 5),
          PixelOf(f.edName, 0, (ed.bottom - ed.top) / 2, true), PixelOf(f.chkOn, 6, 10), PixelOf(f.pnlBox, 0, 30)};
}

}  // namespace

TEST(FlatControls, SwitchedOnPaintsFlatHotDiffersAndOffRestoresTheSystemLook) {
  TEveryKindForm f;
  Pump();
  const TSamples system = Sample(f);

  TXPMenu menu(&f);
  menu.SetActive(true);
  Pump();
  // Every kind on the form, on the panel and in the group box; not the one with Tag 999.
  EXPECT_EQ(menu.SubClassCount(), 16);
  EXPECT_TRUE(TControlSubClass::IsHook(f.udNum));  // taken, though it keeps its own look
  EXPECT_TRUE(TControlSubClass::IsHook(f.btnInPanel));
  EXPECT_TRUE(TControlSubClass::IsHook(f.chkInGroup));
  EXPECT_FALSE(TControlSubClass::IsHook(f.chkKeep));
  EXPECT_FALSE(f.edName.Ctl3D());  // the sunken border gives way to the flat line
  EXPECT_FALSE(f.reLog.BorderSingle());

  const TSamples cold = Sample(f);
  const COLORREF face = Rgb(tk::clBtnFace);
  EXPECT_EQ(cold.buttonEdge, Light(Rgb(tk::clBtnShadow), 30));
  EXPECT_EQ(cold.comboButton, face);
  EXPECT_EQ(cold.editBorder, Rgb(Darken(tk::clBtnFace, 60)));
  EXPECT_EQ(cold.checkFill, Rgb(tk::clWindow));
  EXPECT_EQ(cold.panelEdge, Light(tk::clBtnFace, 60));  // raised bevel: light above dark
  EXPECT_NE(cold.buttonEdge, system.buttonEdge);
  EXPECT_NE(cold.editBorder, system.editBorder);

  // Hot: the mouse came over each control.
  for (tk::TControl* c : std::initializer_list<tk::TControl*>{&f.btnOK, &f.cbList, &f.chkOn})
    SendMessageW(c->Handle(), tk::CM_MOUSEENTER, 0, 0);
  HDC dc = GetDC(f.btnOK.Handle());
  COLORREF hotEdge = GetPixel(dc, 0, 12);
  ReleaseDC(f.btnOK.Handle(), dc);
  EXPECT_EQ(hotEdge, Light(Light(tk::clHighlight, 60), 30));
  EXPECT_NE(hotEdge, cold.buttonEdge);
  RECT cb;
  GetClientRect(f.cbList.Handle(), &cb);
  dc = GetDC(f.cbList.Handle());
  EXPECT_EQ(GetPixel(dc, cb.right - 4, 5), Light(tk::clHighlight, 68));
  ReleaseDC(f.cbList.Handle(), dc);
  // Repaints keep the hot look until the mouse leaves.
  EXPECT_EQ(PixelOf(f.chkOn, 6, 10), Light(tk::clHighlight, 68));
  for (tk::TControl* c : std::initializer_list<tk::TControl*>{&f.btnOK, &f.cbList, &f.chkOn})
    SendMessageW(c->Handle(), tk::CM_MOUSELEAVE, 0, 0);
  EXPECT_EQ(Sample(f).buttonEdge, cold.buttonEdge);

  // Focus lights the edit's line; the grayed box is filled silver.
  f.edName.SetFocus();
  Pump();
  RECT ed;
  GetWindowRect(f.edName.Handle(), &ed);
  EXPECT_EQ(PixelOf(f.edName, 0, (ed.bottom - ed.top) / 2, true), Light(tk::clHighlight, 60));
  EXPECT_EQ(PixelOf(f.chkGrayed, 6, 10), Rgb(tk::clSilver));
  f.mmNotes.SetFocus();
  Pump();
  EXPECT_EQ(PixelOf(f.edName, 0, (ed.bottom - ed.top) / 2, true), cold.editBorder);

  // Off: each control gives the painting back at its next message.
  menu.SetActive(false);
  Pump();
  for (tk::TControl* c : f.Controls()) c->Invalidate();
  f.btnInPanel.Invalidate();
  f.chkInGroup.Invalidate();
  Pump();
  EXPECT_EQ(menu.SubClassCount(), 0);
  EXPECT_FALSE(TControlSubClass::IsHook(f.btnOK));
  EXPECT_TRUE(f.edName.Ctl3D());
  EXPECT_TRUE(f.reLog.BorderSingle());
  f.mmNotes.SetFocus();  // the focus as it was when the system's look was sampled
  Pump();
  const TSamples back = Sample(f);
  EXPECT_EQ(back.buttonEdge, system.buttonEdge);
  EXPECT_EQ(back.comboButton, system.comboButton);
  EXPECT_EQ(back.editBorder, system.editBorder);
  EXPECT_EQ(back.checkFill, system.checkFill);
  EXPECT_EQ(back.panelEdge, system.panelEdge);
}

TEST(FlatControls, KindsAndContainersChooseTheControls) {
  TEveryKindForm f;
  TXPMenu menu(&f);
  menu.SetXPControls(kAllXPControls & ~xcButton);
  menu.SetXPContainers(kAllXPContainers & ~xccPanel);
  menu.SetActive(true);
  EXPECT_FALSE(TControlSubClass::IsHook(f.btnOK));       // kind left out
  EXPECT_FALSE(TControlSubClass::IsHook(f.btnInPanel));  // and its container too
  EXPECT_TRUE(TControlSubClass::IsHook(f.bbGo));         // a bitmap button is a kind of its own
  EXPECT_TRUE(TControlSubClass::IsHook(f.pnlBox));       // the panel itself sits on the form
  EXPECT_TRUE(TControlSubClass::IsHook(f.chkInGroup));
  f.gbGroup.Tag = 999;  // a parent with Tag 999 keeps its controls out on the next apply
  menu.SetActive(false);
  Pump();
  for (tk::TControl* c : f.Controls()) c->Invalidate();
  f.chkInGroup.Invalidate();
  Pump();
  menu.SetActive(true);
  EXPECT_FALSE(TControlSubClass::IsHook(f.chkInGroup));
}

TEST(FlatControls, SpaceRepaintsOnceAndAControlGoingFirstIsForgotten) {
  TEveryKindForm f;
  TXPMenu menu(&f);
  menu.SetActive(true);
  Pump();
  // Space held: the pressed look at the first key-down, sunken shade on the left edge.
  SendMessageW(f.btnOK.Handle(), WM_KEYDOWN, VK_SPACE, 0);
  HDC dc = GetDC(f.btnOK.Handle());
  const COLORREF pressedFace = GetPixel(dc, 10, 12);
  ReleaseDC(f.btnOK.Handle(), dc);
  EXPECT_EQ(pressedFace, Light(tk::clBtnFace, 60));
  SendMessageW(f.btnOK.Handle(), WM_KEYUP, VK_SPACE, 0);
  Pump();
  // A double-click on a check box reaches it as a second press: the pressed fill.
  SendMessageW(f.chkOn.Handle(), WM_LBUTTONDBLCLK, 0, MAKELPARAM(6, 10));
  dc = GetDC(f.chkOn.Handle());
  EXPECT_EQ(GetPixel(dc, 6, 10), Light(tk::clHighlight, 50));
  ReleaseDC(f.chkOn.Handle(), dc);
  SendMessageW(f.chkOn.Handle(), WM_LBUTTONUP, 0, MAKELPARAM(6, 10));
  Pump();

  // A control made and destroyed while the look is on leaves no painter behind.
  auto extra = std::make_unique<tk::TButton>();
  f.Declare({.Control = *extra, .Name = "btnExtra", .Caption = "X", .Bounds = {300, 40, 60, 25}});
  menu.SetActive(false);
  menu.SetActive(true);
  const int withExtra = menu.SubClassCount();
  EXPECT_TRUE(TControlSubClass::IsHook(*extra));
  extra.reset();
  EXPECT_EQ(menu.SubClassCount(), withExtra - 1);
  // A second component finds the controls taken and leaves them to the first.
  auto menu2 = std::make_unique<TXPMenu>(&f);
  menu2->SetActive(true);
  menu2.reset();
  EXPECT_TRUE(TControlSubClass::IsHook(f.btnOK));  // still the first component's
}
