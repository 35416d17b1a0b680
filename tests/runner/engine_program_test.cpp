// The real RunQb.exe runs, tests, splits, joins and extracts profiles written to the
// registry; the zips are read back by outside tools. Each run starts from a copied
// program folder whose QbEw.exe is the stand-in that records the error hand-off.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <initializer_list>
#include <string>
#include <vector>

#include "settings/fernoini.h"
#include "support/testutil.h"
#include "toolkit/cmdline.h"
#include "toolkit/files.h"
#include "toolkit/format.h"
#include "toolkit/stringlist.h"
#include "toolkit/strings.h"

namespace {

using qbtest::Exists;
using qbtest::ReadFile;
using qbtest::RegRead;
using qbtest::RegWrite;
using qbtest::WriteFile;

const std::string kMissing = "<missing>";

// The profile flag string with the given positions set.
std::string Flags(std::initializer_list<int> on) {
  std::string b(20, '0');
  for (int i : on) b[static_cast<size_t>(i - 1)] = '1';
  return b;
}

class RunnerFolder {
 public:
  RunnerFolder() {
    for (auto [from, to] : {std::pair{"RunQb.exe", "RunQb.exe"}, {"dzip32.dll", "dzip32.dll"},
                            {"dunzip32.dll", "dunzip32.dll"}, {"frame_viewer_standin.exe", "QbEw.exe"}})
      EXPECT_TRUE(CopyFileW(tk::Widen(qbtest::BinDir() + from).c_str(), tk::Widen(dir_ / to).c_str(), FALSE)) << from;
    SetEnvironmentVariableW(L"QB_VIEWER_LOG", tk::Widen(dir_ / "viewer.log").c_str());
    SetEnvironmentVariableW(L"QB_SESSION_END_LOG", tk::Widen(dir_ / "session.log").c_str());
  }
  // Runs one command and waits; the error lines it handed to the viewer afterwards.
  std::vector<std::string> Run(const std::string& args) {
    tk::RemoveFile(dir_ / "viewer.log");
    EXPECT_EQ(qbtest::RunProgram(dir_ / "RunQb.exe", args, 120000), 0) << args;
    std::vector<std::string> lines;
    // The runner starts the viewer without waiting for it: give it a moment.
    for (int i = 0; i < 150 && !Exists(dir_ / "viewer.log"); ++i) Sleep(20);
    if (!Exists(dir_ / "viewer.log")) return lines;
    std::vector<std::string> words = tk::SplitCommandLine(ReadFile(dir_ / "viewer.log"));
    EXPECT_GE(words.size(), 2u);
    if (words.size() < 2) return lines;
    for (const auto& l : tk::SplitLines(ReadFile(words[1]))) lines.push_back(l);
    return lines;
  }

 private:
  qbtest::TempDir dir_;
};

std::string Unix(const std::string& win) { return "'" + qbtest::ToUnixPath(win) + "'"; }

// Item names of a zip as the Linux side reads them.
std::vector<std::string> ZipNames(const std::string& zip) {
  std::string out;
  EXPECT_EQ(qbtest::RunUnix("python3 -c 'import sys,zipfile; print(\"\\n\".join(zipfile.ZipFile(sys.argv[1]).namelist()))' " +
                                Unix(zip),
                            &out),
            0)
      << out;
  std::vector<std::string> names = tk::SplitLines(out);
  std::sort(names.begin(), names.end());
  return names;
}

bool UnzipTestPasses(const std::string& zip) {
  std::string out;
  return qbtest::RunUnix("unzip -tq " + Unix(zip), &out) == 0;
}

bool Contains(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

void SetAge(const std::string& file, int daysBack) {
  HANDLE h = CreateFileW(tk::Widen(file).c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                         nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  ULARGE_INTEGER t{{now.dwLowDateTime, now.dwHighDateTime}};
  t.QuadPart -= static_cast<ULONGLONG>(daysBack) * 864000000000ULL;
  FILETIME ft{t.LowPart, t.HighPart};
  SetFileTime(h, nullptr, nullptr, &ft);
  CloseHandle(h);
}

std::vector<std::string> Matching(const std::string& mask) {
  std::vector<std::string> names;
  for (const auto& r : tk::FindFiles(mask)) names.push_back(r.name);
  std::sort(names.begin(), names.end());
  return names;
}

class EngineProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    qbtest::ClearQuillbankKey();
    RegWrite("Options\\General", "TempDirectory", temp_.path());
    RegWrite("Options\\General", "RunAndTestDelay", "0");
    src_ = work_ / "src\\";
    qbtest::MakeDirs(src_ + "sub");
    WriteFile(src_ + "a.txt", "alpha alpha alpha");
    WriteFile(src_ + "sub\\b.txt", "beta");
    WriteFile(src_ + "c.tmp", "scratch");
    WriteFile(src_ + "d.log", "log");
    out_ = work_ / "out\\";
  }
  void TearDown() override {
    for (const auto& name : profiles_)
      for (const auto& log : Matching(GetLogsDir() + name + " ziplog *.txt")) tk::RemoveFile(GetLogsDir() + log);
    qbtest::ClearQuillbankKey();
  }
  // A profile under Profiles\<name> with the values given.
  void Profile(const std::string& name, std::initializer_list<std::pair<const char*, std::string>> values) {
    // Listed in Profile Names too, where the summaries look for profiles.
    TFernoIni ini;
    ini.SetProfileName(static_cast<int>(profiles_.size()), name);
    profiles_.push_back(name);
    ini.SetProfileCount(static_cast<int>(profiles_.size()));
    RegWrite("Profiles\\" + name, "pn", name);
    for (const auto& [k, v] : values) RegWrite("Profiles\\" + name, k, v);
  }
  qbtest::TempDir work_, temp_;
  std::string src_, out_;
  std::vector<std::string> profiles_;
  RunnerFolder runner_;
};

TEST_F(EngineProgram, AProfileIsBackedUpWithItsOptions) {
  RegWrite("ExFilters", "LogFiles", "log");
  const std::string zip = out_ + "Docs.zip";
  Profile("EngDocs", {{"zf", zip},
                      {"b", Flags({6})},
                      {"il", src_ + "*.*"},
                      {"ef", "*.tmp"},
                      {"efil", "LogFiles"},
                      {"cmt", "\"line one\",\"line two\""},
                      {"nrl", "2"}});
  const auto errors = runner_.Run("R EngDocs");
  EXPECT_TRUE(errors.empty()) << (errors.empty() ? "" : errors[0]);

  ASSERT_TRUE(Exists(zip));
  EXPECT_TRUE(UnzipTestPasses(zip));
  const auto names = ZipNames(zip);
  auto has = [&](const std::string& end) {
    return std::any_of(names.begin(), names.end(), [&](const std::string& n) { return tk::EndsText(end, n); });
  };
  EXPECT_TRUE(has("a.txt"));
  EXPECT_TRUE(has("sub/b.txt"));
  EXPECT_FALSE(has(".tmp"));
  EXPECT_FALSE(has(".log"));
  std::string comment;
  qbtest::RunUnix("python3 -c 'import sys,zipfile; sys.stdout.write(repr(zipfile.ZipFile(sys.argv[1]).comment))' " +
                      Unix(zip),
                  &comment);
  EXPECT_EQ(comment, "b'line one\\r\\nline two\\r\\n'");

  double lrun = 0;
  EXPECT_TRUE(tk::TryStrToFloat(RegRead("Profiles\\EngDocs", "lrun"), &lrun, '.'));
  EXPECT_NEAR(lrun, tk::Now(), 0.01);
  EXPECT_EQ(RegRead("Profiles\\EngDocs", "ze"), kMissing);
  EXPECT_EQ(RegRead("Options\\General", "ToRefresh"), "\"EngDocs\" ");
  EXPECT_EQ(RegRead("Options\\General", "AllRunsOK"), "1");

  const auto logs = Matching(GetLogsDir() + "EngDocs ziplog *.txt");
  ASSERT_EQ(logs.size(), 1u);
  EXPECT_NE(ReadFile(GetLogsDir() + logs[0]).find("--- Quillbank ZIP Log - "), std::string::npos);
}

TEST_F(EngineProgram, OldDatedZipsAndLogsArePruned) {
  Profile("EngDated", {{"zf", out_ + "Dated.zip"}, {"b", Flags({6})}, {"il", src_ + "a.txt"},
                       {"zfndf", "yyyy_mm_dd"}, {"ztk", "2"}, {"nrl", "1"}});
  qbtest::MakeDirs(out_);
  for (int i = 1; i <= 3; ++i) {
    const std::string old = out_ + "Dated_2020_01_0" + std::to_string(i) + ".zip";
    WriteFile(old, "old");
    SetAge(old, 100 - i);
  }
  qbtest::MakeDirs(GetLogsDir());
  const std::string oldLog = GetLogsDir() + "EngDated ziplog 2020 01 01 0000.txt";
  WriteFile(oldLog, "old log");
  SetAge(oldLog, 50);
  EXPECT_TRUE(runner_.Run("R EngDated").empty());
  const auto zips = Matching(out_ + "Dated_*.zip");
  ASSERT_EQ(zips.size(), 2u);
  EXPECT_EQ(zips[0], "Dated_2020_01_03.zip");  // the newest old one stays beside today's
  EXPECT_TRUE(UnzipTestPasses(out_ + zips[1]));
  const auto logs = Matching(GetLogsDir() + "EngDated ziplog *.txt");
  ASSERT_EQ(logs.size(), 1u);
  EXPECT_NE(logs[0], tk::ExtractFileName(oldLog));
}

TEST_F(EngineProgram, MultiComputerRunWithAMissingComputer) {
  // \\pc1\engmulti is a local folder through the prefix's UNC links; pc2 is missing.
  const std::string link = "\"$WINEPREFIX/dosdevices/unc/pc1\"";
  ASSERT_EQ(qbtest::RunUnix("mkdir -p " + link + " && ln -sfn " + Unix(tk::ExcludeTrailingBackslash(src_)) + " " +
                            link + "/engmulti"),
            0);
  Profile("EngMulti", {{"zf", out_ + "engmulti.zip"}, {"b", Flags({6})}, {"cns", "pc1,pc2"}});
  const auto errors = runner_.Run("R EngMulti");
  EXPECT_TRUE(Contains(errors, "51 EngMulti (pc2): Source path not found")) << errors.size();
  ASSERT_TRUE(Exists(out_ + "pc1\\engmulti.zip"));
  EXPECT_TRUE(UnzipTestPasses(out_ + "pc1\\engmulti.zip"));
  EXPECT_EQ(RegRead("Profiles\\EngMulti\\ze", "pc2"), "51");
  EXPECT_EQ(RegRead("Profiles\\EngMulti\\ze", "pc1"), kMissing);
  EXPECT_EQ(RegRead("Profiles\\EngMulti", "ze"), "51");
  const std::string lr1 = RegRead("Profiles\\EngMulti\\lr", "pc1");
  EXPECT_NE(lr1, kMissing);
  EXPECT_NE(RegRead("Profiles\\EngMulti\\lr", "pc2"), kMissing);

  // The starter's choice of computers: only pc2 is tried, pc1 keeps its values.
  RegWrite("Options\\General", "sSelectedMcNames", "pc2");
  RegWrite("Profiles\\EngMulti\\ze", "pc2", "7");
  Sleep(1100);
  runner_.Run("R EngMulti");
  EXPECT_EQ(RegRead("Profiles\\EngMulti\\lr", "pc1"), lr1);
  EXPECT_EQ(RegRead("Profiles\\EngMulti\\ze", "pc2"), "51");
  EXPECT_EQ(RegRead("Options\\General", "sSelectedMcNames"), kMissing);

  // Testing: pc1's zip passes, pc2 has none.
  const auto testErrors = runner_.Run("T EngMulti");
  EXPECT_NE(RegRead("Profiles\\EngMulti\\lt", "pc1"), kMissing);
  EXPECT_EQ(RegRead("Profiles\\EngMulti\\te", "pc1"), kMissing);
  EXPECT_TRUE(Contains(testErrors, "0 EngMulti (pc2): Couldn't test, ZIP file \"" + out_ + "pc2\\engmulti.zip\" doesn't exist"));
  qbtest::RunUnix("rm -rf " + link);
}

TEST_F(EngineProgram, DeleteBeforeRunningKeepsTheOldZipWhenTheRunFails) {
  qbtest::MakeDirs(out_);
  WriteFile(work_ / "old.txt", "the previous backup");
  const std::string zip = out_ + "Keep.zip";
  ASSERT_EQ(qbtest::RunUnix("cd " + Unix(work_.path()) + " && zip -q " + Unix(zip) + " old.txt"), 0);
  const std::string before = ReadFile(zip);
  Profile("EngKeep", {{"zf", zip}, {"b", Flags({6, 9})}, {"il", src_ + "nothing*.xyz"}});
  const auto errors = runner_.Run("R EngKeep");
  EXPECT_FALSE(errors.empty());
  EXPECT_EQ(ReadFile(zip), before);
  EXPECT_NE(RegRead("Profiles\\EngKeep", "ze"), kMissing);
  EXPECT_EQ(qbtest::ListDir(out_), std::vector<std::string>{"Keep.zip"});

  // A run that works replaces the old zip: the previous content is gone.
  RegWrite("Profiles\\EngKeep", "il", src_ + "a.txt");
  EXPECT_TRUE(runner_.Run("R EngKeep").empty());
  std::vector<std::string> files;  // the folder entries of the stored path aside
  for (const auto& n : ZipNames(zip))
    if (n.empty() || n.back() != '/') files.push_back(n);
  ASSERT_EQ(files.size(), 1u);
  EXPECT_TRUE(tk::EndsText("/a.txt", files[0])) << files[0];
  EXPECT_EQ(RegRead("Profiles\\EngKeep", "ze"), kMissing);
  EXPECT_EQ(qbtest::ListDir(out_), std::vector<std::string>{"Keep.zip"});
}

TEST_F(EngineProgram, SourcesAreDeletedOnlyAfterASuccessfulZip) {
  qbtest::MakeDirs(out_);
  const std::string zip = out_ + "Del.zip";
  // A target that is a folder cannot be written: the run fails and the sources stay.
  qbtest::MakeDirs(zip);
  Profile("EngDel", {{"zf", zip}, {"b", Flags({6, 20})}, {"il", src_ + "a.txt"}});
  EXPECT_FALSE(runner_.Run("R EngDel").empty());
  EXPECT_TRUE(Exists(src_ + "a.txt"));
  RemoveDirectoryW(tk::Widen(zip).c_str());
  EXPECT_TRUE(runner_.Run("R EngDel").empty());
  EXPECT_TRUE(UnzipTestPasses(zip));
  EXPECT_FALSE(Exists(src_ + "a.txt"));
  EXPECT_TRUE(Exists(src_ + "sub\\b.txt"));
}

TEST_F(EngineProgram, TestRecordsResultsAndRunAndTestSkipsAFailedProfile) {
  Profile("EngGood", {{"zf", out_ + "Good.zip"}, {"b", Flags({6})}, {"il", src_ + "*.*"}});
  Profile("EngBad", {{"zf", out_ + "Bad.zip"}});
  Profile("EngGone", {{"zf", out_ + "Gone.zip"}});
  ASSERT_TRUE(runner_.Run("R EngGood").empty());
  WriteFile(out_ + "Bad.zip", std::string(200, 'x'));
  RegWrite("Profiles\\EngGood", "te", "3");

  const auto errors = runner_.Run("T EngGood EngBad EngGone EngNone");
  EXPECT_NE(RegRead("Profiles\\EngGood", "ltst"), kMissing);
  EXPECT_EQ(RegRead("Profiles\\EngGood", "te"), kMissing);
  EXPECT_NE(RegRead("Profiles\\EngBad", "te"), kMissing);
  EXPECT_TRUE(Contains(errors, "0 EngGone: Couldn't test, ZIP file \"" + out_ + "Gone.zip\" doesn't exist"));
  EXPECT_TRUE(Contains(errors, "0 EngNone: Couldn't test: Profile doesn't exist"));
  EXPECT_EQ(RegRead("Options\\General", "AllTestsOK"), "0");

  // Run and test with a profile that cannot zip (nothing matches): its test is skipped.
  Profile("EngEmpty", {{"zf", out_ + "Empty.zip"}, {"il", src_ + "none*.xyz"}});
  const auto b = runner_.Run("B EngEmpty");
  EXPECT_TRUE(Contains(b, "0 EngEmpty: Test skipped, Profile didn't run successfully"));
  EXPECT_EQ(RegRead("Profiles\\EngEmpty", "ltst"), kMissing);
}

TEST_F(EngineProgram, StoreAndZipIsUnwrappedByExtractThroughAFolderThatGoes) {
  const std::string zip = out_ + "Saz.zip";
  Profile("EngSaz", {{"zf", zip}, {"b", Flags({6, 8})}, {"il", src_ + "*.txt"}});
  EXPECT_TRUE(runner_.Run("R EngSaz").empty());
  ASSERT_TRUE(Exists(zip));
  EXPECT_TRUE(UnzipTestPasses(zip));
  EXPECT_EQ(ZipNames(zip), std::vector<std::string>{"stored.zip"});
  EXPECT_TRUE(qbtest::ListDir(temp_.path()).empty());

  // Switches before and between the words; only the masks' files come out.
  const std::string dest = work_ / "x out";
  EXPECT_TRUE(runner_.Run("X /o- \"" + zip + "\" \"*.txt\" /d- \"" + dest + "\"").empty());
  EXPECT_EQ(ReadFile(dest + "\\a.txt"), "alpha alpha alpha");
  EXPECT_EQ(ReadFile(dest + "\\b.txt"), "beta");  // /d-: no folder names
  EXPECT_TRUE(qbtest::ListDir(temp_.path()).empty());

  // A plain zip, its extension forced, folder names kept.
  Profile("EngPlain", {{"zf", out_ + "Plain.zip"}, {"b", Flags({6})}, {"il", src_ + "*.*"}});
  ASSERT_TRUE(runner_.Run("R EngPlain").empty());
  const std::string dest2 = work_ / "plain";
  EXPECT_TRUE(runner_.Run("X \"" + out_ + "Plain.bak\" *.txt \"" + dest2 + "\"").empty());
  std::string found;
  qbtest::RunUnix("cd " + Unix(dest2) + " && find . -type f | sort", &found);
  EXPECT_NE(found.find("/sub/b.txt"), std::string::npos) << found;
  EXPECT_NE(found.find("/a.txt"), std::string::npos) << found;
  EXPECT_EQ(found.find(".tmp"), std::string::npos) << found;
}

TEST_F(EngineProgram, StoreAndZipClearsArchiveBitsOnlyAfterTheOuterZipWasWritten) {
  // Wine keeps every archive bit set, so the library's seam reads them from a table.
  const std::string table = work_ / "bits.txt";
  WriteFile(table, "1 " + src_ + "a.txt\r\n1 " + src_ + "sub\\b.txt\r\n");
  SetEnvironmentVariableW(L"QB_ARCHIVE_BIT_TABLE", tk::Widen(table).c_str());
  const std::string zip = out_ + "Bits.zip";
  qbtest::MakeDirs(zip);  // a folder where the outer zip should go: the outer zip fails
  Profile("EngBits", {{"zf", zip}, {"b", Flags({1, 2, 6, 8})}, {"il", src_ + "*.txt"}});
  EXPECT_FALSE(runner_.Run("R EngBits").empty());
  EXPECT_EQ(ReadFile(table).find("0 "), std::string::npos) << ReadFile(table);
  EXPECT_TRUE(qbtest::ListDir(temp_.path()).empty());

  RemoveDirectoryW(tk::Widen(zip).c_str());
  EXPECT_TRUE(runner_.Run("R EngBits").empty());
  SetEnvironmentVariableW(L"QB_ARCHIVE_BIT_TABLE", nullptr);
  EXPECT_TRUE(UnzipTestPasses(zip));
  EXPECT_EQ(ReadFile(table).find("1 "), std::string::npos) << ReadFile(table);
  EXPECT_TRUE(qbtest::ListDir(temp_.path()).empty());
}

TEST_F(EngineProgram, SplitAndJoinRoundTrip) {
  qbtest::MakeDirs(out_);
  const std::string zip = out_ + "big.zip";
  ASSERT_EQ(qbtest::RunUnix("cd " + Unix(out_) + " && head -c 300000 /dev/urandom > big.bin && zip -q -0 big.zip big.bin"),
            0);
  const std::string vols = work_ / "vols\\";
  qbtest::MakeDirs(vols);
  const auto errors = runner_.Run("S \"" + zip + "\" \"" + vols + "set.zip\" 100000");
  if (!errors.empty()) {
    // A library without volume support: the failure is reported with its code and
    // nothing is written; the join below then reads a set made by the outside tool.
    EXPECT_TRUE(std::any_of(errors.begin(), errors.end(), [](const std::string& l) { return l.rfind("20 ", 0) == 0; }))
        << errors[0];
    EXPECT_TRUE(qbtest::ListDir(vols).empty());
    ASSERT_EQ(qbtest::RunUnix("cd " + Unix(vols) + " && zip -q -0 -j -s 100k set.zip ../out/big.bin"), 0);
  }
  const auto parts = qbtest::ListDir(vols);
  ASSERT_GE(parts.size(), 3u);
  EXPECT_TRUE(Contains(parts, "set.z01"));
  EXPECT_TRUE(Contains(parts, "set.zip"));
  for (const auto& p : parts) EXPECT_LE(tk::FileSize(vols + p), 102400);

  const std::string joined = work_ / "joined";
  qbtest::MakeDirs(joined);
  const auto joinErrors = runner_.Run("A \"" + vols + "set.zip\" \"" + joined + "\"");
  // The volumes become one standard zip named like the last volume.
  EXPECT_TRUE(joinErrors.empty()) << (joinErrors.empty() ? std::string() : joinErrors[0]);
  ASSERT_TRUE(Exists(joined + "\\set.zip"));
  EXPECT_EQ(qbtest::RunUnix("cd " + Unix(joined) + " && unzip -tq set.zip && unzip -p set.zip big.bin | cmp - " +
                            Unix(out_) + "big.bin"),
            0);

  // An earlier set is never overwritten, also when only its first volumes are left.
  tk::RemoveFile(vols + "set.zip");
  const auto again = runner_.Run("S \"" + zip + "\" \"" + vols + "set.zip\" 100000");
  ASSERT_EQ(again.size(), 1u);
  EXPECT_NE(again[0].find("already exist"), std::string::npos);
}

}  // namespace
