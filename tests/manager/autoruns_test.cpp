// The autorun dialogs: an entry added through the editor and stored on OK with its
// labels, days, action and profiles; the media conflict refused; an edited entry
// keeping what the runner's ask dialog stored; the label menu offering the labels of
// the drives present.
#include <gtest/gtest.h>

#include "editors_fixture.h"
#include "manager/autoruns.h"
#include "toolkit/stringlist.h"
#include "toolkit/win_drawnimages.h"

namespace {

using edtest::ClickTool;
using edtest::When;
using qbtest::Join;
using qbtest::TScript;

class AutoRuns : public testing::Test {
 protected:
  void SetUp() override {
    qbtest::ClearQuillbankKey();
    edtest::MakeProfiles();
    f.HandleNeeded();
    f.AutoRunForm().HandleNeeded();
  }
  void TearDown() override { qbtest::ClearQuillbankKey(); }
  static TQbAutoRun Entry(const std::string& media, const std::string& days) {
    TQbAutoRun e;
    e.Media = media;
    e.Days = days;
    e.Profiles = "A";
    return e;
  }
  void Store(std::initializer_list<TQbAutoRun> entries) {
    TQbAutoRuns list;
    for (const TQbAutoRun& e : entries) list.Add(new TQbAutoRun(e));
    StoreAutoRuns(list);
  }
  edtest::TSchedulerWindow scheduler;
  TAutoRunsForm f;
};

}  // namespace

TEST_F(AutoRuns, ANewEntryIsStoredWithItsLabelsDaysActionAndProfiles) {
  TAutoRunForm& e = f.AutoRunForm();
  TScript s(f, Join({ClickTool(*f.tbAdd),
                     {When(e.Handle(), [&] {
                        edtest::SetText(e.edMediaNames.Handle(), "BACKUP1,\"MY DISK\"");
                        edtest::Choose(e.DaysFrame1.cbDays.Handle(), 2);
                        edtest::Choose(e.cbCmd.Handle(), 2);
                        edtest::Tick(e.lvProfs.Handle(), 1);  // A B
                        edtest::Tick(e.lvProfs.Handle(), 3);  // Multi
                      }),
                      TScript::Click(e.chkAskToRun), TScript::Click(e.btnOK), TScript::Click(f.btnOK)}}));
  EXPECT_TRUE(EditAutoRuns(f));
  ASSERT_TRUE(s.Completed());
  EXPECT_TRUE(s.Boxes().empty());
  EXPECT_EQ(e.Caption(), "Add");
  EXPECT_EQ(qbtest::RegRead("Options\\General", "AutoRunCount"), "1");
  EXPECT_EQ(qbtest::RegRead("AutoRun\\1", "m"), "BACKUP1,\"MY DISK\"");
  EXPECT_EQ(qbtest::RegRead("AutoRun\\1", "d"), "0100000");
  EXPECT_EQ(qbtest::RegRead("AutoRun\\1", "c"), "98");  // 'b'
  EXPECT_EQ(qbtest::RegRead("AutoRun\\1", "p"), "\"A B\",Multi");
  EXPECT_EQ(qbtest::RegRead("AutoRun\\1", "a"), "0");  // ticked for a new entry, then unticked
  EXPECT_EQ(scheduler.ReloadCount(), 0);  // the scheduler reads autoruns at each arrival
}

TEST_F(AutoRuns, OneLabelOnACommonDayIsRefusedAndCancelStoresNothing) {
  Store({Entry("BACKUP", "1000000"), Entry("OTHER,backup", "1111100")});
  TScript s(f, {TScript::Click(f.btnOK), TScript::Answer("OK"), TScript::Click(f.btnCancel)});
  EXPECT_FALSE(EditAutoRuns(f));
  ASSERT_TRUE(s.Completed());
  ASSERT_EQ(s.Boxes().size(), 1u);
  EXPECT_EQ(s.Boxes()[0][0], "Error");
  EXPECT_TRUE(edtest::Said(s.Boxes()[0], "Media name (BACKUP) can be repeated for different days only"));
  EXPECT_EQ(qbtest::RegRead("AutoRun\\2", "m"), "OTHER,backup");
}

TEST_F(AutoRuns, AnEditedEntryKeepsItsDeselectedProfilesAndRowsSortByFirstLabel) {
  TQbAutoRun zed = Entry("zed", "0000001");
  zed.Profiles = "\"A B\",home";
  zed.Deselected = "Home";
  zed.Action = 't';
  Store({zed, Entry("Alpha", "1000000")});
  TAutoRunForm& e = f.AutoRunForm();
  TScript s(f, Join({{When(f.Handle(), [&] { edtest::Select(f.lvAutoRuns.Handle(), 1); })},
                     ClickTool(*f.tbEdit),
                     {When(e.Handle(), [&] { edtest::Tick(e.lvProfs.Handle(), 0); }), TScript::Click(e.btnOK),
                      TScript::Click(f.btnOK)}}));
  EXPECT_TRUE(EditAutoRuns(f));
  ASSERT_TRUE(s.Completed());
  EXPECT_EQ(e.Caption(), "Edit");
  EXPECT_EQ(f.lvAutoRuns.ItemCaption(0), "Alpha");
  EXPECT_EQ(f.lvAutoRuns.SubItem(1, 0), "Test");
  EXPECT_EQ(f.lvAutoRuns.SubItem(1, 1), "Sun");
  EXPECT_EQ(f.lvAutoRuns.SubItem(1, 3), "No");
  // zed's profiles were ticked again without regard to case, then A was added.
  EXPECT_EQ(qbtest::RegRead("AutoRun\\1", "m"), "zed");
  EXPECT_EQ(qbtest::RegRead("AutoRun\\1", "p"), "A,\"A B\",Home");
  EXPECT_EQ(qbtest::RegRead("AutoRun\\1", "dp"), "Home");
  EXPECT_EQ(qbtest::RegRead("AutoRun\\1", "c"), "116");
}

TEST_F(AutoRuns, TheLabelMenuOffersFourLabelsAndAddsAChosenOneOnce) {
  TAutoRunForm& e = f.AutoRunForm();
  e.ResetForNew();
  e.ReadMediaLabels = [] { return std::vector<std::string>{"BACKUP1", "BACKUP2", "C3", "D4", "E5"}; };
  POINT shownAt{-1, -1};
  e.PopupAt = [&](int x, int y) { shownAt = {x, y}; };
  e.bbtnClick();
  EXPECT_EQ(e.N1->Caption(), "BACKUP1");
  EXPECT_EQ(e.N4->Caption(), "D4");
  RECT client;
  GetClientRect(e.bbtn.Handle(), &client);
  POINT below{0, client.bottom};  // the button's bottom-left corner
  ClientToScreen(e.bbtn.Handle(), &below);
  EXPECT_EQ(shownAt.x, below.x);
  EXPECT_EQ(shownAt.y, below.y);
  e.LabelItemClick(*e.N1);
  e.LabelItemClick(*e.N1);
  e.LabelItemClick(*e.N2);
  EXPECT_EQ(e.edMediaNames.Text(), "BACKUP1,BACKUP2");
  e.edMediaNames.SetText("backup1");
  e.LabelItemClick(*e.N1);
  EXPECT_EQ(e.edMediaNames.Text(), "backup1");

  // No labelled medium: the warning, and the menu stays closed with separators only.
  e.ReadMediaLabels = [] { return std::vector<std::string>(); };
  shownAt = {-1, -1};
  e.Show();
  TScript s(e, {TScript::Answer("OK")});
  e.bbtnClick();
  e.Hide();
  ASSERT_TRUE(s.Completed());
  ASSERT_EQ(s.Boxes().size(), 1u);
  EXPECT_EQ(s.Boxes()[0][0], "Warning");
  EXPECT_TRUE(edtest::Said(s.Boxes()[0], "No media (or volume-label) exists in CD drive"));
  EXPECT_EQ(shownAt.x, -1);
  EXPECT_TRUE(e.N1->IsLine());
  e.LabelItemClick(*e.N1);
  EXPECT_EQ(e.edMediaNames.Text(), "backup1");
}

TEST_F(AutoRuns, TheLabelButtonShowsAnArrowAndTheLabelsTheMediumsPicture) {
  // A picture of a colour no menu draws otherwise: a square of 12 x 12 pixels.
  const COLORREF teal = RGB(0, 150, 140);
  tk::TImageList images;
  tk::AddDrawnImage(images, [teal](HDC dc, int, int) {
    const RECT square{2, 2, 14, 14};
    SetDCBrushColor(dc, teal);
    FillRect(dc, &square, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
  });
  f.Images = &images;
  f.RowImage = 0;
  TAutoRunForm& e = f.AutoRunForm();
  // Inside the button's frame, a triangle pointing down: each row of ink one pixel
  // narrower on both sides than the one above, down to a point.
  e.Show();
  std::vector<std::pair<int, int>> rows;
  for (const auto& ink : qbtest::InkRows(e.bbtn.Handle(), 4))
    if (ink.first >= 0) rows.push_back(ink);
  e.Hide();
  ASSERT_GE(rows.size(), 3u);
  for (size_t i = 1; i < rows.size(); ++i)
    EXPECT_EQ(rows[i], std::make_pair(rows[i - 1].first + 1, rows[i - 1].second - 1)) << "row " << i;
  EXPECT_EQ(rows.back().first, rows.back().second);

  // The open menu's pixels, read until both pictures show (the items are drawn one by
  // one) or for two seconds at most; the menu is closed either way.
  e.ResetForNew();
  e.ReadMediaLabels = [] { return std::vector<std::string>{"BACKUP1", "BACKUP2"}; };
  std::map<unsigned long, int> look;
  int looks = 0;
  TScript s(e, {TScript::Click(e.bbtn), TScript::Call([&] {
                  HWND menu = FindWindowW(L"#32768", nullptr);
                  if (!menu || !IsWindowVisible(menu)) return false;
                  if ((look = qbtest::Colours(menu))[teal] < 2 * 144 && ++looks < 100) return false;
                  PostMessageW(menu, WM_KEYDOWN, VK_ESCAPE, 0);
                  return true;
                }),
                TScript::Click(e.btnCancel)});
  EXPECT_EQ(e.ShowModal(), tk::mrCancel);
  ASSERT_TRUE(s.Completed());
  EXPECT_EQ(look[teal], 2 * 144);  // the whole picture beside both labels, none by the lines
}

TEST_F(AutoRuns, TheLabelOfTheTestCdDriveIsOffered) {
  QB_FRAME_NEEDS(GetLogicalDrives() & (1u << ('R' - 'A')),
                 "drive R: (the test CD drive labelled QBCD) is not set up in this prefix");
  const std::vector<std::string> labels = PresentMediaLabels();
  EXPECT_NE(std::find(labels.begin(), labels.end(), "QBCD"), labels.end()) << tk::ToCommaText(labels);

  // Through the real menu, which lists the drives' labels in drive-letter order: the
  // test drive's item is chosen with the keyboard.
  const auto at = std::find(labels.begin(), labels.end(), "QBCD") - labels.begin();
  ASSERT_LT(at, 4);
  TAutoRunForm& e = f.AutoRunForm();
  e.ResetForNew();
  TScript s(e, {TScript::Click(e.bbtn), TScript::Call([at] {
                  HWND menu = FindWindowW(L"#32768", nullptr);
                  if (!menu || !IsWindowVisible(menu)) return false;
                  for (long i = 0; i <= at; ++i) PostMessageW(menu, WM_KEYDOWN, VK_DOWN, 0);
                  PostMessageW(menu, WM_KEYDOWN, VK_RETURN, 0);
                  return true;
                }),
                TScript::Call([&] { return qbtest::WindowText(e.edMediaNames.Handle()) == "QBCD"; }),
                TScript::Click(e.btnCancel)});
  EXPECT_EQ(e.ShowModal(), tk::mrCancel);
  EXPECT_TRUE(s.Completed());
  EXPECT_EQ(e.edMediaNames.Text(), "QBCD");
}
