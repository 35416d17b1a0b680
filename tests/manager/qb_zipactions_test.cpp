// Qb.exe's zip file actions, export and help from outside: the commands the runner
// and the help viewer receive (both stand-ins record their command lines), the zips
// deleted on disk and the files the export writes.
#include "manager/qb_fixture.h"
#include "settings/qbprofile.h"

namespace qb_test {
namespace {

// The control of a dialog at a point of its client area; its text set as if typed.
void SetTextAt(HWND form, int x, int y, const std::string& text) {
  HWND c = ChildWindowFromPointEx(form, POINT{x + 4, y + 4}, CWP_SKIPINVISIBLE);
  ASSERT_TRUE(c && c != form) << "no control at " << x << "," << y;
  SendMessageW(c, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(tk::Widen(text).c_str()));
}
bool CheckedAt(HWND parent, int x, int y) {
  HWND c = ChildWindowFromPointEx(parent, POINT{x + 4, y + 4}, CWP_SKIPINVISIBLE);
  return SendMessageW(c, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

class QbZipActions : public QbProgram {
 protected:
  // Docs is chosen at start; its zip lies in a folder with a blank and its password
  // holds one. Photos has a zip of its own.
  void SetUp() override {
    QbProgram::SetUp();
    zips_ = dir_ / "my zips\\";
    qbtest::MakeDirs(zips_);
    for (const char* name : {"Docs.zip", "Photos.zip"}) qbtest::WriteFile(zips_ + name, std::string(4096, 'z'));
    AddProfile("Docs", {{"zf", zips_ + "Docs.zip"}, {"il", "C:\\windows\\*.ini"}});
    TQbProfile docs;
    docs.LoadFromRegistry("Docs");
    docs.ec = "my secret";  // stored the way the profile keeps it
    docs.SaveToRegistry();
    AddProfile("Photos", {{"zf", zips_ + "Photos.zip"}, {"il", "C:\\windows\\*.ini"}});
    ListProfiles({"Docs", "Photos"});
    qbtest::RegWrite(kGeneral, "LastProfile", "Docs");
    qbtest::RegWrite(kGeneral, "McpViewActive", "0");
    qbtest::RegWrite(kGeneral, "ZipFileSizeUnit", "bytes");
  }

  // The arguments of the runner's (or viewer's) starts, by program.
  std::vector<std::string> Started(const std::string& program) {
    std::vector<std::string> args;
    for (const std::string& line : StubRuns())
      if (line.rfind(program + "|", 0) == 0) {
        const size_t from = program.size() + 1;
        args.push_back(line.substr(from, line.find("|RFS=", from) - from));
      }
    return args;
  }

  // Answers the box that comes (or the one given) with the button and returns its text.
  std::string Answer(const std::string& button, HWND box = nullptr) {
    if (!box) box = static_cast<HWND>(mainProcess_->FindProcessWindow(L"TMessageForm", 10000));
    if (!box) return "<no box>";
    const std::string text = BoxText(box);
    if (!PressButton(box, button)) PostMessageW(box, WM_CLOSE, 0, 0);
    qbtest::WaitUntil([box] { return !IsWindow(box); }, 5000);
    return text;
  }

  std::string zips_;
};

TEST_F(QbZipActions, NewZipRunsTheTemporaryProfileAndTheCloseExportsTheSettings) {
  // A temporary profile of an earlier new zip fills the wizard, without its password.
  AddProfile("TempProfile", {{"zf", zips_ + "New.zip"}, {"il", "C:\\windows\\*.ini"}, {"ec", "x"}});
  const std::string backups = dir_ / "backups\\";
  qbtest::MakeDirs(backups);
  qbtest::RegWrite(kGeneral, "BackupToReg", "1");
  qbtest::RegWrite(kGeneral, "RegBackupToMyDocuments", "0");
  qbtest::RegWrite(kGeneral, "RegBackupDir", backups);
  HWND main = StartMain();
  ASSERT_NE(main, nullptr);
  HWND wizard = OpenByKey(*mainProcess_, main, {VK_CONTROL, VK_MENU}, 'N', L"TWizardForm");
  ASSERT_NE(wizard, nullptr);
  EXPECT_EQ(qbtest::WindowText(wizard), "Create New ZIP File");
  // Next through the pages, then Finish.
  for (int page = 0; page < 12 && IsWindowVisible(wizard); ++page) {
    HWND box = nullptr;
    ASSERT_TRUE(TurnPage(*mainProcess_, wizard, "Finish", &box) || TurnPage(*mainProcess_, wizard, "Next >", &box));
    if (box) {
      ADD_FAILURE() << "page refused: " << BoxText(box);
      PostMessageW(box, WM_CLOSE, 0, 0);
      PostMessageW(wizard, WM_CLOSE, 0, 0);
      break;
    }
  }
  EXPECT_TRUE(WaitFor([&] { return !Started("RunQb.exe").empty(); }));
  EXPECT_EQ(Started("RunQb.exe"), (std::vector<std::string>{"R TempProfile"}));
  EXPECT_EQ(qbtest::RegRead("Profiles\\TempProfile", "zf"), zips_ + "New.zip");
  EXPECT_EQ(qbtest::RegRead("Profiles\\TempProfile", "ec"), "<missing>");
  EXPECT_EQ(qbtest::RegRead("Profile Names", "ProfileCount"), "2") << "the temporary profile is not listed";
  EXPECT_EQ(ReadRows(FindLists(main).Profiles).size(), 2u);
  // The new zip changed the profiles: closing exports the settings.
  EXPECT_EQ(CloseMain(main), 0);
  EXPECT_GT(qbtest::ReadFile(backups + "Quillbank 2.0 Profiles.bak").size(), 100u);
}

TEST_F(QbZipActions, SplitJoinAndExtractStartTheRunner) {
  HWND main = StartMain();
  ASSERT_NE(main, nullptr);
  const std::string zip = "\"" + zips_ + "Docs.zip\"";

  HWND span = OpenFromMenu(*mainProcess_, main, 1, 3, L"TSpanForm");  // Split
  ASSERT_NE(span, nullptr);
  SetTextAt(span, 12, 72, dir_ / "my vols");
  SetTextAt(span, 12, 118, "part1.dat");
  SetTextAt(span, 224, 118, "100000");
  PostMessageW(static_cast<HWND>(qbtest::FindChildByText(span, "Split")), BM_CLICK, 0, 0);
  EXPECT_TRUE(WaitFor([&] { return Started("RunQb.exe").size() == 1; }));

  HWND join = OpenFromMenu(*mainProcess_, main, 1, 2, L"TReAssembleForm");  // Join
  ASSERT_NE(join, nullptr);
  SetTextAt(join, 12, 26, dir_ / "my vols\\part1.zip");
  SetTextAt(join, 12, 72, dir_.path());
  PostMessageW(static_cast<HWND>(qbtest::FindChildByText(join, "Join")), BM_CLICK, 0, 0);
  EXPECT_TRUE(WaitFor([&] { return Started("RunQb.exe").size() == 2; }));

  HWND extract = OpenFromMenu(*mainProcess_, main, 1, 6, L"TExtractForm");  // Extract
  ASSERT_NE(extract, nullptr);
  SetTextAt(extract, 12, 72, dir_ / "out");
  SetTextAt(extract, 12, 144, "*.txt");
  const bool all = CheckedAt(extract, 12, 104);
  HWND how = ChildWindowFromPointEx(extract, POINT{230, 110}, CWP_SKIPINVISIBLE);
  const bool overwrite = CheckedAt(how, 10, 18), folders = CheckedAt(how, 10, 40);
  PostMessageW(static_cast<HWND>(qbtest::FindChildByText(extract, "Extract")), BM_CLICK, 0, 0);
  EXPECT_TRUE(WaitFor([&] { return Started("RunQb.exe").size() == 3; }));

  const auto runs = Started("RunQb.exe");
  ASSERT_EQ(runs.size(), 3u);
  EXPECT_EQ(runs[0], "S " + zip + " \"" + dir_ / "my vols\\part1.zip\" 100000");
  EXPECT_EQ(runs[1], "A \"" + dir_ / "my vols\\part1.zip\" " + dir_.path());
  EXPECT_EQ(runs[2], "X " + zip + " " + (all ? "*.*" : "*.txt") + " " + dir_ / "out" + " " +
                         (overwrite ? "" : "/o- ") + (folders ? "" : "/d- ") + "\"/pmy secret\"");
  EXPECT_EQ(CloseMain(main), 0);
}

TEST_F(QbZipActions, DeleteAndRecycleTheZipOfARow) {
  struct Case {
    const char *profile, *allowUndo, *word;
  };
  for (const Case& c : {Case{"Docs", "0", "Delete "}, Case{"Photos", "1", "Recycle "}}) {
    SCOPED_TRACE(c.profile);
    const std::string zip = zips_ + c.profile + ".zip";
    qbtest::RegWrite(kGeneral, "LastProfile", c.profile);
    qbtest::RegWrite(kGeneral, "AllowUndo", c.allowUndo);
    HWND main = StartMain();
    ASSERT_NE(main, nullptr);
    const HWND list = FindLists(main).Profiles;
    const int row = std::string(c.profile) == "Docs" ? 0 : 1;
    EXPECT_EQ(ReadRows(list)[row][5], "4096 bytes");
    // Declined: the zip stays.
    EXPECT_EQ(Answer("&No", OpenFromMenu(*mainProcess_, main, 1, 1, L"TMessageForm")), c.word + zip + "?\n");
    EXPECT_TRUE(qbtest::Exists(zip));
    EXPECT_EQ(Answer("&Yes", OpenFromMenu(*mainProcess_, main, 1, 1, L"TMessageForm")), c.word + zip + "?\n");
    if (HWND shell = static_cast<HWND>(mainProcess_->FindProcessWindow(L"#32770", 1500))) {
      ADD_FAILURE() << "shell asks: " << qbtest::WindowText(shell) << " / " << BoxText(shell);
      PostMessageW(shell, WM_CLOSE, 0, 0);
    }
    EXPECT_TRUE(WaitFor([&] { return ReadRows(list)[row][5] == "?"; }, 10000)) << ReadRows(list)[row][5];
    EXPECT_FALSE(qbtest::Exists(zip));
    // Now it is gone.
    EXPECT_EQ(Answer("OK", OpenFromMenu(*mainProcess_, main, 1, 1, L"TMessageForm")), zip + " doesn't exist\n");
    EXPECT_EQ(CloseMain(main), 0);
  }
}

TEST_F(QbZipActions, HelpFromTheOptionsAndTheWizardOpensTheirPagesTopic) {
  const std::wstring stub = tk::Widen(qbtest::BinDir() + "stub_runqb.exe"), viewer = tk::Widen(dir_ / "KeyHH.exe");
  CopyFileW(tk::Widen(qbtest::BinDir() + "Quillbank.chm").c_str(), tk::Widen(dir_ / "Quillbank.chm").c_str(), FALSE);
  ASSERT_TRUE(CopyFileW(stub.c_str(), viewer.c_str(), FALSE));
  // Help asked of a window (its button, or F1); the viewer's stand-in records it and ends
  // (its file can be deleted) and is put back for the next one.
  const auto help = [&](HWND w, bool byKey) {
    const size_t before = Started("KeyHH.exe").size();
    if (byKey) {
      for (int attempt = 0; attempt < 3; ++attempt)  // typed again only when it was lost
        if (TypeKey(w, {}, VK_F1)) break;
    } else {
      PostMessageW(static_cast<HWND>(qbtest::FindChildByText(w, "Help")), BM_CLICK, 0, 0);
    }
    EXPECT_TRUE(WaitFor([&] { return Started("KeyHH.exe").size() == before + 1; }));
    ASSERT_TRUE(WaitFor([&] { return DeleteFileW(viewer.c_str()) != 0; }));
    ASSERT_TRUE(CopyFileW(stub.c_str(), viewer.c_str(), FALSE));
  };
  HWND main = StartMain();
  ASSERT_NE(main, nullptr);
  HWND options = OpenFromMenu(*mainProcess_, main, 2, 1, L"TOptionsForm");
  ASSERT_NE(options, nullptr);
  // F1 first: a key typed just after a stand-in viewer ended could be lost under load,
  // the button is clicked by message.
  help(options, true);  // F1 inside the dialog asks the dialog too
  help(options, false);
  PostMessageW(options, WM_CLOSE, 0, 0);
  EXPECT_TRUE(WaitFor([&] { return !IsWindowVisible(options); }));
  HWND wizard = OpenByKey(*mainProcess_, main, {VK_CONTROL}, 'N', L"TWizardForm");
  ASSERT_NE(wizard, nullptr);
  help(wizard, false);
  PostMessageW(wizard, WM_CLOSE, 0, 0);
  EXPECT_TRUE(WaitFor([&] { return !IsWindowVisible(wizard); }));
  const std::string chm = "-QuillbankWin " + dir_ / "Quillbank.chm::/";
  EXPECT_EQ(Started("KeyHH.exe"),
            (std::vector<std::string>{chm + "options1.html", chm + "options1.html", chm + "wiz_page1.html"}));
  EXPECT_EQ(CloseMain(main), 0);
}

TEST_F(QbZipActions, ExportByHandAndHelp) {
  CopyFileW(tk::Widen(qbtest::BinDir() + "stub_runqb.exe").c_str(), tk::Widen(dir_ / "KeyHH.exe").c_str(), FALSE);
  CopyFileW(tk::Widen(qbtest::BinDir() + "Quillbank.chm").c_str(), tk::Widen(dir_ / "Quillbank.chm").c_str(), FALSE);
  HWND main = StartMain();
  ASSERT_NE(main, nullptr);
  TypeKey(main, {}, VK_F1);
  EXPECT_TRUE(WaitFor([&] { return !Started("KeyHH.exe").empty(); }));
  EXPECT_EQ(Started("KeyHH.exe"),
            (std::vector<std::string>{"-QuillbankWin " + dir_ / "Quillbank.chm::/whatisit.html"}));
  // The viewer's stand-in takes the activation with it when it ends: the keys below wait
  // for that (its file can be deleted once it has ended).
  EXPECT_TRUE(WaitFor([&] { return DeleteFileW(tk::Widen(dir_ / "KeyHH.exe").c_str()) != 0; }));

  const std::string file = dir_ / "settings.bak";
  HWND save = OpenFromMenu(*mainProcess_, main, 0, 2, L"#32770", 30000);  // Export to file
  if (save) {
    EXPECT_EQ(qbtest::WindowText(save), "Export profiles, schedules and settings to file");
  } else if (HWND box = static_cast<HWND>(mainProcess_->FindProcessWindow(L"TMessageForm", 200))) {
    ADD_FAILURE() << "unexpected box: " << BoxText(box);
  }
  ASSERT_NE(save, nullptr);
  HWND name = GetDlgItem(save, 0x47c);  // the file name box
  if (!name) name = GetDlgItem(save, 0x480);
  ASSERT_NE(name, nullptr);
  SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(tk::Widen(file).c_str()));
  PostMessageW(save, WM_COMMAND, IDOK, 0);
  const std::string done = Answer("OK");
  EXPECT_EQ(done.rfind("Profiles and settings are exported(as .reg) to", 0), 0u) << done;
  EXPECT_NE(done.find(file), std::string::npos) << done;
  EXPECT_GT(qbtest::ReadFile(file).size(), 100u);
  EXPECT_EQ(CloseMain(main), 0);
}

}  // namespace
}  // namespace qb_test
