// The manager's forms as a mouse and keyboard user reaches them, in this process under
// Xvfb: every kind of drop-down list opens with its rows, each showing starts on a control
// one sees, and the options pages (the inner bar pages too) turn by keyboard.
#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "manager/autoruns.h"
#include "manager/options.h"
#include "manager/wizard.h"
#include "support/formscript.h"
#include "support/testutil.h"
#include "toolkit/win_pagecontrol.h"

namespace {

using TNames = std::set<std::string>;

struct Reach : testing::Test {
  void SetUp() override { qbtest::ClearQuillbankKey(); }
};

void Collect(const tk::TWinControl& w, std::vector<tk::TComboBox*>& out) {
  for (tk::TControl* c : w.Controls()) {
    if (auto* box = dynamic_cast<tk::TComboBox*>(c)) out.push_back(box);
    if (auto* sub = dynamic_cast<tk::TWinControl*>(c)) Collect(*sub, out);
  }
}

// Shows the form and opens every list one can reach on its page (an empty history gets
// more items than a list shows), counting the rows the list window shows. Gives the names
// of the lists opened.
TNames OpenEveryList(tk::TForm& f) {
  TNames opened;
  std::vector<tk::TComboBox*> boxes;
  Collect(f, boxes);
  f.Show();
  for (tk::TComboBox* cb : boxes) {
    for (tk::TControl* c = cb; c; c = c->Parent())
      if (auto* page = dynamic_cast<tk::TTabSheet*>(c)) page->PageControl()->SetActivePage(page);
    HWND h = cb->Handle();
    if (!IsWindowVisible(h) || !IsWindowEnabled(h)) continue;
    for (int i = 0; i < 12 && cb->Count() == i; ++i) cb->AddItem("C:\\Folder " + std::to_string(i));
    SendMessageW(h, CB_SHOWDROPDOWN, TRUE, 0);
    COMBOBOXINFO info{sizeof info};
    RECT list{};
    if (GetComboBoxInfo(h, &info) && IsWindowVisible(info.hwndList)) GetClientRect(info.hwndList, &list);
    SendMessageW(h, CB_SHOWDROPDOWN, FALSE, 0);
    EXPECT_EQ(list.bottom / SendMessageW(h, CB_GETITEMHEIGHT, 0, 0), std::min(cb->Count(), cb->DropDownCount()))
        << f.Caption() << ": " << cb->Name() << " with " << cb->Count() << " items";
    opened.insert(cb->Name());
  }
  f.Hide();
  return opened;
}

// The plain and the owner-drawn lists, the history boxes, and the days whose frame sets
// its own count of rows.
TEST_F(Reach, EveryKindOfDropDownListOpensWithItsRows) {
  qbtest::RegWrite("Options\\General", "Use2ColorView", "1");  // the colour pairs and decimals show then
  qbtest::RegWrite("Options\\General", "ZipFileSizeUnit", "as size fits");
  TOptionsForm options;
  EXPECT_EQ(OpenEveryList(options), (TNames{"MultiColorComboBox1", "cbDateFormat", "cbZipFileSizeUnit",
                                            "cbZipFileSizePrecision", "cbDontAutoRun"}));
  TWizardForm wizard;
  EXPECT_EQ(OpenEveryList(wizard), (TNames{"scbZipFileDir", "cbAfterDate"}));
  TAutoRunForm autoRun;
  EXPECT_EQ(OpenEveryList(autoRun), (TNames{"cbDays", "cbCmd"}));
}

// Shows f and waits until one of its controls has the focus, which it gives.
HWND Shown(tk::TForm& f) {
  f.Show();
  tk::Application.ProcessUntil([&] { return IsChild(f.Handle(), GetFocus()) != FALSE; }, 3000);
  return GetFocus();
}

// A key as typed, with Ctrl and Shift held or not.
void Press(WORD vk, bool ctrl, bool shift = false) {
  BYTE state[256] = {};
  state[VK_CONTROL] = ctrl ? 0x80 : 0;
  state[VK_SHIFT] = shift ? 0x80 : 0;
  SetKeyboardState(state);
  PostMessageW(GetFocus(), WM_KEYDOWN, vk, 1);
  tk::Application.ProcessMessages();
  state[VK_CONTROL] = state[VK_SHIFT] = 0;
  SetKeyboardState(state);
}

// The wizard opens on its target folder, not on the logo's hidden button, also after a use
// left on its Cancel button.
TEST_F(Reach, EachShowingStartsOnAControlOneSees) {
  TWizardForm wizard;
  for (int use = 0; use < 2; ++use) {
    ASSERT_TRUE(wizard.Open(wzNew));
    HWND focus = Shown(wizard);
    EXPECT_TRUE(qbtest::IsIn(focus, wizard.scbZipFileDir) && IsWindowVisible(focus)) << "use " << use;
    wizard.btnCancel.SetFocus();
    wizard.Hide();
  }
}

TEST_F(Reach, OptionsPagesTurnByKeyboardAndTheBarPagesToo) {
  qbtest::RegWrite("Options\\General", "ColorProgressbar", "1");
  TOptionsForm f;
  const HWND first = Shown(f);
  EXPECT_EQ(first, f.chkUse2ColorView.Handle());  // the control the form names
  Press(VK_TAB, false, true);  // from the page's first control back to the tab row
  EXPECT_EQ(GetFocus(), f.PageControl1.Handle());
  std::vector<std::string> pages;
  for (WORD key : {VK_TAB, VK_TAB, VK_NEXT, VK_PRIOR}) {
    Press(key, true, key == VK_TAB && pages.empty());
    pages.push_back(f.PageControl1.ActivePage()->Name());
  }
  EXPECT_EQ(pages, (std::vector<std::string>{"tsMisc", "tsMainWindow", "tsAction", "tsMainWindow"}));
  f.PageControl1.SetActivePage(&f.tsProgressbar);
  f.chkColorProgress.SetFocus();  // Tab stops on the Running/Testing tabs, Ctrl+Tab turns those
  Press(VK_TAB, false);
  EXPECT_EQ(GetFocus(), f.PageControl2.Handle());
  Press(VK_TAB, true);
  EXPECT_EQ(f.PageControl2.ActivePage(), &f.tsTesting);
  f.Hide();
}

}  // namespace
