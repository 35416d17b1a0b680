// The wizard's page checks, the profile-name check of Finish, the key filters, the
// trims on leaving a field and the volume-label button.
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

bool HasDrive(const std::string& spec) { return !tk::ExtractFileDrive(spec).empty(); }

// The message box, then the focus to the control (when one is named); false, as a
// failed check gives it.
bool Fail(const std::string& text, const std::string& codes, tk::TControl* focus = nullptr) {
  MsgDlg(text, codes);
  if (focus && focus->CanFocus()) focus->SetFocus();
  return false;
}

// Blanks and control characters off both ends of every line and of the whole text.
void TrimMemo(tk::TMemo& memo) {
  const std::string text = memo.Text();
  const std::string trimmed = tk::Trim(text);
  if (trimmed != text) memo.SetText(trimmed);
}

}  // namespace

bool TWizardForm::CheckPage(tk::TTabSheet* page) {
  const bool mc = chkMcProfile.Checked();
  if (page == &tsZipFile) {
    if (scbZipFileDir.Text().empty()) return Fail("Specify ZIP file path", "ii", &scbZipFileDir);
    if (edZipFN.Text().empty())
      return Fail(mc ? "Specify share name" : "Specify ZIP file name", "ii", &edZipFN);
    if (!chkAddCurDate.Checked() && !IsEditMode() && !mc &&
        FileExistsQuiet(tk::IncludeTrailingBackslash(scbZipFileDir.Text()) + tk::ChangeFileExt(edZipFN.Text(), ".zip")))
      return Fail("ZIP file with this name already exists.\r\nGive some other name or use a different folder.", "iw",
                  &edZipFN);
    if (chkAddCurDate.Checked() && edDateFormat.Text().empty())
      return Fail("Specify date format", "ii", &edDateFormat);
    return true;
  }
  if (page == &tsHowTo) {
    if (chkCheckVolumeLabel.Checked() && edMediaLabel.Text().empty())
      return Fail("Specify media's volume label", "ii", &edMediaLabel);
    return true;
  }
  if (page == &tsFolderInfo) {
    if (chkAddDirNames.Checked() && rbRelativePath.Checked()) {
      if (!DirExistsQuiet(edBaseDir.Text())) return Fail("Base directory doesn't exist", "ie", &edBaseDir);
      if (lvItemList.Count() == 0) {
        lvItemList.AddItem("*.*");
        chkRecurse.SetChecked(true);
      }
    }
    return true;
  }
  if (page == &tsItemList) {
    if (mc) {
      const std::vector<std::string> lines = mmoCNS.Lines();
      if (lines.empty()) return Fail("No computer names specified.", "ie");
      tk::TStringList names;
      for (const std::string& line : lines) {
        if (tk::Trim(line).empty()) return Fail("Invalid input in computer names", "ie");
        names.Add(line);
      }
      if (HasDuplicates(names)) return Fail("Computer names are repeated", "ie");
      return true;
    }
    if (lvItemList.Count() == 0) return Fail("No file specification(s) specified.", "ie");
    const bool relative = !edBaseDir.Text().empty();
    for (int i = 0; i < lvItemList.Count(); ++i) {
      const bool drive = HasDrive(lvItemList.ItemCaption(i));
      if (drive && relative) return Fail("Full path can't be specified if you store relative path.", "ie", &lvItemList);
      if (!drive && !relative) return Fail("Path must be specified if you store full path info.", "ie", &lvItemList);
    }
    if (!chkAddDirNames.Checked() && chkRecurse.Checked())
      return Fail("You can't add sub-dirs without saving folder info in ZIP file.", "ii");
    return true;
  }
  if (page == &tsExcludeFollowing) {
    for (int i = 0; i < lvExcludeFollowing.Count(); ++i) {
      const std::string spec = lvExcludeFollowing.ItemCaption(i);
      if (HasDrive(spec) && mc)
        return Fail("Full path can't be excluded for multi computer profiles.", "ie", &lvExcludeFollowing);
      if (HasDrive(spec) && !edBaseDir.Text().empty())
        return Fail("Full path can't be excluded if you store relative path.", "ie", &lvExcludeFollowing);
      if (spec == "*.*") return Fail("*.* can't be excluded.", "ie", &lvExcludeFollowing);
    }
    return true;
  }
  if (page == &tsCompFactor) {
    if (chkStoreAndZip.Checked() && tbCompFactor.Position() == 0)
      return Fail("Zero compression is not allowed when using store-and-zip.", "ii", &tbCompFactor);
    if (chkUseDeflate64.Checked() && tbCompFactor.Position() == 0)
      return Fail("Zero compression is not allowed when using Deflate64.", "ii", &tbCompFactor);
    return true;
  }
  return true;
}

bool TWizardForm::ValidateProfileName() {
  // The exit handler trims; a name set in code is trimmed here as well.
  const std::string name = tk::Trim(edProfileName.Text());
  if (name != edProfileName.Text()) edProfileName.SetText(name);
  std::string error;
  if (name.empty()) {
    error = "Profile name is empty";
  } else if (name.find('"') != std::string::npos) {
    error = "Double quotes are not allowed in profile name";
  } else if (ProfileNameHasBadChar(name)) {
    // A backslash would nest keys, a wildcard would widen the zip-log mask.
    error = "Characters \\ / : * ? < > | are not allowed in profile name";
  } else if (tk::SameText(name, TempProfileName)) {
    error = "Profile with this name is not allowed";
  } else if (!IsEditMode()) {
    TFernoIni ini;
    if (ini.SectionExists(ProfileKey(name)))
      error = "A profile with this name already exists";
  }
  if (error.empty()) return false;
  SetModalResult(tk::mrNone);
  if (edProfileName.CanFocus()) edProfileName.SetFocus();
  MsgDlg(error, "ii");
  return true;
}

void TWizardForm::edZipFNKeyPress(wchar_t& key) {
  if (key == 0 || key > 127 || std::string_view("<>?\\|\"*/:").find(static_cast<char>(key)) == std::string_view::npos) return;
  const char c = static_cast<char>(key);
  key = 0;
  MsgDlg(std::string(1, c) + " is not allowed", "ii");
}

void TWizardForm::edZipFNExit() {
  std::string name = tk::Trim(edZipFN.Text());
  if (!name.empty() && !chkMcProfile.Checked()) name = tk::ChangeFileExt(name, ".zip");
  if (name != edZipFN.Text()) edZipFN.SetText(name);
  if (!name.empty() && !chkMcProfile.Checked() && !IsEditMode() && !IsNewZipMode())
    edProfileName.SetText(ExtractFileNameNoExt(name));
}

void TWizardForm::edProfileNameKeyPress(wchar_t& key) {
  if (key == L'"') {
    key = 0;
    MsgDlg("Double quotes are not allowed in profile name.", "ii");
  } else if (key > 0 && key < 128 && IsProfileNameBadChar(static_cast<char>(key))) {
    const char c = static_cast<char>(key);
    key = 0;
    MsgDlg(std::string(1, c) + " is not allowed in profile name.", "ii");
  }
}

void TWizardForm::edProfileNameExit() {
  const std::string name = tk::Trim(edProfileName.Text());
  if (name != edProfileName.Text()) edProfileName.SetText(name);
}

void TWizardForm::mmoCNSExit() { TrimMemo(mmoCNS); }

void TWizardForm::mmoStoreSuffixesKeyPress(wchar_t& key) {
  if (key == L' ' || key == L'.') key = 0;
  else if (key >= L'a' && key <= L'z') key = static_cast<wchar_t>(key - L'a' + L'A');
}

void TWizardForm::mmoStoreSuffixesExit() { TrimMemo(mmoStoreSuffixes); }

void TWizardForm::btnMediaLabelClick() {
  if (scbZipFileDir.Text().empty()) return;
  if (MsgDlg("Add volume label from the target media?", "iqyn") != tk::mrYes) return;
  const std::string label = GetDriveVolumeLabel(scbZipFileDir.Text());
  if (label.empty()) {
    MsgDlg("No media or volume-label exists", "iw");
    return;
  }
  if (label.find(';') != std::string::npos) {
    MsgDlg("Volume label \"" + label + "\" not added. (contains semicolon)", "iw");
    return;
  }
  const std::string list = edMediaLabel.Text();
  const bool present = list.find(';') == std::string::npos ? tk::SameText(list, label) : IsInSemicolonList(label, list);
  if (present) {
    MsgDlg("Volume label \"" + label + "\" is already added", "ii");
    return;
  }
  edMediaLabel.SetText(list.empty() ? label : list + ";" + label);
}
