#include "manager/filters.h"

#include "manager/formfont.h"
#include "manager/mainservices.h"
#include "manager/profilechecks.h"
#include "settings/fernoglobal.h"
#include "settings/fernoini.h"
#include "settings/qbprofile.h"
#include "settings/vglobal.h"
#include "toolkit/stringlist.h"
#include "toolkit/strings.h"
#include "toolkit/win_inputbox.h"

// ---------------------------------------------------------------- storage

std::string FilterSection(int kind) { return kind == 0 ? "InFilters" : "ExFilters"; }

std::vector<TNamedFilter> ReadFilters(const std::string& section) {
  TFernoIni ini;
  std::vector<TNamedFilter> filters;
  for (const std::string& name : ini.ReadSection(section)) filters.push_back({name, ini.ReadString(section, name, "")});
  return filters;
}

std::string ReadFilterData(const std::string& section, const std::string& name) {
  return TFernoIni().ReadString(section, name, "");
}

bool WriteFilter(const std::string& section, const std::string& name, const std::string& data) {
  if (name.empty()) return false;
  return TFernoIni().WriteString(section, name, data);
}

void DeleteFilter(const std::string& section, const std::string& name) {
  if (!name.empty()) TFernoIni().DeleteValue(section, name);
}

bool RenameFilter(const std::string& section, const std::string& oldName, const std::string& newName) {
  if (oldName.empty() || newName.empty() || tk::SameText(oldName, newName)) return false;
  TFernoIni ini;
  if (!ini.ValueExists(section, oldName)) return false;
  if (!ini.WriteString(section, newName, ini.ReadString(section, oldName, ""))) return false;
  ini.DeleteValue(section, oldName);
  return true;
}

// ---------------------------------------------------------------- one filter

TFilterForm::TFilterForm() : TForm(L"TFilterForm") {
  SetCaption("Filter");
  BorderStyle = tk::TBorderStyle::bsDialog;
  BorderIcons = tk::biSystemMenu;
  Position = tk::TPosition::poScreenCenter;
  KeyPreview = true;
  SetFormFont(FontOf("Tahoma", 8));
  SetClientSize(330, 262);
  Declare({
      {.Control = lblName, .Name = "lblName", .Caption = "Filter name", .Bounds = {12, 12, 0, 0}},
      {.Control = edName, .Name = "edName", .Caption = "", .Bounds = {12, 28, 210, 21}},
      {.Control = lblExts, .Name = "lblExts", .Caption = "Filter (extns without dot)", .Bounds = {12, 60, 0, 0}},
      {.Control = mmoExts, .Name = "mmoExts", .Caption = "", .Bounds = {12, 76, 210, 140}, .Style = tk::mmVScroll},
      {.Control = lblNote, .Name = "lblNote", .Caption = "If the filter contains dot, it won't be preceded with '*.'",
       .Bounds = {12, 222, 0, 0}},
      {.Control = btnOK, .Name = "btnOK", .Caption = "OK", .Bounds = {242, 28, 75, 25}, .Style = tk::btnDefault,
       .ModalResult = tk::mrOk},
      {.Control = btnCancel, .Name = "btnCancel", .Caption = "Cancel", .Bounds = {242, 60, 75, 25},
       .Style = tk::btnCancel, .ModalResult = tk::mrCancel},
      {.Control = btnHelp, .Name = "btnHelp", .Caption = "Help", .Bounds = {242, 92, 75, 25}},
  });
  OnShow = [this] { FormShow(); };
  OnKeyDown = [this](WORD& key, tk::TShiftState) {
    if (key != VK_ESCAPE) return;
    key = 0;
    SetModalResult(tk::mrCancel);
  };
  edName.OnKeyPress = [this](wchar_t& key) { edNameKeyPress(key); };
  mmoExts.OnKeyPress = [this](wchar_t& key) { mmoExtsKeyPress(key); };
  btnOK.OnClick = [this] { btnOKClick(); };
  btnHelp.OnClick = [] {
    if (RunHelpAction) RunHelpAction();
  };
}

void TFilterForm::FormShow() {
  edName.SetEnabled(!EditMode);
  edName.SetColor(EditMode ? tk::clBtnFace : tk::clWindow);
  SetActiveControl(EditMode ? static_cast<tk::TControl*>(&mmoExts) : &edName);
}

void TFilterForm::edNameKeyPress(wchar_t& key) {
  if (key == L'.') key = 0;
}

void TFilterForm::mmoExtsKeyPress(wchar_t& key) {
  if (key >= L'a' && key <= L'z') key = static_cast<wchar_t>(key - L'a' + L'A');
}

void TFilterForm::btnOKClick() {
  tk::TStringList lines;
  for (const std::string& line : mmoExts.Lines()) lines.Add(line);
  std::string message;
  if (edName.Text().empty())
    message = "No filter name entered";
  else if (tk::Trim(mmoExts.Text()).empty())
    message = "No filter extensions entered";
  else if (HasDuplicates(lines))
    message = "Repetition in filter value";
  else if (!EditMode && FilterExists && FilterExists(edName.Text()))
    message = "Filter already exists";
  if (!message.empty()) {
    SetModalResult(tk::mrNone);
    MsgDlg(message, "ii");
    return;
  }
  mmoExts.SetText(tk::Trim(mmoExts.Text()));
}

// ---------------------------------------------------------------- the list

TFiltersForm::TFiltersForm() : TForm(L"TFiltersForm") {
  SetCaption("Exclude filters");
  BorderStyle = tk::TBorderStyle::bsDialog;
  BorderIcons = tk::biSystemMenu;
  Position = tk::TPosition::poScreenCenter;
  SetFormFont(FontOf("Tahoma", 8));
  SetClientSize(420, 300);
  Declare({
      {.Control = ToolBar1, .Name = "ToolBar1", .Caption = "", .Bounds = {0, 0, 420, 26}},
      {.Control = gboxFilters, .Name = "gboxFilters", .Caption = " Exclude filters ", .Bounds = {8, 30, 404, 228}},
      {.Control = lvFilters, .Name = "lvFilters", .Caption = "", .Bounds = {10, 20, 384, 198},
       .Style = tk::lvRowSelect | tk::lvSortCaption, .Parent = &gboxFilters},
      {.Control = btnClose, .Name = "btnClose", .Caption = "Close", .Bounds = {337, 266, 75, 25},
       .Style = tk::btnDefault | tk::btnCancel, .ModalResult = tk::mrCancel},
  });
  ToolBar1.SetFlat(true);
  ToolBar1.ShowCaptions = true;
  ToolBar1.List = true;
  tbAddFilter = &ToolBar1.AddButton(" Add");
  tbEditFilter = &ToolBar1.AddButton(" Edit");
  tbDeleteFilter = &ToolBar1.AddButton(" Delete");
  tbSep = &ToolBar1.AddButton("", -1, tk::TToolButtonStyle::tbsSeparator);
  tbRenameFilter = &ToolBar1.AddButton(" Rename");
  tbAddFilter->Name = "tbAddFilter";
  tbEditFilter->Name = "tbEditFilter";
  tbDeleteFilter->Name = "tbDeleteFilter";
  tbRenameFilter->Name = "tbRenameFilter";
  tbAddFilter->Hint = "Add filter";
  tbEditFilter->Hint = "Edit filter";
  tbDeleteFilter->Hint = "Delete filter";
  tbRenameFilter->Hint = "Rename filter";
  lvFilters.AddColumn("Name", 110);
  lvFilters.AddColumn("Value", 250);
  UseAlternateRows(lvFilters);

  OnShow = [this] { FormShow(); };
  tbAddFilter->OnClick = [this] { tbAddFilterClick(); };
  tbEditFilter->OnClick = [this] { tbEditFilterClick(); };
  tbDeleteFilter->OnClick = [this] { tbDeleteFilterClick(); };
  tbRenameFilter->OnClick = [this] { tbRenameFilterClick(); };
  lvFilters.OnClick = [this] { UpdateButtons(); };
  lvFilters.OnSelectItem = [this](int, bool) { UpdateButtons(); };
  lvFilters.OnDblClick = [this] { tbEditFilterClick(); };
}

TFilterForm& TFiltersForm::FilterForm() {
  if (!filterForm_) {
    filterForm_ = std::make_unique<TFilterForm>();
    filterForm_->FilterExists = [this](const std::string& name) { return FilterExists(name); };
  }
  return *filterForm_;
}

bool TFiltersForm::FilterExists(const std::string& name) const { return lvFilters.IndexOfCaption(name) >= 0; }

void TFiltersForm::FormShow() {
  const std::string caption = FilterKind == 0 ? "Include filters" : "Exclude filters";
  SetCaption(caption);
  Section = FilterSection(FilterKind);
  gboxFilters.SetCaption(" " + caption + " ");
  if (Images) {
    ToolBar1.SetImages(Images);
    lvFilters.SetSmallImages(Images->Handle());
  }
  LoadRows();
  SetActiveControl(&lvFilters);
}

void TFiltersForm::LoadRows() {
  lvFilters.Clear();
  for (const TNamedFilter& f : ReadFilters(Section)) {
    const int row = lvFilters.AddItem(f.Name, 0, RowImage);
    lvFilters.SetSubItem(row, 0, ExtensionsToMasks(f.Data));
  }
  UpdateButtons();
}

void TFiltersForm::UpdateButtons() {
  const bool selected = lvFilters.ItemIndex() >= 0;
  tbEditFilter->SetEnabled(selected);
  tbDeleteFilter->SetEnabled(selected);
  tbRenameFilter->SetEnabled(selected);
}

void TFiltersForm::Changed() {
  if (OnProfilesChanged) OnProfilesChanged();
}

void TFiltersForm::tbAddFilterClick() {
  TFilterForm& f = FilterForm();
  f.SetCaption("Add");
  f.EditMode = false;
  f.edName.SetText("");
  f.mmoExts.SetText("");
  if (f.ShowModal() != tk::mrOk) return;
  const std::string data = tk::ToCommaText(f.mmoExts.Lines());
  if (!WriteFilter(Section, f.edName.Text(), data)) return;
  const int row = lvFilters.AddItem(f.edName.Text(), 0, RowImage);
  lvFilters.SetSubItem(row, 0, ExtensionsToMasks(data));
  Changed();
}

void TFiltersForm::tbEditFilterClick() {
  const int row = lvFilters.ItemIndex();
  if (row < 0) return;
  TFilterForm& f = FilterForm();
  f.SetCaption("Edit");
  f.EditMode = true;
  const std::string name = lvFilters.ItemCaption(row);
  f.edName.SetText(name);
  f.mmoExts.SetLines(tk::FromCommaText(ReadFilterData(Section, name)));
  if (f.ShowModal() != tk::mrOk) return;
  const std::string data = tk::ToCommaText(f.mmoExts.Lines());
  if (!WriteFilter(Section, f.edName.Text(), data)) return;
  lvFilters.SetItemCaption(row, f.edName.Text());
  lvFilters.SetSubItem(row, 0, ExtensionsToMasks(data));
  Changed();
}

void TFiltersForm::tbDeleteFilterClick() {
  const int row = lvFilters.ItemIndex();
  if (row < 0) return;
  const std::string name = lvFilters.ItemCaption(row);
  if (MsgDlg("Are you sure to delete the exclude filter " + name + " ?", "iw yn") != tk::mrYes) return;
  DeleteFilter(Section, name);
  lvFilters.DeleteItem(row);
  UpdateButtons();
  ForEachListedProfile([&name](TQbProfile& p) { p.RemoveExcludeFilter(name); });
  Changed();
}

void TFiltersForm::tbRenameFilterClick() {
  const int row = lvFilters.ItemIndex();
  if (row < 0) return;
  const std::string oldName = lvFilters.ItemCaption(row);
  std::string newName = oldName;
  if (!tk::InputQuery("Rename", "New name", newName)) return;
  // An empty name would be the key's default value, which lists as no filter at all.
  if (newName.empty()) {
    MsgDlg("No filter name entered", "ii");
    return;
  }
  if (FilterExists(newName)) {
    MsgDlg("Filter name \"" + newName + "\" already exists", "ii");
    return;
  }
  if (!RenameFilter(Section, oldName, newName)) return;
  lvFilters.SetItemCaption(row, newName);
  ForEachListedProfile([&](TQbProfile& p) { p.RenameExcludeFilter(oldName, newName); });
  Changed();
}
