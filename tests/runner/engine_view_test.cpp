// The run engine and the test command on a real profile, without the progress window:
// this program links the runner library alone (not the window's sources), and a view of
// its own records what the engine shows. The zip is read back by Python's reader.
#include <gtest/gtest.h>
#include <windows.h>

#include <array>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "runner/commands.h"
#include "runner/extrparams.h"
#include "runner/runengine.h"
#include "runner/runprogress.h"
#include "runner/runstate.h"
#include "settings/fernoglobal.h"
#include "settings/fernoini.h"
#include "support/testutil.h"
#include "toolkit/files.h"
#include "toolkit/strings.h"

namespace {

using qbtest::RegRead;
using qbtest::RegWrite;

// Records everything the engine shows, in order, and the files its components report.
class TRecordingView : public TRunProgress {
 public:
  TRecordingView() {
    ZipFile1.OnMinorCallback = [this](const char* item, int32_t, bool& cancel) {
      if (item) zipped.insert(tk::ExtractFileName(tk::ReplaceAll(item, "/", "\\")));
      cancel = false;
    };
    UnzipFile1.OnMinorCallback = [this](const char*, int32_t, bool& cancel) {
      ++testCallbacks;
      cancel = false;
    };
  }
  TZipFile& ZipComponent() override { return ZipFile1; }
  TUnzipFile& UnzipComponent() override { return UnzipFile1; }
  void ShowCaption(const std::string& caption) override { shown.push_back("caption " + caption); }
  void ShowIcon(TStatusIcon icon, bool on) override { icons[static_cast<size_t>(icon)] = on; }
  void ShowCheckingSource(const std::string& text) override { shown.push_back("checking " + text); }
  void ResetProgress() override { shown.push_back("reset"); }
  void ShowFileName(const std::string& name) override { shown.push_back("file " + name); }
  void ShowMajorItem(const std::string& item) override { shown.push_back("major " + item); }
  void SetBarColors(tk::TColor color, int contrast) override {
    shown.push_back("colors " + std::to_string(color) + " " + std::to_string(contrast));
  }
  std::string ChooseFolder(const std::string& prompt) override {
    shown.push_back("choose " + prompt);
    return folder;
  }
  void ShowDelay(int seconds, const std::string& caption, const std::string& text) override {
    shown.push_back("delay " + std::to_string(seconds) + " " + caption + ": " + text);
  }

  TZipFile ZipFile1;
  TUnzipFile UnzipFile1;
  std::vector<std::string> shown;
  std::array<std::optional<bool>, 10> icons;  // by TStatusIcon; empty: never set
  std::set<std::string> zipped;
  int testCallbacks = 0;
  std::string folder;  // what ChooseFolder answers
};

class EngineView : public ::testing::Test {
 protected:
  void SetUp() override {
    qbtest::ClearQuillbankKey();
    Runner = TRunnerState{};
    Runner.Command = 'B';
    Runner.Args = {"RunQb.exe", "B", "Docs"};
    ini_ = std::make_unique<TFernoIni>();
    Runner.Ini = ini_.get();
    ASSERT_TRUE(EnsureLogsDir());
    for (const std::string& log : Logs()) tk::RemoveFile(GetLogsDir() + log);
    qbtest::MakeDirs(dir_ / "src\\sub\\");
    qbtest::MakeDirs(dir_ / "out\\");
    qbtest::WriteFile(dir_ / "src\\a.txt", std::string(5000, 'a'));
    qbtest::WriteFile(dir_ / "src\\sub\\b.txt", "bee");
    RegWrite("Profiles\\Docs", "pn", "Docs");
    RegWrite("Profiles\\Docs", "zf", dir_ / "out\\Docs.zip");
    RegWrite("Profiles\\Docs", "il", dir_ / "src\\*.*");
    RegWrite("Profiles\\Docs", "b", "00000100001000000000");  // recurse; built beside the zip
    RegWrite("Profiles\\Docs", "ecmd", "4");
    RegWrite("Profiles\\Docs", "adt", "-7");  // files of the last week
    RegWrite("Profiles\\Docs", "nrl", "1");   // keeps its zip log
  }
  void TearDown() override {
    for (const std::string& log : Logs()) tk::RemoveFile(GetLogsDir() + log);
    Runner = TRunnerState{};
    ini_.reset();
    qbtest::ClearQuillbankKey();
  }
  static std::vector<std::string> Logs() {
    std::vector<std::string> logs;
    for (const std::string& name : qbtest::ListDir(GetLogsDir()))
      if (tk::StartsText("Docs ziplog ", name)) logs.push_back(name);
    return logs;
  }
  std::string Colors(int index) const {
    return "colors " + std::to_string(static_cast<tk::TColor>(ini_->GetProgressColor(index))) + " " +
           std::to_string(index == 1 ? ini_->GetContrast() : ini_->GetContrast2());
  }

  qbtest::TempDir dir_;
  std::unique_ptr<TFernoIni> ini_;
  TRecordingView view_;
};

TEST_F(EngineView, RunAndTestAProfileShowingEverythingThroughTheView) {
  view_.RanOKList = std::make_unique<tk::TStringList>();
  view_.CustomDelayList = std::make_unique<tk::TStringList>();
  view_.CustomDelayList->SetCommaText(tk::ExtractFileDrive(dir_.path()) + "\\=7,Q:\\=90");

  RunProfiles(view_);
  ASSERT_TRUE(Runner.ErrorList.Empty()) << Runner.ErrorList.Text();
  EXPECT_EQ(view_.shown, (std::vector<std::string>{Colors(1), "reset", "caption Creating Docs.zip  (Docs)"}));
  const std::array<std::optional<bool>, 10> runIcons = {true, false, false, false, false,
                                                        false, false, false, true, false};
  EXPECT_EQ(view_.icons, runIcons);
  EXPECT_EQ(view_.zipped, (std::set<std::string>{"a.txt", "b.txt"}));
  EXPECT_EQ(view_.RanOKList->Items(), std::vector<std::string>{"Docs"});
  EXPECT_EQ(view_.LongestCustomDelay, 7);
  EXPECT_TRUE(view_.CustomDelayMatched);
  EXPECT_EQ(RegRead("Profiles\\Docs", "ze"), "<missing>");
  EXPECT_NE(RegRead("Profiles\\Docs", "lrun"), "<missing>");
  std::string names;
  ASSERT_EQ(qbtest::RunUnix("python3 -c 'import zipfile,sys; z=zipfile.ZipFile(sys.argv[1]); "
                            "assert z.testzip() is None; print(\" \".join(sorted(n.split(\"/\")[-1] "
                            "for n in z.namelist() if not n.endswith(\"/\"))))' '" +
                                qbtest::ToUnixPath(dir_ / "out\\Docs.zip") + "'",
                            &names),
            0);
  EXPECT_EQ(tk::Trim(names), "a.txt b.txt");
  // The library asked this call for the log's name and header and wrote the log there.
  const std::vector<std::string> logs = Logs();
  ASSERT_EQ(logs.size(), 1u);
  const std::string log = qbtest::ReadFile(GetLogsDir() + logs[0]);
  EXPECT_TRUE(tk::StartsText("--- Quillbank ZIP Log - ", log)) << log;
  EXPECT_EQ(log.find("%s"), std::string::npos) << log;
  // The countdown before the test is the view's, for the longest matching line.
  ShowDelayBeforeTest(view_);
  EXPECT_EQ(view_.shown.back(), "delay 7 Delay before Test: Delay before Test: 7 seconds");

  view_.shown.clear();
  TestProfiles(view_);
  ASSERT_TRUE(Runner.ErrorList.Empty()) << Runner.ErrorList.Text();
  EXPECT_EQ(view_.shown,
            (std::vector<std::string>{Colors(2), "caption Testing  (Docs)", "reset", "file docs.zip"}));
  const std::array<std::optional<bool>, 10> testIcons = {false, false, false, true, false,
                                                         false, false, false, false, false};
  EXPECT_EQ(view_.icons, testIcons);
  EXPECT_GT(view_.testCallbacks, 0);
  EXPECT_EQ(RegRead("Profiles\\Docs", "te"), "<missing>");
  EXPECT_NE(RegRead("Profiles\\Docs", "ltst"), "<missing>");
  EXPECT_EQ(Runner.ExitCode(), 0);
}

// X without a destination asks the view for the folder and opens no window itself.
TEST_F(EngineView, ExtractWithoutADestinationAsksTheViewForTheFolder) {
  RunProfiles(view_);
  ASSERT_TRUE(Runner.ErrorList.Empty()) << Runner.ErrorList.Text();
  TExtrParams xp;
  xp.Parse("RunQb.exe X \"" + dir_ / "out\\Docs.zip" + "\"");
  Runner.ExtrParams = &xp;
  // None chosen: nothing is extracted, and that is no failure.
  view_.shown.clear();
  ExtractArchive(view_);
  EXPECT_EQ(view_.shown, std::vector<std::string>{"choose Specify folder to extract"});
  EXPECT_TRUE(Runner.ErrorList.Empty()) << Runner.ErrorList.Text();

  // The chosen folder gets the files.
  qbtest::MakeDirs(dir_ / "back\\");
  view_.folder = dir_ / "back";
  view_.shown.clear();
  ExtractArchive(view_);
  Runner.ExtrParams = nullptr;
  ASSERT_TRUE(Runner.ErrorList.Empty()) << Runner.ErrorList.Text();
  EXPECT_EQ(view_.shown,
            (std::vector<std::string>{"choose Specify folder to extract", "reset", "caption Extracting Docs.zip"}));
  std::string found;
  qbtest::RunUnix("cd '" + qbtest::ToUnixPath(dir_ / "back") + "' && find . -name '*.txt' | sort", &found);
  EXPECT_TRUE(found.find("/a.txt\n") != std::string::npos && found.find("/sub/b.txt\n") != std::string::npos) << found;
}

}  // namespace
