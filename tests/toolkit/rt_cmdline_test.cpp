#include <gtest/gtest.h>
#include <windows.h>
#include <shellapi.h>

#include "toolkit/cmdline.h"
#include "toolkit/files.h"
#include "toolkit/strings.h"

using Words = std::vector<std::string>;

TEST(CommandLine, BlanksSeparateAndQuotesGroup) {
  EXPECT_EQ(tk::SplitCommandLine("RunQb.exe /r \"My Docs\" Other"), (Words{"RunQb.exe", "/r", "My Docs", "Other"}));
  EXPECT_EQ(tk::SplitCommandLine("  a\t\tb  "), (Words{"a", "b"}));
  EXPECT_EQ(tk::SplitCommandLine("pre\"fix mid\"dle"), Words{"prefix middle"});
  // No escape character: a trailing backslash inside quotes stays in the word.
  EXPECT_EQ(tk::SplitCommandLine("\"C:\\My Dir\\\" next"), (Words{"C:\\My Dir\\", "next"}));
  EXPECT_EQ(tk::SplitCommandLine("\"unclosed quote"), Words{"unclosed quote"});
  // Empty quote pairs between words make no word.
  EXPECT_EQ(tk::SplitCommandLine("a \"\" b"), (Words{"a", "b"}));
  EXPECT_EQ(tk::SplitCommandLine(""), Words{});
  EXPECT_EQ(tk::SplitCommandLine("\"Docs\" \"Mail box\" "), (Words{"Docs", "Mail box"}));
}

TEST(CommandLine, ThisProcess) {
  EXPECT_TRUE(tk::EndsText("toolkit_runtime_tests.exe", tk::ParamStr(0))) << tk::ParamStr(0);
  EXPECT_TRUE(tk::FileExists(tk::ParamStr(0)));
  // The words after the program, as the system splits this process's command line (the
  // test runner passes a filter word, which neither splitting rule treats differently).
  int words = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &words);
  ASSERT_NE(argv, nullptr);
  const int n = tk::ParamCount();
  EXPECT_EQ(n, words - 1);
  for (int i = 1; i < words; ++i) EXPECT_EQ(tk::ParamStr(i), tk::Narrow(argv[i])) << i;
  LocalFree(argv);
  EXPECT_EQ(tk::ParamStr(n + 1), "");
  EXPECT_EQ(tk::ParamStr(-1), "");
  EXPECT_EQ(tk::ProgramDir(), tk::ExtractFilePath(tk::ParamStr(0)));
}
