#include "controls/multicolorcombobox.h"

namespace g32 {

TMultiColorComboBox::TMultiColorComboBox() {
  style_ |= tk::cbList | tk::cbOwnerDrawFixed;
  ItemHeight = 13;
  bounds_.Height = 17;
}

void TMultiColorComboBox::CreateParams(tk::TCreateParams& p) {
  style_ |= tk::cbList | tk::cbOwnerDrawFixed;  // a declaration's style bits keep the kind
  tk::TComboBox::CreateParams(p);
}

void TMultiColorComboBox::AddPair(TColor color1, TColor color2) {
  TColorPair pair(color1, color2);
  if (IndexOfPair(pair) >= 0) return;
  pairs_.push_back(std::make_unique<TColorPair>(pair));
  AddItem("Color");
}

int TMultiColorComboBox::IndexOfPair(const TColorPair& pair) const {
  for (size_t i = 0; i < pairs_.size(); ++i)
    if (pairs_[i]->Equals(pair)) return static_cast<int>(i);
  return -1;
}

void TMultiColorComboBox::SelectPair(TColor color1, TColor color2) {
  TColorPair pair(color1, color2);
  if (ItemIndex() >= 0 && pair.Equals(TColorPair(color1_, color2_))) return;
  int i = IndexOfPair(pair);
  if (i < 0) return;
  color1_ = color1;
  color2_ = color2;
  if (ItemIndex() != i) SetItemIndex(i);
  Change();
}

void TMultiColorComboBox::Click() {
  int i = ItemIndex();
  if (i >= 0 && i < PairCount()) {
    color1_ = pairs_[static_cast<size_t>(i)]->Color1;
    color2_ = pairs_[static_cast<size_t>(i)]->Color2;
  }
  tk::TComboBox::Click();
}

void TMultiColorComboBox::Change() {
  if (OnChange) OnChange();
}

void TMultiColorComboBox::DrawItem(HDC dc, int index, const RECT& rect) {
  tk::TCanvas c(dc);
  RECT r{rect.left + 2, rect.top + 1, rect.right - 2, rect.bottom - 1};
  int mid = r.left + (r.right - r.left) / 2;
  c.Brush.Color = tk::clWindow;
  c.FillRect(rect);  // no selection highlight: the swatches are the item
  if (index < 0 || index >= PairCount()) return;
  const TColorPair& p = Pair(index);
  c.Brush.Color = p.Color1;
  c.Rectangle(r.left, r.top, mid, r.bottom);
  c.Brush.Color = p.Color2;
  c.Rectangle(mid, r.top, r.right, r.bottom);
}

bool TMultiColorComboBox::HandleParentMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
  if (msg == WM_COMMAND && HIWORD(wp) == CBN_SELCHANGE) {
    Click();
    Change();
    *result = 0;
    return true;
  }
  if (msg == WM_DRAWITEM) {
    const auto& d = *reinterpret_cast<const DRAWITEMSTRUCT*>(lp);
    DrawItem(d.hDC, static_cast<int>(d.itemID), d.rcItem);
    *result = TRUE;
    return true;
  }
  return tk::TComboBox::HandleParentMessage(msg, wp, lp, result);
}

}  // namespace g32
