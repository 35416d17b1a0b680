#pragma once
// A combo box that remembers what the user typed: a history list and the last text,
// kept in one section of an ini file (all the manager's boxes share ComboBox.ini in
// the per-user application-data folder) or of a registry key below HKEY_CURRENT_USER.
//
// Store layout of a section: "Count" the number of items, "Item0" .. "Item<Count-1>"
// the items in the order they were added, "LastText" the text at the last save
// (boxes with RememberText only).
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "toolkit/inifile.h"
#include "toolkit/reginifile.h"
#include "toolkit/win_controls.h"

namespace g32 {

class TSaveComboBox : public tk::TComboBox {
 public:
  TSaveComboBox();
  ~TSaveComboBox() override;

  // The file's folder is <application data>\<AppDataIniPath>\, or the program's
  // folder when either is empty; the folder is made at the first save. Ignored
  // unless SaveToIni; an empty name keeps the store that is open.
  const std::string& IniFileName() const { return iniFileName_; }
  void SetIniFileName(const std::string& name);
  const std::string& AppDataIniPath() const { return appDataIniPath_; }
  void SetAppDataIniPath(const std::string& folder);  // applies IniFileName again
  // A key path below HKEY_CURRENT_USER. Ignored while SaveToIni.
  const std::string& RegKey() const { return regKey_; }
  void SetRegKey(const std::string& key);
  // The ini file the box uses ("" before an IniFileName was set).
  std::string IniFilePath() const { return iniStore_ ? iniStore_->FileName() : std::string(); }

  std::string Section;
  bool SaveToIni = true;
  bool SaveOnExit = true;     // save when the focus leaves for another control
  bool SaveRepeated = false;  // add a text again that the list holds already
  bool RememberText = true;   // keep the last text in LastText
  // May complete the box's text and may veto a save by clearing doSave; LastText is
  // written after it with the completed text, also when it vetoes.
  std::function<void(TSaveComboBox& sender, bool& doSave)> OnSave;

  // Replaces the list (and, with RememberText, the text) with what the section holds.
  // Nothing happens without a store, a store name or a Section.
  void LoadHistory();
  // Asks OnSave, writes LastText, then adds the text to the list and the store unless
  // it is vetoed, blank, or (without SaveRepeated) in the list already.
  virtual void SaveHistory();

  // Leaving for another control of the form: OnExit, then SaveHistory when SaveOnExit.
  void DoExit() override;

 private:
  std::vector<std::string> StoreValueNames() const;
  std::string StoreRead(const std::string& name) const;
  int StoreReadInteger(const std::string& name) const;
  void StoreWrite(const std::string& name, const std::string& value);
  bool HasStore() const { return SaveToIni ? iniStore_ != nullptr : regStore_ != nullptr; }

  std::unique_ptr<tk::TIniFile> iniStore_;
  std::unique_ptr<tk::TRegIniFile> regStore_;
  std::string regKey_, iniFileName_, appDataIniPath_;
};

}  // namespace g32
