#pragma once
// A push button with a picture beside its caption: the glyph (NumGlyphs cells side
// by side: up, disabled, down) and the caption placed as one centred group by
// Layout and Spacing. Drawn by the button itself (owner-drawn push button).
#include "toolkit/win_controls.h"
#include "toolkit/win_speedbutton.h"

namespace tk {

// Image and text rectangles of a glyph (g) and a caption (t) centred as one group in
// a client of size w x h, spacing apart.
void LayoutGlyph(TButtonLayout layout, SIZE client, SIZE g, SIZE t, int spacing, RECT& image, RECT& text);

class TBitBtn : public TButton {
 public:
  TBitBtn() = default;
  ~TBitBtn() override;
  HBITMAP Glyph() const { return glyph_; }
  // Not owned unless passed with own = true (then deleted with the button or the next glyph).
  void SetGlyph(HBITMAP glyph, int numGlyphs = 1, bool own = false);
  SIZE GlyphSize() const;  // of one cell
  TButtonLayout Layout() const { return layout_; }
  int Spacing() const { return spacing_; }

 protected:
  void CreateParams(TCreateParams& params) override;
  bool HandleParentMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) override;

 private:
  HBITMAP glyph_ = nullptr;
  bool ownGlyph_ = false;
  int numGlyphs_ = 1, spacing_ = 4;
  TButtonLayout layout_ = TButtonLayout::blGlyphLeft;
};

}  // namespace tk
