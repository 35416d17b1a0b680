#pragma once
// Group boxes: a captioned etched frame that holds controls (radio buttons inside
// one form a group of their own), and the radio group, a group box that makes one
// radio button per item and reports the chosen index.
#include <memory>
#include <string>
#include <vector>

#include "toolkit/win_controls.h"

namespace tk {

class TGroupBox : public TCustomControl {
 public:
  TGroupBox();

 protected:
  explicit TGroupBox(std::wstring className);
  void Paint(TCanvas& canvas) override;
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;
};

class TRadioGroup : public TGroupBox {
 public:
  TRadioGroup();
  ~TRadioGroup() override;

  // Replaces the buttons (no item chosen afterwards).
  void SetItems(const std::vector<std::string>& items);
  int Count() const { return static_cast<int>(buttons_.size()); }
  std::string Item(int index) const;
  TRadioButton& Button(int index) { return *buttons_.at(static_cast<size_t>(index)); }
  // Buttons are laid out in this many columns, filled top to bottom.
  void SetColumns(int columns);
  // The chosen item, -1 when none.
  int ItemIndex() const;
  // Choosing another item fires OnClick, as a click on it would; -1 clears the choice.
  void SetItemIndex(int index);

  void SetEnabled(bool enabled) override;

 protected:
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  void Arrange();
  std::vector<std::unique_ptr<TRadioButton>> buttons_;
  int columns_ = 1;
};

}  // namespace tk
