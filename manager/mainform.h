#pragma once
// The manager's main window "Quillbank": the profile lists under the tool bar and the
// header, the menus and the action list through which every command of the manager
// is reached. Its code is split by concern:
//   mainform.cpp      layout, creation, closing, window procedure, columns, view modes
//   mainactions.cpp   the action list, menus, tool bar and the actions' states, the
//                     view modes and the hidden Include filters action, which does nothing
//   profilelists.cpp  the rows of the three lists
//   profileactions.cpp the profile actions, over profileops.cpp, which renames and
//                     deletes profiles in the stored settings without a window
//   maintools.cpp     version check, refresh, exit, scheduler, web and mail, erasing
//                     the old layout, and the openers of the about box and the views
//   mainicons.cpp     the drawn images of the tool bar and of the lists
//   editoractions.cpp the schedule, autorun, start-up/shut-down and filter editors
//                     opened from the Tools menu, and the services those editors call
//   optionsaction.cpp the options dialog and the display settings it changes
#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "controls/flatmenu.h"
#include "settings/fernoini.h"
#include "settings/protocol.h"
#include "settings/qbprofile.h"
#include "toolkit/win_actions.h"
#include "toolkit/win_form.h"
#include "toolkit/win_header.h"
#include "toolkit/win_imagelist.h"
#include "toolkit/win_menu.h"
#include "toolkit/win_splitter.h"
#include "toolkit/win_timer.h"
#include "toolkit/win_toolbar.h"

class TAboutForm;
class TZipLogForm;
class TEwForm;
class TSchedulesForm;
class TAutoRunsForm;
class TStartupProfilesForm;
class TFiltersForm;
class TWizardForm;
class TOptionsForm;
struct TOptionsApplied;
class TSpanForm;
class TReAssembleForm;
class TExtractForm;

// WizardMode bits.
inline constexpr unsigned wmNewProfile = 1, wmNewMcProfile = 2, wmCopy = 4, wmEdit = 8, wmView = 16, wmNewZip = 32;

class TMainForm : public tk::TForm {
 public:
  TMainForm();
  ~TMainForm() override;

  // ---- components
  tk::TControlBar CoolBar1;
  tk::TToolBar tbarMain;
  tk::TToolButton *tbNew = nullptr, *tbCopy = nullptr, *tbEdit = nullptr, *tbView = nullptr, *tbDelete = nullptr,
                  *tbRun = nullptr, *tbTest = nullptr, *tbSchedules = nullptr, *tbAutoRun = nullptr,
                  *tbExcludeFilters = nullptr, *tbShutdownProfiles = nullptr, *tbOptions = nullptr,
                  *tbAbout = nullptr;
  tk::THeaderControl hcProfile;
  tk::TListView lvProfiles;
  tk::TSplitter Splitter2;
  tk::TPanel pnlMcp;
  tk::TListView lvMcProfiles;
  tk::TSplitter Splitter3;
  tk::TListView lvMcProfiles2;
  tk::TImageList ilToolbar{16, 16};
  tk::TImageList ilListview{16, 16};
  tk::TMainMenu MainMenu1{*this};
  tk::TPopupMenu pop1{*this}, pop2{*this}, pop3{*this}, pop4{*this};
  tk::TMenuItem *Normalprofile1 = nullptr, *Bothprofiles1 = nullptr, *Mcprofile1 = nullptr;
  tk::TActionList ActionList1{*this};
  tk::TAction *axnNewProfile, *axnNewMcProfile, *axnCopyProfile, *axnEditProfile, *axnViewProfile,
      *axnRenameProfile, *axnMoveProfileUp, *axnMoveProfileDown, *axnDeleteProfile, *axnRunProfile,
      *axnRunAndTest, *axnRunAllProfiles, *axnExportProfiles, *axnExit;
  tk::TAction *axnNewZipfile, *axnOpenZipfile, *axnOpenFolder, *axnExtractZipfile, *axnTestzipfile,
      *axnTestAllZipfiles, *axnSpanzipfile, *axnReassemblezipfile, *axnDeletezipfile;
  tk::TAction *axnRefresh, *axnNormalProfileOnly, *axnBothProfiles, *axnMcProfileOnly, *axnZipLog, *axnEw,
      *axnOptions;
  tk::TAction *axnSchedules, *axnAutoRun, *axnIncludeFilters, *axnExcludeFilters, *axnStartupProfiles,
      *axnShutdownProfiles, *axnRunScheduler;
  tk::TAction *axnHelpTopics, *axnWWW, *axnAbout, *axnMail, *axnEraseOldProfiles;
  tk::TTimer Timer1{1000, false};
  // Last: it takes over the menus and bars that exist when it is made.
  std::unique_ptr<g32::TXPMenu> XPMenu1;

  // ---- window state
  std::unique_ptr<TFernoIni> Ini;
  std::string LastProfile, LastMcProfile;
  std::string CurrentProfileName;  // the row GetSelectedProfile found last
  bool ProfilesChanged = false, OrderChanged = false, WindowCreated = false;
  unsigned WizardMode = 0;
  // The automatic export at closing (given the folder); the export fills it in.
  std::function<void(const std::string& folder)> AutoExport;

  // ---- list options and state
  std::string DateFormat, TimeSuffix, ZipSizeUnit;
  int ZipSizePrecision = 2;
  bool UseSavedSize = false, TwoColorRows = false;
  tk::TColor RowColor1 = tk::clWindow, RowColor2 = tk::clWindow;
  std::string ShownMcProfile;
  bool ForceComputerFill = false, SuppressComputerFill = false;
  // Lines for the keys whose pn is not their name, shown once the window is up.
  std::string NameWarnings;

  // ---- services of the dialogs
  void ApplyXPMenu(bool on);
  void PadToolButtonCaptions(tk::TToolBar& bar);
  static std::string CenterPad(const std::string& text, int width);
  // After OK of the options dialog: its display settings on the lists and bars now.
  void ApplyDisplayOptions(const TOptionsApplied& applied);

  // ---- profile lists (profilelists.cpp)
  void FillProfileLists();
  void AddProfileRow(std::unique_ptr<TQbProfile> profile);
  void UpdateProfileRow(int row, bool withSize);
  void FillComputerRows(TQbProfile& profile);
  void SelectProfileByName(tk::TListView& listView, const std::string& name);
  void RefreshProfileRows(bool onlyListed);
  void ReformatDates();
  void RefreshZipSizes(bool mcOnly);
  // Sets the background of the row about to be drawn.
  void PaintAlternateRow(tk::TListView& listView, NMLVCUSTOMDRAW& draw) const;
  std::string DateText(double time) const;
  // The profile a row of lvProfiles, lvMcProfiles or lvMcProfiles2 refers to.
  TQbProfile* RowProfile(const tk::TListView& listView, int row) const;
  // Frees the profile a deleted row owned.
  void ReleaseProfile(TQbProfile* profile);

  // ---- selection helpers
  // The focused list among lvProfiles and lvMcProfiles when exactly one of its rows
  // is selected (its row index in *row), else nullptr ("Select a profile" when asked).
  tk::TListView* GetSelectedProfile(bool report, int* row = nullptr);
  // The same among lvProfiles and lvMcProfiles2 ("Select an item for ZIP file"): the
  // row whose zip (its "ZIP file" column) the zip actions work on.
  tk::TListView* GetChosenZipRow(bool report, int* row = nullptr);
  bool CheckHaveProfiles();

  // ---- services of the editors (editoractions.cpp)
  // Puts this window's profile lists behind the editors' services.
  void InstallEditorServices();
  // The captions of lvProfiles, then of lvMcProfiles, each in list order.
  std::vector<std::string> ListedProfileNames() const;
  // ---- profile actions (profileactions.cpp)
  // The wizard, made on first use and kept.
  TWizardForm& Wizard();
  void MoveProfile(int delta);
  // Starts the runner with letter for the selection (or every profile with all).
  void RunSelectedProfiles(char letter, bool all);
  // Every profile name in list order, quoted only when it holds a blank.
  std::string QuotedProfileList();

  // ---- columns and view
  void SyncColumns();
  void FitLastColumn();
  // Keeps the lower panel within the window so that both lists keep their minimum
  // height (at start, after a view change and on every resize).
  void ClampPanelHeight();
  // 1 ordinary profiles only, 2 multi-computer profiles only, 3 both.
  void SetViewMode(int mode);
  int ViewMode() const;

  // ---- action handlers
  void axnNewProfileExecute();
  void axnNewMcProfileExecute();
  void axnCopyProfileExecute();
  void axnEditProfileExecute();
  void axnViewProfileExecute();
  void axnRenameProfileExecute();
  void axnMoveProfileUpExecute();
  void axnMoveProfileDownExecute();
  void axnDeleteProfileExecute();
  void axnRunProfileExecute();
  void axnRunAndTestExecute();
  void axnRunAllProfilesExecute();
  void axnExportProfilesExecute();
  void axnExitExecute();
  void axnNewZipfileExecute();
  void axnOpenZipfileExecute();
  void axnOpenFolderExecute();
  void axnExtractZipfileExecute();
  void axnTestzipfileExecute();
  void axnTestAllZipfilesExecute();
  void axnSpanzipfileExecute();
  void axnReassemblezipfileExecute();
  void axnDeletezipfileExecute();
  void axnRefreshExecute();
  void axnNormalProfileOnlyExecute();
  void axnBothProfilesExecute();
  void axnMcProfileOnlyExecute();
  void axnZipLogExecute();
  void axnEwExecute();
  void axnOptionsExecute();
  void axnSchedulesExecute();
  void axnAutoRunExecute();
  void axnIncludeFiltersExecute();
  void axnExcludeFiltersExecute();
  void axnStartupProfilesExecute();
  void axnShutdownProfilesExecute();
  void axnRunSchedulerExecute();
  void axnHelpTopicsExecute();
  void axnWWWExecute();
  void axnAboutExecute();
  void axnMailExecute();
  void axnEraseOldProfilesExecute();

  // ---- events
  void FormCreate();
  void FormClose(tk::TCloseAction& action);
  void FormDestroy();
  void FormResize();
  void Timer1Timer();
  void hcProfileSectionResize(int index);
  void Splitter2CanResize(int& newSize, bool& accept);
  void lvProfilesChange(const tk::TListChange& change);
  void lvMcProfilesChange(const tk::TListChange& change);
  bool ListCustomDraw(tk::TListView& listView, NMLVCUSTOMDRAW& draw, LRESULT* result);

  // The lines of the version check for the files of folder ("" when all pass).
  static std::string FileVersionMismatches(const std::string& folder);

 protected:
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  void DeclareControls();
  void CreateActions();   // mainactions.cpp
  void BuildMenus();      // mainactions.cpp
  void BuildToolBar();    // mainactions.cpp
  void DrawImages();      // mainicons.cpp
  void WriteProfileNames();
  std::string ComputerDateText(const TQbProfile& p, const char* sub, const std::string& computer) const;
  void SetComputerRowTexts(int row, const TQbProfile& p, const std::string& computer, bool withSize);
  std::vector<std::unique_ptr<TQbProfile>> profiles_;  // owned by the rows of the two profile lists
  std::unique_ptr<TAboutForm> aboutForm_;
  std::unique_ptr<TZipLogForm> zipLogForm_;
  std::unique_ptr<TEwForm> ewForm_;
  // The editors of the Tools menu, made on first use and kept (editoractions.cpp).
  void ShowStartupProfiles(int mode);
  std::unique_ptr<TSchedulesForm> schedulesForm_;
  std::unique_ptr<TAutoRunsForm> autoRunsForm_;
  std::unique_ptr<TStartupProfilesForm> startupProfilesForm_;
  std::unique_ptr<TFiltersForm> filtersForm_;
  std::unique_ptr<TWizardForm> wizardForm_;
  // Shows the prepared wizard and lists the profile it stored.
  void SaveNewProfile();
  std::unique_ptr<TOptionsForm> optionsForm_;  // made on first use (optionsaction.cpp)
  // Made on first use and kept (zipactions.cpp).
  std::unique_ptr<TSpanForm> spanForm_;
  std::unique_ptr<TReAssembleForm> joinForm_;
  std::unique_ptr<TExtractForm> extractForm_;
};
