// The main window's action list, menus and tool bar, and the handlers of the view modes
// and of the hidden Include filters action.
#include "manager/mainform.h"
#include "manager/shelllaunch.h"
#include "settings/foconsts.h"
#include "toolkit/strings.h"

namespace {

// Images of ilToolbar (mainicons.cpp draws them in this order).
enum : int {
  imgNew, imgNewMc, imgCopy, imgEdit, imgView, imgRename, imgDelete, imgRun, imgTest, imgRunTest, imgSchedules,
  imgAutoRun, imgExclude, imgStartup, imgShutdown, imgOptions, imgAbout, imgRefresh, imgHelp, imgExit,
  imgNewZip, imgOpenZip, imgOpenFolder, imgExtract, imgSplit, imgJoin, imgDeleteZip, imgMoveUp, imgMoveDown,
  imgZipLog, imgErrors, imgWeb,
};

constexpr tk::TShiftState kCtrl = tk::ssCtrl, kAlt = tk::ssAlt;

bool OldLayoutExists() {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, tk::Widen(OldQuillbankRootKey).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
    return false;
  RegCloseKey(key);
  return true;
}

}  // namespace

void TMainForm::CreateActions() {
  ActionList1.Name = "ActionList1";
  ActionList1.Images = &ilToolbar;
  auto add = [this](tk::TAction*& field, const char* name, const char* category, const char* caption,
                    const char* hint, int image, tk::TShortCut shortCut, void (TMainForm::*handler)()) {
    tk::TAction& a = ActionList1.Add(name, category, caption);
    a.Hint = hint;
    a.ImageIndex = image;
    a.ShortCut = shortCut;
    a.OnExecute = [this, handler] { (this->*handler)(); };
    field = &a;
  };
  using M = TMainForm;
  // Profile
  add(axnNewProfile, "axnNewProfile", "Profile", "New", "New Profile", imgNew, {'N', kCtrl}, &M::axnNewProfileExecute);
  add(axnNewMcProfile, "axnNewMcProfile", "Profile", "New", "New Multi Computer Profile", imgNewMc, {},
      &M::axnNewMcProfileExecute);
  add(axnCopyProfile, "axnCopyProfile", "Profile", "Copy", "Copy Profile", imgCopy, {}, &M::axnCopyProfileExecute);
  add(axnEditProfile, "axnEditProfile", "Profile", "Edit", "Edit Profile", imgEdit, {}, &M::axnEditProfileExecute);
  add(axnViewProfile, "axnViewProfile", "Profile", "View", "View Profile", imgView, {}, &M::axnViewProfileExecute);
  add(axnRenameProfile, "axnRenameProfile", "Profile", "Rename", "Rename Profile", imgRename, {VK_F2, 0},
      &M::axnRenameProfileExecute);
  add(axnMoveProfileUp, "axnMoveProfileUp", "Profile", "Move Up", "Move Up", imgMoveUp, {VK_UP, kCtrl},
      &M::axnMoveProfileUpExecute);
  add(axnMoveProfileDown, "axnMoveProfileDown", "Profile", "Move Down", "Move Down", imgMoveDown, {VK_DOWN, kCtrl},
      &M::axnMoveProfileDownExecute);
  add(axnDeleteProfile, "axnDeleteProfile", "Profile", "Delete", "Delete Profile", imgDelete, {VK_DELETE, 0},
      &M::axnDeleteProfileExecute);
  add(axnRunProfile, "axnRunProfile", "Profile", "Run", "Run Profiles", imgRun, {VK_RETURN, 0},
      &M::axnRunProfileExecute);
  add(axnRunAndTest, "axnRunAndTest", "Profile", "Run && Test", "", imgRunTest, {'B', kCtrl},
      &M::axnRunAndTestExecute);
  add(axnRunAllProfiles, "axnRunAllProfiles", "Profile", "Run All", "", -1, {}, &M::axnRunAllProfilesExecute);
  add(axnExportProfiles, "axnExportProfiles", "Profile", "Ex&port to file...", "", -1, {},
      &M::axnExportProfilesExecute);
  add(axnExit, "axnExit", "Profile", "Exit", "Exit", imgExit, {}, &M::axnExitExecute);
  // Zipfile
  add(axnNewZipfile, "axnNewZipfile", "Zipfile", "New", "New ZIP file", imgNewZip, {'N', kCtrl | kAlt},
      &M::axnNewZipfileExecute);
  add(axnOpenZipfile, "axnOpenZipfile", "Zipfile", "Open", "Open ZIP file", imgOpenZip, {VK_RETURN, kCtrl},
      &M::axnOpenZipfileExecute);
  add(axnOpenFolder, "axnOpenFolder", "Zipfile", "Open Folder", "", imgOpenFolder, {'F', kCtrl},
      &M::axnOpenFolderExecute);
  add(axnExtractZipfile, "axnExtractZipfile", "Zipfile", "Extract", "Extract", imgExtract, {},
      &M::axnExtractZipfileExecute);
  add(axnTestzipfile, "axnTestzipfile", "Zipfile", "Test", "Test ZIP files", imgTest, {'T', kCtrl},
      &M::axnTestzipfileExecute);
  add(axnTestAllZipfiles, "axnTestAllZipfiles", "Zipfile", "Test All", "", -1, {}, &M::axnTestAllZipfilesExecute);
  add(axnSpanzipfile, "axnSpanzipfile", "Zipfile", "Split to volumes", "", imgSplit, {}, &M::axnSpanzipfileExecute);
  add(axnReassemblezipfile, "axnReassemblezipfile", "Zipfile", "Join volumes", "", imgJoin, {},
      &M::axnReassemblezipfileExecute);
  add(axnDeletezipfile, "axnDeletezipfile", "Zipfile", "Delete ZIP", "Delete ZIP file", imgDeleteZip, {},
      &M::axnDeletezipfileExecute);
  // View
  add(axnRefresh, "axnRefresh", "View", "Refresh", "Refresh", imgRefresh, {VK_F5, 0}, &M::axnRefreshExecute);
  add(axnNormalProfileOnly, "axnNormalProfileOnly", "View", "Normal profiles only", "", -1, {},
      &M::axnNormalProfileOnlyExecute);
  add(axnBothProfiles, "axnBothProfiles", "View", "Both profiles", "", -1, {}, &M::axnBothProfilesExecute);
  add(axnMcProfileOnly, "axnMcProfileOnly", "View", "Mc profiles only", "", -1, {}, &M::axnMcProfileOnlyExecute);
  for (tk::TAction* a : {axnNormalProfileOnly, axnBothProfiles, axnMcProfileOnly}) a->GroupIndex = 1;
  axnBothProfiles->Checked = true;
  add(axnZipLog, "axnZipLog", "View", "ZIP Log...", "", imgZipLog, {'L', kCtrl}, &M::axnZipLogExecute);
  add(axnEw, "axnEw", "View", "Errors/Warnings", "", imgErrors, {'E', kCtrl}, &M::axnEwExecute);
  add(axnOptions, "axnOptions", "View", "Options", "Options", imgOptions, {}, &M::axnOptionsExecute);
  // Tools
  add(axnSchedules, "axnSchedules", "Tools", "Schedule", "Schedules", imgSchedules, {'1', kCtrl},
      &M::axnSchedulesExecute);
  add(axnAutoRun, "axnAutoRun", "Tools", "AutoRun profiles", "AutoRun Profiles", imgAutoRun, {'2', kCtrl},
      &M::axnAutoRunExecute);
  add(axnIncludeFilters, "axnIncludeFilters", "Tools", "Include filters", "Include Filters", -1, {},
      &M::axnIncludeFiltersExecute);
  axnIncludeFilters->Visible = false;
  add(axnExcludeFilters, "axnExcludeFilters", "Tools", "Exclude filters", "Exclude Filters", imgExclude, {},
      &M::axnExcludeFiltersExecute);
  add(axnStartupProfiles, "axnStartupProfiles", "Tools", "Startup profiles", "Startup Profiles", imgStartup, {},
      &M::axnStartupProfilesExecute);
  add(axnShutdownProfiles, "axnShutdownProfiles", "Tools", "Shutdown profiles", "Shutdown Profiles", imgShutdown, {},
      &M::axnShutdownProfilesExecute);
  add(axnRunScheduler, "axnRunScheduler", "Tools", "Run Scheduler", "Run Scheduler", -1, {},
      &M::axnRunSchedulerExecute);
  // Help
  add(axnHelpTopics, "axnHelpTopics", "Help", "Help", "Help Topics", imgHelp, {VK_F1, 0}, &M::axnHelpTopicsExecute);
  axnHelpTopics->ShortCutInModalForms = true;  // F1 in a dialog opens the dialog's topic
  add(axnWWW, "axnWWW", "Help", kProductWebAddress, "", imgWeb, {}, &M::axnWWWExecute);
  add(axnAbout, "axnAbout", "Help", "About", "About", imgAbout, {}, &M::axnAboutExecute);
  add(axnMail, "axnMail", "Help", kSupportMailAddress, "", -1, {}, &M::axnMailExecute);
  axnMail->Visible = false;  // the mail item is kept hidden
  add(axnEraseOldProfiles, "axnEraseOldProfiles", "Help", "Erase old profiles (v1.3 or lower)", "", -1, {},
      &M::axnEraseOldProfilesExecute);

  // States kept current by the idle pass.
  axnZipLog->OnUpdate = [this](tk::TAction& a) {
    TQbProfile* p = nullptr;
    int row = -1;
    if (tk::TListView* lv = GetSelectedProfile(false, &row)) p = RowProfile(*lv, row);
    a.Enabled = p && p->nrl > 0;
  };
  axnEraseOldProfiles->OnUpdate = [](tk::TAction& a) { a.Visible = OldLayoutExists(); };
}

void TMainForm::BuildMenus() {
  MainMenu1.Name = "MainMenu1";
  MainMenu1.Images = &ilToolbar;
  tk::TMenuItem& root = MainMenu1.Items();
  auto line = [](tk::TMenuItem& menu) { menu.Add("-"); };
  auto item = [](tk::TMenuItem& menu, tk::TAction* a, const std::string& text = std::string()) -> tk::TMenuItem& {
    tk::TMenuItem& it = menu.Add("");
    it.Name = a->Name.substr(3) + "1";
    a->Link(it, text);
    return it;
  };

  tk::TMenuItem& profile = root.Add("Profile");
  tk::TMenuItem& newItem = profile.Add("New");
  newItem.ImageIndex = axnNewProfile->ImageIndex;
  item(newItem, axnNewProfile, "Profile");
  item(newItem, axnNewMcProfile, "Multi Computer Profile");
  item(profile, axnCopyProfile);
  item(profile, axnEditProfile);
  item(profile, axnViewProfile);
  item(profile, axnRenameProfile);
  tk::TMenuItem& move = profile.Add("Move");
  item(move, axnMoveProfileUp);
  line(move);
  item(move, axnMoveProfileDown);
  line(profile);
  item(profile, axnDeleteProfile);
  line(profile);
  item(profile, axnRunProfile);
  item(profile, axnRunAndTest);
  item(profile, axnRunAllProfiles);
  line(profile);
  item(profile, axnExportProfiles);
  line(profile);
  item(profile, axnExit);

  tk::TMenuItem& zip = root.Add("ZipFile");
  item(zip, axnNewZipfile);
  item(zip, axnOpenZipfile);
  item(zip, axnOpenFolder);
  item(zip, axnExtractZipfile);
  line(zip);
  item(zip, axnTestzipfile);
  item(zip, axnTestAllZipfiles);
  line(zip);
  item(zip, axnSpanzipfile);
  item(zip, axnReassemblezipfile);
  line(zip);
  item(zip, axnDeletezipfile);

  tk::TMenuItem& view = root.Add("View");
  item(view, axnRefresh);
  line(view);
  Normalprofile1 = &item(view, axnNormalProfileOnly);
  Bothprofiles1 = &item(view, axnBothProfiles);
  Mcprofile1 = &item(view, axnMcProfileOnly);
  Normalprofile1->Name = "Normalprofile1";
  Bothprofiles1->Name = "Bothprofiles1";
  Mcprofile1->Name = "Mcprofile1";
  line(view);
  item(view, axnZipLog);
  item(view, axnEw);
  line(view);
  item(view, axnOptions);

  tk::TMenuItem& tools = root.Add("Tools");
  item(tools, axnSchedules, "Schedules");
  item(tools, axnAutoRun);
  item(tools, axnIncludeFilters);
  item(tools, axnExcludeFilters);
  line(tools);
  item(tools, axnStartupProfiles);
  item(tools, axnShutdownProfiles);
  line(tools);
  item(tools, axnRunScheduler);

  tk::TMenuItem& help = root.Add("Help");
  item(help, axnHelpTopics, "Help topics");
  line(help);
  item(help, axnWWW);
  line(help);
  item(help, axnAbout);
  item(help, axnMail);
  line(help);
  item(help, axnEraseOldProfiles);

  pop1.Name = "pop1";
  pop1.Images = &ilToolbar;
  tk::TMenuItem& p1 = pop1.Items();
  for (tk::TAction* a : {axnRunProfile, axnTestzipfile, axnRunAndTest, axnOpenFolder, axnZipLog}) item(p1, a);
  line(p1);
  for (tk::TAction* a : {axnNewProfile, axnCopyProfile, axnEditProfile, axnViewProfile, axnRenameProfile,
                         axnDeleteProfile})
    item(p1, a);
  line(p1);
  item(p1, axnOpenZipfile, "Open ZIP");
  item(p1, axnExtractZipfile, "Extract ZIP");
  item(p1, axnSpanzipfile, "Split ZIP");
  line(p1);
  item(p1, axnDeletezipfile);

  pop2.Name = "pop2";
  pop2.Images = &ilToolbar;
  tk::TMenuItem& p2 = pop2.Items();
  for (tk::TAction* a : {axnRunProfile, axnTestzipfile, axnRunAndTest, axnZipLog}) item(p2, a);
  line(p2);
  for (tk::TAction* a : {axnNewMcProfile, axnCopyProfile, axnEditProfile, axnViewProfile, axnRenameProfile})
    item(p2, a);
  line(p2);
  item(p2, axnDeleteProfile);
  line(p2);
  item(p2, axnDeletezipfile, "Delete ZIPs");

  pop3.Name = "pop3";
  pop3.Images = &ilToolbar;
  tk::TMenuItem& p3 = pop3.Items();
  for (tk::TAction* a : {axnRunProfile, axnTestzipfile, axnRunAndTest, axnOpenFolder}) item(p3, a);
  line(p3);
  item(p3, axnOpenZipfile, "Open ZIP");
  item(p3, axnExtractZipfile, "Extract ZIP");
  item(p3, axnSpanzipfile, "Split ZIP");
  line(p3);
  item(p3, axnDeletezipfile);

  pop4.Name = "pop4";
  pop4.Images = &ilToolbar;
  item(pop4.Items(), axnNewProfile, "Profile");
  item(pop4.Items(), axnNewMcProfile, "Multi Computer Profile");
}

void TMainForm::BuildToolBar() {
  tbarMain.ShowCaptions = false;
  auto button = [this](tk::TToolButton*& field, const char* name, tk::TAction* a, const std::string& caption,
                       tk::TToolButtonStyle style = tk::TToolButtonStyle::tbsButton) {
    tk::TToolButton& b = tbarMain.AddButton(caption.empty() ? a->Caption : caption, a->ImageIndex, style);
    b.Name = name;
    a->Link(b);
    field = &b;
  };
  auto separator = [this] { tbarMain.AddButton("", -1, tk::TToolButtonStyle::tbsSeparator).Tag = 1; };
  button(tbNew, "tbNew", axnNewProfile, "", tk::TToolButtonStyle::tbsDropDown);
  tbNew->DropdownMenu = &pop4;
  button(tbCopy, "tbCopy", axnCopyProfile, "");
  button(tbEdit, "tbEdit", axnEditProfile, "");
  button(tbView, "tbView", axnViewProfile, "");
  button(tbDelete, "tbDelete", axnDeleteProfile, "");
  separator();
  button(tbRun, "tbRun", axnRunProfile, "");
  button(tbTest, "tbTest", axnTestzipfile, "");
  separator();
  button(tbSchedules, "tbSchedules", axnSchedules, "");
  button(tbAutoRun, "tbAutoRun", axnAutoRun, "AutoRun");
  button(tbExcludeFilters, "tbExcludeFilters", axnExcludeFilters, "Exclude");
  button(tbShutdownProfiles, "tbShutdownProfiles", axnShutdownProfiles, "Shutdn");
  button(tbOptions, "tbOptions", axnOptions, "");
  // Hidden: the About box is reached from the Help menu.
  tk::TToolButton& about = tbarMain.AddButton(axnAbout->Caption, axnAbout->ImageIndex);
  about.Name = "tbAbout";
  about.Hint = axnAbout->Hint;
  about.OnClick = [this] { axnAbout->Execute(); };
  about.SetVisible(false);
  tbAbout = &about;
}

// ---------------------------------------------------------------- view modes

void TMainForm::axnNormalProfileOnlyExecute() { SetViewMode(1); }
void TMainForm::axnBothProfilesExecute() { SetViewMode(3); }
void TMainForm::axnMcProfileOnlyExecute() { SetViewMode(2); }

// ---------------------------------------------------------------- hidden

// Hidden in the Tools menu, and does nothing when reached.
void TMainForm::axnIncludeFiltersExecute() {}
