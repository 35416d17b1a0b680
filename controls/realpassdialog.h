#pragma once
// Asks for a password in a small modal window without an edit box: the window takes
// the keys itself and shows the typed characters masked, or only the password's
// length as a gradient bar. With AskTwice the password is asked a second time and
// both entries must match. A double quote is refused with a message as it is typed.
#include <windows.h>

#include <string>

namespace g32 {

class TRealPassDialog {
 public:
  TRealPassDialog();
  ~TRealPassDialog();
  TRealPassDialog(const TRealPassDialog&) = delete;
  TRealPassDialog& operator=(const TRealPassDialog&) = delete;

  // True with Password set when the user confirmed (with AskTwice: both entries matched).
  bool Execute();

  std::string Text = "Type the password";
  std::string Password;  // the result, and the starting text of the first entry
  std::string Caption = "Enter password";
  wchar_t PasswordChar = L'*';  // 0 shows the typed text itself
  bool AskTwice = false;
  LOGFONTW PasswordFont{};  // Courier New, 10 points, bold
  HICON PasswordIcon = nullptr;  // kept, not drawn; owned (a copy of what is assigned)
  void SetPasswordIcon(HICON icon);
  bool DisplayIcon = true;  // the length bar instead of the characters
  std::string Text2 = "Re-type the password";

 private:
  bool ShowEntry(std::string& typed);
  bool secondEntry_ = false;
};

}  // namespace g32
