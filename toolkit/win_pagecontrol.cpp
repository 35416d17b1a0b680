#include "toolkit/win_pagecontrol.h"

#include <algorithm>

#include "toolkit/strings.h"
#include "toolkit/win_form.h"

namespace tk {

// ---------------- tab sheet

TTabSheet::TTabSheet() : TCustomControl(L"TTabSheet") { visible_ = false; }

TPageControl* TTabSheet::PageControl() const { return dynamic_cast<TPageControl*>(Parent()); }

int TTabSheet::PageIndex() const {
  TPageControl* pc = PageControl();
  if (!pc) return -1;
  for (int i = 0; i < pc->PageCount(); ++i)
    if (pc->Pages(i) == this) return i;
  return -1;
}

void TTabSheet::SetTabVisible(bool visible) {
  if (tabVisible_ == visible) return;
  tabVisible_ = visible;
  if (TPageControl* pc = PageControl()) pc->TabsChanged();
}

void TTabSheet::SetCaption(const std::string& text) {
  TCustomControl::SetCaption(text);
  if (TPageControl* pc = PageControl()) pc->TabsChanged();
}

// ---------------- page control

TPageControl::TPageControl() { tabStop_ = true; }

void TPageControl::CreateParams(TCreateParams& p) {
  p.ClassName = WC_TABCONTROLW;
  p.Style |= WS_CLIPCHILDREN;
  p.ExStyle |= WS_EX_CONTROLPARENT;
}

std::vector<TTabSheet*> TPageControl::Sheets() const {
  std::vector<TTabSheet*> out;
  for (TControl* c : Controls())
    if (auto* s = dynamic_cast<TTabSheet*>(c)) out.push_back(s);
  return out;
}

int TPageControl::PageCount() const { return static_cast<int>(Sheets().size()); }

TTabSheet* TPageControl::Pages(int index) const {
  auto s = Sheets();
  return index >= 0 && index < static_cast<int>(s.size()) ? s[static_cast<size_t>(index)] : nullptr;
}

int TPageControl::VisibleTabCount() const {
  int n = 0;
  for (TTabSheet* s : Sheets())
    if (s->TabVisible()) ++n;
  return n;
}

TTabSheet* TPageControl::SheetOfTab(int tab) const {
  if (tab < 0) return nullptr;
  for (TTabSheet* s : Sheets())
    if (s->TabVisible() && tab-- == 0) return s;
  return nullptr;
}

void TPageControl::CreateHandle() {
  if (HandleAllocated()) return;
  // The first page is shown unless code chose another before.
  if (!active_ || active_->PageControl() != this) active_ = Pages(0);
  for (TTabSheet* s : Sheets()) s->SetVisible(s == active_);
  TWinControl::CreateHandle();
  if (!HandleAllocated()) return;
  RebuildTabs();
  LayoutSheets();
}

void TPageControl::TabsChanged() {
  if (!HandleAllocated()) return;
  RebuildTabs();
  LayoutSheets();
}

void TPageControl::RebuildTabs() {
  building_ = true;
  SendMessageW(Handle(), TCM_DELETEALLITEMS, 0, 0);
  int tab = 0;
  for (TTabSheet* s : Sheets()) {
    if (!s->TabVisible()) continue;
    std::wstring text = Widen(s->Caption());
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = text.data();
    SendMessageW(Handle(), TCM_INSERTITEMW, tab++, reinterpret_cast<LPARAM>(&item));
  }
  SelectActiveTab();
  building_ = false;
  // Without a tab row there is nothing to stop on.
  SetStyleBit(WS_TABSTOP, TabStop() && tab > 0);
  Invalidate();
}

void TPageControl::SelectActiveTab() {
  int tab = -1, i = 0;
  for (TTabSheet* s : Sheets()) {
    if (!s->TabVisible()) continue;
    if (s == active_) tab = i;
    ++i;
  }
  SendMessageW(Handle(), TCM_SETCURSEL, tab, 0);
}

void TPageControl::LayoutSheets() {
  if (!HandleAllocated()) return;
  RECT r;
  GetClientRect(Handle(), &r);
  // Without a tab row the page takes the whole control, frame included.
  if (VisibleTabCount() > 0) SendMessageW(Handle(), TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&r));
  const int d = Dpi();
  for (TTabSheet* s : Sheets()) {
    s->SetBounds(ScaleFromDpi(r.left, d), ScaleFromDpi(r.top, d), ScaleFromDpi(r.right - r.left, d),
                 ScaleFromDpi(r.bottom - r.top, d));
    s->SetVisible(s == active_);
  }
  if (active_ && active_->Handle()) active_->BringToFront();
}

void TPageControl::SetActivePage(TTabSheet* page) {
  if (page && page->PageControl() != this) return;
  if (page == active_) return;
  TTabSheet* old = active_;
  active_ = page;
  if (!HandleAllocated()) return;
  // The focus must not stay on a control of a page that goes out of sight.
  HWND focus = GetFocus();
  const bool focusOnOld = old && old->Handle() && focus && IsChild(old->Handle(), focus);
  if (active_) {
    active_->SetVisible(true);
    active_->BringToFront();
  }
  if (old) old->SetVisible(false);
  SelectActiveTab();
  if (focusOnOld && active_ && active_->Handle()) {
    if (HWND first = NextTabStop(active_->Handle(), nullptr, false)) ::SetFocus(first);
    else
      ::SetFocus(Handle());
  }
}

void TPageControl::SetActivePageIndex(int index) { SetActivePage(Pages(index)); }

void TPageControl::SelectNextPage(bool forward) {
  std::vector<TTabSheet*> tabs;
  for (TTabSheet* s : Sheets())
    if (s->TabVisible()) tabs.push_back(s);
  if (tabs.size() < 2) return;
  const auto at = std::find(tabs.begin(), tabs.end(), active_);
  const size_t n = tabs.size();
  const size_t next = at == tabs.end() ? 0 : (static_cast<size_t>(at - tabs.begin()) + (forward ? 1 : n - 1)) % n;
  bool allow = true;
  if (OnChanging) OnChanging(allow);
  if (!allow) return;
  SetActivePage(tabs[next]);
  if (OnChange) OnChange();
}

LRESULT TPageControl::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  LRESULT r = TWinControl::WndProc(msg, wp, lp);
  if (msg == WM_SIZE) LayoutSheets();
  return r;
}

bool TPageControl::HandleParentMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
  if (msg == WM_NOTIFY && !building_) {
    const auto* hdr = reinterpret_cast<const NMHDR*>(lp);
    if (hdr->code == TCN_SELCHANGING) {
      bool allow = true;
      if (OnChanging) OnChanging(allow);
      *result = allow ? FALSE : TRUE;
      return true;
    }
    if (hdr->code == TCN_SELCHANGE) {
      TTabSheet* page = SheetOfTab(static_cast<int>(SendMessageW(Handle(), TCM_GETCURSEL, 0, 0)));
      if (page && page != active_) {
        SetActivePage(page);
        if (OnChange) OnChange();
      }
      *result = 0;
      return true;
    }
  }
  return TWinControl::HandleParentMessage(msg, wp, lp, result);
}

}  // namespace tk
