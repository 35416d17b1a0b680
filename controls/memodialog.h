#pragma once
// Edits a multi-line text in a small modal window: a prompt, a memo and OK / Cancel,
// below the memo or at its top right.
#include <windows.h>

#include <string>
#include <string_view>

namespace g32 {

class TMemoDialog {
 public:
  TMemoDialog();

  // True with Text replaced by the memo's text when closed with OK.
  bool Execute();
  // Text := the items of the comma text, each line ended by CR LF.
  void SetCommaText(std::string_view commaText);
  // The lines of Text as comma text.
  std::string GetCommaText() const;

  std::string Prompt = "Prompt";
  std::string Caption = "Caption";
  std::string Text;  // lines separated by CR LF
  int MemoHeight = 0;
  int MemoWidth = 0;
  LOGFONTW Font{};  // Tahoma, 8 points
  bool OKCancelAtTopRight = false;
};

}  // namespace g32
