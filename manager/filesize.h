#pragma once
// The volume size in other units, opened from the split dialog: the size in bytes,
// KB or MB, each computed from the one being typed.
#include <cstdint>
#include <string>

#include "toolkit/win_form.h"
#include "toolkit/win_groupbox.h"

class TFileSizeForm : public tk::TForm {
 public:
  TFileSizeForm();

  tk::TRadioGroup rgSizeIn;
  tk::TGroupBox gboxSize;
  tk::TLabel lblBytes, lblKB, lblMB;
  tk::TEdit edBytes, edKB, edMB;
  tk::TButton btnOK, btnCancel;

  // 64-bit: a volume may be larger than 2 GB.
  int64_t Bytes = 0;
  double KB = 0, MB = 0;

  void rgSizeInClick();
  void edBytesKeyPress(wchar_t& key);
  void edDecimalKeyPress(wchar_t& key);
  void edBytesChange();
  void edKBChange();
  void edMBChange();
  // Writes the quantities not being typed into their edits; OK only when none is 0.
  void SetSizeFields();
  // The edit of the unit index (0 bytes, 1 KB, 2 MB).
  tk::TEdit* UnitEdit(int index);

 private:
  bool updating_ = false;
};

// Opens the dialog (made once) with size in the unit 'B', 'K' or 'M'. The byte count
// after OK, -1 after Cancel.
int64_t EditFileSize(int64_t size, char unit);
