#pragma once
// The dialog that splits a zip into volumes: the zip, the folder and name of the
// volumes and their size, with the number of volumes that gives. The main window
// reads the fields after "Split" and starts the runner (SplitCommandArgs).
#include <cstdint>
#include <string>

#include "controls/savecombobox.h"
#include "manager/dialogkit.h"
#include "toolkit/win_dialogs.h"
#include "toolkit/win_form.h"

class TSpanForm : public tk::TForm, public TFilePickers {
 public:
  TSpanForm();

  tk::TLabel lblZipFN;
  tk::TEdit edZipFN;
  tk::TButton btnZipFN;
  tk::TLabel lblVolDir;
  g32::TSaveComboBox scbVolDir;
  tk::TButton btnVolDir;
  tk::TLabel lblVolFN, lblMaxVolumeSize, lblVolumes, lblNoOfVols;
  tk::TEdit edVolFN, edMaxVolumeSize;
  tk::TButton btnEditVolSize;
  tk::TButton btnOK, btnCancel, btnHelp;
  tk::TOpenDialog OpenDialog1;

  // Size of the zip named in edZipFN, 0 when it is missing or unreadable.
  int64_t ZipSize = 0;

  // Before showing: the zip of the chosen row when it exists, else nothing.
  void PrepareForZip(const std::string& zip);

  void FormCreate();
  void FormShow();
  void edZipFNChange();
  void ReadZipSize();
  void ComputeVolumes();
  void edVolFNKeyPress(wchar_t& key);
  void edMaxVolumeSizeKeyPress(wchar_t& key);
  void btnZipFNClick();
  void btnVolDirClick();
  void btnEditVolSizeClick();
  void scbVolDirExit();
  void scbVolDirSave(g32::TSaveComboBox& sender, bool& doSave);
  void btnOKClick();
  void btnCancelClick();

  // The volume size typed, 0 when it is no number in the 64-bit range.
  int64_t VolumeSize() const;
  // Folder (with backslash when given) + volume name with the extension ".zip".
  std::string VolumeFile() const;

};

// The runner's arguments of the split (after the letter S): zip, volume file, size.
std::string SplitCommandArgs(const TSpanForm& form);
