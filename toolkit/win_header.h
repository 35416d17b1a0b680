#pragma once
// A header control: a row of titled sections whose widths the user drags. Widths
// are pixels at 96 DPI. OnSectionResize fires while the user drags a divider (not
// for widths set in code), so a form can size the columns of lists below the header.
#include <string>
#include <vector>

#include "toolkit/win_controls.h"

namespace tk {

class THeaderControl : public TControl {
 public:
  THeaderControl();
  void AddSection(const std::string& text, int width, TAlignment align = TAlignment::taLeftJustify);
  int SectionCount() const { return static_cast<int>(sections_.size()); }
  int SectionWidth(int index) const;
  void SetSectionWidth(int index, int width);
  // Flat sections (no button look); set before the window is made.
  bool Flat = true;
  // Sections may be dragged to another place; off by default.
  bool DragReorder = false;
  std::function<void(int index)> OnSectionResize;

 protected:
  void CreateParams(TCreateParams& params) override;
  void AfterCreate() override;
  bool HandleParentMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) override;

 private:
  struct Section {
    std::string Text;
    int Width;
    TAlignment Align;
  };
  void InsertSectionWindow(int index);
  std::vector<Section> sections_;
  bool settingWidth_ = false;
};

}  // namespace tk
