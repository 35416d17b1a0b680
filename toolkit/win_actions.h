#pragma once
// Actions: one named command with its caption, hint, shortcut, image and state, shared
// by the menu items and tool buttons linked to it. The action list keeps them in
// categories, runs every action's OnUpdate when the application goes idle and pushes
// the resulting enabled, checked and visible states (and captions) into the linked
// items, and dispatches the shortcut keys of its actions while its form is active.
#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "toolkit/win_app.h"
#include "toolkit/win_menu.h"
#include "toolkit/win_toolbar.h"

namespace tk {

class TForm;
class TImageList;

// A key with its modifiers (ssShift, ssAlt, ssCtrl); Key 0 is no shortcut.
struct TShortCut {
  WORD Key = 0;
  TShiftState Shift = 0;
  explicit operator bool() const { return Key != 0; }
  bool operator==(const TShortCut&) const = default;
};
// "Ctrl+N", "Ctrl+Alt+N", "F5", "Del", "Enter", "Ctrl+Up", "Ctrl+1"; "" for none.
std::string ShortCutToText(TShortCut shortCut);

class TActionList;

class TAction {
 public:
  std::string Name, Category, Caption, Hint;
  TShortCut ShortCut;
  // Further keys that work the action; they are not shown in menus or hints.
  std::vector<TShortCut> SecondaryShortCuts;
  // The shortcut works inside the program's modal forms too (help, which asks the
  // active form for its topic).
  bool ShortCutInModalForms = false;
  int ImageIndex = -1;
  bool Enabled = true, Checked = false, Visible = true;
  // Actions with the same group index above 0 are radio items: checking one through
  // SetChecked clears the others.
  int GroupIndex = 0;
  std::function<void()> OnExecute;
  // Runs at every update pass; sets Enabled, Checked, Visible or Caption.
  std::function<void(TAction& action)> OnUpdate;

  void SetChecked(bool on);
  // Menu items and tool buttons that show this action (a button's hint names the
  // shortcut when the hover hints show shortcuts). A menu item keeps its own
  // caption when one is given (a menu text that differs from the action's caption).
  void Link(TMenuItem& item, const std::string& ownCaption = std::string());
  void Link(TToolButton& button);
  // Runs the update, then OnExecute when the action is enabled and visible; true then.
  bool Execute();
  // OnUpdate, then the state goes into every linked item.
  void Update();

 private:
  friend class TActionList;
  void PushState();
  struct TItemLink {
    TMenuItem* Item;
    bool OwnCaption;
  };
  std::vector<TItemLink> items_;
  std::vector<TToolButton*> buttons_;
  TActionList* list_ = nullptr;
};

class TActionList {
 public:
  // Updates run whenever the application goes idle; shortcuts work while owner is
  // the active form and no modal form of the program shows (those of actions with
  // ShortCutInModalForms also while a modal form of the program is active).
  explicit TActionList(TForm& owner);
  ~TActionList();
  TActionList(const TActionList&) = delete;
  TActionList& operator=(const TActionList&) = delete;

  std::string Name;
  TImageList* Images = nullptr;
  TAction& Add(const std::string& name, const std::string& category, const std::string& caption);
  const std::vector<std::unique_ptr<TAction>>& Actions() const { return actions_; }
  std::vector<TAction*> ActionsOf(const std::string& category) const;

  // Every action's update (the idle pass).
  void UpdateActions();
  // The action whose shortcut (or secondary shortcut) is key with shift; when there
  // is one and it is enabled it is executed and the result is true. modalOnly: only
  // the actions whose shortcut works in modal forms.
  bool DispatchShortCut(WORD key, TShiftState shift, bool modalOnly = false);

 private:
  TForm& owner_;
  std::vector<std::unique_ptr<TAction>> actions_;
  int idleId_ = 0, hookId_ = 0;
};

}  // namespace tk
