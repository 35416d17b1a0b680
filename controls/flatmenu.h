#pragma once
// The flat menu component: while active it measures and draws the items of its
// owner form's main and pop-up menus in a flat look (an icon column at the left, a
// flat selection box, flat check marks, thin separators). The colour functions and
// drawing primitives here are shared with the flat painting of other controls.
#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "toolkit/win_canvas.h"
#include "toolkit/win_form.h"
#include "toolkit/win_menu.h"
#include "toolkit/win_toolbar.h"

namespace g32 {

using TColor = std::uint32_t;  // as the toolkit's colour

// Parents whose controls get the flat painting (bit 0 first).
enum TXPContainer : unsigned {
  xccForm = 1u << 0, xccFrame = 1u << 1, xccToolbar = 1u << 2, xccCoolbar = 1u << 3,
  xccControlbar = 1u << 4, xccPanel = 1u << 5, xccScrollBox = 1u << 6, xccGroupBox = 1u << 7,
  xccTabSheet = 1u << 8, xccPageScroller = 1u << 9,
};
// Component kinds that get the flat look.
enum TXPControl : unsigned {
  xcMainMenu = 1u << 0, xcPopupMenu = 1u << 1, xcToolbar = 1u << 2, xcControlbar = 1u << 3,
  xcCombo = 1u << 4, xcEdit = 1u << 5, xcMaskEdit = 1u << 6, xcMemo = 1u << 7, xcRichEdit = 1u << 8,
  xcCheckBox = 1u << 9, xcRadioButton = 1u << 10, xcButton = 1u << 11, xcBitBtn = 1u << 12,
  xcSpeedButton = 1u << 13, xcPanel = 1u << 14, xcGroupBox = 1u << 15,
};
using TXPContainers = unsigned;
using TXPControls = unsigned;
constexpr TXPContainers kAllXPContainers = 0x3FF;
constexpr TXPControls kAllXPControls = 0xFFFF;

// Colour functions. The colour is resolved to RGB first; dc (may be null) is the
// device whose nearest colour Lighten answers.
TColor Lighten(HDC dc, TColor color, int percent);
TColor Darken(TColor color, int amount);  // green lowered by 2 less; negative lightens
TColor Grey(TColor color, int add);
// 32-bit bitmaps (DIB sections) changed in place.
void GreyBitmap(HBITMAP bitmap, int add);
void LightenBitmap(HBITMAP bitmap, int percent);
// Paints every pixel of the bitmap that differs from its bottom-left pixel in colour.
void ImageShadow(HBITMAP bitmap, tk::TCanvas& canvas, int x, int y, TColor color);
void DropArrow(tk::TCanvas& canvas, int x, int y);  // with the current pen
void CheckGlyph(tk::TCanvas& canvas, int x, int y);
// The system's menu font (colour: menu text); false when the metrics cannot be read.
bool LoadSystemMenuFont(tk::TFontSpec& font);

// Colours of one paint, derived from the properties or the system colours.
struct TWorkingColors {
  TColor Color = 0, IconBackColor = 0, SelectColor = 0, SelectBorderColor = 0, SelectFontColor = 0,
         CheckFillColor = 0, CheckFillHotColor = 0, CheckedColor = 0, MenuBarColor = 0, DisabledColor = 0,
         SeparatorColor = 0, PopupEdgeColor = 0, PopupShadowColor = 0;
  bool RichColors = false;
};

class TControlSubClass;

class TXPMenu {
 public:
  // The owner must be a form (std::bad_cast otherwise).
  explicit TXPMenu(tk::TWinControl* owner);
  ~TXPMenu();
  TXPMenu(const TXPMenu&) = delete;
  TXPMenu& operator=(const TXPMenu&) = delete;

  // Stored only; they take effect at the next paint.
  int DimLevel = 30;
  int GrayLevel = 10;
  TColor Color = tk::clBtnFace;
  TColor IconBackColor = tk::clBtnFace;
  TColor SelectColor = tk::clHighlight;
  TColor SelectBorderColor = tk::clHighlight;
  TColor SelectFontColor;
  TColor DisabledColor = tk::SystemColor(COLOR_INACTIVECAPTION);
  TColor SeparatorColor = tk::clBtnFace;
  TColor CheckedColor = tk::clHighlight;
  int IconWidth = 24;
  bool DrawSelect = true;
  bool Gradient = false;
  bool FlatMenu = false;
  bool AutoDetect = false;

  const tk::TFontSpec& Font() const { return font_; }
  void SetFont(const tk::TFontSpec& font);
  TColor MenuBarColor() const { return menuBarColor_; }
  void SetMenuBarColor(TColor color);
  bool UseSystemColors() const { return useSystemColors_; }
  void SetUseSystemColors(bool on);
  bool OverrideOwnerDraw() const { return overrideOwnerDraw_; }
  void SetOverrideOwnerDraw(bool on);
  TXPContainers XPContainers() const { return containers_; }
  void SetXPContainers(TXPContainers value);
  TXPControls XPControls() const { return controls_; }
  void SetXPControls(TXPControls value);
  bool Active() const { return active_; }
  void SetActive(bool on);

  // The colours of the last paint.
  const TWorkingColors& Working() const { return work_; }
  void DeriveWorkingColors(tk::TCanvas& canvas);

  // The installed handlers (they do nothing while inactive).
  void MeasureMenuItem(tk::TMenuItem& item, tk::TCanvas& canvas, int& width, int& height);
  void DrawMenuItem(tk::TMenuItem& item, tk::TCanvas& canvas, RECT rect, bool selected);

  // The installed bar handlers: a tool bar's button and a control bar's band.
  void DrawToolButton(tk::TToolBar& bar, tk::TToolButton& button, tk::TCustomDrawState state, bool& defaultDraw);
  void PaintControlBarBand(tk::TControlBar& bar, tk::TControl& band, tk::TCanvas& canvas, RECT rect,
                           tk::TBandPaintOptions& options);

  // Drawing primitives (after DeriveWorkingColors on the same canvas).
  void FillIconGradient(tk::TCanvas& canvas, RECT rect, bool rightToLeft);
  void DrawCheckArea(tk::TCanvas& canvas, RECT rect, bool selected, bool hasImage, bool enabled, bool checked,
                     bool radio);
  void DrawItemImage(tk::TCanvas& canvas, RECT rect, HBITMAP b, bool rightToLeft, bool barItem, bool checked,
                     bool enabled, bool pressed, bool selected, bool toolButton = false);
  // A disabled tool button's caption goes through a scratch bitmap in the canvas's
  // brush colour, so that it never blends with what the button drew before.
  void DrawItemText(tk::TCanvas& canvas, const std::string& text, UINT flags, const tk::TFontSpec& font,
                    bool rightToLeft, bool barItem, bool isDefault, bool enabled, bool selected, RECT rect,
                    const std::string& shortcut, bool toolButton = false);
  void DrawOpenItemFrame(tk::TCanvas& canvas, RECT rect, TColor barColor, bool rightToLeft,
                         bool toolButton = false);
  void DrawPopupFrame(HWND window, bool rightToLeft);
  TColor ContrastTextColor(HDC dc, TColor color) const;

  // The flat painters of standard controls that this component owns; one ends
  // itself through ReleaseSubClass.
  int SubClassCount() const { return static_cast<int>(subclasses_.size()); }
  void ReleaseSubClass(TControlSubClass* subclass);

 private:
  void ApplyLook(bool enable, bool refresh);
  void ApplyToBars(tk::TControl& control, bool enable, bool refresh);
  void ApplyToControl(tk::TControl& control, bool enable, bool refresh);
  void SetItemHandlers(tk::TMenuItem& item, bool enable);
  void InstallHandlers(tk::TMenuItem& item);
  void TakeOverSiblings(tk::TMenuItem& item);
  void Reapply();
  void ChangeKinds(unsigned& field, unsigned value);
  bool IsBarItem(const tk::TMenuItem& item) const;
  void RedrawMenuBar();

  tk::TForm* owner_;
  tk::TFontSpec font_;
  TColor menuBarColor_ = tk::clBtnFace;
  bool useSystemColors_ = true;
  bool overrideOwnerDraw_ = false;
  TXPContainers containers_ = 0;
  TXPControls controls_ = 0;
  bool active_ = false;
  TWorkingColors work_;
  int insertListener_ = 0;
  std::vector<std::unique_ptr<TControlSubClass>> subclasses_;
};

}  // namespace g32
