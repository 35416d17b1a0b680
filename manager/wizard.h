#pragma once
// The profile wizard: nine pages, switched only with Back and Next, through which
// the manager creates, copies, edits and views a backup profile (and describes the
// one-off zip of a new zip file). The main window keeps one instance; for each use
// it calls Open (or sets WizardMode and calls ResetWizardControls / ProfileToForm
// itself), sets the caption and shows the form modally. Opened with Open for a new,
// copied or edited profile, the wizard stores the record under Profiles\<name> on
// Finish and ends with mrOk only when that save succeeded; StoredProfile() then
// holds what was written.
//
// The files: wizard.cpp (pages, navigation, control rules), wizard_record.cpp
// (defaults, loading and storing the record), wizard_checks.cpp (page checks and
// input rules), wizard_lists.cpp (include and exclude lists, exclude filters).
#include <windows.h>

#include <array>
#include <functional>
#include <memory>
#include <string>

#include "controls/memodialog.h"
#include "controls/qblogo.h"
#include "controls/realpassdialog.h"
#include "controls/savecombobox.h"
#include "manager/dateformat.h"
#include "manager/fspec.h"
#include "manager/help.h"
#include "settings/qbprofile.h"
#include "toolkit/win_datetimepicker.h"
#include "toolkit/win_form.h"
#include "toolkit/win_groupbox.h"
#include "toolkit/win_pagecontrol.h"
#include "toolkit/win_trackbar.h"
#include "toolkit/win_updown.h"

// Why the wizard is open: the bits of WizardMode.
constexpr unsigned wzNew = 1, wzNewMc = 2, wzCopy = 4, wzEdit = 8, wzView = 16, wzNewZip = 32;

class TWizardForm : public tk::TForm, public THelpTopicSource {
 public:
  TWizardForm();
  ~TWizardForm() override;

  // --- what the main window uses ---
  unsigned WizardMode = 0;
  bool IsViewMode() const { return (WizardMode & wzView) != 0; }
  bool IsEditMode() const { return (WizardMode & wzEdit) != 0; }
  bool IsNewZipMode() const { return (WizardMode & wzNewZip) != 0; }

  // Prepares one use: mode wzNew or wzNewMc resets the controls (and ticks the
  // multi-computer box); wzCopy, wzEdit and wzView fill them from the stored profile
  // profileName. Sets the caption. False (with a message) when that profile does
  // not exist. New, copied and edited profiles are stored on Finish.
  bool Open(unsigned mode, const std::string& profileName = std::string());
  // The record as stored by the last successful Finish.
  const TQbProfile& StoredProfile() const { return *stored_; }

  void ResetWizardControls();
  void ProfileToForm(const TQbProfile& qbp);
  // False (after the message "qbp is nil") when there is no profile.
  bool FormToProfile(TQbProfile* qbp);
  // Whether Back and Next pass through the page (the store-suffix and folder pages
  // drop out for store-and-zip and multi-computer profiles).
  bool PageInUse(const tk::TTabSheet& page) const;
  void SetPageInUse(tk::TTabSheet& page, bool inUse);
  // The help page of the current page ("wiz_page" and a number).
  std::string HelpTopic() const override;

  // The main window's help action, run by the Help button.
  std::function<void()> OnHelp;
  // The main window's tool bar images and the image of each mode bit (1, 2, 4, 8,
  // 16, 32 in that order) for the mode picture; none drawn without images.
  HIMAGELIST ModeImages = nullptr;
  std::array<int, 6> ModeImageIndexes{{-1, -1, -1, -1, -1, -1}};
  // The folder browser (a test puts its own in place). False when cancelled.
  std::function<bool(const std::string& caption, const std::string& root, std::string& folder)> BrowseFolder;

  // --- the controls ---
  g32::TQbLogoFrame QbLogoFrame1;
  tk::TPaintBox pboxProfile;
  tk::TPanel pnlWiz;
  tk::TLabel lblWizPageTitle;
  tk::TPageControl pcMain;
  tk::TTabSheet tsZipFile, tsHowTo, tsFolderInfo, tsItemList, tsExcludeFollowing, tsStoreSuffix, tsArchiveAttr,
      tsCompFactor, tsLast;
  tk::TButton btnHelp, btnBack, btnNext, btnCancel;
  // Page 0
  tk::TLabel lblZipFileDir, lblZipFN, lblDateFormat, lblZipsToKeep;
  g32::TSaveComboBox scbZipFileDir;
  tk::TButton btnZipfileDir, btnDateFormat;
  tk::TEdit edZipFN, edDateFormat, edZipsToKeep;
  tk::TCheckBox chkStoreAndZip, chkAddCurDate, chkDeletePrevZips, chkMcProfile;
  tk::TUpDown udZipsToKeep;
  tk::TImage imgSAZ;
  // Page 1
  tk::TRadioGroup rgUpdateMode;
  tk::TImage imgAdd, imgUpdate, imgFreshen;
  tk::TCheckBox chkCheckVolumeLabel;
  tk::TLabel lblMediaLabel;
  tk::TEdit edMediaLabel;
  tk::TButton btnMediaLabel;
  // Page 2
  tk::TCheckBox chkAddDirNames;
  tk::TRadioButton rbFullPath, rbRelativePath;
  tk::TLabel lblBaseDir;
  tk::TEdit edBaseDir;
  tk::TButton btnBaseDir;
  // Page 3
  tk::TButton tbAdd, tbEdit, tbDelete;
  tk::TListView lvItemList;
  tk::TCheckBox chkRecurse;
  tk::TLabel lblCNS;
  tk::TMemo mmoCNS;
  // Page 4
  tk::TButton tbAddEx, tbEditEx, tbDeleteEx;
  tk::TListView lvExcludeFollowing, lvExcludeFilters;
  // Page 5
  tk::TCheckBox chkDontCompressArchives, chkDontCompressImages;
  tk::TLabel lblStoreSuffixes;
  tk::TMemo mmoStoreSuffixes;
  // Page 6
  tk::TCheckBox chkJustArchived, chkResetArchived, chkIncludeSysHidden;
  tk::TImage imgJustArchived, imgResetArchived, imgAfterDate;
  tk::TLabel lblIncludeFiles, lblWeek, lblDays;
  tk::TComboBox cbAfterDate;
  tk::TEdit edAfterDate;
  tk::TUpDown udAfterDate;
  tk::TDateTimePicker dtpAfterDate;
  tk::TRadioGroup rgLockedFiles;
  // Page 7
  tk::TLabel lblCompFactor, lblCompression;
  tk::TTrackBar tbCompFactor;
  tk::TCheckBox chkUseDeflate64, chkLargeZipFile, chkUseDefaultCmt;
  tk::TRadioButton rbGrowExisting, rbTargetAsTempDir, rbLocalTempDir;
  tk::TButton btnEncryptCode, btnComment;
  tk::TImage imgPwdExists, imgCmtExists;
  // Page 8
  tk::TLabel lblProfileName, lblNoOfRunLogs;
  tk::TEdit edProfileName, edNoOfRunLogs;
  tk::TCheckBox chkMangleLongNames, chkOldAsLatest, chkDeleteZipBeforeRunning, chkDeleteOriginal, chkLogZipResults;
  tk::TImage imgDeleteOriginal, imgWarnDeleteOriginal;
  tk::TUpDown udNoOfRunLogs;

  g32::TRealPassDialog RealPassDialog1;
  g32::TMemoDialog mmodlgComment;
  // The entry and date format dialogs, made on first use and kept.
  TFSpecForm& FSpecForm();
  TDateFormatForm& DateFormatForm();

  // --- handlers ---
  void FormCreate();
  void FormShow();
  void PageChanged();
  void btnBackClick();
  void btnNextClick();
  void btnCancelClick();
  void pboxProfilePaint(tk::TCanvas& canvas);
  void chkStoreAndZipClick();
  void chkAddCurDateClick();
  void btnDateFormatClick();
  void chkDeletePrevZipsClick();
  void chkMcProfileClick();
  void btnZipfileDirClick();
  void scbZipFileDirSave(g32::TSaveComboBox& sender, bool& doSave);
  void edZipFNKeyPress(wchar_t& key);
  void edZipFNExit();
  void rgUpdateModeClick();
  void chkCheckVolumeLabelClick();
  void btnMediaLabelClick();
  void FolderInfoClick();
  void btnBaseDirClick();
  void mmoCNSExit();
  void mmoStoreSuffixesKeyPress(wchar_t& key);
  void mmoStoreSuffixesExit();
  void chkJustArchivedClick();
  void chkResetArchivedClick();
  void cbAfterDateChange();
  void tbCompFactorChange();
  void btnEncryptCodeClick();
  void btnCommentClick();
  void chkUseDefaultCmtClick();
  void chkLogZipResultsClick();
  void chkDeleteOriginalClick();
  void edProfileNameKeyPress(wchar_t& key);
  void edProfileNameExit();

  // --- rules shared by the handlers ---
  void UpdateDeleteZipBeforeRunning();
  void UpdateDeleteOriginal();
  void UpdateCommentIndicator();
  void ResetFolderInfo();
  // The page rearrangement when page 0 is left.
  void RearrangePages();
  // The checks of the page being left; false after a failure was shown.
  bool CheckPage(tk::TTabSheet* page);
  // True on failure (after its message), as Finish expects it.
  bool ValidateProfileName();

  // --- include and exclude lists ---
  void PrepareSpecDialog(int index, bool include);
  void StoreSpecFromDialog(int index, bool include);
  static bool MakeRelativePath(const std::string& path, const std::string& base, std::string& relative);
  void LoadExcludeFilters(const std::string& tickedNames);
  std::string CheckedExcludeFilters() const;
  void UpdateSpecButtons();
  void UpdateExcludeFiltersHeader();
  void SpecAddClick(bool include);
  void SpecEditClick(bool include);
  void SpecDeleteClick(bool include);

 private:
  // Sets a text field's colour from whether it takes input.
  static void SetFieldEnabled(tk::TEdit& edit, bool enabled);
  void ShowPage(int index);
  // The next / previous page whose tab is shown, from the active one.
  int NeighbourPage(int step) const;
  // Saves the record on Finish; false (after an error box) when it was not stored.
  bool StoreOnFinish();
  void SetCheckedQuiet(tk::TCheckBox& box, bool on);

  std::array<bool, 9> pageInUse_{{true, true, true, true, true, true, true, true, true}};
  std::unique_ptr<TFSpecForm> fspec_;
  std::unique_ptr<TDateFormatForm> dateFormat_;
  std::unique_ptr<TQbProfile> stored_;
  bool storeOnFinish_ = false;
  std::string editedName_;
};
