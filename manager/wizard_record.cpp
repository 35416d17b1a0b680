// The wizard and the profile record: a new profile's defaults, loading the controls
// from a profile, storing them into one, and the save on Finish.
#include <cmath>

#include "manager/wizard.h"
#include "settings/fernoglobal.h"
#include "settings/fernoini.h"
#include "settings/foconsts.h"
#include "settings/profilename.h"
#include "settings/vglobal.h"
#include "toolkit/files.h"
#include "toolkit/stringlist.h"
#include "toolkit/strings.h"

namespace {

// rgUpdateMode index -> the profile's ecmd.
constexpr int kUpdateModeCmd[] = {4, 3, 1};

std::vector<std::string> LinesOf(const tk::TMemo& memo) { return memo.Lines(); }

std::vector<std::string> ListCaptions(const tk::TListView& list) {
  std::vector<std::string> out;
  for (int i = 0; i < list.Count(); ++i) out.push_back(list.ItemCaption(i));
  return out;
}

void FillList(tk::TListView& list, const std::string& commaText) {
  list.Clear();
  for (const std::string& item : tk::FromCommaText(commaText)) list.AddItem(item);
}

}  // namespace

void TWizardForm::SetCheckedQuiet(tk::TCheckBox& box, bool on) {
  // Set, then the box's rule runs whether or not the state changed.
  const bool changed = box.Checked() != on;
  box.SetChecked(on);
  if (!changed) box.Click();
}

void TWizardForm::ResetWizardControls() {
  HandleNeeded();  // the lists hold rows only once their windows exist
  edZipFN.SetText("");
  edDateFormat.SetText("");
  SetCheckedQuiet(chkAddCurDate, false);
  SetCheckedQuiet(chkStoreAndZip, false);
  SetCheckedQuiet(chkMcProfile, false);
  SetCheckedQuiet(chkDeletePrevZips, false);
  udZipsToKeep.SetPosition(5);

  rgUpdateMode.SetItemIndex(IsNewZipMode() ? 0 : 1);
  rgUpdateModeClick();

  edMediaLabel.SetText("");
  SetCheckedQuiet(chkCheckVolumeLabel, false);

  ResetFolderInfo();

  lvItemList.Clear();
  mmoCNS.SetText("");
  SetCheckedQuiet(chkRecurse, true);
  LoadExcludeFilters("");
  lvExcludeFollowing.Clear();
  UpdateSpecButtons();

  SetCheckedQuiet(chkDontCompressArchives, true);
  SetCheckedQuiet(chkDontCompressImages, false);
  mmoStoreSuffixes.SetText("");

  SetCheckedQuiet(chkJustArchived, false);
  SetCheckedQuiet(chkResetArchived, false);
  cbAfterDate.SetItemIndex(0);
  udAfterDate.SetPosition(1);
  dtpAfterDate.SetDateTime(tk::Date());
  cbAfterDateChange();

  SetCheckedQuiet(chkIncludeSysHidden, true);
  rgLockedFiles.SetItemIndex(0);
  tbCompFactor.SetPosition(5);
  tbCompFactorChange();
  SetCheckedQuiet(chkUseDeflate64, false);
  rbGrowExisting.SetChecked(false);
  rbLocalTempDir.SetChecked(false);
  rbTargetAsTempDir.SetChecked(true);

  RealPassDialog1.Password.clear();
  imgPwdExists.SetVisible(false);
  SetCheckedQuiet(chkUseDefaultCmt, false);
  mmodlgComment.Text.clear();
  UpdateCommentIndicator();
  imgCmtExists.SetVisible(false);

  SetCheckedQuiet(chkLargeZipFile, false);
  SetCheckedQuiet(chkLogZipResults, false);
  udNoOfRunLogs.SetPosition(5);
  SetCheckedQuiet(chkMangleLongNames, false);
  SetCheckedQuiet(chkOldAsLatest, false);
  SetCheckedQuiet(chkDeleteOriginal, false);
  SetCheckedQuiet(chkDeleteZipBeforeRunning, false);

  edProfileName.SetText("");
  SetFieldEnabled(edProfileName, !IsNewZipMode());
}

void TWizardForm::ProfileToForm(const TQbProfile& qbp) {
  HandleNeeded();
  const TStrFlag& b = *qbp.b;
  scbZipFileDir.SetText(tk::ExtractFilePath(qbp.zf));
  edZipFN.SetText(tk::ExtractFileName(qbp.zf));
  SetCheckedQuiet(chkStoreAndZip, b.GetFlag(poStoreAndZip));
  SetCheckedQuiet(chkMcProfile, !qbp.cns.empty());

  SetCheckedQuiet(chkAddCurDate, !qbp.zfndf.empty());
  edDateFormat.SetText(qbp.zfndf);

  SetCheckedQuiet(chkDeletePrevZips, qbp.ztk > 1);
  udZipsToKeep.SetPosition(qbp.ztk >= 2 ? qbp.ztk : 5);

  rgUpdateMode.SetItemIndex(qbp.ecmd == 1 ? 2 : qbp.ecmd == 4 ? 0 : 1);
  rgUpdateModeClick();

  SetCheckedQuiet(chkCheckVolumeLabel, !qbp.ml.empty());
  edMediaLabel.SetText(qbp.ml);

  SetCheckedQuiet(chkAddDirNames, !b.GetFlag(poNoFolderNames));
  if (!qbp.bdir.empty()) rbRelativePath.SetChecked(true);
  else rbFullPath.SetChecked(true);
  FolderInfoClick();
  edBaseDir.SetText(qbp.bdir);

  FillList(lvItemList, qbp.il);
  mmoCNS.SetLines(tk::FromCommaText(qbp.cns));
  SetCheckedQuiet(chkRecurse, b.GetFlag(poRecurse));

  LoadExcludeFilters(qbp.efil);
  FillList(lvExcludeFollowing, qbp.ef);
  UpdateSpecButtons();

  SetCheckedQuiet(chkDontCompressArchives, b.GetFlag(poNoCompressArchives));
  SetCheckedQuiet(chkDontCompressImages, b.GetFlag(poNoCompressImages));
  mmoStoreSuffixes.SetLines(tk::FromCommaText(qbp.ssuf));

  SetCheckedQuiet(chkJustArchived, b.GetFlag(poArchiveOnly));
  SetCheckedQuiet(chkResetArchived, b.GetFlag(poClearArchive));

  if (b.GetFlag(poCurrentMonth)) cbAfterDate.SetItemIndex(1);
  else if (b.GetFlag(poCurrentWeek)) cbAfterDate.SetItemIndex(2);
  else if (b.GetFlag(poCurrentDay)) cbAfterDate.SetItemIndex(3);
  else if (qbp.adt == 0) cbAfterDate.SetItemIndex(0);
  else if (qbp.adt > 0) {
    cbAfterDate.SetItemIndex(5);
    dtpAfterDate.SetDateTime(qbp.adt);
  } else {
    cbAfterDate.SetItemIndex(4);
    udAfterDate.SetPosition(static_cast<int>(std::trunc(-qbp.adt)));
  }
  cbAfterDateChange();

  SetCheckedQuiet(chkIncludeSysHidden, b.GetFlag(poHiddenAndSystem));
  rgLockedFiles.SetItemIndex(b.GetFlag(poSkipLocked) ? 1 : 0);

  const bool deflate64 = qbp.cf > 10 && qbp.cf < 20;
  SetCheckedQuiet(chkUseDeflate64, deflate64);
  tbCompFactor.SetPosition(deflate64 ? qbp.cf - 10 : qbp.cf);
  tbCompFactorChange();

  if (b.GetFlag(poGrowZip)) rbGrowExisting.SetChecked(true);
  else if (b.GetFlag(poTempInTarget)) rbTargetAsTempDir.SetChecked(true);
  else rbLocalTempDir.SetChecked(true);

  RealPassDialog1.Password = qbp.ec;
  imgPwdExists.SetVisible(!qbp.ec.empty());
  mmodlgComment.SetCommaText(qbp.cmt);
  SetCheckedQuiet(chkUseDefaultCmt, b.GetFlag(poDefaultComment));
  // Ticking the default comment empties the own one; a stored profile keeps both.
  mmodlgComment.SetCommaText(qbp.cmt);
  UpdateCommentIndicator();

  SetCheckedQuiet(chkLargeZipFile, b.GetFlag(poLargeZip));
  SetCheckedQuiet(chkLogZipResults, qbp.nrl >= 1);
  udNoOfRunLogs.SetPosition(qbp.nrl >= 1 ? qbp.nrl : 5);

  SetCheckedQuiet(chkMangleLongNames, b.GetFlag(poShortNames));
  SetCheckedQuiet(chkOldAsLatest, b.GetFlag(poZipTimeOfNewest));
  SetCheckedQuiet(chkDeleteOriginal, b.GetFlag(poDeleteSources));
  SetCheckedQuiet(chkDeleteZipBeforeRunning, b.GetFlag(poDeleteZipFirst));

  edProfileName.SetText(qbp.pn);
  SetFieldEnabled(edProfileName, !IsEditMode() && !IsNewZipMode());
  if (IsNewZipMode()) edProfileName.SetText("");
}

bool TWizardForm::FormToProfile(TQbProfile* qbp) {
  if (!qbp) {
    MsgDlg("qbp is nil", "ie");
    return false;
  }
  TStrFlag& b = *qbp->b;
  // A share name is kept whole ("data.old" is data.old.zip): the runner takes the share from
  // the zip's name without its last extension.
  const std::string zipName = edZipFN.Text();
  qbp->zf = tk::IncludeTrailingBackslash(scbZipFileDir.Text()) +
            (chkMcProfile.Checked() ? zipName + ".zip" : tk::ChangeFileExt(zipName, ".zip"));
  b.SetFlag(poStoreAndZip, chkStoreAndZip.Checked());
  qbp->zfndf = edDateFormat.Text();
  qbp->ztk = chkDeletePrevZips.Checked() ? udZipsToKeep.Position() : -1;
  const int mode = rgUpdateMode.ItemIndex();
  qbp->ecmd = kUpdateModeCmd[mode >= 0 && mode <= 2 ? mode : 1];
  qbp->ml = edMediaLabel.Text();
  b.SetFlag(poNoFolderNames, !chkAddDirNames.Checked());
  qbp->bdir = edBaseDir.Text();

  qbp->il = tk::ToCommaText(ListCaptions(lvItemList));
  qbp->cns = tk::ToCommaText(LinesOf(mmoCNS));
  b.SetFlag(poRecurse, chkRecurse.Checked());

  qbp->efil = CheckedExcludeFilters();
  qbp->ef = tk::ToCommaText(ListCaptions(lvExcludeFollowing));

  b.SetFlag(poNoCompressArchives, chkDontCompressArchives.Checked());
  b.SetFlag(poNoCompressImages, chkDontCompressImages.Checked());
  qbp->ssuf = tk::ToCommaText(LinesOf(mmoStoreSuffixes));

  b.SetFlag(poArchiveOnly, chkJustArchived.Checked());
  b.SetFlag(poClearArchive, chkResetArchived.Checked());

  const int after = cbAfterDate.ItemIndex();
  qbp->adt = 0;
  b.SetFlag(poCurrentMonth, after == 1);
  b.SetFlag(poCurrentWeek, after == 2);
  b.SetFlag(poCurrentDay, after == 3);
  if (after == 4) qbp->adt = -udAfterDate.Position();
  if (after == 5) qbp->adt = dtpAfterDate.Date();

  b.SetFlag(poHiddenAndSystem, chkIncludeSysHidden.Checked());
  b.SetFlag(poSkipLocked, rgLockedFiles.ItemIndex() == 1);

  qbp->cf = tbCompFactor.Position();
  if (qbp->cf > 0 && chkUseDeflate64.Checked()) qbp->cf += 10;

  b.SetFlag(poGrowZip, rbGrowExisting.Checked());
  b.SetFlag(poTempInTarget, rbTargetAsTempDir.Checked());

  qbp->ec = RealPassDialog1.Password;
  b.SetFlag(poDefaultComment, chkUseDefaultCmt.Checked());
  qbp->cmt = mmodlgComment.GetCommaText();

  b.SetFlag(poLargeZip, chkLargeZipFile.Checked());
  qbp->nrl = chkLogZipResults.Checked() ? udNoOfRunLogs.Position() : 0;

  b.SetFlag(poShortNames, chkMangleLongNames.Checked());
  b.SetFlag(poZipTimeOfNewest, chkOldAsLatest.Checked());
  b.SetFlag(poDeleteSources, chkDeleteOriginal.Checked());
  b.SetFlag(poDeleteZipFirst, chkDeleteZipBeforeRunning.Checked());

  qbp->pn = edProfileName.Text();
  return true;
}

bool TWizardForm::Open(unsigned mode, const std::string& profileName) {
  // The window first: its creation loads the target folder history, which must not
  // replace the profile's folder filled in below (as it does not on any later use).
  HandleNeeded();
  storeOnFinish_ = false;
  editedName_.clear();
  if (mode & (wzCopy | wzEdit | wzView)) {
    TQbProfile p;
    // The key is the profile, whatever name its pn holds.
    if (!LoadProfileOfKey(p, profileName)) {
      MsgDlg("The profile \"" + profileName + "\" does not exist", "ie");
      WizardMode = 0;
      return false;
    }
    // Loading never asks the update-mode questions.
    WizardMode = (mode & (wzEdit | wzNewZip)) | wzView;
    ProfileToForm(p);
    if (mode & wzCopy) {
      edZipFN.SetText("");
      edProfileName.SetText("");
    }
    editedName_ = p.pn;
    if (!p.UnreadableGuards().empty()) {
      std::string text = "Profile \"" + p.pn + "\": these values cannot be read, so it does not run:\r\n";
      for (const std::string& line : p.UnreadableGuards()) text += line + "\r\n";
      text += (mode & wzCopy) ? "\r\nThe copy is made without them."
                              : "\r\nSaving keeps each as it is stored until it is given a new one (a new password, "
                                "excludes, media labels or options).";
      MsgDlg(text, "iw");
    }
  } else {
    WizardMode = mode;
    ResetWizardControls();
    if (mode & wzNewMc) SetCheckedQuiet(chkMcProfile, true);
  }
  WizardMode = mode;
  SetCaption((mode & wzEdit)    ? "Edit Profile"
             : (mode & wzView)  ? "View Profile"
             : (mode & wzNewZip) ? "Create New ZIP File"
                                 : "Create New Profile");
  storeOnFinish_ = (mode & (wzNew | wzNewMc | wzCopy | wzEdit)) && !(mode & wzView);
  return true;
}

bool TWizardForm::StoreOnFinish() {
  auto p = std::make_unique<TQbProfile>();
  // An edited profile keeps what the wizard does not show (last run, sizes, results).
  if (IsEditMode()) p->LoadFromRegistry(editedName_);
  FormToProfile(p.get());
  p->pn = tk::Trim(p->pn);
  const std::string key = p->RegistryKey();
  TFernoIni ini;
  const bool existed = !p->pn.empty() && ini.SectionExists(key);
  bool saved = !p->pn.empty() && p->SaveToRegistry();
  // The writes report nothing: read the record back to know it is there.
  if (saved) {
    TQbProfile check;
    // A value kept unreadable loads as it did before the save.
    const bool loaded = check.LoadFromRegistry(p->pn) || !check.UnreadableGuards().empty();
    saved = loaded && check.pn == p->pn && check.zf == p->zf &&
            check.b->GetValue() == p->b->GetValue() && check.il == p->il && check.cns == p->cns;
  }
  if (!saved) {
    // A new profile leaves no half-written key behind; never erase with an empty name.
    if (!existed && !p->pn.empty() && ini.SectionExists(key)) ini.EraseSection(key);
    MsgDlg("The profile \"" + p->pn + "\" could not be saved", "ie");
    return false;
  }
  stored_ = std::move(p);
  return true;
}
