// The profile wizard driven through its pages for an ordinary, a multi-computer and
// a store-and-zip profile; Finish stores the record, read back from the registry
// (values at their defaults are not written, the others are). Also the include and
// exclude entries with their dialog, and the volume labels of the target drive.
#include <gtest/gtest.h>

#include "settings/qbprofile.h"
#include "support/testutil.h"
#include "toolkit/files.h"
#include "toolkit/stringlist.h"
#include "wizard_driver.h"

using namespace wiztest;
using qbtest::RegRead;

namespace {

class Wizard : public testing::Test {
 protected:
  void SetUp() override {
    qbtest::ClearQuillbankKey();
    src = temp / "Source\\";
    qbtest::MakeDirs(src + "Sub");
    target = temp / "Zips\\";
    qbtest::MakeDirs(target);
  }
  void TearDown() override { qbtest::ClearQuillbankKey(); }
  qbtest::TempDir temp;
  std::string src, target;
};

}  // namespace

TEST_F(Wizard, OrdinaryProfileWalksEveryPageAndFinishStoresTheRecord) {
  qbtest::RegWrite("ExFilters", "Temp files", "*.tmp");
  qbtest::RegWrite("ExFilters", "Backups", "*.bak");
  TWizardForm f;
  TBoxAnswerer boxes;
  boxes.Wizard = &f;
  ASSERT_TRUE(f.Open(wzNew));
  EXPECT_EQ(f.Caption(), "Create New Profile");
  std::vector<std::string> titles;
  bool backOnFirst = true, finishShown = false;
  std::string helpOnItems;
  auto next = [&] {
    titles.push_back(Title(f));
    Click(f.btnNext);
  };
  TSteps steps(f, {
      [&] {
        backOnFirst = f.btnBack.Enabled();
        f.scbZipFileDir.SetText("");  // the box keeps its last text from earlier uses
        Click(f.btnNext);             // no folder: refused
      },
      [&] {
        f.scbZipFileDir.SetText(target);
        Enter(f, f.edZipFN, "Docs");
        next();
      },
      [&] {
        f.rgUpdateMode.SetItemIndex(0);  // Add
        next();
      },
      [&] {
        f.rbRelativePath.SetChecked(true);
        f.edBaseDir.SetText(src);
        next();  // an empty include list gets *.*
      },
      [&] {
        helpOnItems = f.HelpTopic();
        boxes.FillSpec = [&](TFSpecForm& d) {
          d.scbPath.SetText(src + "Sub");
          d.rbThisFileType.SetChecked(true);
          d.edName.SetText("*");
          d.scbExt.SetText("txt");
        };
        Click(f.tbAdd);
        next();
      },
      [&] {
        boxes.FillSpec = [&](TFSpecForm& d) {
          d.scbPath.SetText("");
          d.rbThisFileType.SetChecked(true);
          d.edName.SetText("*");
          d.scbExt.SetText("tmp");
        };
        Click(f.tbAddEx);
        f.lvExcludeFilters.SetChecked(1, true);
        next();
      },
      [&] {
        f.mmoStoreSuffixes.SetText("JPG\r\nPNG\r\n");
        next();
      },
      [&] {
        f.cbAfterDate.SetItemIndex(4);
        f.cbAfterDateChange();
        f.udAfterDate.SetPosition(7);
        next();
      },
      [&] {
        f.tbCompFactor.SetPosition(8);
        f.chkUseDeflate64.SetChecked(true);
        next();
      },
      [&] {
        finishShown = f.btnNext.Caption() == "Finish";
        f.chkLogZipResults.SetChecked(true);
        f.udNoOfRunLogs.SetPosition(3);
        next();
      },
  });
  EXPECT_EQ(f.ShowModal(), tk::mrOk);
  EXPECT_TRUE(steps.Done());
  EXPECT_FALSE(backOnFirst);
  EXPECT_TRUE(finishShown);
  EXPECT_EQ(helpOnItems, "wiz_page4");
  ASSERT_EQ(boxes.Said.size(), 1u);
  EXPECT_EQ(boxes.Said[0], "Specify ZIP file path");
  EXPECT_EQ(titles, (std::vector<std::string>{"Name the ZIP file", "How to run?", "Folder info in ZIP file?",
                                              "File specs to add", "File specs/filters to exclude",
                                              "Store or re-compress?", "What to include?", "Zipping options",
                                              "Final stuff"}));

  const std::string key = "Profiles\\Docs";
  EXPECT_EQ(RegRead(key, "pn"), "Docs");
  EXPECT_EQ(RegRead(key, "zf"), target + "Docs.zip");
  EXPECT_EQ(RegRead(key, "b"), DefaultProfileFlags);
  EXPECT_EQ(RegRead(key, "cf"), "18");
  EXPECT_EQ(RegRead(key, "ecmd"), "4");
  EXPECT_EQ(RegRead(key, "bdir"), src);
  EXPECT_EQ(RegRead(key, "il"), "*.*,Sub\\*.txt");
  EXPECT_EQ(RegRead(key, "ef"), "*.tmp");
  EXPECT_EQ(RegRead(key, "efil"), tk::ToCommaText({f.lvExcludeFilters.ItemCaption(1)}));
  EXPECT_EQ(RegRead(key, "ssuf"), "JPG,PNG");
  EXPECT_EQ(RegRead(key, "adt"), "-7");
  EXPECT_EQ(RegRead(key, "nrl"), "3");
  for (const char* unwritten : {"ztk", "ml", "cns", "ec", "cmt", "zfndf", "ze", "te", "lrun", "ltst", "lzs"})
    EXPECT_EQ(RegRead(key, unwritten), "<missing>") << unwritten;
  EXPECT_EQ(f.StoredProfile().pn, "Docs");
}

TEST_F(Wizard, MultiComputerProfileSkipsTheFolderPageAndAsksForComputers) {
  TWizardForm f;
  TBoxAnswerer boxes;
  ASSERT_TRUE(f.Open(wzNewMc));
  f.Show();
  EXPECT_TRUE(f.chkMcProfile.Checked());
  EXPECT_EQ(f.lblZipFN.Caption(), "Share name to backup (also ZIP's name)");
  f.scbZipFileDir.SetText(target);
  Enter(f, f.edZipFN, "Share.zip");
  EXPECT_EQ(f.edZipFN.Text(), "Share.zip");  // a share name keeps what was typed...
  f.chkMcProfile.Click();                    // ...until the box's rule drops ".zip"
  EXPECT_EQ(f.edZipFN.Text(), "Share");
  EXPECT_EQ(f.edProfileName.Text(), "");  // not taken from a share name
  Click(f.btnNext);
  Click(f.btnNext);
  EXPECT_EQ(f.pcMain.ActivePage(), &f.tsItemList);
  EXPECT_EQ(f.HelpTopic(), "wiz_page10");
  EXPECT_TRUE(f.mmoCNS.Visible());
  EXPECT_FALSE(f.lvItemList.Visible());
  Click(f.btnNext);
  f.mmoCNS.SetText("PC1\r\npc1");
  Click(f.btnNext);
  f.mmoCNS.SetText("PC1\r\n \r\nPC2");
  Click(f.btnNext);
  EXPECT_EQ(f.pcMain.ActivePage(), &f.tsItemList);
  f.mmoCNS.SetText("PC1\r\nPC2");
  Click(f.btnNext);
  EXPECT_EQ(f.pcMain.ActivePage(), &f.tsExcludeFollowing);
  Click(f.btnBack);
  Click(f.btnBack);
  EXPECT_EQ(f.pcMain.ActivePage(), &f.tsHowTo);  // back past the folder page too
  Click(f.btnNext);
  Click(f.btnNext);
  f.lvExcludeFollowing.AddItem("C:\\Temp\\*.tmp");
  Click(f.btnNext);
  EXPECT_EQ(f.pcMain.ActivePage(), &f.tsExcludeFollowing);
  f.lvExcludeFollowing.SetItemCaption(0, "*.tmp");
  for (int i = 0; i < 4; ++i) Click(f.btnNext);
  ASSERT_EQ(f.pcMain.ActivePage(), &f.tsLast);
  Enter(f, f.edProfileName, "  Office ");
  Click(f.btnNext);
  Settle();
  EXPECT_EQ(boxes.Said, (std::vector<std::string>{"No computer names specified.", "Computer names are repeated",
                                                  "Invalid input in computer names",
                                                  "Full path can't be excluded for multi computer profiles."}));
  const std::string key = "Profiles\\Office";
  EXPECT_EQ(RegRead(key, "pn"), "Office");
  EXPECT_EQ(RegRead(key, "zf"), target + "Share.zip");
  EXPECT_EQ(RegRead(key, "cns"), "PC1,PC2");
  EXPECT_EQ(RegRead(key, "ef"), "*.tmp");
  EXPECT_EQ(RegRead(key, "il"), "<missing>");
  EXPECT_EQ(RegRead(key, "bdir"), "<missing>");
  EXPECT_EQ(RegRead(key, "ecmd"), "<missing>");  // Update, the default
  f.Hide();
}

// Edited and stored again, a share name with a dot and the folder of an exclude row without
// a base folder stay whole.
TEST_F(Wizard, AShareNameWithADotAndAnExcludeRowsFolderStayWhole) {
  for (const auto& [name, value] : std::vector<std::pair<std::string, std::string>>{
           {"pn", "Mc"}, {"zf", target + "data.old.zip"}, {"cns", "PC1"}, {"ef", "Sub\\*.tmp"}})
    qbtest::RegWrite("Profiles\\Mc", name, value);
  TWizardForm f;
  TBoxAnswerer boxes;
  boxes.Wizard = &f;
  ASSERT_TRUE(f.Open(wzEdit, "Mc"));
  f.Show();
  boxes.Answer = "Yes";  // the relative folder is kept though it is not there
  f.lvExcludeFollowing.SetItemIndex(0);
  Click(f.tbEditEx);
  TQbProfile stored;
  ASSERT_TRUE(f.FormToProfile(&stored));
  EXPECT_EQ(stored.zf, target + "data.old.zip");
  EXPECT_EQ(stored.ef, "Sub\\*.tmp") << tk::JoinLines(boxes.Said);
  f.Hide();
}

TEST_F(Wizard, StoreAndZipProfileAddsOnlySkipsTheSuffixPageAndRefusesNoCompression) {
  TWizardForm f;
  TBoxAnswerer boxes;
  ASSERT_TRUE(f.Open(wzNew));
  f.Show();
  f.scbZipFileDir.SetText(target);
  Enter(f, f.edZipFN, "Store");
  f.chkStoreAndZip.SetChecked(true);
  EXPECT_TRUE(f.imgSAZ.Visible());
  Click(f.btnNext);
  EXPECT_EQ(f.rgUpdateMode.ItemIndex(), 0);  // Add
  EXPECT_FALSE(f.chkDeleteOriginal.Enabled());
  f.rgUpdateMode.SetItemIndex(1);  // Update is refused
  EXPECT_EQ(f.rgUpdateMode.ItemIndex(), 0);
  EXPECT_TRUE(f.chkDeleteZipBeforeRunning.Enabled());
  f.chkDeleteZipBeforeRunning.SetChecked(true);
  Click(f.btnNext);
  Click(f.btnNext);
  f.lvItemList.AddItem(src + "*.*");
  Click(f.btnNext);
  Click(f.btnNext);
  EXPECT_EQ(f.pcMain.ActivePage(), &f.tsArchiveAttr);  // past the suffix page
  Click(f.btnBack);
  EXPECT_EQ(f.pcMain.ActivePage(), &f.tsExcludeFollowing);
  Click(f.btnNext);
  Click(f.btnNext);
  f.tbCompFactor.SetPosition(0);
  EXPECT_EQ(f.lblCompression.Caption(), "Stored (Fastest)");
  Click(f.btnNext);
  EXPECT_EQ(f.pcMain.ActivePage(), &f.tsCompFactor);
  f.tbCompFactor.SetPosition(3);
  EXPECT_EQ(f.tbCompFactor.SelEnd(), 3);
  Click(f.btnNext);
  EXPECT_EQ(f.edProfileName.Text(), "Store");
  Click(f.btnNext);
  Settle();
  EXPECT_EQ(boxes.Said, (std::vector<std::string>{"Store-and-zip ZIP files can not be updated",
                                                  "Zero compression is not allowed when using store-and-zip."}));
  const std::string key = "Profiles\\Store";
  TQbProfile expect;
  expect.b->SetFlag(poStoreAndZip, true);
  expect.b->SetFlag(poDeleteZipFirst, true);
  EXPECT_EQ(RegRead(key, "b"), expect.b->GetValue());
  EXPECT_EQ(RegRead(key, "ecmd"), "4");
  EXPECT_EQ(RegRead(key, "cf"), "3");
  EXPECT_EQ(RegRead(key, "il"), src + "*.*");
  f.Hide();
}

TEST_F(Wizard, EntriesEditThroughTheDialogRelativeToTheBaseFolderAndFiltersAreTicked) {
  const std::string base = temp / "Work\\";
  qbtest::MakeDirs(base + "Docs");
  const std::string other = temp / "Other\\";
  qbtest::MakeDirs(other);
  qbtest::RegWrite("ExFilters", "Logs", "*.log");
  qbtest::RegWrite("Profiles\\Lists", "pn", "Lists");
  qbtest::RegWrite("Profiles\\Lists", "zf", target + "Lists.zip");
  qbtest::RegWrite("Profiles\\Lists", "bdir", base);
  qbtest::RegWrite("Profiles\\Lists", "il", "Docs\\*.txt,C:\\Data\\README");
  qbtest::RegWrite("Profiles\\Lists", "ef", "*.tmp");
  qbtest::RegWrite("Profiles\\Lists", "efil", "Gone,logs");

  TWizardForm f;
  TBoxAnswerer boxes;
  boxes.Wizard = &f;
  ASSERT_TRUE(f.Open(wzEdit, "Lists"));
  f.Show();
  // A ticked filter that no longer exists is not listed; the header counts the ticks.
  ASSERT_EQ(f.lvExcludeFilters.Count(), 1);
  EXPECT_TRUE(f.lvExcludeFilters.Checked(0));
  EXPECT_EQ(f.lvExcludeFilters.ColumnCaption(0), "Exclude filters (1 selected)");
  f.lvExcludeFilters.SetChecked(0, false);
  EXPECT_EQ(f.lvExcludeFilters.ColumnCaption(0), "Exclude filters");
  f.lvExcludeFilters.SetChecked(0, true);
  f.lvExcludeFilters.SetItemIndex(0);
  EXPECT_EQ(f.lvExcludeFilters.SelCount(), 0);  // rows are ticked, never selected

  // Edit buttons follow the selection.
  EXPECT_FALSE(f.tbEdit.Enabled());
  f.lvItemList.SetItemIndex(0);
  EXPECT_TRUE(f.tbEdit.Enabled());

  // The relative row shows under the base folder and stores back unchanged.
  std::string shownPath, shownName, shownExt;
  bool optionalShown = true;
  boxes.FillSpec = [&](TFSpecForm& d) {
    shownPath = d.scbPath.Text();
    shownName = d.edName.Text();
    shownExt = d.scbExt.Text();
    optionalShown = d.lblPathOptional.Visible();
  };
  Click(f.tbEdit);
  Settle();
  EXPECT_EQ(shownPath, base + "Docs\\");
  EXPECT_EQ(shownName, "*");
  EXPECT_EQ(shownExt, "txt");
  EXPECT_TRUE(optionalShown);  // a base folder makes the path optional
  EXPECT_EQ(f.lvItemList.ItemCaption(0), "Docs\\*.txt");

  // A folder outside the base folder, and the base folder itself, leave only the pattern.
  for (const std::string& path : {other, base}) {
    boxes.FillSpec = [&](TFSpecForm& d) {
      d.scbPath.SetText(path);
      d.rbAllFileTypes.SetChecked(true);
    };
    Click(f.tbEdit);
    Settle();
    EXPECT_EQ(f.lvItemList.ItemCaption(0), "*.*") << path;
  }

  // An exclude row without a folder edits with an empty path, the path optional.
  f.lvExcludeFollowing.SetItemIndex(0);
  boxes.FillSpec = [&](TFSpecForm& d) {
    shownPath = d.scbPath.Text();
    shownName = d.edName.Text();
    shownExt = d.scbExt.Text();
    optionalShown = d.lblPathOptional.Visible();
  };
  Click(f.tbEditEx);
  Settle();
  EXPECT_EQ(shownPath, "");
  EXPECT_EQ(shownName, "*");
  EXPECT_EQ(shownExt, "tmp");
  EXPECT_TRUE(optionalShown);
  Click(f.tbDeleteEx);
  EXPECT_EQ(f.lvExcludeFollowing.Count(), 0);
  EXPECT_FALSE(f.tbEditEx.Enabled());

  EXPECT_TRUE(TWizardForm::MakeRelativePath("c:\\work\\docs", "C:\\Work", *&shownPath));
  EXPECT_EQ(shownPath, "docs\\");
  EXPECT_FALSE(TWizardForm::MakeRelativePath("C:\\Work", "C:\\Work\\", shownPath));
  EXPECT_FALSE(TWizardForm::MakeRelativePath("C:\\Workshop\\", "C:\\Work\\", shownPath));

  TQbProfile p;
  ASSERT_TRUE(f.FormToProfile(&p));
  EXPECT_EQ(p.efil, "Logs");
  EXPECT_EQ(p.il, "*.*,C:\\Data\\README");
  EXPECT_EQ(p.ef, "");
  EXPECT_TRUE(boxes.Said.empty()) << boxes.Said.front();
  f.Hide();
}

// The test run gives drive L: the label QBMEDIA and drive N: none.
TEST_F(Wizard, VolumeLabelsAreCollectedFromTheTargetDrive) {
  TWizardForm f;
  TBoxAnswerer boxes;
  boxes.Answer = "Yes";
  ASSERT_TRUE(f.Open(wzNew));
  f.Show();
  EXPECT_FALSE(f.edMediaLabel.Enabled());
  f.chkCheckVolumeLabel.SetChecked(true);
  EXPECT_TRUE(f.btnMediaLabel.Enabled());
  f.scbZipFileDir.SetText("");
  Click(f.btnMediaLabel);  // no target folder: nothing asked
  Settle();
  EXPECT_TRUE(boxes.Said.empty());

  f.scbZipFileDir.SetText("L:\\Backups\\");
  Click(f.btnMediaLabel);
  EXPECT_EQ(f.edMediaLabel.Text(), "QBMEDIA");
  Click(f.btnMediaLabel);
  f.edMediaLabel.SetText("Other; qbmedia");
  Click(f.btnMediaLabel);
  f.edMediaLabel.SetText("Other");
  Click(f.btnMediaLabel);
  EXPECT_EQ(f.edMediaLabel.Text(), "Other;QBMEDIA");
  boxes.Answer = "No";
  f.edMediaLabel.SetText("");
  Click(f.btnMediaLabel);
  EXPECT_EQ(f.edMediaLabel.Text(), "");
  boxes.Answer = "Yes";
  f.scbZipFileDir.SetText("N:\\");
  Click(f.btnMediaLabel);
  Settle();
  const std::string ask = "Add volume label from the target media?";
  EXPECT_EQ(boxes.Said, (std::vector<std::string>{ask, ask, "Volume label \"QBMEDIA\" is already added", ask,
                                                  "Volume label \"QBMEDIA\" is already added", ask, ask, ask,
                                                  "No media or volume-label exists"}));
  // The page check wants a label while the box is ticked; unticking empties the field.
  boxes.Said.clear();
  f.scbZipFileDir.SetText(target);
  Enter(f, f.edZipFN, "Labels");
  Click(f.btnNext);
  Click(f.btnNext);
  EXPECT_EQ(f.pcMain.ActivePage(), &f.tsHowTo);
  EXPECT_EQ(boxes.Said, std::vector<std::string>{"Specify media's volume label"});
  f.edMediaLabel.SetText("QBMEDIA");
  f.chkCheckVolumeLabel.SetChecked(false);
  EXPECT_EQ(f.edMediaLabel.Text(), "");
  EXPECT_FALSE(f.edMediaLabel.Enabled());
  f.Hide();
}

TEST_F(Wizard, TheAfterDateControlsShowWholeWithinTheirPage) {
  TWizardForm f;
  ASSERT_TRUE(f.Open(wzNew));
  f.cbAfterDate.SetItemIndex(2);  // "Modified in current week"
  f.cbAfterDateChange();
  ASSERT_TRUE(f.lblWeek.Visible());
  const tk::TBounds week = f.lblWeek.Bounds();
  EXPECT_GT(week.Width, 0);
  EXPECT_LE(week.Left + week.Width, f.tsArchiveAttr.ClientWidth());
  const auto apart = [&week](const tk::TControl& c) {
    const tk::TBounds b = c.Bounds();
    return week.Left + week.Width <= b.Left || b.Left + b.Width <= week.Left || week.Top + week.Height <= b.Top ||
           b.Top + b.Height <= week.Top;
  };
  EXPECT_TRUE(apart(f.cbAfterDate));
  EXPECT_TRUE(apart(f.imgAfterDate));
  EXPECT_TRUE(apart(f.chkIncludeSysHidden));
  // The number of days shows every digit of its largest value beside its arrows.
  f.cbAfterDate.SetItemIndex(4);
  f.cbAfterDateChange();
  ASSERT_TRUE(f.edAfterDate.Visible());
  f.udAfterDate.SetPosition(f.udAfterDate.Max());
  EXPECT_EQ(f.edAfterDate.Text(), "1000");
  EXPECT_TRUE(qbtest::EditShowsAllItsText(f.edAfterDate.Handle()));
}

// A password or media labels stored so that they cannot be read are named when the profile
// is opened, and a save keeps each as it is stored until it is given a new one.
TEST_F(Wizard, UnreadableGuardedValuesAreNamedAndKeptUntilSetAnew) {
  qbtest::RegWrite("Profiles\\Guard", "pn", "Guard");
  qbtest::RegWrite("Profiles\\Guard", "zf", target + "Guard.zip");
  qbtest::RegWrite("Profiles\\Guard", "il", src + "*.*");
  for (const wchar_t* value : {L"ec", L"ml"})
    RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\Quillbank\\Profiles\\Guard", value, REG_BINARY, "QB", 2);
  TWizardForm f;
  TBoxAnswerer boxes;
  ASSERT_TRUE(f.Open(wzEdit, "Guard"));
  const std::string said = tk::JoinLines(boxes.Said);
  EXPECT_TRUE(boxes.Said.size() == 1 && said.find("Value \"ec\" in Profiles\\Guard is not stored") != said.npos &&
              said.find("Value \"ml\" in Profiles\\Guard is not stored") != said.npos) << said;
  f.RealPassDialog1.Password = "new";  // the medium labels are left as they are
  TSteps steps(f, std::vector<std::function<void()>>(12, [&] { Click(f.btnNext); }));
  EXPECT_EQ(f.ShowModal(), tk::mrOk);
  TQbProfile p;
  p.LoadFromRegistry("Guard");
  EXPECT_EQ(p.ec, "new");
  EXPECT_TRUE(p.UnreadableGuards().size() == 1 && p.UnreadableGuards()[0].find("\"ml\"") != std::string::npos);
}
