// The split, join and extract dialogs created in-process and driven with messages, and
// the command lines the main window builds from them, parsed back as the runner does.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "manager/extract.h"
#include "manager/filesize.h"
#include "manager/reassemble.h"
#include "manager/runnerargs.h"
#include "manager/span.h"
#include "runner/extrparams.h"
#include "settings/vglobal.h"
#include "support/formscript.h"
#include "support/testutil.h"
#include "toolkit/cmdline.h"
#include "toolkit/files.h"

namespace {

using namespace qbtest;

// Sets a control's text from the script's thread (the handlers it fires show nothing).
TScript::TStep SetText(HWND w, const std::string& text) {
  return TScript::Do([w, text] {
    SendMessageW(w, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(tk::Widen(text).c_str()));
    return true;
  });
}
TScript::TStep SetText(const tk::TControl& c, const std::string& text) { return SetText(c.Handle(), text); }

// The runner's words of a command line built for it.
std::vector<std::string> RunnerWords(char letter, const std::string& args) {
  return tk::SplitCommandLine("\"C:\\Program Files\\Quillbank\\RunQb.exe\" " + std::string(1, letter) + " " + args);
}

class ZipDialogs : public testing::Test {
 protected:
  void SetUp() override {
    qbtest::ClearQuillbankKey();
    static int serial = 0;
    sub = "QbZipDialogsTest" + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(++serial);
    history = GetAppDataDir() + sub + "\\";
    dir = temp / "My Zips\\";
    qbtest::MakeDirs(dir);
  }
  void TearDown() override {
    qbtest::RemoveTree(history);
    qbtest::ClearQuillbankKey();
  }
  std::string sub, history, dir;
  qbtest::TempDir temp;
};

}  // namespace

TEST_F(ZipDialogs, SplitProposesVolumesCountsThemAndRefusesBadInput) {
  const std::string zip = dir + "Backup.zip";
  qbtest::WriteFile(zip, std::string(10000000, 'x'));
  TSpanForm f;
  f.scbVolDir.SetAppDataIniPath(sub);
  f.HandleNeeded();
  EXPECT_EQ(f.Caption(), "Split ZIP file to volumes");
  f.PrepareForZip(zip);
  EXPECT_EQ(f.scbVolDir.Text(), dir);
  EXPECT_EQ(f.edVolFN.Text(), "Backup Vol");
  EXPECT_EQ(f.lblNoOfVols.Caption(), "7");  // 1450664 bytes each
  f.edMaxVolumeSize.SetText("10000000");
  EXPECT_EQ(f.lblNoOfVols.Caption(), "1");
  f.edMaxVolumeSize.SetText("0");
  EXPECT_EQ(f.lblNoOfVols.Caption(), "Not possible");
  f.edMaxVolumeSize.SetText("99999999999999999999");  // beyond 64 bits: no number
  EXPECT_EQ(f.lblNoOfVols.Caption(), "Not possible");

  // The size in other units, through the volume size dialog.
  f.edMaxVolumeSize.SetText("65535");
  f.edVolFN.SetText("Backup");
  TScript s(f, Join({
                   {TScript::Click(f.btnOK)},
                   {TScript::Answer("OK")},
                   {SetText(f.edVolFN, "Backup Vol")},
                   TScript::Type(f.edVolFN.Handle(), "*."),
                   {TScript::Answer("OK")},
                   {TScript::Click(f.btnOK)},
                   {TScript::Answer("OK")},
                   {TScript::Click(f.btnEditVolSize)},
                   {TScript::Do([] {
                     HWND w = nullptr;
                     for (int i = 0; i < 250 && !(w = FindWindowW(L"TFileSizeForm", nullptr)); ++i) Sleep(20);
                     auto* g = w ? dynamic_cast<TFileSizeForm*>(tk::TControl::FromHandle(w)) : nullptr;
                     if (!g) return false;
                     for (int i = 0; i < 250 && !IsWindowVisible(w); ++i) Sleep(20);
                     SendMessageW(g->edBytes.Handle(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"2097152"));
                     return PostMessageW(g->btnOK.Handle(), BM_CLICK, 0, 0) != FALSE;
                   })},
                   {TScript::Click(f.btnOK)},
               }));
  EXPECT_EQ(f.ShowModal(), tk::mrOk);
  ASSERT_TRUE(s.Completed());
  const auto boxes = s.Boxes();
  ASSERT_EQ(boxes.size(), 3u);
  EXPECT_TRUE(Said(boxes[0], "Volume name should not be same as ZIP file name"));
  EXPECT_TRUE(Said(boxes[1], "You don't need to type the extension part"));
  EXPECT_TRUE(Said(boxes[2], "Volume size should be greater than 65536 (64KB)"));
  EXPECT_EQ(f.edVolFN.Text(), "Backup Vol");  // '*' and '.' swallowed
  EXPECT_EQ(f.edMaxVolumeSize.Text(), "2097152");

  const auto words = RunnerWords('S', SplitCommandArgs(f));
  ASSERT_EQ(words.size(), 5u);
  EXPECT_EQ(words[2], zip);
  EXPECT_EQ(words[3], dir + "Backup Vol.zip");
  EXPECT_EQ(words[4], "2097152");
}

TEST_F(ZipDialogs, SplitUsedForTheFirstTimeProposesWhatItProposesLater) {
  qbtest::WriteFile(dir + "First.zip", std::string(3000000, 'x'));
  qbtest::WriteFile(temp / "Second.zip", std::string(3000000, 'x'));
  TSpanForm f;
  f.scbVolDir.SetAppDataIniPath(sub);
  for (const std::string& zip : {dir + "First.zip", temp / "Second.zip"}) {
    f.PrepareForZip(zip);  // the first time before any window of the dialog exists
    f.Show();
    EXPECT_EQ(f.scbVolDir.Text(), tk::ExtractFilePath(zip));
    EXPECT_EQ(f.edVolFN.Text(), tk::ChangeFileExt(tk::ExtractFileName(zip), "") + " Vol");
    EXPECT_EQ(f.lblNoOfVols.Caption(), "3");
    f.Hide();
  }
}

TEST_F(ZipDialogs, SplitVolumeFileSizeLimitsAndFolderCreation) {
  const std::string zip = dir + "my.backup.zip";
  qbtest::WriteFile(zip, std::string(200000, 'x'));
  TSpanForm f;
  f.scbVolDir.SetAppDataIniPath(sub);
  f.HandleNeeded();
  f.PrepareForZip(zip);
  // The proposed name holds a dot of the zip's own name, which is no extension.
  EXPECT_EQ(f.edVolFN.Text(), "my.backup Vol");
  EXPECT_EQ(f.VolumeFile(), dir + "my.backup Vol.zip");
  f.scbVolDir.SetText("C:\\Vol");
  f.edVolFN.SetText("part1.dat");
  EXPECT_EQ(f.VolumeFile(), "C:\\Vol\\part1.zip");

  // A folder chosen with the browser goes into the history with its backslash; the
  // folder typed afterwards is made by "Split".
  f.BrowseFolder = [&](const std::string& caption, std::string& folder) {
    EXPECT_EQ(caption, "Select directory to store volume files");
    folder = tk::ExcludeTrailingBackslash(dir);
    return true;
  };
  const std::string volumes = dir + "new\\volumes\\";
  f.edVolFN.SetText("part");
  f.edMaxVolumeSize.SetText("5000000000");  // above 32 bits
  const HWND box = f.scbVolDir.Handle();
  TScript s(f, {TScript::Click(f.btnVolDir), TScript::Do([box, want = dir] {
                  // Once the browser's folder is in the box, another is typed over it.
                  for (int i = 0; i < 250 && qbtest::Text(box) != want; ++i) Sleep(20);
                  return qbtest::Text(box) == want;
                }),
                SetText(EditOf(f.scbVolDir), volumes), TScript::Click(f.btnOK)});
  EXPECT_EQ(f.ShowModal(), tk::mrOk);
  EXPECT_TRUE(s.Completed());
  EXPECT_TRUE(s.Boxes().empty());
  EXPECT_TRUE(DirExistsQuiet(volumes));
  EXPECT_EQ(RunnerWords('S', SplitCommandArgs(f)).at(3), volumes + "part.zip");
  EXPECT_EQ(RunnerWords('S', SplitCommandArgs(f)).at(4), "5000000000");
  TSpanForm again;
  again.scbVolDir.SetAppDataIniPath(sub);
  again.HandleNeeded();
  EXPECT_EQ(again.scbVolDir.Items(), std::vector<std::string>{dir});
}

TEST_F(ZipDialogs, VolumeSizeUnitsFollowEachOther) {
  TFileSizeForm g;
  g.HandleNeeded();
  EXPECT_EQ(g.Caption(), "Volume size");
  EXPECT_EQ(g.rgSizeIn.ItemIndex(), 1);
  g.rgSizeIn.SetItemIndex(2);
  EXPECT_TRUE(g.edMB.Enabled());
  EXPECT_FALSE(g.edKB.Enabled());
  g.edMB.SetText("1.5");
  EXPECT_EQ(g.edKB.Text(), "1536");
  EXPECT_EQ(g.edBytes.Text(), "1572864");
  EXPECT_EQ(g.Bytes, 1572864);
  EXPECT_TRUE(g.btnOK.Enabled());
  g.edMB.SetText("x");
  EXPECT_EQ(g.Bytes, 0);
  EXPECT_FALSE(g.btnOK.Enabled());
  g.rgSizeIn.SetItemIndex(0);
  g.edBytes.SetText("5368709120");  // 5 GB
  EXPECT_EQ(g.edMB.Text(), "5120");
  EXPECT_EQ(g.Bytes, 5368709120LL);
}

TEST_F(ZipDialogs, JoinAsksForTheMissingFieldsAndCreatesTheFolder) {
  const std::string volume = dir + "Backup Vol.zip";
  const std::string dest = temp / "Joined Here";
  TReAssembleForm j;
  j.HandleNeeded();
  j.BrowseFolder = [&](const std::string& caption, std::string& folder) {
    EXPECT_EQ(caption, "Join to");
    folder = dest;
    return true;
  };
  TScript s(j, {
                   TScript::Click(j.btnOK),
                   TScript::Answer("OK"),
                   SetText(j.edLastVolFN, volume),
                   TScript::Click(j.btnOK),
                   TScript::Answer("OK"),
                   TScript::Click(j.btnDestDir),
                   TScript::Click(j.btnOK),
                   TScript::Answer("&No"),
                   TScript::Click(j.btnOK),
                   TScript::Answer("&Yes"),
               });
  EXPECT_EQ(j.ShowModal(), tk::mrOk);
  const auto boxes = s.Boxes();
  ASSERT_TRUE(s.Completed()) << boxes.size() << " boxes";
  ASSERT_EQ(boxes.size(), 4u);
  EXPECT_TRUE(Said(boxes[0], "Last zip volume not specified"));
  EXPECT_TRUE(Said(boxes[1], "Destinaiton folder not specified"));
  EXPECT_TRUE(Said(boxes[2], "Create directory  " + dest + "\\ ?"));
  EXPECT_TRUE(DirExistsQuiet(dest));
  const auto words = RunnerWords('A', JoinCommandArgs(j));
  ASSERT_EQ(words.size(), 4u);
  EXPECT_EQ(words[2], volume);
  EXPECT_EQ(words[3], dest + "\\");
}

TEST_F(ZipDialogs, ExtractAsksThePasswordOfAnEncryptedZipAndPassesItWhole) {
  qbtest::WriteFile(dir + "a.txt", "some text");
  const std::string zip = dir + "Secret Zip.zip";
  ASSERT_EQ(qbtest::RunUnix("cd '" + qbtest::ToUnixPath(dir) + "' && zip -q -P secret 'Secret Zip.zip' a.txt"), 0);
  const std::string dest = temp / "Out Dir\\";
  TExtractForm x;
  x.scbExtractTo.SetAppDataIniPath(sub);
  x.HandleNeeded();
  x.PrepareForZip(false, "", "");
  bool shownWithPassword = false;
  x.RunOpenDialog = [&](tk::TOpenDialog& d) {
    d.FileName = zip;
    return true;
  };
  x.BrowseFolder = [&](const std::string& caption, std::string& folder) {
    EXPECT_EQ(caption, "Select destination directory");
    folder = tk::ExcludeTrailingBackslash(dest);
    return true;
  };
  TScript s(x, Join({
                   {TScript::Click(x.btnOK)},
                   {TScript::Answer("OK")},
                   {TScript::Click(x.btnZipFN)},
                   {TScript::Do([] {
                     HWND p = nullptr;
                     for (int i = 0; i < 250; ++i, Sleep(20))
                       if ((p = FindWindowW(L"TPassForm", nullptr)) && IsWindowVisible(p)) break;
                     if (!p || !IsWindowVisible(p)) return false;
                     // The characters as the loop makes them from keys, then Enter.
                     for (wchar_t c : std::wstring(L"my pass")) PostMessageW(p, WM_CHAR, c, 0);
                     PostMessageW(p, WM_KEYDOWN, VK_RETURN, 0);
                     for (int i = 0; i < 250 && IsWindow(p); ++i) Sleep(20);
                     return !IsWindow(p);
                   })},
                   // With the password held, Password... is there to change it.
                   {TScript::Do([&] {
                     for (int i = 0; i < 100 && !IsWindowVisible(x.btnPassword.Handle()); ++i) Sleep(20);
                     shownWithPassword = IsWindowVisible(x.btnPassword.Handle()) != 0;
                     return true;
                   })},
                   {TScript::Click(x.btnExtractTo)},
                   {TScript::Click(x.chkAllFiles)},
                   TScript::Type(x.edFilesToExtract.Handle(), "doc;txt "),
                   {TScript::Answer("OK")},
                   {TScript::Click(x.chkDirNames)},
                   {TScript::Click(x.btnOK)},
               }));
  EXPECT_EQ(x.ShowModal(), tk::mrOk);
  ASSERT_TRUE(s.Completed());
  const auto boxes = s.Boxes();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_TRUE(Said(boxes[0], "ZIP file  doesn't exist"));
  EXPECT_TRUE(Said(boxes[1], "Seperate file types with semicolon"));
  EXPECT_TRUE(shownWithPassword);
  EXPECT_TRUE(x.btnPassword.Visible());
  EXPECT_EQ(x.RealPassDialog1.Password, "my pass");
  EXPECT_EQ(x.edFilesToExtract.Text(), "*.doc;*.txt");
  EXPECT_TRUE(DirExistsQuiet(dest));  // made when the box was left

  TExtrParams p;
  p.Parse("\"C:\\Program Files\\Quillbank\\RunQb.exe\" X " + ExtractCommandArgs(x));
  EXPECT_EQ(p.zip, zip);
  EXPECT_EQ(p.password, "my pass");
  EXPECT_EQ(p.destination, dest);
  EXPECT_EQ(p.masks, "*.doc *.txt");
  EXPECT_FALSE(p.flags.Contains(dz::TUnzipFlag::OverWriteFlag));
  EXPECT_TRUE(p.flags.Contains(dz::TUnzipFlag::NoDirectoryNamesFlag));
}

TEST_F(ZipDialogs, ExtractDefaultsMasksAndHistory) {
  const std::string zip = dir + "plain.zip";
  qbtest::WriteFile(zip, "not checked here");
  TExtractForm x;
  x.scbExtractTo.SetAppDataIniPath(sub);
  x.HandleNeeded();
  x.PrepareForZip(true, zip, "");
  EXPECT_EQ(x.edZipFN.Text(), zip);
  x.FormShow();
  EXPECT_TRUE(x.chkAllFiles.Checked());
  EXPECT_TRUE(x.chkDirNames.Checked());
  EXPECT_FALSE(x.chkOverwrite.Checked());
  EXPECT_FALSE(x.edFilesToExtract.Enabled());
  x.scbExtractTo.SetText("C:\\Out");
  // All files, both options as shown, no password: three words and a trailing blank.
  EXPECT_EQ(ExtractCommandArgs(x), RunnerArg(zip) + " *.* C:\\Out /o- ");
  x.chkOverwrite.SetChecked(true);
  EXPECT_EQ(ExtractCommandArgs(x), RunnerArg(zip) + " *.* C:\\Out ");

  // The mask edit: "*." alone and a trailing ";*." go when it is left.
  x.edFilesToExtract.SetText("*.doc;*.");
  x.edFilesToExtractExit();
  EXPECT_EQ(x.edFilesToExtract.Text(), "*.doc");
  x.edFilesToExtract.SetText(" *. ");
  x.edFilesToExtractExit();
  EXPECT_EQ(x.edFilesToExtract.Text(), "");

  // A network destination is taken but never kept in the history.
  bool save = true;
  x.scbExtractTo.SetText("\\\\server\\share\\out\\");
  x.scbExtractToSave(x.scbExtractTo, save);
  EXPECT_FALSE(save);
  const std::string made = temp / "made\\here\\";
  x.scbExtractTo.SetText(made);
  save = true;
  x.scbExtractToSave(x.scbExtractTo, save);
  EXPECT_TRUE(save);
  EXPECT_TRUE(DirExistsQuiet(made));
}
