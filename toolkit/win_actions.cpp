#include "toolkit/win_actions.h"

#include "toolkit/win_form.h"
#include "toolkit/win_hovertips.h"

namespace tk {

namespace {

std::string KeyName(WORD key) {
  if ((key >= '0' && key <= '9') || (key >= 'A' && key <= 'Z')) return std::string(1, static_cast<char>(key));
  if (key >= VK_F1 && key <= VK_F24) return "F" + std::to_string(key - VK_F1 + 1);
  switch (key) {
    case VK_RETURN: return "Enter";
    case VK_DELETE: return "Del";
    case VK_INSERT: return "Ins";
    case VK_ESCAPE: return "Esc";
    case VK_UP: return "Up";
    case VK_DOWN: return "Down";
    case VK_LEFT: return "Left";
    case VK_RIGHT: return "Right";
    case VK_HOME: return "Home";
    case VK_END: return "End";
    case VK_PRIOR: return "PgUp";
    case VK_NEXT: return "PgDn";
    case VK_SPACE: return "Space";
    case VK_TAB: return "Tab";
    case VK_BACK: return "BkSp";
    default: return "#" + std::to_string(key);
  }
}

}  // namespace

std::string ShortCutToText(TShortCut sc) {
  if (!sc) return "";
  std::string text;
  if (sc.Shift & ssShift) text += "Shift+";
  if (sc.Shift & ssCtrl) text += "Ctrl+";
  if (sc.Shift & ssAlt) text += "Alt+";
  return text + KeyName(sc.Key);
}

void TAction::SetChecked(bool on) {
  Checked = on;
  if (on && GroupIndex > 0 && list_)
    for (auto& a : list_->Actions())
      if (a.get() != this && a->GroupIndex == GroupIndex) {
        a->Checked = false;
        a->PushState();
      }
  PushState();
}

void TAction::Link(TMenuItem& item, const std::string& ownCaption) {
  items_.push_back({&item, !ownCaption.empty()});
  item.SetCaption(ownCaption.empty() ? Caption : ownCaption);
  item.SetShortCutText(ShortCutToText(ShortCut));
  item.ImageIndex = ImageIndex;
  if (GroupIndex > 0) item.SetRadioItem(true);
  item.OnClick = [this] { Execute(); };
  PushState();
}

void TAction::Link(TToolButton& button) {
  buttons_.push_back(&button);
  button.OnClick = [this] { Execute(); };
  PushState();
}

bool TAction::Execute() {
  Update();
  if (!Enabled || !Visible || !OnExecute) return false;
  OnExecute();
  return true;
}

void TAction::Update() {
  if (OnUpdate) OnUpdate(*this);
  PushState();
}

void TAction::PushState() {
  // The item setters compare first, so an unchanged state rebuilds no menu.
  for (const TItemLink& link : items_) {
    if (!link.OwnCaption && link.Item->Caption() != Caption) link.Item->SetCaption(Caption);
    link.Item->SetEnabled(Enabled);
    link.Item->SetChecked(Checked);
    link.Item->SetVisible(Visible);
  }
  const std::string hint =
      ShortCut && HoverHintTiming().HintShortCuts ? Hint + " (" + ShortCutToText(ShortCut) + ")" : Hint;
  for (TToolButton* b : buttons_) {
    b->Hint = hint;
    if (b->Enabled() != Enabled) b->SetEnabled(Enabled);
    if (b->Visible() != Visible) b->SetVisible(Visible);
    if (b->Style == TToolButtonStyle::tbsCheck && b->Down() != Checked) b->SetDown(Checked);
  }
}

TActionList::TActionList(TForm& owner) : owner_(owner) {
  idleId_ = Application.AddIdleHandler([this] { UpdateActions(); });
  hookId_ = Application.AddMessageHook([this](MSG& msg) {
    if (msg.message != WM_KEYDOWN && msg.message != WM_SYSKEYDOWN) return false;
    const TShiftState shift = KeyboardShiftState() & (ssShift | ssAlt | ssCtrl);
    if (Application.ModalLevel() > 0) {
      const TForm* active = Application.ActiveForm();
      return active && active->Modal() && DispatchShortCut(static_cast<WORD>(msg.wParam), shift, true);
    }
    if (Application.ActiveForm() != &owner_) return false;
    return DispatchShortCut(static_cast<WORD>(msg.wParam), shift);
  });
}

TActionList::~TActionList() {
  Application.RemoveIdleHandler(idleId_);
  Application.RemoveMessageHook(hookId_);
}

TAction& TActionList::Add(const std::string& name, const std::string& category, const std::string& caption) {
  auto a = std::make_unique<TAction>();
  a->Name = name;
  a->Category = category;
  a->Caption = caption;
  a->list_ = this;
  actions_.push_back(std::move(a));
  return *actions_.back();
}

std::vector<TAction*> TActionList::ActionsOf(const std::string& category) const {
  std::vector<TAction*> found;
  for (auto& a : actions_)
    if (a->Category == category) found.push_back(a.get());
  return found;
}

void TActionList::UpdateActions() {
  for (auto& a : actions_) a->Update();
}

bool TActionList::DispatchShortCut(WORD key, TShiftState shift, bool modalOnly) {
  const TShortCut pressed{key, shift};
  for (auto& a : actions_) {
    if (modalOnly && !a->ShortCutInModalForms) continue;
    bool match = a->ShortCut == pressed;
    for (const TShortCut& s : a->SecondaryShortCuts) match = match || s == pressed;
    if (match) return a->Execute();
  }
  return false;
}

}  // namespace tk
