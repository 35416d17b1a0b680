#include "manager/startupprofiles.h"

#include "manager/help.h"

#include "manager/formfont.h"
#include "manager/mainservices.h"
#include "manager/profilechecks.h"
#include "settings/fernoglobal.h"
#include "settings/fernoini.h"
#include "toolkit/strings.h"

namespace {

int ActionIndex(char action) { return action == 'b' ? 2 : action == 'r' ? 0 : action == 't' ? 1 : -1; }

}  // namespace

TStartupProfilesForm::TStartupProfilesForm() : TForm(L"TStartupProfilesForm") {
  SetCaption("Startup profiles");
  BorderStyle = tk::TBorderStyle::bsDialog;
  BorderIcons = tk::biSystemMenu;
  Position = tk::TPosition::poScreenCenter;
  SetFormFont(FontOf("Tahoma", 8));
  SetClientSize(436, 318);
  Declare({
      {.Control = lv, .Name = "lv", .Caption = "", .Bounds = {12, 12, 200, 236},
       .Style = tk::lvCheckBoxes | tk::lvNoColumnClick},
      {.Control = lblSelected, .Name = "lblSelected", .Caption = "0 selected", .Bounds = {12, 252, 0, 0}},
      {.Control = chkDisabled, .Name = "chkDisabled", .Caption = "Disable startup profiles",
       .Bounds = {226, 12, 200, 17}},
      {.Control = lblStartupDelay, .Name = "lblStartupDelay", .Caption = "Startup delay", .Bounds = {226, 44, 0, 0}},
      {.Control = edStartupDelay, .Name = "edStartupDelay", .Caption = "0", .Bounds = {226, 60, 56, 21},
       .Style = tk::edReadOnly},
      {.Control = udStartupDelay, .Name = "udStartupDelay", .Caption = "", .Bounds = {282, 60, 16, 21}},
      {.Control = lblStartupDelay2, .Name = "lblStartupDelay2", .Caption = "secs", .Bounds = {304, 63, 0, 0}},
      {.Control = lblCmd, .Name = "lblCmd", .Caption = "Action to do", .Bounds = {226, 92, 0, 0}},
      {.Control = cbCmd, .Name = "cbCmd", .Caption = "", .Bounds = {226, 108, 110, 21}, .Style = tk::cbList},
      {.Control = lblShutdownAction, .Name = "lblShutdownAction", .Caption = "Shutdown action (turnoff or logoff)",
       .Bounds = {226, 142, 0, 0}},
      {.Control = chkAutomaticShutdownAction, .Name = "chkAutomaticShutdownAction", .Caption = "Automatic",
       .Bounds = {226, 158, 150, 17}},
      {.Control = rgOnTurnoff, .Name = "rgOnTurnoff", .Caption = " On Turn off ", .Bounds = {226, 184, 198, 60}},
      {.Control = lblOnTurnoff, .Name = "lblOnTurnoff", .Caption = "(see Help for details)", .Bounds = {226, 248, 0, 0}},
      {.Control = lblKnownIssue1, .Name = "lblKnownIssue1", .Caption = "Known Issue", .Bounds = {350, 248, 0, 0}},
      {.Control = btnOK, .Name = "btnOK", .Caption = "OK", .Bounds = {184, 282, 75, 25}, .Style = tk::btnDefault,
       .ModalResult = tk::mrOk},
      {.Control = btnCancel, .Name = "btnCancel", .Caption = "Cancel", .Bounds = {266, 282, 75, 25},
       .Style = tk::btnCancel, .ModalResult = tk::mrCancel},
      {.Control = btnHelp, .Name = "btnHelp", .Caption = "Help", .Bounds = {348, 282, 75, 25}},
  });
  lv.AddColumn("Startup profiles", 176);
  udStartupDelay.SetAssociate(&edStartupDelay);
  udStartupDelay.SetRange(0, 3600);
  cbCmd.SetItems({"Run", "Test", "Run & Test"});
  rgOnTurnoff.SetItems({"Power Off", "Shutdown"});
  lblKnownIssue1.SetCursor(IDC_HAND);
  tk::TFontSpec link = lblKnownIssue1.Font();
  link.Underline = true;
  link.Color = tk::clBlue;
  lblKnownIssue1.SetFont(link);

  UseAsProfileChecks(lv, lblSelected);
  OnShow = [this] { FormShow(); };
  chkDisabled.OnClick = [this] { chkDisabledClick(); };
  rgOnTurnoff.OnClick = [this] { rgOnTurnoffClick(); };
  lblKnownIssue1.OnClick = [this] { lblKnownIssue1Click(); };
  btnOK.OnClick = [this] { btnOKClick(); };
  btnHelp.OnClick = [] {
    if (RunHelpAction) RunHelpAction();
  };
}

void TStartupProfilesForm::FormShow() {
  shown_ = false;
  TFernoIni ini;
  std::string list;
  char action = 'r';
  std::string caption = Caption();
  if (Mode == StartupMode) {
    list = ini.GetStartupProfiles();
    action = ini.Gettc();
    lblStartupDelay.SetCaption("Startup delay");
    udStartupDelay.SetRange(0, 3600);
    udStartupDelay.SetPosition(ini.GetStartupDelay());
    chkDisabled.SetChecked(ini.GetDisableStartupProfiles());
    caption = "Startup profiles";
  } else if (Mode == ShutdownMode) {
    list = ini.GetShutdownProfiles();
    action = ini.Gethc();
    lblStartupDelay.SetCaption("Shutdown timer");
    udStartupDelay.SetRange(5, 3600);
    udStartupDelay.SetPosition(ini.GetShutdownDelay());
    chkDisabled.SetChecked(ini.GetShutdownProfilesDisabled());
    caption = "Shutdown profiles";
  }
  SetCaption(caption);
  if (ActionIndex(action) >= 0) cbCmd.SetItemIndex(ActionIndex(action));
  lv.SetColumnCaption(0, caption);
  chkDisabled.SetCaption("Disable " + tk::LowerCase(caption));
  FillProfileChecks(lv, [&list](const std::string& name) { return list.find("\"" + name + "\"") != std::string::npos; });
  chkAutomaticShutdownAction.SetChecked(ini.GetAutomaticShutdownAction());
  rgOnTurnoff.SetItemIndex(ini.GetOnTurnoff());
  const bool shutdown = Mode == ShutdownMode;
  for (tk::TControl* c : std::initializer_list<tk::TControl*>{&lblKnownIssue1, &lblShutdownAction,
                                                              &chkAutomaticShutdownAction, &rgOnTurnoff, &lblOnTurnoff})
    c->SetVisible(shutdown);
  chkDisabledClick();
  SetActiveControl(lv.Enabled() ? static_cast<tk::TControl*>(&lv) : &chkDisabled);
  ShowSelectedCount(lv, lblSelected);
  shown_ = true;
}

void TStartupProfilesForm::chkDisabledClick() {
  const bool on = !chkDisabled.Checked();
  for (tk::TControl* c : std::initializer_list<tk::TControl*>{
           &lv, &lblSelected, &lblCmd, &cbCmd, &lblStartupDelay, &lblStartupDelay2, &edStartupDelay, &udStartupDelay,
           &lblShutdownAction, &chkAutomaticShutdownAction, &rgOnTurnoff, &lblOnTurnoff})
    c->SetEnabled(on);
  lv.SetColor(on ? tk::clWindow : tk::clBtnFace);
  edStartupDelay.SetColor(on ? tk::clWindow : tk::clBtnFace);
  lv.Invalidate();
}

void TStartupProfilesForm::rgOnTurnoffClick() {
  if (!shown_ || rgOnTurnoff.ItemIndex() != 0) return;
  const std::string question = std::string("If the system hardware doesn't support \"power off\",\r\n") +
                               "this action could result in a system restart." + "\r\n\r\n" +
                               "Do you know that the system is \"power off\" capable?";
  if (MsgDlg(question, "iw yn") != tk::mrYes) rgOnTurnoff.SetItemIndex(1);
}

void TStartupProfilesForm::lblKnownIssue1Click() {
  ShowHelpTopic("dllinitfails");
}

void TStartupProfilesForm::btnOKClick() {
  const std::string list = QuotedProfileList(CheckedProfileNames(lv));
  if (Mode == ShutdownMode && rgOnTurnoff.ItemIndex() == -1) {
    SetModalResult(tk::mrNone);
    MsgDlg("Select \"Power Off\" or \"Shutdown\"", "ii");
    return;
  }
  static constexpr char letters[] = {'r', 't', 'b'};
  const int index = cbCmd.ItemIndex();
  const char action = index >= 0 && index < 3 ? letters[index] : 'r';
  TFernoIni ini;
  if (Mode == StartupMode) {
    ini.SetStartupProfiles(list);
    ini.Settc(action);
    ini.SetDisableStartupProfiles(chkDisabled.Checked());
    ini.SetStartupDelay(udStartupDelay.Position());
  } else if (Mode == ShutdownMode) {
    ini.SetShutdownProfiles(list);
    ini.Sethc(action);
    ini.SetShutdownProfilesDisabled(chkDisabled.Checked());
    ini.SetShutdownDelay(udStartupDelay.Position());
    ini.SetAutomaticShutdownAction(chkAutomaticShutdownAction.Checked());
    ini.SetOnTurnoff(rgOnTurnoff.ItemIndex());
  }
  if (OnSettingsChanged) OnSettingsChanged();
}
