#include "manager/entrylist.h"

#include "manager/formfont.h"
#include "manager/profilechecks.h"

TEntryListForm::TEntryListForm(std::wstring className, tk::TListView& rows)
    : TForm(std::move(className)), rows_(rows) {
  BorderStyle = tk::TBorderStyle::bsDialog;
  BorderIcons = tk::biSystemMenu;
  Position = tk::TPosition::poScreenCenter;
  SetFormFont(FontOf("Tahoma", 8));
  ToolBar1.SetFlat(true);
  ToolBar1.ShowCaptions = true;
  ToolBar1.List = true;
}

void TEntryListForm::SetUp(const std::string& entry, bool separatorBeforeDelete) {
  // The list is a member of the dialog of the kind, made after this base.
  UseAlternateRows(rows_);
  rows_.OnClick = [this] { UpdateButtons(); };
  rows_.OnSelectItem = [this](int, bool) { UpdateButtons(); };
  rows_.OnDblClick = [this] { tbEditClick(); };
  tbAdd = &ToolBar1.AddButton(" New");
  tbEdit = &ToolBar1.AddButton(" Edit");
  if (separatorBeforeDelete) ToolBar1.AddButton("", -1, tk::TToolButtonStyle::tbsSeparator);
  tbDelete = &ToolBar1.AddButton(" Delete");
  tbAdd->Hint = "New " + entry;
  tbEdit->Hint = "Edit " + entry;
  tbDelete->Hint = "Delete " + entry;
  tbAdd->Name = "tbAdd";
  tbEdit->Name = "tbEdit";
  tbDelete->Name = "tbDelete";
  tbAdd->OnClick = [this] { tbAddClick(); };
  tbEdit->OnClick = [this] { tbEditClick(); };
  tbDelete->OnClick = [this] { tbDeleteClick(); };
}

void TEntryListForm::SetButtonImages(int addImage, int editImage, int deleteImage) {
  tbAdd->SetImageIndex(addImage);
  tbEdit->SetImageIndex(editImage);
  tbDelete->SetImageIndex(deleteImage);
}

void TEntryListForm::ShowEntries() {
  if (Images) {
    ToolBar1.SetImages(Images);
    rows_.SetSmallImages(Images->Handle());
  }
  rows_.Clear();
  for (int i = 0; i < EntryCount(); ++i) AddRow(Entry(i));
  SortRows();
  UpdateButtons();
  SetActiveControl(&rows_);
}

int TEntryListForm::AddRow(void* entry) {
  const int row = rows_.AddItem("", reinterpret_cast<LPARAM>(entry), RowImage);
  ShowRow(row, entry);
  return row;
}

void TEntryListForm::SortRows() {
  rows_.Sort([this](int a, int b) {
    const int c = CompareEntries(reinterpret_cast<void*>(rows_.Data(a)), reinterpret_cast<void*>(rows_.Data(b)));
    return c < 0 ? -1 : c > 0 ? 1 : 0;
  });
}

void TEntryListForm::UpdateButtons() {
  const bool selected = rows_.ItemIndex() >= 0;
  tbEdit->SetEnabled(selected);
  tbDelete->SetEnabled(selected);
}

void TEntryListForm::tbAddClick() {
  void* entry = NewEntry();
  if (!entry) return;
  AddRow(entry);
  SortRows();
  UpdateButtons();
}

void TEntryListForm::tbEditClick() {
  const int row = rows_.ItemIndex();
  if (row < 0) return;
  void* entry = reinterpret_cast<void*>(rows_.Data(row));
  if (!EditEntry(entry)) return;
  ShowRow(row, entry);
  SortRows();
}

void TEntryListForm::tbDeleteClick() {
  const int row = rows_.ItemIndex();
  if (row < 0) return;
  void* entry = reinterpret_cast<void*>(rows_.Data(row));
  rows_.DeleteItem(row);
  RemoveEntry(entry);
  UpdateButtons();
}
