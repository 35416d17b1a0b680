// The profile record against the real registry: save and delete rules, text forms,
// per-computer values, exclude filters, zip logs and malformed numbers.
#include <windows.h>
#include <gtest/gtest.h>

#include "settings/fernoini.h"
#include "settings/qbprofile.h"
#include "settings/vglobal.h"
#include "support/testutil.h"
#include "toolkit/files.h"
#include "toolkit/strings.h"

using qbtest::RegRead;
using qbtest::RegValueNames;
using qbtest::RegWrite;
using Names = std::vector<std::string>;

namespace {

class ProfileRecord : public testing::Test {
 protected:
  void SetUp() override { qbtest::ClearQuillbankKey(); }
  void TearDown() override { qbtest::ClearQuillbankKey(); }
};

}  // namespace

TEST_F(ProfileRecord, NewProfileSavesOnlyFlagsZipAndName) {
  TQbProfile p;
  p.pn = "Docs";
  p.zf = "D:\\Backup\\Docs.zip";
  ASSERT_TRUE(p.SaveToRegistry());
  EXPECT_EQ(RegValueNames("Profiles\\Docs"), (Names{"b", "pn", "zf"}));
  EXPECT_EQ(RegRead("Profiles\\Docs", "b"), "00000110001001000000");
  // zf is written also when empty.
  p.zf.clear();
  p.SaveToRegistry();
  EXPECT_EQ(RegRead("Profiles\\Docs", "zf"), "");
  // A profile without a name writes nothing.
  TQbProfile unnamed;
  EXPECT_FALSE(unnamed.SaveToRegistry());
  EXPECT_EQ(RegValueNames("Profiles"), Names{});
}

TEST_F(ProfileRecord, EveryValueRoundTripsAndDefaultsAreDeleted) {
  TQbProfile p;
  p.pn = "My Docs";
  p.zf = "D:\\Backup\\Docs.zip";
  p.b->SetFlag(poArchiveOnly, true);
  p.cf = 15;
  p.ecmd = 4;
  p.ssuf = "ZIP,CAB";
  p.il = "C:\\Data\\*.*,\"C:\\My Files\\*.doc\"";
  p.cns = "PC1,PC2";
  p.ef = "*.tmp";
  p.ec = "secret";
  p.cmt = "weekly";
  p.adt = -7;
  p.bdir = "C:\\Data";
  p.lrun = tk::EncodeDate(2003, 7, 14) + tk::EncodeTime(9, 5, 0);
  p.ltst = 1.5e-6;
  p.lzs = int64_t{5} << 33;
  p.ml = "BACKUP;SPARE";
  p.zfndf = "yyyy-mm-dd";
  p.ztk = 7;
  p.ze = 12;
  p.te = 3;
  p.nrl = 4;
  p.efil = "Temp,\"Big files\"";
  p.SaveToRegistry();
  const std::string key = "Profiles\\My Docs";
  EXPECT_EQ(RegValueNames(key).size(), 23u);
  EXPECT_EQ(RegRead(key, "lrun"), "37816.3784722222");
  EXPECT_EQ(RegRead(key, "ltst"), "1.5E-6");
  EXPECT_EQ(RegRead(key, "adt"), "-7");
  EXPECT_EQ(RegRead(key, "lzs"), "42949672960");
  EXPECT_EQ(RegRead(key, "cf"), "15");

  TQbProfile q;
  std::string error;
  ASSERT_TRUE(q.LoadFromRegistry("My Docs", &error)) << error;
  EXPECT_TRUE(error.empty());
  EXPECT_EQ(q.b->GetValue(), "10000110001001000000");
  EXPECT_EQ(q.pn, "My Docs");
  EXPECT_EQ(q.zf, p.zf);
  EXPECT_EQ(q.cf, 15);
  EXPECT_EQ(q.ecmd, 4);
  EXPECT_EQ(q.ssuf, "ZIP,CAB");
  EXPECT_EQ(q.il, p.il);
  EXPECT_EQ(q.cns, p.cns);
  EXPECT_EQ(q.ef, p.ef);
  EXPECT_EQ(q.ec, "secret");
  EXPECT_EQ(q.cmt, p.cmt);
  EXPECT_EQ(q.adt, -7);
  EXPECT_EQ(q.bdir, p.bdir);
  EXPECT_NEAR(q.lrun, p.lrun, 1e-9);
  EXPECT_DOUBLE_EQ(q.ltst, 1.5e-6);
  EXPECT_EQ(q.lzs, p.lzs);
  EXPECT_EQ(q.ml, p.ml);
  EXPECT_EQ(q.zfndf, p.zfndf);
  EXPECT_EQ(q.ztk, 7);
  EXPECT_EQ(q.ze, 12);
  EXPECT_EQ(q.te, 3);
  EXPECT_EQ(q.nrl, 4);
  EXPECT_EQ(q.efil, p.efil);

  // Back to the defaults: every optional value goes, other values and subkeys stay.
  RegWrite(key, "foreign", "kept");
  RegWrite(key + "\\ze", "PC1", "2");
  q.SetDefaults();
  EXPECT_EQ(q.pn, "My Docs");
  q.SaveToRegistry();
  EXPECT_EQ(RegValueNames(key), (Names{"b", "foreign", "pn", "zf"}));
  EXPECT_EQ(RegRead(key + "\\ze", "PC1"), "2");
}

TEST_F(ProfileRecord, MissingKeyGivesDefaultsWithoutName) {
  TQbProfile p;
  p.pn = "left over";
  p.cf = 9;
  EXPECT_TRUE(p.LoadFromRegistry("Nowhere"));
  EXPECT_EQ(p.pn, "");
  EXPECT_EQ(p.cf, 5);
  EXPECT_EQ(p.lzs, -2);
  EXPECT_EQ(p.ztk, -1);
  EXPECT_EQ(p.b->GetValue(), DefaultProfileFlags);
}

TEST_F(ProfileRecord, StoredTextsAreCleanedOnLoad) {
  TQbProfile p;
  p.pn = "Docs";
  p.ssuf = " exe, dll ";
  p.SaveToRegistry();
  EXPECT_EQ(p.ssuf, "exe, dll");
  EXPECT_EQ(RegRead("Profiles\\Docs", "ssuf"), "exe, dll");
  RegWrite("Profiles\\Docs", "zfndf", "d-mm-yyyy w2");
  RegWrite("Profiles\\Docs", "b", "101");
  RegWrite("Profiles\\Docs", "pn", "Docs (stored)");
  TQbProfile q;
  ASSERT_TRUE(q.LoadFromRegistry("Docs"));
  EXPECT_EQ(q.ssuf, "EXE, DLL");
  EXPECT_EQ(q.zfndf, "dd-mm-yyyy ww");
  EXPECT_EQ(q.b->GetValue(), "10100000000000000000");
  EXPECT_EQ(q.pn, "Docs (stored)");
  RegWrite("Profiles\\Docs", "b", "1111111111222222222233333");
  q.LoadFromRegistry("Docs");
  EXPECT_EQ(q.b->GetValue(), "11111111112222222222");
}

TEST_F(ProfileRecord, PasswordRoundTripsWithAnyCharacters) {
  const std::string password = "P\xC3\xA4ss w\xE2\x82\xAC\xD0\xB6\xF0\x9F\x94\x91";  // Päss w€ж🔑
  TQbProfile p;
  p.pn = "Docs";
  p.ec = password;
  p.SaveToRegistry();
  const std::string stored = RegRead("Profiles\\Docs", "ec");
  EXPECT_NE(stored, "<missing>");
  EXPECT_EQ(stored.find("ss w"), std::string::npos);
  // Stored: each inverted byte as one character of the ANSI code page.
  EXPECT_EQ(tk::WideToAnsiBytes(tk::Widen(stored)), InvertChars(password));
  TQbProfile q;
  q.LoadFromRegistry("Docs");
  EXPECT_EQ(q.ec, password);
}

TEST_F(ProfileRecord, PasswordOfEarlierVersionsIsRead) {
  // Earlier versions inverted the password's ANSI bytes.
  const std::string ansi = tk::WideToAnsiBytes(L"caf\u00E9");
  ASSERT_EQ(ansi.size(), 4u);
  RegWrite("Profiles\\Old", "pn", "Old");
  RegWrite("Profiles\\Old", "ec", tk::Narrow(tk::AnsiBytesToWide(InvertChars(ansi))));
  TQbProfile p;
  p.LoadFromRegistry("Old");
  EXPECT_EQ(p.ec, "caf\xC3\xA9");
}

TEST_F(ProfileRecord, MalformedNumbersAreReportedNotFatal) {
  RegWrite("Profiles\\Bad", "pn", "Bad");
  RegWrite("Profiles\\Bad", "zf", "D:\\b.zip");
  RegWrite("Profiles\\Bad", "adt", "abc");
  RegWrite("Profiles\\Bad", "lrun", "37816.5");
  RegWrite("Profiles\\Bad", "ltst", "");
  RegWrite("Profiles\\Bad", "lzs", "12x");
  RegWrite("Profiles\\Bad", "cf", "nine");  // integers read as their default
  TQbProfile p;
  std::string error;
  EXPECT_FALSE(p.LoadFromRegistry("Bad", &error));
  EXPECT_NE(error.find("Value \"adt\" in Profiles\\Bad is not a number: \"abc\""), std::string::npos) << error;
  EXPECT_NE(error.find("Value \"ltst\" in Profiles\\Bad is not a number: \"\""), std::string::npos) << error;
  EXPECT_NE(error.find("Value \"lzs\" in Profiles\\Bad is not a number: \"12x\""), std::string::npos) << error;
  EXPECT_EQ(error.find("lrun"), std::string::npos);
  EXPECT_EQ(p.adt, 0);
  EXPECT_EQ(p.lzs, -2);
  EXPECT_EQ(p.lrun, 37816.5);
  EXPECT_EQ(p.cf, 5);
  EXPECT_EQ(p.zf, "D:\\b.zip");
  // Without an error text the result alone tells.
  EXPECT_FALSE(p.LoadFromRegistry("Bad"));
}

TEST_F(ProfileRecord, ComputerResultsAreSummedAndPruned) {
  TQbProfile p;
  p.pn = "Net";
  p.cns = "PC1,pc2";
  p.SaveToRegistry();
  RegWrite("Profiles\\Net\\ze", "PC1", "3");
  RegWrite("Profiles\\Net\\ze", "PC2", "4");
  RegWrite("Profiles\\Net\\ze", "PC3", "100");
  RegWrite("Profiles\\Net", "te", "9");
  RegWrite("Profiles\\Net\\zs", "PC3", "1");
  RegWrite("Profiles\\Net\\lr", "Pc1", "37816");
  p.UpdateZipErrorTotal();
  EXPECT_EQ(p.ze, 7);
  EXPECT_EQ(RegRead("Profiles\\Net", "ze"), "7");
  p.UpdateTestErrorTotal();  // no per-computer test results: 0, deleted
  EXPECT_EQ(p.te, 0);
  EXPECT_EQ(RegRead("Profiles\\Net", "te"), "<missing>");

  p.RemoveStaleComputerValues();
  EXPECT_EQ(RegValueNames("Profiles\\Net\\ze"), (Names{"PC1", "PC2"}));
  EXPECT_EQ(RegValueNames("Profiles\\Net\\zs"), Names{});
  EXPECT_EQ(RegValueNames("Profiles\\Net\\lr"), Names{"Pc1"});
  // Without computers nothing is removed.
  p.cns.clear();
  p.RemoveStaleComputerValues();
  EXPECT_EQ(RegValueNames("Profiles\\Net\\ze"), (Names{"PC1", "PC2"}));
}

TEST_F(ProfileRecord, ZipSizeTexts) {
  EXPECT_EQ(TQbProfile::GetZipSizeText(nullptr, 2, "MB", true, ""), "nil");
  TQbProfile p;
  p.pn = "Net";
  p.zf = "\\\\server\\share\\Docs.zip";
  p.cns = "PC1,PC2";
  p.SaveToRegistry();
  RegWrite("Profiles\\Net\\zs", "PC1", "2048");
  RegWrite("Profiles\\Net\\zs", "PC3", "junk");
  EXPECT_EQ(p.GetZipSizeText(2, "KB", true, "PC2"), "[?]");
  EXPECT_EQ(p.GetZipSizeText(2, "KB", true, "PC3"), "[?]");
  EXPECT_EQ(p.GetZipSizeText(2, "KB", true, "PC1"), "[2.00 KB]");
  EXPECT_EQ(p.GetZipSizeText(2, "KB", true, ""), "[?]");
  p.lzs = 1048576;
  EXPECT_EQ(p.GetZipSizeText(1, "as size fits", true, ""), "[1.0 MB]");

  qbtest::TempDir dir;
  qbtest::WriteFile(dir / "Docs.zip", std::string(1536, 'x'));
  p.zf = dir / "Docs.zip";
  EXPECT_EQ(p.GetZipSizeText(0, "KB", true, ""), "1.5 KB");
  EXPECT_EQ(p.GetZipSizeText(0, "KB", true, "PC1"), "?");  // PC1\Docs.zip is not there
  qbtest::MakeDirs(dir / "PC1");
  qbtest::WriteFile(dir / "PC1\\Docs.zip", "12345");
  EXPECT_EQ(p.GetZipSizeText(0, "bytes", false, "PC1"), "5 bytes");
}

TEST_F(ProfileRecord, ExcludeFiltersAreRenamedAndRemoved) {
  TQbProfile p;
  p.pn = "Docs";
  p.efil = "Temp,\"Big files\",old";
  p.SaveToRegistry();
  EXPECT_TRUE(p.RenameExcludeFilter("BIG FILES", "Huge files"));
  EXPECT_EQ(RegRead("Profiles\\Docs", "efil"), "Temp,\"Huge files\",old");
  EXPECT_TRUE(p.RemoveExcludeFilter("OLD"));
  EXPECT_EQ(RegRead("Profiles\\Docs", "efil"), "Temp,\"Huge files\"");
  RegWrite("Profiles\\Docs", "efil", "untouched");
  EXPECT_FALSE(p.RenameExcludeFilter("Nope", "X"));
  EXPECT_FALSE(p.RemoveExcludeFilter("Nope"));
  EXPECT_EQ(RegRead("Profiles\\Docs", "efil"), "untouched");
  EXPECT_TRUE(p.RemoveExcludeFilter("temp"));
  EXPECT_TRUE(p.RemoveExcludeFilter("Huge files"));
  EXPECT_EQ(RegRead("Profiles\\Docs", "efil"), "<missing>");
}

TEST_F(ProfileRecord, ZipLogsArePrunedByCount) {
  const std::string logs = GetLogsDir();
  qbtest::MakeDirs(logs);
  const std::string pn = "Prune Test";
  std::vector<std::string> files;
  for (int i = 0; i < 4; ++i) {
    files.push_back(logs + pn + " ziplog" + std::to_string(i) + ".txt");
    qbtest::WriteFile(files.back(), "log");
    // Oldest first, a day apart.
    FILETIME ft;
    ASSERT_TRUE(tk::DateTimeToFileTime(tk::EncodeDate(2020, 1, 1 + i), &ft));
    HANDLE h = CreateFileW(tk::Widen(files.back()).c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    SetFileTime(h, nullptr, nullptr, &ft);
    CloseHandle(h);
  }
  const std::string other = logs + "Other ziplog0.txt";
  qbtest::WriteFile(other, "log");
  TQbProfile p;
  p.pn = pn;
  p.nrl = 2;
  tk::TStringList errors;
  p.PruneZipLogs(errors);
  EXPECT_TRUE(errors.Empty());
  EXPECT_FALSE(qbtest::Exists(files[0]));
  EXPECT_FALSE(qbtest::Exists(files[1]));
  EXPECT_TRUE(qbtest::Exists(files[2]));
  EXPECT_TRUE(qbtest::Exists(files[3]));
  p.nrl = 0;  // a deleted profile keeps no log
  p.PruneZipLogs(errors);
  EXPECT_FALSE(qbtest::Exists(files[2]));
  EXPECT_FALSE(qbtest::Exists(files[3]));
  EXPECT_TRUE(qbtest::Exists(other));
  tk::RemoveFile(other);
}
