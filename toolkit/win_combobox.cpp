// The combo box of win_controls.h: a drop-down with an edit, or a drop-down list.
#include <algorithm>

#include "toolkit/strings.h"
#include "toolkit/win_controls.h"
#include "toolkit/win_form.h"

namespace tk {

TComboBox::TComboBox() { tabStop_ = true; }
void TComboBox::CreateParams(TCreateParams& p) {
  p.ClassName = WC_COMBOBOXW;
  p.Style |= WS_VSCROLL | ((style_ & cbList) ? CBS_DROPDOWNLIST : CBS_DROPDOWN) | CBS_AUTOHSCROLL;
  if (style_ & cbSorted) p.Style |= CBS_SORT;
  if (style_ & cbLowerCase) p.Style |= CBS_LOWERCASE;
  if (style_ & cbOwnerDrawFixed) p.Style |= CBS_OWNERDRAWFIXED | CBS_HASSTRINGS;
}
void TComboBox::AfterCreate() {
  for (auto& s : items_) SendMessageW(Handle(), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Widen(s).c_str()));
  SendMessageW(Handle(), CB_SETMINVISIBLE, dropDownCount_, 0);
  if (itemIndex_ >= 0) SendMessageW(Handle(), CB_SETCURSEL, itemIndex_, 0);
  else if (!caption_.empty()) SetText(caption_);
  items_.clear();
}
void TComboBox::BeforeDestroy() {
  items_ = Items();
  itemIndex_ = ItemIndex();
}
void TComboBox::AddItem(const std::string& s) {
  if (Handle()) SendMessageW(Handle(), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Widen(s).c_str()));
  else items_.push_back(s);
}
void TComboBox::SetItems(const std::vector<std::string>& items) {
  Clear();
  for (auto& s : items) AddItem(s);
}
std::vector<std::string> TComboBox::Items() const {
  if (!Handle()) return items_;
  std::vector<std::string> v;
  for (int i = 0; i < Count(); ++i) v.push_back(Item(i));
  return v;
}
int TComboBox::Count() const {
  return Handle() ? static_cast<int>(SendMessageW(Handle(), CB_GETCOUNT, 0, 0)) : static_cast<int>(items_.size());
}
std::string TComboBox::Item(int i) const {
  if (!Handle()) return i >= 0 && i < static_cast<int>(items_.size()) ? items_[static_cast<size_t>(i)] : "";
  LRESULT n = SendMessageW(Handle(), CB_GETLBTEXTLEN, i, 0);
  if (n < 0) return "";
  std::wstring w(static_cast<size_t>(n) + 1, L'\0');
  SendMessageW(Handle(), CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(w.data()));
  w.resize(static_cast<size_t>(n));
  return Narrow(w);
}
void TComboBox::Clear() {
  items_.clear();
  itemIndex_ = -1;
  if (Handle()) SendMessageW(Handle(), CB_RESETCONTENT, 0, 0);
}
int TComboBox::IndexOf(const std::string& s) const {
  for (int i = 0; i < Count(); ++i)
    if (SameText(Item(i), s)) return i;
  return -1;
}
int TComboBox::ItemIndex() const {
  return Handle() ? static_cast<int>(SendMessageW(Handle(), CB_GETCURSEL, 0, 0)) : itemIndex_;
}
void TComboBox::SetItemIndex(int i) {
  itemIndex_ = i;
  if (Handle()) SendMessageW(Handle(), CB_SETCURSEL, i, 0);
}
std::string TComboBox::Caption() const { return TControl::Caption(); }
void TComboBox::SetText(const std::string& text) {
  settingText_ = true;
  caption_ = text;
  if (Handle()) {
    int i = (style_ & cbList) ? IndexOf(text) : -1;
    if (style_ & cbList) SendMessageW(Handle(), CB_SETCURSEL, i, 0);
    else SetWindowTextW(Handle(), Widen(text).c_str());
  }
  settingText_ = false;
}
void TComboBox::SetDropDownCount(int n) {
  dropDownCount_ = n;
  if (Handle()) SendMessageW(Handle(), CB_SETMINVISIBLE, n, 0);
}
// The plain combo box of the system takes its list's height from the height its window
// was given beyond the edit part (the newer one from CB_SETMINVISIBLE alone), and a box
// made as high as its edit opens an empty list. Just before the list opens the window is
// made as high as the edit and the rows to show; the box keeps that for its list and
// takes its own height back.
void TComboBox::FitDropDown() {
  RECT r;
  if (!GetWindowRect(Handle(), &r)) return;
  const int item = std::max(1, static_cast<int>(SendMessageW(Handle(), CB_GETITEMHEIGHT, 0, 0)));
  const int rows = std::clamp(Count(), 1, std::max(1, dropDownCount_));
  const int list = rows * item + 2 * GetSystemMetrics(SM_CYBORDER);
  SetWindowPos(Handle(), nullptr, 0, 0, r.right - r.left, r.bottom - r.top + list,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
}
bool TComboBox::HandleParentMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
  if (msg == WM_COMMAND) {
    WORD code = HIWORD(wp);
    if (code == CBN_SELCHANGE) {
      if (OnClick) OnClick();
      if (OnChange) OnChange();
      return true;
    }
    if (code == CBN_EDITCHANGE && !settingText_) { if (OnChange) OnChange(); return true; }
    if (code == CBN_DROPDOWN) {
      if (OnDropDown) OnDropDown();  // may fill the list
      FitDropDown();
      return true;
    }
    // A click into the edit part focuses the box's inner edit, not the box: the form
    // hears of it here, so that leaving the box runs its exit handling.
    if (code == CBN_SETFOCUS) {
      if (TForm* f = Form()) f->FocusChanged(this);
      *result = 0;
      return true;
    }
  }
  if (msg == WM_MEASUREITEM && ItemHeight > 0) {
    reinterpret_cast<MEASUREITEMSTRUCT*>(lp)->itemHeight = static_cast<UINT>(ScaleToDpi(ItemHeight, Dpi()));
    *result = TRUE;
    return true;
  }
  if (msg == WM_DRAWITEM && OnDrawItem) {
    OnDrawItem(*reinterpret_cast<DRAWITEMSTRUCT*>(lp));
    *result = TRUE;
    return true;
  }
  return TControl::HandleParentMessage(msg, wp, lp, result);
}

}  // namespace tk
