#pragma once
// The list box, and the file list box: a list box that lists the files of one folder
// matching one mask.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "toolkit/win_controls.h"

namespace tk {

// A single-selection list box. A click that changes the selection fires OnClick, a
// double click OnDblClick; changes made in code fire nothing.
class TListBox : public TControl {
 public:
  TListBox();
  void AddItem(const std::string& item);
  void SetItems(const std::vector<std::string>& items);
  std::vector<std::string> Items() const;
  int Count() const;
  std::string Item(int index) const;
  void Clear();
  // -1 when nothing is selected.
  int ItemIndex() const;
  void SetItemIndex(int index);

 protected:
  void CreateParams(TCreateParams& params) override;
  void AfterCreate() override;
  void BeforeDestroy() override;
  bool HandleParentMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) override;

 private:
  std::vector<std::string> items_;
  int itemIndex_ = -1;
};

// Kinds of files a file list box shows (FILE_ATTRIBUTE_* bits; ftNormal stands for
// files without any of the others, and with it every file the search gives is listed).
constexpr DWORD ftReadOnly = FILE_ATTRIBUTE_READONLY;
constexpr DWORD ftHidden = FILE_ATTRIBUTE_HIDDEN;
constexpr DWORD ftSystem = FILE_ATTRIBUTE_SYSTEM;
constexpr DWORD ftArchive = FILE_ATTRIBUTE_ARCHIVE;
constexpr DWORD ftNormal = FILE_ATTRIBUTE_NORMAL;

// The names (without folder) of the files of Directory that match Mask, in ascending
// order of name without regard to case. Folders are never listed. The list is read
// again by UpdateFileList, not when the folder changes on disk.
class TFileListBox : public TListBox {
 public:
  TFileListBox() = default;
  DWORD FileType = ftNormal;
  void SetDirectory(const std::string& folder);
  void SetMask(const std::string& mask);
  void UpdateFileList();
  // Folder + the selected name; "" when nothing is selected.
  std::string FileName() const;

 private:
  std::string directory_;
  std::string mask_ = "*.*";
};

}  // namespace tk
