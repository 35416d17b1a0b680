// The options dialog on a real form under Xvfb, filled from and stored to the real
// registry of the test's prefix; the boxes it shows are answered by a helper thread.
#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "manager/options.h"
#include "settings/fernoini.h"
#include "settings/vglobal.h"
#include "support/testutil.h"
#include "toolkit/strings.h"
#include "toolkit/win_updown.h"

namespace {

const char kGeneral[] = "Options\\General";

std::map<std::string, std::string> GeneralValues() {
  std::map<std::string, std::string> values;
  for (const std::string& name : qbtest::RegValueNames(kGeneral)) values[name] = qbtest::RegRead(kGeneral, name);
  return values;
}

void Seed(const std::map<std::string, std::string>& values) {
  for (const auto& [name, text] : values) qbtest::RegWrite(kGeneral, name, text);
}

// Answers the next message box with the named button, keeping the box's texts. A box
// that does not come in time is no one's to answer.
class TBoxAnswer {
 public:
  explicit TBoxAnswer(std::string button) : button_(std::move(button)), thread_([this] { Run(); }) {}
  ~TBoxAnswer() {
    stop_ = true;
    thread_.join();
  }
  bool Answered() const { return answered_; }
  const std::string& Texts() const { return texts_; }

 private:
  void Run() {
    for (int i = 0; i < 1000 && !stop_; ++i) {
      HWND box = FindWindowW(L"TMessageForm", nullptr);
      if (box && IsWindowVisible(box)) {
        // Once a message sent to it returns, the box's modal loop is running.
        DWORD_PTR ignored = 0;
        SendMessageTimeoutW(box, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &ignored);
        EnumChildWindows(box, [](HWND child, LPARAM self) {
          reinterpret_cast<TBoxAnswer*>(self)->texts_ += qbtest::WindowText(child) + "|";
          return TRUE;
        }, reinterpret_cast<LPARAM>(this));
        // Answered before the click lands: the call that showed the box may return at once.
        answered_ = true;
        if (HWND b = static_cast<HWND>(qbtest::FindChildByText(box, button_))) PostMessageW(b, BM_CLICK, 0, 0);
        else PostMessageW(box, WM_CLOSE, 0, 0);
        return;
      }
      Sleep(20);
    }
  }
  std::string button_;
  std::string texts_;
  std::atomic<bool> stop_{false}, answered_{false};
  std::thread thread_;
};

class OptionsTest : public ::testing::Test {
 protected:
  void SetUp() override { qbtest::ClearQuillbankKey(); }
  void TearDown() override { qbtest::ClearQuillbankKey(); }
};

// Stored values that differ from every default, each inside its range.
const std::map<std::string, std::string> kNonDefault = {
    {"ShowFNOnRun", "0"},          {"MaskPassword", "0"},          {"AllowUndo", "1"},
    {"ColorProgressbar", "0"},     {"ProgressColor1", "255"},      {"Contrast", "40"},
    {"ProgressColor2", "65280"},   {"Contrast2", "200"},           {"AutoRunDelay", "20"},
    {"AutoRefresh", "0"},          {"Use2ColorView", "0"},         {"dcmt", "\"first line\",\"second line\""},
    {"DateFormat", "dd/mm/yy"},    {"IncludeTime", "0"},           {"RegBackupToMyDocuments", "0"},
    {"BeepOnRegBackupError", "0"}, {"RegBackupDir", "C:\\backups\\"},
    {"AlternateColor", "15658734"}, {"AlternateColor2", "16250871"}, {"TempDirectory", "C:\\qbtemp\\"},
    {"ZipFileSizeUnit", "KB"},     {"ZipFileSizePrecision", "4"},  {"UseSavedSize", "0"},
    {"SchedulerOnStartup", "0"},   {"24HourTime", "1"},            {"ShowButtonText", "0"},
    {"DontAutoRun", "16"},         {"BeepOnAutoRunSkip", "0"},     {"BeepFrequency", "1200"},
    {"BeepDuration", "250"},       {"RememberAutoRunSelection", "0"}, {"RunAndTestDelay", "90"},
    {"CustomRunAndTestDelay", "e:\\=180,f:\\=20"}, {"DontShowEwDlgViaSch", "1"},
    {"ExploreTargetFolder", "1"},  {"DaysToKeepErrors", "30"},     {"ShutdownOnDllInitFailed", "1"},
};

}  // namespace

TEST_F(OptionsTest, StoredValuesAreShownAndOkWithoutChangeWritesNothingNew) {
  Seed(kNonDefault);
  Seed({{"XPMenu", DefaultXPMenu() ? "0" : "1"}});
  const auto before = GeneralValues();
  TOptionsForm f;
  f.Show();
  EXPECT_EQ(f.cbDateFormat.Text(), "dd/mm/yy");
  EXPECT_FALSE(f.chkIncludeTime.Checked());
  EXPECT_TRUE(f.chkUse24HourTimeFormat.Checked());
  EXPECT_FALSE(f.chkUse24HourTimeFormat.Enabled());
  EXPECT_TRUE(f.chkAllowUndo.Checked());
  EXPECT_EQ(f.cbZipFileSizeUnit.Text(), "KB");
  EXPECT_EQ(f.cbZipFileSizePrecision.Text(), "4");
  EXPECT_TRUE(f.cbZipFileSizePrecision.Visible());
  EXPECT_EQ(f.cbDontAutoRun.Text(), "SHIFT");
  EXPECT_EQ(f.udBeepFrequency.Position(), 1200);
  EXPECT_EQ(f.edBeepDuration.Text(), "250");
  EXPECT_EQ(f.udRunAndTestDelay.Position(), 90);
  EXPECT_EQ(f.udAutoRunDelay.Position(), 20);
  EXPECT_EQ(f.udDaysToKeepErrors.Position(), 30);
  EXPECT_EQ(f.edRegBackupDir.Text(), "C:\\backups\\");
  EXPECT_TRUE(f.edRegBackupDir.Enabled());
  EXPECT_EQ(f.edTempDir.Text(), "C:\\qbtemp\\");
  EXPECT_FALSE(f.chkUseWinTempDir.Checked());
  EXPECT_FALSE(f.MultiColorComboBox1.Visible());
  EXPECT_EQ(f.MultiColorComboBox1.ItemIndex(), 9);  // the tenth pair
  EXPECT_FALSE(f.PageControl2.Visible());
  EXPECT_EQ(f.G32ProgressbarFrame1.trkContrast.Position(), 40);
  EXPECT_EQ(f.G32ProgressbarFrame2.ColorPickerButton1.SelectionColor(), 65280u);
  EXPECT_EQ(f.mmodlgCustomRunAndTestDelay.GetCommaText(), "e:\\=180,f:\\=20");
  EXPECT_EQ(f.mmodlgDefaultComment.Text, "first line\r\nsecond line\r\n");
  EXPECT_FALSE(f.chkSchOnStartup.Checked());
  EXPECT_FALSE(f.imgSch.Visible());
  EXPECT_EQ(f.PageControl1.ActivePage(), &f.tsMainWindow);
  EXPECT_EQ(f.HelpTopic(), "options1");

  f.btnOK.Click();
  EXPECT_EQ(f.ModalResult(), tk::mrOk);
  EXPECT_EQ(GeneralValues(), before);
  EXPECT_FALSE(f.Applied().AnyChanged());
  EXPECT_EQ(f.Applied().TimeSuffix, "");
  f.Hide();
}

TEST_F(OptionsTest, DefaultsStayAbsentAndNumbersOutOfRangeAreSavedAsShown) {
  // Nothing stored: OK leaves only the values that are always written.
  {
    TOptionsForm f;
    f.Show();
    EXPECT_EQ(f.cbDateFormat.Text(), "mm/dd/yyyy");
    f.btnOK.Click();
    f.Hide();
    auto values = GeneralValues();
    values.erase("SchedulerOnStartup");  // its default follows the log-on entry
    EXPECT_EQ(values, (std::map<std::string, std::string>{{"RegBackupDir", ""}}));
  }
  qbtest::ClearQuillbankKey();
  Seed({{"ZipFileSizePrecision", "15"}, {"BeepFrequency", "7"}, {"BeepDuration", "99999"},
        {"DaysToKeepErrors", "-3"}, {"DontAutoRun", "65"}, {"Contrast", "400"}, {"DateFormat", "yyyy.mm.dd"},
        {"ZipFileSizeUnit", "GB"}, {"RegBackupDir", "C:\\b\\"}, {"AlternateColor", "255"},
        {"AlternateColor2", "65535"}});
  TOptionsForm f;
  f.Show();
  EXPECT_EQ(f.cbZipFileSizePrecision.Text(), "9");
  EXPECT_EQ(f.edBeepFrequency.Text(), "50");
  EXPECT_EQ(f.edBeepDuration.Text(), "1000");
  EXPECT_EQ(f.edDaysToKeepErrors.Text(), "2");
  EXPECT_EQ(f.cbDontAutoRun.Text(), "CTRL");
  EXPECT_EQ(f.G32ProgressbarFrame1.lblContrast.Caption(), "255");
  EXPECT_EQ(f.cbDateFormat.Text(), "mmm-dd-yyyy");
  EXPECT_EQ(f.cbZipFileSizeUnit.Text(), "MB");
  EXPECT_EQ(f.MultiColorComboBox1.ItemIndex(), 4);  // a pair not offered shows the default one
  f.btnOK.Click();
  f.Hide();
  TFernoIni ini;
  EXPECT_EQ(ini.GetZipFileSizePrecision(), 9);
  EXPECT_EQ(ini.GetBeepFrequency(), 50);
  EXPECT_EQ(ini.GetBeepDuration(), 1000);
  EXPECT_EQ(ini.GetDaysToKeepErrors(), 2);
  EXPECT_EQ(qbtest::RegRead(kGeneral, "DontAutoRun"), "<missing>");  // Ctrl is the default
  EXPECT_EQ(ini.GetContrast(), 255);
  EXPECT_EQ(ini.GetDateFormat(), "mmm-dd-yyyy");
  EXPECT_EQ(qbtest::RegRead(kGeneral, "ZipFileSizeUnit"), "<missing>");  // MB is the default
  EXPECT_EQ(qbtest::RegRead(kGeneral, "AlternateColor2"), "<missing>");
}

TEST_F(OptionsTest, PageRulesAndTheResultForTheMainWindow) {
  Seed({{"SchedulerOnStartup", "1"}, {"RegBackupDir", "C:\\b\\"}, {"ZipFileSizeUnit", "as size fits"}});
  TOptionsForm f;
  TOptionsApplied seen;
  int applied = 0;
  f.OnApply = [&](const TOptionsApplied& a) {
    seen = a;
    ++applied;
  };
  f.Show();
  // Main: "as size fits" keeps the decimals, "bytes" hides them; the time needs its box.
  EXPECT_TRUE(f.cbZipFileSizePrecision.Visible());
  f.cbZipFileSizeUnit.SetItemIndex(0);
  f.cbZipFileSizeUnit.OnChange();
  EXPECT_FALSE(f.cbZipFileSizePrecision.Visible());
  EXPECT_FALSE(f.lblZipFileSizePrecision.Visible());
  f.chkIncludeTime.SetChecked(false);
  EXPECT_FALSE(f.chkUse24HourTimeFormat.Enabled());
  f.chkUse2ColorView.SetChecked(false);
  EXPECT_FALSE(f.MultiColorComboBox1.Visible());
  f.cbDateFormat.SetItemIndex(1);

  // Running: beside the ticked scheduler box the scheduler's own clock, drawn in its
  // grey rim and light face, not a blank application icon.
  f.PageControl1.SetActivePage(&f.tsAction);
  EXPECT_EQ(f.HelpTopic(), "options2");
  ASSERT_TRUE(f.imgSch.Visible());
  RedrawWindow(f.Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  auto clock = qbtest::Colours(f.imgSch.Handle());
  EXPECT_GT(clock[RGB(96, 96, 96)], 100);
  EXPECT_GT(clock[RGB(220, 220, 220)], 300);
  // Unticking it asks, with the message's one ampersand; No keeps it, Yes lets it go.
  {
    TBoxAnswer no("&No");
    f.chkSchOnStartup.SetChecked(false);
    EXPECT_TRUE(no.Answered());
    EXPECT_NE(no.Texts().find("Autorun, scheduled, startup & shutdown profiles"), std::string::npos) << no.Texts();
    EXPECT_NE(no.Texts().find("Are you sure to remove the scheduler program from startup?"), std::string::npos);
  }
  EXPECT_TRUE(f.chkSchOnStartup.Checked());
  {
    TBoxAnswer yes("&Yes");
    f.chkSchOnStartup.SetChecked(false);
  }
  EXPECT_FALSE(f.chkSchOnStartup.Checked());
  EXPECT_FALSE(f.imgSch.Visible());
  f.chkUseWinTempDir.SetChecked(true);
  EXPECT_EQ(f.edTempDir.Text(), GetTempDir());
  EXPECT_FALSE(f.edTempDir.Enabled());
  EXPECT_FALSE(f.btnTempDir.Enabled());

  // Progress bar: the page of the two bars follows its box.
  f.PageControl1.SetActivePage(&f.tsProgressbar);
  EXPECT_EQ(f.HelpTopic(), "options3");
  f.chkColorProgress.SetChecked(true);
  EXPECT_TRUE(f.PageControl2.Visible());

  // AutoRun: Default puts the store's defaults back, not the minimums.
  f.PageControl1.SetActivePage(&f.tsAutoRun);
  EXPECT_EQ(f.HelpTopic(), "options4");
  f.udBeepFrequency.SetPosition(3000);
  {
    TBoxAnswer yes("&Yes");
    f.btnDefault.Click();
  }
  EXPECT_EQ(f.udBeepFrequency.Position(), 400);
  EXPECT_EQ(f.udBeepDuration.Position(), 100);

  // Misc: automatic backup to a folder of its own needs the folder.
  f.PageControl1.SetActivePage(&f.tsMisc);
  EXPECT_EQ(f.HelpTopic(), "options5");
  f.chkBackupToReg.SetChecked(true);
  f.chkRegBackupToMyDocuments.SetChecked(false);
  f.edRegBackupDir.SetText("");
  const auto before = GeneralValues();
  {
    TBoxAnswer ok("OK");
    f.btnOK.Click();
    EXPECT_TRUE(ok.Answered());
  }
  EXPECT_EQ(f.ModalResult(), tk::mrNone);
  EXPECT_EQ(GeneralValues(), before);
  EXPECT_EQ(applied, 0);
  f.chkRegBackupToMyDocuments.SetChecked(true);
  EXPECT_FALSE(f.edRegBackupDir.Enabled());
  f.btnOK.Click();
  EXPECT_EQ(f.ModalResult(), tk::mrOk);
  f.Hide();

  EXPECT_EQ(applied, 1);
  EXPECT_TRUE(seen.DatesChanged);
  EXPECT_EQ(seen.DateFormat, "dd-mmm-yyyy");
  EXPECT_EQ(seen.TimeSuffix, "");
  EXPECT_TRUE(seen.SizesChanged);
  EXPECT_EQ(seen.ZipFileSizeUnit, "bytes");
  EXPECT_TRUE(seen.ColorsChanged);
  EXPECT_FALSE(seen.XPMenuChanged);
  TFernoIni ini;
  EXPECT_FALSE(ini.GetSchedulerOnStartup());
  EXPECT_EQ(ini.GetZipFileSizeUnit(), "bytes");
  EXPECT_EQ(qbtest::RegRead(kGeneral, "BeepFrequency"), "<missing>");  // back at its default
  EXPECT_TRUE(ini.GetColorProgressbar());
}

TEST_F(OptionsTest, EveryNumberShowsAllItsDigitsBesideItsArrows) {
  TOptionsForm f;
  f.Show();
  for (tk::TUpDown* ud : {&f.udRunAndTestDelay, &f.udAutoRunDelay, &f.udBeepFrequency, &f.udBeepDuration,
                          &f.udDaysToKeepErrors}) {
    // The largest value in the edit's own font (Tahoma).
    ud->SetPosition(ud->Max());
    EXPECT_EQ(qbtest::WindowText(ud->Associate()->Handle()), std::to_string(ud->Max()));
    EXPECT_TRUE(qbtest::EditShowsAllItsText(ud->Associate()->Handle())) << ud->Name() << " at " << ud->Max();
  }
  f.Hide();
}
