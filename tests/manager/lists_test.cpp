// The start-up and shut-down profiles dialog, which stores its own settings on OK, and
// the exclude filters dialog, whose renames and deletions reach every profile's efil.
#include <gtest/gtest.h>

#include <algorithm>

#include "editors_fixture.h"
#include "manager/filters.h"
#include "manager/startupprofiles.h"

namespace {

using edtest::ClickTool;
using edtest::When;
using qbtest::Join;
using qbtest::TScript;

class Lists : public testing::Test {
 protected:
  void SetUp() override {
    qbtest::ClearQuillbankKey();
    edtest::MakeProfiles("Images,Temp");
  }
  void TearDown() override { qbtest::ClearQuillbankKey(); }
};

// The filter cases run as a suite of their own.
using Filters = Lists;

std::string Efil(const std::string& profile) { return qbtest::RegRead("Profiles\\" + profile, "efil"); }

// Answers the input box with a text and OK.
TScript::TStep AnswerInput(const std::string& text) {
  return TScript::Call([text] {
    HWND box = FindWindowW(L"TInputQueryForm", nullptr);
    if (!box || !IsWindowVisible(box) || !IsWindowEnabled(box)) return false;
    HWND edit = FindWindowExW(box, nullptr, L"Edit", nullptr);
    HWND ok = FindWindowExW(box, nullptr, L"Button", L"OK");
    if (!edit || !ok) return false;
    edtest::SetText(edit, text);
    PostMessageW(ok, BM_CLICK, 0, 0);
    return true;
  });
}

}  // namespace

TEST_F(Lists, TheStartupListIsStoredOnOkWithItsActionDelayAndDisableBox) {
  TFernoIni ini;
  ini.SetStartupProfiles("\"Home\" ");
  ini.Settc('t');
  TStartupProfilesForm f;
  f.Mode = TStartupProfilesForm::StartupMode;
  f.HandleNeeded();
  int changed = 0;
  f.OnSettingsChanged = [&] { ++changed; };
  TScript s(f, {When(f.Handle(), [&] {
                  edtest::Tick(f.lv.Handle(), 0);  // A
                  edtest::Choose(f.cbCmd.Handle(), 2);
                }),
                TScript::Post(f.edStartupDelay.Handle(), WM_KEYDOWN, VK_DOWN), TScript::Click(f.chkDisabled),
                TScript::Click(f.btnOK)});
  EXPECT_EQ(f.ShowModal(), tk::mrOk);
  ASSERT_TRUE(s.Completed());
  EXPECT_TRUE(s.Boxes().empty());
  EXPECT_EQ(f.Caption(), "Startup profiles");
  EXPECT_EQ(f.lv.ColumnCaption(0), "Startup profiles");
  EXPECT_EQ(f.chkDisabled.Caption(), "Disable startup profiles");
  EXPECT_EQ(f.HelpTopic(), "startup-profiles");
  EXPECT_FALSE(f.rgOnTurnoff.Visible());
  EXPECT_FALSE(IsWindowEnabled(f.lv.Handle()));  // greyed by the disable box, still stored
  EXPECT_EQ(ini.GetStartupProfiles(), "\"A\" \"Home\" ");
  EXPECT_EQ(ini.Gettc(), 'b');
  EXPECT_EQ(ini.GetStartupDelay(), 14);
  EXPECT_TRUE(ini.GetDisableStartupProfiles());
  EXPECT_EQ(changed, 1);

  // Nothing ticked: the stored list goes.
  TScript clear(f, {When(f.Handle(), [&] { edtest::Tick(f.lv.Handle(), 0, false); edtest::Tick(f.lv.Handle(), 2, false); }),
                    TScript::Click(f.btnOK)});
  EXPECT_EQ(f.ShowModal(), tk::mrOk);
  ASSERT_TRUE(clear.Completed());
  EXPECT_EQ(qbtest::RegRead("Options\\General", "StartupProfiles"), "<missing>");
}

TEST_F(Lists, TheShutdownListNeedsATurnOffChoiceAndAsksBeforePowerOff) {
  TFernoIni ini;
  ini.SetShutdownDelay(2);
  TStartupProfilesForm f;
  f.Mode = TStartupProfilesForm::ShutdownMode;
  f.HandleNeeded();
  TScript s(f, {TScript::Click(f.btnOK), TScript::Answer("OK"), TScript::Click(f.rgOnTurnoff.Button(0)),
                TScript::Answer("&No"), TScript::Click(f.btnOK)});
  EXPECT_EQ(f.ShowModal(), tk::mrOk);
  ASSERT_TRUE(s.Completed());
  EXPECT_EQ(f.Caption(), "Shutdown profiles");
  EXPECT_EQ(f.chkDisabled.Caption(), "Disable shutdown profiles");
  EXPECT_EQ(f.lblStartupDelay.Caption(), "Shutdown timer");
  EXPECT_EQ(f.HelpTopic(), "shutdown-profiles");
  EXPECT_TRUE(f.rgOnTurnoff.Visible());
  const auto boxes = s.Boxes();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0][0], "Information");
  EXPECT_TRUE(edtest::Said(boxes[0], "Select \"Power Off\" or \"Shutdown\""));
  EXPECT_EQ(boxes[1][0], "Warning");
  EXPECT_TRUE(edtest::Said(boxes[1], "If the system hardware doesn't support \"power off\",\r\nthis action could "
                                     "result in a system restart.\r\n\r\nDo you know that the system is \"power off\" "
                                     "capable?"));
  EXPECT_EQ(ini.GetOnTurnoff(), 1);  // "No" chose Shutdown instead
  EXPECT_EQ(ini.GetShutdownDelay(), 5);  // the timer's floor

  // A stored Power Off is shown without the question.
  ini.SetOnTurnoff(0);
  TScript again(f, {TScript::Click(f.btnOK)});
  EXPECT_EQ(f.ShowModal(), tk::mrOk);
  ASSERT_TRUE(again.Completed());
  EXPECT_TRUE(again.Boxes().empty());
  EXPECT_EQ(f.rgOnTurnoff.ItemIndex(), 0);
  EXPECT_EQ(ini.GetOnTurnoff(), 0);
}

TEST_F(Filters, AreAddedRenamedAndDeletedAndTheProfilesFollow) {
  ASSERT_TRUE(WriteFilter("ExFilters", "Images", "JPG,GIF"));
  ASSERT_TRUE(WriteFilter("ExFilters", "Temp", "~*.TMP,BAK"));
  TFiltersForm f;
  f.FilterKind = 1;
  f.HandleNeeded();
  TFilterForm& e = f.FilterForm();
  e.HandleNeeded();
  int changes = 0;
  f.OnProfilesChanged = [&] { ++changes; };
  auto selectRow = [&](const std::string& name) {
    return When(f.Handle(), [&f, name] { edtest::Select(f.lvFilters.Handle(), f.lvFilters.IndexOfCaption(name)); });
  };
  TScript s(f, Join({{selectRow("Images")}, ClickTool(*f.tbRenameFilter), {AnswerInput("Pictures")},
                     {selectRow("Pictures")}, ClickTool(*f.tbRenameFilter), {AnswerInput("temp"), TScript::Answer("OK")},
                     ClickTool(*f.tbRenameFilter), {AnswerInput(""), TScript::Answer("OK")},
                     {selectRow("Temp")}, ClickTool(*f.tbDeleteFilter), {TScript::Answer("&Yes")},
                     ClickTool(*f.tbAddFilter),
                     TScript::Type(e.edName.Handle(), "Do.cs"), TScript::Type(e.mmoExts.Handle(), "doc\rtx.t"),
                     {TScript::Click(e.btnOK), TScript::Click(f.btnClose)}}));
  EXPECT_EQ(f.ShowModal(), tk::mrCancel);
  ASSERT_TRUE(s.Completed());
  const auto boxes = s.Boxes();
  ASSERT_EQ(boxes.size(), 3u);
  EXPECT_TRUE(edtest::Said(boxes[0], "Filter name \"temp\" already exists"));
  EXPECT_TRUE(edtest::Said(boxes[1], "No filter name entered"));
  EXPECT_TRUE(edtest::Said(boxes[2], "Are you sure to delete the exclude filter Temp ?"));
  EXPECT_EQ(boxes[2][0], "Warning");
  EXPECT_EQ(f.Caption(), "Exclude filters");
  std::vector<std::string> names = qbtest::RegValueNames("ExFilters");
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"Docs", "Pictures"}));
  EXPECT_EQ(ReadFilterData("ExFilters", "Pictures"), "JPG,GIF");
  EXPECT_EQ(ReadFilterData("ExFilters", "Docs"), "DOC,TX.T");
  for (const char* p : {"A", "A B", "Home", "Multi"}) EXPECT_EQ(Efil(p), "Pictures") << p;
  EXPECT_EQ(changes, 3);
  ASSERT_EQ(f.lvFilters.Count(), 2);
  const int docs = f.lvFilters.IndexOfCaption("Docs");
  ASSERT_GE(docs, 0);
  EXPECT_EQ(f.lvFilters.SubItem(docs, 0), "*.DOC TX.T");
}

TEST_F(Filters, TheEditorRefusesAnIncompleteOrRepeatedFilter) {
  ASSERT_TRUE(WriteFilter("ExFilters", "Images", "JPG"));
  TFiltersForm f;
  f.FilterKind = 1;
  f.HandleNeeded();
  TFilterForm& e = f.FilterForm();
  e.HandleNeeded();
  const HWND memo = e.mmoExts.Handle();
  TScript s(f, Join({ClickTool(*f.tbAddFilter),
                     {TScript::Click(e.btnOK), TScript::Answer("OK")}, TScript::Type(e.edName.Handle(), "images"),
                     {TScript::Click(e.btnOK), TScript::Answer("OK"),
                      When(e.Handle(), [memo] { edtest::SetText(memo, "BAK\r\nbak"); }), TScript::Click(e.btnOK),
                      TScript::Answer("OK"), When(e.Handle(), [memo] { edtest::SetText(memo, "BAK"); }),
                      TScript::Click(e.btnOK), TScript::Answer("OK"), TScript::Post(memo, WM_KEYDOWN, VK_ESCAPE),
                      TScript::Click(f.btnClose)}}));
  EXPECT_EQ(f.ShowModal(), tk::mrCancel);
  ASSERT_TRUE(s.Completed());
  const auto boxes = s.Boxes();
  ASSERT_EQ(boxes.size(), 4u);
  EXPECT_TRUE(edtest::Said(boxes[0], "No filter name entered"));
  EXPECT_TRUE(edtest::Said(boxes[1], "No filter extensions entered"));
  EXPECT_TRUE(edtest::Said(boxes[2], "Repetition in filter value"));
  EXPECT_TRUE(edtest::Said(boxes[3], "Filter already exists"));
  EXPECT_EQ(qbtest::RegValueNames("ExFilters"), std::vector<std::string>{"Images"});
  EXPECT_EQ(f.lvFilters.SubItem(0, 0), "*.JPG");
  EXPECT_FALSE(f.tbEditFilter->Enabled());
}
