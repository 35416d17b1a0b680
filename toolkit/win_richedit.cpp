#include "toolkit/win_richedit.h"

#include <richedit.h>

#include "toolkit/strings.h"

namespace tk {

void TRichEdit::CreateParams(TCreateParams& p) {
  static HMODULE lib = LoadLibraryW(L"riched20.dll");
  (void)lib;
  TMemo::CreateParams(p);
  p.ClassName = RICHEDIT_CLASSW;
  if (style_ & reScrollBarsAlways) p.Style |= WS_VSCROLL | WS_HSCROLL | ES_DISABLENOSCROLL;
}

void TRichEdit::AfterCreate() {
  TMemo::AfterCreate();
  // The text mode can be chosen only while the control is empty.
  std::wstring kept = Widen(caption_);
  SetWindowTextW(Handle(), L"");
  SendMessageW(Handle(), EM_SETTEXTMODE, TM_PLAINTEXT | TM_MULTILEVELUNDO | TM_MULTICODEPAGE, 0);
  SendMessageW(Handle(), EM_EXLIMITTEXT, 0, 0x7FFFFFFE);
  // Line width 1 on no target device: lines are never wrapped.
  if (style_ & mmNoWordWrap) SendMessageW(Handle(), EM_SETTARGETDEVICE, 0, 1);
  if (!kept.empty()) SetWindowTextW(Handle(), kept.c_str());
  // The scroll bars chosen above belong to the frame: have it drawn with them.
  SetWindowPos(Handle(), nullptr, 0, 0, 0, 0, SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TRichEdit::SetPlainText(const std::string& text) {
  SetText(text);
  SetSelStart(0);
  if (Handle()) SendMessageW(Handle(), EM_SCROLLCARET, 0, 0);
}

}  // namespace tk
