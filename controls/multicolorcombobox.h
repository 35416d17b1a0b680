#pragma once
// A drop-down list whose items are pairs of colours, each drawn as two swatches side
// by side. The owner adds its pairs, shows one with SelectPair and reads Color1 and
// Color2 back.
#include <memory>
#include <vector>

#include "controls/g32.h"
#include "toolkit/win_controls.h"

namespace g32 {

class TColorPair {
 public:
  TColorPair(TColor color1, TColor color2) : Color1(color1), Color2(color2) {}
  TColor Color1, Color2;
  // Equal colours in the same order; a pair of two equal colours equals no pair,
  // itself included, so such a pair is never found again.
  bool Equals(const TColorPair& other) const {
    return Color1 == other.Color1 && Color2 == other.Color2 && Color1 != Color2;
  }
};

class TMultiColorComboBox : public tk::TComboBox {
 public:
  TMultiColorComboBox();  // owner-drawn drop-down list, item height 13, height 17

  TColor Color1() const { return color1_; }
  TColor Color2() const { return color2_; }
  // Appends the pair (an item "Color") unless an equal pair is listed.
  void AddPair(TColor color1, TColor color2);
  int IndexOfPair(const TColorPair& pair) const;
  // Shows a listed pair and raises OnChange; the pair shown already, or a pair that
  // is not listed, does nothing.
  void SelectPair(TColor color1, TColor color2);
  int PairCount() const { return static_cast<int>(pairs_.size()); }
  const TColorPair& Pair(int index) const { return *pairs_[static_cast<size_t>(index)]; }

  // The user picked an item: the colours follow it, then OnClick.
  void Click() override;
  // Raises OnChange.
  void Change();
  // Draws one item into its rectangle on dc.
  void DrawItem(HDC dc, int index, const RECT& rect);

 protected:
  void CreateParams(tk::TCreateParams& params) override;
  bool HandleParentMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) override;

 private:
  TColor color1_ = 0, color2_ = 0x808080;
  std::vector<std::unique_ptr<TColorPair>> pairs_;
};

}  // namespace g32
