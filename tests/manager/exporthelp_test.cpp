// The export of all settings through the real regedit and its import into an emptied
// registry, the automatic export's keeping of the last good backup, the help file and
// its viewer, and what the shell is asked to open.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "manager/help.h"
#include "manager/regexport.h"
#include "manager/shelllaunch.h"
#include "manager/span.h"
#include "settings/fernoini.h"
#include "support/formscript.h"
#include "support/testutil.h"
#include "toolkit/cmdline.h"
#include "toolkit/files.h"
#include "toolkit/strings.h"

namespace {

using namespace qbtest;

// Records what would have been opened and answers with the given shell result.
struct TRecorder {
  explicit TRecorder(intptr_t result = 42) {
    previous = SetShellLauncher([this, result](const TShellOpen& r) {
      requests.push_back(r);
      return result;
    });
  }
  ~TRecorder() { SetShellLauncher(previous); }
  std::vector<TShellOpen> requests;
  TShellLauncher previous;
};

class ExportHelp : public testing::Test {
 protected:
  void SetUp() override { qbtest::ClearQuillbankKey(); }
  void TearDown() override { qbtest::ClearQuillbankKey(); }
  qbtest::TempDir temp;
};

}  // namespace

TEST_F(ExportHelp, ExportedFileRestoresTheKeyInAnEmptiedRegistry) {
  qbtest::RegWrite("Profiles\\My Documents", "zf", "C:\\Backups\\docs (1).zip");
  qbtest::RegWrite("Profiles\\My Documents", "pn", "My Documents");
  qbtest::RegWrite("Options\\General", "DateFormat", "dd/mm/yyyy");
  const std::string folder = temp / "Export Here\\";
  qbtest::MakeDirs(folder);
  const std::string file = folder + "all settings.bak";
  ASSERT_TRUE(RegeditExport(file));

  qbtest::ClearQuillbankKey();
  ASSERT_EQ(qbtest::RegRead("Profiles\\My Documents", "zf"), "<missing>");
  ASSERT_EQ(qbtest::RunProgram("C:\\windows\\regedit.exe", "/s \"" + file + "\"", 60000), 0);
  EXPECT_EQ(qbtest::RegRead("Profiles\\My Documents", "zf"), "C:\\Backups\\docs (1).zip");
  EXPECT_EQ(qbtest::RegRead("Profiles\\My Documents", "pn"), "My Documents");
  EXPECT_EQ(qbtest::RegRead("Options\\General", "DateFormat"), "dd/mm/yyyy");

  // The proposed name of the export by hand reads the date with "-".
  const std::string proposed = ProposedExportFileName();
  EXPECT_TRUE(proposed.starts_with("Qb 2.0 Profiles ( on ")) << proposed;
  EXPECT_EQ(proposed.find('/'), std::string::npos) << proposed;

  // regedit answers 0 also when it wrote nothing: that export did not happen.
  EXPECT_FALSE(RegeditExport(temp / "no such folder\\x.bak"));
  // One that takes longer than it may is ended and counts as failed.
  EXPECT_FALSE(RegeditExport(folder + "too slow.bak", 1));
}

TEST_F(ExportHelp, ExportByHandAsksBeforeReplacingAndReports) {
  qbtest::RegWrite("Profiles\\P", "zf", "C:\\p.zip");
  const std::string file = temp / "by hand.bak";
  qbtest::WriteFile(file, "old");
  TScript s(static_cast<HWND>(nullptr), {TScript::Answer("&No"), TScript::Answer("&Yes"), TScript::Answer("OK")});
  const auto chooseFile = [&](tk::TSaveDialog& d) {
    EXPECT_EQ(d.Title, "Export profiles, schedules and settings to file");
    EXPECT_EQ(d.DefaultExt, "bak");
    d.FileName = file;
    return true;
  };
  EXPECT_FALSE(ExportProfilesByHand(chooseFile));
  EXPECT_EQ(qbtest::ReadFile(file), "old");  // declined: untouched
  EXPECT_TRUE(ExportProfilesByHand(chooseFile));
  ASSERT_TRUE(s.Completed());
  const auto boxes = s.Boxes();
  ASSERT_EQ(boxes.size(), 3u);
  EXPECT_TRUE(Said(boxes[0], file + " will be deleted before exporting\r\n\r\nDo you want to delete?"));
  EXPECT_TRUE(Said(boxes[2], "Profiles and settings are exported(as .reg) to \r\n\r\n" + file));
  EXPECT_NE(qbtest::ReadFile(file).size(), 3u);
}

TEST_F(ExportHelp, AutomaticExportKeepsTheLastGoodBackupWhenItFails) {
  qbtest::RegWrite("Profiles\\P", "zf", "C:\\p.zip");
  TFernoIni ini;
  ini.SetRegBackupToMyDocuments(false);
  ini.SetBeepOnRegBackupError(false);
  const std::string folder = temp / "Backups\\";
  qbtest::MakeDirs(folder);
  ini.SetRegBackupDir(folder);
  EXPECT_FALSE(ExportProfilesAtClose(1, false));  // nothing changed: no export
  EXPECT_FALSE(qbtest::Exists(folder + kAutoExportFileName));
  ASSERT_TRUE(ExportProfilesAtClose(1, true));
  const std::string good = qbtest::ReadFile(folder + kAutoExportFileName);
  EXPECT_FALSE(good.empty());
  EXPECT_EQ(qbtest::ListDir(folder), std::vector<std::string>{kAutoExportFileName});

  // The new export cannot take the good one's place (held open): the good one stays as it
  // was, and so does a file of the fixed name earlier versions first deleted.
  qbtest::RegWrite("Profiles\\Q", "zf", "C:\\q.zip");
  qbtest::WriteFile(folder + kAutoExportFileName + ".new", "mine");
  HANDLE held = CreateFileW(tk::Widen(folder + kAutoExportFileName).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  EXPECT_FALSE(ExportProfiles(folder, ""));
  CloseHandle(held);
  EXPECT_EQ(qbtest::ReadFile(folder + kAutoExportFileName), good);
  EXPECT_EQ(qbtest::ListDir(folder).size(), 2u);
  EXPECT_EQ(qbtest::ReadFile(folder + kAutoExportFileName + ".new"), "mine");

  // A folder that no longer exists: nothing is written anywhere.
  ini.SetRegBackupDir(temp / "gone\\");
  EXPECT_FALSE(ExportProfilesAtClose(1, true));
  EXPECT_FALSE(qbtest::Exists(temp / "gone"));
}

TEST_F(ExportHelp, HelpFileHoldsEveryTopicPage) {
  std::string listing;
  ASSERT_EQ(qbtest::RunUnix("7z l '" + qbtest::ToUnixPath(qbtest::BinDir() + "Quillbank.chm") + "'", &listing), 0);
  std::vector<std::string> topics = {"whatisit", "schedule", "autorun",  "efilter", "extract",
                                     "split",    "join",     "startup-profiles", "shutdown-profiles",
                                     "dllinitfails"};
  for (int i = 1; i <= 10; ++i) topics.push_back("wiz_page" + std::to_string(i));
  for (int i = 1; i <= 5; ++i) topics.push_back("options" + std::to_string(i));
  for (const std::string& t : topics) EXPECT_NE(listing.find(" " + t + ".html\n"), std::string::npos) << t;
  // The viewer's left pane: a contents that leads to every topic, and an index.
  EXPECT_NE(listing.find(" Quillbank.hhk\n"), std::string::npos);
  std::string contents;
  ASSERT_EQ(qbtest::RunUnix("7z x -so '" + qbtest::ToUnixPath(qbtest::BinDir() + "Quillbank.chm") + "' Quillbank.hhc",
                            &contents),
            0);
  for (const std::string& t : topics)
    EXPECT_NE(contents.find("value=\"" + t + ".html\""), std::string::npos) << t;
}

TEST_F(ExportHelp, HelpOpensTheActiveWindowsTopicInTheViewer) {
  // A program folder with a blank, the help file and a stand-in for the viewer in it.
  const std::string programs = temp / "Program Files\\Quillbank\\";
  qbtest::MakeDirs(programs);
  ASSERT_TRUE(CopyFileW(tk::Widen(qbtest::BinDir() + "Quillbank.chm").c_str(),
                        tk::Widen(programs + "Quillbank.chm").c_str(), FALSE));
  ASSERT_TRUE(CopyFileW(tk::Widen(qbtest::BinDir() + "frame_viewer_standin.exe").c_str(),
                        tk::Widen(programs + "KeyHH.exe").c_str(), FALSE));
  const std::string log = temp / "viewer.log";
  SetEnvironmentVariableW(L"QB_VIEWER_LOG", tk::Widen(log).c_str());
  ShowHelpTopicIn(programs, "");
  for (int i = 0; i < 500 && !qbtest::Exists(log); ++i) Sleep(20);
  const auto words = tk::SplitCommandLine(qbtest::ReadFile(log));
  ASSERT_EQ(words.size(), 3u) << qbtest::ReadFile(log);
  EXPECT_EQ(words[1], "-QuillbankWin");
  EXPECT_EQ(words[2], programs + "Quillbank.chm::/whatisit.html");

  // Without KeyHH.exe: hh.exe, at the topic of the active dialog.
  // The viewer may still be running from its own file, which cannot go until it ends.
  ASSERT_TRUE(qbtest::WaitUntil([&] { return DeleteFileW(tk::Widen(programs + "KeyHH.exe").c_str()) != 0; }, 15000));
  TRecorder shell;
  TSpanForm f;
  f.Show();
  for (int i = 0; i < 100 && GetActiveWindow() != f.Handle(); ++i) Sleep(20);
  ShowHelpTopicIn(programs, "");
  ShowHelpTopicIn(programs, "dllinitfails");
  f.Hide();
  ASSERT_EQ(shell.requests.size(), 2u);
  EXPECT_EQ(shell.requests[0].File, "hh.exe");
  EXPECT_EQ(shell.requests[0].Verb, "open");
  EXPECT_EQ(shell.requests[0].ShowCmd, SW_SHOWDEFAULT);
  EXPECT_EQ(shell.requests[0].Parameters, "\"" + programs + "Quillbank.chm::/split.html\"");
  EXPECT_EQ(shell.requests[1].Parameters, "\"" + programs + "Quillbank.chm::/dllinitfails.html\"");
}

TEST_F(ExportHelp, HelpAndShellFailuresAreReported) {
  const std::string programs = temp.path();
  TScript s(static_cast<HWND>(nullptr), {TScript::Answer("OK"), TScript::Answer("OK"), TScript::Answer("OK"),
                                         TScript::Answer("OK"), TScript::Answer("OK")});
  ShowHelpTopicIn(programs, "split");  // no help file there
  qbtest::WriteFile(programs + "Quillbank.chm", "x");
  {
    TRecorder failing(2);
    ShowHelpTopicIn(programs, "split");
    OpenWebSite();
  }
  OpenZipFile(programs + "none.zip");
  OpenZipFolder(programs + "gone\\none.zip", false);
  ASSERT_TRUE(s.Completed());
  const auto boxes = s.Boxes();
  ASSERT_EQ(boxes.size(), 5u);
  EXPECT_TRUE(Said(boxes[0], "The help file " + programs + "Quillbank.chm doesn't exist"));
  EXPECT_TRUE(Said(boxes[1],
                   "Couldn't display help topic  (Error: 2)\r\n(probably, \"HTML Help system\" is not installed)"));
  EXPECT_TRUE(Said(boxes[2], "Couldn't launch the default browser"));
  EXPECT_TRUE(Said(boxes[3], programs + "none.zip doesn't exist"));
  EXPECT_TRUE(Said(boxes[4], "Folder " + programs + "gone\\ is not accessible"));
}

TEST_F(ExportHelp, ShellIsAskedToOpenZipsFoldersTheSiteAndMail) {
  const std::string zip = temp / "a b.zip";
  qbtest::WriteFile(zip, "z");
  TRecorder shell;
  OpenZipFile(zip);
  OpenZipFolder(zip, true);
  OpenZipFolder(zip, false);
  OpenWebSite();
  OpenSupportMail();
  ASSERT_EQ(shell.requests.size(), 5u);
  EXPECT_EQ(shell.requests[0].File, zip);
  EXPECT_EQ(shell.requests[0].Verb, "open");
  EXPECT_EQ(shell.requests[0].ShowCmd, SW_SHOW);
  EXPECT_EQ(shell.requests[1].File, temp.path());
  EXPECT_EQ(shell.requests[1].Verb, "explore");
  EXPECT_EQ(shell.requests[2].Verb, "open");
  EXPECT_EQ(shell.requests[3].File, kProductWebAddress);
  EXPECT_EQ(shell.requests[4].File, std::string("mailto:") + kSupportMailAddress);
}
