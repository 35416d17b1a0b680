#include "wizard_driver.h"

#include "toolkit/strings.h"

namespace wiztest {

namespace {
std::string TextOf(HWND w) {
  wchar_t buf[1024] = {};
  GetWindowTextW(w, buf, 1024);
  return tk::Narrow(buf);
}
}  // namespace

TBoxAnswerer::TBoxAnswerer() {
  timer_.OnTimer = [this] {
    HWND box = FindWindowW(L"TMessageForm", nullptr);
    if (box && box == lastBox_ && IsWindowVisible(box)) return;  // answered, closing
    if (box && IsWindowVisible(box) && IsWindowEnabled(box)) {
      lastBox_ = box;
      // The message is the longest static text of the box.
      std::string text;
      for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        wchar_t cls[32] = {};
        GetClassNameW(c, cls, 32);
        if (std::wstring(cls) == L"Static" && TextOf(c).size() > text.size()) text = TextOf(c);
      }
      Said.push_back(text);
      HWND b = FindWindowExW(box, nullptr, L"Button", tk::Widen(Answer).c_str());
      if (!b) b = FindWindowExW(box, nullptr, L"Button", tk::Widen("&" + Answer).c_str());
      if (!b) b = FindWindowExW(box, nullptr, L"Button", L"OK");
      PostMessageW(b ? b : box, b ? BM_CLICK : WM_CLOSE, 0, 0);
      return;
    }
    if (!Wizard) return;
    TFSpecForm& d = Wizard->FSpecForm();
    const bool shown = d.HandleAllocated() && IsWindowVisible(d.Handle()) && d.Modal() && IsWindowEnabled(d.Handle());
    if (!shown) {
      specTicks_ = 0;
      return;
    }
    if (FillSpec) {
      auto fill = FillSpec;
      FillSpec = nullptr;
      fill(d);
      PostMessageW(d.btnOK.Handle(), BM_CLICK, 0, 0);
    } else if (++specTicks_ > 40) {
      // OK did not close it (or nobody filled it): cancel, and say so.
      Said.push_back("(the entry dialog stayed open)");
      PostMessageW(d.btnCancel.Handle(), BM_CLICK, 0, 0);
      specTicks_ = 0;
    }
  };
  timer_.SetEnabled(true);
}

TSteps::TSteps(TWizardForm& f, std::vector<std::function<void()>> steps) : f_(f), steps_(std::move(steps)) {
  timer_.OnTimer = [this] {
    if (busy_) return;
    busy_ = true;
    if (++ticks_ > 400 || (Done() && f_.Modal())) {
      if (f_.Modal()) f_.SetModalResult(tk::mrCancel);
    } else if (!Done() && f_.Visible()) {
      steps_[next_++]();
    }
    busy_ = false;
  };
  timer_.SetEnabled(true);
}

void Click(const tk::TControl& button) { SendMessageW(button.Handle(), BM_CLICK, 0, 0); }

void Enter(TWizardForm& f, tk::TEdit& edit, const std::string& text) {
  edit.SetFocus();
  edit.SetText(text);
  // Leaving for the Next button runs the field's exit handler.
  f.btnNext.SetFocus();
}

void Settle(unsigned ms) { tk::Application.ProcessUntil([] { return false; }, ms); }

std::vector<std::string> RegSubkeys(const std::string& subkey) {
  std::vector<std::string> out;
  HKEY h;
  const std::wstring path = L"Software\\Quillbank\\" + tk::Widen(subkey);
  if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return out;
  wchar_t name[512];
  for (DWORD i = 0;; ++i) {
    DWORD n = 512;
    if (RegEnumKeyExW(h, i, name, &n, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    out.push_back(tk::Narrow(std::wstring(name, n)));
  }
  RegCloseKey(h);
  return out;
}

std::string Title(const TWizardForm& f) { return f.lblWizPageTitle.Caption(); }

}  // namespace wiztest
