// The include/exclude entry and date format dialogs, created in-process and driven with
// messages: clicks, typed characters and the answers to the boxes they show.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "manager/dateformat.h"
#include "manager/fspec.h"
#include "settings/vglobal.h"
#include "support/formscript.h"
#include "support/testutil.h"
#include "toolkit/files.h"
#include "toolkit/strings.h"
#include "toolkit/win_msgdlg.h"

namespace {

using namespace qbtest;

// Each test's history file lies in a folder of its own below the application-data folder.
class FSpec : public testing::Test {
 protected:
  void SetUp() override {
    qbtest::ClearQuillbankKey();
    static int serial = 0;
    sub = "QbDialogsTest" + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(++serial);
    folder = GetAppDataDir() + sub + "\\";
    qbtest::MakeDirs(folder);
  }
  void TearDown() override {
    qbtest::RemoveTree(folder);
    qbtest::ClearQuillbankKey();
  }
  // A dialog as the wizard makes it, with its history in this test's folder.
  void Prepare(TFSpecForm& f) {
    f.scbPath.SetAppDataIniPath(sub);
    f.scbExt.SetAppDataIniPath(sub);
    f.HandleNeeded();
  }
  std::string sub, folder;
  qbtest::TempDir temp;
};

}  // namespace

TEST_F(FSpec, StartsWithAllFileTypesAndTheRadioButtonsEnableTheNameFields) {
  TFSpecForm f;
  Prepare(f);
  EXPECT_EQ(f.Caption(), "File specification");
  EXPECT_TRUE(f.rbAllFileTypes.Checked());
  EXPECT_EQ(f.rbAllFileTypes.Caption(), "All file types  (*.*)");
  EXPECT_EQ(f.edName.Text(), "*");
  EXPECT_FALSE(f.chkRecurse0.Visible());
  EXPECT_FALSE(IsWindowVisible(f.chkRecurse0.Handle()));
  const std::vector<tk::TControl*> nameFields{&f.lblName, &f.edName, &f.lblDot, &f.lblExt, &f.scbExt};
  for (tk::TControl* c : nameFields) EXPECT_FALSE(IsWindowEnabled(c->Handle())) << c->Name();

  SendMessageW(f.rbThisFileType.Handle(), BM_CLICK, 0, 0);
  EXPECT_TRUE(f.rbThisFileType.Checked());
  EXPECT_FALSE(f.rbAllFileTypes.Checked());
  for (tk::TControl* c : nameFields) EXPECT_TRUE(IsWindowEnabled(c->Handle())) << c->Name();

  SendMessageW(f.rbAllFileTypes.Handle(), BM_CLICK, 0, 0);
  for (tk::TControl* c : nameFields) EXPECT_FALSE(IsWindowEnabled(c->Handle())) << c->Name();

  // The wizard may choose before the windows exist: one button stays checked.
  TFSpecForm early;
  early.rbThisFileType.SetChecked(true);
  Prepare(early);
  EXPECT_TRUE(early.rbThisFileType.Checked());
  EXPECT_FALSE(early.rbAllFileTypes.Checked());
  EXPECT_EQ(SendMessageW(early.rbAllFileTypes.Handle(), BM_GETCHECK, 0, 0), BST_UNCHECKED);
  EXPECT_TRUE(IsWindowEnabled(early.edName.Handle()));
}

TEST_F(FSpec, FocusStartsOnTheExtensionOnlyForOneFileType) {
  TFSpecForm f;
  Prepare(f);
  f.lblPathOptional.Show();
  {
    TScript s(f, {TScript::Click(f.btnCancel)});
    EXPECT_EQ(f.ShowModal(), tk::mrCancel);
    ASSERT_TRUE(s.Completed());
    EXPECT_TRUE(IsIn(s.Focus().at(0), f.scbPath));
  }
  f.rbThisFileType.SetChecked(true);
  {
    TScript s(f, {TScript::Click(f.btnCancel)});
    EXPECT_EQ(f.ShowModal(), tk::mrCancel);
    ASSERT_TRUE(s.Completed());
    EXPECT_TRUE(IsIn(s.Focus().at(0), f.scbExt));
  }
}

TEST_F(FSpec, PathIsRequiredOnlyWhenNotMarkedOptional) {
  TFSpecForm f;
  Prepare(f);
  f.lblPathOptional.Hide();  // an include entry with full paths
  {
    TScript s(f, {TScript::Click(f.btnOK), TScript::Answer("OK"), TScript::Click(f.btnCancel)});
    EXPECT_EQ(f.ShowModal(), tk::mrCancel);
    ASSERT_TRUE(s.Completed());
    ASSERT_EQ(s.Boxes().size(), 1u);
    EXPECT_EQ(s.Boxes()[0][0], "Information");
    EXPECT_TRUE(Said(s.Boxes()[0], "Path is empty"));
    EXPECT_TRUE(IsIn(s.Focus().at(1), f.scbPath));  // after the box
  }
  f.lblPathOptional.Show();  // an exclude entry
  {
    TScript s(f, {TScript::Click(f.btnOK)});
    EXPECT_EQ(f.ShowModal(), tk::mrOk);
    ASSERT_TRUE(s.Completed());
    EXPECT_TRUE(s.Boxes().empty());
  }
}

TEST_F(FSpec, AFolderThatDoesNotExistYetIsAcceptedAfterYes) {
  TFSpecForm f;
  Prepare(f);
  const std::string later = temp / "made later";
  f.scbPath.SetText(later);
  {
    TScript s(f, {TScript::Click(f.btnOK), TScript::Answer("&No"), TScript::Click(f.btnOK), TScript::Answer("&Yes")});
    EXPECT_EQ(f.ShowModal(), tk::mrOk);
    ASSERT_TRUE(s.Completed());
    ASSERT_EQ(s.Boxes().size(), 2u);
    EXPECT_EQ(s.Boxes()[0][0], "Confirm");
    // Leaving the box for OK gave the folder its backslash before the check.
    EXPECT_TRUE(Said(s.Boxes()[0], "Path " + later + "\\ currently does not exist\r\n\r\nAccept it?"));
    EXPECT_TRUE(IsIn(s.Focus().at(1), f.scbPath));  // No keeps the dialog open on the path
  }
  EXPECT_FALSE(qbtest::Exists(later));  // accepting makes nothing

  f.scbPath.SetText(temp.path());  // a folder that exists: no question
  TScript s(f, {TScript::Click(f.btnOK)});
  EXPECT_EQ(f.ShowModal(), tk::mrOk);
  EXPECT_TRUE(s.Boxes().empty());
}

TEST_F(FSpec, OneFileTypeNeedsAnExtensionWhichIsKeptInLowerCase) {
  TFSpecForm f;
  Prepare(f);
  f.lblPathOptional.Show();
  f.rbThisFileType.SetChecked(true);
  {
    TScript s(f, {TScript::Click(f.btnOK), TScript::Answer("OK"), TScript::Click(f.btnCancel)});
    EXPECT_EQ(f.ShowModal(), tk::mrCancel);
    ASSERT_TRUE(s.Completed());
    ASSERT_EQ(s.Boxes().size(), 1u);
    EXPECT_TRUE(Said(s.Boxes()[0], "Extension is empty"));
    EXPECT_TRUE(IsIn(s.Focus().at(1), f.scbExt));
  }
  {
    // Typed in capitals into the focused extension box, then OK.
    TScript s(f, Join({TScript::Type(EditOf(f.scbExt), "TXT"), {TScript::Click(f.btnOK)}}));
    EXPECT_EQ(f.ShowModal(), tk::mrOk);
    ASSERT_TRUE(s.Completed());
    EXPECT_TRUE(s.Boxes().empty());
  }
  EXPECT_EQ(f.scbExt.Text(), "txt");
  // Leaving the box recorded it; the extension box keeps no last text.
  EXPECT_EQ(f.scbExt.Items(), std::vector<std::string>{"txt"});
  TFSpecForm again;
  Prepare(again);
  EXPECT_EQ(again.scbExt.Items(), std::vector<std::string>{"txt"});
  EXPECT_EQ(again.scbExt.Text(), "");
}

TEST_F(FSpec, TheNameFieldDropsTheDotAndCharactersNotAllowedInNames) {
  TFSpecForm f;
  Prepare(f);
  f.lblPathOptional.Show();
  f.rbThisFileType.SetChecked(true);
  f.edName.SetText("");
  const HWND name = f.edName.Handle();
  std::vector<TScript::TStep> steps = Join({TScript::Type(name, "doc."), {TScript::Answer("OK")},
                                            TScript::Type(name, "x")});
  const std::string forbidden = "|/\\:<>\"";
  for (char ch : forbidden) {
    steps.push_back(TScript::Post(name, WM_CHAR, static_cast<unsigned char>(ch)));
    steps.push_back(TScript::Answer("OK"));
  }
  for (auto& st : TScript::Type(name, "*?")) steps.push_back(st);  // wildcards pass
  steps.push_back(TScript::Click(f.btnCancel));
  TScript s(f, steps);
  EXPECT_EQ(f.ShowModal(), tk::mrCancel);
  ASSERT_TRUE(s.Completed());
  EXPECT_EQ(f.edName.Text(), "docx*?");
  const auto boxes = s.Boxes();
  ASSERT_EQ(boxes.size(), 1 + forbidden.size());
  EXPECT_EQ(boxes[0][0], "Information");
  EXPECT_TRUE(Said(boxes[0], "You need not type the dot character"));
  for (size_t i = 0; i < forbidden.size(); ++i)
    EXPECT_TRUE(Said(boxes[i + 1], std::string(1, forbidden[i]) + " is not allowed in file name or extension"))
        << forbidden[i];
}

TEST_F(FSpec, LeavingTheFieldsTrimsThemAndAnEmptyNameBecomesAStar) {
  TFSpecForm f;
  Prepare(f);
  f.rbThisFileType.SetChecked(true);
  f.Show();
  f.edName.SetFocus();
  f.edName.SetText("   ");
  f.scbExt.SetFocus();
  EXPECT_EQ(f.edName.Text(), "*");
  f.scbExt.SetText("  Doc  ");
  f.edName.SetFocus();
  EXPECT_EQ(f.scbExt.Text(), "doc");
  f.edName.SetText("  report ");
  f.scbExt.SetFocus();
  EXPECT_EQ(f.edName.Text(), "report");
  f.Hide();
}

TEST_F(FSpec, ThePathHistoryKeepsFoldersWithATrailingBackslash) {
  TFSpecForm f;
  Prepare(f);
  f.Show();
  f.scbPath.SetFocus();
  f.scbPath.SetText(temp.path() + "docs");
  f.btnPath.SetFocus();
  EXPECT_EQ(f.scbPath.Text(), temp.path() + "docs\\");
  EXPECT_EQ(f.scbPath.Items(), std::vector<std::string>{temp.path() + "docs\\"});

  // The browser starts at the box's folder below the base folder; its choice passes
  // through the box into the history and the focus comes back to the button.
  std::string askedCaption, askedRoot, startedAt;
  f.BaseDir = temp.path();
  f.BrowseFolder = [&](const std::string& caption, const std::string& root, std::string& chosen) {
    askedCaption = caption;
    askedRoot = root;
    startedAt = chosen;
    chosen = temp.path() + "pics";
    return true;
  };
  f.btnPath.Click();
  EXPECT_EQ(askedCaption, "Select the path");
  EXPECT_EQ(askedRoot, temp.path());
  EXPECT_EQ(startedAt, temp.path() + "docs\\");
  EXPECT_EQ(f.scbPath.Text(), temp.path() + "pics\\");
  EXPECT_TRUE(f.btnPath.Focused());
  EXPECT_EQ(f.scbPath.Items(), (std::vector<std::string>{temp.path() + "docs\\", temp.path() + "pics\\"}));

  f.BrowseFolder = [](const std::string&, const std::string&, std::string&) { return false; };
  f.btnPath.Click();  // cancelled: nothing changes
  EXPECT_EQ(f.scbPath.Text(), temp.path() + "pics\\");
  f.Hide();

  TFSpecForm again;
  Prepare(again);
  EXPECT_EQ(again.scbPath.Count(), 2);
  EXPECT_EQ(again.scbPath.Text(), temp.path() + "pics\\");
}

namespace {


class DateFormat : public testing::Test {
 protected:
  void SetUp() override { f.HandleNeeded(); }
  // The user's click on choice index of a group.
  static void Choose(tk::TRadioGroup& group, int index) {
    SendMessageW(group.Button(index).Handle(), BM_CLICK, 0, 0);
  }
  std::string Preview() const { return f.StaticText1.Caption(); }
  TDateFormatForm f;
};

const tk::TDateTime kDec9 = tk::EncodeDate(2026, 12, 9);

}  // namespace

TEST_F(DateFormat, AnEmptyFormatGivesTheDefaults) {
  f.PreviewDay = kDec9;
  f.InitFromDateFormat("", "");
  EXPECT_EQ(f.ComposeDateFormat(), "yyyy mm*");
  EXPECT_EQ(f.rgFNChanges.ItemIndex(), 0);
  EXPECT_EQ(f.rgWeekFormat.ItemIndex(), 5);  // ymw
  EXPECT_EQ(f.rgDayFormat.ItemIndex(), 5);   // ymd
  EXPECT_EQ(f.rgMonthFormat.ItemIndex(), 1);  // ym
  EXPECT_EQ(f.rgYear.ItemIndex(), 0);
  EXPECT_EQ(f.rgMonth.ItemIndex(), 1);
  EXPECT_EQ(f.rgSeparator.ItemIndex(), 1);
  EXPECT_TRUE(f.chkDatePrecedes.Checked());
  EXPECT_EQ(Preview(), " 2026 12 filename.zip");  // no zip name yet
}

TEST_F(DateFormat, InitialisesFromAnExistingFormat) {
  f.PreviewDay = kDec9;
  f.InitFromDateFormat("mmm-yyyy", "backup");
  EXPECT_EQ(f.rgFNChanges.ItemIndex(), 0);
  EXPECT_EQ(f.rgMonthFormat.ItemIndex(), 0);  // my
  EXPECT_EQ(f.rgMonth.ItemIndex(), 0);
  EXPECT_EQ(f.rgYear.ItemIndex(), 0);
  EXPECT_EQ(f.rgSeparator.ItemIndex(), 0);
  EXPECT_FALSE(f.chkDatePrecedes.Checked());
  EXPECT_EQ(f.ComposeDateFormat(), "mmm-yyyy");
  EXPECT_EQ(Preview(), " backup-Dec-2026.zip");

  f.InitFromDateFormat("dd_mm_yy*", "backup");
  EXPECT_EQ(f.rgFNChanges.ItemIndex(), 2);
  EXPECT_EQ(f.rgDayFormat.ItemIndex(), 0);  // dmy
  EXPECT_EQ(f.rgYear.ItemIndex(), 1);
  EXPECT_EQ(f.rgMonth.ItemIndex(), 1);
  EXPECT_EQ(f.rgSeparator.ItemIndex(), 2);
  EXPECT_TRUE(f.chkDatePrecedes.Checked());
  EXPECT_EQ(f.ComposeDateFormat(), "dd_mm_yy*");
  EXPECT_EQ(Preview(), " 09_12_26_backup.zip");

  f.InitFromDateFormat("yyyy-mm-dd-ww", "backup");  // a day and a week: daily
  EXPECT_EQ(f.rgFNChanges.ItemIndex(), 2);
  EXPECT_TRUE(f.rgDayFormat.Visible());
  EXPECT_FALSE(f.rgWeekFormat.Visible());

  // A format without separator keeps the separator choice as it was.
  f.InitFromDateFormat("yyyymm", "backup");
  EXPECT_EQ(f.rgSeparator.ItemIndex(), 0);
  EXPECT_EQ(f.rgFNChanges.ItemIndex(), 0);
}

TEST_F(DateFormat, EveryOrderOfEverySeparatorComposesAndReadsBack) {
  const std::vector<std::pair<int, std::vector<std::string>>> kinds = {
      {1, {"ww-mm-yyyy", "ww-yyyy-mm", "mm-ww-yyyy", "mm-yyyy-ww", "yyyy-ww-mm", "yyyy-mm-ww"}},
      {2, {"dd-mm-yyyy", "dd-yyyy-mm", "mm-dd-yyyy", "mm-yyyy-dd", "yyyy-dd-mm", "yyyy-mm-dd"}},
      {0, {"mm-yyyy", "yyyy-mm"}}};
  const char seps[] = {'-', ' ', '_'};
  for (const auto& [kind, formats] : kinds) {
    tk::TRadioGroup& order = kind == 1 ? f.rgWeekFormat : kind == 2 ? f.rgDayFormat : f.rgMonthFormat;
    for (int sep = 0; sep < 3; ++sep) {
      for (size_t i = 0; i < formats.size(); ++i) {
        std::string expected = formats[i];
        for (char& c : expected)
          if (c == '-') c = seps[sep];
        // Built by clicks from a different start.
        f.InitFromDateFormat("", "x");
        Choose(f.rgFNChanges, kind);
        Choose(order, static_cast<int>(i));
        Choose(f.rgSeparator, sep);
        SendMessageW(f.chkDatePrecedes.Handle(), BM_CLICK, 0, 0);
        EXPECT_EQ(f.ComposeDateFormat(), expected);
        // Read back from the text on a fresh start.
        f.InitFromDateFormat("", "x");
        f.InitFromDateFormat(expected, "x");
        EXPECT_EQ(f.rgFNChanges.ItemIndex(), kind) << expected;
        EXPECT_EQ(order.ItemIndex(), static_cast<int>(i)) << expected;
        EXPECT_EQ(f.ComposeDateFormat(), expected);
      }
    }
  }
}

TEST_F(DateFormat, ThePreviewFollowsEveryChoice) {
  f.PreviewDay = kDec9;
  f.InitFromDateFormat("yyyy-mm", "backup");
  EXPECT_EQ(Preview(), " backup-2026-12.zip");
  Choose(f.rgMonth, 0);
  EXPECT_EQ(Preview(), " backup-2026-Dec.zip");
  Choose(f.rgYear, 1);
  EXPECT_EQ(Preview(), " backup-26-Dec.zip");
  Choose(f.rgSeparator, 1);
  EXPECT_EQ(Preview(), " backup 26 Dec.zip");
  Choose(f.rgSeparator, 2);
  EXPECT_EQ(Preview(), " backup_26_Dec.zip");
  Choose(f.rgMonthFormat, 0);
  EXPECT_EQ(Preview(), " backup_Dec_26.zip");
  SendMessageW(f.chkDatePrecedes.Handle(), BM_CLICK, 0, 0);
  EXPECT_EQ(Preview(), " Dec_26_backup.zip");
  EXPECT_EQ(f.ComposeDateFormat(), "mmm_yy*");

  // Weekly: only the weekly order group shows, at the one shared place.
  Choose(f.rgFNChanges, 1);
  EXPECT_TRUE(f.rgWeekFormat.Visible());
  EXPECT_FALSE(f.rgMonthFormat.Visible());
  EXPECT_FALSE(f.rgDayFormat.Visible());
  EXPECT_EQ(f.rgMonthFormat.Bounds(), f.rgWeekFormat.Bounds());
  EXPECT_EQ(f.rgDayFormat.Bounds(), f.rgWeekFormat.Bounds());
  Choose(f.rgWeekFormat, 0);
  EXPECT_EQ(Preview(), " Week2_Dec_26_backup.zip");  // the 9th lies in the second week
  Choose(f.rgFNChanges, 2);
  EXPECT_TRUE(f.rgDayFormat.Visible());
  EXPECT_FALSE(f.rgWeekFormat.Visible());
  Choose(f.rgDayFormat, 2);
  EXPECT_EQ(Preview(), " Dec_09_26_backup.zip");
  Choose(f.rgFNChanges, 0);
  EXPECT_TRUE(f.rgMonthFormat.Visible());
  EXPECT_FALSE(f.rgDayFormat.Visible());
  EXPECT_EQ(Preview(), " Dec_26_backup.zip");

  f.rgSeparator.SetItemIndex(-1);  // no choice: a hyphen
  EXPECT_EQ(f.ComposeDateFormat(), "mmm-yy*");
}

TEST_F(DateFormat, TheWeekTextFollowsTheDayOfTheMonth) {
  f.PreviewDay = tk::EncodeDate(2026, 3, 9);
  f.InitFromDateFormat("yyyy-mm-ww", "x");
  EXPECT_EQ(f.rgWeekFormat.ItemIndex(), 5);
  EXPECT_EQ(Preview(), " x-2026-03-Week2.zip");
  f.PreviewDay = tk::EncodeDate(2026, 3, 30);
  f.InitFromDateFormat("yyyy-mm-ww", "x");
  EXPECT_EQ(Preview(), " x-2026-03-Week4.zip");
  f.PreviewDay = tk::EncodeDate(2026, 3, 7);
  f.InitFromDateFormat("ww yyyy mm*", "x");
  EXPECT_EQ(f.rgWeekFormat.ItemIndex(), 1);  // wym
  EXPECT_EQ(Preview(), " Week1 2026 03 x.zip");
}

TEST_F(DateFormat, OKGivesTheComposedFormatAndTheFocusStartsOnTheKind) {
  f.InitFromDateFormat("", "x");
  f.InitFromDateFormat("dd mm yyyy", "x");
  TScript s(f, {TScript::Click(f.rgFNChanges.Button(1)), TScript::Click(f.btnOK)});
  EXPECT_EQ(f.ShowModal(), tk::mrOk);
  ASSERT_TRUE(s.Completed());
  EXPECT_EQ(s.Focus().at(0), f.rgFNChanges.Button(2).Handle());
  EXPECT_EQ(f.ComposeDateFormat(), "yyyy mm ww");  // the weekly default order
  TScript c(f, {TScript::Click(f.btnCancel)});
  EXPECT_EQ(f.ShowModal(), tk::mrCancel);
}
