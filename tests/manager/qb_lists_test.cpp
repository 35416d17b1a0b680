// Qb.exe's main window from outside: the rows of its lists, the refresh message of the
// runner, the values written at closing (also by Exit), Run Scheduler and the check of
// the version resources of the programs beside it.
#include "manager/qb_fixture.h"
#include "settings/qbprofile.h"

namespace qb_test {
namespace {

using Row = std::vector<std::string>;

class QbLists : public QbProgram {
 protected:
  // Docs never ran; Photos ran on 15 March 2023 with code 3 and was tested on 23 June
  // 2023; Office has two computers; Ghost is listed but has no key.
  void SetUp() override {
    QbProgram::SetUp();
    zip_ = dir_ / "Docs.zip";
    qbtest::WriteFile(zip_, std::string(2048, 'z'));
    AddProfile("Docs", {{"zf", zip_}, {"il", "*.txt"}, {"bdir", "C:\\Work"}});
    AddProfile("Photos", {{"zf", dir_ / "Photos.zip"}, {"lrun", "45000.5"}, {"ze", "3"}, {"ltst", "45100"}});
    AddProfile("Office", {{"zf", "C:\\Backup\\Office.zip"}, {"cns", "PC1,PC2"}});
    qbtest::RegWrite("Profiles\\Office\\lr", "PC1", "45000");
    qbtest::RegWrite("Profiles\\Office\\ze", "PC1", "0");
    ListProfiles({"Docs", "Ghost", "Photos", "Office"});
    qbtest::RegWrite(kGeneral, "ZipFileSizeUnit", "bytes");
    qbtest::RegWrite(kGeneral, "LastMcProfile", "Office");
  }
  std::string zip_;
};

TEST_F(QbLists, RowsOfTheThreeLists) {
  HWND main = StartMain();
  ASSERT_NE(main, nullptr);
  const TLists lists = FindLists(main);
  ASSERT_TRUE(lists.Profiles && lists.McProfiles && lists.Computers);
  const auto rows = ReadRows(lists.Profiles);
  ASSERT_EQ(rows.size(), 2u) << "the entry without a profile key has no row";
  EXPECT_EQ(rows[0], (Row{"Docs", "Never", "", zip_, "C:\\Work\\  ->  *.txt", "2048 bytes", "Never", ""}));
  EXPECT_EQ(rows[1][0], "Photos");
  EXPECT_EQ(rows[1][1], "03/15/2023  12:00:00 PM") << "a slash stays a slash; time in 12 hours";
  EXPECT_EQ(rows[1][2], "No (" + ZipErrorTexts[3] + ")");
  EXPECT_EQ(rows[1][6], "06/23/2023  12:00:00 AM");
  EXPECT_EQ(rows[1][7], "Yes");
  EXPECT_EQ(ReadRows(lists.McProfiles), (std::vector<Row>{{"Office"}}));
  // The stored multi-computer profile is selected, so its computers are shown.
  const auto computers = ReadRows(lists.Computers);
  ASSERT_EQ(computers.size(), 2u);
  EXPECT_EQ(computers[0][1], "03/15/2023  12:00:00 AM");
  EXPECT_EQ(computers[0][2], "Yes");
  EXPECT_EQ(computers[0][4], "\\\\PC1\\Office\\*.*");
  EXPECT_EQ(computers[1][1], "Never");
  EXPECT_EQ(computers[1][2], "");
  EXPECT_EQ(CloseMain(main), 0);
  // Nothing was moved: the profile order stays as it was stored, Ghost included.
  EXPECT_EQ(qbtest::RegRead("Profile Names", "P1"), "Ghost");
}

// The runner's refresh message, handled when this returns: a message sent to settle the
// window after a posted one can be handled before it, as sent messages come first.
void Refresh(HWND main, WPARAM wp, LPARAM lp) {
  DWORD_PTR ignored = 0;
  SendMessageTimeoutW(main, WM_APP + 11, wp, lp, SMTO_BLOCK, 10000, &ignored);
}

TEST_F(QbLists, TheRunnersMessageReloadsOnlyTheListedRows) {
  qbtest::RegWrite(kGeneral, "AutoRefresh", "1");
  HWND main = StartMain();
  ASSERT_NE(main, nullptr);
  const HWND list = FindLists(main).Profiles;
  // Both profiles change; only Photos is listed.
  qbtest::RegWrite("Profiles\\Docs", "lrun", "45000");
  qbtest::RegWrite("Profiles\\Photos", "ze", "0");
  qbtest::RegWrite(kGeneral, "ToRefresh", "\"Photos\" ");
  // Other parameters are ignored.
  Refresh(main, 100, 201);
  Refresh(main, 101, 200);
  Settle(main);
  EXPECT_EQ(ReadRows(list)[1][2], "No (" + ZipErrorTexts[3] + ")");
  EXPECT_EQ(qbtest::RegRead(kGeneral, "ToRefresh"), "\"Photos\" ");
  Refresh(main, 100, 200);
  Settle(main);
  auto rows = ReadRows(list);
  EXPECT_EQ(rows[1][2], "Yes");
  EXPECT_EQ(rows[0][1], "Never") << "Docs is not listed";
  EXPECT_EQ(qbtest::RegRead(kGeneral, "ToRefresh"), "<missing>");
  // "Docs 2" in the list does not reload Docs: the quotes are part of the name.
  qbtest::RegWrite(kGeneral, "ToRefresh", "\"Docs 2\" ");
  Refresh(main, 100, 200);
  Settle(main);
  EXPECT_EQ(ReadRows(list)[0][1], "Never");
  // Without AutoRefresh the message does nothing.
  qbtest::RegWrite(kGeneral, "AutoRefresh", "0");
  qbtest::RegWrite(kGeneral, "ToRefresh", "\"Docs\" ");
  Refresh(main, 100, 200);
  Settle(main);
  EXPECT_EQ(ReadRows(list)[0][1], "Never");
  EXPECT_EQ(CloseMain(main), 0);
}

TEST_F(QbLists, ClosingAndExitKeepTheWindowsValues) {
  qbtest::RegWrite(kGeneral, "FormLeft", "40");
  qbtest::RegWrite(kGeneral, "FormTop", "30");
  qbtest::RegWrite(kGeneral, "FormWidth", "700");
  qbtest::RegWrite(kGeneral, "FormHeight", "500");
  qbtest::RegWrite(kGeneral, "ColWidth1", "80");
  qbtest::RegWrite(kGeneral, "ProfileVisibility", "2");
  qbtest::RegWrite(kGeneral, "LastProfile", "Photos");
  HWND main = StartMain();
  ASSERT_NE(main, nullptr);
  RECT r{};
  GetWindowRect(main, &r);
  EXPECT_EQ(r.right - r.left, 700);
  // Moved and sized by the user, then closed with Exit from the Profile menu.
  SetWindowPos(main, nullptr, 60, 50, 720, 520, SWP_NOZORDER | SWP_NOACTIVATE);
  Settle(main);
  ChooseLastMenuItem(main, 0);
  EXPECT_EQ(started_.back()->Wait(15000), 0);
  EXPECT_EQ(qbtest::RegRead(kGeneral, "FormLeft"), "60");
  EXPECT_EQ(qbtest::RegRead(kGeneral, "FormTop"), "50");
  EXPECT_EQ(qbtest::RegRead(kGeneral, "FormWidth"), "720");
  EXPECT_EQ(qbtest::RegRead(kGeneral, "FormHeight"), "520");
  EXPECT_EQ(qbtest::RegRead(kGeneral, "ColWidth1"), "80");
  EXPECT_EQ(qbtest::RegRead(kGeneral, "ProfileVisibility"), "2");
  EXPECT_EQ(qbtest::RegRead(kGeneral, "LastProfile"), "Photos");
  EXPECT_EQ(qbtest::RegRead(kGeneral, "LastMcProfile"), "Office");
  EXPECT_EQ(qbtest::RegRead(kGeneral, "McpViewActive"), "1") << "the multi-computer list had the focus";
}

TEST_F(QbLists, RunSchedulerStartsTheScheduler) {
  HWND main = StartMain();
  ASSERT_NE(main, nullptr);
  ChooseLastMenuItem(main, 3);
  EXPECT_TRUE(WaitFor([&] { return !StubRuns().empty(); }));
  ASSERT_EQ(StubRuns().size(), 1u);
  EXPECT_EQ(StubRuns()[0].rfind("QbSch.exe||", 0), 0u) << StubRuns()[0];
  EXPECT_EQ(CloseMain(main), 0);
}

TEST_F(QbLists, VersionCheckOfTheProgramsBeside) {
  qbtest::RegWrite(kGeneral, "DoNotVerifyAppFileVersions", "0");
  // The programs and libraries of this build pass.
  const std::string real = dir_ / "real\\";
  qbtest::MakeDirs(real);
  for (const char* name : {"Qb.exe", "RunQb.exe", "QbSch.exe", "QbEw.exe", "dzip32.dll", "dunzip32.dll"})
    ASSERT_TRUE(CopyFileW(tk::Widen(qbtest::BinDir() + name).c_str(), tk::Widen(real + name).c_str(), FALSE)) << name;
  qbtest::ChildProcess& good = Start("", real + "Qb.exe");
  HWND main = static_cast<HWND>(good.FindProcessWindow(L"TMainForm"));
  ASSERT_NE(main, nullptr);
  EXPECT_EQ(good.FindProcessWindow(L"TMessageForm", 3000), nullptr);
  EXPECT_EQ(CloseMain(main), 0);

  // A library of another version fails with its line, a missing one passes, and the
  // stand-ins without a version resource fail.
  CopyFileW(tk::Widen(qbtest::BinDir() + "RunQb.exe").c_str(), tk::Widen(dir_ / "dzip32.dll").c_str(), FALSE);
  qbtest::ChildProcess& bad = Start();
  HWND box = static_cast<HWND>(bad.FindProcessWindow(L"TMessageForm"));
  ASSERT_NE(box, nullptr);
  const std::string text = BoxText(box);
  EXPECT_EQ(text.rfind("File version mismatch :", 0), 0u) << text;
  EXPECT_NE(text.find(dir_ / "dzip32.dll should be 5.0.0.3"), std::string::npos) << text;
  EXPECT_NE(text.find(dir_ / "RunQb.exe should be 2.0.0.0"), std::string::npos) << text;
  EXPECT_EQ(text.find("dunzip32.dll"), std::string::npos) << text;
  EXPECT_EQ(text.find("\\Qb.exe should"), std::string::npos) << text;
  EXPECT_TRUE(PressButton(box, "OK"));
  HWND second = static_cast<HWND>(bad.FindProcessWindow(L"TMainForm"));
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(CloseMain(second), 0);
}

}  // namespace
}  // namespace qb_test
