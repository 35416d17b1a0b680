#include "toolkit/win_header.h"

#include "toolkit/strings.h"

namespace tk {

THeaderControl::THeaderControl() = default;

void THeaderControl::AddSection(const std::string& text, int width, TAlignment align) {
  sections_.push_back({text, width, align});
  if (Handle()) InsertSectionWindow(SectionCount() - 1);
}

int THeaderControl::SectionWidth(int index) const {
  if (index < 0 || index >= SectionCount()) return 0;
  if (Handle()) {
    HDITEMW item{};
    item.mask = HDI_WIDTH;
    if (SendMessageW(Handle(), HDM_GETITEMW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item)))
      return ScaleFromDpi(item.cxy, Dpi());
  }
  return sections_[static_cast<size_t>(index)].Width;
}

void THeaderControl::SetSectionWidth(int index, int width) {
  if (index < 0 || index >= SectionCount()) return;
  sections_[static_cast<size_t>(index)].Width = width;
  if (!Handle()) return;
  HDITEMW item{};
  item.mask = HDI_WIDTH;
  item.cxy = ScaleToDpi(width, Dpi());
  settingWidth_ = true;
  SendMessageW(Handle(), HDM_SETITEMW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
  settingWidth_ = false;
}

void THeaderControl::CreateParams(TCreateParams& p) {
  p.ClassName = WC_HEADERW;
  p.Style |= HDS_HORZ | HDS_FULLDRAG | (Flat ? 0 : HDS_BUTTONS) | (DragReorder ? HDS_DRAGDROP : 0);
}

void THeaderControl::AfterCreate() {
  for (int i = 0; i < SectionCount(); ++i) InsertSectionWindow(i);
}

void THeaderControl::InsertSectionWindow(int index) {
  const Section& s = sections_[static_cast<size_t>(index)];
  std::wstring text = Widen(s.Text);
  HDITEMW item{};
  item.mask = HDI_TEXT | HDI_WIDTH | HDI_FORMAT;
  item.pszText = text.data();
  item.cxy = ScaleToDpi(s.Width, Dpi());
  item.fmt = HDF_STRING | (s.Align == TAlignment::taRightJustify ? HDF_RIGHT
                           : s.Align == TAlignment::taCenter   ? HDF_CENTER
                                                                : HDF_LEFT);
  settingWidth_ = true;
  SendMessageW(Handle(), HDM_INSERTITEMW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
  settingWidth_ = false;
}

bool THeaderControl::HandleParentMessage(UINT msg, WPARAM, LPARAM lp, LRESULT* result) {
  if (msg != WM_NOTIFY) return false;
  auto* h = reinterpret_cast<NMHEADERW*>(lp);
  if (h->hdr.code != HDN_ITEMCHANGEDW && h->hdr.code != HDN_ITEMCHANGEDA) return false;
  if (!h->pitem || !(h->pitem->mask & HDI_WIDTH) || settingWidth_) return false;
  const int index = h->iItem;
  if (index < 0 || index >= SectionCount()) return false;
  sections_[static_cast<size_t>(index)].Width = ScaleFromDpi(h->pitem->cxy, Dpi());
  if (OnSectionResize) OnSectionResize(index);
  *result = 0;
  return true;
}

}  // namespace tk
