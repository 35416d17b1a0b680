// The run engine's pieces in-process: the extract command line, error lines, the
// option texts built from a profile, the temporary store-and-zip folder, the
// volume check and the store-and-zip wrapper test.
#include <gtest/gtest.h>
#include <windows.h>

#include <memory>

#include "runner/commands.h"
#include "runner/extrparams.h"
#include "runner/runengine.h"
#include "runner/runstate.h"
#include "settings/fernoini.h"
#include "support/testutil.h"
#include "toolkit/datetime.h"
#include "toolkit/files.h"
#include "toolkit/strings.h"

namespace {

using U = dz::TUnzipFlag;

std::string CurrentFolder() {
  wchar_t buf[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, buf);
  return tk::Narrow(buf);
}

TEST(ExtrParams, SwitchesMayStandAnywhereAndTheExtensionIsForced) {
  TExtrParams xp;
  xp.Parse(R"(C:\q\RunQb.exe X /o- "C:\my backups\docs.bak" /d- "*.txt;*.doc ; a b.ini" D:\out)");
  EXPECT_EQ(xp.zip, "C:\\my backups\\docs.zip");
  EXPECT_EQ(xp.masks, "*.txt *.doc   a b.ini");
  EXPECT_EQ(xp.destination, "D:\\out");
  EXPECT_FALSE(xp.flags.Contains(U::OverWriteFlag));
  EXPECT_TRUE(xp.flags.Contains(U::NoDirectoryNamesFlag));
  EXPECT_TRUE(xp.flags.Contains(U::RecurseFlag));
  EXPECT_EQ(xp.password, "");
}

TEST(ExtrParams, DefaultsAndABareNameInTheCurrentFolder) {
  TExtrParams xp;
  EXPECT_EQ(xp.flags.Mask(), 0x44u);
  xp.Parse("RunQb.exe X backup");
  EXPECT_EQ(xp.zip, tk::IncludeTrailingBackslash(CurrentFolder()) + "backup.zip");
  EXPECT_EQ(xp.masks, "");
  EXPECT_EQ(xp.destination, "");
  EXPECT_EQ(xp.flags.Mask(), 0x44u);
  // A second parse starts afresh.
  xp.Parse("RunQb.exe X a.zip /O- /pX");
  EXPECT_FALSE(xp.flags.Contains(U::OverWriteFlag));
  xp.Parse("RunQb.exe X a.zip");
  EXPECT_TRUE(xp.flags.Contains(U::OverWriteFlag));
  EXPECT_EQ(xp.password, "");
}

TEST(ExtrParams, PasswordComesOnlyFromASwitchWordLowerCaseFirst) {
  TExtrParams xp;
  xp.Parse("RunQb.exe X C:\\z.zip *.* C:\\out /PUpper /plower");
  EXPECT_EQ(xp.password, "lower");
  xp.Parse("RunQb.exe X C:\\z.zip *.* C:\\out /PUpper");
  EXPECT_EQ(xp.password, "Upper");
  // A "/p" inside a path is no switch.
  xp.Parse("RunQb.exe X D:/photos/album.zip *.* D:/photos/out");
  EXPECT_EQ(xp.password, "");
  EXPECT_EQ(xp.destination, "D:/photos/out");
  xp.Parse("RunQb.exe X \"C:\\a b\\z.zip\" \"/psecret with blank\"");
  EXPECT_EQ(xp.password, "secret with blank");
}

TEST(ExtrParams, WordsSkipLoneQuotePairsAndAreCapped) {
  const auto words = TExtrParams::PositionalWords("p X \"\" a\"b c\"d /sw " + std::string(5000, 'y'));
  ASSERT_EQ(words.size(), 4u);
  EXPECT_EQ(words[2], "ab cd");
  EXPECT_EQ(words[3].size(), 4096u);
}

TEST(ErrorLines, FormAndStayOneLine) {
  EXPECT_EQ(ErrorLineText(0, "Couldn't run, Profile doesn't exist", "Docs", ""),
            "0 Docs: Couldn't run, Profile doesn't exist");
  EXPECT_EQ(ErrorLineText(51, "Source path not found", "Multi", "PC2"), "51 Multi (PC2): Source path not found");
  EXPECT_EQ(ErrorLineText(-2, " ZIP File Open Error", "", ""), "-2  ZIP File Open Error");
  EXPECT_EQ(ErrorLineText(11, "bad\r\nthing\n", "P", ""), "11 P: bad  thing ");
  EXPECT_EQ(ZipResultText(51), "Source path not found");
  EXPECT_EQ(ZipResultText(77), "Error 77");
  EXPECT_EQ(UnzipResultText(-5), "Error -5");
}

TEST(ProfileTexts, SpecListsSuffixesAndDates) {
  EXPECT_EQ(SpecListToItemList("C:\\a\\*.txt,\"C:\\my docs\\*.*\""), "C:\\a\\*.txt \"C:\\my docs\\*.*\"");
  EXPECT_EQ(SpecListToItemList(""), "");

  TQbProfile p;
  p.b->SetValue(std::string(20, '0'));
  EXPECT_EQ(StoreSuffixText(p), "");
  p.b->SetFlag(poNoCompressImages, true);
  p.ssuf = "mp3,ogg";
  EXPECT_EQ(StoreSuffixText(p), ".JPG:.PNG:.GIF:.TIF:.TIFF:.JPEG:.mp3:.ogg");
  p.b->SetFlag(poNoCompressArchives, true);
  EXPECT_EQ(StoreSuffixText(p).rfind(".BZ2:.Z:.ZIP:", 0), 0u);

  const tk::TDateTime day = tk::EncodeDate(2026, 3, 23);
  TQbProfile d;
  EXPECT_EQ(AfterDateText(d, day), "");
  d.adt = -7;
  EXPECT_EQ(AfterDateText(d, day), "031626");
  d.adt = tk::EncodeDate(2025, 12, 31);
  EXPECT_EQ(AfterDateText(d, day), "123125");
  d.b->SetFlag(poCurrentWeek, true);  // day 23: the fourth week starts on the 22nd
  EXPECT_EQ(AfterDateText(d, day), "032226");
  EXPECT_EQ(AfterDateText(d, tk::EncodeDate(2026, 3, 31)), "032226");
  EXPECT_EQ(AfterDateText(d, tk::EncodeDate(2026, 3, 8)), "030826");
  EXPECT_EQ(AfterDateText(d, tk::EncodeDate(2026, 3, 7)), "030126");
  d.b->SetFlag(poCurrentWeek, false);
  d.b->SetFlag(poCurrentMonth, true);
  EXPECT_EQ(AfterDateText(d, day), "030126");
  d.b->SetFlag(poCurrentMonth, false);
  d.b->SetFlag(poCurrentDay, true);
  EXPECT_EQ(AfterDateText(d, day), "032326");
}

TEST(ProfileTexts, CustomDelaysTakeTheLongestMatchingLine) {
  tk::TStringList lines({"D:\\=40", "d:\\backup=70", "E:\\=90", "=5", "noequals", "D:\\x=abc"});
  EXPECT_EQ(LongestMatchingDelay(lines, "D:\\Backup\\a.zip"), 70);
  EXPECT_EQ(LongestMatchingDelay(lines, "D:\\other\\a.zip"), 40);
  EXPECT_EQ(LongestMatchingDelay(lines, "C:\\a.zip"), 0);
  // Lines without a usable prefix match paths that begin with "/".
  EXPECT_EQ(LongestMatchingDelay(lines, "/odd"), 5);
}

class EngineRegistry : public ::testing::Test {
 protected:
  void SetUp() override {
    qbtest::ClearQuillbankKey();
    store_ = std::make_unique<TFernoIni>();  // opened after the key was cleared
    Runner.Ini = store_.get();
  }
  void TearDown() override {
    Runner.Ini = nullptr;
    store_.reset();
    qbtest::ClearQuillbankKey();
  }
  std::unique_ptr<TFernoIni> store_;
};

TEST_F(EngineRegistry, ExcludesJoinTheListAndTheNamedFilters) {
  qbtest::RegWrite("ExFilters", "Junk", "tmp,,bak");
  qbtest::RegWrite("ExFilters", "Logs", "log");
  TQbProfile p;
  p.ef = "C:\\x\\*.old,\"C:\\a b\\*.c\"";
  p.efil = "Junk,Missing,Logs";
  EXPECT_EQ(ExcludeText(p), "C:\\x\\*.old \"C:\\a b\\*.c\" *.tmp *.bak *.log");
  TQbProfile q;
  EXPECT_EQ(ExcludeText(q), "");
}

TEST_F(EngineRegistry, EveryStoredArchiveFolderIsNewAndGoesAgain) {
  qbtest::TempDir temp;
  store_->SetTempDirectory(temp.path());
  const std::string a = MakeStoredArchivePath();
  const std::string b = MakeStoredArchivePath();
  ASSERT_FALSE(a.empty());
  ASSERT_FALSE(b.empty());
  EXPECT_NE(a, b);
  EXPECT_EQ(tk::ExtractFileName(a), "stored.zip");
  const std::string folder = tk::ExcludeTrailingBackslash(tk::ExtractFilePath(a));
  EXPECT_TRUE(tk::DirectoryExists(folder));
  EXPECT_EQ(tk::ExtractFileExt(folder), ".dir");
  EXPECT_EQ(tk::ExtractFileName(folder).rfind("qb_", 0), 0u);
  // Only the two folders remain: the placeholders are gone.
  EXPECT_EQ(qbtest::ListDir(temp.path()).size(), 2u);

  qbtest::WriteFile(a, "x");
  qbtest::WriteFile(tk::ExtractFilePath(a) + "reset.zip", "y");
  RemoveStoredArchivePath(a, "file ", "dir ", "P", "");
  RemoveStoredArchivePath(b, "file ", "dir ", "P", "");
  EXPECT_TRUE(Runner.ErrorList.Empty());
  EXPECT_TRUE(qbtest::ListDir(temp.path()).empty());
  // A temporary folder that is no folder at all gives no fixed fallback name.
  store_->SetTempDirectory(temp / "missing\\deeper");
  EXPECT_EQ(MakeStoredArchivePath(), "");
}

TEST(Volumes, EarlierSetsAreSeenInEveryForm) {
  qbtest::TempDir dir;
  const std::string vol = dir / "set.zip";
  EXPECT_FALSE(CheckVolumesExist(vol));
  EXPECT_FALSE(CheckVolumesExist(dir / "nofolder\\set.zip"));
  qbtest::WriteFile(dir / "set.z01", "1");
  EXPECT_TRUE(CheckVolumesExist(vol));
  tk::RemoveFile(dir / "set.z01");
  qbtest::WriteFile(dir / "set.zip.001", "1");
  EXPECT_TRUE(CheckVolumesExist(vol));
  tk::RemoveFile(dir / "set.zip.001");
  qbtest::WriteFile(dir / "set.zip", "1");
  EXPECT_TRUE(CheckVolumesExist(vol));
  // Another name is another set.
  EXPECT_FALSE(CheckVolumesExist(dir / "other.zip"));
}

TEST(StoredArchiveWrapper, OnlyAZipOfThatOneItem) {
  qbtest::TempDir dir;
  qbtest::WriteFile(dir / "stored.zip", "inner bytes");
  qbtest::WriteFile(dir / "extra.txt", "more");
  const std::string u = qbtest::ToUnixPath(dir.path());
  ASSERT_EQ(qbtest::RunUnix("cd '" + u + "' && zip -q wrap.zip stored.zip && zip -q both.zip stored.zip extra.txt"
                            " && zip -q plain.zip extra.txt"),
            0);
  EXPECT_TRUE(IsStoredArchiveWrapper(dir / "wrap.zip"));
  EXPECT_FALSE(IsStoredArchiveWrapper(dir / "both.zip"));
  EXPECT_FALSE(IsStoredArchiveWrapper(dir / "plain.zip"));
  EXPECT_FALSE(IsStoredArchiveWrapper(dir / "missing.zip"));
}

}  // namespace
