// Dated zip names, week texts, size texts and result-code texts of the profile record.
#include <gtest/gtest.h>

#include "settings/qbprofile.h"
#include "toolkit/files.h"

namespace {

std::string Dated(const std::string& format, tk::TDateTime day, const std::string& subDir = "",
                  bool wildcard = false) {
  TQbProfile p;
  p.zf = "D:\\Backup\\Docs.zip";
  p.zfndf = format;
  return p.MakeZipNameWithDate(subDir, wildcard, day);
}

const tk::TDateTime March5 = tk::EncodeDate(2003, 3, 5);

}  // namespace

TEST(ZipNames, ExamplesOfTheDatedName) {
  EXPECT_EQ(Dated("yyyy-mm-dd", March5), "D:\\Backup\\Docs-2003-03-05.zip");
  EXPECT_EQ(Dated("*yyyy_mm_dd", March5), "D:\\Backup\\2003_03_05_Docs.zip");
  EXPECT_EQ(Dated("mmm yyyy ww", March5), "D:\\Backup\\Docs Mar 2003 Week1.zip");
  EXPECT_EQ(Dated("yyyy-mm-dd", March5, "", true), "D:\\Backup\\Docs-????" "-??" "-??.zip");
  EXPECT_EQ(Dated("yyyy-mm-dd", March5, "PC1"), "D:\\Backup\\PC1\\Docs-2003-03-05.zip");
}

TEST(ZipNames, WeekOfMonthEndsAtWeek4) {
  EXPECT_EQ(WeekOfMonthText(tk::EncodeDate(2003, 3, 1)), "Week1");
  EXPECT_EQ(WeekOfMonthText(tk::EncodeDate(2003, 3, 7)), "Week1");
  EXPECT_EQ(WeekOfMonthText(tk::EncodeDate(2003, 3, 8)), "Week2");
  EXPECT_EQ(WeekOfMonthText(tk::EncodeDate(2003, 3, 21)), "Week3");
  for (int day = 22; day <= 31; ++day)
    EXPECT_EQ(WeekOfMonthText(tk::EncodeDate(2003, 3, day)), "Week4") << day;
  EXPECT_EQ(Dated("mmm yyyy ww", tk::EncodeDate(2003, 3, 31)), "D:\\Backup\\Docs Mar 2003 Week4.zip");
  EXPECT_EQ(Dated("dd WW", tk::EncodeDate(2004, 2, 29)), "D:\\Backup\\Docs 29 Week4.zip");
  EXPECT_EQ(ExpandWeekToken("no week", March5), "no week");
}

TEST(ZipNames, SeparatorAndPlaceOfTheDate) {
  EXPECT_EQ(Dated("yyyymmdd", March5), "D:\\Backup\\Docs 20030305.zip");
  EXPECT_EQ(Dated("*yyyymmdd", March5), "D:\\Backup\\20030305 Docs.zip");
  EXPECT_EQ(Dated("*yyyymmdd", March5, "PC 2", true), "D:\\Backup\\PC 2\\???????? Docs.zip");
  EXPECT_EQ(ZipNameSeparator("dd-mm_yy"), '_');
  EXPECT_EQ(ZipNameSeparator("dd-mm"), '-');
  EXPECT_EQ(ZipNameSeparator("ddmm"), ' ');
  // The extension of the zip file is always .zip.
  TQbProfile p;
  p.zf = "D:\\Backup\\Docs.dat";
  p.zfndf = "yyyy";
  EXPECT_EQ(p.MakeZipNameWithDate("", false, March5), "D:\\Backup\\Docs 2003.zip");
}

TEST(ZipNames, WildcardFormMatchesEveryDatedName) {
  // Older zips are pruned with the wildcard form, so it has to match the dated names.
  for (const char* format : {"yyyy-mm-dd", "*dd_mm_yyyy", "mmm yyyy ww", "*ww-yy", "dd.mm.yy"}) {
    const std::string mask = tk::ExtractFileName(Dated(format, March5, "", true));
    for (int day : {1, 9, 17, 28}) {
      const std::string name = tk::ExtractFileName(Dated(format, tk::EncodeDate(2003, 9, day)));
      EXPECT_TRUE(tk::MatchesMask(name, mask)) << format << ": " << name << " vs " << mask;
    }
  }
  EXPECT_EQ(Dated("mmm yyyy ww", March5, "", true), "D:\\Backup\\Docs ??? ???? Week?.zip");
}

TEST(ZipNames, GetZipFileNameWithoutDate) {
  TQbProfile p;
  p.zf = "\\\\srv\\share\\Docs.zip";
  EXPECT_EQ(p.GetZipFileName(""), "\\\\srv\\share\\Docs.zip");
  EXPECT_EQ(p.GetZipFileName("PC1"), "\\\\srv\\share\\PC1\\Docs.zip");
  p.zfndf = "yyyy";
  const std::string year = tk::FormatDateTime("yyyy", tk::Date());
  EXPECT_EQ(p.GetZipFileName("PC1"), "\\\\srv\\share\\PC1\\Docs " + year + ".zip");
}

TEST(ZipNames, DateFormatIsNormalised) {
  EXPECT_EQ(NormalizeZipDateFormat("d-mm-yyyy w2"), "dd-mm-yyyy ww");
  EXPECT_EQ(NormalizeZipDateFormat("dd-d W3"), "dd-d ww");
  EXPECT_EQ(NormalizeZipDateFormat("w1 w1"), "ww w1");
  EXPECT_EQ(NormalizeZipDateFormat("yyyy"), "yyyy");
  EXPECT_EQ(NormalizeZipDateFormat(""), "");
}

TEST(SizeTexts, FixedUnits) {
  EXPECT_EQ(DecimalsMask(0), "0.0");
  EXPECT_EQ(DecimalsMask(-2), "0.0");
  EXPECT_EQ(DecimalsMask(2), "0.00");
  for (const char* unit : {"KB", "kb", "Kb"}) EXPECT_EQ(FormatFileSize(unit, 1536, 0), "1.5 KB") << unit;
  EXPECT_EQ(FormatFileSize("BYTES", 1234567, 2), "1234567 bytes");
  EXPECT_EQ(FormatFileSize("MB", 3 * 1048576 / 2, 3), "1.500 MB");
  EXPECT_EQ(FormatFileSize("MB", -1, 2), "can't open");
}

TEST(SizeTexts, AsSizeFits) {
  EXPECT_EQ(FormatFileSize("as size fits", 1023, 2), "1023 bytes");
  EXPECT_EQ(FormatFileSize("as size fits", 1024, 2), "1.00 KB");
  EXPECT_EQ(FormatFileSize("as size fits", 1048575, 1), "1024.0 KB");
  EXPECT_EQ(FormatFileSize("as size fits", 1048576, 2), "1.00 MB");
  EXPECT_EQ(FormatFileSize("", 1610612736, 2), "1.50 GB");
  EXPECT_EQ(FormatFileSize("", int64_t{5} << 40, 1), "5120.0 GB");
}

TEST(ResultTexts, BothTables) {
  EXPECT_EQ(ZipErrorTexts[0], "");
  EXPECT_EQ(ZipErrorTexts[12], "Nothing to do!");
  EXPECT_EQ(ZipErrorTexts[21], "Improper use of a multi-volume ZIP file");
  EXPECT_EQ(ZipErrorTexts[22], "-");
  EXPECT_EQ(ZipErrorTexts[50], "-");
  EXPECT_EQ(ZipErrorTexts[51], "Source path not found");
  EXPECT_EQ(UnzipErrorTexts[0], "");
  EXPECT_EQ(UnzipErrorTexts[1], "Error 1");
  EXPECT_EQ(UnzipErrorTexts[5], "Out of memory");
  EXPECT_EQ(UnzipErrorTexts[26], "Error 26");
  EXPECT_EQ(UnzipErrorTexts[39], "Bad CRC");
  EXPECT_EQ(UnzipErrorTexts[43], "Error 43");
  EXPECT_EQ(UnzipErrorTexts[50], "Disk full");
  int filled = 0;
  for (int i = 0; i < UnzipErrorTextCount; ++i) filled += UnzipErrorTexts[i] == "Error " + std::to_string(i);
  EXPECT_EQ(filled, 29);
}
