#pragma once
// The standard message dialog: a form of class "TMessageForm" with the kind's icon
// and caption, the text and a row of buttons. Enter works the first button (Yes or
// OK), Esc the Cancel button, else No, else OK; the close box gives mrCancel.
#include <memory>
#include <string>

#include "toolkit/win_form.h"

namespace tk {

enum class TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };
using TMsgDlgButtons = unsigned;
constexpr TMsgDlgButtons mbYes = 1, mbNo = 2, mbOK = 4, mbCancel = 8;

// Caption of a kind: "Warning", "Error", "Information", "Confirm" ("" for custom).
std::string MsgDlgCaption(TMsgDlgType type);

class TMessageForm : public TForm {
 public:
  TMessageForm(const std::string& text, TMsgDlgType type, TMsgDlgButtons buttons);
  TImage Image;
  TLabel Message;
  // Buttons in the order Yes, No, OK, Cancel; those not asked for stay unmade.
  TButton btnYes, btnNo, btnOK, btnCancel;
};

// Builds the dialog (not shown yet) so that a caller may change its caption or
// size or add a control before ShowModal.
std::unique_ptr<TMessageForm> CreateMessageDialog(const std::string& text, TMsgDlgType type,
                                                  TMsgDlgButtons buttons);
// Shows the dialog modally, centred on the screen; returns the modal result of the
// button pressed (mrYes, mrNo, mrOk or mrCancel).
int MessageDlg(const std::string& text, TMsgDlgType type, TMsgDlgButtons buttons);

}  // namespace tk
