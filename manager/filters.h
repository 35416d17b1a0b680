#pragma once
// Named filters: lists of extensions (or whole masks) under a name, one string value
// per filter below ExFilters (exclude filters) or InFilters (include filters), the
// data being the lines as comma text. Profiles name the exclude filters they use in
// efil, so renames and deletions are carried into every listed profile.
// TFiltersForm lists the filters of one kind and adds, edits, deletes and renames
// them; TFilterForm edits one filter.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "manager/help.h"
#include "toolkit/win_form.h"
#include "toolkit/win_groupbox.h"
#include "toolkit/win_imagelist.h"
#include "toolkit/win_toolbar.h"

// The registry section of a kind: 0 include, 1 exclude.
std::string FilterSection(int kind);
struct TNamedFilter {
  std::string Name;
  std::string Data;  // comma text of the lines
};
// The filters of a section as the registry lists them.
std::vector<TNamedFilter> ReadFilters(const std::string& section);
std::string ReadFilterData(const std::string& section, const std::string& name);
// False (nothing written) for an empty name, which would be the key's default value.
bool WriteFilter(const std::string& section, const std::string& name, const std::string& data);
void DeleteFilter(const std::string& section, const std::string& name);
// The data goes under the new name first; the old value is deleted only when that
// worked, so a failure never loses the filter. False when nothing was renamed.
bool RenameFilter(const std::string& section, const std::string& oldName, const std::string& newName);

class TFilterForm : public tk::TForm, public THelpTopicSource {
 public:
  TFilterForm();

  tk::TLabel lblName;
  tk::TEdit edName;
  tk::TLabel lblExts;
  tk::TMemo mmoExts;
  tk::TLabel lblNote;
  tk::TButton btnOK, btnCancel, btnHelp;

  // True when an existing filter is edited (its name cannot change).
  bool EditMode = false;
  // Whether a filter of that name exists already (set by the list dialog).
  std::function<bool(const std::string& name)> FilterExists;

  std::string HelpTopic() const override { return "efilter"; }

  void FormShow();
  void edNameKeyPress(wchar_t& key);
  void mmoExtsKeyPress(wchar_t& key);
  void btnOKClick();  // ValidateFilter
};

class TFiltersForm : public tk::TForm {
 public:
  TFiltersForm();

  tk::TGroupBox gboxFilters;
  tk::TToolBar ToolBar1;
  tk::TToolButton *tbAddFilter, *tbEditFilter, *tbDeleteFilter, *tbSep, *tbRenameFilter;
  tk::TListView lvFilters;
  tk::TButton btnClose;

  // 0 include, 1 exclude; set before each showing.
  int FilterKind = 0;
  std::string Section;  // "InFilters" or "ExFilters", set when shown

  // The main window's tool-bar images and the image of its exclude-filters button.
  tk::TImageList* Images = nullptr;
  int RowImage = -1;
  // Told after every change (the main window sets ProfilesChanged).
  std::function<void()> OnProfilesChanged;

  TFilterForm& FilterForm();
  bool FilterExists(const std::string& name) const;

  void FormShow();
  void LoadRows();
  void UpdateButtons();
  void tbAddFilterClick();
  void tbEditFilterClick();
  void tbDeleteFilterClick();
  void tbRenameFilterClick();

 private:
  void Changed();
  std::unique_ptr<TFilterForm> filterForm_;
};
