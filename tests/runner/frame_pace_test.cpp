// The progress window in-process while the real zip library zips thousands of small
// files: every callback reaches the window, the texts change at a human rate rather than
// once per file, Cancel is answered at once, and the last state is shown when the command
// ends.
#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "runner/progresspace.h"
#include "runner/runengine.h"
#include "runner/runqbmain.h"
#include "settings/fernoini.h"
#include "support/testutil.h"
#include "toolkit/files.h"
#include "toolkit/strings.h"
#include "toolkit/win_app.h"

namespace {

using qbtest::RegRead;
using qbtest::RegWrite;

// Counts the texts set into one window (WM_SETTEXT), whatever sets them, and those of
// them that are not empty.
class TextCounter {
 public:
  explicit TextCounter(HWND w) : w_(w) {
    counter_ = this;
    old_ = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(w, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Proc)));
  }
  ~TextCounter() {
    SetWindowLongPtrW(w_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(old_));
    counter_ = nullptr;
  }
  int count = 0, shown = 0;

 private:
  static LRESULT CALLBACK Proc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_SETTEXT) {
      ++counter_->count;
      if (lp && *reinterpret_cast<const wchar_t*>(lp)) ++counter_->shown;
    }
    return CallWindowProcW(counter_->old_, w, msg, wp, lp);
  }
  static inline TextCounter* counter_ = nullptr;
  HWND w_;
  WNDPROC old_ = nullptr;
};

class ProgressPace : public ::testing::Test {
 protected:
  static constexpr int kFiles = 3000;

  static void SetUpTestSuite() {
    // Small files in 30 folders, as a source tree has them.
    src_ = new std::string(dir_() / "src\\");
    for (int d = 0; d < 30; ++d) {
      const std::string folder = *src_ + "Dir" + std::to_string(d) + "\\";
      qbtest::MakeDirs(folder);
      for (int f = 0; f < kFiles / 30; ++f)
        qbtest::WriteFile(folder + "File" + std::to_string(f) + ".H", std::string(200 + f * 13, 'a' + f % 26));
    }
  }
  static void TearDownTestSuite() {
    delete src_;
    src_ = nullptr;
  }
  void SetUp() override {
    qbtest::ClearQuillbankKey();
    Runner = TRunnerState{};
    Runner.Command = 'R';
    Runner.Args = {"RunQb.exe", "R", "Pace"};
    ini_ = std::make_unique<TFernoIni>();   // opens the key made afresh
    Runner.Ini = ini_.get();
    out_ = dir_() / "out\\";
    qbtest::MakeDirs(out_);
    RegWrite("Profiles\\Pace", "pn", "Pace");
    RegWrite("Profiles\\Pace", "zf", out_ + "Pace.zip");
    RegWrite("Profiles\\Pace", "il", *src_ + "*.*");
    RegWrite("Profiles\\Pace", "b", "00000100001000000000");   // recurse; built beside the zip
    RegWrite("Profiles\\Pace", "cf", "1");
    RegWrite("Profiles\\Pace", "ecmd", "4");   // add: every file goes in again
    DeleteFileW(tk::Widen(out_ + "Pace.zip").c_str());
    // Made but not shown: the dispatcher starts only when a test calls it.
    form_.HandleNeeded();
    tk::Application.ProcessMessages();
    // Every callback is counted on its way to the window, and the one in which the
    // window took the click of Cancel is noted.
    inner_ = form_.ZipFile1.OnMinorCallback;
    form_.ZipFile1.OnMinorCallback = [this](const char* item, int32_t percent, bool& doCancel) {
      ++minorCalls_;
      lastItem_ = item ? item : "";
      if (spreadEvery_ && minorCalls_ % spreadEvery_ == 0) Sleep(10);
      if (minorCalls_ == clickAt_) {
        PostMessageW(form_.btnCancel.Handle(), BM_CLICK, 0, 0);
        clickCall_ = calls_ + 1;
      }
      Counted(inner_, item, percent, doCancel);
    };
    innerMajor_ = form_.ZipFile1.OnMajorCallback;
    form_.ZipFile1.OnMajorCallback = [this](const char* item, int32_t percent, bool& doCancel) {
      Counted(innerMajor_, item, percent, doCancel);
    };
  }
  void TearDown() override {
    form_.DestroyHandle();
    Runner = TRunnerState{};
    ini_.reset();
    qbtest::ClearQuillbankKey();
  }
  static qbtest::TempDir& dir_() {
    static qbtest::TempDir dir;
    return dir;
  }
  // The number of files in the zip (folders not counted), from Python's reader (CRCs checked).
  static int ZipEntries(const std::string& zip) {
    std::string out;
    if (qbtest::RunUnix("python3 -c 'import zipfile,sys; z=zipfile.ZipFile(sys.argv[1]); assert z.testzip() is None; "
                        "print(sum(not n.endswith(\"/\") for n in z.namelist()))' '" + qbtest::ToUnixPath(zip) + "'",
                        &out) != 0)
      return -1;
    return std::stoi(out);
  }

  // The tick counts before and after a callback in which a name was shown.
  struct TSpan {
    ULONGLONG from, to;
  };
  void Counted(const TStatusCallback& callback, const char* item, int32_t percent, bool& doCancel) {
    ++calls_;
    const bool before = Runner.Cancel;
    const int shown = names_ ? names_->shown : 0;
    const ULONGLONG from = GetTickCount64();
    callback(item, percent, doCancel);
    if (names_ && names_->shown != shown) shows_.push_back({from, GetTickCount64()});
    if (!before && Runner.Cancel) cancelSeenAt_ = calls_;
  }

  static inline std::string* src_ = nullptr;
  std::unique_ptr<TFernoIni> ini_;
  std::string out_;
  TRunFoMainForm form_;
  TStatusCallback inner_, innerMajor_;
  int minorCalls_ = 0, clickAt_ = -1;
  int spreadEvery_ = 0;   // a pause after every n-th file: the files arrive over a second at least
  int calls_ = 0, clickCall_ = 0, cancelSeenAt_ = 0;   // minor and major callbacks together
  TextCounter* names_ = nullptr;
  std::vector<TSpan> shows_;
  std::string lastItem_;
};

TEST_F(ProgressPace, CancelIsAnsweredWhileManyFilesGoByAndTheOldZipStays) {
  RunProfiles(form_);   // a first zip to keep
  ASSERT_EQ(RegRead("Profiles\\Pace", "ze"), "<missing>") << Runner.ErrorList.Text();
  const std::string before = qbtest::ReadFile(out_ + "Pace.zip");
  ASSERT_EQ(ZipEntries(out_ + "Pace.zip"), kFiles);

  qbtest::WriteFile(*src_ + "Dir0\\File0.H", "changed");
  minorCalls_ = 0;
  clickAt_ = 200;
  RunProfiles(form_);
  EXPECT_TRUE(Runner.Cancel);
  EXPECT_EQ(RegRead("Profiles\\Pace", "ze"), "9");
  EXPECT_EQ(qbtest::ReadFile(out_ + "Pace.zip"), before);
  EXPECT_EQ(qbtest::ListDir(out_), std::vector<std::string>{"Pace.zip"});
  // The click is taken at a later callback, long before the files run out, and that
  // callback ends the run: the library calls back no more.
  ASSERT_NE(clickCall_, 0);
  EXPECT_GE(cancelSeenAt_, clickCall_);
  EXPECT_EQ(calls_, cancelSeenAt_);
  EXPECT_LT(minorCalls_, kFiles);
}

// A search through many folders that finds nothing still calls the window back while it
// goes: the window takes its messages there, and the click of Cancel ends the search.
TEST_F(ProgressPace, CancelStopsASearchThatFindsNothing) {
  ASSERT_EQ(qbtest::RunUnix("cd '" + qbtest::ToUnixPath(dir_().path()) + "' && bash -c 'mkdir -p tree/d{0..99}/e{0..49}'"), 0);
  RegWrite("Profiles\\Pace", "il", dir_() / "tree\\*.none");
  int majors = 0;
  form_.ZipFile1.OnMajorCallback = [&](const char* item, int32_t percent, bool& doCancel) {
    // The first is the one before the search; those after it come while it goes.
    if (++majors == 3 && minorCalls_ == 0) PostMessageW(form_.btnCancel.Handle(), BM_CLICK, 0, 0);
    Counted(innerMajor_, item, percent, doCancel);
  };
  RunProfiles(form_);
  EXPECT_EQ(RegRead("Profiles\\Pace", "ze"), "9") << Runner.ErrorList.Text();
  EXPECT_EQ(calls_, cancelSeenAt_);   // the callback that took the click was the last
}

// Last: the dispatcher ends the application's message loop.
TEST_F(ProgressPace, EveryCallbackArrivesTextsChangeAtAHumanRateAndTheLastStateStays) {
  TextCounter fileTexts(form_.lblFN.Handle());
  names_ = &fileTexts;
  // On a loaded machine the library's workers can hand all the files over in one burst
  // shorter than a display interval; spread over a second they leave the window time to
  // show several names, which the pace is measured on.
  spreadEvery_ = 30;
  form_.tmrActivateTimer();
  names_ = nullptr;
  EXPECT_TRUE(Runner.ErrorList.Empty()) << Runner.ErrorList.Text();
  ASSERT_EQ(ZipEntries(out_ + "Pace.zip"), kFiles);
  EXPECT_EQ(minorCalls_, kFiles);
  // Never once per file: while files go by, a name is shown at most once in each display
  // interval of the window's clock. The window reads its clock inside the callback, so
  // from the start of one showing callback to the end of the next that interval passed.
  EXPECT_LT(fileTexts.count, kFiles / 10);
  ASSERT_GE(shows_.size(), 2u);
  for (size_t i = 1; i < shows_.size(); ++i)
    EXPECT_GE(shows_[i].to - shows_[i - 1].from, TProgressPace::ShowMs) << "name " << i << " of " << shows_.size();
  // The end shows the last file and full bars.
  const std::string last = tk::LowerCase(tk::ExtractFileName(tk::ReplaceAll(lastItem_, "/", "\\")));
  EXPECT_EQ(form_.lblFN.Caption(), last);
  EXPECT_NE(last, "");
  EXPECT_EQ(form_.GradientBars ? form_.g32Minor.Position() : form_.pbarMinor.Position(), 100);
  EXPECT_EQ(form_.GradientBars ? form_.g32Major.Position() : form_.pbarMajor.Position(), 100);
}

}  // namespace
