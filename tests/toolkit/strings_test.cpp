#include <gtest/gtest.h>

#include "toolkit/strings.h"

TEST(Strings, Utf8RoundTripsThroughUtf16) {
  const std::string text = "Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC";
  EXPECT_EQ(tk::Widen(text), L"Gr\u00FC\u00DFe \u20AC");
  EXPECT_EQ(tk::Narrow(tk::Widen(text)), text);
}

TEST(Strings, AnsiBytesRoundTripEveryByte) {
  std::string bytes;
  for (int b = 1; b < 256; ++b) bytes.push_back(static_cast<char>(b));
  EXPECT_EQ(tk::WideToAnsiBytes(tk::AnsiBytesToWide(bytes)), bytes);
}

#include "support/testutil.h"

TEST(TestSupport, RunsOutsideToolsOnTheLinuxSide) {
  qbtest::TempDir dir;
  qbtest::WriteFile(dir / "a.txt", "hello");
  std::string out;
  EXPECT_EQ(qbtest::RunUnix("cat '" + qbtest::ToUnixPath(dir / "a.txt") + "'", &out), 0);
  EXPECT_EQ(out, "hello");
  EXPECT_NE(qbtest::RunUnix("exit 3"), 0);
}

TEST(Strings, AsciiCaseLeavesOtherLettersAlone) {
  EXPECT_EQ(tk::UpperCase("abc-xyz \xC3\xA4"), "ABC-XYZ \xC3\xA4");
  EXPECT_EQ(tk::LowerCase("ABC \xC3\x84"), "abc \xC3\x84");
}

TEST(Strings, UnicodeCaseAndComparison) {
  EXPECT_EQ(tk::AnsiUpperCase("gr\xC3\xBC\xC3\x9F" "e"), "GR\xC3\x9C\xC3\x9F" "E");  // the sharp s has no upper form here
  EXPECT_EQ(tk::AnsiLowerCase("\xC3\x84RGER"), "\xC3\xA4rger");
  EXPECT_TRUE(tk::SameText("\xC3\x84rger", "\xC3\xA4RGER"));
  EXPECT_FALSE(tk::SameText("abc", "abd"));
  EXPECT_FALSE(tk::SameText("abc", "abc "));
  EXPECT_EQ(tk::CompareText("apple", "BANANA"), -1);
  EXPECT_EQ(tk::CompareText("Banana", "apple"), 1);
  EXPECT_EQ(tk::CompareText("Docs", "dOCS"), 0);
  EXPECT_EQ(tk::CompareStr("B", "a"), -1);  // ordinal: upper case first
  EXPECT_TRUE(tk::StartsText("c:\\PROG", "C:\\Program Files"));
  EXPECT_FALSE(tk::StartsText("C:\\Program Files\\x", "C:\\Program Files"));
  EXPECT_TRUE(tk::EndsText(".ZIP", "backup.zip"));
  EXPECT_FALSE(tk::EndsText(".zip", "zip"));
}

TEST(Strings, TrimRemovesBlanksAndControlCharacters) {
  EXPECT_EQ(tk::Trim(" \t\r\n a b \x01\x1F "), "a b");
  EXPECT_EQ(tk::TrimLeft("  a  "), "a  ");
  EXPECT_EQ(tk::TrimRight("  a  "), "  a");
  EXPECT_EQ(tk::Trim("   "), "");
  EXPECT_EQ(tk::Trim("\xC3\xA4"), "\xC3\xA4");  // UTF-8 bytes are above ' '
}

TEST(Strings, ReplaceAllReplacesEveryOccurrence) {
  EXPECT_EQ(tk::ReplaceAll("a-b-c", "-", "--"), "a--b--c");
  EXPECT_EQ(tk::ReplaceAll("aaa", "aa", "b"), "ba");
  EXPECT_EQ(tk::ReplaceAll("abc", "", "x"), "abc");
}
