// The history combo box on a real form: its ini file (read back here line by line),
// its registry key, the save when the focus leaves it; and the logo frame's layout
// and picture on the screen.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "controls/qblogo.h"
#include "controls/savecombobox.h"
#include "settings/vglobal.h"
#include "support/testutil.h"
#include "toolkit/files.h"
#include "toolkit/strings.h"
#include "toolkit/win_form.h"

using g32::TQbLogoFrame;
using g32::TSaveComboBox;

namespace {

class THistoryForm : public tk::TForm {
 public:
  TSaveComboBox scbVolDir, scbExt;
  tk::TEdit edOther;
  TQbLogoFrame logo;
  THistoryForm() : TForm(L"THistoryForm") {
    BorderStyle = tk::TBorderStyle::bsDialog;
    SetCaption("History test");
    SetClientSize(420, 230);
    Declare({
        {.Control = logo, .Name = "QbLogoFrame1", .Caption = "", .Bounds = {8, 8, 95, 211}},
        {.Control = scbVolDir, .Name = "scbVolDir", .Caption = "", .Bounds = {120, 8, 250, 21}},
        {.Control = scbExt, .Name = "scbExt", .Caption = "", .Bounds = {120, 40, 250, 21}, .Style = tk::cbSorted},
        {.Control = edOther, .Name = "edOther", .Caption = "", .Bounds = {120, 72, 250, 21}},
    });
  }
};

using TIniText = std::map<std::string, std::map<std::string, std::string>>;

// The ini file as its lines say, parsed here: UTF-16 with its mark, otherwise ANSI.
// Names are kept as written; values keep their blanks.
TIniText ParseIni(const std::string& path) {
  std::string raw = qbtest::ReadFile(path), text;
  if (raw.size() >= 2 && static_cast<unsigned char>(raw[0]) == 0xFF && static_cast<unsigned char>(raw[1]) == 0xFE)
    text = tk::Narrow(std::wstring_view(reinterpret_cast<const wchar_t*>(raw.data() + 2), (raw.size() - 2) / 2));
  else
    text = tk::Narrow(tk::AnsiBytesToWide(raw));
  TIniText ini;
  std::string section;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(at, end - at);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    at = end + 1;
    if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
      section = line.substr(1, line.size() - 2);
      ini[section];
    } else if (size_t eq = line.find('='); eq != std::string::npos) {
      ini[section][line.substr(0, eq)] = line.substr(eq + 1);
    }
  }
  return ini;
}

// Each test has a folder of its own below the application-data folder.
class History : public testing::Test {
 protected:
  void SetUp() override {
    static int serial = 0;
    sub = "QbHistoryTest" + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(++serial);
    folder = GetAppDataDir() + sub + "\\";
    ASSERT_NE(GetAppDataDir(), "");
  }
  void TearDown() override { qbtest::RemoveTree(folder); }
  void UseIni(TSaveComboBox& box, const std::string& section) {
    box.SetAppDataIniPath(sub);
    box.SetIniFileName("ComboBox.ini");
    box.Section = section;
  }
  static void UseRegistry(TSaveComboBox& box) {
    box.SaveToIni = false;
    box.SetRegKey("Software\\Quillbank\\HistoryTest");
    box.Section = "VolDir";
  }
  std::string Ini() const { return folder + "ComboBox.ini"; }
  std::string sub, folder;
};

// The user's text, then the save the dialogs ask for.
void SaveText(TSaveComboBox& box, const std::string& text) {
  box.SetText(text);
  box.SaveHistory();
}

bool Pump(const std::function<bool()>& done) { return tk::Application.ProcessUntil(done, 5000); }

}  // namespace

TEST_F(History, FileLiesBelowTheApplicationDataFolderWhichIsMadeAtTheFirstSave) {
  THistoryForm f;
  f.Show();
  UseIni(f.scbVolDir, "VolDir");
  EXPECT_EQ(f.scbVolDir.IniFilePath(), Ini());
  EXPECT_FALSE(qbtest::Exists(folder));  // not made by the setter
  SaveText(f.scbVolDir, "C:\\Volumes");
  ASSERT_TRUE(qbtest::Exists(Ini()));
  TIniText ini = ParseIni(Ini());
  EXPECT_EQ(ini["VolDir"]["LastText"], "C:\\Volumes");
  EXPECT_EQ(ini["VolDir"]["Count"], "1");
  EXPECT_EQ(ini["VolDir"]["Item0"], "C:\\Volumes");
  EXPECT_EQ(f.scbVolDir.Items(), std::vector<std::string>{"C:\\Volumes"});
}

TEST_F(History, TheSameFolderTwiceKeepsOneEntryUnlessSaveRepeated) {
  THistoryForm f;
  f.Show();
  UseIni(f.scbVolDir, "VolDir");
  SaveText(f.scbVolDir, "C:\\Backup");
  SaveText(f.scbVolDir, "c:\\BACKUP");  // the list compares without regard to case
  TIniText ini = ParseIni(Ini());
  EXPECT_EQ(ini["VolDir"]["Count"], "1");
  EXPECT_EQ(ini["VolDir"].count("Item1"), 0u);
  EXPECT_EQ(ini["VolDir"]["LastText"], "c:\\BACKUP");
  EXPECT_EQ(f.scbVolDir.Count(), 1);

  f.scbVolDir.SaveRepeated = true;
  f.scbVolDir.SaveHistory();
  ini = ParseIni(Ini());
  EXPECT_EQ(ini["VolDir"]["Count"], "2");
  EXPECT_EQ(ini["VolDir"]["Item0"], "C:\\Backup");
  EXPECT_EQ(ini["VolDir"]["Item1"], "c:\\BACKUP");
  EXPECT_EQ(f.scbVolDir.Count(), 2);
}

TEST_F(History, BlankTextIsNotAddedButIsStillTheLastTextAndAVetoKeepsOnlyTheLastText) {
  THistoryForm f;
  f.Show();
  UseIni(f.scbVolDir, "VolDir");
  SaveText(f.scbVolDir, "   ");
  TIniText ini = ParseIni(Ini());
  // Written; an ini file keeps no blanks around a value (the registry does, below).
  ASSERT_EQ(ini["VolDir"].count("LastText"), 1u);
  EXPECT_EQ(ini["VolDir"]["LastText"], "");
  EXPECT_EQ(ini["VolDir"].count("Count"), 0u);
  EXPECT_EQ(f.scbVolDir.Count(), 0);

  int asked = 0;
  f.scbVolDir.OnSave = [&](TSaveComboBox& sender, bool& doSave) {
    EXPECT_EQ(&sender, &f.scbVolDir);
    ++asked;
    doSave = false;
  };
  SaveText(f.scbVolDir, "D:\\Vetoed");
  ini = ParseIni(Ini());
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(ini["VolDir"]["LastText"], "D:\\Vetoed");
  EXPECT_EQ(ini["VolDir"].count("Count"), 0u);
  EXPECT_EQ(f.scbVolDir.Count(), 0);

  // Without RememberText the last text is never written.
  f.scbVolDir.OnSave = nullptr;
  f.scbVolDir.RememberText = false;
  SaveText(f.scbVolDir, "E:\\Added");
  ini = ParseIni(Ini());
  EXPECT_EQ(ini["VolDir"]["LastText"], "D:\\Vetoed");
  EXPECT_EQ(ini["VolDir"]["Item0"], "E:\\Added");
}

TEST_F(History, LoadTakesTheItemsInOrderSkipsEmptyOnesAndSetsTheLastText) {
  qbtest::MakeDirs(folder);
  // An ANSI file as earlier versions wrote it, with an empty item, a hole, an item
  // beyond Count and another section.
  qbtest::WriteFile(Ini(),
                    "[Ext]\r\nCount=1\r\nItem0=*.doc\r\n"
                    "[VolDir]\r\nCount=5\r\nItem0=C:\\Vol\r\nItem1=\r\nItem2=D:\\Caf\xE9\r\nItem4=E:\\Last\r\n"
                    "Item5=F:\\Beyond\r\nLastText=D:\\Caf\xE9\r\n");
  THistoryForm f;
  f.Show();
  UseIni(f.scbVolDir, "VolDir");
  f.scbVolDir.AddItem("stale");
  f.scbVolDir.LoadHistory();
  EXPECT_EQ(f.scbVolDir.Items(), (std::vector<std::string>{"C:\\Vol", "D:\\Café", "E:\\Last"}));
  EXPECT_EQ(f.scbVolDir.Text(), "D:\\Café");

  // Without RememberText the text stays as the list is refilled.
  UseIni(f.scbExt, "Ext");
  f.scbExt.RememberText = false;
  f.scbExt.LoadHistory();
  EXPECT_EQ(f.scbExt.Items(), std::vector<std::string>{"*.doc"});
  EXPECT_EQ(f.scbExt.Text(), "");

  // A section that is not there empties the list.
  f.scbExt.Section = "Nothing";
  f.scbExt.LoadHistory();
  EXPECT_EQ(f.scbExt.Count(), 0);
}

TEST_F(History, ADamagedCountReadsOnlyTheItemsThatAreThere) {
  qbtest::MakeDirs(folder);
  qbtest::WriteFile(Ini(), "[VolDir]\r\nCount=2000000000\r\nItem0=C:\\One\r\nItem7=C:\\Two\r\nItem07=C:\\Not\r\n");
  THistoryForm f;
  f.Show();
  UseIni(f.scbVolDir, "VolDir");
  f.scbVolDir.LoadHistory();
  EXPECT_EQ(f.scbVolDir.Items(), (std::vector<std::string>{"C:\\One", "C:\\Two"}));
  // The next item goes after the count as it stands.
  SaveText(f.scbVolDir, "C:\\Three");
  TIniText ini = ParseIni(Ini());
  EXPECT_EQ(ini["VolDir"]["Count"], "2000000001");
  EXPECT_EQ(ini["VolDir"]["Item2000000000"], "C:\\Three");
}

TEST_F(History, TextsOutsideTheAnsiCodePageSurviveANewFile) {
  const std::string folderName = "C:\\Документы\\日本";
  {
    THistoryForm f;
    f.Show();
    UseIni(f.scbVolDir, "VolDir");
    SaveText(f.scbVolDir, folderName);
  }
  EXPECT_EQ(ParseIni(Ini())["VolDir"]["Item0"], folderName);
  THistoryForm g;
  g.Show();
  UseIni(g.scbVolDir, "VolDir");
  g.scbVolDir.LoadHistory();
  EXPECT_EQ(g.scbVolDir.Items(), std::vector<std::string>{folderName});
  EXPECT_EQ(g.scbVolDir.Text(), folderName);
}

TEST_F(History, NothingIsLoadedOrSavedWithoutAStoreNameOrSection) {
  THistoryForm f;
  f.Show();
  f.scbVolDir.AddItem("kept");
  f.scbVolDir.Section = "VolDir";
  f.scbVolDir.LoadHistory();  // no store yet
  f.scbVolDir.SaveHistory();
  EXPECT_EQ(f.scbVolDir.Items(), std::vector<std::string>{"kept"});

  f.scbVolDir.SetAppDataIniPath(sub);
  f.scbVolDir.Section = "";
  f.scbVolDir.SetIniFileName("ComboBox.ini");
  f.scbVolDir.LoadHistory();
  SaveText(f.scbVolDir, "C:\\NoSection");
  EXPECT_EQ(f.scbVolDir.Items(), std::vector<std::string>{"kept"});
  EXPECT_FALSE(qbtest::Exists(Ini()));

  // The registry key is ignored while the box saves to an ini file.
  f.scbVolDir.SetRegKey("Software\\Quillbank\\HistoryTest");
  EXPECT_EQ(f.scbVolDir.RegKey(), "");
}

TEST_F(History, WithoutAnApplicationDataPathTheFileLiesInTheProgramFolder) {
  const std::string name = "ComboBox_" + sub + ".ini";
  const std::string path = tk::ProgramDir() + name;
  {
    THistoryForm f;
    f.Show();
    f.scbVolDir.SetIniFileName(name);
    f.scbVolDir.Section = "VolDir";
    EXPECT_EQ(f.scbVolDir.IniFilePath(), path);
    SaveText(f.scbVolDir, "C:\\Here");
  }
  TIniText ini = ParseIni(path);
  EXPECT_TRUE(tk::RemoveFile(path));
  EXPECT_EQ(ini["VolDir"]["Item0"], "C:\\Here");
  // Setting the folder afterwards moves the file below the application-data folder.
  THistoryForm g;
  g.scbVolDir.SetIniFileName("ComboBox.ini");
  g.scbVolDir.SetAppDataIniPath(sub);
  EXPECT_EQ(g.scbVolDir.IniFilePath(), Ini());
}

TEST_F(History, TheRegistryStoreKeepsTheSameLayout) {
  qbtest::ClearQuillbankKey();
  {
    THistoryForm f;
    f.Show();
    UseRegistry(f.scbVolDir);
    f.scbVolDir.SetIniFileName("ignored.ini");  // ignored: the box saves to the registry
    EXPECT_EQ(f.scbVolDir.IniFileName(), "");
    SaveText(f.scbVolDir, "C:\\Reg");
    SaveText(f.scbVolDir, "D:\\Reg");
    SaveText(f.scbVolDir, "  ");
    EXPECT_EQ(qbtest::RegRead("HistoryTest\\VolDir", "LastText"), "  ");
    SaveText(f.scbVolDir, "D:\\Reg");
  }
  EXPECT_EQ(qbtest::RegRead("HistoryTest\\VolDir", "Count"), "2");
  EXPECT_EQ(qbtest::RegRead("HistoryTest\\VolDir", "Item0"), "C:\\Reg");
  EXPECT_EQ(qbtest::RegRead("HistoryTest\\VolDir", "Item1"), "D:\\Reg");
  EXPECT_EQ(qbtest::RegRead("HistoryTest\\VolDir", "LastText"), "D:\\Reg");

  qbtest::RegWrite("HistoryTest\\VolDir", "Item1", "");
  THistoryForm g;
  g.Show();
  UseRegistry(g.scbVolDir);
  g.scbVolDir.LoadHistory();
  EXPECT_EQ(g.scbVolDir.Items(), std::vector<std::string>{"C:\\Reg"});
  EXPECT_EQ(g.scbVolDir.Text(), "D:\\Reg");
  qbtest::ClearQuillbankKey();
}

TEST_F(History, LeavingTheBoxForAnotherControlSavesUnlessSaveOnExitIsOff) {
  THistoryForm f;
  UseIni(f.scbVolDir, "VolDir");
  int exits = 0;
  f.scbVolDir.OnExit = [&] { ++exits; };
  f.Show();
  // The user types into the box and moves on to the edit.
  auto typeAndLeave = [&](const std::string& text) {
    f.scbVolDir.SetFocus();
    if (!Pump([&] { return f.ActiveControl() == &f.scbVolDir; })) return false;
    f.scbVolDir.SetText(text);
    f.edOther.SetFocus();
    return Pump([&] { return f.ActiveControl() == &f.edOther; });
  };
  ASSERT_TRUE(typeAndLeave("C:\\OnExit"));
  EXPECT_EQ(exits, 1);
  EXPECT_EQ(f.scbVolDir.Items(), std::vector<std::string>{"C:\\OnExit"});
  EXPECT_EQ(ParseIni(Ini())["VolDir"]["Item0"], "C:\\OnExit");

  f.scbVolDir.SaveOnExit = false;
  ASSERT_TRUE(typeAndLeave("C:\\NotSaved"));
  EXPECT_EQ(exits, 2);
  EXPECT_EQ(f.scbVolDir.Count(), 1);
  EXPECT_EQ(ParseIni(Ini())["VolDir"]["LastText"], "C:\\OnExit");
}

// A left click of the mouse at a point of a control, as a user makes it; true once the
// form counts the control as its active one (a click lost while the window comes
// forward is repeated a few times).
bool ClickInto(tk::TForm& form, tk::TControl& control, int x, int y) {
  POINT p{x, y};
  ClientToScreen(control.Handle(), &p);
  for (int attempt = 0; attempt < 4; ++attempt) {
    SetForegroundWindow(form.Handle());
    SetCursorPos(p.x, p.y);
    INPUT in[2]{};
    in[0].type = in[1].type = INPUT_MOUSE;
    in[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    in[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(2, in, sizeof(INPUT));
    if (tk::Application.ProcessUntil([&] { return form.ActiveControl() == &control; }, 1500)) return true;
  }
  return false;
}

TEST_F(History, AFolderEnteredWithTheMouseAndLeftIsStoredAsItsSaveHandlerCompletedIt) {
  THistoryForm f;
  UseIni(f.scbVolDir, "VolDir");
  // The dialogs' handler gives a folder its backslash before it is kept.
  f.scbVolDir.OnSave = [](TSaveComboBox& sender, bool&) {
    const std::string text = sender.Text();
    if (!text.empty() && text.back() != '\\') sender.SetText(text + "\\");
  };
  f.Show();
  f.edOther.SetFocus();
  // Into the edit part of the box: the focus goes to the box's inner edit.
  ASSERT_TRUE(ClickInto(f, f.scbVolDir, 20, f.scbVolDir.ClientHeight() / 2));
  HWND inner = GetFocus();
  EXPECT_NE(inner, f.scbVolDir.Handle());
  EXPECT_EQ(GetParent(inner), f.scbVolDir.Handle());
  SendMessageW(inner, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"C:\\Work"));
  // Out again with the mouse.
  ASSERT_TRUE(ClickInto(f, f.edOther, 10, 10));
  EXPECT_EQ(f.scbVolDir.Text(), "C:\\Work\\");
  EXPECT_EQ(f.scbVolDir.Items(), std::vector<std::string>{"C:\\Work\\"});
  TIniText ini = ParseIni(Ini());
  EXPECT_EQ(ini["VolDir"]["Item0"], "C:\\Work\\");
  EXPECT_EQ(ini["VolDir"]["LastText"], "C:\\Work\\");
  EXPECT_EQ(ini["VolDir"]["Count"], "1");
  f.Hide();
}

TEST(QbLogoFrame, BevelIsFittedAroundThePictureAndTheFrameNarrowed) {
  THistoryForm f;
  TQbLogoFrame& logo = f.logo;
  // Before any window: the constructor's layout.
  EXPECT_EQ(logo.Width(), 95);
  EXPECT_EQ(logo.ImgWizard.Bounds(), (tk::TBounds{2, 2, 88, 206}));
  EXPECT_EQ(logo.Bevel3.Bounds(), (tk::TBounds{1, 1, 91, 209}));
  EXPECT_EQ(logo.Bevel3.Shape, tk::TBevelShape::bsFrame);
  EXPECT_EQ(logo.Bevel3.DeclStyle() & tk::bvRaisedStyle, 0u);
  EXPECT_EQ(logo.Button1.Bounds(), (tk::TBounds{0, 0, 90, 208}));
  f.Show();
  ASSERT_TRUE(Pump([&] { return IsWindowVisible(logo.Handle()) != 0; }));
  EXPECT_EQ(logo.Bounds(), (tk::TBounds{8, 8, 95, 211}));
  EXPECT_EQ(logo.Bevel3.Bounds(), (tk::TBounds{1, 1, 91, 209}));
  EXPECT_EQ(logo.Button1.Caption(), "");
  EXPECT_FALSE(logo.Button1.TabStop());  // the form's first focus goes to a control one sees
  EXPECT_FALSE(IsWindowVisible(logo.Button1.Handle()));
  EXPECT_EQ(f.FindControl("ImgWizard"), &logo.ImgWizard);

  BITMAP bm{};
  ASSERT_NE(logo.ImgWizard.Bitmap(), nullptr);
  ASSERT_EQ(GetObjectW(logo.ImgWizard.Bitmap(), sizeof bm, &bm), static_cast<int>(sizeof bm));
  EXPECT_EQ(bm.bmWidth, TQbLogoFrame::kLogoWidth);
  EXPECT_EQ(bm.bmHeight, TQbLogoFrame::kLogoHeight);
}

TEST(QbLogoFrame, TheScreenShowsThePictureInsideALoweredFrame) {
  THistoryForm f;
  f.Show();
  SetForegroundWindow(f.Handle());
  RedrawWindow(f.Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  QB_FRAME_NEEDS(tk::ScreenPixelsPerInch() == 96, "pixel positions are for 96 DPI");
  POINT origin{0, 0};
  ClientToScreen(f.logo.Handle(), &origin);
  HDC screen = GetDC(nullptr);
  auto at = [&](int x, int y) { return GetPixel(screen, origin.x + x, origin.y + y); };
  const COLORREF shadow = GetSysColor(COLOR_BTNSHADOW), light = GetSysColor(COLOR_BTNHIGHLIGHT);
  HDC mem = CreateCompatibleDC(screen);
  HGDIOBJ old = SelectObject(mem, f.logo.ImgWizard.Bitmap());
  // What the window painted reaches the screen as its messages are pumped: the frame's
  // corner and a pixel of the picture are there.
  Pump([&] { return at(1, 100) == shadow && at(2 + 70, 2 + 20) == GetPixel(mem, 70, 20); });
  // The lowered frame: shadow on the outer left and top, light outside on the right.
  EXPECT_EQ(at(1, 100), shadow);
  EXPECT_EQ(at(40, 1), shadow);
  EXPECT_EQ(at(90, 100), shadow);
  EXPECT_EQ(at(91, 100), light);
  EXPECT_EQ(at(40, 209), light);
  // The picture is on top of the bevel and the button: darker at the top than at
  // the bottom, and not a plain face colour.
  COLORREF top = at(10, 4), bottom = at(10, 200);
  EXPECT_LT(GetBValue(top) + GetGValue(top), GetBValue(bottom) + GetGValue(bottom));
  EXPECT_NE(top, GetSysColor(COLOR_BTNFACE));
  // The picture's pixels on the screen are the bitmap's own.
  EXPECT_EQ(at(2 + 44, 2 + 150), GetPixel(mem, 44, 150));
  EXPECT_EQ(at(2 + 70, 2 + 20), GetPixel(mem, 70, 20));
  SelectObject(mem, old);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
}
