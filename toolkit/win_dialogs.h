#pragma once
// The system's common dialogs: the folder browser and the open and save dialogs.
#include <windows.h>
#include <commdlg.h>

#include <string>

namespace tk {

// The system's folder browser (file-system folders only). root, when not empty,
// limits the tree to that folder; directory is the start and, on OK, the choice.
// Returns false when cancelled (directory unchanged). owner nullptr: the active form.
// newStyle: the resizable browser with its own "new folder" button. COM is initialised for
// the calling thread while the browser is shown, as the browser needs it.
bool SelectDirectory(const std::string& caption, const std::string& root, std::string& directory,
                     HWND owner = nullptr, bool newStyle = false);

// Options of the open and save dialogs.
using TOpenOptions = unsigned;
constexpr TOpenOptions ofOverwritePrompt = 1, ofHideReadOnly = 2, ofPathMustExist = 4,
                       ofFileMustExist = 8, ofNoChangeDir = 16, ofEnableSizing = 32;

class TOpenDialog {
 public:
  virtual ~TOpenDialog() = default;
  std::string Title;
  // "Zip files (*.zip)|*.zip|All files (*.*)|*.*": description and masks by '|'.
  std::string Filter;
  int FilterIndex = 1;
  std::string DefaultExt;  // without the dot, e.g. "zip"
  std::string InitialDir;
  std::string FileName;    // proposed name in, chosen name out
  TOpenOptions Options = ofHideReadOnly | ofEnableSizing;
  // Returns true when the user chose a file (FileName then holds it).
  bool Execute(HWND owner = nullptr);

 protected:
  virtual bool Run(OPENFILENAMEW& ofn) { return GetOpenFileNameW(&ofn) != FALSE; }
};

class TSaveDialog : public TOpenDialog {
 protected:
  bool Run(OPENFILENAMEW& ofn) override { return GetSaveFileNameW(&ofn) != FALSE; }
};

// The filter text with '|' turned into NUL separators and a double NUL at the end.
std::wstring FilterToWin32(const std::string& filter);

}  // namespace tk
