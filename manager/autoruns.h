#pragma once
// The autorun editors: TAutoRunsForm lists every autorun entry of an in-memory list
// and adds, edits and deletes entries; TAutoRunForm edits one entry (volume labels,
// week days, action, profiles, ask before running). EditAutoRuns loads the list,
// shows the dialog and stores the list on OK. The scheduler is not told: it reads the
// entries at every volume arrival.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "manager/help.h"
#include "controls/memodialog.h"
#include "manager/daysframe.h"
#include "manager/entrylist.h"
#include "settings/qbautoruns.h"
#include "toolkit/win_bitbtn.h"
#include "toolkit/win_form.h"
#include "toolkit/win_menu.h"

// The volume labels of the removable and CD drives present, in drive-letter order
// (drives without a label are skipped).
std::vector<std::string> PresentMediaLabels();

class TAutoRunForm : public tk::TForm, public THelpTopicSource {
 public:
  TAutoRunForm();

  tk::TLabel lblMedia;
  tk::TEdit edMediaNames;
  tk::TButton btn;
  tk::TBitBtn bbtn;  // a drawn arrow: it drops the menu of the labels found
  TDaysFrame DaysFrame1;
  tk::TLabel lblCmd;
  tk::TComboBox cbCmd;
  tk::TCheckBox chkAskToRun;
  tk::TListView lvProfs;
  tk::TLabel lblSelected;
  tk::TButton btnOK, btnCancel, btnHelp;
  g32::TMemoDialog MemoDialog1;
  tk::TPopupMenu PopupMenu1{*this};
  tk::TMenuItem *N1, *N2, *N3, *N4;  // no picture until the list dialog gives its own

  std::string HelpTopic() const override { return "autorun"; }

  void ResetForNew();
  void AutoRunToForm(const TQbAutoRun& e);
  void FormToAutoRun(TQbAutoRun& e) const;

  // Where the label menu's labels come from (a test puts its own).
  std::function<std::vector<std::string>()> ReadMediaLabels = PresentMediaLabels;
  // Opens the label menu at a screen point (a test puts its own in place).
  std::function<void(int x, int y)> PopupAt;

  void FormActivate();
  void FormShow();
  void btnClick();
  void bbtnClick();
  void LabelItemClick(const tk::TMenuItem& item);
  void btnOKClick();
};

class TAutoRunsForm : public TEntryListForm {
 public:
  TAutoRunsForm();

  tk::TListView lvAutoRuns;
  tk::TLabel lblNote1, lblNote2, lblNote3, lblNote4;

  // The list being edited (owned by the caller, set before each showing).
  TQbAutoRuns* AutoRuns = nullptr;
  TAutoRunForm& AutoRunForm();

  void btnOKClick();

 protected:
  int EntryCount() const override;
  void* Entry(int index) const override;
  void ShowRow(int row, const void* entry) override;
  int CompareEntries(const void* a, const void* b) const override;
  void* NewEntry() override;
  bool EditEntry(void* entry) override;
  void RemoveEntry(void* entry) override;

 private:
  std::unique_ptr<TAutoRunForm> autoRunForm_;
};

// Stores the list in place of the stored one: the entries first, then the count, and
// the stored entries beyond it last.
void StoreAutoRuns(const TQbAutoRuns& list);
// Loads the stored autoruns, shows the dialog modally and stores them on OK. True on
// OK (the caller then marks its profiles changed).
bool EditAutoRuns(TAutoRunsForm& form);
