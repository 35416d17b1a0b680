#include "manager/wizard.h"

#include "manager/formfont.h"
#include "settings/fernoglobal.h"
#include "settings/fernoini.h"
#include "settings/vglobal.h"
#include "toolkit/files.h"
#include "toolkit/strings.h"
#include "toolkit/win_dialogs.h"

namespace {

const char* const kPageTitles[] = {"Name the ZIP file",  "How to run?",           "Folder info in ZIP file?",
                                   "File specs to add",  "File specs/filters to exclude",
                                   "Store or re-compress?", "What to include?",   "Zipping options",
                                   "Final stuff"};

}  // namespace

TWizardForm::TWizardForm() : TForm(L"TWizardForm"), stored_(std::make_unique<TQbProfile>()) {
  SetCaption("Create New Profile");
  BorderStyle = tk::TBorderStyle::bsDialog;
  BorderIcons = tk::biSystemMenu;
  Position = tk::TPosition::poScreenCenter;
  SetFormFont(FontOf("Tahoma", 8));
  SetClientSize(560, 362);
  using tk::TControlDecl;
  Declare({
      {.Control = QbLogoFrame1, .Name = "QbLogoFrame1", .Caption = "", .Bounds = {8, 8, 95, 211}},
      {.Control = pboxProfile, .Name = "pboxProfile", .Caption = "", .Bounds = {8, 228, 32, 32}},
      {.Control = pnlWiz, .Name = "pnlWiz", .Caption = "", .Bounds = {112, 8, 440, 34}},
      {.Control = lblWizPageTitle, .Name = "lblWizPageTitle", .Caption = "", .Bounds = {10, 8, 0, 0},
       .Parent = &pnlWiz},
      {.Control = pcMain, .Name = "pcMain", .Caption = "", .Bounds = {112, 46, 440, 272}, .Style = tk::sNoTabStop},
      // Page 0
      {.Control = tsZipFile, .Name = "tsZipFile", .Caption = "ZIP file", .Bounds = {}, .Parent = &pcMain},
      {.Control = lblZipFileDir, .Name = "lblZipFileDir", .Caption = "Target folder", .Bounds = {8, 8, 0, 0},
       .Parent = &tsZipFile},
      {.Control = scbZipFileDir, .Name = "scbZipFileDir", .Caption = "", .Bounds = {8, 24, 388, 21},
       .Parent = &tsZipFile},
      {.Control = btnZipfileDir, .Name = "btnZipfileDir", .Caption = "...", .Bounds = {400, 23, 25, 23},
       .Parent = &tsZipFile},
      {.Control = lblZipFN, .Name = "lblZipFN", .Caption = "ZIP file name", .Bounds = {8, 56, 0, 0},
       .Parent = &tsZipFile},
      {.Control = edZipFN, .Name = "edZipFN", .Caption = "", .Bounds = {8, 72, 260, 21}, .Parent = &tsZipFile},
      {.Control = chkStoreAndZip, .Name = "chkStoreAndZip", .Caption = "Use store-and-zip",
       .Bounds = {8, 106, 250, 17}, .Parent = &tsZipFile},
      {.Control = imgSAZ, .Name = "imgSAZ", .Caption = "", .Bounds = {392, 100, 32, 32}, .Style = tk::sHidden,
       .Parent = &tsZipFile},
      {.Control = chkAddCurDate, .Name = "chkAddCurDate", .Caption = "Add current date to ZIP file name",
       .Bounds = {8, 134, 250, 17}, .Parent = &tsZipFile},
      {.Control = lblDateFormat, .Name = "lblDateFormat", .Caption = "Date format", .Bounds = {26, 159, 0, 0},
       .Parent = &tsZipFile},
      {.Control = edDateFormat, .Name = "edDateFormat", .Caption = "", .Bounds = {104, 156, 200, 21},
       .Style = tk::edReadOnly | tk::edLowerCase, .Parent = &tsZipFile},
      {.Control = btnDateFormat, .Name = "btnDateFormat", .Caption = "...", .Bounds = {308, 155, 25, 23},
       .Parent = &tsZipFile},
      {.Control = chkDeletePrevZips, .Name = "chkDeletePrevZips", .Caption = "Delete previous ZIPs",
       .Bounds = {8, 190, 200, 17}, .Parent = &tsZipFile},
      {.Control = lblZipsToKeep, .Name = "lblZipsToKeep", .Caption = "ZIPs to keep", .Bounds = {26, 215, 0, 0},
       .Parent = &tsZipFile},
      {.Control = edZipsToKeep, .Name = "edZipsToKeep", .Caption = "5", .Bounds = {104, 212, 44, 21},
       .Style = tk::edNumber, .Parent = &tsZipFile},
      {.Control = udZipsToKeep, .Name = "udZipsToKeep", .Caption = "", .Bounds = {148, 212, 16, 21},
       .Parent = &tsZipFile},
      {.Control = chkMcProfile, .Name = "chkMcProfile", .Caption = "MC Profile", .Bounds = {300, 190, 100, 17},
       .Style = tk::sHidden, .Parent = &tsZipFile},
      // Page 1
      {.Control = tsHowTo, .Name = "tsHowTo", .Caption = "How", .Bounds = {}, .Parent = &pcMain},
      {.Control = rgUpdateMode, .Name = "rgUpdateMode", .Caption = " How to zip ", .Bounds = {8, 8, 370, 96},
       .Parent = &tsHowTo},
      {.Control = imgAdd, .Name = "imgAdd", .Caption = "", .Bounds = {390, 40, 32, 32}, .Style = tk::sHidden,
       .Parent = &tsHowTo},
      {.Control = imgUpdate, .Name = "imgUpdate", .Caption = "", .Bounds = {390, 40, 32, 32},
       .Style = tk::sHidden, .Parent = &tsHowTo},
      {.Control = imgFreshen, .Name = "imgFreshen", .Caption = "", .Bounds = {390, 40, 32, 32},
       .Style = tk::sHidden, .Parent = &tsHowTo},
      {.Control = chkCheckVolumeLabel, .Name = "chkCheckVolumeLabel",
       .Caption = "Run profile only if target rw/zip/usb drive has these disks", .Bounds = {8, 120, 410, 17},
       .Parent = &tsHowTo},
      {.Control = lblMediaLabel, .Name = "lblMediaLabel", .Caption = "Volume labels (separated by semicolon)",
       .Bounds = {26, 144, 0, 0}, .Parent = &tsHowTo},
      {.Control = edMediaLabel, .Name = "edMediaLabel", .Caption = "", .Bounds = {26, 160, 364, 21},
       .Parent = &tsHowTo},
      {.Control = btnMediaLabel, .Name = "btnMediaLabel", .Caption = "...", .Bounds = {394, 159, 25, 23},
       .Parent = &tsHowTo},
      // Page 2
      {.Control = tsFolderInfo, .Name = "tsFolderInfo", .Caption = "Folders", .Bounds = {}, .Parent = &pcMain},
      {.Control = chkAddDirNames, .Name = "chkAddDirNames", .Caption = "Save folder info in zip file",
       .Bounds = {8, 8, 300, 17}, .Parent = &tsFolderInfo},
      {.Control = rbFullPath, .Name = "rbFullPath", .Caption = "Save full path", .Bounds = {26, 34, 200, 17},
       .Parent = &tsFolderInfo},
      {.Control = rbRelativePath, .Name = "rbRelativePath", .Caption = "Save relative path",
       .Bounds = {26, 56, 200, 17}, .Parent = &tsFolderInfo},
      {.Control = lblBaseDir, .Name = "lblBaseDir", .Caption = "Base directory for relative path",
       .Bounds = {44, 82, 0, 0}, .Parent = &tsFolderInfo},
      {.Control = edBaseDir, .Name = "edBaseDir", .Caption = "", .Bounds = {44, 98, 344, 21},
       .Parent = &tsFolderInfo},
      {.Control = btnBaseDir, .Name = "btnBaseDir", .Caption = "...", .Bounds = {392, 97, 25, 23},
       .Parent = &tsFolderInfo},
      // Page 3
      {.Control = tsItemList, .Name = "tsItemList", .Caption = "Include", .Bounds = {}, .Parent = &pcMain},
      {.Control = tbAdd, .Name = "tbAdd", .Caption = "Add...", .Bounds = {8, 6, 70, 23}, .Parent = &tsItemList},
      {.Control = tbEdit, .Name = "tbEdit", .Caption = "Edit...", .Bounds = {82, 6, 70, 23},
       .Parent = &tsItemList},
      {.Control = tbDelete, .Name = "tbDelete", .Caption = "Delete", .Bounds = {156, 6, 70, 23},
       .Parent = &tsItemList},
      {.Control = lvItemList, .Name = "lvItemList", .Caption = "", .Bounds = {8, 34, 416, 200},
       .Style = tk::lvRowSelect | tk::lvShowSelAlways, .Parent = &tsItemList},
      {.Control = lblCNS, .Name = "lblCNS", .Caption = "Computer names to zip from", .Bounds = {8, 10, 0, 0},
       .Style = tk::sHidden, .Parent = &tsItemList},
      {.Control = mmoCNS, .Name = "mmoCNS", .Caption = "", .Bounds = {8, 34, 416, 200},
       .Style = tk::sHidden | tk::mmVScroll, .Parent = &tsItemList},
      {.Control = chkRecurse, .Name = "chkRecurse", .Caption = "Recurse sub-folders", .Bounds = {8, 242, 200, 17},
       .Parent = &tsItemList},
      // Page 4
      {.Control = tsExcludeFollowing, .Name = "tsExcludeFollowing", .Caption = "Exclude", .Bounds = {},
       .Parent = &pcMain},
      {.Control = tbAddEx, .Name = "tbAddEx", .Caption = "Add...", .Bounds = {8, 6, 70, 23},
       .Parent = &tsExcludeFollowing},
      {.Control = tbEditEx, .Name = "tbEditEx", .Caption = "Edit...", .Bounds = {82, 6, 70, 23},
       .Parent = &tsExcludeFollowing},
      {.Control = tbDeleteEx, .Name = "tbDeleteEx", .Caption = "Delete", .Bounds = {156, 6, 70, 23},
       .Parent = &tsExcludeFollowing},
      {.Control = lvExcludeFollowing, .Name = "lvExcludeFollowing", .Caption = "", .Bounds = {8, 34, 204, 226},
       .Style = tk::lvRowSelect | tk::lvShowSelAlways, .Parent = &tsExcludeFollowing},
      {.Control = lvExcludeFilters, .Name = "lvExcludeFilters", .Caption = "", .Bounds = {220, 34, 204, 226},
       .Style = tk::lvCheckBoxes, .Parent = &tsExcludeFollowing},
      // Page 5
      {.Control = tsStoreSuffix, .Name = "tsStoreSuffix", .Caption = "Store", .Bounds = {}, .Parent = &pcMain},
      {.Control = chkDontCompressArchives, .Name = "chkDontCompressArchives",
       .Caption = "Don't compress archives (zip, cab, bz2, ...)", .Bounds = {8, 8, 400, 17},
       .Parent = &tsStoreSuffix},
      {.Control = chkDontCompressImages, .Name = "chkDontCompressImages",
       .Caption = "Don't compress images (jpg, png, gif && tif)", .Bounds = {8, 30, 400, 17},
       .Parent = &tsStoreSuffix},
      {.Control = lblStoreSuffixes, .Name = "lblStoreSuffixes",
       .Caption = "Don't compress these file types (extensions)", .Bounds = {8, 60, 0, 0},
       .Parent = &tsStoreSuffix},
      {.Control = mmoStoreSuffixes, .Name = "mmoStoreSuffixes", .Caption = "", .Bounds = {8, 76, 200, 184},
       .Style = tk::mmVScroll, .Parent = &tsStoreSuffix},
      // Page 6
      {.Control = tsArchiveAttr, .Name = "tsArchiveAttr", .Caption = "Include", .Bounds = {}, .Parent = &pcMain},
      {.Control = chkJustArchived, .Name = "chkJustArchived",
       .Caption = "Include files only with \"Archive\" attribute set", .Bounds = {8, 8, 330, 17},
       .Parent = &tsArchiveAttr},
      {.Control = imgJustArchived, .Name = "imgJustArchived", .Caption = "", .Bounds = {392, 4, 32, 32},
       .Style = tk::sHidden, .Parent = &tsArchiveAttr},
      {.Control = chkResetArchived, .Name = "chkResetArchived",
       .Caption = "Clear \"Archive\" attribute after zipping", .Bounds = {26, 30, 312, 17},
       .Parent = &tsArchiveAttr},
      {.Control = imgResetArchived, .Name = "imgResetArchived", .Caption = "", .Bounds = {356, 4, 32, 32},
       .Style = tk::sHidden, .Parent = &tsArchiveAttr},
      {.Control = lblIncludeFiles, .Name = "lblIncludeFiles", .Caption = "Include files", .Bounds = {8, 64, 0, 0},
       .Parent = &tsArchiveAttr},
      {.Control = cbAfterDate, .Name = "cbAfterDate", .Caption = "", .Bounds = {80, 60, 190, 21},
       .Style = tk::cbList, .Parent = &tsArchiveAttr},
      {.Control = lblWeek, .Name = "lblWeek", .Caption = "(week based on date; i.e, dates 8 to 14 is week2)",
       .Bounds = {80, 91, 0, 0}, .Style = tk::sHidden, .Parent = &tsArchiveAttr},
      {.Control = lblDays, .Name = "lblDays", .Caption = "Days", .Bounds = {80, 91, 0, 0}, .Style = tk::sHidden,
       .Parent = &tsArchiveAttr},
      // Declared over its up-down's arrows, which take the right end of the edit.
      {.Control = edAfterDate, .Name = "edAfterDate", .Caption = "1", .Bounds = {112, 88, 66, 21},
       .Style = tk::sHidden | tk::edNumber, .Parent = &tsArchiveAttr},
      {.Control = udAfterDate, .Name = "udAfterDate", .Caption = "", .Bounds = {162, 88, 16, 21},
       .Style = tk::sHidden, .Parent = &tsArchiveAttr},
      {.Control = dtpAfterDate, .Name = "dtpAfterDate", .Caption = "", .Bounds = {112, 88, 110, 21},
       .Style = tk::sHidden, .Parent = &tsArchiveAttr},
      {.Control = imgAfterDate, .Name = "imgAfterDate", .Caption = "", .Bounds = {392, 56, 32, 32},
       .Style = tk::sHidden, .Parent = &tsArchiveAttr},
      {.Control = chkIncludeSysHidden, .Name = "chkIncludeSysHidden", .Caption = "Include hidden and system files",
       .Bounds = {8, 124, 300, 17}, .Parent = &tsArchiveAttr},
      {.Control = rgLockedFiles, .Name = "rgLockedFiles", .Caption = " With Locked Files ",
       .Bounds = {8, 152, 250, 64}, .Parent = &tsArchiveAttr},
      // Page 7
      {.Control = tsCompFactor, .Name = "tsCompFactor", .Caption = "Options", .Bounds = {}, .Parent = &pcMain},
      {.Control = lblCompFactor, .Name = "lblCompFactor", .Caption = "Compression", .Bounds = {8, 8, 0, 0},
       .Parent = &tsCompFactor},
      {.Control = tbCompFactor, .Name = "tbCompFactor", .Caption = "", .Bounds = {8, 24, 260, 32},
       .Parent = &tsCompFactor},
      {.Control = lblCompression, .Name = "lblCompression", .Caption = "", .Bounds = {276, 32, 0, 0},
       .Parent = &tsCompFactor},
      {.Control = chkUseDeflate64, .Name = "chkUseDeflate64", .Caption = "Deflate64 compression",
       .Bounds = {8, 64, 250, 17}, .Parent = &tsCompFactor},
      {.Control = chkLargeZipFile, .Name = "chkLargeZipFile", .Caption = "Large ZIP file support",
       .Bounds = {8, 86, 250, 17}, .Parent = &tsCompFactor},
      {.Control = rbGrowExisting, .Name = "rbGrowExisting", .Caption = "Try to Grow Existing ZIP !",
       .Bounds = {8, 118, 250, 17}, .Parent = &tsCompFactor},
      {.Control = rbTargetAsTempDir, .Name = "rbTargetAsTempDir", .Caption = "Temp file in target folder",
       .Bounds = {8, 140, 250, 17}, .Parent = &tsCompFactor},
      {.Control = rbLocalTempDir, .Name = "rbLocalTempDir", .Caption = "Temp file in local system",
       .Bounds = {8, 162, 250, 17}, .Parent = &tsCompFactor},
      {.Control = btnEncryptCode, .Name = "btnEncryptCode", .Caption = "Password...", .Bounds = {8, 200, 90, 25},
       .Parent = &tsCompFactor},
      {.Control = imgPwdExists, .Name = "imgPwdExists", .Caption = "", .Bounds = {104, 204, 16, 16},
       .Style = tk::sHidden | tk::imgStretch, .Parent = &tsCompFactor},
      {.Control = btnComment, .Name = "btnComment", .Caption = "Comment...", .Bounds = {160, 200, 90, 25},
       .Parent = &tsCompFactor},
      {.Control = chkUseDefaultCmt, .Name = "chkUseDefaultCmt", .Caption = "Use default",
       .Bounds = {258, 204, 90, 17}, .Parent = &tsCompFactor},
      {.Control = imgCmtExists, .Name = "imgCmtExists", .Caption = "", .Bounds = {352, 204, 16, 16},
       .Style = tk::sHidden | tk::imgStretch, .Parent = &tsCompFactor},
      // Page 8
      {.Control = tsLast, .Name = "tsLast", .Caption = "Final", .Bounds = {}, .Parent = &pcMain},
      {.Control = lblProfileName, .Name = "lblProfileName", .Caption = "Profile name", .Bounds = {8, 8, 0, 0},
       .Parent = &tsLast},
      {.Control = edProfileName, .Name = "edProfileName", .Caption = "", .Bounds = {8, 24, 300, 21},
       .Parent = &tsLast},
      {.Control = chkMangleLongNames, .Name = "chkMangleLongNames", .Caption = "Save file names in 8.3 format !",
       .Bounds = {8, 60, 400, 17}, .Parent = &tsLast},
      {.Control = chkOldAsLatest, .Name = "chkOldAsLatest",
       .Caption = "Set zip file timestamp to that of newest file in the zip file", .Bounds = {8, 82, 400, 17},
       .Parent = &tsLast},
      {.Control = chkDeleteZipBeforeRunning, .Name = "chkDeleteZipBeforeRunning",
       .Caption = "Delete zip file before running profile !", .Bounds = {8, 104, 300, 17}, .Parent = &tsLast},
      {.Control = chkDeleteOriginal, .Name = "chkDeleteOriginal", .Caption = "Delete original files after zipping !",
       .Bounds = {8, 126, 300, 17}, .Parent = &tsLast},
      {.Control = imgDeleteOriginal, .Name = "imgDeleteOriginal", .Caption = "", .Bounds = {352, 118, 32, 32},
       .Style = tk::sHidden, .Parent = &tsLast},
      {.Control = imgWarnDeleteOriginal, .Name = "imgWarnDeleteOriginal", .Caption = "",
       .Bounds = {390, 118, 32, 32}, .Style = tk::sHidden, .Parent = &tsLast},
      {.Control = chkLogZipResults, .Name = "chkLogZipResults", .Caption = "Log ZIP operations to file",
       .Bounds = {8, 158, 300, 17}, .Parent = &tsLast},
      {.Control = lblNoOfRunLogs, .Name = "lblNoOfRunLogs", .Caption = "Logs to keep", .Bounds = {26, 184, 0, 0},
       .Parent = &tsLast},
      {.Control = edNoOfRunLogs, .Name = "edNoOfRunLogs", .Caption = "5", .Bounds = {104, 181, 44, 21},
       .Style = tk::edNumber, .Parent = &tsLast},
      {.Control = udNoOfRunLogs, .Name = "udNoOfRunLogs", .Caption = "", .Bounds = {148, 181, 16, 21},
       .Parent = &tsLast},
      // Below the pages
      {.Control = btnHelp, .Name = "btnHelp", .Caption = "Help", .Bounds = {112, 328, 75, 25}},
      {.Control = btnBack, .Name = "btnBack", .Caption = "< Back", .Bounds = {312, 328, 75, 25}},
      {.Control = btnNext, .Name = "btnNext", .Caption = "Next >", .Bounds = {392, 328, 75, 25},
       .Style = tk::btnDefault},
      {.Control = btnCancel, .Name = "btnCancel", .Caption = "Cancel", .Bounds = {477, 328, 75, 25},
       .Style = tk::btnCancel, .ModalResult = tk::mrCancel},
  });
  pnlWiz.SetBevels(tk::TBevelCut::bvNone, tk::TBevelCut::bvNone);
  pnlWiz.SetColor(tk::clWindow);
  lblWizPageTitle.SetFont(FontOf("Tahoma", 10, true));
  // Pages change only through Back and Next.
  for (int i = 0; i < pcMain.PageCount(); ++i) pcMain.Pages(i)->SetTabVisible(false);

  rgUpdateMode.SetItems({"Add  (add && replace all files every time)",
                         "Update  (update existing files && add new files)", "Freshen  (only update existing files)"});
  rgLockedFiles.SetItems({"Abort zipping", "Skip locked files !"});
  cbAfterDate.SetItems({"Of any time", "Modified in current month", "Modified in current week",
                        "Modified in current day", "Modified in the past X days", "Modified after this date"});
  lvItemList.AddColumn("File specifications to add", 390);
  lvExcludeFollowing.AddColumn("File types to exclude", 180);
  lvExcludeFilters.AddColumn("Exclude filters", 180);
  udZipsToKeep.SetAssociate(&edZipsToKeep);
  udZipsToKeep.SetRange(2, 99);
  udZipsToKeep.SetPosition(5);
  udAfterDate.SetAssociate(&edAfterDate);
  udAfterDate.SetRange(1, 1000);
  udAfterDate.SetPosition(1);
  udNoOfRunLogs.SetAssociate(&edNoOfRunLogs);
  udNoOfRunLogs.SetRange(1, 99);
  udNoOfRunLogs.SetPosition(5);
  tbCompFactor.SetRange(0, 9);
  tbCompFactor.SetPosition(5);
  btnMediaLabel.SetHint("Add media's volume label");
  chkDeleteOriginal.SetHint("See Help for details");
  imgWarnDeleteOriginal.SetHint("See Help for details");

  // Pictures of the options: the system's stock icons.
  imgSAZ.SetIcon(LoadIconW(nullptr, IDI_INFORMATION));
  imgAdd.SetIcon(LoadIconW(nullptr, IDI_APPLICATION));
  imgUpdate.SetIcon(LoadIconW(nullptr, IDI_INFORMATION));
  imgFreshen.SetIcon(LoadIconW(nullptr, IDI_QUESTION));
  imgJustArchived.SetIcon(LoadIconW(nullptr, IDI_INFORMATION));
  imgResetArchived.SetIcon(LoadIconW(nullptr, IDI_APPLICATION));
  imgAfterDate.SetIcon(LoadIconW(nullptr, IDI_INFORMATION));
  imgPwdExists.SetIcon(LoadIconW(nullptr, IDI_SHIELD));
  imgCmtExists.SetIcon(LoadIconW(nullptr, IDI_INFORMATION));
  imgDeleteOriginal.SetIcon(LoadIconW(nullptr, IDI_ERROR));
  imgWarnDeleteOriginal.SetIcon(LoadIconW(nullptr, IDI_WARNING));

  scbZipFileDir.SetAppDataIniPath("Quillbank");
  scbZipFileDir.SetIniFileName("ComboBox.ini");
  scbZipFileDir.Section = "ZipFileDir";

  RealPassDialog1.Caption = "Encrypt the zip file";
  RealPassDialog1.Text = "Type the password";
  RealPassDialog1.Text2 = "Re-type the password";
  mmodlgComment.Prompt = "Enter comment";
  mmodlgComment.Caption = "Comment";
  mmodlgComment.MemoWidth = 320;
  mmodlgComment.MemoHeight = 100;
  mmodlgComment.OKCancelAtTopRight = false;

  OnCreate = [this] { FormCreate(); };
  OnShow = [this] { FormShow(); };
  btnBack.OnClick = [this] { btnBackClick(); };
  btnNext.OnClick = [this] { btnNextClick(); };
  btnCancel.OnClick = [this] { btnCancelClick(); };
  btnHelp.OnClick = [this] {
    if (OnHelp) OnHelp();
  };
  pboxProfile.OnPaint = [this](tk::TCanvas& canvas) { pboxProfilePaint(canvas); };
  chkStoreAndZip.OnClick = [this] { chkStoreAndZipClick(); };
  chkAddCurDate.OnClick = [this] { chkAddCurDateClick(); };
  btnDateFormat.OnClick = [this] { btnDateFormatClick(); };
  chkDeletePrevZips.OnClick = [this] { chkDeletePrevZipsClick(); };
  chkMcProfile.OnClick = [this] { chkMcProfileClick(); };
  btnZipfileDir.OnClick = [this] { btnZipfileDirClick(); };
  scbZipFileDir.OnSave = [this](g32::TSaveComboBox& sender, bool& doSave) { scbZipFileDirSave(sender, doSave); };
  edZipFN.OnKeyPress = [this](wchar_t& key) { edZipFNKeyPress(key); };
  edZipFN.OnExit = [this] { edZipFNExit(); };
  rgUpdateMode.OnClick = [this] { rgUpdateModeClick(); };
  chkCheckVolumeLabel.OnClick = [this] { chkCheckVolumeLabelClick(); };
  btnMediaLabel.OnClick = [this] { btnMediaLabelClick(); };
  chkAddDirNames.OnClick = [this] { FolderInfoClick(); };
  rbFullPath.OnClick = [this] { FolderInfoClick(); };
  rbRelativePath.OnClick = [this] { FolderInfoClick(); };
  btnBaseDir.OnClick = [this] { btnBaseDirClick(); };
  tbAdd.OnClick = [this] { SpecAddClick(true); };
  tbEdit.OnClick = [this] { SpecEditClick(true); };
  tbDelete.OnClick = [this] { SpecDeleteClick(true); };
  tbAddEx.OnClick = [this] { SpecAddClick(false); };
  tbEditEx.OnClick = [this] { SpecEditClick(false); };
  tbDeleteEx.OnClick = [this] { SpecDeleteClick(false); };
  lvItemList.OnDblClick = [this] { SpecEditClick(true); };
  lvExcludeFollowing.OnDblClick = [this] { SpecEditClick(false); };
  lvItemList.OnChange = [this](const tk::TListChange&) { UpdateSpecButtons(); };
  lvExcludeFollowing.OnChange = [this](const tk::TListChange&) { UpdateSpecButtons(); };
  // Filter rows are only ticked or unticked, never selected.
  lvExcludeFilters.OnChanging = [](const tk::TListChange& change, bool& allow) {
    if (change.SelectChanged() && (change.NewState & LVIS_SELECTED)) allow = false;
  };
  lvExcludeFilters.OnChange = [this](const tk::TListChange&) { UpdateExcludeFiltersHeader(); };
  mmoCNS.OnExit = [this] { mmoCNSExit(); };
  mmoStoreSuffixes.OnKeyPress = [this](wchar_t& key) { mmoStoreSuffixesKeyPress(key); };
  mmoStoreSuffixes.OnExit = [this] { mmoStoreSuffixesExit(); };
  chkJustArchived.OnClick = [this] { chkJustArchivedClick(); };
  chkResetArchived.OnClick = [this] { chkResetArchivedClick(); };
  cbAfterDate.OnChange = [this] { cbAfterDateChange(); };
  tbCompFactor.OnChange = [this] { tbCompFactorChange(); };
  btnEncryptCode.OnClick = [this] { btnEncryptCodeClick(); };
  btnComment.OnClick = [this] { btnCommentClick(); };
  chkUseDefaultCmt.OnClick = [this] { chkUseDefaultCmtClick(); };
  chkLogZipResults.OnClick = [this] { chkLogZipResultsClick(); };
  chkDeleteOriginal.OnClick = [this] { chkDeleteOriginalClick(); };
  edProfileName.OnKeyPress = [this](wchar_t& key) { edProfileNameKeyPress(key); };
  edProfileName.OnExit = [this] { edProfileNameExit(); };
  BrowseFolder = [this](const std::string& caption, const std::string& root, std::string& folder) {
    return tk::SelectDirectory(caption, root, folder, Handle());
  };
}

TWizardForm::~TWizardForm() = default;

TFSpecForm& TWizardForm::FSpecForm() {
  if (!fspec_) {
    fspec_ = std::make_unique<TFSpecForm>();
    // Made now, so that its history loads before the wizard fills its fields.
    fspec_->HandleNeeded();
  }
  return *fspec_;
}

TDateFormatForm& TWizardForm::DateFormatForm() {
  if (!dateFormat_) {
    dateFormat_ = std::make_unique<TDateFormatForm>();
    dateFormat_->HandleNeeded();
  }
  return *dateFormat_;
}

void TWizardForm::FormCreate() {
  scbZipFileDir.LoadHistory();
  chkStoreAndZip.SetHint(std::string("By using this option,\r\n") +
                         "higher compression ratio may be achieved if lot of files" + "\r\n" +
                         "are to be compressed. See help file for more details.");
  dtpAfterDate.SetBounds(edAfterDate.Left(), edAfterDate.Top(), dtpAfterDate.Width(), dtpAfterDate.Height());
  dtpAfterDate.SetRange(tk::EncodeDate(1981, 1, 1), tk::EncodeDate(2078, 1, 1));
  dtpAfterDate.SetDateTime(tk::Date());
  lblCNS.SetLeft(mmoCNS.Left());
}

void TWizardForm::FormShow() {
  ShowPage(0);
  chkLogZipResults.SetEnabled(!IsNewZipMode());
}

void TWizardForm::ShowPage(int index) {
  pcMain.SetActivePageIndex(index);
  PageChanged();
}

void TWizardForm::PageChanged() {
  const int index = pcMain.ActivePageIndex();
  if (index >= 0 && index < 9) lblWizPageTitle.SetCaption(kPageTitles[index]);
  if (pcMain.ActivePage() == &tsItemList || pcMain.ActivePage() == &tsExcludeFollowing) UpdateSpecButtons();
  btnBack.SetEnabled(pcMain.ActivePage() != &tsZipFile);
  if (pcMain.ActivePage() == &tsLast) {
    btnNext.SetCaption("Finish");
    btnNext.ModalResult = tk::mrOk;
    btnNext.SetEnabled(!IsViewMode());
  } else {
    btnNext.SetCaption("Next >");
    btnNext.ModalResult = tk::mrNone;
    btnNext.SetEnabled(true);
  }
  pboxProfile.Invalidate();
}

int TWizardForm::NeighbourPage(int step) const {
  for (int i = pcMain.ActivePageIndex() + step; i >= 0 && i < pcMain.PageCount(); i += step)
    if (PageInUse(*pcMain.Pages(i))) return i;
  return -1;
}

bool TWizardForm::PageInUse(const tk::TTabSheet& page) const {
  const int i = page.PageIndex();
  return i >= 0 && i < 9 && pageInUse_[static_cast<size_t>(i)];
}

void TWizardForm::SetPageInUse(tk::TTabSheet& page, bool inUse) {
  const int i = page.PageIndex();
  if (i >= 0 && i < 9) pageInUse_[static_cast<size_t>(i)] = inUse;
}

void TWizardForm::btnBackClick() {
  const int i = NeighbourPage(-1);
  if (i >= 0) ShowPage(i);
}

void TWizardForm::btnNextClick() {
  if (pcMain.ActivePage() == &tsLast) {
    // The focus moves first, so that the field being edited runs its exit handler.
    btnNext.SetFocus();
    if (!IsViewMode() && !IsNewZipMode() && ValidateProfileName()) {
      SetModalResult(tk::mrNone);
      return;
    }
    if (!IsViewMode() && storeOnFinish_ && !StoreOnFinish()) SetModalResult(tk::mrNone);
    return;
  }
  tk::TTabSheet* page = pcMain.ActivePage();
  if (!IsViewMode() && !CheckPage(page)) return;
  if (page == &tsZipFile) RearrangePages();
  if (page == &tsHowTo) UpdateDeleteZipBeforeRunning();
  const int i = NeighbourPage(+1);
  if (i >= 0) ShowPage(i);
}

void TWizardForm::btnCancelClick() {
  btnCancel.SetFocus();
  SetModalResult(tk::mrCancel);
}

void TWizardForm::RearrangePages() {
  if (chkStoreAndZip.Checked()) {
    rgUpdateMode.SetItemIndex(0);
    rgUpdateModeClick();
  }
  UpdateDeleteOriginal();
  SetPageInUse(tsStoreSuffix, !chkStoreAndZip.Checked());
  const bool mc = chkMcProfile.Checked();
  lblCNS.SetVisible(mc);
  mmoCNS.SetVisible(mc);
  for (tk::TControl* c : {static_cast<tk::TControl*>(&tbAdd), static_cast<tk::TControl*>(&tbEdit),
                          static_cast<tk::TControl*>(&tbDelete), static_cast<tk::TControl*>(&lvItemList)})
    c->SetVisible(!mc);
  if (mc) ResetFolderInfo();
  SetPageInUse(tsFolderInfo, !mc);
}

std::string TWizardForm::HelpTopic() const {
  const int i = pcMain.ActivePageIndex();
  int n = 1;
  if (i == 3) n = lvItemList.Visible() ? 4 : 10;
  else if (i >= 0 && i <= 8) n = i + 1;
  return "wiz_page" + std::to_string(n);
}

void TWizardForm::pboxProfilePaint(tk::TCanvas& canvas) {
  if (!ModeImages) return;
  int image = 0;
  for (size_t bit = 0; bit < ModeImageIndexes.size(); ++bit)
    if (WizardMode & (1u << bit)) {
      image = ModeImageIndexes[bit];
      break;
    }
  if (image >= 0) ImageList_Draw(ModeImages, image, canvas.Handle(), 0, 0, ILD_NORMAL);
}

void TWizardForm::SetFieldEnabled(tk::TEdit& edit, bool enabled) {
  edit.SetEnabled(enabled);
  edit.SetColor(enabled ? tk::clWindow : tk::clBtnFace);
}

// ---------------- control rules

void TWizardForm::chkStoreAndZipClick() {
  imgSAZ.SetVisible(chkStoreAndZip.Checked());
  UpdateDeleteZipBeforeRunning();
  UpdateDeleteOriginal();
}

void TWizardForm::UpdateDeleteZipBeforeRunning() {
  const bool on = rgUpdateMode.ItemIndex() == 0 && !IsNewZipMode();
  chkDeleteZipBeforeRunning.SetEnabled(on);
  if (!on) chkDeleteZipBeforeRunning.SetChecked(false);
}

void TWizardForm::UpdateDeleteOriginal() {
  const bool on = !chkStoreAndZip.Checked();
  chkDeleteOriginal.SetEnabled(on);
  if (!on) chkDeleteOriginal.SetChecked(false);
}

void TWizardForm::chkAddCurDateClick() {
  const bool on = chkAddCurDate.Checked();
  SetFieldEnabled(edDateFormat, on);
  if (!on) edDateFormat.SetText("");
  lblDateFormat.SetEnabled(on);
  btnDateFormat.SetEnabled(on);
  chkDeletePrevZips.SetEnabled(on && !IsNewZipMode());
  if (!on) chkDeletePrevZips.SetChecked(false);
}

void TWizardForm::btnDateFormatClick() {
  TDateFormatForm& f = DateFormatForm();
  f.InitFromDateFormat(edDateFormat.Text(), ExtractFileNameNoExt(edZipFN.Text()));
  if (f.ShowModal() == tk::mrOk) edDateFormat.SetText(f.ComposeDateFormat());
}

void TWizardForm::chkDeletePrevZipsClick() {
  const bool on = chkDeletePrevZips.Checked();
  lblZipsToKeep.SetVisible(on);
  edZipsToKeep.SetVisible(on);
  udZipsToKeep.SetVisible(on);
}

void TWizardForm::chkMcProfileClick() {
  const bool mc = chkMcProfile.Checked();
  lblZipFN.SetCaption(mc ? "Share name to backup (also ZIP's name)" : "ZIP file name");
  if (mc && tk::EndsText(".zip", edZipFN.Text()))
    edZipFN.SetText(tk::ChangeFileExt(edZipFN.Text(), ""));
}

void TWizardForm::btnZipfileDirClick() {
  std::string folder = scbZipFileDir.Text();
  if (!BrowseFolder || !BrowseFolder("Target folder for the ZIP file", "", folder)) return;
  scbZipFileDir.SetText(folder);
  // Through the box, so that it records the folder in its history.
  scbZipFileDir.SetFocus();
  scbZipFileDir.SaveHistory();
}

void TWizardForm::scbZipFileDirSave(g32::TSaveComboBox& sender, bool& doSave) {
  std::string text = sender.Text();
  if (!text.empty()) {
    text = tk::IncludeTrailingBackslash(text);
    sender.SetText(text);
  }
  if (!DirExistsQuiet(text)) doSave = false;
}

void TWizardForm::rgUpdateModeClick() {
  if (!IsViewMode() && rgUpdateMode.ItemIndex() != 0) {
    if (IsNewZipMode()) {
      MsgDlg("Only 'Adding' is possible while creating a new ZIP file", "ii");
      rgUpdateMode.SetItemIndex(0);
    } else if (chkStoreAndZip.Checked()) {
      MsgDlg("Store-and-zip ZIP files can not be updated", "ii");
      rgUpdateMode.SetItemIndex(0);
    }
  }
  const int mode = rgUpdateMode.ItemIndex();
  imgAdd.SetVisible(mode == 0);
  imgUpdate.SetVisible(mode == 1);
  imgFreshen.SetVisible(mode == 2);
  UpdateDeleteZipBeforeRunning();
}

void TWizardForm::chkCheckVolumeLabelClick() {
  const bool on = chkCheckVolumeLabel.Checked();
  SetFieldEnabled(edMediaLabel, on);
  if (!on) edMediaLabel.SetText("");
  lblMediaLabel.SetEnabled(on);
  btnMediaLabel.SetEnabled(on);
}

void TWizardForm::ResetFolderInfo() {
  chkAddDirNames.SetChecked(true);
  rbFullPath.SetChecked(true);
  edBaseDir.SetText("");
  FolderInfoClick();
}

void TWizardForm::FolderInfoClick() {
  const bool names = chkAddDirNames.Checked();
  rbFullPath.SetEnabled(names);
  rbRelativePath.SetEnabled(names);
  const bool relative = names && rbRelativePath.Checked();
  lblBaseDir.SetEnabled(relative);
  SetFieldEnabled(edBaseDir, relative);
  btnBaseDir.SetEnabled(relative);
  if (!names || rbFullPath.Checked()) edBaseDir.SetText("");
}

void TWizardForm::btnBaseDirClick() {
  std::string folder = edBaseDir.Text();
  if (BrowseFolder && BrowseFolder("Base directory", "", folder)) edBaseDir.SetText(tk::IncludeTrailingBackslash(folder));
}

void TWizardForm::chkJustArchivedClick() {
  const bool on = chkJustArchived.Checked();
  imgJustArchived.SetVisible(on);
  if (!on) chkResetArchived.SetChecked(false);
  chkResetArchived.SetEnabled(on);
}

void TWizardForm::chkResetArchivedClick() { imgResetArchived.SetVisible(chkResetArchived.Checked()); }

void TWizardForm::cbAfterDateChange() {
  const int i = cbAfterDate.ItemIndex();
  lblWeek.SetVisible(i == 2);
  lblDays.SetVisible(i == 4);
  edAfterDate.SetVisible(i == 4);
  udAfterDate.SetVisible(i == 4);
  dtpAfterDate.SetVisible(i == 5);
  imgAfterDate.SetVisible(i > 0);
}

void TWizardForm::tbCompFactorChange() {
  static const char* const kNames[] = {"Stored (Fastest)", "Faster", "Fast", "Fast", "Below Normal",
                                       "Normal", "Normal", "Above Normal", "Above Normal", "Maximum (Slowest)"};
  const int p = tbCompFactor.Position();
  lblCompression.SetCaption(p >= 0 && p <= 9 ? kNames[p] : "");
  tbCompFactor.SetSelection(0, p);
}

void TWizardForm::btnEncryptCodeClick() {
  TFernoIni ini;
  const bool mask = ini.GetMaskPassword();
  RealPassDialog1.AskTwice = mask;
  RealPassDialog1.DisplayIcon = mask;
  if (RealPassDialog1.Execute()) imgPwdExists.SetVisible(!RealPassDialog1.Password.empty());
}

void TWizardForm::btnCommentClick() {
  mmodlgComment.Execute();
  UpdateCommentIndicator();
}

void TWizardForm::chkUseDefaultCmtClick() {
  btnComment.SetEnabled(!chkUseDefaultCmt.Checked());
  if (chkUseDefaultCmt.Checked()) mmodlgComment.Text.clear();
  UpdateCommentIndicator();
}

void TWizardForm::UpdateCommentIndicator() {
  bool shown;
  if (chkUseDefaultCmt.Checked()) {
    TFernoIni ini;
    shown = !ini.Getdcmt().empty();
  } else {
    shown = !mmodlgComment.Text.empty();
  }
  imgCmtExists.SetVisible(shown);
}

void TWizardForm::chkLogZipResultsClick() {
  const bool on = chkLogZipResults.Checked();
  lblNoOfRunLogs.SetVisible(on);
  edNoOfRunLogs.SetVisible(on);
  udNoOfRunLogs.SetVisible(on);
}

void TWizardForm::chkDeleteOriginalClick() {
  imgDeleteOriginal.SetVisible(chkDeleteOriginal.Checked());
  imgWarnDeleteOriginal.SetVisible(chkDeleteOriginal.Checked());
}
