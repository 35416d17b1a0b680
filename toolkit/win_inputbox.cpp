#include "toolkit/win_inputbox.h"

#include <algorithm>

#include "toolkit/strings.h"
#include "toolkit/win_form.h"

namespace tk {

namespace {

class TInputQueryForm : public TForm {
 public:
  TLabel lblPrompt;
  TEdit edValue;
  TButton btnOK, btnCancel;

  TInputQueryForm(const std::string& caption, const std::string& prompt, const std::string& value)
      : TForm(L"TInputQueryForm") {
    BorderStyle = TBorderStyle::bsDialog;
    BorderIcons = biSystemMenu;
    Position = TPosition::poScreenCenter;
    SetCaption(caption);
    // Wide enough for the prompt on one line, never narrower than the usual box.
    HDC dc = GetDC(nullptr);
    HFONT f = CreateFontFromSpec(Font());
    HGDIOBJ old = SelectObject(dc, f);
    const std::wstring w = Widen(prompt);
    SIZE ts{};
    GetTextExtentPoint32W(dc, w.c_str(), static_cast<int>(w.size()), &ts);
    SelectObject(dc, old);
    DeleteObject(f);
    ReleaseDC(nullptr, dc);
    const int width = std::clamp(ScaleFromDpi(ts.cx, ScreenPixelsPerInch()) + 16, 260, 600);
    SetClientSize(width, 96);
    Declare({
        {.Control = lblPrompt, .Name = "lblPrompt", .Caption = prompt, .Bounds = {8, 8, 0, 0}},
        {.Control = edValue, .Name = "edValue", .Caption = value, .Bounds = {8, 26, width - 16, 21}},
        {.Control = btnOK, .Name = "btnOK", .Caption = "OK", .Bounds = {width - 164, 60, 75, 25},
         .Style = btnDefault, .ModalResult = mrOk},
        {.Control = btnCancel, .Name = "btnCancel", .Caption = "Cancel", .Bounds = {width - 83, 60, 75, 25},
         .Style = ::tk::btnCancel, .ModalResult = mrCancel},
    });
    OnShow = [this] {
      edValue.SetFocus();
      edValue.SelectAll();
    };
  }
};

}  // namespace

bool InputQuery(const std::string& caption, const std::string& prompt, std::string& value) {
  TInputQueryForm form(caption, prompt, value);
  if (form.ShowModal() != mrOk) return false;
  value = form.edValue.Text();
  return true;
}

std::string InputBox(const std::string& caption, const std::string& prompt, const std::string& defaultValue) {
  std::string value = defaultValue;
  return InputQuery(caption, prompt, value) ? value : defaultValue;
}

}  // namespace tk
