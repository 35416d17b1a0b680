#pragma once
// A speed button: a push button of our own class that is no tab stop, may latch
// down in a group (GroupIndex, Down, AllowAllUp) and may look flat (edges only
// while the mouse is over it or it is pressed). The face shows an optional glyph
// and the caption, placed by Layout, Margin and Spacing.
#include "toolkit/win_controls.h"

namespace tk {

enum class TButtonLayout { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };
enum class TButtonState { bsUp, bsDisabled, bsDown, bsExclusive };

class TSpeedButton : public TCustomControl {
 public:
  explicit TSpeedButton(std::wstring className = L"TSpeedButton");

  bool Flat() const { return flat_; }
  void SetFlat(bool on);
  bool Transparent() const { return transparent_; }
  virtual void SetTransparent(bool on);
  int GroupIndex() const { return groupIndex_; }
  void SetGroupIndex(int index);
  bool AllowAllUp() const { return allowAllUp_; }
  void SetAllowAllUp(bool on);
  bool Down() const { return down_; }
  // Only with a GroupIndex; a down button goes up only with AllowAllUp. Going down
  // releases the other buttons of the group.
  void SetDown(bool down);
  // A picture of NumGlyphs images side by side (up, disabled, down, exclusive); not owned.
  HBITMAP Glyph() const { return glyph_; }
  void SetGlyph(HBITMAP glyph, int numGlyphs = 1);
  int NumGlyphs() const { return numGlyphs_; }
  TButtonLayout Layout() const { return layout_; }
  void SetLayout(TButtonLayout layout);
  int Margin() const { return margin_; }
  void SetMargin(int margin);  // values below -1 are refused; -1 centres
  int Spacing() const { return spacing_; }
  void SetSpacing(int spacing);

  TButtonState State() const { return state_; }
  // Where the face in r puts the glyph and the caption (empty when absent), in the
  // canvas's font; a painter that draws over the face uses the same places.
  void FacePlaces(TCanvas& canvas, RECT r, bool pressed, RECT& glyphRect, RECT& captionRect) const;
  bool Pressed() const { return state_ == TButtonState::bsDown || state_ == TButtonState::bsExclusive; }
  void SetEnabled(bool enabled) override;

 protected:
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;
  void Paint(TCanvas& canvas) override;
  // The speed-button press rules; descendants call them for the part of the face
  // they leave to the plain button.
  virtual void MouseDown(int x, int y);
  virtual void MouseMove(int x, int y);
  virtual void MouseUp(int x, int y);
  virtual void MouseEnter();
  virtual void MouseLeave();
  // The face in r: background, edges by the state, then glyph and caption. The
  // caption's and the glyph's rectangles are returned (empty when absent).
  void PaintFace(TCanvas& canvas, RECT r, bool pressed, RECT* captionRect, RECT* glyphRect);
  SIZE GlyphSize() const;

  TButtonState state_ = TButtonState::bsUp;
  bool mouseIn_ = false, dragging_ = false;

 private:
  void ReleaseGroup();
  bool flat_ = false, transparent_ = true, allowAllUp_ = false, down_ = false;
  int groupIndex_ = 0, numGlyphs_ = 1, margin_ = -1, spacing_ = 4;
  HBITMAP glyph_ = nullptr;
  TButtonLayout layout_ = TButtonLayout::blGlyphLeft;
};

}  // namespace tk
