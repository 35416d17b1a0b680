#pragma once
// A tool bar: the Win32 tool bar control with buttons kept by the wrapper (caption,
// image, style, tag, menu item). A custom-draw-button handler may paint a button
// itself and tell the bar to skip its own drawing.
#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <string>
#include <vector>

#include "toolkit/win_controls.h"
#include "toolkit/win_menu.h"

namespace tk {

class TImageList;
class TToolBar;

enum class TToolButtonStyle { tbsButton, tbsCheck, tbsDropDown, tbsSeparator, tbsDivider };

// The state of a button at a custom draw.
using TCustomDrawState = unsigned;
constexpr TCustomDrawState cdsSelected = 1, cdsGrayed = 2, cdsDisabled = 4, cdsChecked = 8, cdsFocused = 16,
                           cdsDefault = 32, cdsHot = 64, cdsMarked = 128, cdsIndeterminate = 256;

class TToolButton {
 public:
  std::string Name;
  int Tag = 0;
  TToolButtonStyle Style = TToolButtonStyle::tbsButton;
  const std::string& Caption() const { return caption_; }
  // A new caption (the bar re-measures its buttons).
  void SetCaption(const std::string& caption);
  // The hover hint of the button.
  std::string Hint;
  bool Visible() const { return visible_; }
  void SetVisible(bool on);
  int ImageIndex() const { return image_; }
  void SetImageIndex(int index);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool on);
  bool Down() const { return down_; }
  void SetDown(bool on);
  // A button that opens a menu item's sub-menu, or a drop-down menu.
  TMenuItem* MenuItem = nullptr;
  TPopupMenu* DropdownMenu = nullptr;
  bool RightToLeft = false;  // the button's reading order
  std::function<void()> OnClick;

  int Index() const { return index_; }
  TToolBar* ToolBar() const { return bar_; }
  RECT BoundsRect() const;  // in the bar's client pixels

 private:
  friend class TToolBar;
  TToolBar* bar_ = nullptr;
  std::string caption_;
  int image_ = -1;
  int index_ = 0;
  int command_ = 0;
  bool enabled_ = true, down_ = false, visible_ = true;
};

// Paints one button; clearing defaultDraw skips the bar's own drawing of it.
using TToolBarDrawHandler = TOwnedHandler<void(TToolBar& bar, TToolButton& button, TCustomDrawState state,
                                               bool& defaultDraw)>;

class TToolBar : public TControl {
 public:
  TToolBar();
  ~TToolBar() override;

  TToolButton& AddButton(const std::string& caption, int imageIndex = -1,
                         TToolButtonStyle style = TToolButtonStyle::tbsButton);
  int ButtonCount() const { return static_cast<int>(buttons_.size()); }
  TToolButton& Button(int index) const { return *buttons_[static_cast<size_t>(index)]; }
  // The visible button under a point of the bar's client area (pixels of the screen's
  // DPI), nullptr over a separator or none.
  TToolButton* ButtonAt(POINT clientPoint) const;

  // Set before the window is made (the image lists also later).
  TImageList* Images = nullptr;
  TImageList* HotImages = nullptr;
  TImageList* DisabledImages = nullptr;
  bool Flat() const { return flat_; }
  void SetFlat(bool on);
  bool Transparent = false;
  bool List = false;          // captions right of the images
  bool ShowCaptions = false;
  // Shows or hides the captions of a bar that exists already (with the button size in
  // pixels at 96 DPI, a width that a longer caption may widen; 0 keeps the bar's own).
  void SetShowCaptions(bool on, int buttonWidth = 0, int buttonHeight = 0);
  void SetImages(TImageList* images, TImageList* hot = nullptr, TImageList* disabled = nullptr);

  TToolBarDrawHandler OnCustomDrawButton;
  // The canvas of the paint in progress (valid inside the draw handler only).
  TCanvas* Canvas() const { return canvas_; }

 protected:
  void CreateParams(TCreateParams& params) override;
  void AfterCreate() override;
  bool HandleParentMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) override;

 private:
  friend class TToolButton;
  void AddButtonWindow(TToolButton& b);
  TToolButton* ByCommand(int command) const;
  std::vector<std::unique_ptr<TToolButton>> buttons_;
  bool flat_ = false;
  TCanvas* canvas_ = nullptr;
  int nextCommand_ = 100;
};

// A bar of bands: each child control sits in a band with a grip at its left. A band
// paint handler may draw a band itself and choose which of the bar's own frame and
// grip are drawn after it.
using TBandPaintOptions = unsigned;
constexpr TBandPaintOptions bpoFrame = 1, bpoGrabber = 2;
class TControlBar;
using TBandPaintHandler = TOwnedHandler<void(TControlBar& bar, TControl& band, TCanvas& canvas, RECT rect,
                                             TBandPaintOptions& options)>;

class TControlBar : public TCustomControl {
 public:
  TControlBar();
  static constexpr int kGripWidth = 11, kMargin = 2;
  // The band of a child: its bounds with the grip at the left and a margin around.
  RECT BandRect(const TControl& band) const;
  TBandPaintHandler OnBandPaint;

 protected:
  void Paint(TCanvas& canvas) override;
  // A flat tool bar in a band asks for its background here.
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;
};

}  // namespace tk
