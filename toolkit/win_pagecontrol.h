#pragma once
// The page control: the Win32 tab control holding tab sheets, one page shown at a
// time. Sheets are declared in a form's table with .Parent = &pcMain and their
// controls with .Parent = &tsSheet; the pages are the sheets in declaration order.
// A sheet whose tab is hidden stays a page that code can show; with every tab
// hidden there is no tab row and the page fills the control (a wizard switches
// such pages with Back and Next).
//
// The tab row is a tab stop of its own (the arrows then pick a tab), before the
// page's controls; the form turns the pages with Ctrl+Tab and Ctrl+PgDn/PgUp.
// OnChanging (which may refuse) and OnChange fire when the user picks a tab or turns
// the page (SelectNextPage); SetActivePage and SetActivePageIndex fire nothing.
#include <functional>
#include <string>
#include <vector>

#include "toolkit/win_controls.h"

namespace tk {

class TPageControl;

class TTabSheet : public TCustomControl {
 public:
  TTabSheet();
  TPageControl* PageControl() const;
  // The place among the page control's pages, -1 when it is on none.
  int PageIndex() const;
  bool TabVisible() const { return tabVisible_; }
  void SetTabVisible(bool visible);
  // The caption is the tab's text.
  void SetCaption(const std::string& text) override;

 private:
  bool tabVisible_ = true;
};

class TPageControl : public TWinControl {
 public:
  TPageControl();
  int PageCount() const;
  TTabSheet* Pages(int index) const;
  TTabSheet* ActivePage() const { return active_; }
  void SetActivePage(TTabSheet* page);
  int ActivePageIndex() const { return active_ ? active_->PageIndex() : -1; }
  void SetActivePageIndex(int index);
  // Number of the sheets whose tab is shown.
  int VisibleTabCount() const;
  // The user turns to the next (or previous) page with a tab, round the end.
  void SelectNextPage(bool forward);

  std::function<void()> OnChange;
  std::function<void(bool& allowChange)> OnChanging;

  void CreateHandle() override;

  // --- used by the sheets ---
  void TabsChanged();

 protected:
  void ApplyKindDecl(const TControlDecl& decl) override { if (decl.OnChange) OnChange = decl.OnChange; }
  void CreateParams(TCreateParams& params) override;
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;
  bool HandleParentMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) override;

 private:
  std::vector<TTabSheet*> Sheets() const;
  // The tab row: one tab per sheet whose tab is shown, the active one selected.
  void RebuildTabs();
  void SelectActiveTab();
  // Sheets cover the display area; only the active one is visible.
  void LayoutSheets();
  TTabSheet* SheetOfTab(int tab) const;
  TTabSheet* active_ = nullptr;
  bool building_ = false;
};

}  // namespace tk
