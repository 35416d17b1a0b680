// The viewer's reading of error files and its command-line rules, without a window.
#include <gtest/gtest.h>

#include "errorviewer/ewlines.h"
#include "support/testutil.h"

using qbew::ParseErrorFile;
using qbew::TEwStart;

TEST(EwLines, CodeZeroIsAWarningWithoutCodeOtherCodesAreErrors) {
  auto rows = ParseErrorFile("0 Couldn't run RunQb\r\n3 Disk full\r\n-7 Odd\r\n");
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].Text, " Couldn't run RunQb");
  EXPECT_EQ(rows[0].Code, "");
  EXPECT_EQ(rows[0].Image, qbew::kImageWarning);
  EXPECT_EQ(rows[1].Text, " Disk full");
  EXPECT_EQ(rows[1].Code, "3");
  EXPECT_EQ(rows[1].Image, qbew::kImageError);
  EXPECT_EQ(rows[2].Code, "-7");
  EXPECT_EQ(rows[2].Image, qbew::kImageError);
}

TEST(EwLines, BlankLinesLeadingBlanksAndMissingLastLineEnd) {
  auto rows = ParseErrorFile("\r\n   12 a  b \n\n\n0\n   \r\n5 last");
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].Text, " a  b ");
  EXPECT_EQ(rows[0].Code, "12");
  EXPECT_EQ(rows[1].Text, "");
  EXPECT_EQ(rows[1].Image, qbew::kImageWarning);
  EXPECT_EQ(rows[2].Text, " last");
  EXPECT_EQ(rows[2].Code, "5");
  EXPECT_TRUE(ParseErrorFile("").empty());
  EXPECT_TRUE(ParseErrorFile(" \r\n\r\n").empty());
}

TEST(EwLines, LineWithoutIntegerIsShownWhole) {
  auto rows = ParseErrorFile("Disk gone\r\n12abc x\r\n99999999999 big\r\n- minus\r\n4 fine\r\n");
  ASSERT_EQ(rows.size(), 5u);
  EXPECT_EQ(rows[0].Text, "Disk gone");
  EXPECT_EQ(rows[1].Text, "12abc x");
  EXPECT_EQ(rows[2].Text, "99999999999 big");
  EXPECT_EQ(rows[3].Text, "- minus");
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(rows[i].Code, "") << i;
    EXPECT_EQ(rows[i].Image, qbew::kImageError) << i;
  }
  EXPECT_EQ(rows[4].Code, "4");
}

TEST(EwLines, Int32Limits) {
  EXPECT_EQ(qbew::ParseInt32("2147483647"), 2147483647);
  EXPECT_EQ(qbew::ParseInt32("-2147483648"), -2147483647 - 1);
  EXPECT_FALSE(qbew::ParseInt32("2147483648"));
  EXPECT_FALSE(qbew::ParseInt32("+"));
  EXPECT_FALSE(qbew::ParseInt32(""));
  EXPECT_EQ(qbew::ParseInt32("+8"), 8);
}

TEST(EwLines, Utf8AndAnsiText) {
  auto rows = ParseErrorFile("\xEF\xBB\xBF" "1 Datei \xC3\xA4\r\n");
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].Text, " Datei \xC3\xA4");
  // A byte that is not UTF-8 comes through the ANSI code page (1252 under Wine's en-US).
  rows = ParseErrorFile("2 caf\xE9\r\n");
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].Text, " caf\xC3\xA9");
}

TEST(EwLines, OccurrenceSuffix) {
  EXPECT_EQ(qbew::OccurrenceSuffix(9, 5), "  (occurred at 09:05)");
  EXPECT_EQ(qbew::OccurrenceSuffix(23, 59), "  (occurred at 23:59)");
  EXPECT_EQ(qbew::FirstColumnCaption(false, 9, 5), "Error/Warning Messages");
  EXPECT_EQ(qbew::FirstColumnCaption(true, 9, 5), "Error/Warning Messages  (occurred at 09:05)");
}

class EwStartTest : public testing::Test {
 protected:
  void SetUp() override { qbtest::ClearQuillbankKey(); }
  void TearDown() override { qbtest::ClearQuillbankKey(); }
};

TEST_F(EwStartTest, CommandLineRules) {
  qbtest::TempDir dir;
  std::string file = dir / "a b.err";
  qbtest::WriteFile(file, "0 x\r\n");
  EXPECT_EQ(qbew::DecideStart({}), TEwStart::Exit);
  EXPECT_EQ(qbew::DecideStart({"NOFILENAME"}), TEwStart::ShowMessage);
  EXPECT_EQ(qbew::DecideStart({"NOFILENAME", "msg"}), TEwStart::ShowMessage);
  EXPECT_EQ(qbew::DecideStart({"nofilename", "msg"}), TEwStart::Exit);
  EXPECT_EQ(qbew::DecideStart({file}), TEwStart::ShowFile);
  EXPECT_EQ(qbew::DecideStart({dir.path()}), TEwStart::Exit);
  EXPECT_EQ(qbew::DecideStart({dir / "missing.err"}), TEwStart::Exit);
  EXPECT_EQ(qbew::DecideStart({""}), TEwStart::Exit);
  EXPECT_TRUE(qbew::IsRunFromScheduler({file, "/RunFromScheduler"}));
  EXPECT_FALSE(qbew::IsRunFromScheduler({file, "/runfromscheduler"}));
  EXPECT_FALSE(qbew::IsRunFromScheduler({"/RunFromScheduler"}));
}

TEST_F(EwStartTest, DontShowViaScheduler) {
  qbtest::TempDir dir;
  std::string file = dir / "x.err";
  qbtest::WriteFile(file, "0 x\r\n");
  EXPECT_FALSE(qbew::DontShowViaScheduler());  // no key at all
  qbtest::RegWrite("Options\\General", "Other", "1");
  EXPECT_FALSE(qbew::DontShowViaScheduler());  // key without the value
  qbtest::RegWrite("Options\\General", "DontShowEwDlgViaSch", "1");
  EXPECT_TRUE(qbew::DontShowViaScheduler());
  EXPECT_EQ(qbew::DecideStart({file, "/RunFromScheduler"}), TEwStart::Exit);
  EXPECT_EQ(qbew::DecideStart({"NOFILENAME", "/RunFromScheduler"}), TEwStart::Exit);
  EXPECT_EQ(qbew::DecideStart({file}), TEwStart::ShowFile);  // only scheduled runs are hidden
  EXPECT_EQ(qbew::DecideStart({file, "/runfromscheduler"}), TEwStart::ShowFile);
  qbtest::RegWrite("Options\\General", "DontShowEwDlgViaSch", "2");
  EXPECT_TRUE(qbew::DontShowViaScheduler());
  // "0" is the store's false: the viewer is shown.
  qbtest::RegWrite("Options\\General", "DontShowEwDlgViaSch", "0");
  EXPECT_FALSE(qbew::DontShowViaScheduler());
  EXPECT_EQ(qbew::DecideStart({file, "/RunFromScheduler"}), TEwStart::ShowFile);
  qbtest::RegWrite("Options\\General", "DontShowEwDlgViaSch", "yes");
  EXPECT_FALSE(qbew::DontShowViaScheduler());
}
