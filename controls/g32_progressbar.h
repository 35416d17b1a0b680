#pragma once
// The coloured progress bar: a trough in the back colour and, over it, a bar shaded
// from light at the top to dark at the bottom around the bar colour, with a thin
// raised edge.
#include "controls/g32_paintbox.h"

namespace g32 {

enum class TBorderStyle { bsNone, bsSingle };

class TG32_ProgressBar : public TCustomPaintBox32 {
 public:
  TG32_ProgressBar();  // 150 x 16

  void PaintBuffer() override;

  TColor BackColor() const { return backColor_; }
  void SetBackColor(TColor v);
  TBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TBorderStyle v);
  int Contrast() const { return contrast_; }
  void SetContrast(int v);
  bool Framed() const { return framed_; }
  void SetFramed(bool v);
  int Max() const { return max_; }
  void SetMax(int v);
  int Min() const { return min_; }
  void SetMin(int v);
  int Position() const { return position_; }
  // Repaints at once when the value changes; an equal value does nothing.
  void SetPosition(int v);

  // The bar colour. While ParentColor is true the bar takes the colour of its parent
  // (the button face of the forms); setting Color turns ParentColor off.
  TColor Color() const { return parentColor_ ? clBtnFace : color_; }
  void SetColor(TColor v);
  bool ParentColor() const { return parentColor_; }
  void SetParentColor(bool v);

  // The three drawing steps on the buffer, in the order PaintBuffer runs them.
  void DrawBackground(RECT r);
  RECT ComputeBarRect() const;
  void DrawBar(RECT r);

 private:
  template <class T>
  void StoreAndInvalidate(T& field, T value) {
    field = value;
    Invalidate();
  }

  TColor backColor_ = clBtnShadow;
  TBorderStyle borderStyle_ = TBorderStyle::bsNone;
  int contrast_ = 64;
  bool framed_ = true;
  int max_ = 100, min_ = 0, position_ = 0;
  TColor color_ = clWindow;
  bool parentColor_ = true;
};

}  // namespace g32
