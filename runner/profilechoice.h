#pragma once
// The profile-choice window shown before an auto-run that carries a question: the
// user ticks which of the named profiles run; the unticked ones are remembered in the
// matching auto-run entry.
#include <string>
#include <vector>

#include "toolkit/win_controls.h"
#include "toolkit/win_form.h"
#include "toolkit/win_timer.h"

class TAskForm : public tk::TForm {
 public:
  // profiles: the names of the command line; question: sMsgBeforeAutoRun;
  // deselect: sProfilesToDeselect (comma text); mediaInserted: sMediaInserted.
  TAskForm(const std::vector<std::string>& profiles, const std::string& question, const std::string& deselect,
           const std::string& mediaInserted);
  ~TAskForm() override;

  tk::TLabel lblMsg;
  tk::TListView lvProfs;
  // The number column: "1" to "9" in bold Courier New, each level with the row that its
  // digit key addresses, drawn where the list shows that row.
  tk::TPaintBox Memo1;
  tk::TButton btnOK, btnCancel, btnSelectAll;
  tk::TLabel Label1, Label2, Label3;
  tk::TTimer Timer1;  // 500 ms, back on top

  // After OK: the ticked names.
  std::vector<std::string> TickedNames() const;
  std::vector<std::string> UntickedNames() const;

 private:
  void FormCreate();
  void FormKeyDown(WORD& key, tk::TShiftState shift);
  void Memo1Paint(tk::TCanvas& canvas);
  void UpdateOK();
  void btnOKClick();
  void RememberDeselection();

  std::vector<std::string> profiles_;
  std::string question_, deselect_, mediaInserted_;
  int numberedTop_ = 0;  // the list's first shown row when the numbers were drawn
};

// Shows the window modally; on OK fills Runner.ProfileSelection and returns true.
bool ShowProfileChoice();
