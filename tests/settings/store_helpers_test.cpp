#include <gtest/gtest.h>
#include <windows.h>

#include <cmath>
#include <string>
#include <vector>

#include "settings/vglobal.h"
#include "support/testutil.h"
#include "toolkit/datetime.h"
#include "toolkit/strings.h"

namespace {

// A drive letter that this prefix does not map.
std::string MissingDrive() {
  const DWORD drives = GetLogicalDrives();
  for (char c = 'Y'; c >= 'D'; --c)
    if (!(drives & (1u << (c - 'A')))) return std::string(1, c) + ":\\";
  return {};
}

// Last-write time of a file, as a local date-time.
void SetLastWrite(const std::string& path, tk::TDateTime local) {
  FILETIME utc{};
  ASSERT_TRUE(tk::DateTimeToFileTime(local, &utc));
  HANDLE h = CreateFileW(tk::Widen(path).c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                         nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);  // folders too
  ASSERT_NE(h, INVALID_HANDLE_VALUE) << path;
  EXPECT_TRUE(SetFileTime(h, nullptr, nullptr, &utc));
  CloseHandle(h);
}

void MakeFile(const std::string& path, tk::TDateTime local) {
  qbtest::WriteFile(path, "x");
  SetLastWrite(path, local);
}

}  // namespace

TEST(PathHelpers, QuoteIfSpaces) {
  EXPECT_EQ(QuoteIfSpaces("C:\\My Files\\a.zip"), "\"C:\\My Files\\a.zip\"");
  EXPECT_EQ(QuoteIfSpaces("\"C:\\My Files\\a.zip\""), "\"C:\\My Files\\a.zip\"");
  EXPECT_EQ(QuoteIfSpaces("say \"hi\" there"), "say \"hi\" there");
  EXPECT_EQ(QuoteIfSpaces("C:\\NoBlanks"), "C:\\NoBlanks");
  EXPECT_EQ(QuoteIfSpaces(""), "");
}

TEST(PathHelpers, IsUNCPath) {
  EXPECT_FALSE(IsUNCPath("\\\\"));
  EXPECT_TRUE(IsUNCPath("\\\\s"));
  EXPECT_TRUE(IsUNCPath("\\\\server\\share\\x"));
  EXPECT_FALSE(IsUNCPath("\\x\\y"));
  EXPECT_FALSE(IsUNCPath("C:\\x"));
  EXPECT_FALSE(IsUNCPath(""));
}

TEST(PathHelpers, ExtractFileNameNoExtRemovesRepeatedExtensionsAtTheEndOnly) {
  EXPECT_EQ(ExtractFileNameNoExt("C:\\Backup\\report.txt"), "report");
  EXPECT_EQ(ExtractFileNameNoExt("C:\\Backup\\README"), "README");
  EXPECT_EQ(ExtractFileNameNoExt("a.zip.zip"), "a");
  EXPECT_EQ(ExtractFileNameNoExt("D:\\x\\a.TXT.txt"), "a");
  EXPECT_EQ(ExtractFileNameNoExt("My.zipfiles.zip"), "My.zipfiles");
  EXPECT_EQ(ExtractFileNameNoExt("C:\\dir.v2\\name"), "name");
  EXPECT_EQ(ExtractFileNameNoExt("C:\\x\\b.tar.gz"), "b.tar");
}

TEST(PathHelpers, InvertCharsTwiceGivesTheInputBack) {
  const std::string all = [] {
    std::string s;
    for (int b = 0; b < 256; ++b) s.push_back(static_cast<char>(b));
    return s;
  }();
  const std::string inverted = InvertChars(all);
  ASSERT_EQ(inverted.size(), 256u);
  EXPECT_EQ(static_cast<unsigned char>(inverted[0]), 0xFF);
  EXPECT_EQ(static_cast<unsigned char>(inverted['A']), 0xBE);
  EXPECT_EQ(InvertChars(inverted), all);
  EXPECT_EQ(InvertChars(""), "");
}

TEST(PathHelpers, HasDuplicatesIgnoresCase) {
  EXPECT_FALSE(HasDuplicates(tk::TStringList({"Docs", "Mail", "Photos"})));
  EXPECT_TRUE(HasDuplicates(tk::TStringList({"Docs", "Mail", "DOCS"})));
  EXPECT_FALSE(HasDuplicates(tk::TStringList()));
}

TEST(PathHelpers, TempDirEndsWithBackslashAndExists) {
  const std::string t = GetTempDir();
  ASSERT_FALSE(t.empty());
  EXPECT_EQ(t.back(), '\\');
  EXPECT_TRUE(DirExistsQuiet(t));
}

TEST(PathHelpers, ShellFolders) {
  const std::string appData = GetAppDataDir();
  ASSERT_FALSE(appData.empty());
  EXPECT_EQ(appData.back(), '\\');
  EXPECT_NE(appData.substr(appData.size() - 2), "\\\\");
  EXPECT_TRUE(DirExistsQuiet(appData));
  const std::string docs = GetMyDocumentsDir();
  ASSERT_FALSE(docs.empty());
  EXPECT_EQ(docs.back(), '\\');
  std::string untouched = "kept";
  // A folder id the shell does not know leaves the path as it was.
  EXPECT_NE(GetSpecialFolder(0x7FFF, untouched), 0);
  EXPECT_EQ(untouched, "kept");
}

TEST(DriveProbes, MissingDriveIsQuietlyFalse) {
  const std::string drive = MissingDrive();
  ASSERT_FALSE(drive.empty());
  const UINT modeBefore = GetErrorMode();
  EXPECT_FALSE(IsFloppyDrive(drive));
  EXPECT_FALSE(FileExistsQuiet(drive + "a.txt"));
  EXPECT_FALSE(DirExistsQuiet(drive));
  EXPECT_EQ(GetDriveVolumeLabel(drive + "x\\y.zip"), "");
  EXPECT_FALSE(IsFixedDrive(drive));
  // The quiet mode lasts only for the call.
  EXPECT_EQ(GetErrorMode(), modeBefore);
}

TEST(DriveProbes, FixedAndFloppyDrives) {
  EXPECT_TRUE(IsFixedDrive("C:\\Windows"));
  EXPECT_FALSE(IsFixedDrive("C:"));
  EXPECT_FALSE(IsFixedDrive("\\\\server\\share"));
  EXPECT_FALSE(IsFloppyDrive(""));
  EXPECT_FALSE(IsFloppyDrive("c:\\"));  // far larger than a floppy
  EXPECT_FALSE(IsFloppyDrive("1:\\"));
  EXPECT_EQ(GetDriveVolumeLabel("relative\\name.zip"), "");
}

TEST(FileProbes, FilesAndFolders) {
  qbtest::TempDir dir;
  qbtest::WriteFile(dir / "a.txt", "x");
  qbtest::MakeDirs(dir / "sub\\");
  EXPECT_TRUE(FileExistsQuiet(dir / "a.txt"));
  EXPECT_FALSE(FileExistsQuiet(dir / "sub"));
  EXPECT_FALSE(FileExistsQuiet(dir / "b.txt"));
  EXPECT_FALSE(FileExistsQuiet(""));
  EXPECT_TRUE(DirExistsQuiet(dir / "sub"));
  EXPECT_FALSE(DirExistsQuiet(dir / "a.txt"));
  EXPECT_FALSE(DirExistsQuiet(dir / "none"));
}

class DeleteOldFilesTest : public ::testing::Test {
 protected:
  // Five logs a day apart; the names sort opposite to their age, so the search
  // order is not the age order.
  void MakeFiveLogs() {
    const tk::TDateTime now = tk::Now();
    for (int i = 0; i < 5; ++i) MakeFile(dir / ("log" + std::to_string(i) + ".txt"), now - (4 - i));
    // log0 oldest ... log4 newest; rename so that names run the other way.
    for (int i = 0; i < 5; ++i)
      MoveFileW(tk::Widen(dir / ("log" + std::to_string(i) + ".txt")).c_str(),
                tk::Widen(dir / ("log" + std::string(1, static_cast<char>('e' - i)) + ".txt")).c_str());
  }
  std::vector<std::string> Left() { return qbtest::ListDir(dir.path()); }
  qbtest::TempDir dir;
  tk::TStringList errors;
};

TEST_F(DeleteOldFilesTest, ByCountKeepsTheNewest) {
  MakeFiveLogs();  // loge oldest ... loga newest
  qbtest::MakeDirs(dir / "old.txt\\");
  SetLastWrite(dir / "old.txt", tk::Now() - 100);
  DeleteOldFiles(dir / "*.txt", 3, errors, false);
  EXPECT_EQ(Left(), (std::vector<std::string>{"loga.txt", "logb.txt", "logc.txt", "old.txt"}));
  EXPECT_TRUE(DirExistsQuiet(dir / "old.txt"));
  EXPECT_EQ(errors.Count(), 0);
}

TEST_F(DeleteOldFilesTest, ByCountWithFewerFilesOrNegativeKeepDeletesNone) {
  MakeFiveLogs();
  DeleteOldFiles(dir / "*.txt", 5, errors, false);
  EXPECT_EQ(Left().size(), 5u);
  DeleteOldFiles(dir / "*.txt", 7, errors, true);  // all within a week
  DeleteOldFiles(dir / "*.txt", -1, errors, false);
  DeleteOldFiles(dir / "*.txt", -1, errors, true);
  EXPECT_EQ(Left().size(), 5u);
  DeleteOldFiles(dir / "*.none", 0, errors, false);  // no match: nothing happens
  EXPECT_EQ(Left().size(), 5u);
  EXPECT_EQ(errors.Count(), 0);
}

TEST_F(DeleteOldFilesTest, KeepZeroDeletesAllInEitherMode) {
  MakeFiveLogs();
  MakeFile(dir / "other.dat", tk::Now());
  DeleteOldFiles(dir / "log*.txt", 0, errors, true);
  EXPECT_EQ(Left(), std::vector<std::string>{"other.dat"});
  MakeFiveLogs();
  DeleteOldFiles(dir / "log*.txt", 0, errors, false);
  EXPECT_EQ(Left(), std::vector<std::string>{"other.dat"});
  EXPECT_EQ(errors.Count(), 0);
}

TEST_F(DeleteOldFilesTest, ByDateDeletesOnOrBeforeTheLimit) {
  const tk::TDateTime today = tk::Date();
  MakeFile(dir / "today.err", tk::Now());
  MakeFile(dir / "yesterday.err", today - 1 + 0.99);
  MakeFile(dir / "lastweek.err", today - 7 + 0.5);
  DeleteOldFiles(dir / "*.err", 1, errors, true);
  EXPECT_EQ(Left(), std::vector<std::string>{"today.err"});

  for (int d = 0; d <= 6; ++d) MakeFile(dir / ("d" + std::to_string(d) + ".err"), today - d + 0.5);
  DeleteOldFiles(dir / "d*.err", 5, errors, true);
  EXPECT_EQ(Left(), (std::vector<std::string>{"d0.err", "d1.err", "d2.err", "d3.err", "d4.err", "today.err"}));
  EXPECT_EQ(errors.Count(), 0);
}

TEST_F(DeleteOldFilesTest, AnUndeletableFileGivesOneLineAndTheOthersGo) {
  qbtest::MakeDirs(dir / "with blank\\");
  const std::string folder = dir / "with blank\\";
  const tk::TDateTime now = tk::Now();
  for (int i = 0; i < 4; ++i) MakeFile(folder + "f" + std::to_string(i) + ".err", now - 10 + i);
  const std::string locked = folder + "f1.err";
  ASSERT_TRUE(SetFileAttributesW(tk::Widen(locked).c_str(), FILE_ATTRIBUTE_READONLY));
  DeleteOldFiles(folder + "*.err", 0, errors, false);
  SetFileAttributesW(tk::Widen(locked).c_str(), FILE_ATTRIBUTE_NORMAL);
  ASSERT_EQ(errors.Count(), 1);
  EXPECT_EQ(errors[0], "0 Couldn't delete: \"" + locked + "\"");
  EXPECT_EQ(qbtest::ListDir(folder), std::vector<std::string>{"f1.err"});
}

TEST_F(DeleteOldFilesTest, AnOpenFileIsReportedToo) {
  MakeFile(dir / "open.txt", tk::Now() - 2);
  MakeFile(dir / "closed.txt", tk::Now() - 3);
  HANDLE h = CreateFileW(tk::Widen(dir / "open.txt").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                         nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  DeleteOldFiles(dir / "*.txt", 0, errors, false);
  CloseHandle(h);
  ASSERT_EQ(dir.path().find(' '), std::string::npos);
  ASSERT_EQ(errors.Count(), 1);
  EXPECT_EQ(errors[0], "0 Couldn't delete: " + dir / "open.txt");
  EXPECT_EQ(Left(), std::vector<std::string>{"open.txt"});
}
