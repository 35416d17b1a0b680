#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "settings/fernoglobal.h"
#include "settings/fernoini.h"
#include "settings/foschedules.h"
#include "settings/qbautoruns.h"
#include "settings/vglobal.h"
#include "support/testutil.h"
#include "toolkit/strings.h"

namespace {

const char kGeneral[] = "Options\\General";
const char kOldRoot[] = "Software\\Quillbank 1";

class StoreFaults : public ::testing::Test {
 protected:
  void SetUp() override { Clear(); }
  void TearDown() override {
    SetNewRegistryNames();
    Clear();
  }
  static void Clear() {
    qbtest::ClearQuillbankKey();
    RegDeleteTreeW(HKEY_CURRENT_USER, tk::Widen(kOldRoot).c_str());
  }
};

// The log-on entry of a programs' folder with a blank, run as the system runs a Run
// value: the scheduler starts with its switch, not "Program.exe" beside the folder.
TEST_F(StoreFaults, TheLogOnEntryStartsTheSchedulerFromAFolderWithABlank) {
  qbtest::TempDir dir;
  const std::string programs = dir / "Program Files\\Quillbank\\";
  qbtest::MakeDirs(programs);
  const std::wstring stub = tk::Widen(qbtest::BinDir() + "stub_runqb.exe");
  ASSERT_TRUE(CopyFileW(stub.c_str(), tk::Widen(programs + "QbSch.exe").c_str(), FALSE));
  ASSERT_TRUE(CopyFileW(stub.c_str(), tk::Widen(dir / "Program.exe").c_str(), FALSE));
  SetEnvironmentVariableW(L"QB_STUB_LOG", tk::Widen(dir / "stub.log").c_str());

  const std::string command = SchedulerStartupCommand(programs);
  EXPECT_EQ(command, "\"" + programs + "QbSch.exe\" -RunStartupProfiles");
  EXPECT_EQ(SchedulerStartupCommand("C:\\Quillbank\\"), "C:\\Quillbank\\QbSch.exe -RunStartupProfiles");

  ASSERT_EQ(qbtest::RunCommandLine(command, 30000), 0);
  const std::vector<std::string> started = qbtest::FileLines(dir / "stub.log");
  ASSERT_EQ(started.size(), 1u);
  EXPECT_EQ(started[0].rfind("QbSch.exe|-RunStartupProfiles|", 0), 0u) << started[0];
}

// Counts of a million beside a few entries: each list holds the entries stored below
// its count, in order (a number without its entry left out), and reading it costs what
// those entries cost; the profile list holds the entries beyond its count as well.
TEST_F(StoreFaults, CountsBeyondTheStoredEntriesReadWhatIsStored) {
  qbtest::RegWrite("Profile Names", "ProfileCount", "1000000");
  for (const auto& [name, profile] : std::vector<std::pair<std::string, std::string>>{
           {"P7", "Mail"}, {"p0", "Docs"}, {"P007", "Padded"}, {"P1000000", "Beyond"}})
    qbtest::RegWrite("Profile Names", name, profile);
  qbtest::RegWrite("Profiles\\Docs", "pn", "Docs");
  qbtest::RegWrite("Profiles\\Mail", "pn", "Mail");
  qbtest::RegWrite("Profiles\\Mail", "ze", "3");
  std::vector<std::pair<int, std::string>> entries;
  for (const auto& e : TFernoIni().GetProfileEntries()) entries.emplace_back(e.Index, e.Name);
  EXPECT_EQ(entries, (std::vector<std::pair<int, std::string>>{{0, "Docs"}, {7, "Mail"}, {1000000, "Beyond"}}));
  // The runs' total that the runner writes after every run goes over the same list.
  UpdateAllRunsOK();
  EXPECT_EQ(qbtest::RegRead(kGeneral, "AllRunsOK"), "0");

  qbtest::RegWrite(kGeneral, "ScheduleCount", "1000000");
  qbtest::RegWrite(kGeneral, "AutoRunCount", "1000000");
  qbtest::RegWrite("Schedules\\3", "t", "0.75");
  qbtest::RegWrite("Schedules\\1", "t", "0.5");
  qbtest::RegWrite("Schedules\\01", "t", "0.25");
  qbtest::RegWrite("AutoRun\\2", "m", "QBMEDIA");
  const TFoSchedules schedules;
  ASSERT_EQ(schedules.GetCount(), 2);
  EXPECT_EQ(std::make_pair(schedules.GetItem(0)->Time, schedules.GetItem(1)->Time), std::make_pair(0.5, 0.75));
  const TQbAutoRuns autoRuns;
  ASSERT_EQ(autoRuns.GetCount(), 1);
  EXPECT_EQ(autoRuns.GetItem(0)->Media, "QBMEDIA");

  // The old layout's default comment, as the converter reads it.
  SetOldRegistryNames();
  TFernoIni old;
  for (const auto& [name, text] : std::vector<std::pair<std::string, std::string>>{
           {"DefCmtCount", "1000000"}, {"DefCmt2", "third"}, {"DefCmt0", "first"}})
    old.WriteString(GeneralSection, name, text);
  EXPECT_EQ(old.GetDefCmt(), "first\r\nthird\r\n");
}

// A new name goes behind the count and every entry, whatever the count holds: none is
// written over, and no entry gets a negative number.
TEST_F(StoreFaults, ANewProfileNameNeverReplacesAnEntry) {
  for (const std::string count : {"-1", "abc", "1", "9"}) {
    Clear();
    qbtest::RegWrite("Profile Names", "ProfileCount", count);
    qbtest::RegWrite("Profile Names", "P0", "Docs");
    qbtest::RegWrite("Profile Names", "P2", "Mail");
    TFernoIni().AddProfileName("New");
    EXPECT_EQ(qbtest::RegRead("Profile Names", count == "9" ? "P9" : "P3"), "New") << count;
    EXPECT_EQ(qbtest::RegRead("Profile Names", "ProfileCount"), count == "9" ? "10" : "4") << count;
    EXPECT_EQ(qbtest::RegValueNames("Profile Names").size(), 4u) << count;
  }
}

}  // namespace
