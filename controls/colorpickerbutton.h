#pragma once
// A flat push button with a colour indicator and a drop-down arrow. The arrow opens
// a pop-up below the button with an optional default entry, 40 named colours,
// optionally the 25 system colours and an optional custom entry that opens a
// hexagonal colour comb, a comb of greys and an intensity slider.
#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "controls/g32.h"
#include "toolkit/win_speedbutton.h"

namespace g32 {

enum class TIndicatorBorder { ibNone, ibFlat, ibSunken, ibRaised };

// Cells of the pop-up: 0..39 named colours, 40..64 system colours and these.
constexpr int kNoCell = -1, kCustomCell = -2, kDefaultCell = -3;
constexpr int kNamedColors = 40, kSystemColors = 25;

struct TNamedColor {
  const char* Name;
  TColor Value;
};
extern const TNamedColor kNamedColorTable[kNamedColors];
extern const char* const kSystemColorHints[kSystemColors];

struct TCombCell {
  int X, Y;
  TColor Color;
};

class TColorPickerButton;

class TColorPopup {
 public:
  explicit TColorPopup(TColorPickerButton& owner);
  ~TColorPopup();
  TColorPopup(const TColorPopup&) = delete;
  TColorPopup& operator=(const TColorPopup&) = delete;

  HWND Handle() const { return wnd_; }
  void CreateWnd();
  void LayoutPopup();
  void ShowPopup();
  void HidePopup();
  void SelectColorCell(TColor color);
  void EndSelection(bool cancel);

  // What the capture window hands over (points in the pop-up's client pixels).
  void MouseMessage(UINT msg, WPARAM keys, int x, int y);
  void KeyDown(WORD key, bool alt);

  std::string DefaultText, CustomText;
  bool ShowSystemColors = false;
  int Spacing = 8;
  const int Margin;
  static constexpr int BoxSize = 18, Columns = 8, CombLevels = 7;

  int SelectedCell() const { return selected_; }
  int HoverCell() const { return hover_; }
  // 0 none, -(i + 1) grey cell i, +(i + 1) colour cell i.
  int CustomIndex() const { return customIndex_; }
  float Intensity() const { return intensity_; }
  void SetIntensity(float intensity);
  // The hint showing now ("" when none).
  const std::string& HintText() const { return hintText_; }
  int HintTimeout() const { return hintTimeout_; }

  RECT WindowRect() const { return window_; }
  RECT DefaultRect() const { return default_; }
  RECT CustomRect() const { return custom_; }
  RECT ColorCombRect() const { return colorComb_; }
  RECT GreyCombRect() const { return greyComb_; }
  RECT SliderRect() const { return slider_; }
  int CombSize() const { return combSize_; }
  int CombRadius() const { return radius_; }
  RECT CellRect(int cell) const;
  int CellAt(int x, int y) const;
  // The comb cells (built on first need); positions as stored: colour cells relative
  // to the comb's centre, grey cells relative to the grey comb's top-left.
  const std::vector<TCombCell>& ColorCells();
  const std::vector<TCombCell>& GreyCells();
  // Comb hits: index into ColorCells / GreyCells, -1 for none (popup client point).
  int ColorCellAt(int x, int y);
  int GreyCellAt(int x, int y);
  bool CombShown() const { return selected_ == kCustomCell; }
  int LastCell() const { return ShowSystemColors ? kNamedColors + kSystemColors - 1 : kNamedColors - 1; }

 private:
  static LRESULT CALLBACK WndProc(HWND, UINT, WPARAM, LPARAM);
  void Paint(HDC dc);
  void DrawCellBackground(HDC dc, RECT r, int cell);
  void DrawCell(HDC dc, int cell);
  void DrawComb(HDC dc);
  void BuildCombs();
  void SetHover(int cell);
  void UpdateHint(int x, int y);
  void ShowHint(const std::string& text, POINT screen, int timeoutMs);
  void HideHint();
  int MoveFrom(int cell, WORD key) const;
  void PickComb(int part, int x, int y);
  int CombPart(int x, int y);
  POINT ColorCombCentre() const;
  TColor CellColor(int cell) const;
  TColor CustomColor();  // the chosen comb cell's colour, clNone for none

  TColorPickerButton& owner_;
  HWND wnd_ = nullptr, tip_ = nullptr;
  int rows_ = 5, sysRows_ = 4, defaultHeight_ = 0, normalHeight_ = 0;
  int selected_ = kNoCell, hover_ = kNoCell;
  RECT window_{}, custom_{}, default_{}, colorComb_{}, greyComb_{}, slider_{}, preview_{};
  int radius_ = 0, combSize_ = 0;
  std::vector<TCombCell> greyCells_, colorCells_;
  float centre_[3] = {1, 1, 1};
  float intensity_ = 1.0f;
  int customIndex_ = 0;
  int dragPart_ = 0;  // 0 none, 1 colour comb, 2 grey comb, 3 slider
  bool pressed_ = false;
  std::string hintText_;
  int hintTimeout_ = 0;
};

class TColorPickerButton : public tk::TSpeedButton {
 public:
  TColorPickerButton();  // 45 x 22, button face
  ~TColorPickerButton() override;

  TColor SelectionColor() const { return selectionColor_; }
  void SetSelectionColor(TColor color);
  bool DroppedDown() const { return droppedDown_; }
  void SetDroppedDown(bool down);

  const std::string& CustomText() const { return popup_->CustomText; }
  void SetCustomText(const std::string& text);
  const std::string& DefaultText() const { return popup_->DefaultText; }
  void SetDefaultText(const std::string& text);
  bool ShowSystemColors() const { return popup_->ShowSystemColors; }
  void SetShowSystemColors(bool on);
  int PopupSpacing() const { return popup_->Spacing; }
  void SetPopupSpacing(int spacing);  // negative values become 0
  TColor DropDownArrowColor() const { return arrowColor_; }
  void SetDropDownArrowColor(TColor color);
  int DropDownWidth() const { return dropDownWidth_; }
  void SetDropDownWidth(int width);
  TIndicatorBorder IndicatorBorder() const { return indicatorBorder_; }
  void SetIndicatorBorder(TIndicatorBorder border);
  void SetTransparent(bool on) override;
  bool ShowHint = false;

  TColorPopup& Popup() { return *popup_; }
  HWND CaptureWindow() const { return capture_; }
  // The indicator's rectangle as last painted (client pixels).
  RECT IndicatorRect() const { return indicator_; }

  std::function<void()> OnChange;
  std::function<void()> OnDefaultSelect;
  std::function<void()> OnDropChanged;
  std::function<void(bool& allowed)> OnDropChanging;
  std::function<void(int cell, std::string& hint)> OnHint;

 protected:
  void AfterCreate() override;
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;
  void Paint(tk::TCanvas& canvas) override;
  void MouseDown(int x, int y) override;

 private:
  static LRESULT CALLBACK CaptureProc(HWND, UINT, WPARAM, LPARAM);
  void Relayout();
  std::unique_ptr<TColorPopup> popup_;
  HWND capture_ = nullptr, focusBefore_ = nullptr;
  TColor selectionColor_ = 0, arrowColor_ = 0;
  int dropDownWidth_ = 15;
  TIndicatorBorder indicatorBorder_ = TIndicatorBorder::ibFlat;
  bool droppedDown_ = false, arrowPressed_ = false;
  RECT indicator_{};
};

}  // namespace g32
