// The colour-pair combo box, the colour picker button with its pop-up, and the
// progress-bar settings frame, each on a real form under Xvfb, driven with messages.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <string>
#include <thread>

#include "controls/colorpickerbutton.h"
#include "controls/g32progressbarui.h"
#include "controls/multicolorcombobox.h"
#include "toolkit/strings.h"
#include "toolkit/win_form.h"

using namespace g32;

namespace {

void Pump() { tk::Application.ProcessMessages(); }

struct THost : tk::TForm {
  THost() : tk::TForm(L"TColoursHost") {
    SetClientSize(400, 300);
    SetBounds(100, 100, 420, 340);
  }
};

// Points of the pop-up's client area as the capture window receives them.
LPARAM PopupPoint(TColorPickerButton& b, int x, int y) {
  POINT p{x, y};
  MapWindowPoints(b.Popup().Handle(), b.CaptureWindow(), &p, 1);
  return MAKELPARAM(static_cast<short>(p.x), static_cast<short>(p.y));
}
POINT Centre(const RECT& r) { return {(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }
void Press(TColorPickerButton& b, POINT p) {
  SendMessageW(b.CaptureWindow(), WM_LBUTTONDOWN, MK_LBUTTON, PopupPoint(b, p.x, p.y));
}
void Release(TColorPickerButton& b, POINT p) {
  SendMessageW(b.CaptureWindow(), WM_LBUTTONUP, 0, PopupPoint(b, p.x, p.y));
}
void ClickAt(TColorPickerButton& b, POINT p) {
  Press(b, p);
  Release(b, p);
}
void Move(TColorPickerButton& b, POINT p, WPARAM keys = 0) {
  SendMessageW(b.CaptureWindow(), WM_MOUSEMOVE, keys, PopupPoint(b, p.x, p.y));
}
void Key(TColorPickerButton& b, WORD key) { SendMessageW(b.CaptureWindow(), WM_KEYDOWN, key, 0); }
// A press on the arrow part of the button, as the user opens the pop-up.
void PressArrow(TColorPickerButton& b) {
  SendMessageW(b.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(b.ClientWidth() - 4, 5));
  Pump();
}
bool PopupShowing(TColorPickerButton& b) { return b.Popup().Handle() && IsWindowVisible(b.Popup().Handle()); }

// Waits on its own thread for the confirmation box and clicks the named button.
class TAnswer {
 public:
  explicit TAnswer(std::wstring button) : button_(std::move(button)), thread_([this] { Watch(); }) {}
  ~TAnswer() { thread_.join(); }
  std::atomic<bool> seen{false};
  std::string text;

 private:
  void Watch() {
    for (ULONGLONG end = GetTickCount64() + 20000; GetTickCount64() < end; Sleep(20)) {
      HWND box = FindWindowW(L"TMessageForm", L"Confirm");
      if (!box || !IsWindowVisible(box)) continue;
      for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        std::string t = WindowTextOf(c);
        if (t.find('?') != std::string::npos) text = t;
      }
      seen = true;
      if (HWND b = FindWindowExW(box, nullptr, L"Button", button_.c_str())) PostMessageW(b, BM_CLICK, 0, 0);
      return;
    }
  }
  static std::string WindowTextOf(HWND w) {
    wchar_t buf[256] = {};
    GetWindowTextW(w, buf, 256);
    return tk::Narrow(buf);
  }
  std::wstring button_;
  std::thread thread_;
};

}  // namespace

// ---------------- colour-pair combo box

class ColourPairCombo : public ::testing::Test {
 protected:
  void SetUp() override {
    form.Declare({{.Control = combo, .Name = "cbAlternate", .Caption = "", .Bounds = {10, 10, 120, 17}}});
    combo.OnChange = [this] { ++changes; };
    combo.OnClick = [this] { ++clicks; };
    form.Show();
    Pump();
  }
  THost form;
  TMultiColorComboBox combo;
  int changes = 0, clicks = 0;
};

TEST_F(ColourPairCombo, StartsBlackAndGreyOwnerDrawnList) {
  EXPECT_EQ(combo.Color1(), 0x000000u);
  EXPECT_EQ(combo.Color2(), 0x808080u);
  EXPECT_EQ(combo.ItemHeight, 13);
  EXPECT_EQ(SendMessageW(combo.Handle(), CB_GETITEMHEIGHT, 0, 0), tk::ScaleToDpi(13, tk::ScreenPixelsPerInch()));
  LONG style = GetWindowLongW(combo.Handle(), GWL_STYLE);
  EXPECT_EQ(style & CBS_OWNERDRAWFIXED, CBS_OWNERDRAWFIXED);
  EXPECT_EQ(style & 3, CBS_DROPDOWNLIST);
  EXPECT_EQ(combo.ItemIndex(), -1);
}

TEST_F(ColourPairCombo, PairsAreListedOnceUnlessBothColoursAreEqual) {
  combo.AddPair(0xFFFFFF, 0xF0F0F0);
  combo.AddPair(0xFFFFFF, 0xF0F0F0);
  combo.AddPair(0xF0F0F0, 0xFFFFFF);  // the other order is another pair
  EXPECT_EQ(combo.Count(), 2);
  combo.AddPair(0xC0C0C0, 0xC0C0C0);
  combo.AddPair(0xC0C0C0, 0xC0C0C0);
  EXPECT_EQ(combo.Count(), 4);
  EXPECT_EQ(combo.PairCount(), 4);
  EXPECT_EQ(combo.Item(0), "Color");
  EXPECT_EQ(combo.Item(3), "Color");
  EXPECT_EQ(combo.IndexOfPair(TColorPair(0xF0F0F0, 0xFFFFFF)), 1);
  EXPECT_EQ(combo.IndexOfPair(TColorPair(0xC0C0C0, 0xC0C0C0)), -1);
  EXPECT_FALSE(combo.Pair(2).Equals(combo.Pair(2)));
}

TEST_F(ColourPairCombo, SelectPairShowsListedPairsAndRaisesChangeOnce) {
  combo.AddPair(0xFFFFFF, 0xF0F0F0);
  combo.AddPair(0xEEEEEE, 0xDDDDDD);
  combo.AddPair(0x123456, 0x123456);
  combo.SelectPair(0x111111, 0x222222);  // not listed
  EXPECT_EQ(combo.ItemIndex(), -1);
  EXPECT_EQ(combo.Color1(), 0u);
  EXPECT_EQ(combo.Color2(), 0x808080u);
  EXPECT_EQ(changes, 0);
  combo.SelectPair(0xEEEEEE, 0xDDDDDD);
  EXPECT_EQ(combo.ItemIndex(), 1);
  EXPECT_EQ(combo.Color1(), 0xEEEEEEu);
  EXPECT_EQ(combo.Color2(), 0xDDDDDDu);
  EXPECT_EQ(changes, 1);
  combo.SelectPair(0xEEEEEE, 0xDDDDDD);  // shown already
  EXPECT_EQ(changes, 1);
  combo.SelectPair(0x123456, 0x123456);  // equal colours: never found
  EXPECT_EQ(combo.ItemIndex(), 1);
  EXPECT_EQ(combo.Color1(), 0xEEEEEEu);
  EXPECT_EQ(changes, 1);
  combo.SelectPair(0xFFFFFF, 0xF0F0F0);
  EXPECT_EQ(combo.ItemIndex(), 0);
  EXPECT_EQ(changes, 2);
  EXPECT_EQ(clicks, 0);
}

TEST_F(ColourPairCombo, PickingAnItemTakesItsColoursThenClickAndChange) {
  combo.AddPair(0xFFFFFF, 0xF0F0F0);
  combo.AddPair(0xEEEEEE, 0xDDDDDD);
  std::string order;
  combo.OnClick = [&] { order += "click " + std::to_string(combo.Color1()) + ";"; };
  combo.OnChange = [&] { order += "change;"; };
  SendMessageW(combo.Handle(), CB_SETCURSEL, 1, 0);
  SendMessageW(form.Handle(), WM_COMMAND, MAKEWPARAM(combo.ControlId(), CBN_SELCHANGE),
               reinterpret_cast<LPARAM>(combo.Handle()));
  EXPECT_EQ(combo.Color1(), 0xEEEEEEu);
  EXPECT_EQ(combo.Color2(), 0xDDDDDDu);
  EXPECT_EQ(order, "click " + std::to_string(0xEEEEEE) + ";change;");
}

TEST_F(ColourPairCombo, ItemShowsTwoOutlinedSwatchesOnWindowColour) {
  combo.AddPair(0x0000FF, 0x00FF00);
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP bmp = CreateCompatibleBitmap(screen, 100, 13);
  ReleaseDC(nullptr, screen);
  HGDIOBJ old = SelectObject(dc, bmp);
  combo.DrawItem(dc, 0, RECT{0, 0, 100, 13});
  // R = (2, 1, 98, 12), Mid = 50.
  EXPECT_EQ(GetPixel(dc, 0, 0), GetSysColor(COLOR_WINDOW));
  EXPECT_EQ(GetPixel(dc, 1, 6), GetSysColor(COLOR_WINDOW));
  EXPECT_EQ(GetPixel(dc, 2, 6), RGB(0, 0, 0));    // outline
  EXPECT_EQ(GetPixel(dc, 20, 6), RGB(255, 0, 0));  // Color1 0x0000FF is red
  EXPECT_EQ(GetPixel(dc, 50, 6), RGB(0, 0, 0));    // the shared middle edge
  EXPECT_EQ(GetPixel(dc, 80, 6), RGB(0, 255, 0));
  EXPECT_EQ(GetPixel(dc, 97, 6), RGB(0, 0, 0));
  EXPECT_EQ(GetPixel(dc, 98, 6), GetSysColor(COLOR_WINDOW));
  SelectObject(dc, old);
  DeleteObject(bmp);
  DeleteDC(dc);
}

// ---------------- colour picker

class ColourPicker : public ::testing::Test {
 protected:
  void SetUp() override {
    form.Declare({{.Control = button, .Name = "ColorPickerButton1", .Caption = "", .Bounds = {20, 20, 45, 22}}});
    button.SetCustomText("More Colors...");
    button.SetDefaultText("&Automatic");
    button.SetShowSystemColors(true);
    button.OnChange = [this] { ++changes; };
    button.OnDefaultSelect = [this] { ++defaults; };
    form.Show();
    Pump();
  }
  void TearDown() override { button.SetDroppedDown(false); }
  TColorPopup& popup() { return button.Popup(); }
  THost form;
  TColorPickerButton button;
  int changes = 0, defaults = 0;
};

TEST_F(ColourPicker, ButtonDefaults) {
  TColorPickerButton b;
  EXPECT_EQ(b.Width(), 45);
  EXPECT_EQ(b.Height(), 22);
  EXPECT_EQ(b.SelectionColor(), 0u);
  EXPECT_EQ(b.DropDownWidth(), 15);
  EXPECT_EQ(b.PopupSpacing(), 8);
  EXPECT_EQ(b.Margin(), -1);
  EXPECT_EQ(b.Spacing(), 4);
  EXPECT_TRUE(b.Transparent());
  EXPECT_FALSE(b.Flat());
  EXPECT_EQ(b.IndicatorBorder(), TIndicatorBorder::ibFlat);
  b.SetPopupSpacing(-5);
  EXPECT_EQ(b.PopupSpacing(), 0);
  b.SetMargin(-2);
  EXPECT_EQ(b.Margin(), -1);
  b.SetDown(true);  // no group: cannot latch
  EXPECT_FALSE(b.Down());
}

TEST_F(ColourPicker, LayoutOfGridCombsAndSlider) {
  popup().CreateWnd();
  const int M = GetSystemMetrics(SM_CXEDGE);
  EXPECT_EQ(popup().CombSize(), 63);
  EXPECT_EQ(popup().CombRadius(), 11);
  EXPECT_GE(popup().WindowRect().right, 8 * 18 + 2 * M + 16);
  RECT d = popup().DefaultRect();
  EXPECT_EQ(d.left, M + 8);
  EXPECT_EQ(d.top, 2 * M);
  // Every cell is found where it is drawn; the gap above the system rows hits nothing.
  for (int cell = 0; cell < 65; ++cell) {
    RECT r = popup().CellRect(cell);
    EXPECT_EQ(r.right - r.left, 18);
    EXPECT_EQ(popup().CellAt(r.left + 9, r.top + 9), cell) << cell;
  }
  RECT c39 = popup().CellRect(39), c40 = popup().CellRect(40);
  EXPECT_EQ(c40.top - c39.bottom, 3 * M);
  EXPECT_EQ(popup().CellAt(c40.left + 9, c40.top - 1), kNoCell);
  EXPECT_EQ(popup().CellAt(popup().CellRect(64).right + 5, popup().CellRect(64).top + 5), kNoCell);
  EXPECT_EQ(popup().CellAt(Centre(popup().CustomRect()).x, Centre(popup().CustomRect()).y), kCustomCell);
  EXPECT_EQ(popup().CellAt(Centre(d).x, Centre(d).y), kDefaultCell);
  RECT cc = popup().ColorCombRect(), gc = popup().GreyCombRect(), sl = popup().SliderRect();
  EXPECT_EQ(cc.top, popup().WindowRect().bottom);
  EXPECT_EQ(cc.right - cc.left, 126);
  EXPECT_EQ(gc.top, cc.bottom - 4);
  EXPECT_EQ(gc.bottom, cc.bottom + 22);
  EXPECT_EQ(gc.right - gc.left, 81 + 66);
  EXPECT_EQ(sl.left, cc.right);
  EXPECT_EQ(sl.right - sl.left, 20);
  EXPECT_EQ(sl.top, cc.top + 11);
  EXPECT_EQ(sl.bottom, cc.bottom - 11);
}

TEST_F(ColourPicker, CombCellsAndColours) {
  const auto& greys = popup().GreyCells();
  ASSERT_EQ(greys.size(), 17u);
  EXPECT_EQ(greys[0].X, 11);
  EXPECT_EQ(greys[0].Y, 11);
  EXPECT_EQ(greys[0].Color, 0xFFFFFFu);
  EXPECT_EQ(greys[1].X, 33);
  EXPECT_EQ(greys[1].Y, 6);
  EXPECT_EQ(greys[1].Color, 0xE1E1E1u);  // 225
  EXPECT_EQ(greys[2].X, 38);
  EXPECT_EQ(greys[2].Y, 14);
  EXPECT_EQ(greys[15].X, 103);
  EXPECT_EQ(greys[15].Color, 0x0F0F0Fu);
  EXPECT_EQ(greys[16].X, 124);
  EXPECT_EQ(greys[16].Y, 11);
  EXPECT_EQ(greys[16].Color, 0u);
  const auto& cells = popup().ColorCells();
  ASSERT_EQ(cells.size(), 127u);
  EXPECT_EQ(cells[0].X, 0);
  EXPECT_EQ(cells[0].Color, 0xFFFFFFu);
  // Sector 0, ring 1: a sixth of the way to magenta, straight right of the centre
  // (5/6 as a 32-bit float is a little below it, so 212.5 becomes 212).
  EXPECT_EQ(cells[1].X, 9);
  EXPECT_EQ(cells[1].Y, 0);
  EXPECT_EQ(cells[1].Color, 0xFFD4FFu);
  // Sector 0, outer ring: magenta itself at D / 2 = 54.6 pixels.
  EXPECT_EQ(cells[16].X, 55);
  EXPECT_EQ(cells[16].Color, 0xFF00FFu);
  // Half the intensity darkens the centre.
  popup().SetIntensity(0.5f);
  EXPECT_EQ(popup().ColorCells()[0].Color, 0x808080u);
}

TEST_F(ColourPicker, SelectColorCellFindsNamedSystemAndCombColours) {
  popup().SelectColorCell(0xFFCC99);
  EXPECT_EQ(popup().SelectedCell(), 37);  // "Pale Blue"
  popup().SelectColorCell(tk::clBtnFace);
  EXPECT_EQ(popup().SelectedCell(), 40 + COLOR_BTNFACE);
  popup().SelectColorCell(0x969696);
  EXPECT_EQ(popup().SelectedCell(), 23);
  popup().SelectColorCell(0xE1E1E1);
  EXPECT_EQ(popup().SelectedCell(), kCustomCell);
  EXPECT_EQ(popup().CustomIndex(), -2);
  popup().SelectColorCell(0xFFD4FF);
  EXPECT_EQ(popup().SelectedCell(), kCustomCell);
  EXPECT_EQ(popup().CustomIndex(), 2);
  popup().SelectColorCell(0x123457);
  EXPECT_EQ(popup().SelectedCell(), kNoCell);
  popup().SelectColorCell(tk::clNone);
  EXPECT_EQ(popup().SelectedCell(), kNoCell);
  popup().SelectColorCell(tk::clDefault);
  EXPECT_EQ(popup().SelectedCell(), kDefaultCell);
  // A system colour finds a system cell only while they are shown.
  button.SetShowSystemColors(false);
  popup().SelectColorCell(tk::clBtnFace);
  EXPECT_LT(popup().SelectedCell(), 40);
  if (popup().SelectedCell() >= 0) {
    EXPECT_EQ(tk::ColorToRGB(kNamedColorTable[popup().SelectedCell()].Value), tk::ColorToRGB(tk::clBtnFace));
  }
}

TEST_F(ColourPicker, ArrowPressOpensBelowTheButtonAndEscapeChangesNothing) {
  button.SetSelectionColor(0xFFCC99);
  changes = 0;
  int dropChanges = 0;
  button.OnDropChanged = [&] { ++dropChanges; };
  PressArrow(button);
  ASSERT_TRUE(button.DroppedDown());
  ASSERT_TRUE(PopupShowing(button));
  EXPECT_EQ(GetCapture(), button.CaptureWindow());
  EXPECT_EQ(GetFocus(), button.CaptureWindow());  // keys reach the pop-up
  EXPECT_EQ(popup().SelectedCell(), 37);
  RECT br, pr;
  GetWindowRect(button.Handle(), &br);
  GetWindowRect(popup().Handle(), &pr);
  EXPECT_EQ(pr.left, br.left - 1);
  EXPECT_EQ(pr.top, br.bottom);
  Key(button, VK_ESCAPE);
  EXPECT_FALSE(button.DroppedDown());
  EXPECT_FALSE(PopupShowing(button));
  EXPECT_NE(GetCapture(), button.CaptureWindow());
  EXPECT_EQ(button.SelectionColor(), 0xFFCC99u);
  EXPECT_EQ(changes, 0);
  EXPECT_EQ(dropChanges, 2);
}

TEST_F(ColourPicker, LosingTheFocusClosesWithoutChoosing) {
  tk::TEdit edit;
  form.Declare({{.Control = edit, .Name = "edOther", .Caption = "", .Bounds = {100, 20, 80, 21}}});
  button.SetSelectionColor(0x00FF00);
  changes = 0;
  PressArrow(button);
  ASSERT_TRUE(button.DroppedDown());
  Move(button, Centre(popup().CellRect(16)));
  edit.SetFocus();
  EXPECT_FALSE(button.DroppedDown());
  EXPECT_FALSE(PopupShowing(button));
  EXPECT_EQ(button.SelectionColor(), 0x00FF00u);
  EXPECT_EQ(changes, 0);
  EXPECT_EQ(defaults, 0);
}

TEST_F(ColourPicker, PopupNearTheScreenBottomOpensAboveTheButton) {
  const int screenH = GetSystemMetrics(SM_CYSCREEN);
  form.SetBounds(100, screenH - 120, 420, 110);
  Pump();
  PressArrow(button);
  ASSERT_TRUE(button.DroppedDown());
  RECT br, pr;
  GetWindowRect(button.Handle(), &br);
  GetWindowRect(popup().Handle(), &pr);
  EXPECT_EQ(pr.bottom, br.top);
  EXPECT_EQ(pr.left, br.left - 1);
}

TEST_F(ColourPicker, FacePressDoesNotOpen) {
  int clicks = 0;
  button.OnClick = [&] { ++clicks; };
  SendMessageW(button.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  EXPECT_EQ(button.State(), tk::TButtonState::bsDown);
  SendMessageW(button.Handle(), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  EXPECT_FALSE(button.DroppedDown());
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(button.State(), tk::TButtonState::bsUp);
  SendMessageW(button.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  SendMessageW(button.Handle(), WM_LBUTTONUP, 0, MAKELPARAM(200, 5));  // released outside
  EXPECT_EQ(clicks, 1);
}

TEST_F(ColourPicker, GroupedButtonsLatchOneAtATime) {
  TColorPickerButton second;
  form.Declare({{.Control = second, .Name = "second", .Caption = "", .Bounds = {100, 20, 45, 22}}});
  button.SetGroupIndex(1);
  second.SetGroupIndex(1);
  auto clickFace = [](TColorPickerButton& b) {
    SendMessageW(b.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    SendMessageW(b.Handle(), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  };
  clickFace(button);
  EXPECT_TRUE(button.Down());
  EXPECT_EQ(button.State(), tk::TButtonState::bsExclusive);
  clickFace(second);
  EXPECT_TRUE(second.Down());
  EXPECT_FALSE(button.Down());
  clickFace(second);  // no AllowAllUp: stays down
  EXPECT_TRUE(second.Down());
  second.SetAllowAllUp(true);
  clickFace(second);
  EXPECT_FALSE(second.Down());
  EXPECT_EQ(second.State(), tk::TButtonState::bsUp);
  button.SetDown(true);
  EXPECT_TRUE(button.Down());
  second.SetDown(true);
  EXPECT_FALSE(button.Down());
}

TEST_F(ColourPicker, DropChangingVetoesOpeningAndClosing) {
  bool allow = false;
  button.OnDropChanging = [&](bool& allowed) { allowed = allow; };
  PressArrow(button);
  EXPECT_FALSE(button.DroppedDown());
  EXPECT_FALSE(PopupShowing(button));
  allow = true;
  PressArrow(button);
  ASSERT_TRUE(button.DroppedDown());
  allow = false;
  Key(button, VK_ESCAPE);
  EXPECT_TRUE(button.DroppedDown());
  EXPECT_TRUE(PopupShowing(button));
  allow = true;
}

TEST_F(ColourPicker, ArrowKeysWalkCellsAndEntriesThenEnterChooses) {
  button.SetSelectionColor(0x000000);  // cell 0
  changes = 0;
  PressArrow(button);
  ASSERT_TRUE(button.DroppedDown());
  Key(button, VK_LEFT);
  EXPECT_EQ(popup().HoverCell(), kDefaultCell);
  Key(button, VK_LEFT);
  EXPECT_EQ(popup().HoverCell(), kCustomCell);
  Key(button, VK_LEFT);
  EXPECT_EQ(popup().HoverCell(), 64);
  Key(button, VK_RIGHT);
  EXPECT_EQ(popup().HoverCell(), kCustomCell);
  Key(button, VK_RIGHT);
  EXPECT_EQ(popup().HoverCell(), kDefaultCell);
  Key(button, VK_DOWN);
  EXPECT_EQ(popup().HoverCell(), 0);
  Key(button, VK_DOWN);
  EXPECT_EQ(popup().HoverCell(), 8);
  Key(button, VK_RIGHT);
  Key(button, VK_RIGHT);
  EXPECT_EQ(popup().HoverCell(), 10);
  Key(button, VK_UP);
  Key(button, VK_UP);
  EXPECT_EQ(popup().HoverCell(), kDefaultCell);
  Key(button, VK_DOWN);
  for (int i = 0; i < 7; ++i) Key(button, VK_DOWN);
  EXPECT_EQ(popup().HoverCell(), 56);
  Key(button, VK_DOWN);
  EXPECT_EQ(popup().HoverCell(), 64);
  Key(button, VK_DOWN);
  EXPECT_EQ(popup().HoverCell(), kCustomCell);
  Key(button, VK_DOWN);
  Key(button, VK_DOWN);
  Key(button, VK_RIGHT);
  Key(button, VK_RIGHT);
  Key(button, VK_RIGHT);
  EXPECT_EQ(popup().HoverCell(), 3);
  Key(button, VK_RETURN);
  EXPECT_FALSE(button.DroppedDown());
  EXPECT_EQ(button.SelectionColor(), 0x003300u);  // "Dark Green"
  EXPECT_EQ(changes, 1);
}

TEST_F(ColourPicker, WithoutEntriesTheWalkWrapsOverTheGrid) {
  button.SetCustomText("");
  button.SetDefaultText("");
  button.SetShowSystemColors(false);
  button.SetSelectionColor(0xFFFFFF);  // cell 39
  PressArrow(button);
  ASSERT_TRUE(button.DroppedDown());
  Key(button, VK_RIGHT);
  EXPECT_EQ(popup().HoverCell(), 0);
  Key(button, VK_LEFT);
  EXPECT_EQ(popup().HoverCell(), 39);
  Key(button, VK_DOWN);
  EXPECT_EQ(popup().HoverCell(), 0);
  Key(button, VK_UP);
  EXPECT_EQ(popup().HoverCell(), 39);
}

TEST_F(ColourPicker, MouseChoosesCellsDefaultAndCancels) {
  PressArrow(button);
  ASSERT_TRUE(button.DroppedDown());
  Move(button, Centre(popup().CellRect(16)));
  EXPECT_EQ(popup().HoverCell(), 16);
  ClickAt(button, Centre(popup().CellRect(16)));
  EXPECT_FALSE(button.DroppedDown());
  EXPECT_EQ(button.SelectionColor(), 0x0000FFu);
  EXPECT_EQ(changes, 1);

  PressArrow(button);
  ClickAt(button, Centre(popup().CellRect(40 + COLOR_BTNSHADOW)));
  EXPECT_EQ(button.SelectionColor(), tk::clBtnShadow);  // the system value, not its RGB
  EXPECT_EQ(changes, 2);

  PressArrow(button);
  ClickAt(button, Centre(popup().DefaultRect()));
  EXPECT_FALSE(button.DroppedDown());
  EXPECT_EQ(defaults, 1);
  EXPECT_EQ(button.SelectionColor(), tk::clBtnShadow);
  EXPECT_EQ(changes, 2);

  PressArrow(button);
  RECT w;
  GetClientRect(popup().Handle(), &w);
  Press(button, POINT{w.right + 30, w.bottom + 30});
  EXPECT_FALSE(button.DroppedDown());
  EXPECT_EQ(changes, 2);
  EXPECT_EQ(defaults, 1);
}

TEST_F(ColourPicker, TheArrowPressDraggedOntoACellChoosesItWhereItIsReleased) {
  // Released where it was pressed, on the arrow: the pop-up stays open.
  PressArrow(button);
  SendMessageW(button.CaptureWindow(), WM_LBUTTONUP, 0, PopupPoint(button, button.ClientWidth() - 4, -10));
  ASSERT_TRUE(button.DroppedDown());
  // Dragged onto the red cell and released there: red is chosen and the pop-up closes.
  Move(button, Centre(popup().CellRect(16)), MK_LBUTTON);
  Release(button, Centre(popup().CellRect(16)));
  EXPECT_FALSE(button.DroppedDown());
  EXPECT_EQ(button.SelectionColor(), 0x0000FFu);
  EXPECT_EQ(changes, 1);
}

TEST_F(ColourPicker, CustomEntryOpensCombsWhoseCellsAndSliderChoose) {
  PressArrow(button);
  RECT before;
  GetClientRect(popup().Handle(), &before);
  ClickAt(button, Centre(popup().CustomRect()));
  ASSERT_TRUE(button.DroppedDown());
  ASSERT_TRUE(popup().CombShown());
  RECT after;
  GetClientRect(popup().Handle(), &after);
  EXPECT_EQ(after.bottom, popup().GreyCombRect().bottom + 2 * GetSystemMetrics(SM_CXEDGE));
  EXPECT_GT(after.bottom, before.bottom);

  // The slider half way down halves the intensity; the drag stays on the slider.
  RECT s = popup().SliderRect();
  POINT mid{s.left + 5, s.top + (s.bottom - s.top) / 2};
  Press(button, mid);
  EXPECT_NEAR(popup().Intensity(), 0.5f, 0.02f);
  Move(button, POINT{s.left + 5, s.top}, MK_LBUTTON);
  EXPECT_NEAR(popup().Intensity(), 1.0f, 0.001f);
  Move(button, POINT{s.left + 5, s.bottom + 40}, MK_LBUTTON);
  EXPECT_EQ(popup().Intensity(), 0.0f);
  Move(button, mid, MK_LBUTTON);
  Release(button, mid);
  EXPECT_TRUE(button.DroppedDown());  // the slider is no comb
  EXPECT_EQ(popup().ColorCells()[0].Color, 0x808080u);
  popup().SetIntensity(1.0f);

  // A press and release on a grey cell chooses its grey and closes.
  RECT g = popup().GreyCombRect();
  const TCombCell& grey = popup().GreyCells()[5];
  ClickAt(button, POINT{g.left + grey.X, g.top + grey.Y});
  EXPECT_FALSE(button.DroppedDown());
  EXPECT_EQ(button.SelectionColor(), grey.Color);
  EXPECT_EQ(changes, 1);

  // Opened again on that grey, the comb shows with it chosen; a colour cell chooses.
  PressArrow(button);
  EXPECT_EQ(popup().SelectedCell(), kCustomCell);
  EXPECT_EQ(popup().CustomIndex(), -6);
  RECT cc = popup().ColorCombRect();
  const TCombCell& cell = popup().ColorCells()[20];
  POINT at{cc.left + popup().CombSize() + cell.X, cc.top + popup().CombSize() + cell.Y};
  EXPECT_EQ(popup().ColorCellAt(at.x, at.y), 20);
  ClickAt(button, at);
  EXPECT_FALSE(button.DroppedDown());
  EXPECT_EQ(button.SelectionColor(), cell.Color);
}

TEST_F(ColourPicker, HintsOnlyWithShowHint) {
  button.SetHint("the button's hint");
  PressArrow(button);
  Move(button, Centre(popup().CellRect(16)));
  EXPECT_EQ(popup().HintText(), "");
  button.SetDroppedDown(false);

  button.ShowHint = true;
  PressArrow(button);
  Move(button, Centre(popup().CellRect(16)));
  EXPECT_EQ(popup().HintText(), "Red");
  Move(button, Centre(popup().CellRect(40 + COLOR_INFOBK)));
  EXPECT_EQ(popup().HintText(), "system color: info background");
  Move(button, Centre(popup().DefaultRect()));
  EXPECT_EQ(popup().HintText(), "the button's hint");
  button.OnHint = [](int cell, std::string& hint) { hint = "cell " + std::to_string(cell); };
  Move(button, Centre(popup().CustomRect()));
  EXPECT_EQ(popup().HintText(), "cell -2");
  Move(button, POINT{1, 1});
  EXPECT_EQ(popup().HintText(), "cell -1");
  ClickAt(button, Centre(popup().CustomRect()));
  RECT s = popup().SliderRect();
  Move(button, POINT{s.left + 3, s.top + 3});
  EXPECT_EQ(popup().HintText(), "Intensity: 100%");
  EXPECT_EQ(popup().HintTimeout(), 5000);
  RECT cc = popup().ColorCombRect();
  const TCombCell& cell = popup().ColorCells()[1];
  Move(button, POINT{cc.left + popup().CombSize() + cell.X, cc.top + popup().CombSize() + cell.Y});
  EXPECT_EQ(popup().HintText(), "red: 255, green: 212, blue: 255");
}

TEST_F(ColourPicker, SettingTheColourWhileOpenMovesTheSelection) {
  PressArrow(button);
  button.SetSelectionColor(0x00FFFF);
  EXPECT_EQ(popup().SelectedCell(), 26);
  EXPECT_EQ(changes, 1);
  button.SetSelectionColor(0x00FFFF);
  EXPECT_EQ(changes, 1);
}

TEST_F(ColourPicker, IndicatorAndArrowArePainted) {
  button.SetSelectionColor(0x0000FF);
  InvalidateRect(button.Handle(), nullptr, FALSE);
  UpdateWindow(button.Handle());
  RECT ind = button.IndicatorRect();
  EXPECT_EQ(ind.left, 2);
  EXPECT_EQ(ind.top, 2);
  EXPECT_EQ(ind.right, 45 - 15 - 2 - 2);
  EXPECT_EQ(ind.bottom, 20);
  HDC dc = GetDC(button.Handle());
  EXPECT_EQ(GetPixel(dc, 10, 10), RGB(255, 0, 0));
  EXPECT_EQ(GetPixel(dc, 2, 10), GetSysColor(COLOR_BTNSHADOW));  // ibFlat outline
  // Arrow: top edge from (34, 11) to (40, 11), apex (37, 14).
  EXPECT_EQ(GetPixel(dc, 37, 12), RGB(0, 0, 0));
  EXPECT_NE(GetPixel(dc, 37, 16), RGB(0, 0, 0));
  ReleaseDC(button.Handle(), dc);
}

// ---------------- progress-bar settings frame

class ProgressFrame : public ::testing::Test {
 protected:
  void SetUp() override {
    form.InsertControl(frame);
    frame.SetBounds(10, 10, 231, 98);
    form.Show();
    Pump();
  }
  // The user moves the track bar's thumb.
  void Slide(int position) {
    SendMessageW(frame.trkContrast.Handle(), TBM_SETPOS, TRUE, position);
    SendMessageW(frame.Handle(), WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, position),
                 reinterpret_cast<LPARAM>(frame.trkContrast.Handle()));
  }
  void ClickDefault() {
    SendMessageW(frame.SpeedButton1.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    SendMessageW(frame.SpeedButton1.Handle(), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  }
  THost form;
  TG32ProgressbarFrame frame;
};

TEST_F(ProgressFrame, StartsWithItsDesignValues) {
  EXPECT_EQ(frame.DefaultColor, 0xFEE4D8u);
  EXPECT_EQ(frame.DefaultContrast, 95);
  EXPECT_EQ(frame.trkContrast.Min(), 0);
  EXPECT_EQ(frame.trkContrast.Max(), 255);
  EXPECT_EQ(frame.trkContrast.Position(), 64);
  EXPECT_EQ(SendMessageW(frame.trkContrast.Handle(), TBM_GETPOS, 0, 0), 64);
  EXPECT_EQ(frame.lblContrast.Caption(), "64");
  EXPECT_EQ(frame.Label2.Caption(), "Contrast");
  EXPECT_EQ(frame.Label3.Caption(), "Color");
  EXPECT_EQ(frame.SpeedButton1.Caption(), " Default...");
  EXPECT_EQ(frame.G32_Progressbar1.Color(), 0xFFCC99u);
  EXPECT_FALSE(frame.G32_Progressbar1.ParentColor());
  EXPECT_EQ(frame.G32_Progressbar1.BackColor(), clBtnFace);
  EXPECT_EQ(frame.G32_Progressbar1.Position(), 60);
  EXPECT_EQ(frame.G32_Progressbar1.Contrast(), 64);
  ASSERT_NE(frame.G32_Progressbar1.Handle(), nullptr);
  EXPECT_EQ(GetParent(frame.G32_Progressbar1.Handle()), frame.Handle());
  EXPECT_EQ(frame.ColorPickerButton1.SelectionColor(), clBtnFace);
  EXPECT_EQ(frame.ColorPickerButton1.CustomText(), "More Colors...");
  EXPECT_TRUE(frame.ColorPickerButton1.ShowSystemColors());
  EXPECT_TRUE(frame.ColorPickerButton1.Flat());
  EXPECT_TRUE(frame.ColorPickerButton1.ShowHint);
  EXPECT_EQ(frame.ColorPickerButton1.Hint(), "Light colors give better appearance");
  EXPECT_EQ(frame.ColorPickerButton1.Bounds(), (tk::TBounds{64, 67, 41, 17}));
}

TEST_F(ProgressFrame, TrackBarDrivesPreviewContrastAndLabel) {
  Slide(0);
  EXPECT_EQ(frame.G32_Progressbar1.Contrast(), 0);
  EXPECT_EQ(frame.lblContrast.Caption(), "0");
  Slide(255);
  EXPECT_EQ(frame.G32_Progressbar1.Contrast(), 255);
  EXPECT_EQ(frame.lblContrast.Caption(), "255");
  frame.trkContrast.SetPosition(95);  // the owner presets it
  EXPECT_EQ(frame.lblContrast.Caption(), "95");
  EXPECT_EQ(frame.G32_Progressbar1.Contrast(), 95);
}

TEST_F(ProgressFrame, ChosenColourReachesThePreview) {
  frame.ColorPickerButton1.SetSelectionColor(0x99FFFF);
  EXPECT_EQ(frame.G32_Progressbar1.Color(), 0x99FFFFu);
  frame.ColorPickerButton1.SetDroppedDown(true);
  ClickAt(frame.ColorPickerButton1, Centre(frame.ColorPickerButton1.Popup().CellRect(35)));
  EXPECT_EQ(frame.G32_Progressbar1.Color(), 0xCCFFCCu);
}

TEST_F(ProgressFrame, DefaultAsksAndYesRestoresColourAndContrast) {
  frame.ColorPickerButton1.SetSelectionColor(0x0000FF);
  frame.G32_Progressbar1.SetBackColor(0x00FF00);
  Slide(10);
  {
    TAnswer answer(L"&Yes");
    ClickDefault();
    ASSERT_TRUE(answer.seen);
  }
  EXPECT_EQ(frame.ColorPickerButton1.SelectionColor(), 0xFEE4D8u);
  EXPECT_EQ(frame.G32_Progressbar1.Color(), 0xFEE4D8u);
  EXPECT_EQ(frame.G32_Progressbar1.BackColor(), clBtnFace);
  EXPECT_EQ(frame.trkContrast.Position(), 95);
  EXPECT_EQ(frame.lblContrast.Caption(), "95");
  EXPECT_EQ(frame.G32_Progressbar1.Contrast(), 95);
}

TEST_F(ProgressFrame, DefaultAtTheDefaultContrastStillResetsColours) {
  frame.DefaultColor = clBtnFace;
  Slide(95);
  frame.lblContrast.SetCaption("untouched");
  frame.ColorPickerButton1.SetSelectionColor(0x0000FF);
  {
    TAnswer answer(L"&Yes");
    ClickDefault();
    ASSERT_TRUE(answer.seen);
  }
  EXPECT_EQ(frame.lblContrast.Caption(), "untouched");
  EXPECT_EQ(frame.ColorPickerButton1.SelectionColor(), clBtnFace);
  EXPECT_EQ(frame.G32_Progressbar1.Color(), clBtnFace);
}

TEST_F(ProgressFrame, AnsweringNoChangesNothing) {
  frame.ColorPickerButton1.SetSelectionColor(0x0000FF);
  Slide(10);
  {
    TAnswer answer(L"&No");
    ClickDefault();
    ASSERT_TRUE(answer.seen);
    EXPECT_EQ(answer.text, "Reset default color and contrast?");
  }
  EXPECT_EQ(frame.ColorPickerButton1.SelectionColor(), 0x0000FFu);
  EXPECT_EQ(frame.G32_Progressbar1.Color(), 0x0000FFu);
  EXPECT_EQ(frame.trkContrast.Position(), 10);
  EXPECT_EQ(frame.lblContrast.Caption(), "10");
}
