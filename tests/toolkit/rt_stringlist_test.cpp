#include <gtest/gtest.h>

#include "toolkit/stringlist.h"

using Items = std::vector<std::string>;

TEST(CommaText, WritesQuotesOnlyWhereNeeded) {
  EXPECT_EQ(tk::ToCommaText({"a", "b c", "d,e", "say \"hi\"", "tab\there", "plain"}),
            "a,\"b c\",\"d,e\",\"say \"\"hi\"\"\",\"tab\there\",plain");
  EXPECT_EQ(tk::ToCommaText({}), "");
  EXPECT_EQ(tk::ToCommaText({""}), "\"\"");
  EXPECT_EQ(tk::ToCommaText({"a", ""}), "a,");
  EXPECT_EQ(tk::ToCommaText({"", "b"}), ",b");
}

TEST(CommaText, ReadsQuotedUnquotedAndBlankSeparatedItems) {
  EXPECT_EQ(tk::FromCommaText("a,\"b c\",\"d,e\",\"say \"\"hi\"\"\""), (Items{"a", "b c", "d,e", "say \"hi\""}));
  EXPECT_EQ(tk::FromCommaText("  a , b  ,c  "), (Items{"a", "b", "c"}));
  EXPECT_EQ(tk::FromCommaText("one two"), (Items{"one", "two"}));  // an unquoted blank separates
  EXPECT_EQ(tk::FromCommaText("a\tb"), (Items{"a", "b"}));
  EXPECT_EQ(tk::FromCommaText(""), Items{});
  EXPECT_EQ(tk::FromCommaText("   "), Items{});
  EXPECT_EQ(tk::FromCommaText("\"\""), Items{""});
  EXPECT_EQ(tk::FromCommaText("a,,b"), (Items{"a", "", "b"}));
  EXPECT_EQ(tk::FromCommaText("a,"), (Items{"a", ""}));
  EXPECT_EQ(tk::FromCommaText("\"unclosed, rest"), Items{"unclosed, rest"});
  EXPECT_EQ(tk::FromCommaText("\"a\"b"), (Items{"a", "b"}));
}

TEST(CommaText, RoundTripsAwkwardItems) {
  const std::vector<Items> cases = {
      {""}, {"", ""}, {"a", "", "b"}, {"\"", "\"\"", ","}, {" lead", "trail ", "in side"}, {"x\r\ny"}, {"\xC3\xA4 \xE2\x82\xAC"}};
  for (const Items& items : cases) EXPECT_EQ(tk::FromCommaText(tk::ToCommaText(items)), items) << tk::ToCommaText(items);
}

TEST(Lines, SplitAtCrLfAndCrLf) {
  EXPECT_EQ(tk::SplitLines("a\rb\nc\r\nd"), (Items{"a", "b", "c", "d"}));
  EXPECT_EQ(tk::SplitLines("a\r\n"), Items{"a"});
  EXPECT_EQ(tk::SplitLines("a\r\n\r\n"), (Items{"a", ""}));
  EXPECT_EQ(tk::SplitLines("\n\r"), (Items{"", ""}));  // LF then CR: two breaks
  EXPECT_EQ(tk::SplitLines(""), Items{});
  EXPECT_EQ(tk::JoinLines({"a", "", "b"}), "a\r\n\r\nb\r\n");
}

TEST(StringList, AddInsertDeleteAndCaseInsensitiveIndexOf) {
  tk::TStringList l;
  EXPECT_EQ(l.Add("Beta"), 0);
  EXPECT_EQ(l.Add("alpha"), 1);
  l.Insert(0, "Gamma");
  l.Insert(99, "last");  // clamped to the end
  ASSERT_EQ(l.Count(), 4);
  EXPECT_EQ(l[0], "Gamma");
  EXPECT_EQ(l[3], "last");
  EXPECT_EQ(l.IndexOf("ALPHA"), 2);
  EXPECT_EQ(l.IndexOf("delta"), -1);
  l.Delete(0);
  l.Delete(17);  // out of range: nothing
  EXPECT_EQ(l.Items(), (Items{"Beta", "alpha", "last"}));
  l.Clear();
  EXPECT_TRUE(l.Empty());
}

TEST(StringList, SortedListKeepsOrderAndIgnoresDuplicates) {
  tk::TStringList l(Items{"pear", "Apple", "fig", "apple"});
  l.SetSorted(true);
  EXPECT_EQ(l.Items(), (Items{"Apple", "fig", "pear"}));
  EXPECT_EQ(l.Add("FIG"), 1);  // already there
  EXPECT_EQ(l.Add("banana"), 1);
  l.Insert(0, "zucchini");  // a sorted list puts it in its place
  EXPECT_EQ(l.Items(), (Items{"Apple", "banana", "fig", "pear", "zucchini"}));
  EXPECT_EQ(l.IndexOf("PEAR"), 3);
  EXPECT_EQ(l.IndexOf("kiwi"), -1);
}

TEST(StringList, CommaTextAndTextProperties) {
  tk::TStringList l;
  l.SetCommaText("\"C:\\My Files\\*.doc\",D:\\x.txt");
  EXPECT_EQ(l.Items(), (Items{"C:\\My Files\\*.doc", "D:\\x.txt"}));
  EXPECT_EQ(l.Text(), "C:\\My Files\\*.doc\r\nD:\\x.txt\r\n");
  l.SetText("first, with comma\nsecond");
  EXPECT_EQ(l.CommaText(), "\"first, with comma\",second");
  l.SetText("");
  EXPECT_EQ(l.Count(), 0);
  EXPECT_EQ(l.CommaText(), "");
}
