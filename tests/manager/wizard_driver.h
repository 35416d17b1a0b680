#pragma once
// Drives the profile wizard in-process: steps run one per timer tick inside the
// wizard's modal loop (or the test's own wait), message boxes are answered and
// their texts kept, and the entry dialog is filled and confirmed when it shows.
#include <functional>
#include <string>
#include <vector>

#include "manager/wizard.h"
#include "toolkit/win_timer.h"

namespace wiztest {

// Answers every message box of the process with the button captioned Answer
// (OK when the box has no such button) and keeps what each box said.
class TBoxAnswerer {
 public:
  TBoxAnswerer();
  std::vector<std::string> Said;  // the message of each box answered, in order
  std::string Answer = "OK";
  // The entry dialog: called with it once it shows, then OK is pressed.
  std::function<void(TFSpecForm& dialog)> FillSpec;
  TWizardForm* Wizard = nullptr;

 private:
  tk::TTimer timer_{25, false};
  HWND lastBox_ = nullptr;
  int specTicks_ = 0;
};

// Runs the steps one per tick while the wizard runs modally; when they are done or
// the ticks run out the wizard is cancelled, so a failure costs seconds.
class TSteps {
 public:
  TSteps(TWizardForm& f, std::vector<std::function<void()>> steps);
  bool Done() const { return next_ >= steps_.size(); }

 private:
  TWizardForm& f_;
  std::vector<std::function<void()>> steps_;
  size_t next_ = 0;
  int ticks_ = 0;
  bool busy_ = false;
  tk::TTimer timer_{40, false};
};

// Clicks a button as the user would (the handler runs before this returns).
void Click(const tk::TControl& button);
// Puts text into an edit as typed and leaves the field, so that its exit handler runs.
void Enter(TWizardForm& f, tk::TEdit& edit, const std::string& text);
// Pumps messages for a while (the answers and repaints land).
void Settle(unsigned ms = 60);
// The subkeys of HKCU\Software\Quillbank\<subkey>, in the registry's order.
std::vector<std::string> RegSubkeys(const std::string& subkey);
// The page's title as shown.
std::string Title(const TWizardForm& f);

}  // namespace wiztest
