#pragma once
// A check list box: a list of texts, each with a check box, shown as a check-box list
// view without a header whose one column fills the width. The items and their checks
// are kept by the wrapper, so they may be set before the window exists.
// OnClickCheck fires when the user toggles a check (a click or the space bar), not
// when code sets one.
#include <functional>
#include <string>
#include <vector>

#include "toolkit/win_controls.h"

namespace tk {

class TCheckListBox : public TListView {
 public:
  TCheckListBox();
  void SetItems(const std::vector<std::string>& items);  // every check cleared
  int Count() const { return static_cast<int>(items_.size()); }
  std::string Item(int index) const;
  bool Checked(int index) const;
  void SetChecked(int index, bool checked);  // fires nothing

  std::function<void(int index)> OnClickCheck;

 protected:
  void CreateParams(TCreateParams& params) override;
  void AfterCreate() override;
  bool HandleParentMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) override;

 private:
  void FillWindow();
  std::vector<std::string> items_;
  std::vector<bool> checked_;
  bool filling_ = false;
};

}  // namespace tk
