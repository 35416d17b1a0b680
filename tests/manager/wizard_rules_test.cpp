// The wizard's input rules that guard the stored record: refused profile names
// (none of them creates a key), the key filters, a save that fails, the existing
// zip check, an edit that keeps what the wizard does not show, and a load-and-store
// round trip that normalises only what it must.
#include <gtest/gtest.h>

#include "settings/qbprofile.h"
#include "support/testutil.h"
#include "toolkit/files.h"
#include "wizard_driver.h"

using namespace wiztest;
using qbtest::RegRead;

namespace {

class WizardRules : public testing::Test {
 protected:
  void SetUp() override {
    qbtest::ClearQuillbankKey();
    target = temp / "Zips\\";
    qbtest::MakeDirs(target);
  }
  void TearDown() override { qbtest::ClearQuillbankKey(); }
  // A new profile's wizard, shown, on its last page.
  void ToLastPage(TWizardForm& f) {
    ASSERT_TRUE(f.Open(wzNew));
    f.Show();
    f.scbZipFileDir.SetText(target);
    Enter(f, f.edZipFN, "Rules");
    f.rbRelativePath.SetChecked(true);
    f.edBaseDir.SetText(temp.path());
    for (int i = 0; i < 8; ++i) Click(f.btnNext);
    ASSERT_EQ(f.pcMain.ActivePage(), &f.tsLast);
  }
  std::vector<std::string> Profiles() { return RegSubkeys("Profiles"); }
  qbtest::TempDir temp;
  std::string target;
};

}  // namespace

TEST_F(WizardRules, RefusedProfileNamesKeepTheWizardOpenAndWriteNothing) {
  qbtest::RegWrite("Profiles\\Docs", "pn", "Docs");
  TWizardForm f;
  TBoxAnswerer boxes;
  ToLastPage(f);
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"", "Profile name is empty"},
      {"   ", "Profile name is empty"},
      {"My \"best\"", "Double quotes are not allowed in profile name"},
      {"A\\B", "Characters \\ / : * ? < > | are not allowed in profile name"},
      {"Docs*", "Characters \\ / : * ? < > | are not allowed in profile name"},
      {"a/b", "Characters \\ / : * ? < > | are not allowed in profile name"},
      {"x:y", "Characters \\ / : * ? < > | are not allowed in profile name"},
      {"tempprofile", "Profile with this name is not allowed"},
      {"docs", "A profile with this name already exists"},
  };
  for (const auto& [name, message] : cases) {
    boxes.Said.clear();
    f.edProfileName.SetText(name);
    f.SetModalResult(tk::mrNone);
    Click(f.btnNext);
    Settle();
    EXPECT_EQ(f.ModalResult(), tk::mrNone) << name;
    EXPECT_EQ(boxes.Said, std::vector<std::string>{message}) << name;
  }
  EXPECT_EQ(Profiles(), std::vector<std::string>{"Docs"});
  EXPECT_EQ(RegSubkeys("Profiles\\A"), std::vector<std::string>{});

  // Typed characters: the key is dropped with its message.
  boxes.Said.clear();
  f.edProfileName.SetText("ok");
  f.edProfileName.SetFocus();
  f.edProfileName.SetSelStart(2);
  SendMessageW(f.edProfileName.Handle(), WM_CHAR, '\\', 0);
  SendMessageW(f.edProfileName.Handle(), WM_CHAR, '"', 0);
  SendMessageW(f.edProfileName.Handle(), WM_CHAR, 'x', 0);
  Settle();
  EXPECT_EQ(f.edProfileName.Text(), "okx");
  EXPECT_EQ(boxes.Said, (std::vector<std::string>{"\\ is not allowed in profile name.",
                                                  "Double quotes are not allowed in profile name."}));
  // A name the registry cannot take: the save fails, says so, and leaves no key.
  boxes.Said.clear();
  f.edProfileName.SetText(std::string(300, 'n'));
  f.SetModalResult(tk::mrNone);
  Click(f.btnNext);
  Settle();
  EXPECT_EQ(f.ModalResult(), tk::mrNone);
  ASSERT_EQ(boxes.Said.size(), 1u);
  EXPECT_EQ(boxes.Said[0], "The profile \"" + std::string(300, 'n') + "\" could not be saved");
  EXPECT_EQ(Profiles(), std::vector<std::string>{"Docs"});
  // A good name then goes through.
  f.edProfileName.SetText(" Rules 2 ");
  Click(f.btnNext);
  EXPECT_EQ(f.ModalResult(), tk::mrOk);
  EXPECT_EQ(RegRead("Profiles\\Rules 2", "pn"), "Rules 2");
  f.Hide();
}

TEST_F(WizardRules, ZipNameKeysAndTheExistingZipCheck) {
  TWizardForm f;
  TBoxAnswerer boxes;
  ASSERT_TRUE(f.Open(wzNew));
  f.Show();
  f.scbZipFileDir.SetText(target);
  f.edZipFN.SetFocus();
  for (char c : std::string("Da*t:a?"))
    SendMessageW(f.edZipFN.Handle(), WM_CHAR, static_cast<unsigned char>(c), 0);
  Settle();
  EXPECT_EQ(f.edZipFN.Text(), "Data");
  EXPECT_EQ(boxes.Said, (std::vector<std::string>{"* is not allowed", ": is not allowed", "? is not allowed"}));
  f.btnNext.SetFocus();
  EXPECT_EQ(f.edZipFN.Text(), "Data.zip");
  EXPECT_EQ(f.edProfileName.Text(), "Data");

  qbtest::WriteFile(target + "Data.zip", "PK");
  boxes.Said.clear();
  Click(f.btnNext);
  EXPECT_EQ(f.pcMain.ActivePage(), &f.tsZipFile);
  EXPECT_EQ(boxes.Said, std::vector<std::string>{
                            "ZIP file with this name already exists.\r\nGive some other name or use a different folder."});
  // A dated name is no clash with the undated file, but needs its format.
  f.chkAddCurDate.SetChecked(true);
  EXPECT_TRUE(f.chkDeletePrevZips.Enabled());
  boxes.Said.clear();
  Click(f.btnNext);
  EXPECT_EQ(boxes.Said, std::vector<std::string>{"Specify date format"});
  f.edDateFormat.SetText("yyyy-mm-dd");
  Click(f.btnNext);
  EXPECT_EQ(f.pcMain.ActivePage(), &f.tsHowTo);

  // Extensions to store: blanks and dots dropped, letters in upper case, then trimmed.
  f.mmoStoreSuffixes.SetFocus();
  for (char c : std::string(" .jp g\r"))
    SendMessageW(f.mmoStoreSuffixes.Handle(), WM_CHAR, static_cast<unsigned char>(c), 0);
  EXPECT_EQ(f.mmoStoreSuffixes.Text(), "JPG\r\n");
  f.btnNext.SetFocus();
  EXPECT_EQ(f.mmoStoreSuffixes.Text(), "JPG");
  f.Hide();
}

TEST_F(WizardRules, EditKeepsHiddenFieldsAndTheRoundTripNormalisesOnlyWhatItMust) {
  // A stored profile with values the wizard shows differently.
  const std::string key = "Profiles\\Old";
  qbtest::RegWrite(key, "pn", "Old");
  qbtest::RegWrite(key, "zf", target + "Old.zip");
  qbtest::RegWrite(key, "b", "00000110001001001000");  // current month
  qbtest::RegWrite(key, "il", "C:\\Data\\*.*");
  qbtest::RegWrite(key, "cf", "15");
  qbtest::RegWrite(key, "ecmd", "2");
  qbtest::RegWrite(key, "adt", "-7.9");
  qbtest::RegWrite(key, "ztk", "1");
  qbtest::RegWrite(key, "nrl", "-3");
  qbtest::RegWrite(key, "lrun", "46000.5");
  qbtest::RegWrite(key, "ec", "");
  qbtest::WriteFile(target + "Old.zip", "PK");  // its own zip is no clash in edit mode

  TWizardForm f;
  TBoxAnswerer boxes;
  ASSERT_TRUE(f.Open(wzEdit, "Old"));
  EXPECT_EQ(f.Caption(), "Edit Profile");
  f.Show();
  EXPECT_FALSE(f.edProfileName.Enabled());
  EXPECT_TRUE(f.chkUseDeflate64.Checked());
  EXPECT_EQ(f.tbCompFactor.Position(), 5);
  EXPECT_EQ(f.rgUpdateMode.ItemIndex(), 1);
  EXPECT_EQ(f.cbAfterDate.ItemIndex(), 1);
  EXPECT_FALSE(f.chkDeletePrevZips.Checked());
  for (int i = 0; i < 8; ++i) Click(f.btnNext);
  Settle();
  ASSERT_EQ(f.pcMain.ActivePage(), &f.tsLast) << (boxes.Said.empty() ? "" : boxes.Said.front());
  Click(f.btnNext);
  EXPECT_EQ(f.ModalResult(), tk::mrOk);
  EXPECT_TRUE(boxes.Said.empty()) << boxes.Said.front();
  EXPECT_EQ(RegRead(key, "cf"), "15");
  EXPECT_EQ(RegRead(key, "ecmd"), "<missing>");  // became Update (3), the default
  EXPECT_EQ(RegRead(key, "adt"), "<missing>");   // the month flag wins, adt 0
  EXPECT_EQ(RegRead(key, "b"), "00000110001001001000");
  EXPECT_EQ(RegRead(key, "ztk"), "<missing>");
  EXPECT_EQ(RegRead(key, "nrl"), "<missing>");
  EXPECT_EQ(RegRead(key, "lrun"), "46000.5");  // not the wizard's to change
  EXPECT_EQ(RegRead(key, "il"), "C:\\Data\\*.*");
  f.Hide();

  // Days in the past: -7.9 loads as 7 days and stores -7; view mode stores nothing.
  qbtest::RegWrite(key, "b", "00000110001001000000");
  qbtest::RegWrite(key, "adt", "-7.9");
  ASSERT_TRUE(f.Open(wzView, "Old"));
  EXPECT_EQ(f.cbAfterDate.ItemIndex(), 4);
  EXPECT_EQ(f.udAfterDate.Position(), 7);
  f.Show();
  for (int i = 0; i < 8; ++i) Click(f.btnNext);
  EXPECT_FALSE(f.btnNext.Enabled());
  EXPECT_EQ(RegRead(key, "adt"), "-7.9");
  f.Hide();
  ASSERT_TRUE(f.Open(wzEdit, "Old"));
  f.Show();
  for (int i = 0; i < 9; ++i) Click(f.btnNext);
  EXPECT_EQ(RegRead(key, "adt"), "-7");
  f.Hide();
  // A profile that is not there cannot be opened.
  boxes.Said.clear();
  EXPECT_FALSE(f.Open(wzEdit, "Missing"));
  Settle();
  EXPECT_EQ(boxes.Said, std::vector<std::string>{"The profile \"Missing\" does not exist"});
}
