// The version reader on real files: this test program carries a version resource of
// its own (2.0.1.15, German translation first), the built programs and DLLs carry
// the project's one, and plain files carry none.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "settings/verinfo.h"
#include "support/testutil.h"
#include "toolkit/datetime.h"
#include "toolkit/files.h"

namespace {

void ExpectNoResource(const TFileVersionInfo& v) {
  EXPECT_EQ(v.MajorVersion(), -1);
  EXPECT_EQ(v.MinorVersion(), -1);
  EXPECT_EQ(v.Release(), -1);
  EXPECT_EQ(v.Build(), -1);
  EXPECT_EQ(v.DateTime(), 0);
  for (int i = 1; i <= 10; ++i) EXPECT_EQ(v.GetVersionText(i), "") << i;
}

// The version numbers as "a.b.c.d".
std::string Numbers(const TFileVersionInfo& v) {
  return std::to_string(v.MajorVersion()) + "." + std::to_string(v.MinorVersion()) + "." +
         std::to_string(v.Release()) + "." + std::to_string(v.Build());
}

// A copy of this program whose fixed version part carries the given file date.
std::string CopyWithFileDate(const std::string& path, const FILETIME& date) {
  std::string bytes = qbtest::ReadFile(tk::ProgramFile());
  const char signature[] = "\xBD\x04\xEF\xFE";
  size_t at = bytes.find(std::string(signature, 4));
  while (at != std::string::npos) {
    uint32_t versionMS = 0;
    std::memcpy(&versionMS, bytes.data() + at + 8, 4);
    if (versionMS == 0x00020000u) break;  // 2.0: our resource, not a stray byte run
    at = bytes.find(std::string(signature, 4), at + 1);
  }
  if (at == std::string::npos) return "";
  std::memcpy(bytes.data() + at + 44, &date.dwHighDateTime, 4);
  std::memcpy(bytes.data() + at + 48, &date.dwLowDateTime, 4);
  qbtest::WriteFile(path, bytes);
  return path;
}

}  // namespace

TEST(FileVersionInfo, OwnResourceGivesNumbersAndTextsOfTheFirstTranslation) {
  TFileVersionInfo v;
  v.SetFileName(tk::ProgramFile());
  EXPECT_EQ(v.FileName(), tk::ProgramFile());
  EXPECT_EQ(Numbers(v), "2.0.1.15");
  EXPECT_EQ(v.CompanyName(), "Prüfwerk");
  EXPECT_EQ(v.FileDescription(), "Reader test program");
  EXPECT_EQ(v.FileVersion(), "2.0.1.15");
  EXPECT_EQ(v.InternalName(), "verinfo");
  EXPECT_EQ(v.OriginalFilename(), "verinfo_tests.exe");
  EXPECT_EQ(v.ProductName(), "Reader test");
  EXPECT_EQ(v.ProductVersion(), "2.0.1");
  EXPECT_EQ(v.Comments(), "Grüße aus dem Test");
  EXPECT_EQ(v.LegalTrademarks(), "none");
  // Only the second translation has a copyright: the first one's missing entry is empty.
  EXPECT_EQ(v.LegalCopyright(), "");
  // The resource compiler leaves the file date 0, the first day of file times.
  EXPECT_EQ(v.DateTime(), tk::EncodeDate(1601, 1, 1));
  // Indexes outside the properties.
  EXPECT_EQ(v.GetVersionNumber(0), -1);
  EXPECT_EQ(v.GetVersionNumber(5), -1);
  EXPECT_EQ(v.GetVersionText(0), "");
  EXPECT_EQ(v.GetVersionText(11), "");
  EXPECT_EQ(v.GetVersionText(9), "Grüße aus dem Test");
}

// The programs carry the project's version; the zip library keeps the version that the
// manager's check of the files beside it expects.
TEST(FileVersionInfo, BuiltProgramsAndLibrariesCarryTheirVersions) {
  struct Case {
    const char* file;
    const char* description;
    const char* version;
  } cases[] = {{"QbEw.exe", "Quillbank error and warning viewer", QB_EXPECT_VERSION},
               {"dzip32.dll", "Quillbank zip library (compression)", "5.0.0.3"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    TFileVersionInfo v;
    v.SetFileName(qbtest::BinDir() + c.file);
    EXPECT_EQ(Numbers(v), c.version);
    EXPECT_EQ(v.FileVersion(), c.version);
    EXPECT_EQ(v.CompanyName(), "Quillbank");
    EXPECT_EQ(v.ProductName(), "Quillbank");
    EXPECT_EQ(v.FileDescription(), c.description);
    EXPECT_EQ(v.OriginalFilename(), c.file);
    EXPECT_EQ(v.InternalName(), c.file);
    EXPECT_EQ(v.Comments(), "");
  }
}

TEST(FileVersionInfo, FilesWithoutResourceGiveMinusOneZeroAndEmptyTexts) {
  qbtest::TempDir dir;
  qbtest::WriteFile(dir / "plain.txt", "not a program");
  TFileVersionInfo v;
  ExpectNoResource(v);  // before any file
  v.SetFileName(dir / "plain.txt");
  ExpectNoResource(v);
  v.SetFileName(dir / "missing.exe");
  ExpectNoResource(v);
  v.SetFileName("");
  ExpectNoResource(v);
}

TEST(FileVersionInfo, AnotherFileReplacesWhatThePreviousOneGave) {
  qbtest::TempDir dir;
  qbtest::WriteFile(dir / "plain.dll", "MZ but nothing more");
  TFileVersionInfo v;
  v.SetFileName(tk::ProgramFile());
  ASSERT_EQ(v.MajorVersion(), 2);
  v.SetFileName(dir / "plain.dll");
  ExpectNoResource(v);
  v.SetFileName(qbtest::BinDir() + "QbEw.exe");
  EXPECT_EQ(Numbers(v), QB_EXPECT_VERSION);
  v.SetFileName(tk::ProgramFile());
  EXPECT_EQ(Numbers(v), "2.0.1.15");
}

TEST(FileVersionInfo, TheSameNameIsReadOnce) {
  qbtest::TempDir dir;
  const std::string copy = dir / "Copy.exe";
  qbtest::WriteFile(copy, qbtest::ReadFile(tk::ProgramFile()));
  TFileVersionInfo v;
  v.SetFileName(copy);
  ASSERT_EQ(Numbers(v), "2.0.1.15");
  ASSERT_TRUE(tk::RemoveFile(copy));
  // The file is gone; the same name keeps what was read.
  v.SetFileName(copy);
  EXPECT_EQ(Numbers(v), "2.0.1.15");
  EXPECT_EQ(v.Comments(), "Grüße aus dem Test");
  // Names compare exactly: another spelling reads again and finds nothing.
  v.SetFileName(dir / "COPY.exe");
  ExpectNoResource(v);
}

TEST(FileVersionInfo, FileDateOfTheFixedPartBecomesADateTimeWithMilliseconds) {
  qbtest::TempDir dir;
  SYSTEMTIME st{};
  st.wYear = 2024;
  st.wMonth = 5;
  st.wDay = 17;
  st.wHour = 13;
  st.wMinute = 45;
  st.wSecond = 30;
  st.wMilliseconds = 250;
  FILETIME ft{};
  ASSERT_TRUE(SystemTimeToFileTime(&st, &ft));
  const std::string dated = CopyWithFileDate(dir / "dated.exe", ft);
  ASSERT_FALSE(dated.empty());
  TFileVersionInfo v;
  v.SetFileName(dated);
  EXPECT_EQ(Numbers(v), "2.0.1.15");
  // Taken as it stands: no change of time zone.
  EXPECT_NEAR(v.DateTime(), tk::EncodeDate(2024, 5, 17) + tk::EncodeTime(13, 45, 30, 250), 1e-9);
}
