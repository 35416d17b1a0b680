#include "controls/flatmenu.h"

#include <algorithm>
#include <cmath>
#include <typeinfo>
#include <vector>

#include "controls/flatcontrols.h"
#include "controls/flatdraw.h"
#include "toolkit/strings.h"
#include "toolkit/win_imagelist.h"

namespace g32 {

using tk::TCanvas;
using tk::TMenuItem;

namespace flatdraw {

int HalfEven(double v) { return static_cast<int>(std::nearbyint(v)); }  // default rounding: half to even

// A 32-bit top-down bitmap of the given size (contents undefined).
HBITMAP NewDib(int w, int h) {
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -h;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  return CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
}

SIZE BitmapSize(HBITMAP b) {
  BITMAP bm{};
  if (!b || !GetObjectW(b, sizeof(bm), &bm)) return {0, 0};
  return {bm.bmWidth, std::abs(bm.bmHeight)};
}

void DrawTransparent(TCanvas& canvas, int x, int y, HBITMAP b) {
  SIZE s = BitmapSize(b);
  TSelected src(b);
  COLORREF key = GetPixel(src.dc, 0, s.cy - 1);
  TransparentBlt(canvas.Handle(), x, y, s.cx, s.cy, src.dc, 0, 0, s.cx, s.cy, key);
}

void FillWith(TCanvas& canvas, const RECT& r, TColor c) {
  canvas.Brush.Style = tk::TBrushStyle::bsSolid;
  canvas.Brush.Color = c;
  canvas.FillRect(r);
}

void Line(TCanvas& canvas, std::initializer_list<POINT> points) { canvas.Polyline(std::vector<POINT>(points)); }

HBITMAP ListImageBitmap(const tk::TImageList& list, int index, TColor back) {
  HBITMAP b = NewDib(list.Width(), list.Height());
  TSelected into(b);
  TCanvas bc(into.dc);
  FillWith(bc, {0, 0, list.Width(), list.Height()}, back);
  list.Draw(into.dc, 0, 0, index);
  return b;
}

}  // namespace flatdraw

using namespace flatdraw;

namespace {

int Clamp255(int v) { return std::clamp(v, 0, 255); }
HBITMAP CopyToDib(HBITMAP src) {
  SIZE s = BitmapSize(src);
  HBITMAP b = NewDib(s.cx, s.cy);
  TSelected from(src), to(b);
  BitBlt(to.dc, 0, 0, s.cx, s.cy, from.dc, 0, 0, SRCCOPY);
  return b;
}

// Pixels of a bitmap as 0x00RRGGBB, row by row from the top.
std::vector<std::uint32_t> ReadPixels(HBITMAP b, SIZE s, BITMAPINFO& bi) {
  bi = BITMAPINFO{};
  bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
  bi.bmiHeader.biWidth = s.cx;
  bi.bmiHeader.biHeight = -s.cy;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  std::vector<std::uint32_t> px(static_cast<size_t>(s.cx) * static_cast<size_t>(s.cy));
  HDC dc = GetDC(nullptr);
  GetDIBits(dc, b, 0, static_cast<UINT>(s.cy), px.data(), &bi, DIB_RGB_COLORS);
  ReleaseDC(nullptr, dc);
  return px;
}

TColor PixelToColor(std::uint32_t p) { return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF); }
std::uint32_t ColorToPixel(TColor c) { return (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c); }

// Every pixel through f; a run of one colour is converted once.
template <class F>
void MapBitmap(HBITMAP b, F f) {
  SIZE s = BitmapSize(b);
  if (s.cx <= 0 || s.cy <= 0) return;
  BITMAPINFO bi;
  std::vector<std::uint32_t> px = ReadPixels(b, s, bi);
  std::uint32_t lastIn = 0, lastOut = 0;
  bool have = false;
  for (auto& p : px) {
    std::uint32_t in = p & 0xFFFFFF;
    if (!have || in != lastIn) {
      lastIn = in;
      lastOut = ColorToPixel(f(PixelToColor(in)));
      have = true;
    }
    p = lastOut;
  }
  HDC dc = GetDC(nullptr);
  SetDIBits(dc, b, 0, static_cast<UINT>(s.cy), px.data(), &bi, DIB_RGB_COLORS);
  ReleaseDC(nullptr, dc);
}


// The image list and index behind an item's image, when it shows one from a list.
tk::TImageList* ListImage(const TMenuItem& item, bool* fromSubMenu) {
  if (item.ImageIndex == -1) return nullptr;
  TMenuItem* parent = item.Parent();
  tk::TMenu* menu = item.Menu();
  if (parent && parent->SubMenuImages) {
    *fromSubMenu = true;
    return parent->SubMenuImages;
  }
  *fromSubMenu = false;
  return menu ? menu->Images : nullptr;
}

bool NtPlatform() {
  OSVERSIONINFOW vi{};
  vi.dwOSVersionInfoSize = sizeof(vi);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  return GetVersionExW(&vi) && vi.dwPlatformId == VER_PLATFORM_WIN32_NT;
#pragma GCC diagnostic pop
}

}  // namespace

// ---------------- colour and bitmap functions

TColor Lighten(HDC dc, TColor color, int percent) {
  COLORREF c = tk::ColorToRGB(color);
  double f = std::min(percent, 100) / 100.0;
  auto up = [f](int v) { return Clamp255(v + static_cast<int>(std::lround((255 - v) * f))); };
  COLORREF out = RGB(up(GetRValue(c)), up(GetGValue(c)), up(GetBValue(c)));
  if (dc) {
    COLORREF n = GetNearestColor(dc, out);
    if (n != CLR_INVALID) out = n;
  }
  return out;
}

TColor Darken(TColor color, int d) {
  COLORREF c = tk::ColorToRGB(color);
  return RGB(Clamp255(GetRValue(c) - d), Clamp255(GetGValue(c) - d + 2), Clamp255(GetBValue(c) - d));
}

TColor Grey(TColor color, int add) {
  COLORREF c = tk::ColorToRGB(color);
  int g = std::min((GetRValue(c) + GetGValue(c) + GetBValue(c)) / 3 + add, 240);
  g = Clamp255(g);
  return RGB(g, g, g);
}

void GreyBitmap(HBITMAP bitmap, int add) {
  MapBitmap(bitmap, [add](TColor c) { return Grey(c, add); });
}

void LightenBitmap(HBITMAP bitmap, int percent) {
  MapBitmap(bitmap, [percent](TColor c) { return Lighten(nullptr, c, std::min(percent, 100)); });
}

void ImageShadow(HBITMAP bitmap, TCanvas& canvas, int x, int y, TColor color) {
  SIZE s = BitmapSize(bitmap);
  if (s.cx <= 0 || s.cy <= 0) return;
  BITMAPINFO bi;
  std::vector<std::uint32_t> px = ReadPixels(bitmap, s, bi);
  std::uint32_t key = px[static_cast<size_t>(s.cy - 1) * static_cast<size_t>(s.cx)] & 0xFFFFFF;
  for (int j = 0; j < s.cy; ++j)
    for (int i = 0; i < s.cx; ++i)
      if ((px[static_cast<size_t>(j) * static_cast<size_t>(s.cx) + static_cast<size_t>(i)] & 0xFFFFFF) != key)
        canvas.SetPixel(x + i, y + j, color);
}

void DropArrow(TCanvas& canvas, int x, int y) {
  Line(canvas, {{x, y}, {x + 5, y}});
  Line(canvas, {{x + 1, y + 1}, {x + 4, y + 1}});
  Line(canvas, {{x + 2, y + 2}, {x + 3, y + 2}});
}

void CheckGlyph(TCanvas& canvas, int x, int y) {
  Line(canvas, {{x + 2, y - 5}, {x + 4, y - 3}, {x + 9, y - 8}});
  Line(canvas, {{x + 2, y - 6}, {x + 4, y - 4}, {x + 9, y - 9}});
  Line(canvas, {{x + 2, y - 7}, {x + 4, y - 5}, {x + 9, y - 10}});
}

bool LoadSystemMenuFont(tk::TFontSpec& font) {
  NONCLIENTMETRICSW m{};
  m.cbSize = sizeof(m);
  if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, m.cbSize, &m, 0)) return false;
  const LOGFONTW& lf = m.lfMenuFont;
  font.Name = tk::Narrow(lf.lfFaceName);
  font.Height = tk::ScaleFromDpi(lf.lfHeight, tk::ScreenPixelsPerInch());
  font.Bold = lf.lfWeight >= FW_BOLD;
  font.Italic = lf.lfItalic != 0;
  font.Underline = lf.lfUnderline != 0;
  font.Color = tk::SystemColor(COLOR_MENUTEXT);
  return true;
}

// ---------------- the component

TXPMenu::TXPMenu(tk::TWinControl* owner) {
  owner_ = dynamic_cast<tk::TForm*>(owner);
  if (!owner_) throw std::bad_cast();
  LoadSystemMenuFont(font_);
  SelectFontColor = font_.Color;
  SetXPContainers(kAllXPContainers);
  SetXPControls(kAllXPControls);
  insertListener_ = tk::TMenu::AddInsertListener(owner_, [this](TMenuItem&) {
    if (active_ && AutoDetect) Reapply();
  });
}

TXPMenu::~TXPMenu() {
  tk::TMenu::RemoveInsertListener(insertListener_);
  ApplyLook(false, false);
}

void TXPMenu::RedrawMenuBar() {
  if (owner_->Handle()) DrawMenuBar(owner_->Handle());
}

void TXPMenu::SetFont(const tk::TFontSpec& font) { font_ = font; RedrawMenuBar(); }
void TXPMenu::SetMenuBarColor(TColor color) { menuBarColor_ = color; RedrawMenuBar(); }
void TXPMenu::SetUseSystemColors(bool on) { useSystemColors_ = on; RedrawMenuBar(); }

void TXPMenu::SetOverrideOwnerDraw(bool on) {
  overrideOwnerDraw_ = on;
  if (active_) Reapply();
}

void TXPMenu::Reapply() {
  ApplyLook(false, true);
  ApplyLook(true, true);
}

// A changed kind set while active: everything is detached and attached again.
void TXPMenu::ChangeKinds(unsigned& field, unsigned value) {
  if (value != field && active_) {
    active_ = false;
    ApplyLook(false, true);
    active_ = true;
    field = value;
    ApplyLook(true, true);
  }
  field = value;
}

void TXPMenu::SetXPContainers(TXPContainers value) { ChangeKinds(containers_, value); }
void TXPMenu::SetXPControls(TXPControls value) { ChangeKinds(controls_, value); }

void TXPMenu::SetActive(bool on) {
  if (on == active_) return;
  active_ = on;
  ApplyLook(on, true);
  RedrawMenuBar();
}

void TXPMenu::ApplyLook(bool enable, bool refresh) {
  for (tk::TMenu* m : tk::TMenu::MenusOf(owner_)) {
    bool take = m->IsMainMenu() ? (controls_ & xcMainMenu) && m->Tag != 999 : (controls_ & xcPopupMenu) != 0;
    if (!take) continue;
    TMenuItem& root = m->Items();
    if (root.Count() > 0) m->SetOwnerDraw(enable);
    std::function<void(TMenuItem&)> visit = [&](TMenuItem& item) {
      SetItemHandlers(item, enable);
      for (int i = 0; i < item.Count(); ++i) visit(item[i]);
    };
    for (int i = 0; i < root.Count(); ++i) visit(root[i]);
  }
  for (tk::TControl* c : owner_->Controls()) ApplyToBars(*c, enable, refresh);
}

void TXPMenu::ApplyToBars(tk::TControl& control, bool enable, bool refresh) {
  if (auto* tb = dynamic_cast<tk::TToolBar*>(&control); tb && (controls_ & xcToolbar)) {
    if (!tb->Flat()) tb->SetFlat(true);
    if (enable) {
      // A bar without buttons now keeps the toolkit's drawing until the look is applied again.
      if (tb->ButtonCount() > 0 && (!tb->OnCustomDrawButton || overrideOwnerDraw_))
        tb->OnCustomDrawButton.Set(this, [this](tk::TToolBar& bar, tk::TToolButton& b, tk::TCustomDrawState st,
                                                bool& def) { DrawToolButton(bar, b, st, def); });
    } else if (tb->OnCustomDrawButton.InstalledBy(this)) {
      tb->OnCustomDrawButton.Clear();
    }
    // Painted in its new look at once, not whenever the system gets round to it (the
    // bar of a window that a dialog disables may wait for the pointer to pass).
    if (refresh) {
      tb->Invalidate();
      tb->Update();
    }
  }
  if (auto* cb = dynamic_cast<tk::TControlBar*>(&control); cb && (controls_ & xcControlbar)) {
    if (enable) {
      if (!cb->OnBandPaint || overrideOwnerDraw_)
        cb->OnBandPaint.Set(this, [this](tk::TControlBar& bar, tk::TControl& band, TCanvas& c, RECT r,
                                         tk::TBandPaintOptions& o) { PaintControlBarBand(bar, band, c, r, o); });
    } else if (cb->OnBandPaint.InstalledBy(this)) {
      cb->OnBandPaint.Clear();
    }
    if (refresh) cb->Invalidate();
  }
  ApplyToControl(control, enable, refresh);
  // Controls on panels, group boxes and frames belong to the form as well.
  if (auto* w = dynamic_cast<tk::TWinControl*>(&control))
    for (tk::TControl* c : w->Controls()) ApplyToBars(*c, enable, refresh);
}

void TXPMenu::ApplyToControl(tk::TControl& control, bool enable, bool refresh) {
  if (!QualifiesForFlatPainting(control, controls_, containers_)) return;
  // Switching off leaves the painters alone: each gives its control back at the next message.
  if (enable) subclasses_.push_back(std::make_unique<TControlSubClass>(*this, control));
  if (refresh) control.Invalidate();
}

void TXPMenu::ReleaseSubClass(TControlSubClass* subclass) {
  for (auto it = subclasses_.begin(); it != subclasses_.end(); ++it)
    if (it->get() == subclass) {
      std::unique_ptr<TControlSubClass> gone = std::move(*it);
      subclasses_.erase(it);
      return;
    }
}

void TXPMenu::InstallHandlers(TMenuItem& item) {
  if (!item.OnDrawItem || overrideOwnerDraw_)
    item.OnDrawItem.Set(this, [this](TMenuItem& i, TCanvas& c, const RECT& r, bool selected) {
      if (active_) DrawMenuItem(i, c, r, selected);
    });
  if (!item.OnMeasureItem || overrideOwnerDraw_)
    item.OnMeasureItem.Set(this, [this](TMenuItem& i, TCanvas& c, int& w, int& h) { MeasureMenuItem(i, c, w, h); });
}

void TXPMenu::SetItemHandlers(TMenuItem& item, bool enable) {
  if (!enable) {
    if (item.OnDrawItem.InstalledBy(this)) item.OnDrawItem.Clear();
    if (item.OnMeasureItem.InstalledBy(this)) item.OnMeasureItem.Clear();
    return;
  }
  if (item.Tag != 999) InstallHandlers(item);
}

// Items added at run time are taken over when their menu is next drawn.
void TXPMenu::TakeOverSiblings(TMenuItem& item) {
  TMenuItem* parent = item.Parent();
  if (!parent) return;
  std::function<void(TMenuItem&)> visit = [&](TMenuItem& p) {
    for (int i = 0; i < p.Count(); ++i) {
      TMenuItem& c = p[i];
      if (c.Tag != 999 && !c.OnDrawItem.InstalledBy(this)) InstallHandlers(c);
      visit(c);
    }
  };
  visit(*parent);
}

bool TXPMenu::IsBarItem(const TMenuItem& item) const {
  tk::TMenu* m = item.Menu();
  return m && m->IsMainMenu() && item.Parent() == &m->Items();
}

void TXPMenu::DeriveWorkingColors(TCanvas& canvas) {
  HDC dc = canvas.Handle();
  TWorkingColors& w = work_;
  w.RichColors = GetDeviceCaps(dc, BITSPIXEL) * GetDeviceCaps(dc, PLANES) >= 16;
  w.Color = Color;
  w.IconBackColor = IconBackColor;
  if (w.RichColors) {
    w.SelectColor = Lighten(dc, SelectColor, 68);
    w.CheckFillColor = Lighten(dc, SelectColor, 80);
    w.CheckFillHotColor = Lighten(dc, SelectColor, 50);
    w.PopupEdgeColor = Darken(tk::clBtnFace, 90);
    w.PopupShadowColor = Darken(tk::clBtnFace, 76);
  } else {
    w.SelectColor = SelectColor;
    w.CheckFillColor = tk::clWhite;
    w.CheckFillHotColor = tk::clSilver;
    w.PopupEdgeColor = w.PopupShadowColor = tk::clBtnShadow;
  }
  w.SelectBorderColor = SelectBorderColor;
  w.SelectFontColor = SelectFontColor;
  w.MenuBarColor = menuBarColor_;
  w.DisabledColor = DisabledColor;
  w.CheckedColor = CheckedColor;
  w.SeparatorColor = SeparatorColor;
  if (!useSystemColors_) return;
  LoadSystemMenuFont(font_);
  w.SelectFontColor = font_.Color;
  w.SelectBorderColor = w.CheckedColor = tk::clHighlight;
  w.MenuBarColor = tk::clBtnFace;
  if (w.RichColors) {
    w.Color = Lighten(dc, tk::clBtnFace, 86);
    w.IconBackColor = Lighten(dc, tk::clBtnFace, 16);
    w.SelectColor = Lighten(dc, tk::clHighlight, 68);
    w.DisabledColor = Lighten(dc, tk::clBtnShadow, 10);
    w.SeparatorColor = Lighten(dc, tk::clBtnShadow, 25);
    w.CheckFillColor = Lighten(dc, tk::clHighlight, 80);
    w.CheckFillHotColor = Lighten(dc, tk::clHighlight, 50);
  } else {
    w.Color = w.SelectColor = w.CheckFillColor = w.CheckFillHotColor = tk::clWhite;
    w.IconBackColor = tk::clBtnFace;
    w.DisabledColor = w.SeparatorColor = tk::clBtnShadow;
  }
}

TColor TXPMenu::ContrastTextColor(HDC dc, TColor color) const {
  COLORREF c = tk::ColorToRGB(color);
  if ((GetBValue(c) + GetRValue(c)) / 2 < 151 && GetGValue(c) < 201) return Lighten(dc, color, 90);
  return font_.Color;
}

// ---------------- menu items

void TXPMenu::MeasureMenuItem(TMenuItem& item, TCanvas& canvas, int& width, int& height) {
  if (!active_) return;
  bool separator = item.IsLine();
  std::string s = separator ? "" : item.Caption();
  if (!tk::Trim(item.ShortCutText()).empty()) s += item.ShortCutText() + "WWW";
  canvas.Font = font_;
  int w = canvas.TextWidth(s) + 5;
  if (s.find('&') != std::string::npos) w -= canvas.TextWidth("&");
  // The image extent.
  bool bar = IsBarItem(item);
  bool fromSub = false;
  SIZE ext{0, 0};
  if (tk::TImageList* list = ListImage(item, &fromSub)) ext = {list->Width(), list->Height()};
  else if (BitmapSize(item.Bitmap).cx > 0) ext = BitmapSize(item.Bitmap);
  if (!bar) ext.cx = std::max<LONG>(ext.cx, IconWidth);
  if (ext.cx > 0) w += ext.cx;
  if (bar && NtPlatform()) w += 8;
  width = std::max(width, w);
  if (separator) {
    height = 4;
    return;
  }
  int th = canvas.TextHeight(s);
  int h = std::max(th + HalfEven(0.75 * th), static_cast<int>(ext.cy) + 6);
  height = std::max(height, h);
}

void TXPMenu::DrawMenuItem(TMenuItem& item, TCanvas& canvas, RECT rect, bool selected) {
  DeriveWorkingColors(canvas);
  HDC dc = canvas.Handle();
  bool separator = item.IsLine();
  bool bar = IsBarItem(item);
  bool enabled = item.Enabled();
  canvas.Font = font_;
  rect.bottom += 1;
  std::string text = " " + item.Caption();

  // The image.
  HBITMAP b = nullptr;
  if (BitmapSize(item.Bitmap).cx > 0) b = CopyToDib(item.Bitmap);
  bool fromSub = false;
  if (tk::TImageList* list = ListImage(item, &fromSub)) {
    if (b) DeleteObject(b);
    b = ListImageBitmap(*list, item.ImageIndex, fromSub ? canvas.Brush.Color : canvas.Pixel(2, 2));
  }
  int bw = BitmapSize(b).cx;
  tk::TMenu* menu = item.Menu();
  bool rtl = menu && menu->RightToLeft;

  RECT icon = rtl ? RECT{rect.right - IconWidth, rect.top, rect.right, rect.bottom}
                  : RECT{rect.left, rect.top, rect.left + IconWidth, rect.bottom};
  RECT check;
  if (bw > 0) {
    check = {icon.left + 1, icon.top + 2, icon.right - 3, icon.bottom - 2};
  } else {
    int cx = (icon.left + icon.right) / 2, cy = (icon.top + icon.bottom) / 2;
    check = {cx - 5, cy - 5, cx + 5, cy + 5};
  }
  if (bw > IconWidth) {
    if (rtl) check.left = check.right - bw;
    else check.right = check.left + bw;
  }
  if (bar) check.top -= 1;

  RECT tr = rect;
  if (!rtl) {
    tr.left = rect.left + (bar ? 4 : IconWidth);
    if (rect.left + bw + 4 > tr.left) tr.left = rect.left + bw + 4;
  } else {
    tr.right = rect.right - (bar ? 4 : IconWidth);
    if (rect.right - bw - 8 < tr.right) tr.right = rect.right - bw - 8;
  }
  if (bar) {
    tr = rect;
    if (bw > 0) {
      if (rtl) tr.right += 5;
      else tr.left -= 5;
    }
  }

  // Background.
  if (bar) {
    FillWith(canvas, rect, work_.MenuBarColor);
  } else if (!work_.RichColors || !Gradient) {
    FillWith(canvas, rect, work_.Color);
    FillWith(canvas, icon, work_.IconBackColor);
  } else {
    RECT g = rect;
    g.right += 2;
    FillIconGradient(canvas, g, rtl);
  }
  canvas.Font.Color = enabled ? font_.Color : DisabledColor;

  if (selected && DrawSelect) {
    if (bar) {
      DrawOpenItemFrame(canvas, rect, menuBarColor_, rtl);
    } else if (enabled) {
      RECT r = rect;
      r.top += 1;
      r.bottom -= 1;
      if (FlatMenu) r.right -= 1;
      canvas.Brush.Style = tk::TBrushStyle::bsSolid;
      canvas.Brush.Color = work_.SelectColor;
      canvas.Pen.Color = work_.SelectBorderColor;
      canvas.RoundRect(r.left, r.top, r.right, r.bottom, 0, 0);
    }
  }
  DrawCheckArea(canvas, check, selected, bw > 0, enabled, item.Checked(), item.RadioItem());
  DrawItemImage(canvas, icon, b, rtl, bar, item.Checked(), enabled, false, selected);

  if (separator) {
    int y = tr.top + HalfEven((tr.bottom - tr.top) / 2.0);
    canvas.Pen.Color = work_.SeparatorColor;
    if (rtl) Line(canvas, {{tr.left, y}, {tr.right - 7, y}});
    else Line(canvas, {{tr.left + 7, y}, {tr.right, y}});
  } else {
    UINT flags = DT_SINGLELINE;
    if (rtl) {
      flags |= DT_RIGHT | DT_RTLREADING;
      tr.right -= 3;
    } else {
      flags |= DT_LEFT;
      tr.left += 3;
    }
    DrawItemText(canvas, text, flags, font_, rtl, bar, item.Default(), enabled, selected, tr, item.ShortCutText());
  }

  if (FlatMenu && !bar) {
    HWND w = WindowFromDC(dc);
    if (w && w != owner_->Handle()) DrawPopupFrame(w, rtl);
  }
  if (b) DeleteObject(b);
  TakeOverSiblings(item);
}

void TXPMenu::FillIconGradient(TCanvas& canvas, RECT rect, bool rtl) {
  HDC dc = canvas.Handle();
  int step = 0;
  auto stripe = [&](int x, bool steep) {
    step = std::min(step + (steep ? 3 : 1), 96);
    FillWith(canvas, {x, rect.top, x + 1, rect.bottom}, Lighten(dc, work_.IconBackColor, step));
  };
  if (!rtl) {
    for (int x = rect.left; x <= rect.right; ++x) stripe(x, x > rect.left && x - rect.left < IconWidth + 5);
  } else {
    for (int x = rect.right; x >= rect.left; --x) stripe(x, x < rect.right && x > rect.right - IconWidth + 5);
  }
}

void TXPMenu::DrawCheckArea(TCanvas& canvas, RECT r, bool selected, bool hasImage, bool enabled, bool checked,
                            bool radio) {
  if (!checked) return;
  canvas.Brush.Style = tk::TBrushStyle::bsSolid;
  canvas.Brush.Color = selected ? work_.CheckFillHotColor : work_.CheckFillColor;
  if (enabled) canvas.Pen.Color = (!radio && !hasImage) ? work_.CheckedColor : work_.SelectBorderColor;
  else canvas.Pen.Color = work_.DisabledColor;
  if (radio) {
    if (hasImage) canvas.RoundRect(r.left, r.top, r.right, r.bottom, 6, 6);
    else canvas.Ellipse(r.left, r.top, r.right, r.bottom);
    return;
  }
  canvas.Rectangle(r.left, r.top, r.right, r.bottom);
  if (hasImage) return;
  canvas.Pen.Color = enabled ? tk::clBlack : work_.DisabledColor;
  const int l = r.left, t = r.top, rt = r.right, b = r.bottom;
  Line(canvas, {{l + 1, t + 5}, {l + 4, b - 2}});
  Line(canvas, {{l + 2, t + 5}, {l + 4, b - 3}});
  Line(canvas, {{l + 2, t + 4}, {l + 5, b - 3}});
  Line(canvas, {{l + 4, b - 3}, {rt + 2, t - 1}});
  Line(canvas, {{l + 4, b - 2}, {rt - 2, t + 3}});
}

void TXPMenu::DrawItemImage(TCanvas& canvas, RECT rect, HBITMAP b, bool rtl, bool bar, bool checked, bool enabled,
                            bool pressed, bool selected, bool toolButton) {
  SIZE s = BitmapSize(b);
  if (!b || s.cx == 0) return;
  int x = rect.left, y = rect.top + 1;
  if (bar) {
    x = rtl ? rect.right - s.cx - 5 : rect.left + 1;
  } else if (!toolButton) {
    y += 2;
    if (s.cx < IconWidth) x = rect.left + (IconWidth - s.cx) / 2 - 1;
    else x = rtl ? rect.right - s.cx - 2 : rect.left + 2;
  }
  if (selected && !bar && enabled && !checked && !pressed) {
    --x;
    --y;
  }
  if (!selected && enabled && !checked && work_.RichColors) LightenBitmap(b, DimLevel);
  if (!enabled) {
    GreyBitmap(b, GrayLevel);
    LightenBitmap(b, 40);
  }
  if (selected && enabled && !checked) {
    TColor c = toolButton && work_.RichColors && !useSystemColors_ ? Lighten(canvas.Handle(), SelectColor, 68)
                                                                    : work_.SelectColor;
    ImageShadow(b, canvas, x + 2, y + 2, Darken(c, 50));
  }
  DrawTransparent(canvas, x, y, b);
}

void TXPMenu::DrawItemText(TCanvas& canvas, const std::string& text, UINT flags, const tk::TFontSpec& font,
                           bool rtl, bool bar, bool isDefault, bool enabled, bool selected, RECT rect,
                           const std::string& shortcut, bool toolButton) {
  canvas.Font = font;
  TColor colour = selected ? work_.SelectFontColor : font.Color;
  if (!enabled) colour = work_.DisabledColor;
  if (!enabled && toolButton) {
    const int w = rect.right - rect.left, h = rect.bottom - rect.top;
    if (w <= 0 || h <= 0) return;
    HBITMAP scratch = NewDib(w, h);
    {
      TSelected s(scratch);
      TCanvas sc(s.dc);
      FillWith(sc, {0, 0, w, h}, canvas.Brush.Color);
      sc.Font = font;
      sc.Font.Color = colour;
      sc.Brush.Style = tk::TBrushStyle::bsClear;
      RECT r{0, (h - sc.TextHeight("W")) / 2, w, h};
      r.bottom = r.top + sc.TextHeight("W");
      sc.DrawText(text, r, flags | DT_VCENTER | DT_SINGLELINE);
      BitBlt(canvas.Handle(), rect.left, rect.top, w, h, s.dc, 0, 0, SRCCOPY);
    }
    DeleteObject(scratch);
    return;
  }
  if (selected && bar && useSystemColors_) colour = ContrastTextColor(canvas.Handle(), work_.IconBackColor);
  rect.top += ((rect.bottom - rect.top) - canvas.TextHeight("W")) / 2;
  canvas.Brush.Style = tk::TBrushStyle::bsClear;
  if (isDefault && enabled) {
    // A soft outline around the default item's text.
    struct TMove { int dl, dt, dr, d; };
    for (TMove m : {TMove{1, 0, 0, 30}, TMove{1, 2, 1, 30}, TMove{0, 1, 0, 40}, TMove{1, 0, 1, 60}}) {
      RECT r{rect.left + m.dl, rect.top + m.dt, rect.right + m.dr, rect.bottom};
      canvas.Font.Color = Darken(canvas.Pixel(r.left, r.top), m.d);
      canvas.DrawText(text, r, flags);
    }
  }
  canvas.Font.Color = colour;
  RECT r = rect;
  canvas.DrawText(text, r, flags);
  if (!shortcut.empty()) {
    canvas.Font.Color = work_.RichColors ? Darken(colour, -40) : colour;
    RECT sr = rect;
    if (rtl) sr.left += 10;
    else sr.right -= 10;
    canvas.DrawText(shortcut + " ", sr, DT_SINGLELINE | (rtl ? DT_LEFT | DT_RTLREADING : DT_RIGHT));
  }
}

void TXPMenu::DrawOpenItemFrame(TCanvas& canvas, RECT r, TColor barColor, bool rtl, bool toolButton) {
  FillWith(canvas, r, work_.SelectColor);
  canvas.Pen.Color = work_.SelectBorderColor;
  const int l = r.left, t = r.top, rt = r.right, b = r.bottom;
  if (!rtl && work_.RichColors && !toolButton) {
    Line(canvas, {{l, b - 1}, {l, t}, {rt - 8, t}, {rt - 8, b}});
    TColor c = work_.MenuBarColor;
    FillWith(canvas, {rt - 7, t, rt, b}, Darken(c, 10));
    FillWith(canvas, {rt - 7, t + 3, rt - 2, b}, Darken(c, 30));
    FillWith(canvas, {rt - 7, t + 5, rt - 3, b}, Darken(c, 60));
    FillWith(canvas, {rt - 7, t + 6, rt - 5, b}, Darken(c, 100));
    canvas.Pen.Color = c;
    Line(canvas, {{rt - 5, t + 1}, {rt - 1, t + 1}, {rt - 1, t + 6}});
    Line(canvas, {{rt - 3, t + 2}, {rt - 2, t + 2}, {rt - 2, t + 3}, {rt - 3, t + 3}});
    canvas.Pen.Color = Darken(c, 10);
    Line(canvas, {{rt - 6, t + 3}, {rt - 3, t + 3}, {rt - 3, t + 6}, {rt - 4, t + 6}, {rt - 4, t + 3}});
    canvas.Pen.Color = Darken(c, 30);
    Line(canvas, {{rt - 5, t + 5}, {rt - 4, t + 5}, {rt - 4, t + 9}});
    canvas.Pen.Color = Darken(c, 40);
    Line(canvas, {{rt - 6, t + 5}, {rt - 6, t + 7}});
    return;
  }
  TColor shade = Darken(barColor, 70);
  Line(canvas, {{l, b - 1}, {l, t}, {rt - 3, t}, {rt - 3, b}});
  FillWith(canvas, {rt - 2, t + 2, rt, b}, shade);
  FillWith(canvas, {rt - 2, t, rt, t + 2}, barColor);
}

void TXPMenu::DrawPopupFrame(HWND window, bool rtl) {
  HWND desktop = GetDesktopWindow();
  HDC dc = GetWindowDC(desktop);
  RECT wr;
  GetWindowRect(window, &wr);
  {
    TCanvas canvas(dc);
    auto box = [&](int l, int t, int r, int b, TColor c) {
      canvas.Pen.Color = c;
      canvas.Brush.Style = tk::TBrushStyle::bsSolid;
      canvas.Brush.Color = c;
      canvas.Rectangle(l, t, r, b);
    };
    const int l = wr.left, t = wr.top;
    int r = wr.right - 2, b = wr.bottom - 2;
    canvas.Brush.Style = tk::TBrushStyle::bsClear;
    canvas.Pen.Color = work_.PopupEdgeColor;
    canvas.Rectangle(l, t, r, b);
    if (rtl) {
      box(l + 1, t + 1, r - 2, t + 3, work_.Color);
      canvas.Pen.Color = work_.Color;
      Line(canvas, {{l + 2, t + 2}, {l + 2, b - 2}});
      canvas.Pen.Color = work_.IconBackColor;
      Line(canvas, {{r - 2, t + 2}, {r - 2, b - 2}});
      Line(canvas, {{r - 2, t + 2}, {r - 1 - IconWidth, t + 2}});
    } else {
      if (Gradient) {
        FillIconGradient(canvas, {l + 1, t + 1, r - 3, t + 3}, false);
      } else {
        box(l + 1, t + 1, r - 1, t + 3, work_.Color);
        canvas.Pen.Color = work_.IconBackColor;
        Line(canvas, {{l + 1, t + 2}, {l + 3 + IconWidth, t + 2}});
      }
      box(l + 1, t + 2, l + 3, b - 1, work_.IconBackColor);
    }
    r = wr.right;
    b = wr.bottom;
    box(l + 2, b - 2, r, b, work_.PopupShadowColor);
    box(r - 2, t + 2, r, b, work_.PopupShadowColor);
    box(l, b - 2, l + 2, b, tk::clBtnFace);
    box(r - 2, t, r, t + 2, tk::clBtnFace);
  }
  ReleaseDC(desktop, dc);
}

}  // namespace g32
