// The converter's pieces in-process: the switch, the old record as read from the old
// root, the mapping onto the current record, the ComboBox.ini move and the message.
#include <windows.h>
#include <gtest/gtest.h>

#include <memory>

#include "migrator/converter.h"
#include "migrator/fernoprofile.h"
#include "settings/foconsts.h"
#include "settings/qbprofile.h"
#include "settings/vglobal.h"
#include "support/testutil.h"
#include "toolkit/format.h"
#include "toolkit/reginifile.h"
#include "toolkit/strings.h"

namespace {

void DeleteOldRoot() {
  RegDeleteTreeW(HKEY_CURRENT_USER, tk::Widen(OldQuillbankRootKey).c_str());
  RegDeleteKeyW(HKEY_CURRENT_USER, tk::Widen(OldQuillbankRootKey).c_str());
}

class OldRecord : public ::testing::Test {
 protected:
  void SetUp() override {
    Clean();
    old_ = std::make_unique<tk::TRegIniFile>(OldQuillbankRootKey);
  }
  void TearDown() override {
    old_.reset();
    Clean();
  }
  static void Clean() {
    tk::SetDecimalSeparator('.');
    SetNewRegistryNames();
    qbtest::ClearQuillbankKey();
    DeleteOldRoot();
  }
  std::unique_ptr<tk::TRegIniFile> old_;
};

}  // namespace

TEST(ConvertSwitch, NeedsDashOrSlashInAnyCase) {
  EXPECT_TRUE(HasConvertSwitch({"-convert"}));
  EXPECT_TRUE(HasConvertSwitch({"x", "/CONVERT"}));
  EXPECT_TRUE(HasConvertSwitch({"-Convert"}));
  EXPECT_FALSE(HasConvertSwitch({}));
  EXPECT_FALSE(HasConvertSwitch({"-converts"}));
  EXPECT_FALSE(HasConvertSwitch({"-"}));
  EXPECT_FALSE(HasConvertSwitch({"+convert"}));
}

TEST_F(OldRecord, MissingKeyGivesTheOldDefaults) {
  TZipProfile p;
  p.AddCompLevel = 1;
  p.AddUpdate = false;
  EXPECT_TRUE(p.LoadFromRegistry(*old_, "Nothing"));
  EXPECT_EQ(p.AddCompLevel, 6);
  EXPECT_TRUE(p.AddDirNames);
  EXPECT_TRUE(p.AddHiddenFiles);
  EXPECT_TRUE(p.AddUpdate);
  EXPECT_TRUE(p.RunOK);
  EXPECT_EQ(p.AddStoreSuffixes, OldDefaultStoreSuffixes);
  EXPECT_EQ(p.FSpecArgs.Count(), 0);
  EXPECT_EQ(p.Comment, "");
  EXPECT_EQ(p.LastRun, 0);
}

TEST_F(OldRecord, ReadsListsCommentPasswordAndSuffixes) {
  old_->WriteString("P", "AddStoreSuffixes", "zip rar");
  old_->WriteString("P", "FSpecArgsCount", "2");
  old_->WriteString("P", "FSpecArgs0", ">C:\\A\\*.*");
  old_->WriteString("P", "FSpecArgs1", " C:\\B\\*.txt");
  old_->WriteString("P", "FSpecArgs2", "beyond the count");
  old_->WriteString("P", "CommentLineCount", "2");
  old_->WriteString("P", "CommentLine0", "First, line");
  old_->WriteString("P", "CommentLine1", "Second");
  // Stored as the old programs did: ANSI bytes, each inverted.
  old_->WriteString("P", "Password", tk::Narrow(tk::AnsiBytesToWide(InvertChars("S\xe9same"))));
  TZipProfile p;
  ASSERT_TRUE(p.LoadFromRegistry(*old_, "P"));
  EXPECT_EQ(p.AddStoreSuffixes, " ZIP RAR");
  ASSERT_EQ(p.FSpecArgs.Count(), 2);
  EXPECT_EQ(p.FSpecArgs[1], " C:\\B\\*.txt");
  EXPECT_EQ(p.Comment, "First, line\r\nSecond\r\n");
  EXPECT_EQ(p.Password, tk::Narrow(tk::AnsiBytesToWide("S\xe9same")));
}

TEST_F(OldRecord, DayCountsUseTheSeparatorInForceOrThePointForm) {
  old_->WriteString("P", "LastRun", "38500,5");
  old_->WriteString("P", "LastTested", "38501.25");
  tk::SetDecimalSeparator(',');
  TZipProfile p;
  EXPECT_TRUE(p.LoadFromRegistry(*old_, "P"));
  EXPECT_DOUBLE_EQ(p.LastRun, 38500.5);
  EXPECT_DOUBLE_EQ(p.LastTested, 38501.25);
  tk::SetDecimalSeparator('.');
  EXPECT_FALSE(p.LoadFromRegistry(*old_, "P"));  // a comma is no separator now
  EXPECT_EQ(p.LastRun, 0);
}

TEST_F(OldRecord, DayCountThatIsNoNumberIsNamedAndTheRestLoads) {
  old_->WriteString("P", "LastRun", "yesterday");
  old_->WriteString("P", "ZipFileName", "D:\\x.zip");
  TZipProfile p;
  std::string error;
  EXPECT_FALSE(p.LoadFromRegistry(*old_, "P", &error));
  EXPECT_EQ(p.LastRun, 0);
  EXPECT_EQ(p.ZipFileName, "D:\\x.zip");
  EXPECT_NE(error.find("LastRun"), std::string::npos);
  EXPECT_NE(error.find("yesterday"), std::string::npos);
}

TEST(ConvertOldProfileMapping, DefaultOldRecordGivesTheNewDefaultsButRecursion) {
  TZipProfile o;
  o.ProfileName = "A";
  TQbProfile n;
  std::string list;
  ConvertOldProfile(o, n, &list);
  EXPECT_EQ(n.b->GetValue(), "00000010000001000000");
  EXPECT_EQ(n.cf, 5);
  EXPECT_EQ(n.ecmd, 3);
  EXPECT_EQ(n.ef, "");
  EXPECT_EQ(n.il, "");
  EXPECT_EQ(n.cmt, "");
  EXPECT_EQ(n.lzs, -2);
  EXPECT_EQ(list, "");
}

TEST(ConvertOldProfileMapping, LevelsUpdateModeAndArchiveBit) {
  TZipProfile o;
  TQbProfile n;
  std::string list;
  o.ProfileName = "Nine";
  o.AddCompLevel = 9;
  o.AddFreshen = true;  // freshen wins over update
  o.AddResetArchive = true;
  o.AddArchiveOnly = true;
  ConvertOldProfile(o, n, &list);
  EXPECT_EQ(n.cf, 9);
  EXPECT_EQ(n.ecmd, 1);
  EXPECT_TRUE(n.b->GetFlag(poArchiveOnly));
  EXPECT_TRUE(n.b->GetFlag(poClearArchive));
  EXPECT_EQ(list, "");

  TZipProfile r;
  r.ProfileName = "Reset";
  r.AddResetArchive = true;
  r.AddUpdate = false;
  TQbProfile m;
  ConvertOldProfile(r, m, &list);
  EXPECT_FALSE(m.b->GetFlag(poClearArchive));
  EXPECT_EQ(m.ecmd, 4);
  EXPECT_EQ(list, "Reset\r\n");
  ConvertOldProfile(r, m, &list);
  EXPECT_EQ(list, "Reset\r\nReset\r\n");
}

TEST(ConvertOldProfileMapping, SpecificationsLoseOnlyTheirMark) {
  TZipProfile o;
  o.FSpecArgs.Add(" C:\\My Data\\*.*");
  o.FSpecArgs.Add("C:\\Notes\\*.txt");  // no mark: the drive letter stays
  o.FSpecArgsExcl.Add("*.tmp");
  o.FSpecArgsExcl.Add("C:\\My Data\\cache");
  o.Comment = "Hello world\r\nTwo\r\n";
  TQbProfile n;
  ConvertOldProfile(o, n, nullptr);
  EXPECT_FALSE(n.b->GetFlag(poRecurse));  // no ">" entry
  EXPECT_EQ(n.il, "\"C:\\My Data\\*.*\",C:\\Notes\\*.txt");
  EXPECT_EQ(n.ef, "*.tmp,\"C:\\My Data\\cache\"");
  EXPECT_EQ(n.cmt, "\"Hello world\",Two");
}

TEST(ComboBoxIni, MovedOnceAndNeverOverwritten) {
  qbtest::TempDir appData, program;
  qbtest::WriteFile(program / "ComboBox.ini", "old history");
  MoveComboBoxIni(appData.path(), program.path());
  EXPECT_EQ(qbtest::ReadFile(appData / "Quillbank\\ComboBox.ini"), "old history");
  EXPECT_FALSE(qbtest::Exists(program / "ComboBox.ini"));

  qbtest::WriteFile(program / "ComboBox.ini", "another");
  MoveComboBoxIni(appData.path(), program.path());
  EXPECT_EQ(qbtest::ReadFile(appData / "Quillbank\\ComboBox.ini"), "old history");
  EXPECT_EQ(qbtest::ReadFile(program / "ComboBox.ini"), "another");

  MoveComboBoxIni("", program.path());  // no application-data folder: nothing
  EXPECT_TRUE(qbtest::Exists(program / "ComboBox.ini"));
}

TEST(FinalMessage, ListsOnlyWhatHappened) {
  TConvertReport r;
  const std::string head = "Profiles & settings have been copied to \"New Format\".\r\n\r\n";
  EXPECT_EQ(FinalMessage(r), head);
  r.ArchiveBitProfiles = "A\r\nB\r\n";
  EXPECT_EQ(FinalMessage(r), head +
                                 "The following profiles used \"Clear archive bit\" without\r\n"
                                 "using \"Include archive only\". That is NOT possible now.\r\n\r\n"
                                 "A\r\nB\r\n");
  r.ArchiveBitProfiles.clear();
  r.MissingProfiles = "Gone\r\n";
  EXPECT_EQ(FinalMessage(r), head +
                                 "The following profiles of the old list were not found and have "
                                 "not been copied:\r\n\r\nGone\r\n");
}
