#pragma once
// The base of the schedules and autoruns list dialogs: a tool bar with New, Edit and
// Delete over a report list whose rows point at the entries of an in-memory list
// (the rows own nothing), and OK/Cancel. Each kind says how an entry is shown,
// ordered, made, edited and removed; the rows, the buttons and their enabling are
// kept here.
#include <string>

#include "toolkit/win_form.h"
#include "toolkit/win_imagelist.h"
#include "toolkit/win_toolbar.h"

class TEntryListForm : public tk::TForm {
 public:
  tk::TToolBar ToolBar1;
  tk::TToolButton *tbAdd = nullptr, *tbEdit = nullptr, *tbDelete = nullptr;
  tk::TButton btnOK, btnCancel;

  // The main window's tool-bar images (set before the first showing; none: no icons)
  // and the index of the image every row shows.
  tk::TImageList* Images = nullptr;
  int RowImage = -1;
  // The pictures of New, Edit and Delete in Images (-1: none).
  void SetButtonImages(int addImage, int editImage, int deleteImage);

  // Edit and Delete are enabled exactly while a row is selected.
  void UpdateButtons();
  void tbAddClick();
  void tbEditClick();  // also a double click on a row
  void tbDeleteClick();  // no confirmation

 protected:
  TEntryListForm(std::wstring className, tk::TListView& rows);
  // Adds the buttons, with the hints "New ", "Edit " and "Delete " + entry, and wires
  // the list (after the form's table is declared).
  void SetUp(const std::string& entry, bool separatorBeforeDelete);
  // One row per entry in list order, then sorted; the list takes the focus.
  void ShowEntries();

  virtual int EntryCount() const = 0;
  virtual void* Entry(int index) const = 0;
  virtual void ShowRow(int row, const void* entry) = 0;
  virtual int CompareEntries(const void* a, const void* b) const = 0;
  // Shows the editor for a new entry; on OK appends it to the list and returns it,
  // else nullptr.
  virtual void* NewEntry() = 0;
  // Shows the editor for the entry; true when it was changed (OK).
  virtual bool EditEntry(void* entry) = 0;
  // Takes the entry out of the list and frees it.
  virtual void RemoveEntry(void* entry) = 0;

 private:
  int AddRow(void* entry);
  void SortRows();
  tk::TListView& rows_;
};
