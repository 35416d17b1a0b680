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
