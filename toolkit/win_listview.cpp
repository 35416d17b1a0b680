// The report-style list view of win_controls.h. Rows live in the window only:
// callers fill the list once the form's windows exist (OnCreate or OnShow).
#include <algorithm>
#include <vector>

#include "toolkit/strings.h"
#include "toolkit/win_controls.h"

namespace tk {

namespace {

int ColumnFormat(TAlignment a) {
  return a == TAlignment::taRightJustify ? LVCFMT_RIGHT : a == TAlignment::taCenter ? LVCFMT_CENTER : LVCFMT_LEFT;
}

std::string ItemText(HWND h, int index, int sub) {
  std::vector<wchar_t> buf(1024);
  LVITEMW it{};
  it.iSubItem = sub;
  for (;;) {
    it.pszText = buf.data();
    it.cchTextMax = static_cast<int>(buf.size());
    int n = static_cast<int>(SendMessageW(h, LVM_GETITEMTEXTW, index, reinterpret_cast<LPARAM>(&it)));
    if (n < static_cast<int>(buf.size()) - 1) return Narrow(std::wstring(buf.data(), static_cast<size_t>(n)));
    buf.resize(buf.size() * 4);
  }
}

void SetItemText(HWND h, int index, int sub, const std::string& text) {
  std::wstring w = Widen(text);
  LVITEMW it{};
  it.iSubItem = sub;
  it.pszText = w.data();
  SendMessageW(h, LVM_SETITEMTEXTW, index, reinterpret_cast<LPARAM>(&it));
}

void SetState(HWND h, int index, UINT state, UINT mask) {
  LVITEMW it{};
  it.stateMask = mask;
  it.state = state;
  SendMessageW(h, LVM_SETITEMSTATE, index, reinterpret_cast<LPARAM>(&it));
}

int CALLBACK CompareRanks(LPARAM a, LPARAM b, LPARAM) { return a < b ? -1 : a > b ? 1 : 0; }

}  // namespace

TListView::TListView() { tabStop_ = true; }

void TListView::CreateParams(TCreateParams& p) {
  p.ClassName = WC_LISTVIEWW;
  p.Style |= LVS_REPORT | LVS_SHAREIMAGELISTS;
  p.ExStyle |= WS_EX_CLIENTEDGE;
  if (!(style_ & lvMultiSelect)) p.Style |= LVS_SINGLESEL;
  if (style_ & lvNoHeader) p.Style |= LVS_NOCOLUMNHEADER;
  if (style_ & lvNoColumnClick) p.Style |= LVS_NOSORTHEADER;
  if (style_ & lvShowSelAlways) p.Style |= LVS_SHOWSELALWAYS;
  if (style_ & lvSortCaption) p.Style |= LVS_SORTASCENDING;
  if (style_ & lvEditLabels) p.Style |= LVS_EDITLABELS;
}

void TListView::AfterCreate() {
  DWORD ex = 0;
  if (style_ & lvCheckBoxes) ex |= LVS_EX_CHECKBOXES;
  if (style_ & lvRowSelect) ex |= LVS_EX_FULLROWSELECT;
  if (style_ & lvGridLines) ex |= LVS_EX_GRIDLINES;
  SendMessageW(Handle(), LVM_SETEXTENDEDLISTVIEWSTYLE, ex, ex);
  for (int i = 0; i < ColumnCount(); ++i) InsertColumnWindow(i);
  if (smallImages_) SendMessageW(Handle(), LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(smallImages_));
}

void TListView::InsertColumnWindow(int index) {
  const Column& c = columns_[static_cast<size_t>(index)];
  std::wstring w = Widen(c.Caption);
  LVCOLUMNW col{};
  col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT | LVCF_SUBITEM;
  col.fmt = ColumnFormat(c.Align);
  col.cx = ScaleToDpi(c.Width, Dpi());
  col.pszText = w.data();
  col.iSubItem = index;
  SendMessageW(Handle(), LVM_INSERTCOLUMNW, index, reinterpret_cast<LPARAM>(&col));
}

void TListView::AddColumn(const std::string& caption, int width, TAlignment align) {
  columns_.push_back({caption, width, align});
  if (Handle()) InsertColumnWindow(ColumnCount() - 1);
}

std::string TListView::ColumnCaption(int column) const {
  if (column < 0 || column >= ColumnCount()) return "";
  return columns_[static_cast<size_t>(column)].Caption;
}

void TListView::SetColumnCaption(int column, const std::string& caption) {
  if (column < 0 || column >= ColumnCount()) return;
  columns_[static_cast<size_t>(column)].Caption = caption;
  if (!Handle()) return;
  std::wstring w = Widen(caption);
  LVCOLUMNW col{};
  col.mask = LVCF_TEXT;
  col.pszText = w.data();
  SendMessageW(Handle(), LVM_SETCOLUMNW, column, reinterpret_cast<LPARAM>(&col));
}

int TListView::ColumnWidth(int column) const {
  if (column < 0 || column >= ColumnCount()) return 0;
  if (!Handle()) return columns_[static_cast<size_t>(column)].Width;
  return ScaleFromDpi(static_cast<int>(SendMessageW(Handle(), LVM_GETCOLUMNWIDTH, column, 0)), Dpi());
}

void TListView::SetColumnWidth(int column, int width) {
  if (column < 0 || column >= ColumnCount()) return;
  columns_[static_cast<size_t>(column)].Width = width;
  if (Handle()) SendMessageW(Handle(), LVM_SETCOLUMNWIDTH, column, ScaleToDpi(width, Dpi()));
}

int TListView::Count() const { return Handle() ? static_cast<int>(SendMessageW(Handle(), LVM_GETITEMCOUNT, 0, 0)) : 0; }

int TListView::AddItem(const std::string& caption, LPARAM data, int imageIndex) {
  return InsertItem(Count(), caption, data, imageIndex);
}

int TListView::InsertItem(int index, const std::string& caption, LPARAM data, int imageIndex) {
  if (!Handle()) return -1;
  std::wstring w = Widen(caption);
  LVITEMW it{};
  it.mask = LVIF_TEXT | LVIF_PARAM | (imageIndex >= 0 ? LVIF_IMAGE : 0);
  it.iItem = std::clamp(index, 0, Count());
  it.pszText = w.data();
  it.lParam = data;
  it.iImage = imageIndex;
  int i = static_cast<int>(SendMessageW(Handle(), LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&it)));
  // A new row of a check list starts unticked (the state image is set explicitly,
  // so that it shows a box at once).
  if (i >= 0 && (style_ & lvCheckBoxes)) SetState(Handle(), i, INDEXTOSTATEIMAGEMASK(1), LVIS_STATEIMAGEMASK);
  return i;
}

void TListView::DeleteItem(int index) {
  if (Handle()) SendMessageW(Handle(), LVM_DELETEITEM, index, 0);
}

void TListView::Clear() {
  if (Handle()) SendMessageW(Handle(), LVM_DELETEALLITEMS, 0, 0);
}

std::string TListView::ItemCaption(int index) const { return Handle() ? ItemText(Handle(), index, 0) : ""; }
void TListView::SetItemCaption(int index, const std::string& caption) {
  if (Handle()) SetItemText(Handle(), index, 0, caption);
}
std::string TListView::SubItem(int index, int sub) const { return Handle() ? ItemText(Handle(), index, sub + 1) : ""; }
void TListView::SetSubItem(int index, int sub, const std::string& text) {
  if (Handle()) SetItemText(Handle(), index, sub + 1, text);
}

LPARAM TListView::Data(int index) const {
  LVITEMW it{};
  return ItemField(index, LVIF_PARAM, it) ? it.lParam : 0;
}

void TListView::SetData(int index, LPARAM data) {
  LVITEMW it{};
  it.lParam = data;
  SetItemField(index, LVIF_PARAM, it);
}

int TListView::ImageIndex(int index) const {
  LVITEMW it{};
  return ItemField(index, LVIF_IMAGE, it) ? it.iImage : -1;
}

void TListView::SetImageIndex(int index, int image) {
  LVITEMW it{};
  it.iImage = image;
  SetItemField(index, LVIF_IMAGE, it);
}

bool TListView::ItemField(int index, UINT mask, LVITEMW& item) const {
  if (!Handle()) return false;
  item.mask = mask;
  item.iItem = index;
  return SendMessageW(Handle(), LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)) != FALSE;
}

void TListView::SetItemField(int index, UINT mask, LVITEMW& item) {
  if (!Handle()) return;
  item.mask = mask;
  item.iItem = index;
  SendMessageW(Handle(), LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
}

bool TListView::Checked(int index) const {
  if (!Handle()) return false;
  UINT s = static_cast<UINT>(SendMessageW(Handle(), LVM_GETITEMSTATE, index, LVIS_STATEIMAGEMASK));
  return (s >> 12) == 2;
}

void TListView::SetChecked(int index, bool checked) {
  if (Handle()) SetState(Handle(), index, INDEXTOSTATEIMAGEMASK(checked ? 2 : 1), LVIS_STATEIMAGEMASK);
}

int TListView::CheckedCount() const {
  int n = 0;
  for (int i = 0; i < Count(); ++i) n += Checked(i) ? 1 : 0;
  return n;
}

bool TListView::Selected(int index) const {
  return Handle() && (SendMessageW(Handle(), LVM_GETITEMSTATE, index, LVIS_SELECTED) & LVIS_SELECTED);
}

void TListView::SetSelected(int index, bool selected) {
  if (Handle()) SetState(Handle(), index, selected ? LVIS_SELECTED : 0, LVIS_SELECTED);
}

int TListView::SelCount() const { return Handle() ? static_cast<int>(SendMessageW(Handle(), LVM_GETSELECTEDCOUNT, 0, 0)) : 0; }

int TListView::ItemIndex() const {
  return Handle() ? static_cast<int>(SendMessageW(Handle(), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED)) : -1;
}

void TListView::SetItemIndex(int index) {
  if (!Handle()) return;
  SetState(Handle(), -1, 0, LVIS_SELECTED);
  if (index >= 0 && index < Count()) {
    SetState(Handle(), index, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    MakeVisible(index);
  }
}

int TListView::ItemFocused() const {
  return Handle() ? static_cast<int>(SendMessageW(Handle(), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED)) : -1;
}

void TListView::SetItemFocused(int index) {
  if (Handle()) SetState(Handle(), index, LVIS_FOCUSED, LVIS_FOCUSED);
}

void TListView::MakeVisible(int index) {
  if (Handle()) SendMessageW(Handle(), LVM_ENSUREVISIBLE, index, FALSE);
}

int TListView::IndexOfCaption(const std::string& caption) const {
  for (int i = 0; i < Count(); ++i)
    if (SameText(ItemCaption(i), caption)) return i;
  return -1;
}

void TListView::Sort(const std::function<int(int a, int b)>& compare) {
  if (!Handle()) return;
  // The order is decided first, on the untouched rows (compare may read them by
  // index); then each row carries its rank while the system moves the rows, and
  // gets its data back afterwards.
  int n = Count();
  std::vector<int> order(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) order[static_cast<size_t>(i)] = i;
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return compare(a, b) < 0; });
  std::vector<LPARAM> data(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) data[static_cast<size_t>(i)] = Data(i);
  std::vector<LPARAM> byRank(static_cast<size_t>(n));
  for (int k = 0; k < n; ++k) {
    int row = order[static_cast<size_t>(k)];
    byRank[static_cast<size_t>(k)] = data[static_cast<size_t>(row)];
    SetData(row, k);
  }
  SendMessageW(Handle(), LVM_SORTITEMS, 0, reinterpret_cast<LPARAM>(CompareRanks));
  for (int i = 0; i < n; ++i) SetData(i, byRank[static_cast<size_t>(Data(i))]);
}

void TListView::BeginUpdate() {
  if (updateCount_++ == 0 && Handle()) SendMessageW(Handle(), WM_SETREDRAW, FALSE, 0);
}

void TListView::EndUpdate() {
  if (updateCount_ == 0) return;
  if (--updateCount_ == 0 && Handle()) {
    SendMessageW(Handle(), WM_SETREDRAW, TRUE, 0);
    Invalidate();
  }
}

void TListView::SetSmallImages(HIMAGELIST images) {
  smallImages_ = images;
  if (Handle()) SendMessageW(Handle(), LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(images));
}

bool TListView::HandleParentMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
  if (msg != WM_NOTIFY) return TControl::HandleParentMessage(msg, wp, lp, result);
  auto* hdr = reinterpret_cast<NMHDR*>(lp);
  switch (hdr->code) {
    case LVN_ITEMCHANGING:
    case LVN_ITEMCHANGED: {
      auto* nm = reinterpret_cast<NMLISTVIEW*>(lp);
      TListChange ch{nm->iItem, nm->uChanged, nm->uNewState, nm->uOldState};
      if (hdr->code == LVN_ITEMCHANGING) {
        bool allow = true;
        if (OnChanging) OnChanging(ch, allow);
        *result = allow ? FALSE : TRUE;
        return true;
      }
      if (OnChange) OnChange(ch);
      if (ch.SelectChanged() && OnSelectItem) OnSelectItem(ch.Item, (ch.NewState & LVIS_SELECTED) != 0);
      *result = 0;
      return true;
    }
    case LVN_COLUMNCLICK:
      if (OnColumnClick) OnColumnClick(reinterpret_cast<NMLISTVIEW*>(lp)->iSubItem);
      *result = 0;
      return true;
    case NM_CLICK:
      if (OnClick) OnClick();
      *result = 0;
      return true;
    case NM_DBLCLK:
      if (OnDblClick) OnDblClick();
      *result = 0;
      return true;
    case NM_RCLICK:
      if (OnContextPopup) {
        POINT pt;
        GetCursorPos(&pt);
        OnContextPopup(pt.x, pt.y);
      }
      *result = 0;
      return true;
    case NM_CUSTOMDRAW:
      if (OnCustomDraw) return OnCustomDraw(*reinterpret_cast<NMLVCUSTOMDRAW*>(lp), result);
      return false;
    default: return false;
  }
}

}  // namespace tk
