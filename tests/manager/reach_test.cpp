// The manager's forms as a mouse and keyboard user reaches them, in this process under
// Xvfb: every drop-down list opens with its rows, the first focus of a showing is on a
// control one sees, and the options pages turn by keyboard, the inner ones too.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "manager/about.h"
#include "manager/autoruns.h"
#include "manager/extract.h"
#include "manager/fspec.h"
#include "manager/options.h"
#include "manager/schedules.h"
#include "manager/span.h"
#include "manager/startupprofiles.h"
#include "manager/wizard.h"
#include "support/formscript.h"
#include "support/testutil.h"
#include "toolkit/win_pagecontrol.h"
#include "toolkit/win_timer.h"

namespace {

class Reach : public testing::Test {
 protected:
  void SetUp() override { qbtest::ClearQuillbankKey(); }
  void TearDown() override { qbtest::ClearQuillbankKey(); }
};

template <class T>
void Collect(const tk::TWinControl& w, std::vector<T*>& out) {
  for (tk::TControl* c : w.Controls()) {
    if (auto* t = dynamic_cast<T*>(c)) out.push_back(t);
    if (auto* sub = dynamic_cast<tk::TWinControl*>(c)) Collect(*sub, out);
  }
}

// Opens the list as the arrow does and counts the rows the list window shows.
int RowsShown(const tk::TComboBox& cb) {
  HWND h = cb.Handle();
  SendMessageW(h, CB_SHOWDROPDOWN, TRUE, 0);
  COMBOBOXINFO info{};
  info.cbSize = sizeof info;
  int rows = -1;
  RECT list{};
  if (GetComboBoxInfo(h, &info) && IsWindowVisible(info.hwndList) && GetClientRect(info.hwndList, &list))
    rows = list.bottom / std::max(1, static_cast<int>(SendMessageW(h, CB_GETITEMHEIGHT, 0, 0)));
  SendMessageW(h, CB_SHOWDROPDOWN, FALSE, 0);
  return rows;
}

// Shows the form, turns to each of its pages and opens every drop-down list one can
// reach there; an empty history gets more items than a list shows. Gives the names
// of the lists opened.
std::set<std::string> OpenEveryList(tk::TForm& f) {
  std::set<std::string> opened;
  f.Show();
  std::vector<tk::TComboBox*> boxes;
  std::vector<tk::TTabSheet*> pages;
  Collect(f, boxes);
  Collect(f, pages);
  auto openShown = [&] {
    for (tk::TComboBox* cb : boxes) {
      if (opened.count(cb->Name()) || !IsWindowVisible(cb->Handle()) || !IsWindowEnabled(cb->Handle())) continue;
      if (cb->Count() == 0)
        for (int i = 0; i < 12; ++i) cb->AddItem("C:\\Folder " + std::to_string(i) + "\\");
      EXPECT_EQ(RowsShown(*cb), std::min(cb->Count(), cb->DropDownCount()))
          << f.Caption() << ": " << cb->Name() << " with " << cb->Count() << " items";
      opened.insert(cb->Name());
    }
  };
  openShown();
  for (tk::TTabSheet* p : pages) {
    p->PageControl()->SetActivePage(p);
    openShown();
  }
  f.Hide();
  return opened;
}

using TNames = std::set<std::string>;

TEST_F(Reach, EveryDropDownListOpensWithItsRows) {
  // The colour pairs and the decimals show only with their options on.
  qbtest::RegWrite("Options\\General", "Use2ColorView", "1");
  qbtest::RegWrite("Options\\General", "ZipFileSizeUnit", "as size fits");
  TOptionsForm options;
  EXPECT_EQ(OpenEveryList(options), (TNames{"MultiColorComboBox1", "cbDateFormat", "cbZipFileSizeUnit",
                                            "cbZipFileSizePrecision", "cbDontAutoRun"}));
  TWizardForm wizard;
  wizard.HandleNeeded();
  EXPECT_EQ(OpenEveryList(wizard), (TNames{"scbZipFileDir", "cbAfterDate"}));
  TFSpecForm spec;
  spec.HandleNeeded();
  spec.rbThisFileType.SetChecked(true);  // the type's box takes input then
  EXPECT_EQ(OpenEveryList(spec), (TNames{"scbPath", "scbExt"}));
  TScheduleForm schedule;
  EXPECT_EQ(OpenEveryList(schedule), (TNames{"cbDays"}));
  TAutoRunForm autoRun;
  EXPECT_EQ(OpenEveryList(autoRun), (TNames{"cbDays", "cbCmd"}));
  TStartupProfilesForm startup;
  EXPECT_EQ(OpenEveryList(startup), (TNames{"cbCmd"}));
  TExtractForm extract;
  EXPECT_EQ(OpenEveryList(extract), (TNames{"scbExtractTo"}));
  TSpanForm span;
  EXPECT_EQ(OpenEveryList(span), (TNames{"scbVolDir"}));
}

// Runs step(n) on each tick of a short timer while a form shows modally; past the
// last tick the form is closed, so a failure costs seconds.
struct TTicks {
  tk::TTimer timer{40, false};
  int n = 0;
  TTicks(tk::TForm& f, std::function<void(int)> step) {
    timer.OnTimer = [this, &f, step] {
      if (!f.Modal()) return;
      if (++n > 60) f.SetModalResult(tk::mrCancel);
      else step(n);
    };
    timer.SetEnabled(true);
  }
};

void PostKey(HWND h, WORD vk) {
  PostMessageW(h, WM_KEYDOWN, vk, 1);
  PostMessageW(h, WM_KEYUP, vk, 0xC0000001);
}

TEST_F(Reach, TheWizardAndTheAboutBoxStartOnAControlOneSees) {
  TAboutForm about;
  HWND first = nullptr;
  {
    TTicks t(about, [&](int n) {
      if (n != 2) return;
      first = GetFocus();
      PostKey(first, VK_RETURN);
    });
    EXPECT_EQ(about.ShowModal(), tk::mrOk);  // Enter works OK, the default button
  }
  EXPECT_EQ(first, about.btnOK.Handle());

  // The wizard opens on the target folder, also after a use that was cancelled from
  // its Cancel button.
  TWizardForm wizard;
  for (int use = 0; use < 2; ++use) {
    ASSERT_TRUE(wizard.Open(wzNew));
    first = nullptr;
    bool seen = false;
    TTicks t(wizard, [&](int n) {
      if (n != 2) return;
      first = GetFocus();
      seen = IsWindowVisible(first);
      PostMessageW(wizard.btnCancel.Handle(), BM_CLICK, 0, 0);
    });
    EXPECT_EQ(wizard.ShowModal(), tk::mrCancel);
    EXPECT_TRUE(qbtest::IsIn(first, wizard.scbZipFileDir)) << "use " << use;
    EXPECT_TRUE(seen);
  }
}

// A key as typed with Ctrl and Shift held or not.
void PressWith(HWND focus, WORD vk, bool ctrl, bool shift = false) {
  BYTE state[256];
  GetKeyboardState(state);
  state[VK_CONTROL] = ctrl ? 0x80 : 0;
  state[VK_SHIFT] = shift ? 0x80 : 0;
  SetKeyboardState(state);
  PostKey(focus, vk);
  tk::Application.ProcessMessages();
  state[VK_CONTROL] = state[VK_SHIFT] = 0;
  SetKeyboardState(state);
}

TEST_F(Reach, OptionsPagesTurnByKeyboardAndTheBarPagesToo) {
  qbtest::RegWrite("Options\\General", "ColorProgressbar", "1");
  TOptionsForm f;
  std::vector<std::string> pages;
  HWND firstFocus = nullptr, rowFocus = nullptr, barRowFocus = nullptr;
  TTicks t(f, [&](int n) {
    if (n != 2) return;
    firstFocus = GetFocus();
    // Shift+Tab from the page's first control reaches the tab row.
    PressWith(GetFocus(), VK_TAB, false, true);
    rowFocus = GetFocus();
    for (WORD key : {VK_TAB, VK_TAB, VK_NEXT, VK_PRIOR}) {
      PressWith(GetFocus(), key, true);
      pages.push_back(f.PageControl1.ActivePage()->Name());
    }
    // On the progress-bar page Tab from its check box stops on the Running/Testing
    // tabs, and Ctrl+Tab there turns those.
    f.chkColorProgress.SetFocus();
    PressWith(GetFocus(), VK_TAB, false);
    barRowFocus = GetFocus();
    PressWith(GetFocus(), VK_TAB, true);
    f.SetModalResult(tk::mrCancel);
  });
  f.ShowModal();
  EXPECT_EQ(firstFocus, f.chkUse2ColorView.Handle());  // the control the form names
  EXPECT_EQ(rowFocus, f.PageControl1.Handle());
  EXPECT_EQ(pages, (std::vector<std::string>{"tsAction", "tsProgressbar", "tsAutoRun", "tsProgressbar"}));
  EXPECT_EQ(barRowFocus, f.PageControl2.Handle());
  EXPECT_EQ(f.PageControl2.ActivePage(), &f.tsTesting);
  EXPECT_EQ(f.PageControl1.ActivePage(), &f.tsProgressbar);
}

}  // namespace
