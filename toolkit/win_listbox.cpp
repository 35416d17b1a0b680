#include "toolkit/win_listbox.h"

#include <algorithm>

#include "toolkit/files.h"
#include "toolkit/strings.h"

namespace tk {

TListBox::TListBox() { tabStop_ = true; }

void TListBox::CreateParams(TCreateParams& p) {
  p.ClassName = WC_LISTBOXW;
  p.Style |= LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL;
  p.ExStyle |= WS_EX_CLIENTEDGE;
}

void TListBox::AfterCreate() {
  for (auto& s : items_) SendMessageW(Handle(), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Widen(s).c_str()));
  if (itemIndex_ >= 0) SendMessageW(Handle(), LB_SETCURSEL, itemIndex_, 0);
  items_.clear();
}

void TListBox::BeforeDestroy() {
  items_ = Items();
  itemIndex_ = ItemIndex();
}

void TListBox::AddItem(const std::string& s) {
  if (Handle()) SendMessageW(Handle(), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Widen(s).c_str()));
  else items_.push_back(s);
}

void TListBox::SetItems(const std::vector<std::string>& items) {
  if (Handle()) SendMessageW(Handle(), WM_SETREDRAW, FALSE, 0);
  Clear();
  for (auto& s : items) AddItem(s);
  if (Handle()) {
    SendMessageW(Handle(), WM_SETREDRAW, TRUE, 0);
    InvalidateRect(Handle(), nullptr, TRUE);
  }
}

std::vector<std::string> TListBox::Items() const {
  if (!Handle()) return items_;
  std::vector<std::string> v;
  for (int i = 0; i < Count(); ++i) v.push_back(Item(i));
  return v;
}

int TListBox::Count() const {
  return Handle() ? static_cast<int>(SendMessageW(Handle(), LB_GETCOUNT, 0, 0)) : static_cast<int>(items_.size());
}

std::string TListBox::Item(int i) const {
  if (!Handle()) return i >= 0 && i < static_cast<int>(items_.size()) ? items_[static_cast<size_t>(i)] : "";
  LRESULT n = SendMessageW(Handle(), LB_GETTEXTLEN, i, 0);
  if (n == LB_ERR) return "";
  std::wstring w(static_cast<size_t>(n) + 1, L'\0');
  SendMessageW(Handle(), LB_GETTEXT, i, reinterpret_cast<LPARAM>(w.data()));
  w.resize(static_cast<size_t>(n));
  return Narrow(w);
}

void TListBox::Clear() {
  items_.clear();
  itemIndex_ = -1;
  if (Handle()) SendMessageW(Handle(), LB_RESETCONTENT, 0, 0);
}

int TListBox::ItemIndex() const {
  if (!Handle()) return itemIndex_;
  LRESULT i = SendMessageW(Handle(), LB_GETCURSEL, 0, 0);
  return i == LB_ERR ? -1 : static_cast<int>(i);
}

void TListBox::SetItemIndex(int i) {
  itemIndex_ = i;
  if (Handle()) SendMessageW(Handle(), LB_SETCURSEL, i, 0);
}

bool TListBox::HandleParentMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
  if (msg == WM_COMMAND) {
    WORD code = HIWORD(wp);
    if (code == LBN_SELCHANGE) {
      if (OnClick) OnClick();
      *result = 0;
      return true;
    }
    if (code == LBN_DBLCLK) {
      if (OnDblClick) OnDblClick();
      *result = 0;
      return true;
    }
  }
  return TControl::HandleParentMessage(msg, wp, lp, result);
}

void TFileListBox::SetDirectory(const std::string& folder) { directory_ = folder; }
void TFileListBox::SetMask(const std::string& mask) { mask_ = mask.empty() ? "*.*" : mask; }

void TFileListBox::UpdateFileList() {
  std::vector<std::string> names;
  if (!directory_.empty()) {
    DWORD attr = faReadOnly | faArchive;
    if (FileType & ftHidden) attr |= faHidden;
    if (FileType & ftSystem) attr |= faSysFile;
    for (const TSearchRec& r : FindFiles(IncludeTrailingBackslash(directory_) + mask_, attr)) {
      if (r.attr & FILE_ATTRIBUTE_DIRECTORY) continue;
      // The search also matches the short names; the list shows only what the long
      // name matches.
      if (!MatchesMask(r.name, mask_)) continue;
      if (!(FileType & ftNormal) && !(r.attr & FileType & (ftReadOnly | ftHidden | ftSystem | ftArchive))) continue;
      names.push_back(r.name);
    }
  }
  std::sort(names.begin(), names.end(),
            [](const std::string& a, const std::string& b) { return CompareText(a, b) < 0; });
  SetItems(names);
}

std::string TFileListBox::FileName() const {
  int i = ItemIndex();
  if (i < 0) return "";
  return IncludeTrailingBackslash(directory_) + Item(i);
}

}  // namespace tk
