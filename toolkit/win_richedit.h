#pragma once
// The rich edit control, used for plain text only: a memo without the edit
// control's size limit.
#include "toolkit/win_controls.h"

namespace tk {

// With the memo bits: both scroll bars are always shown (greyed while not needed).
constexpr unsigned reScrollBarsAlways = 1u << 24;

// Plain text in one font. mmNoWordWrap keeps long lines whole (scroll sideways).
class TRichEdit : public TMemo {
 public:
  TRichEdit() = default;
  // Replaces the text (CR LF or LF line ends) and puts the caret at the start.
  void SetPlainText(const std::string& text);

 protected:
  void CreateParams(TCreateParams& params) override;
  void AfterCreate() override;
};

}  // namespace tk
