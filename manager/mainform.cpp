#include "manager/mainform.h"

#include <dbt.h>

#include <algorithm>

#include "manager/about.h"
#include "manager/autoruns.h"
#include "manager/ew.h"
#include "manager/filters.h"
#include "manager/mainservices.h"
#include "manager/schedules.h"
#include "manager/startupprofiles.h"
#include "manager/wizard.h"
#include "manager/options.h"
#include "manager/extract.h"
#include "manager/reassemble.h"
#include "manager/regexport.h"
#include "manager/span.h"
#include "manager/ziplog.h"
#include "settings/fernoglobal.h"
#include "settings/foconsts.h"
#include "settings/vglobal.h"
#include "toolkit/strings.h"

namespace {

const char* const kColumnTitles[8] = {"Profile name", "Last run",      "Run ok?",     "ZIP file",
                                      "Source",       "ZIP file size", "Last tested", "Test ok?"};
constexpr int kIconColumnWidth = 24;
// Smallest panel height a drag of the splitter leaves, and the room kept above it.
constexpr int kMinPanelHeight = 55, kPanelRoomAbove = 54;

}  // namespace

TMainForm::TMainForm() : TForm(QbMainWindowClass) {
  SetCaption(QbMainCaption);
  DeclareControls();
  DrawImages();
  CreateActions();
  BuildMenus();
  BuildToolBar();
  // The flat look is switched on last, over every menu that exists now.
  XPMenu1 = std::make_unique<g32::TXPMenu>(this);
  XPMenu1->DimLevel = 15;
  XPMenu1->GrayLevel = 10;
  tk::TFontSpec font = XPMenu1->Font();
  font.Name = "Tahoma";
  font.Height = -11;
  font.Color = tk::SystemColor(COLOR_MENUTEXT);
  XPMenu1->SetFont(font);
  XPMenu1->Gradient = true;
  XPMenu1->FlatMenu = false;
  XPMenu1->AutoDetect = false;
  XPMenu1->SetUseSystemColors(true);
  XPMenu1->SetActive(true);

  Timer1.OnTimer = [this] { Timer1Timer(); };
  OnCreate = [this] { FormCreate(); };
  OnClose = [this](tk::TCloseAction& action) { FormClose(action); };
  OnDestroy = [this] { FormDestroy(); };
  OnResize = [this] { FormResize(); };
  AutoExport = [this](const std::string&) { ExportProfilesAtClose(Ini->GetProfileCount(), ProfilesChanged); };
}

TMainForm::~TMainForm() {
  UseStoredProfiles();
}

void TMainForm::DeclareControls() {
  SetClientSize(640, 400);
  const unsigned listStyle = tk::lvRowSelect | tk::lvGridLines | tk::lvMultiSelect | tk::lvNoHeader |
                             tk::lvNoColumnClick | tk::lvShowSelAlways;
  Declare({
      {.Control = CoolBar1, .Name = "CoolBar1", .Caption = "", .Bounds = {0, 0, 640, 26}},
      {.Control = tbarMain, .Name = "tbarMain", .Caption = "", .Bounds = {13, 2, 600, 22}, .Parent = &CoolBar1},
      {.Control = hcProfile, .Name = "hcProfile", .Caption = "", .Bounds = {0, 26, 640, 17}},
      {.Control = pnlMcp, .Name = "pnlMcp", .Caption = "", .Bounds = {0, 280, 640, 120}},
      {.Control = Splitter2, .Name = "Splitter2", .Caption = "", .Bounds = {0, 277, 640, 3}},
      {.Control = lvProfiles, .Name = "lvProfiles", .Caption = "", .Bounds = {0, 43, 640, 234}, .Style = listStyle},
      {.Control = lvMcProfiles, .Name = "lvMcProfiles", .Caption = "", .Bounds = {0, 0, 113, 120},
       .Style = listStyle, .Parent = &pnlMcp},
      {.Control = Splitter3, .Name = "Splitter3", .Caption = "", .Bounds = {113, 0, 3, 120}, .Parent = &pnlMcp},
      {.Control = lvMcProfiles2, .Name = "lvMcProfiles2", .Caption = "", .Bounds = {116, 0, 524, 120},
       .Style = listStyle, .Parent = &pnlMcp},
  });
  CoolBar1.SetAlign(tk::TAlign::alTop);
  hcProfile.SetAlign(tk::TAlign::alTop);
  pnlMcp.SetAlign(tk::TAlign::alBottom);
  pnlMcp.SetBevels(tk::TBevelCut::bvNone, tk::TBevelCut::bvNone);
  Splitter2.SetAlign(tk::TAlign::alBottom);
  lvProfiles.SetAlign(tk::TAlign::alClient);
  lvMcProfiles.SetAlign(tk::TAlign::alLeft);
  Splitter3.SetAlign(tk::TAlign::alLeft);
  lvMcProfiles2.SetAlign(tk::TAlign::alClient);
  tbarMain.Images = &ilToolbar;
  tbarMain.SetFlat(true);

  hcProfile.Flat = true;
  hcProfile.DragReorder = false;
  for (int i = 0; i < 8; ++i) {
    const auto align = i == 5 ? tk::TAlignment::taRightJustify : tk::TAlignment::taLeftJustify;
    hcProfile.AddSection(kColumnTitles[i], 100, align);
    lvProfiles.AddColumn(kColumnTitles[i], 100, align);
    lvMcProfiles2.AddColumn(i == 0 ? "" : kColumnTitles[i], i == 0 ? kIconColumnWidth : 100, align);
  }
  lvMcProfiles.AddColumn("Mc profile", 100);
  for (tk::TListView* lv : {&lvProfiles, &lvMcProfiles, &lvMcProfiles2}) {
    lv->SetSmallImages(ilListview.Handle());
    lv->OnDblClick = [this] { axnRunProfile->Execute(); };
    lv->OnCustomDraw = [this, lv](NMLVCUSTOMDRAW& draw, LRESULT* result) { return ListCustomDraw(*lv, draw, result); };
  }
  lvProfiles.OnContextPopup = [this](int x, int y) { pop1.Popup(x, y); };
  lvMcProfiles.OnContextPopup = [this](int x, int y) { pop2.Popup(x, y); };
  lvMcProfiles2.OnContextPopup = [this](int x, int y) { pop3.Popup(x, y); };
  lvProfiles.OnChange = [this](const tk::TListChange& c) { lvProfilesChange(c); };
  lvMcProfiles.OnChange = [this](const tk::TListChange& c) { lvMcProfilesChange(c); };

  hcProfile.OnSectionResize = [this](int index) { hcProfileSectionResize(index); };
  Splitter2.OnCanResize = [this](int& newSize, bool& accept) { Splitter2CanResize(newSize, accept); };
  Splitter3.OnMoved = [this] { SyncColumns(); };
}

// ---------------------------------------------------------------- creation

void TMainForm::FormCreate() {
  InstallEditorServices();
  Ini = std::make_unique<TFernoIni>();
  tk::Application.SetTitle("Quillbank 2.0");
  EnsureLogsDir();
  EnsureErrorsDir();
  SetCaption(QbMainCaption);
  WizardMode = 0;
  ProfilesChanged = false;
  MainMenu1.Attach();

  TwoColorRows = Ini->GetUse2ColorView();
  DateFormat = Ini->GetDateFormat();
  TimeSuffix = !Ini->GetIncludeTime() ? "" : Ini->Get24HourTime() ? "  hh:nn:ss" : "  hh:nn:ss AM/PM";
  RowColor1 = static_cast<tk::TColor>(Ini->GetAlternateColor());
  RowColor2 = static_cast<tk::TColor>(Ini->GetAlternateColor2());
  ZipSizeUnit = Ini->GetZipFileSizeUnit();
  ZipSizePrecision = Ini->GetZipFileSizePrecision();
  UseSavedSize = Ini->GetUseSavedSize();
  SetTimeFormat(*Ini);
  LastProfile = Ini->GetLastProfile();
  LastMcProfile = Ini->GetLastMcProfile();

  if (Ini->GetShowButtonText()) {
    tbAbout->SetVisible(false);
    tk::TFontSpec small = tbarMain.Font();
    small.Height = tk::TFontSpec::HeightForPoints(7);
    tbarMain.SetFont(small);
    tbarMain.SetHeight(34);
    tbarMain.SetShowCaptions(true, 44, 34);
    CoolBar1.SetHeight(tbarMain.Height() + 4);
    PadToolButtonCaptions(tbarMain);
    Realign();
  }

  if (Ini->GetSchedulerOnStartup()) AddSchedulerToStartup();

  Splitter3.SetWidth(0);
  ApplyXPMenu(Ini->GetXPMenu());

  Ini->SetToRefresh("");
  Ini->SetbRunningShutdownProfiles(false);

  FillProfileLists();

  SetBounds(Ini->GetFormLeft(), Ini->GetFormTop(), Ini->GetFormWidth(), Ini->GetFormHeight());
  for (int i = 0; i < hcProfile.SectionCount() - 1; ++i) hcProfile.SetSectionWidth(i, Ini->GetColWidth(i));

  pnlMcp.SetHeight(Ini->GetMcProfileViewHeight());
  Realign();
  SyncColumns();

  switch (Ini->GetProfileVisibility()) {
    case 1:
      SetActiveControl(&lvProfiles);
      SetViewMode(1);
      break;
    case 2:
      SetActiveControl(&lvMcProfiles);
      SetViewMode(2);
      break;
    default:
      SetViewMode(3);
      SetActiveControl(Ini->GetMcpViewActive() ? static_cast<tk::TControl*>(&lvMcProfiles) : &lvProfiles);
      break;
  }

  SelectProfileByName(lvProfiles, LastProfile);
  SelectProfileByName(lvMcProfiles, LastMcProfile);

  Timer1.SetEnabled(true);
  WindowCreated = true;
}

void TMainForm::ApplyXPMenu(bool on) {
  if (!XPMenu1) return;
  const g32::TXPContainers containers = g32::xccToolbar | g32::xccCoolbar;
  if (on) {
    XPMenu1->SetXPContainers(XPMenu1->XPContainers() | containers);
    XPMenu1->SetXPControls(XPMenu1->XPControls() | g32::xcToolbar);
  } else {
    XPMenu1->SetXPContainers(XPMenu1->XPContainers() & ~containers);
    XPMenu1->SetXPControls(XPMenu1->XPControls() & ~g32::xcToolbar);
  }
}

std::string TMainForm::CenterPad(const std::string& text, int width) {
  std::string s = text;
  bool front = true;
  for (int n = width - static_cast<int>(text.size()); n > 0; --n, front = !front) s = front ? " " + s : s + " ";
  return s;
}

void TMainForm::PadToolButtonCaptions(tk::TToolBar& bar) {
  if (!Ini || !Ini->GetFixToolbarProblem()) return;
  for (int i = 0; i < bar.ButtonCount(); ++i) {
    tk::TToolButton& b = bar.Button(i);
    if (b.Style == tk::TToolButtonStyle::tbsSeparator || b.Style == tk::TToolButtonStyle::tbsDivider) continue;
    b.SetCaption(CenterPad(b.Caption(), 7));
  }
}

// ---------------------------------------------------------------- closing

void TMainForm::WriteProfileNames() {
  // The new entries go in first and only then the surplus ones go, so that a crash in
  // between leaves every profile listed.
  const std::vector<std::string> names = ListedProfileNames();
  for (size_t i = 0; i < names.size(); ++i) Ini->SetProfileName(static_cast<int>(i), names[i]);
  Ini->SetProfileCount(static_cast<int>(names.size()));
  for (const std::string& value : Ini->ReadSection(ProfileNamesSection)) {
    if (tk::SameText(value, "ProfileCount")) continue;
    bool keep = false;
    for (size_t i = 0; i < names.size() && !keep; ++i) keep = tk::SameText(value, "P" + std::to_string(i));
    if (!keep) Ini->DeleteValue(ProfileNamesSection, value);
  }
}

void TMainForm::FormClose(tk::TCloseAction&) {
  if (OrderChanged) WriteProfileNames();
  // A minimised window keeps the place it comes back to; one that comes back
  // maximised, like a maximised one, keeps the last normal session's place.
  bool restoresMaximized = false;
  const tk::TBounds place = NormalBounds(&restoresMaximized);
  if (WindowState() != tk::TWindowState::wsMaximized && !restoresMaximized) {
    Ini->SetFormLeft(place.Left);
    Ini->SetFormTop(place.Top);
    Ini->SetFormWidth(place.Width);
    Ini->SetFormHeight(place.Height);
  }
  for (int i = 0; i < hcProfile.SectionCount() - 1; ++i) Ini->SetColWidth(i, hcProfile.SectionWidth(i));
  Ini->SetLastProfile(LastProfile);
  Ini->SetLastMcProfile(LastMcProfile);
  const int mode = ViewMode();
  Ini->SetProfileVisibility(mode);
  if (mode == 3) Ini->SetMcProfileViewHeight(pnlMcp.Height());
  Ini->SetMcpViewActive(ActiveControl() == &lvMcProfiles || ActiveControl() == &lvMcProfiles2);
  if (Ini->GetBackupToReg() && Ini->GetProfileCount() >= 1 && ProfilesChanged && AutoExport)
    AutoExport(Ini->GetRegBackupToMyDocuments() ? GetMyDocumentsDir() : Ini->GetRegBackupDir());
}

void TMainForm::FormDestroy() {
  for (tk::TListView* lv : {&lvProfiles, &lvMcProfiles, &lvMcProfiles2}) lv->Clear();
  profiles_.clear();
  Ini.reset();
}

// ---------------------------------------------------------------- window procedure

LRESULT TMainForm::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  LRESULT result = TForm::WndProc(msg, wp, lp);
  if (msg == WM_QB_REFRESH) {
    if (wp == QbRefreshWParam && lp == QbRefreshLParam && Ini && Ini->GetAutoRefresh()) RefreshProfileRows(true);
  } else if (msg == WM_DEVICECHANGE) {
    if (Ini) RefreshZipSizes(false);
  }
  return result;
}

// ---------------------------------------------------------------- columns

void TMainForm::SyncColumns() {
  const int last = hcProfile.SectionCount() - 1;
  for (int i = 0; i < last; ++i) lvProfiles.SetColumnWidth(i, hcProfile.SectionWidth(i));
  lvProfiles.SetColumnWidth(0, hcProfile.SectionWidth(0) - 3);
  lvMcProfiles.SetWidth(lvProfiles.ColumnWidth(0) - lvMcProfiles2.ColumnWidth(0));
  for (int i = 1; i < last; ++i) lvMcProfiles2.SetColumnWidth(i, lvProfiles.ColumnWidth(i));
  pnlMcp.Realign();
  lvMcProfiles.SetColumnWidth(0, lvMcProfiles.Width() - 4);
  FitLastColumn();
}

void TMainForm::FitLastColumn() {
  const int last = hcProfile.SectionCount() - 1;
  // Room for the vertical scroll bar is kept, so that a list long enough to need it
  // shows no horizontal one as well.
  int width = lvProfiles.Width() - tk::ScaleFromDpi(GetSystemMetrics(SM_CXVSCROLL), tk::ScreenPixelsPerInch()) - 4;
  for (int i = 0; i < last; ++i) width -= lvProfiles.ColumnWidth(i);
  lvProfiles.SetColumnWidth(last, width);
  hcProfile.SetSectionWidth(last, width);
  lvMcProfiles2.SetColumnWidth(last, width);
}

void TMainForm::hcProfileSectionResize(int) { SyncColumns(); }

void TMainForm::FormResize() {
  if (!WindowCreated) return;
  if (ViewMode() == 3) ClampPanelHeight();
  FitLastColumn();
}

void TMainForm::ClampPanelHeight() {
  // The room below the header that the upper list, the splitter and the panel share;
  // a drag leaves the panel at least kMinPanelHeight and the list above it more than
  // kPanelRoomAbove, and so does a window made smaller than the panel.
  if (IsIconic(Handle())) return;
  const int room = ClientHeight() - CoolBar1.Height() - hcProfile.Height() - Splitter2.Height();
  const int most = room - kPanelRoomAbove - 1, least = std::clamp(room / 2, 0, kMinPanelHeight);
  const int height = std::max(std::min(pnlMcp.Height(), most), least);
  if (height == pnlMcp.Height()) return;
  pnlMcp.SetHeight(height);
  Realign();
}

// ---------------------------------------------------------------- view modes

void TMainForm::SetViewMode(int mode) {
  switch (mode) {
    case 1:
      pnlMcp.SetHeight(0);
      lvProfiles.SetColor(tk::clWindow);
      Splitter2.SetHeight(1);
      Splitter2.SetHeight(0);
      break;
    case 2:
      // Twice: the second pass sees the splitter at its final height of 0.
      for (int pass = 0; pass < 2; ++pass) {
        pnlMcp.SetHeight(ClientHeight() - CoolBar1.Height() - hcProfile.Height() - Splitter2.Height() - 1);
        Splitter2.SetHeight(0);
      }
      lvProfiles.SetColor(tk::clBtnFace);
      break;
    default:
      pnlMcp.SetHeight(Ini ? Ini->GetMcProfileViewHeight() : 120);
      lvProfiles.SetColor(tk::clWindow);
      Splitter2.SetHeight(3);
      break;
  }
  Realign();
  if (mode != 1 && mode != 2) ClampPanelHeight();
  axnNormalProfileOnly->SetChecked(mode == 1);
  axnMcProfileOnly->SetChecked(mode == 2);
  axnBothProfiles->SetChecked(mode != 1 && mode != 2);
  if (WindowCreated) FitLastColumn();
}

int TMainForm::ViewMode() const {
  if (axnNormalProfileOnly->Checked) return 1;
  if (axnMcProfileOnly->Checked) return 2;
  return 3;
}

void TMainForm::Splitter2CanResize(int& newSize, bool& accept) {
  if (newSize < kMinPanelHeight ||
      newSize >= lvProfiles.Height() + Splitter2.Height() + pnlMcp.Height() - kPanelRoomAbove)
    accept = false;
}

// ---------------------------------------------------------------- selection helpers

tk::TListView* TMainForm::GetSelectedProfile(bool report, int* row) {
  tk::TListView* lv = ActiveControl() == &lvProfiles     ? &lvProfiles
                      : ActiveControl() == &lvMcProfiles ? &lvMcProfiles
                                                         : nullptr;
  if (lv && lv->SelCount() == 1) {
    const int index = lv->ItemIndex();
    CurrentProfileName = lv->ItemCaption(index);
    if (row) *row = index;
    return lv;
  }
  if (report) MsgDlg("Select a profile", "ii");
  return nullptr;
}

bool TMainForm::CheckHaveProfiles() {
  if (lvProfiles.Count() + lvMcProfiles.Count() > 0) return true;
  MsgDlg("No profiles created", "ii");
  return false;
}
