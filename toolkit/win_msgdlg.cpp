#include "toolkit/win_msgdlg.h"

#include <algorithm>

#include "toolkit/strings.h"

namespace tk {

std::string MsgDlgCaption(TMsgDlgType type) {
  switch (type) {
    case TMsgDlgType::mtWarning: return "Warning";
    case TMsgDlgType::mtError: return "Error";
    case TMsgDlgType::mtInformation: return "Information";
    case TMsgDlgType::mtConfirmation: return "Confirm";
    default: return "";
  }
}

namespace {

LPCWSTR IconOf(TMsgDlgType type) {
  switch (type) {
    case TMsgDlgType::mtWarning: return IDI_WARNING;
    case TMsgDlgType::mtError: return IDI_ERROR;
    case TMsgDlgType::mtInformation: return IDI_INFORMATION;
    case TMsgDlgType::mtConfirmation: return IDI_QUESTION;
    default: return nullptr;
  }
}

// The size of the message in the form's font, wrapped at maxWidth (96-DPI pixels).
SIZE MeasureText(const std::string& text, const TFontSpec& font, int maxWidth) {
  int dpi = ScreenPixelsPerInch();
  HDC dc = GetDC(nullptr);
  HFONT f = CreateFontFromSpec(font);
  HGDIOBJ old = SelectObject(dc, f);
  std::wstring w = Widen(text.empty() ? std::string(" ") : text);
  RECT r{0, 0, ScaleToDpi(maxWidth, dpi), 0};
  DrawTextW(dc, w.c_str(), static_cast<int>(w.size()), &r, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS);
  SelectObject(dc, old);
  DeleteObject(f);
  ReleaseDC(nullptr, dc);
  return {ScaleFromDpi(r.right, dpi) + 1, ScaleFromDpi(r.bottom, dpi)};
}

}  // namespace

TMessageForm::TMessageForm(const std::string& text, TMsgDlgType type, TMsgDlgButtons buttons)
    : TForm(L"TMessageForm") {
  constexpr int kMargin = 12, kIcon = 32, kBtnW = 75, kBtnH = 25, kGap = 8;
  BorderStyle = TBorderStyle::bsDialog;
  BorderIcons = biSystemMenu;
  Position = TPosition::poScreenCenter;
  std::string caption = MsgDlgCaption(type);
  SetCaption(caption.empty() ? Application.Title() : caption);
  if (!(buttons & (mbYes | mbNo | mbOK | mbCancel))) buttons = mbOK;

  LPCWSTR icon = IconOf(type);
  int textLeft = icon ? kMargin + kIcon + kMargin : kMargin;
  SIZE ts = MeasureText(text, Font(), 400);
  int contentH = std::max(static_cast<int>(ts.cy), icon ? kIcon : 0);
  int buttonTop = kMargin + contentH + 16;

  struct Spec {
    TMsgDlgButtons bit;
    TButton* button;
    const char* name;
    const char* caption;
    int result;
  };
  const Spec specs[] = {{mbYes, &btnYes, "Yes", "&Yes", mrYes},
                        {mbNo, &btnNo, "No", "&No", mrNo},
                        {mbOK, &btnOK, "OK", "OK", mrOk},
                        {mbCancel, &btnCancel, "Cancel", "Cancel", mrCancel}};
  int count = 0;
  for (const Spec& s : specs) count += (buttons & s.bit) ? 1 : 0;
  int rowW = count * kBtnW + (count - 1) * kGap;
  int clientW = std::max(textLeft + static_cast<int>(ts.cx) + kMargin, rowW + 2 * kMargin);
  SetClientSize(clientW, buttonTop + kBtnH + kMargin);

  if (icon) {
    Declare({.Control = Image, .Name = "Image", .Caption = "", .Bounds = {kMargin, kMargin, kIcon, kIcon}});
    Image.SetIcon(LoadIconW(nullptr, icon));
  }
  Declare({.Control = Message, .Name = "Message", .Caption = text,
           .Bounds = {textLeft, kMargin + (contentH - static_cast<int>(ts.cy)) / 2, static_cast<int>(ts.cx), static_cast<int>(ts.cy)},
           .Style = lblFixedSize | lblWordWrap | lblNoPrefix});

  // Enter works the first button; Esc works Cancel, else No, else OK.
  TMsgDlgButtons cancelBit = (buttons & mbCancel) ? mbCancel : (buttons & mbNo) ? mbNo : mbOK;
  int x = (clientW - rowW) / 2;
  bool first = true;
  for (const Spec& s : specs) {
    if (!(buttons & s.bit)) continue;
    unsigned style = (first ? btnDefault : 0u) | ((s.bit == cancelBit && (buttons & cancelBit)) ? ::tk::btnCancel : 0u);
    Declare({.Control = *s.button, .Name = s.name, .Caption = s.caption, .Bounds = {x, buttonTop, kBtnW, kBtnH},
             .Style = style, .ModalResult = s.result});
    if (first) SetActiveControl(s.button);
    first = false;
    x += kBtnW + kGap;
  }
}

std::unique_ptr<TMessageForm> CreateMessageDialog(const std::string& text, TMsgDlgType type,
                                                  TMsgDlgButtons buttons) {
  return std::make_unique<TMessageForm>(text, type, buttons);
}

int MessageDlg(const std::string& text, TMsgDlgType type, TMsgDlgButtons buttons) {
  auto dialog = CreateMessageDialog(text, type, buttons);
  return dialog->ShowModal();
}

}  // namespace tk
