#pragma once
// The Win32 track bar: a range, a position and OnChange whenever the position
// changes, by the user or by SetPosition; a selection range may be marked on it.
#include "toolkit/win_controls.h"

namespace tk {

// TTrackBar declaration bits (the high bits of TControlDecl::Style).
constexpr unsigned tbNoTicks = 1u << 8;    // no tick marks drawn
constexpr unsigned tbBothSides = 1u << 9;  // thumb pointing both ways

class TTrackBar : public TControl {
 public:
  TTrackBar();
  int Min() const { return min_; }
  int Max() const { return max_; }
  void SetRange(int min, int max);
  int Position() const { return position_; }
  // Kept inside the range; a change fires OnChange.
  void SetPosition(int position);
  void SetFrequency(int frequency);
  void SetThumbLength(int pixels);
  // The marked range (shown when end > start; both 0 shows none).
  void SetSelection(int start, int end);
  int SelStart() const;
  int SelEnd() const;
  std::function<void()> OnChange;

 protected:
  void ApplyKindDecl(const TControlDecl& decl) override { if (decl.OnChange) OnChange = decl.OnChange; }
  void CreateParams(TCreateParams& params) override;
  void AfterCreate() override;
  bool HandleParentMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) override;

 private:
  int min_ = 0, max_ = 10, position_ = 0, frequency_ = 1, thumbLength_ = 0;
  int selStart_ = 0, selEnd_ = 0;
};

}  // namespace tk
