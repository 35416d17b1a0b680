// The flat menu component: its colour and bitmap functions, how it takes over and
// gives back the menus of its form, and what it measures and draws (read back from
// the pixels of a memory bitmap); the hint windows with a shadow.
#include <gtest/gtest.h>

#include <cmath>
#include <typeinfo>
#include <utility>

#include "controls/flatmenu.h"
#include "controls/shadowhint.h"
#include "toolkit/win_imagelist.h"
#include "toolkit/win_speedbutton.h"

using namespace g32;
using tk::TMenuItem;

namespace {

struct TMenuForm : tk::TForm {
  tk::TMainMenu mm{*this};
  tk::TPopupMenu pm{*this};
  TMenuForm() : TForm(L"TFlatMenuTestForm") {
    SetClientSize(300, 200);
    mm.Name = "MainMenu1";
    TMenuItem& file = mm.Items().Add("&File");
    file.Add("&Open").SetShortCutText("Ctrl+O");
    file.Add("-");
    file.Add("E&xit");
    mm.Items().Add("&Help").Add("About");
    pm.Items().Add("Run");
    pm.Items().Add("Keep").Tag = 999;
    HandleNeeded();
    mm.Attach();
  }
};

// A 32-bit memory bitmap to draw into.
struct TSurface {
  TSurface(int w, int h) : dc(CreateCompatibleDC(nullptr)) {
    BITMAPINFO bi{};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    bmp = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    old = SelectObject(dc, bmp);
    PatBlt(dc, 0, 0, w, h, WHITENESS);
  }
  ~TSurface() {
    SelectObject(dc, old);
    DeleteObject(bmp);
    DeleteDC(dc);
  }
  COLORREF At(int x, int y) const { return GetPixel(dc, x, y); }
  HDC dc;
  HBITMAP bmp;
  HGDIOBJ old;
};

COLORREF Rgb(tk::TColor c) { return tk::ColorToRGB(c); }

// Asks the form to measure an item, as the system does.
SIZE Measure(tk::TForm& form, TMenuItem& item, UINT w = 0, UINT h = 0) {
  MEASUREITEMSTRUCT mis{};
  mis.CtlType = ODT_MENU;
  mis.itemID = item.Command();
  mis.itemWidth = w;
  mis.itemHeight = h;
  mis.itemData = reinterpret_cast<ULONG_PTR>(&item);
  SendMessageW(form.Handle(), WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&mis));
  return {static_cast<LONG>(mis.itemWidth), static_cast<LONG>(mis.itemHeight)};
}

void Draw(tk::TForm& form, TMenuItem& item, HDC dc, RECT r, bool selected) {
  DRAWITEMSTRUCT dis{};
  dis.CtlType = ODT_MENU;
  dis.itemID = item.Command();
  dis.itemAction = ODA_DRAWENTIRE;
  dis.itemState = selected ? ODS_SELECTED : 0;
  dis.hwndItem = reinterpret_cast<HWND>(item.Parent()->SubHandle());
  dis.hDC = dc;
  dis.rcItem = r;
  dis.itemData = reinterpret_cast<ULONG_PTR>(&item);
  SendMessageW(form.Handle(), WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&dis));
}

UINT ItemType(HMENU m, UINT pos) {
  MENUITEMINFOW mi{};
  mi.cbSize = sizeof(mi);
  mi.fMask = MIIM_FTYPE;
  GetMenuItemInfoW(m, pos, TRUE, &mi);
  return mi.fType;
}

// A bitmap of one colour with a different centre square.
HBITMAP TwoColour(int size, COLORREF back, COLORREF centre) {
  TSurface s(size, size);
  HBITMAP b = CreateCompatibleBitmap(s.dc, size, size);
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, b);
  HBRUSH br = CreateSolidBrush(back), bc = CreateSolidBrush(centre);
  RECT all{0, 0, size, size}, mid{size / 4, size / 4, size - size / 4, size - size / 4};
  FillRect(dc, &all, br);
  FillRect(dc, &mid, bc);
  DeleteObject(br);
  DeleteObject(bc);
  SelectObject(dc, old);
  DeleteDC(dc);
  return b;
}

COLORREF BitmapPixel(HBITMAP b, int x, int y) {
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, b);
  COLORREF c = GetPixel(dc, x, y);
  SelectObject(dc, old);
  DeleteDC(dc);
  return c;
}

}  // namespace

TEST(FlatColours, LightenDarkenAndGrey) {
  EXPECT_EQ(Lighten(nullptr, RGB(100, 0, 200), 50), RGB(178, 128, 228));
  EXPECT_EQ(Lighten(nullptr, RGB(100, 0, 200), 0), RGB(100, 0, 200));
  EXPECT_EQ(Lighten(nullptr, RGB(1, 2, 3), 150), RGB(255, 255, 255));  // capped at 100 %
  EXPECT_EQ(Darken(RGB(100, 100, 100), 30), RGB(70, 72, 70));        // green two less
  EXPECT_EQ(Darken(RGB(10, 250, 10), 20), RGB(0, 232, 0));
  EXPECT_EQ(Darken(RGB(250, 200, 100), -40), RGB(255, 242, 140));    // negative lightens, clamped
  EXPECT_EQ(Grey(RGB(30, 60, 90), 10), RGB(70, 70, 70));
  EXPECT_EQ(Grey(RGB(255, 255, 255), 10), RGB(240, 240, 240));       // at most 240
  EXPECT_EQ(Lighten(nullptr, tk::clBlack, 100), RGB(255, 255, 255));
  EXPECT_EQ(Darken(tk::clBtnFace, 0), RGB(GetRValue(GetSysColor(COLOR_BTNFACE)),
                                           std::min(255, GetGValue(GetSysColor(COLOR_BTNFACE)) + 2),
                                           GetBValue(GetSysColor(COLOR_BTNFACE))));
}

TEST(FlatColours, BitmapFunctionsAndShadow) {
  HBITMAP b = TwoColour(8, RGB(200, 0, 0), RGB(0, 0, 90));
  GreyBitmap(b, 10);
  EXPECT_EQ(BitmapPixel(b, 0, 0), RGB(76, 76, 76));
  EXPECT_EQ(BitmapPixel(b, 4, 4), RGB(40, 40, 40));
  LightenBitmap(b, 50);
  EXPECT_EQ(BitmapPixel(b, 0, 7), RGB(166, 166, 166));  // 76 + round(179 / 2)
  EXPECT_EQ(BitmapPixel(b, 3, 3), RGB(148, 148, 148));

  // The shadow paints every pixel unlike the bottom-left one.
  TSurface s(20, 20);
  tk::TCanvas c(s.dc);
  ImageShadow(b, c, 5, 5, RGB(1, 2, 3));
  EXPECT_EQ(s.At(5 + 2, 5 + 2), RGB(1, 2, 3));
  EXPECT_EQ(s.At(5 + 5, 5 + 5), RGB(1, 2, 3));
  EXPECT_EQ(s.At(5 + 0, 5 + 0), RGB(255, 255, 255));
  EXPECT_EQ(s.At(5 + 6, 5 + 6), RGB(255, 255, 255));
  DeleteObject(b);

  c.Pen.Color = tk::clBlack;
  DropArrow(c, 2, 15);
  EXPECT_EQ(s.At(2, 15), RGB(0, 0, 0));
  EXPECT_EQ(s.At(6, 15), RGB(0, 0, 0));
  EXPECT_EQ(s.At(7, 15), RGB(255, 255, 255));
  EXPECT_EQ(s.At(4, 17), RGB(0, 0, 0));
  EXPECT_EQ(s.At(5, 17), RGB(255, 255, 255));  // the last line ends before x + 3
  EXPECT_EQ(s.At(5, 16), RGB(0, 0, 0));
}

TEST(FlatMenu, DefaultsAndOwnerMustBeAForm) {
  TMenuForm f;
  TXPMenu xp(&f);
  EXPECT_FALSE(xp.Active());
  EXPECT_EQ(xp.DimLevel, 30);
  EXPECT_EQ(xp.GrayLevel, 10);
  EXPECT_EQ(xp.IconWidth, 24);
  EXPECT_TRUE(xp.UseSystemColors());
  EXPECT_FALSE(xp.Gradient);
  EXPECT_EQ(xp.XPContainers(), 0x3FFu);
  EXPECT_EQ(xp.XPControls(), 0xFFFFu);
  EXPECT_EQ(xp.SelectFontColor, xp.Font().Color);

  tk::TPanel panel;
  EXPECT_THROW(TXPMenu bad(&panel), std::bad_cast);
}

TEST(FlatMenu, TakesOverAndGivesBackTheMenus) {
  TMenuForm f;
  TMenuItem& open = f.mm.Items()[0][0];
  TMenuItem& keep = f.pm.Items()[1];
  TMenuItem& foreign = f.mm.Items()[1][0];
  int foreignCalls = 0;
  foreign.OnDrawItem.Set(&foreignCalls, [&](TMenuItem&, tk::TCanvas&, const RECT&, bool) { ++foreignCalls; });
  {
    TXPMenu xp(&f);
    xp.SetActive(true);
    EXPECT_TRUE(f.mm.OwnerDraw());
    EXPECT_TRUE(f.pm.OwnerDraw());
    EXPECT_TRUE(ItemType(f.mm.Handle(), 0) & MFT_OWNERDRAW);
    EXPECT_TRUE(ItemType(f.mm.Items()[0].SubHandle(), 0) & MFT_OWNERDRAW);
    EXPECT_TRUE(open.OnDrawItem.InstalledBy(&xp));
    EXPECT_TRUE(open.OnMeasureItem.InstalledBy(&xp));
    EXPECT_FALSE(keep.OnDrawItem);  // Tag 999 keeps its own drawing
    EXPECT_TRUE(foreign.OnDrawItem.InstalledBy(&foreignCalls));
    EXPECT_TRUE(foreign.OnMeasureItem.InstalledBy(&xp));  // each handler on its own

    xp.SetOverrideOwnerDraw(true);
    EXPECT_TRUE(foreign.OnDrawItem.InstalledBy(&xp));
    xp.SetOverrideOwnerDraw(false);
    foreign.OnDrawItem.Set(&foreignCalls, [&](TMenuItem&, tk::TCanvas&, const RECT&, bool) { ++foreignCalls; });

    // Without pop-up menus in the kinds, the pop-up menu is given back at once.
    xp.SetXPControls(kAllXPControls & ~xcPopupMenu);
    EXPECT_FALSE(f.pm.OwnerDraw());
    EXPECT_FALSE(f.pm.Items()[0].OnDrawItem);
    EXPECT_TRUE(f.mm.OwnerDraw());
    xp.SetXPControls(kAllXPControls);
    EXPECT_TRUE(f.pm.Items()[0].OnDrawItem.InstalledBy(&xp));

    xp.SetActive(false);
    EXPECT_FALSE(f.mm.OwnerDraw());
    EXPECT_FALSE(ItemType(f.mm.Handle(), 0) & MFT_OWNERDRAW);
    EXPECT_FALSE(open.OnDrawItem);
    EXPECT_FALSE(open.OnMeasureItem);
    EXPECT_TRUE(foreign.OnDrawItem.InstalledBy(&foreignCalls));  // not the component's
    xp.SetActive(true);
  }
  // Destruction gives the menus back as well.
  EXPECT_FALSE(f.mm.OwnerDraw());
  EXPECT_FALSE(open.OnDrawItem);
  EXPECT_TRUE(foreign.OnDrawItem.InstalledBy(&foreignCalls));
}

TEST(FlatMenu, MainMenuWithTag999IsLeftAlone) {
  TMenuForm f;
  f.mm.Tag = 999;
  TXPMenu xp(&f);
  xp.SetActive(true);
  EXPECT_FALSE(f.mm.OwnerDraw());
  EXPECT_FALSE(f.mm.Items()[0][0].OnDrawItem);
  EXPECT_TRUE(f.pm.OwnerDraw());  // pop-up menus have no tag test
}

TEST(FlatMenu, MeasuresItems) {
  TMenuForm f;
  TXPMenu xp(&f);
  TMenuItem& open = f.mm.Items()[0][0];
  TMenuItem& line = f.mm.Items()[0][1];
  TMenuItem& exit = f.mm.Items()[0][2];
  TMenuItem& help = f.mm.Items()[1];
  xp.SetActive(true);

  HDC dc = GetDC(f.Handle());
  tk::TCanvas c(dc);
  c.Font = xp.Font();
  int wX = c.TextWidth("E&xit") + 5 - c.TextWidth("&") + 24;
  int th = c.TextHeight("E&xit");
  int wOpen = c.TextWidth("&OpenCtrl+OWWW") + 5 - c.TextWidth("&") + 24;
  int wHelp = c.TextWidth("&Help") + 5 - c.TextWidth("&") + 8;  // a bar item: no icon column
  ReleaseDC(f.Handle(), dc);

  SIZE s = Measure(f, exit);
  EXPECT_EQ(s.cx, wX);
  EXPECT_EQ(s.cy, th + static_cast<int>(std::nearbyint(0.75 * th)));
  EXPECT_EQ(Measure(f, open).cx, wOpen);
  EXPECT_EQ(Measure(f, help).cx, wHelp);
  SIZE sep = Measure(f, line);
  EXPECT_EQ(sep.cy, 4);
  EXPECT_EQ(Measure(f, exit, 500, 50).cx, 500);  // only raised, never lowered
  EXPECT_EQ(Measure(f, exit, 500, 50).cy, 50);

  // A 40-pixel bitmap widens the item and sets the height.
  HBITMAP big = TwoColour(40, RGB(0, 255, 0), RGB(0, 0, 255));
  exit.Bitmap = big;
  SIZE withImage = Measure(f, exit);
  EXPECT_EQ(withImage.cx, wX - 24 + 40);
  EXPECT_EQ(withImage.cy, 46);
  exit.Bitmap = nullptr;
  DeleteObject(big);

  xp.SetActive(false);
  // Without the look the toolkit's plain measure answers.
  EXPECT_NE(Measure(f, line).cy, 4);
}

TEST(FlatMenu, DrawsItemsFlat) {
  TMenuForm f;
  TXPMenu xp(&f);
  TMenuItem& exit = f.mm.Items()[0][2];
  TMenuItem& line = f.mm.Items()[0][1];
  xp.SetActive(true);
  TSurface s(200, 60);
  RECT r{0, 0, 150, 21};
  Draw(f, exit, s.dc, r, false);
  const TWorkingColors& w = xp.Working();
  ASSERT_TRUE(w.RichColors);
  EXPECT_EQ(Rgb(w.Color), Lighten(s.dc, tk::clBtnFace, 86));  // system colours
  EXPECT_EQ(Rgb(w.IconBackColor), Lighten(s.dc, tk::clBtnFace, 16));
  EXPECT_EQ(s.At(3, 3), Rgb(w.IconBackColor));  // icon column
  EXPECT_EQ(s.At(23, 3), Rgb(w.IconBackColor));
  EXPECT_EQ(s.At(24, 3), Rgb(w.Color));
  EXPECT_EQ(s.At(145, 19), Rgb(w.Color));
  EXPECT_EQ(s.At(149, 21), Rgb(w.Color));  // the bottom is extended by one

  // Selected: a box in the selection colours, one pixel in at top and bottom.
  Draw(f, exit, s.dc, r, true);
  EXPECT_EQ(s.At(0, 1), Rgb(w.SelectBorderColor));
  EXPECT_EQ(s.At(149, 10), Rgb(w.SelectBorderColor));
  EXPECT_EQ(s.At(140, 5), Rgb(w.SelectColor));
  EXPECT_EQ(s.At(3, 0), Rgb(w.IconBackColor));

  // A separator: one line in the middle, 7 pixels into the text area.
  RECT lr{0, 30, 150, 34};
  Draw(f, line, s.dc, lr, false);
  int y = 30 + static_cast<int>(std::nearbyint(5 / 2.0));  // height 5 after the extension
  EXPECT_EQ(y, 32);
  EXPECT_EQ(s.At(24 + 7, y), Rgb(w.SeparatorColor));
  EXPECT_EQ(s.At(120, y), Rgb(w.SeparatorColor));
  EXPECT_EQ(s.At(24 + 6, y), Rgb(w.Color));
  EXPECT_EQ(s.At(60, y - 1), Rgb(w.Color));

  // The colour properties count only without the system colours.
  xp.Color = RGB(10, 200, 30);
  Draw(f, exit, s.dc, r, false);
  EXPECT_EQ(s.At(100, 3), Rgb(w.Color));
  EXPECT_NE(s.At(100, 3), RGB(10, 200, 30));
  xp.SetUseSystemColors(false);
  Draw(f, exit, s.dc, r, false);
  EXPECT_EQ(s.At(100, 3), RGB(10, 200, 30));
}

TEST(FlatMenu, GradientAndCheckMarks) {
  TMenuForm f;
  TXPMenu xp(&f);
  xp.Gradient = true;
  TMenuItem& exit = f.mm.Items()[0][2];
  xp.SetActive(true);
  TSurface s(200, 30);
  Draw(f, exit, s.dc, {0, 0, 150, 21}, false);
  tk::TColor base = xp.Working().IconBackColor;
  EXPECT_EQ(s.At(0, 5), Lighten(s.dc, base, 1));
  EXPECT_EQ(s.At(1, 5), Lighten(s.dc, base, 4));
  EXPECT_EQ(s.At(28, 5), Lighten(s.dc, base, 85));  // 1 + 3 * 28
  EXPECT_EQ(s.At(30, 5), Lighten(s.dc, base, 87));  // then one a column
  EXPECT_EQ(s.At(140, 5), Lighten(s.dc, base, 96));  // capped

  // A checked item without image: a 10 x 10 box in the check colours.
  xp.Gradient = false;
  exit.SetChecked(true);
  Draw(f, exit, s.dc, {0, 0, 150, 21}, false);
  const TWorkingColors& w = xp.Working();
  // Icon rectangle 0..24 x 0..22: the box is (7, 6)-(17, 16).
  EXPECT_EQ(s.At(7, 6), Rgb(w.CheckedColor));
  EXPECT_EQ(s.At(16, 15), Rgb(w.CheckedColor));
  EXPECT_EQ(s.At(14, 8), Rgb(w.CheckFillColor));
  EXPECT_EQ(s.At(6, 6), Rgb(w.IconBackColor));
  EXPECT_EQ(s.At(9, 12), RGB(0, 0, 0));  // the tick
  Draw(f, exit, s.dc, {0, 0, 150, 21}, true);
  EXPECT_EQ(s.At(14, 8), Rgb(w.CheckFillHotColor));

  exit.SetRadioItem(true);
  Draw(f, exit, s.dc, {0, 0, 150, 21}, false);
  EXPECT_EQ(s.At(7, 6), Rgb(w.IconBackColor));  // an ellipse leaves the corners
  EXPECT_EQ(s.At(12, 11), Rgb(w.CheckFillColor));
}

TEST(FlatMenu, ImagesDimmedAndGreyed) {
  TMenuForm f;
  TXPMenu xp(&f);
  TMenuItem& exit = f.mm.Items()[0][2];
  HBITMAP pic = TwoColour(16, RGB(255, 0, 255), RGB(0, 0, 200));
  exit.Bitmap = pic;
  xp.SetActive(true);
  TSurface s(200, 30);
  RECT r{0, 0, 150, 21};
  // 16 wide, narrower than the icon column: x = (24 - 16) div 2 - 1 = 3, y = 1 + 2.
  Draw(f, exit, s.dc, r, false);
  EXPECT_EQ(s.At(3 + 8, 3 + 8), Lighten(s.dc, RGB(0, 0, 200), 30));  // dimmed by DimLevel
  EXPECT_EQ(s.At(3, 3), Rgb(xp.Working().IconBackColor));             // transparent corner
  exit.SetEnabled(false);
  Draw(f, exit, s.dc, r, false);
  EXPECT_EQ(s.At(3 + 8, 3 + 8), Lighten(s.dc, Grey(RGB(0, 0, 200), 10), 40));
  exit.SetEnabled(true);
  // Selected: moved up-left by one, with a shadow two pixels down-right.
  Draw(f, exit, s.dc, r, true);
  EXPECT_EQ(s.At(2 + 4, 2 + 4), RGB(0, 0, 200));
  EXPECT_EQ(s.At(2 + 12 + 1, 2 + 12 + 1), Darken(xp.Working().SelectColor, 50));
  exit.Bitmap = nullptr;
  DeleteObject(pic);

  // From the menu's image list, by index.
  tk::TImageList list(16, 16);
  HBITMAP cell = TwoColour(16, RGB(255, 0, 255), RGB(0, 150, 0));
  list.AddMasked(cell, RGB(255, 0, 255));
  DeleteObject(cell);
  f.mm.Images = &list;
  exit.ImageIndex = 0;
  Draw(f, exit, s.dc, r, false);
  EXPECT_EQ(s.At(3 + 8, 3 + 8), Lighten(s.dc, RGB(0, 150, 0), 30));
  f.mm.Images = nullptr;
}

TEST(FlatMenu, ItemsAddedLaterAreTakenOver) {
  TMenuForm f;
  TXPMenu xp(&f);
  xp.SetActive(true);
  TMenuItem& added = f.mm.Items()[0].Add("Added");
  EXPECT_FALSE(added.OnDrawItem);  // not yet: AutoDetect is off
  TSurface s(200, 30);
  Draw(f, f.mm.Items()[0][0], s.dc, {0, 0, 150, 21}, false);
  EXPECT_TRUE(added.OnDrawItem.InstalledBy(&xp));  // taken over when its menu was drawn

  xp.AutoDetect = true;
  TMenuItem& more = f.pm.Items().Add("More");
  EXPECT_TRUE(more.OnDrawItem.InstalledBy(&xp));
  EXPECT_TRUE(ItemType(f.pm.Handle(), 2) & MFT_OWNERDRAW);

  // Switching on twice changes nothing; inactive handlers measure nothing.
  xp.SetActive(true);
  xp.SetActive(false);
  int w = 7, h = 9;
  HDC dc = GetDC(f.Handle());
  tk::TCanvas c(dc);
  xp.MeasureMenuItem(added, c, w, h);
  ReleaseDC(f.Handle(), dc);
  EXPECT_EQ(w, 7);
  EXPECT_EQ(h, 9);
}

TEST(FlatMenu, RealMenuBarUsesTheMeasuredWidth) {
  TMenuForm f;
  TXPMenu xp(&f);
  f.Show();
  xp.SetActive(true);
  // The system adds its own spacing to a bar item; a longer caption widens the
  // item by exactly what the component measures more.
  TMenuItem& help = f.mm.Items()[1];
  auto barWidth = [&] {
    DrawMenuBar(f.Handle());
    RECT r{};
    EXPECT_TRUE(GetMenuItemRect(f.Handle(), f.mm.Handle(), 1, &r));
    return r.right - r.left;
  };
  int m1 = Measure(f, help).cx, w1 = barWidth();
  help.SetCaption("&Help and more");
  int m2 = Measure(f, help).cx, w2 = barWidth();
  EXPECT_GT(m2, m1);
  EXPECT_EQ(w2 - w1, m2 - m1);
  f.Hide();
}

TEST(HintShadow, VersionsThatDrawShadows) {
  EXPECT_FALSE(SystemDrawsShadows({2, 5, 0}));  // Windows 2000
  EXPECT_TRUE(SystemDrawsShadows({2, 5, 1}));
  EXPECT_TRUE(SystemDrawsShadows({2, 5, 2}));
  EXPECT_TRUE(SystemDrawsShadows({2, 6, 0}));
  EXPECT_TRUE(SystemDrawsShadows({2, 10, 0}));
  EXPECT_FALSE(SystemDrawsShadows({2, 4, 90}));
  EXPECT_FALSE(SystemDrawsShadows({1, 5, 1}));  // the 9x platform
  EXPECT_TRUE(SystemDrawsShadows(RunningOsVersion()));
}

TEST(HintShadow, ApplicationHintsAreShadowedAndSetOnce) {
  // The unit set the class when the program started.
  std::unique_ptr<tk::THintWindow> h = tk::CreateHintWindow();
  ASSERT_NE(dynamic_cast<TShadowedHintWindow*>(h.get()), nullptr);
  h->ActivateHint({50, 50, 120, 20}, "A hint");
  ASSERT_NE(h->Handle(), nullptr);
  EXPECT_TRUE(IsWindowVisible(h->Handle()));
  EXPECT_TRUE(GetClassLongPtrW(h->Handle(), GCL_STYLE) & CS_DROPSHADOW);
  EXPECT_TRUE(GetWindowLongPtrW(h->Handle(), GWL_STYLE) & WS_POPUP);
  h->ReleaseHint();

  tk::THintWindow plain;
  plain.ActivateHint({50, 80, 120, 20}, "Plain");
  EXPECT_FALSE(GetClassLongPtrW(plain.Handle(), GCL_STYLE) & CS_DROPSHADOW);
  plain.ReleaseHint();

  tk::SetHintWindowClass([] { return std::make_unique<tk::THintWindow>(); });
  EXPECT_FALSE(InitHintShadow());  // a second start-up does not set it again
  h = tk::CreateHintWindow();
  EXPECT_EQ(dynamic_cast<TShadowedHintWindow*>(h.get()), nullptr);
  tk::SetHintWindowClass([] { return std::make_unique<TShadowedHintWindow>(); });
}

namespace {

struct TBarForm : tk::TForm {
  tk::TToolBar tb;
  tk::TToolBar empty;
  tk::TControlBar cbar;
  tk::TPanel band;
  tk::TImageList images{16, 16};
  TBarForm(bool transparent = false) : TForm(L"TFlatBarTestForm") {
    SetClientSize(400, 200);
    HBITMAP cell = TwoColour(16, RGB(255, 0, 255), RGB(0, 0, 200));
    images.AddMasked(cell, RGB(255, 0, 255));
    DeleteObject(cell);
    tb.Images = &images;
    tb.Transparent = transparent;
    tb.AddButton("Plain", 0);
    tb.AddButton("Check", 0, tk::TToolButtonStyle::tbsCheck);
    tb.AddButton("", -1, tk::TToolButtonStyle::tbsSeparator);
    tb.AddButton("AfterPlainSep", 0);
    tb.AddButton("", -1, tk::TToolButtonStyle::tbsSeparator).Tag = 1;
    tb.AddButton("AfterLineSep", 0).SetEnabled(false);
    Declare({
        {.Control = tb, .Name = "tb", .Caption = "", .Bounds = {0, 0, 400, 30}},
        {.Control = empty, .Name = "empty", .Caption = "", .Bounds = {0, 40, 400, 30}},
        {.Control = cbar, .Name = "cbar", .Caption = "", .Bounds = {0, 80, 400, 60}},
        {.Control = band, .Name = "band", .Caption = "", .Bounds = {20, 10, 100, 30}, .Parent = &cbar},
    });
    Show();
  }
  // A pixel of a control as it is on the screen now.
  COLORREF At(tk::TControl& c, int x, int y) {
    RedrawWindow(c.Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    HDC dc = GetDC(c.Handle());
    COLORREF p = GetPixel(dc, x, y);
    ReleaseDC(c.Handle(), dc);
    return p;
  }
};

COLORREF Near(HWND w, tk::TColor c) {
  HDC dc = GetDC(w);
  COLORREF n = GetNearestColor(dc, tk::ColorToRGB(c));
  ReleaseDC(w, dc);
  return n;
}

}  // namespace

TEST(FlatToolBar, HandlersFollowTheLook) {
  TBarForm f;
  {
    TXPMenu xp(&f);
    EXPECT_FALSE(f.tb.Flat());
    xp.SetActive(true);
    EXPECT_TRUE(f.tb.Flat());
    EXPECT_TRUE(f.tb.OnCustomDrawButton.InstalledBy(&xp));
    EXPECT_FALSE(f.empty.OnCustomDrawButton);  // no buttons when the look was applied
    EXPECT_TRUE(f.cbar.OnBandPaint.InstalledBy(&xp));
    xp.SetXPControls(kAllXPControls & ~(xcToolbar | xcControlbar));
    EXPECT_FALSE(f.tb.OnCustomDrawButton);
    EXPECT_FALSE(f.cbar.OnBandPaint);
    xp.SetXPControls(kAllXPControls);
    EXPECT_TRUE(f.tb.OnCustomDrawButton.InstalledBy(&xp));
  }
  EXPECT_FALSE(f.tb.OnCustomDrawButton);  // the component's handlers go with it
  EXPECT_FALSE(f.cbar.OnBandPaint);
}

TEST(FlatToolBar, PaintsButtonsAndSeparators) {
  TBarForm f;
  TXPMenu xp(&f);
  xp.SetActive(true);
  HWND h = f.tb.Handle();
  tk::TColor face = Lighten(nullptr, tk::clBtnFace, 16);
  RECT plain = f.tb.Button(0).BoundsRect(), check = f.tb.Button(1).BoundsRect();
  RECT sep0 = f.tb.Button(2).BoundsRect(), sep1 = f.tb.Button(4).BoundsRect();
  ASSERT_GT(plain.right - plain.left, 10);
  EXPECT_EQ(f.At(f.tb, plain.left + 2, plain.bottom - 3), Near(h, face));

  f.tb.Button(1).SetDown(true);
  const TWorkingColors& w = xp.Working();
  EXPECT_EQ(f.At(f.tb, check.left + 3, check.bottom - 4), Near(h, w.CheckFillColor));
  EXPECT_EQ(f.At(f.tb, check.left, check.top + 3), Near(h, w.SelectBorderColor));  // frame below top + 2
  EXPECT_EQ(f.At(f.tb, check.left + 3, check.top), Near(h, face));

  // A checked button under the mouse takes the hot check fill.
  SendMessageW(h, TB_SETHOTITEM, 1, 0);
  ASSERT_EQ(SendMessageW(h, TB_GETHOTITEM, 0, 0), 1);
  EXPECT_EQ(f.At(f.tb, check.left + 3, check.bottom - 4), Near(h, w.CheckFillHotColor));
  // Hot without the check: the selection colour.
  SendMessageW(h, TB_SETHOTITEM, 0, 0);
  EXPECT_EQ(f.At(f.tb, plain.left + 3, plain.bottom - 4), Near(h, w.SelectColor));
  SendMessageW(h, TB_SETHOTITEM, static_cast<WPARAM>(-1), 0);

  // A separator with Tag 0 is only filled; with Tag 1 it shows a line.
  int x0 = sep0.left + (sep0.right - sep0.left) / 2, x1 = sep1.left + (sep1.right - sep1.left) / 2;
  EXPECT_EQ(f.At(f.tb, x0, sep0.top + 5), Near(h, face));
  EXPECT_EQ(f.At(f.tb, x1, sep1.top + 5), Near(h, Darken(tk::clBtnFace, 30)));
  EXPECT_EQ(f.At(f.tb, x1 + 1, sep1.top + 5), Near(h, face));

  // The image is centred, 2 below the top; a disabled one is grey.
  RECT dis = f.tb.Button(5).BoundsRect();
  int il = static_cast<int>(std::nearbyint(dis.left + (dis.right - dis.left - 16) / 2.0));
  EXPECT_EQ(f.At(f.tb, il + 8, dis.top + 3 + 8), Near(h, Lighten(nullptr, Grey(RGB(0, 0, 200), 10), 40)));
  il = static_cast<int>(std::nearbyint(plain.left + (plain.right - plain.left - 16) / 2.0));
  EXPECT_EQ(f.At(f.tb, il + 8, plain.top + 3 + 8), Near(h, Lighten(nullptr, RGB(0, 0, 200), 30)));
}

TEST(FlatToolBar, TransparentBarIsNotFilledBehindButtons) {
  TBarForm f(true);
  TXPMenu xp(&f);
  xp.SetActive(true);
  RECT plain = f.tb.Button(0).BoundsRect();
  COLORREF p = f.At(f.tb, plain.left + 2, plain.bottom - 3);
  EXPECT_NE(p, Near(f.tb.Handle(), Lighten(nullptr, tk::clBtnFace, 16)));
}

TEST(FlatToolBar, ControlBarBandAndGrip) {
  TBarForm f;
  TXPMenu xp(&f);
  xp.SetActive(true);
  RECT r = f.cbar.BandRect(f.band);
  HWND h = f.cbar.Handle();
  EXPECT_EQ(f.At(f.cbar, r.left + 1, r.top + 1), Near(h, Lighten(nullptr, tk::clBtnFace, 6)));  // no frame
  int y = r.top + 5 + ((r.top + 5) % 2 ? 1 : 0);  // the first even row
  EXPECT_EQ(f.At(f.cbar, r.left + 3, y), Near(h, Darken(tk::clBtnFace, 30 + 7 * (y - r.top - 5))));
  EXPECT_EQ(f.At(f.cbar, r.left + 5, y), Near(h, Darken(tk::clBtnFace, 30 + 7 * (y - r.top - 5))));
  EXPECT_EQ(f.At(f.cbar, r.left + 6, y), Near(h, Lighten(nullptr, tk::clBtnFace, 6)));
  EXPECT_EQ(f.At(f.cbar, r.left + 3, y + 1), Near(h, Lighten(nullptr, tk::clBtnFace, 6)));  // odd rows stay
  xp.SetActive(false);
  EXPECT_NE(f.At(f.cbar, r.left + 1, r.top + 1), Near(h, Lighten(nullptr, tk::clBtnFace, 6)));
}

namespace {

// The first and the last column of r (client pixels of w, repainted now) where a pixel
// differs from the one at r's top-left corner: the extent of a caption on a plain face.
std::pair<int, int> InkColumns(HWND w, RECT r) {
  RedrawWindow(w, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
  HDC dc = GetDC(w);
  const COLORREF back = GetPixel(dc, r.left, r.top);
  int first = -1, last = -1;
  for (int x = r.left; x < r.right; ++x)
    for (int y = r.top; y < r.bottom; ++y)
      if (GetPixel(dc, x, y) != back) {
        if (first < 0) first = x;
        last = x;
        break;
      }
  ReleaseDC(w, dc);
  return {first, last};
}

// A bar with captions in a 7-point font, as the main window's, and a flat speed button.
struct TCaptionsForm : tk::TForm {
  tk::TToolBar bar;
  tk::TSpeedButton speed;
  TCaptionsForm() : TForm(L"TFlatCaptionsTestForm") {
    SetClientSize(300, 80);
    bar.AddButton("Schedule");
    bar.AddButton("AutoRun");
    Declare({{.Control = bar, .Name = "bar", .Caption = "", .Bounds = {0, 0, 300, 34}},
             {.Control = speed, .Name = "speed", .Caption = " Default...", .Bounds = {10, 50, 60, 18}}});
    tk::TFontSpec small = bar.Font();
    small.Height = tk::TFontSpec::HeightForPoints(7);
    bar.SetFont(small);
    speed.SetFlat(true);
    Show();
    bar.SetShowCaptions(true, 44, 34);
    SetCursorPos(0, 0);  // nothing is hot
  }
};

}  // namespace

TEST(FlatToolBar, CaptionsAreDrawnInTheBarsOwnFontInsideTheirButtons) {
  TCaptionsForm f;
  TXPMenu xp(&f);  // its own font is the 8-point menu font
  xp.SetActive(true);
  const RECT b = f.bar.Button(0).BoundsRect();
  const auto [first, last] = InkColumns(f.bar.Handle(), {b.left, b.top + 2, b.right, b.bottom - 1});
  ASSERT_GE(first, 0);
  HDC dc = GetDC(nullptr);
  int width;
  {
    tk::TCanvas c(dc);
    c.Font = f.bar.Font();
    width = c.TextWidth("Schedule");
  }
  ReleaseDC(nullptr, dc);
  EXPECT_LE(last - first + 1, width + 1);
  EXPECT_GT(first, b.left);
  EXPECT_LT(last, b.right - 1);
}

TEST(FlatControls, AFlatSpeedButtonShowsItsCaptionOnceWhereItsFacePutsIt) {
  TCaptionsForm f;
  RECT c;
  GetClientRect(f.speed.Handle(), &c);
  const auto own = InkColumns(f.speed.Handle(), c);
  ASSERT_GE(own.first, 0);
  TXPMenu xp(&f);
  xp.SetActive(true);
  EXPECT_EQ(InkColumns(f.speed.Handle(), c), own);
}
