#include <gtest/gtest.h>

#include "settings/strflag.h"

TEST(StrFlag, StartsAllOffAndAddressesFromOne) {
  TStrFlag f(20);
  EXPECT_EQ(f.GetValue(), std::string(20, '0'));
  f.SetFlag(1, true);
  f.SetFlag(20, true);
  EXPECT_EQ(f.GetValue(), "1" + std::string(18, '0') + "1");
  EXPECT_TRUE(f.GetFlag(1));
  EXPECT_FALSE(f.GetFlag(2));
  EXPECT_TRUE(f.GetFlag(20));
  f.SetFlag(1, false);
  EXPECT_FALSE(f.GetFlag(1));
}

TEST(StrFlag, SetValuePadsCutsOrClears) {
  TStrFlag f(20);
  f.SetValue("101");
  EXPECT_EQ(f.GetValue(), "101" + std::string(17, '0'));
  f.SetValue("1111100000111110000011111");  // 25 characters
  EXPECT_EQ(f.GetValue(), "11111000001111100000");
  f.SetValue("");
  EXPECT_EQ(f.GetValue(), std::string(20, '0'));
}

TEST(StrFlag, OtherCharactersStayAndReadAsFalse) {
  TStrFlag f(5);
  f.SetValue("1x2 1");
  EXPECT_EQ(f.GetValue(), "1x2 1");
  EXPECT_TRUE(f.GetFlag(1));
  EXPECT_FALSE(f.GetFlag(2));
  EXPECT_FALSE(f.GetFlag(3));
  EXPECT_FALSE(f.GetFlag(4));
  EXPECT_TRUE(f.GetFlag(5));
}

TEST(StrFlag, PositionsOutsideTheRangeAreIgnored) {
  TStrFlag f(20);
  f.SetValue(std::string(20, '1'));
  EXPECT_FALSE(f.GetFlag(0));
  EXPECT_FALSE(f.GetFlag(21));
  EXPECT_FALSE(f.GetFlag(-3));
  f.SetFlag(21, false);
  f.SetFlag(0, false);
  EXPECT_EQ(f.GetValue(), std::string(20, '1'));
}

TEST(StrFlag, ZeroLengthHoldsNothing) {
  TStrFlag f(0);
  f.SetValue("111");
  EXPECT_EQ(f.GetValue(), "");
  EXPECT_FALSE(f.GetFlag(1));
  TStrFlag negative(-2);
  negative.SetValue("1");
  EXPECT_EQ(negative.GetValue(), "");
}
