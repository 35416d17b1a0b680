#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "toolkit/format.h"

TEST(FormatFloat, MasksAndRounding) {
  EXPECT_EQ(tk::FormatFloat("0.00000", 1.0 / 3), "0.33333");
  EXPECT_EQ(tk::FormatFloat("0.0", 2.25), "2.3");   // half away from zero
  EXPECT_EQ(tk::FormatFloat("0.0", -2.25), "-2.3");
  EXPECT_EQ(tk::FormatFloat("0.00", 2.675), "2.68");  // as typed, not its binary neighbour 2.67499...
  EXPECT_EQ(tk::FormatFloat("0.00", 1.005), "1.01");
  EXPECT_EQ(tk::FormatFloat("0.00", 0), "0.00");
  EXPECT_EQ(tk::FormatFloat("0.00", -0.001), "0.00");  // no "-0.00"
  EXPECT_EQ(tk::FormatFloat("0", 2.5), "3");
  EXPECT_EQ(tk::FormatFloat("0", -2.5), "-3");
  EXPECT_EQ(tk::FormatFloat("0", 0.4), "0");
  EXPECT_EQ(tk::FormatFloat("0", 999.5), "1000");
  EXPECT_EQ(tk::FormatFloat("0.0", 9.96), "10.0");
  EXPECT_EQ(tk::FormatFloat("0.00000", 0.000001), "0.00000");
  EXPECT_EQ(tk::FormatFloat("0.00000", 0.000005), "0.00001");
  EXPECT_EQ(tk::FormatFloat("0.00", 1234567.891), "1234567.89");
}

TEST(FormatFloat, ThousandsOptionalDigitsAndLiterals) {
  EXPECT_EQ(tk::FormatFloat("#,##0.00", 1234567.891), "1,234,567.89");
  EXPECT_EQ(tk::FormatFloat("#,##0.00", 999.999), "1,000.00");
  EXPECT_EQ(tk::FormatFloat("#,##0.00", 12), "12.00");
  EXPECT_EQ(tk::FormatFloat("#,##0.00", -1234.5), "-1,234.50");
  EXPECT_EQ(tk::FormatFloat("0.##", 1.5), "1.5");
  EXPECT_EQ(tk::FormatFloat("0.##", 2), "2");
  EXPECT_EQ(tk::FormatFloat("#.00", 0.5), ".50");
  EXPECT_EQ(tk::FormatFloat("000", 7), "007");
  EXPECT_EQ(tk::FormatFloat("0.0 \"KB\"", 1.25), "1.3 KB");
  EXPECT_EQ(tk::FormatFloat("0.0", 1e20), "100000000000000000000.0");
}

TEST(FormatFloat, UsesTheProcessDecimalSeparator) {
  tk::SetDecimalSeparator(',');
  EXPECT_EQ(tk::FormatFloat("0.00", 3.14159), "3,14");
  tk::SetDecimalSeparator('.');
  EXPECT_EQ(tk::DecimalSeparator(), '.');
  EXPECT_EQ(tk::FormatFloat("0.00", 3.14159), "3.14");
  const char locale = tk::LocaleDecimalSeparator();
  EXPECT_TRUE(locale == '.' || locale == ',') << locale;
}

TEST(FloatText, FifteenSignificantDigits) {
  EXPECT_EQ(tk::FloatToStr(38000.5), "38000.5");
  EXPECT_EQ(tk::FloatToStr(0.1), "0.1");
  EXPECT_EQ(tk::FloatToStr(0), "0");
  EXPECT_EQ(tk::FloatToStr(-0.0), "0");
  EXPECT_EQ(tk::FloatToStr(37816), "37816");
  EXPECT_EQ(tk::FloatToStr(-3), "-3");
  EXPECT_EQ(tk::FloatToStr(37816.0 + (9 * 60 + 5) / 1440.0), "37816.3784722222");
  EXPECT_EQ(tk::FloatToStr(1.0 / 3), "0.333333333333333");
  EXPECT_EQ(tk::FloatToStr(2.0 / 3), "0.666666666666667");
  EXPECT_EQ(tk::FloatToStr(0.00001), "0.00001");
  EXPECT_EQ(tk::FloatToStr(0.0000015), "1.5E-6");
  EXPECT_EQ(tk::FloatToStr(123456789012345.0), "123456789012345");
  EXPECT_EQ(tk::FloatToStr(1e15), "1E15");
  EXPECT_EQ(tk::FloatToStr(-2.5e20), "-2.5E20");
  EXPECT_EQ(tk::FloatToStr(0.1 + 0.2), "0.3");
  EXPECT_EQ(tk::FloatToStr(38000.5, ','), "38000,5");
  EXPECT_EQ(tk::FloatToStr(std::numeric_limits<double>::infinity()), "INF");
}

TEST(FloatText, StrictParse) {
  double v = 0;
  EXPECT_TRUE(tk::TryStrToFloat("38000.5", &v));
  EXPECT_EQ(v, 38000.5);
  EXPECT_TRUE(tk::TryStrToFloat(" -1.5E-6 ", &v));
  EXPECT_EQ(v, -1.5e-6);
  EXPECT_TRUE(tk::TryStrToFloat("1e15", &v));
  EXPECT_EQ(v, 1e15);
  EXPECT_TRUE(tk::TryStrToFloat(".5", &v));
  EXPECT_EQ(v, 0.5);
  EXPECT_TRUE(tk::TryStrToFloat("5.", &v));
  EXPECT_EQ(v, 5);
  EXPECT_TRUE(tk::TryStrToFloat("37816,25", &v, ','));
  EXPECT_EQ(v, 37816.25);
  v = 42;
  for (const char* bad : {"", " ", "1.2.3", "1,5", "abc", "12abc", "1e", "1e+", "-", ".", "0x10", "1 2", "1e999"})
    EXPECT_FALSE(tk::TryStrToFloat(bad, &v)) << bad;
  EXPECT_FALSE(tk::TryStrToFloat("1.5", &v, ','));
  EXPECT_EQ(v, 42);  // unchanged after failures
  EXPECT_EQ(tk::StrToFloatDef("x", -7), -7);
  // The float text reads back to the same 15-digit value.
  for (double d : {0.1, 37816.3784722222, -1234.5678, 1.5e-6, 9.87654321e20}) {
    ASSERT_TRUE(tk::TryStrToFloat(tk::FloatToStr(d), &v));
    EXPECT_EQ(tk::FloatToStr(v), tk::FloatToStr(d));
    EXPECT_NEAR(v, d, std::fabs(d) * 1e-14);
  }
}

TEST(IntegerText, ParseAsTheSettingsRead) {
  int32_t v = 0;
  EXPECT_TRUE(tk::TryStrToInt("42", &v));
  EXPECT_EQ(v, 42);
  EXPECT_TRUE(tk::TryStrToInt("-17", &v));
  EXPECT_EQ(v, -17);
  EXPECT_TRUE(tk::TryStrToInt("+5", &v));
  EXPECT_EQ(v, 5);
  EXPECT_TRUE(tk::TryStrToInt(" 7 ", &v));
  EXPECT_EQ(v, 7);
  EXPECT_TRUE(tk::TryStrToInt("$1F", &v));
  EXPECT_EQ(v, 31);
  EXPECT_TRUE(tk::TryStrToInt("0x1f", &v));
  EXPECT_EQ(v, 31);
  EXPECT_TRUE(tk::TryStrToInt("$FFFFFFFF", &v));
  EXPECT_EQ(v, -1);
  EXPECT_TRUE(tk::TryStrToInt("-$10", &v));
  EXPECT_EQ(v, -16);
  EXPECT_TRUE(tk::TryStrToInt("2147483647", &v));
  EXPECT_EQ(v, 2147483647);
  EXPECT_TRUE(tk::TryStrToInt("-2147483648", &v));
  EXPECT_EQ(v, INT32_MIN);
  EXPECT_TRUE(tk::TryStrToInt("007", &v));
  EXPECT_EQ(v, 7);
  v = 99;
  for (const char* bad : {"", "  ", "abc", "12a", "1.0", "1 2", "2147483648", "-2147483649", "$", "0x", "$100000000",
                          "--1", "+-1", "1e3"})
    EXPECT_FALSE(tk::TryStrToInt(bad, &v)) << bad;
  EXPECT_EQ(v, 99);
  EXPECT_EQ(tk::StrToIntDef("letters", 140), 140);
  EXPECT_EQ(tk::StrToIntDef("2", 0), 2);

  int64_t w = 0;
  EXPECT_TRUE(tk::TryStrToInt64("9223372036854775807", &w));
  EXPECT_EQ(w, INT64_MAX);
  EXPECT_TRUE(tk::TryStrToInt64("-9223372036854775808", &w));
  EXPECT_EQ(w, INT64_MIN);
  EXPECT_TRUE(tk::TryStrToInt64("5000000000", &w));
  EXPECT_EQ(w, 5000000000LL);
  EXPECT_FALSE(tk::TryStrToInt64("9223372036854775808", &w));
  EXPECT_EQ(tk::StrToInt64Def("-2", 0), -2);
}

TEST(IntegerText, Formatting) {
  EXPECT_EQ(tk::IntToStr(0), "0");
  EXPECT_EQ(tk::IntToStr(-123), "-123");
  EXPECT_EQ(tk::IntToStr(INT64_MIN), "-9223372036854775808");
  EXPECT_EQ(tk::IntToHex(255, 4), "00FF");
  EXPECT_EQ(tk::IntToHex(0xABCDEF, 2), "ABCDEF");
  EXPECT_EQ(tk::IntToHex(0, 0), "0");
}
