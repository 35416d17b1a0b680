// The report list view: columns, rows with sub-items, check boxes, selection and
// the change events, read back through the list view's own messages.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "toolkit/strings.h"
#include "toolkit/win_form.h"

using namespace tk;

namespace {

class TListForm : public TForm {
 public:
  TListView lvProfiles;
  TListForm() : TForm(L"TListForm") {
    SetClientSize(400, 200);
    Declare({{.Control = lvProfiles, .Name = "lvProfiles", .Caption = "", .Bounds = {0, 0, 400, 200},
              .Style = lvCheckBoxes | lvRowSelect | lvShowSelAlways}});
    lvProfiles.AddColumn("Name", 150);
    lvProfiles.AddColumn("Size", 80, TAlignment::taRightJustify);
  }
};

std::string RawText(HWND lv, int item, int sub) {
  wchar_t buf[256] = {};
  LVITEMW it{};
  it.iSubItem = sub;
  it.pszText = buf;
  it.cchTextMax = 256;
  SendMessageW(lv, LVM_GETITEMTEXTW, item, reinterpret_cast<LPARAM>(&it));
  return Narrow(buf);
}

}  // namespace

TEST(ListView, ColumnsDeclaredBeforeAndAfterTheWindow) {
  TListForm f;
  f.HandleNeeded();
  f.lvProfiles.AddColumn("Last run", 120);
  HWND lv = f.lvProfiles.Handle();
  HWND header = reinterpret_cast<HWND>(SendMessageW(lv, LVM_GETHEADER, 0, 0));
  EXPECT_EQ(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0), 3);
  EXPECT_EQ(f.lvProfiles.ColumnCount(), 3);
  EXPECT_EQ(f.lvProfiles.ColumnWidth(1), 80);

  wchar_t buf[64] = {};
  LVCOLUMNW col{};
  col.mask = LVCF_TEXT | LVCF_FMT;
  col.pszText = buf;
  col.cchTextMax = 64;
  ASSERT_TRUE(SendMessageW(lv, LVM_GETCOLUMNW, 1, reinterpret_cast<LPARAM>(&col)));
  EXPECT_EQ(std::wstring(buf), L"Size");
  EXPECT_EQ(col.fmt & LVCFMT_JUSTIFYMASK, LVCFMT_RIGHT);

  f.lvProfiles.SetColumnCaption(2, "Next run");  // captions change at run time
  col.mask = LVCF_TEXT;
  SendMessageW(lv, LVM_GETCOLUMNW, 2, reinterpret_cast<LPARAM>(&col));
  EXPECT_EQ(std::wstring(buf), L"Next run");
  EXPECT_EQ(f.lvProfiles.ColumnCaption(2), "Next run");

  DWORD ex = static_cast<DWORD>(SendMessageW(lv, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
  EXPECT_TRUE(ex & LVS_EX_CHECKBOXES);
  EXPECT_TRUE(ex & LVS_EX_FULLROWSELECT);
  EXPECT_FALSE(ex & LVS_EX_GRIDLINES);
}

TEST(ListView, ItemsSubItemsAndData) {
  TListForm f;
  f.HandleNeeded();
  TListView& lv = f.lvProfiles;
  EXPECT_EQ(lv.AddItem("Documents", 11), 0);
  EXPECT_EQ(lv.AddItem("Photos \xC3\xA9t\xC3\xA9", 22), 1);
  EXPECT_EQ(lv.InsertItem(0, "First", 33), 0);
  lv.SetSubItem(1, 0, "1,024");
  EXPECT_EQ(lv.Count(), 3);
  EXPECT_EQ(RawText(lv.Handle(), 1, 0), "Documents");
  EXPECT_EQ(RawText(lv.Handle(), 1, 1), "1,024");
  EXPECT_EQ(lv.ItemCaption(2), "Photos \xC3\xA9t\xC3\xA9");
  EXPECT_EQ(lv.SubItem(1, 0), "1,024");
  EXPECT_EQ(lv.Data(0), 33);
  EXPECT_EQ(lv.IndexOfCaption("DOCUMENTS"), 1);

  // Sorting by data sees the indexes of the rows at the call and keeps the data.
  lv.Sort([&](int a, int b) { return static_cast<int>(lv.Data(b) - lv.Data(a)); });
  EXPECT_EQ(lv.ItemCaption(0), "First");
  EXPECT_EQ(lv.ItemCaption(1), "Photos \xC3\xA9t\xC3\xA9");
  EXPECT_EQ(lv.ItemCaption(2), "Documents");
  EXPECT_EQ(lv.Data(1), 22);
  EXPECT_EQ(lv.SubItem(2, 0), "1,024");

  lv.DeleteItem(0);
  EXPECT_EQ(lv.Count(), 2);
  lv.Clear();
  EXPECT_EQ(lv.Count(), 0);
}

TEST(ListView, ChecksAndSelectionFireChangeEvents) {
  TListForm f;
  f.HandleNeeded();
  TListView& lv = f.lvProfiles;
  lv.AddItem("a");
  lv.AddItem("b");
  std::vector<int> checkChanges, selected;
  lv.OnChange = [&](const TListChange& c) {
    if (c.CheckChanged()) checkChanges.push_back(c.Checked() ? c.Item : -1 - c.Item);
  };
  lv.OnSelectItem = [&](int item, bool sel) { if (sel) selected.push_back(item); };

  EXPECT_FALSE(lv.Checked(1));
  lv.SetChecked(1, true);
  EXPECT_TRUE(lv.Checked(1));
  EXPECT_EQ(lv.CheckedCount(), 1);
  // A toggle made through the list's own state (as a click on the box does).
  LVITEMW it{};
  it.stateMask = LVIS_STATEIMAGEMASK;
  it.state = INDEXTOSTATEIMAGEMASK(1);
  SendMessageW(lv.Handle(), LVM_SETITEMSTATE, 1, reinterpret_cast<LPARAM>(&it));
  EXPECT_FALSE(lv.Checked(1));
  EXPECT_EQ(checkChanges, (std::vector<int>{1, -2}));

  lv.SetItemIndex(1);
  EXPECT_EQ(lv.ItemIndex(), 1);
  EXPECT_EQ(lv.ItemFocused(), 1);
  EXPECT_EQ(lv.SelCount(), 1);
  lv.SetItemIndex(0);  // single selection: only row 0 stays selected
  EXPECT_FALSE(lv.Selected(1));
  EXPECT_EQ(selected, (std::vector<int>{1, 0}));
}

TEST(ListView, UnselectableCheckListStillTakesChecks) {
  TListForm f;
  f.HandleNeeded();
  TListView& lv = f.lvProfiles;
  lv.AddItem("a");
  lv.OnChanging = [](const TListChange& c, bool& allow) {
    if ((c.Changed & LVIF_STATE) && (c.NewState & LVIS_SELECTED) && !(c.OldState & LVIS_SELECTED)) allow = false;
  };
  lv.SetItemIndex(0);
  EXPECT_FALSE(lv.Selected(0));
  lv.SetChecked(0, true);
  EXPECT_TRUE(lv.Checked(0));
}
