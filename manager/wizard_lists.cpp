// The wizard's include and exclude lists, each entry edited in the entry dialog
// (TFSpecForm), and the named exclude filters ticked for the profile.
#include "manager/wizard.h"
#include "settings/foconsts.h"
#include "toolkit/files.h"
#include "toolkit/reginifile.h"
#include "toolkit/stringlist.h"
#include "toolkit/strings.h"

namespace {

tk::TListView& ListOf(TWizardForm& f, bool include) { return include ? f.lvItemList : f.lvExcludeFollowing; }

}  // namespace

bool TWizardForm::MakeRelativePath(const std::string& path, const std::string& base, std::string& relative) {
  const std::string p = tk::IncludeTrailingBackslash(tk::Trim(path));
  const std::string b = tk::IncludeTrailingBackslash(tk::Trim(base));
  if (p.size() > b.size() && tk::SameText(p.substr(0, b.size()), b)) {
    relative = p.substr(b.size());
    return true;
  }
  return false;
}

void TWizardForm::PrepareSpecDialog(int index, bool include) {
  TFSpecForm& f = FSpecForm();
  const std::string base = edBaseDir.Text();
  f.BaseDir = base;
  f.lblPathOptional.SetVisible(!include || !base.empty());
  if (index < 0) {
    f.edName.SetText("*");
    f.scbExt.SetText("");
    return;
  }
  const std::string spec = ListOf(*this, include).ItemCaption(index);
  const std::string folder = tk::ExtractFilePath(spec);
  // A folder below the base folder shows under it; any other (a full path, or one typed
  // without a base folder) shows as it is, so that OK keeps it.
  if (base.empty() || folder.empty() || !tk::ExtractFileDrive(spec).empty()) f.scbPath.SetText(folder);
  else f.scbPath.SetText(tk::IncludeTrailingBackslash(base) + folder);
  const std::string pattern = tk::ExtractFileName(spec);
  if (pattern == "*.*") {
    f.rbAllFileTypes.SetChecked(true);
    return;
  }
  const size_t dot = pattern.find('.');
  f.edName.SetText(pattern.substr(0, dot));
  f.scbExt.SetText(dot == std::string::npos ? std::string() : pattern.substr(dot + 1));
  f.rbThisFileType.SetChecked(true);
}

void TWizardForm::StoreSpecFromDialog(int index, bool include) {
  TFSpecForm& f = FSpecForm();
  const std::string path = f.scbPath.Text();
  std::string folder = path.empty() ? std::string() : tk::IncludeTrailingBackslash(path);
  const std::string base = edBaseDir.Text();
  if (!folder.empty() && !base.empty()) {
    std::string relative;
    folder = MakeRelativePath(folder, base, relative) ? relative : std::string();
  }
  const std::string spec =
      f.rbAllFileTypes.Checked() ? folder + "*.*" : folder + f.edName.Text() + "." + f.scbExt.Text();
  tk::TListView& list = ListOf(*this, include);
  if (index >= 0 && index < list.Count()) list.SetItemCaption(index, spec);
  else list.AddItem(spec);
}

void TWizardForm::SpecAddClick(bool include) {
  PrepareSpecDialog(-1, include);
  if (FSpecForm().ShowModal() != tk::mrCancel) StoreSpecFromDialog(-1, include);
  UpdateSpecButtons();
}

void TWizardForm::SpecEditClick(bool include) {
  tk::TListView& list = ListOf(*this, include);
  const int index = list.SelCount() == 1 ? list.ItemIndex() : -1;
  if (index < 0) return;
  PrepareSpecDialog(index, include);
  if (FSpecForm().ShowModal() != tk::mrCancel) StoreSpecFromDialog(index, include);
  UpdateSpecButtons();
}

void TWizardForm::SpecDeleteClick(bool include) {
  tk::TListView& list = ListOf(*this, include);
  const int index = list.ItemIndex();
  if (index >= 0) list.DeleteItem(index);
  UpdateSpecButtons();
}

void TWizardForm::UpdateSpecButtons() {
  const bool inc = lvItemList.ItemIndex() >= 0, exc = lvExcludeFollowing.ItemIndex() >= 0;
  tbEdit.SetEnabled(inc);
  tbDelete.SetEnabled(inc);
  tbEditEx.SetEnabled(exc);
  tbDeleteEx.SetEnabled(exc);
}

void TWizardForm::LoadExcludeFilters(const std::string& tickedNames) {
  lvExcludeFilters.Clear();
  const std::vector<std::string> ticked = tk::FromCommaText(tickedNames);
  std::vector<std::string> names;
  {
    tk::TRegIniFile reg(QuillbankRootKey);
    names = reg.ReadSection("ExFilters");
  }
  for (const std::string& name : names) {
    const int row = lvExcludeFilters.AddItem(name);
    for (const std::string& t : ticked)
      if (tk::SameText(t, name)) lvExcludeFilters.SetChecked(row, true);
  }
  UpdateExcludeFiltersHeader();
}

std::string TWizardForm::CheckedExcludeFilters() const {
  std::vector<std::string> names;
  for (int i = 0; i < lvExcludeFilters.Count(); ++i)
    if (lvExcludeFilters.Checked(i)) names.push_back(lvExcludeFilters.ItemCaption(i));
  return tk::ToCommaText(names);
}

void TWizardForm::UpdateExcludeFiltersHeader() {
  const int n = lvExcludeFilters.CheckedCount();
  const std::string caption = n > 0 ? "Exclude filters (" + std::to_string(n) + " selected)" : "Exclude filters";
  if (lvExcludeFilters.ColumnCaption(0) != caption) lvExcludeFilters.SetColumnCaption(0, caption);
}
