#include <gtest/gtest.h>

#include <algorithm>

#include "support/testutil.h"
#include "toolkit/files.h"
#include "toolkit/strings.h"

TEST(PathPieces, FolderNameAndExtension) {
  EXPECT_EQ(tk::ExtractFilePath("C:\\Backup\\Docs.zip"), "C:\\Backup\\");
  EXPECT_EQ(tk::ExtractFilePath("C:Docs.zip"), "C:");
  EXPECT_EQ(tk::ExtractFilePath("Docs.zip"), "");
  EXPECT_EQ(tk::ExtractFileName("C:\\Backup\\Docs.zip"), "Docs.zip");
  EXPECT_EQ(tk::ExtractFileName("C:\\Backup\\"), "");
  EXPECT_EQ(tk::ExtractFileName("D:x.txt"), "x.txt");
  EXPECT_EQ(tk::ExtractFileExt("C:\\a.b\\c.tar.gz"), ".gz");
  EXPECT_EQ(tk::ExtractFileExt("C:\\a.b\\noext"), "");
  EXPECT_EQ(tk::ExtractFileExt("name."), ".");
  EXPECT_EQ(tk::ChangeFileExt("D:\\Backup\\Docs.bak", ".zip"), "D:\\Backup\\Docs.zip");
  EXPECT_EQ(tk::ChangeFileExt("D:\\dir.x\\Docs", ".zip"), "D:\\dir.x\\Docs.zip");
  EXPECT_EQ(tk::ChangeFileExt("Docs.zip", ""), "Docs");
}

TEST(PathPieces, DrivesAndTrailingBackslashes) {
  EXPECT_EQ(tk::ExtractFileDrive("C:\\x\\y"), "C:");
  EXPECT_EQ(tk::ExtractFileDrive("\\\\server\\share\\dir\\f.txt"), "\\\\server\\share");
  EXPECT_EQ(tk::ExtractFileDrive("\\\\server\\share"), "\\\\server\\share");
  EXPECT_EQ(tk::ExtractFileDrive("\\\\server"), "\\\\server");
  EXPECT_EQ(tk::ExtractFileDrive("relative\\x"), "");
  EXPECT_EQ(tk::IncludeTrailingBackslash("C:\\x"), "C:\\x\\");
  EXPECT_EQ(tk::IncludeTrailingBackslash("C:\\x\\"), "C:\\x\\");
  EXPECT_EQ(tk::IncludeTrailingBackslash(""), "\\");
  EXPECT_EQ(tk::ExcludeTrailingBackslash("C:\\x\\"), "C:\\x");
  EXPECT_EQ(tk::ExcludeTrailingBackslash("C:\\"), "C:");
  EXPECT_EQ(tk::ExcludeTrailingBackslash("C:\\x"), "C:\\x");
}

TEST(Masks, PlatformWildcards) {
  EXPECT_TRUE(tk::MatchesMask("Report.DOC", "*.doc"));
  EXPECT_TRUE(tk::MatchesMask("README", "*.*"));
  EXPECT_TRUE(tk::MatchesMask("a.b.c", "*.*"));
  EXPECT_TRUE(tk::MatchesMask("", "*"));
  EXPECT_TRUE(tk::MatchesMask("abc", "a?c"));
  EXPECT_FALSE(tk::MatchesMask("ac", "a?c"));
  EXPECT_FALSE(tk::MatchesMask("abc.txt", "*.doc"));
  EXPECT_TRUE(tk::MatchesMask("Docs ziplog3.txt", "Docs ziplog*.txt"));
  EXPECT_FALSE(tk::MatchesMask("Docs2 ziplog3.txt", "Docs ziplog*.txt"));
  EXPECT_TRUE(tk::MatchesMask("abcabcx", "*abc?"));
  EXPECT_TRUE(tk::MatchesMask("README", "*."));
  EXPECT_FALSE(tk::MatchesMask("a.txt", "*."));
  EXPECT_TRUE(tk::MatchesMask("Makefile", "Make*.*"));
  EXPECT_TRUE(tk::MatchesMask("\xC3\xA4rger.TXT", "\xC3\x84*.txt"));  // letters beyond ASCII too
  EXPECT_TRUE(tk::MatchesMask("\xC3\xA4.x", "?.x"));                  // '?' is one character, not one byte
}

class FileSystem : public ::testing::Test {
 protected:
  qbtest::TempDir dir;
};

TEST_F(FileSystem, ProbesAndChanges) {
  const std::string f = dir / "a.txt";
  qbtest::WriteFile(f, "12345");
  EXPECT_TRUE(tk::FileExists(f));
  EXPECT_FALSE(tk::FileExists(dir.path()));  // a folder is no file
  EXPECT_FALSE(tk::FileExists(""));
  EXPECT_TRUE(tk::DirectoryExists(dir.path()));
  EXPECT_TRUE(tk::DirectoryExists(tk::ExcludeTrailingBackslash(dir.path())));
  EXPECT_FALSE(tk::DirectoryExists(f));
  EXPECT_EQ(tk::FileSize(f), 5);
  EXPECT_EQ(tk::FileSize(dir.path()), -1);
  EXPECT_EQ(tk::FileSize(dir / "missing"), -1);

  const std::string deep = dir / "x\\y\\z\\";
  EXPECT_TRUE(tk::ForceDirectories(deep));
  EXPECT_TRUE(tk::DirectoryExists(deep));
  EXPECT_TRUE(tk::ForceDirectories(deep));  // already there
  EXPECT_FALSE(tk::ForceDirectories(f + "\\sub"));  // under a file

  EXPECT_TRUE(tk::RenameFile(f, dir / "b.txt"));
  EXPECT_FALSE(tk::FileExists(f));
  EXPECT_EQ(qbtest::ReadFile(dir / "b.txt"), "12345");
  EXPECT_TRUE(tk::RemoveFile(dir / "b.txt"));
  EXPECT_FALSE(tk::RemoveFile(dir / "b.txt"));
  EXPECT_FALSE(qbtest::Exists(dir / "b.txt"));
}

TEST_F(FileSystem, TimesAgreeWithEachOther) {
  const std::string f = dir / "t.txt";
  qbtest::WriteFile(f, "x");
  const tk::TDateTime when = tk::EncodeDate(2003, 7, 14) + tk::EncodeTime(9, 5, 8);
  FILETIME ft;
  ASSERT_TRUE(tk::DateTimeToFileTime(when, &ft));
  HANDLE h = CreateFileW(tk::Widen(f).c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  ASSERT_TRUE(SetFileTime(h, nullptr, nullptr, &ft));
  CloseHandle(h);
  EXPECT_NEAR(tk::FileDateTime(f), when, 1.0 / 86400);
  uint32_t packed = 0;
  ASSERT_TRUE(tk::DateTimeToDosDateTime(when, &packed));
  EXPECT_EQ(tk::FileAge(f), packed);
  EXPECT_EQ(tk::FileAge(dir / "missing"), -1);
  EXPECT_EQ(tk::FileDateTime(dir / "missing"), -1);
}

TEST_F(FileSystem, SearchHonoursMaskAndAttributes) {
  qbtest::WriteFile(dir / "one.txt", "1");
  qbtest::WriteFile(dir / "two.txt", std::string(70000, 'x'));
  qbtest::WriteFile(dir / "hidden.txt", "h");
  qbtest::WriteFile(dir / "other.doc", "d");
  qbtest::MakeDirs(dir / "sub.txt");
  ASSERT_TRUE(SetFileAttributesW(tk::Widen(dir / "hidden.txt").c_str(), FILE_ATTRIBUTE_HIDDEN));

  auto names = [](const std::vector<tk::TSearchRec>& recs) {
    std::vector<std::string> n;
    for (const auto& r : recs) n.push_back(r.name);
    std::sort(n.begin(), n.end());
    return n;
  };
  using Names = std::vector<std::string>;
  EXPECT_EQ(names(tk::FindFiles(dir / "*.txt", tk::faAnyFile)), (Names{"hidden.txt", "one.txt", "sub.txt", "two.txt"}));
  EXPECT_EQ(names(tk::FindFiles(dir / "*.txt", tk::faArchive)), (Names{"one.txt", "two.txt"}));
  EXPECT_EQ(names(tk::FindFiles(dir / "*.txt", tk::faArchive | tk::faDirectory)), (Names{"one.txt", "sub.txt", "two.txt"}));
  EXPECT_EQ(names(tk::FindFiles(dir / "*", tk::faDirectory)), (Names{"one.txt", "other.doc", "sub.txt", "two.txt"}));
  EXPECT_TRUE(tk::FindFiles(dir / "*.zip").empty());
  EXPECT_TRUE(tk::FindFiles(dir / "nofolder\\*.*").empty());

  for (const tk::TSearchRec& r : tk::FindFiles(dir / "t*.txt")) {
    EXPECT_EQ(r.name, "two.txt");
    EXPECT_EQ(r.size, 70000);
    EXPECT_FALSE(r.attr & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(r.time, static_cast<uint32_t>(tk::FileAge(dir / "two.txt")));
    FILETIME ft;
    ASSERT_TRUE(tk::FileLastWrite(dir / "two.txt", &ft));
    EXPECT_EQ(r.lastWrite.dwLowDateTime, ft.dwLowDateTime);
    EXPECT_EQ(r.lastWrite.dwHighDateTime, ft.dwHighDateTime);
  }
  EXPECT_EQ(tk::FindFiles(dir / "t*.txt").size(), 1u);
}

TEST(QuietProbes, MissingDriveFailsWithoutABox) {
  // No box may appear here: the test would hang waiting for it to be answered.
  const UINT before = GetErrorMode();
  EXPECT_FALSE(tk::FileExists("Q:\\x"));
  EXPECT_FALSE(tk::DirectoryExists("Q:\\"));
  EXPECT_FALSE(tk::ForceDirectories("Q:\\new\\dir"));
  EXPECT_TRUE(tk::FindFiles("Q:\\*.*").empty());
  EXPECT_EQ(tk::FileSize("Q:\\x"), -1);
  EXPECT_EQ(GetErrorMode(), before);  // the mode is restored
  {
    tk::QuietErrorMode quiet;
    EXPECT_TRUE(GetErrorMode() & SEM_FAILCRITICALERRORS);
  }
  EXPECT_EQ(GetErrorMode(), before);
}
