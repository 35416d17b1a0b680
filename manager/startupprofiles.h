#pragma once
// The start-up and shut-down profiles dialog: one form for two lists, chosen by Mode
// before each showing (1 the profiles the scheduler runs after log-on, 2 those it
// runs when Windows shuts down or the user logs off). It reads its settings when it
// shows and stores them itself on OK.
#include <functional>
#include <string>

#include "manager/help.h"
#include "toolkit/win_form.h"
#include "toolkit/win_groupbox.h"
#include "toolkit/win_updown.h"

class TStartupProfilesForm : public tk::TForm, public THelpTopicSource {
 public:
  TStartupProfilesForm();

  tk::TListView lv;
  tk::TLabel lblSelected;
  tk::TCheckBox chkDisabled;
  tk::TLabel lblStartupDelay;
  tk::TEdit edStartupDelay;
  tk::TUpDown udStartupDelay;
  tk::TLabel lblStartupDelay2;
  tk::TLabel lblCmd;
  tk::TComboBox cbCmd;
  tk::TLabel lblShutdownAction;
  tk::TCheckBox chkAutomaticShutdownAction;
  tk::TRadioGroup rgOnTurnoff;
  tk::TLabel lblOnTurnoff;
  tk::TLabel lblKnownIssue1;
  tk::TButton btnOK, btnCancel, btnHelp;

  static constexpr int StartupMode = 1, ShutdownMode = 2;
  // Set before each showing.
  int Mode = StartupMode;

  std::string HelpTopic() const override { return Mode == ShutdownMode ? "shutdown-profiles" : "startup-profiles"; }

  // Told when OK stored the settings (the main window marks its settings changed).
  std::function<void()> OnSettingsChanged;

  void FormShow();
  void chkDisabledClick();
  void rgOnTurnoffClick();
  void lblKnownIssue1Click();
  void btnOKClick();

 private:
  bool shown_ = false;
};
