#include "toolkit/win_checklistbox.h"

namespace tk {

TCheckListBox::TCheckListBox() { AddColumn("", 0); }

void TCheckListBox::CreateParams(TCreateParams& p) {
  style_ |= lvCheckBoxes | lvNoHeader | lvNoColumnClick;
  TListView::CreateParams(p);
}

void TCheckListBox::AfterCreate() {
  TListView::AfterCreate();
  FillWindow();
}

void TCheckListBox::FillWindow() {
  if (!HandleAllocated()) return;
  filling_ = true;
  TListView::Clear();
  for (size_t i = 0; i < items_.size(); ++i) {
    const int row = TListView::AddItem(items_[i]);
    if (checked_[i]) TListView::SetChecked(row, true);
  }
  SendMessageW(Handle(), LVM_SETCOLUMNWIDTH, 0, LVSCW_AUTOSIZE_USEHEADER);
  filling_ = false;
}

void TCheckListBox::SetItems(const std::vector<std::string>& items) {
  items_ = items;
  checked_.assign(items.size(), false);
  FillWindow();
}

std::string TCheckListBox::Item(int index) const {
  return index >= 0 && index < Count() ? items_[static_cast<size_t>(index)] : std::string();
}

bool TCheckListBox::Checked(int index) const {
  return index >= 0 && index < Count() && checked_[static_cast<size_t>(index)];
}

void TCheckListBox::SetChecked(int index, bool checked) {
  if (index < 0 || index >= Count()) return;
  checked_[static_cast<size_t>(index)] = checked;
  filling_ = true;
  TListView::SetChecked(index, checked);
  filling_ = false;
}

bool TCheckListBox::HandleParentMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
  if (msg == WM_NOTIFY && reinterpret_cast<NMHDR*>(lp)->code == LVN_ITEMCHANGED) {
    auto* nm = reinterpret_cast<NMLISTVIEW*>(lp);
    const TListChange ch{nm->iItem, nm->uChanged, nm->uNewState, nm->uOldState};
    // A row's first state image (unticked) arrives as a change too; only a real
    // toggle of a known row counts.
    if (!filling_ && ch.CheckChanged() && ch.Item >= 0 && ch.Item < Count() &&
        (ch.OldState & LVIS_STATEIMAGEMASK) != 0) {
      checked_[static_cast<size_t>(ch.Item)] = ch.Checked();
      if (OnClickCheck) OnClickCheck(ch.Item);
    }
  }
  return TListView::HandleParentMessage(msg, wp, lp, result);
}

}  // namespace tk
