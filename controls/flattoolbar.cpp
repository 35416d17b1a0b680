// The flat look of tool bar buttons and control bar bands (handlers of TXPMenu).
#include "controls/flatdraw.h"
#include "controls/flatmenu.h"
#include "toolkit/win_imagelist.h"

namespace g32 {

using namespace flatdraw;
using tk::TCanvas;

namespace {

TColor BarColor(const tk::TControl& bar) { return bar.Color() == tk::clDefault ? tk::clBtnFace : bar.Color(); }

bool HasImage(const tk::TImageList* list, int index) {
  return list && index != -1 && index <= list->Count() - 1;
}

bool IsSeparator(const tk::TToolButton& b) {
  return b.Style == tk::TToolButtonStyle::tbsSeparator || b.Style == tk::TToolButtonStyle::tbsDivider;
}

}  // namespace

void TXPMenu::DrawToolButton(tk::TToolBar& bar, tk::TToolButton& button, tk::TCustomDrawState state,
                             bool& defaultDraw) {
  defaultDraw = false;
  TCanvas* cp = bar.Canvas();
  if (!cp) return;
  TCanvas& canvas = *cp;
  HDC dc = canvas.Handle();
  const int index = button.ImageIndex();
  const bool hasHot = HasImage(bar.HotImages, index), hasDisabled = HasImage(bar.DisabledImages, index),
             hasNormal = HasImage(bar.Images, index);
  const bool hot = state & tk::cdsHot, checked = state & tk::cdsChecked, selected = state & tk::cdsSelected;
  const bool dropDown = button.Style == tk::TToolButtonStyle::tbsDropDown;
  DeriveWorkingColors(canvas);
  const TColor s = work_.RichColors && !useSystemColors_ ? Lighten(dc, SelectColor, 68) : work_.SelectColor;
  const TColor barColour = BarColor(bar);
  const TColor face = work_.RichColors ? Lighten(dc, barColour, 16) : barColour;

  const RECT bounds = button.BoundsRect();
  RECT r = bounds;
  if (!bar.Transparent) FillWith(canvas, r, face);

  bool fill = false, frame = false;
  TColor brush = face;
  if (hot) {
    brush = checked || selected || button.Down() ? work_.CheckFillHotColor : s;
    fill = frame = true;
  } else if (checked) {
    brush = work_.CheckFillColor;
    fill = frame = true;
  } else if (state & tk::cdsIndeterminate) {
    brush = s;
    fill = true;
  } else if (button.MenuItem && state == 0) {
    brush = barColour;
    fill = !bar.Transparent;
  }
  r.top += 1;
  if (fill) FillWith(canvas, r, brush);
  if (frame) {
    canvas.Brush.Style = tk::TBrushStyle::bsSolid;
    canvas.Brush.Color = work_.SelectBorderColor;
    if (dropDown) {
      canvas.FrameRect({r.left, r.top + 1, r.right - 14, r.bottom - 1});
      canvas.FrameRect({r.right - 14, r.top + 1, r.right - 1, r.bottom - 1});
    } else {
      canvas.FrameRect({r.left, r.top + 1, r.right - 1, r.bottom - 1});
    }
  }
  if ((button.MenuItem || button.DropdownMenu) && selected) DrawOpenItemFrame(canvas, r, barColour, false, true);

  r = bounds;
  if (dropDown) {
    canvas.Pen.Color = tk::clBlack;
    DropArrow(canvas, r.right - 10, r.top + (r.bottom - r.top - 3) / 2 + 1);
  }

  // The image.
  const tk::TImageList* list = hot && hasHot                              ? bar.HotImages
                               : (state & tk::cdsDisabled) && hasDisabled ? bar.DisabledImages
                               : hasNormal                                ? bar.Images
                                                                          : nullptr;
  int w = 0;
  if (list) {
    HBITMAP b = ListImageBitmap(*list, index, canvas.Brush.Color);
    w = list->Width();
    RECT ir = r;
    if (dropDown) ir.right -= 12;
    if (bar.List) {
      if (button.RightToLeft) {
        ir.right -= 3;
        ir.left = ir.right - w;
      } else {
        ir.left += 3;
        ir.right = ir.left + w;
      }
    } else {
      ir.left = HalfEven(ir.left + (ir.right - ir.left - w) / 2.0);
      ir.right = ir.left + w;
    }
    ir.top += 2;
    ir.bottom = ir.top + list->Height() + 6;
    DrawItemImage(canvas, ir, b, false, false, checked, button.Enabled(), selected, hot, true);
    DeleteObject(b);
  }

  if (bar.ShowCaptions) {
    // In the bar's own font, which the bar measured its buttons with, and clipped to
    // the button: a caption never runs into its neighbours.
    const tk::TFontSpec& font = bar.Font();
    RECT tr = bounds;
    if (dropDown) tr.right -= 12;
    canvas.Font = font;
    UINT flags = DT_SINGLELINE;
    const bool rtl = button.RightToLeft;
    if (!bar.List || button.MenuItem) {
      flags |= DT_CENTER;
      if (!bar.List) tr.top = tr.bottom - canvas.TextHeight(button.Caption()) - 6;
    } else if (rtl) {
      flags |= DT_RIGHT;
      tr.right -= w + 7;
    } else {
      flags |= DT_LEFT;
      if (w > 0) tr.left += w;
    }
    if (rtl) flags |= DT_RTLREADING;
    DrawItemText(canvas, button.Caption(), flags, font, rtl, button.MenuItem != nullptr, false, button.Enabled(),
                 selected, tr, "", true);
  }

  // The separator left of the button.
  if (button.Index() > 0) {
    tk::TToolButton& prev = bar.Button(button.Index() - 1);
    if (IsSeparator(prev)) {
      RECT pr = prev.BoundsRect();
      if (!bar.Transparent) FillWith(canvas, pr, face);
      if (prev.Tag > 0) {
        canvas.Pen.Color = Darken(barColour, 30);
        int x = pr.left + (pr.right - pr.left) / 2;
        Line(canvas, {{x, pr.top + 2}, {x, pr.bottom - 1}});
      }
    }
  }

  if (button.MenuItem && (controls_ & xcMainMenu)) {
    std::function<void(tk::TMenuItem&)> visit = [&](tk::TMenuItem& item) {
      if (item.Tag != 999 && !item.OnDrawItem.InstalledBy(this)) InstallHandlers(item);
      for (int i = 0; i < item.Count(); ++i) visit(item[i]);
    };
    visit(*button.MenuItem);
  }
}

void TXPMenu::PaintControlBarBand(tk::TControlBar& bar, tk::TControl&, TCanvas& canvas, RECT rect,
                                  tk::TBandPaintOptions& options) {
  DeriveWorkingColors(canvas);
  options = 0;
  const TColor colour = BarColor(bar);
  FillWith(canvas, rect, work_.RichColors ? Lighten(canvas.Handle(), colour, 6) : colour);
  int level = 30;
  for (int y = rect.top + 5; y <= rect.bottom - 5; ++y) {
    canvas.Pen.Color = Darken(colour, level);
    if (y % 2 == 0) Line(canvas, {{rect.left + 3, y}, {rect.left + 6, y}});
    level += 7;
  }
}

}  // namespace g32
