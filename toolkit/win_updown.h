#pragma once
// The Win32 up-down control bound to an edit (its buddy): the edit shows the
// number, the arrows and the arrow keys step it by the increment inside the range
// (no wrap), and the number is written without a thousands separator, so that a
// value read back from the edit parses again.
#include <functional>

#include "toolkit/win_controls.h"

namespace tk {

class TUpDown : public TControl {
 public:
  TUpDown();
  // The edit that shows the number; may be set before either window exists.
  void SetAssociate(TEdit* edit);
  TEdit* Associate() const { return associate_; }
  int Min() const { return min_; }
  int Max() const { return max_; }
  // A max below min is taken as min; the position is kept inside the new range.
  void SetRange(int min, int max);
  // The edit's number kept inside the range; the last position when the edit
  // holds no number.
  int Position() const;
  // Kept inside the range; writes the number into the edit and fires OnChange.
  void SetPosition(int position);
  int Increment() const { return increment_; }
  void SetIncrement(int increment);
  // A click on an arrow, an arrow key, or SetPosition.
  std::function<void()> OnChange;

 protected:
  void ApplyKindDecl(const TControlDecl& decl) override { if (decl.OnChange) OnChange = decl.OnChange; }
  void CreateParams(TCreateParams& params) override;
  void AfterCreate() override;
  void BeforeDestroy() override;
  bool HandleParentMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) override;

 private:
  // Binds the buddy once both windows exist.
  void BindBuddy();
  TEdit* associate_ = nullptr;
  HWND boundBuddy_ = nullptr;
  int min_ = 0, max_ = 100, position_ = 0, increment_ = 1;
};

}  // namespace tk
