#include "toolkit/win_groupbox.h"

#include <algorithm>

namespace tk {

TGroupBox::TGroupBox() : TCustomControl(L"TGroupBox") {}
TGroupBox::TGroupBox(std::wstring className) : TCustomControl(std::move(className)) {}

void TGroupBox::Paint(TCanvas& canvas) {
  RECT r = ClientRect();
  const std::string text = Caption();
  const int textH = canvas.TextHeight(text.empty() ? std::string("Ag") : text);
  RECT frame = r;
  frame.top += textH / 2;
  canvas.DrawEdge(frame, EDGE_ETCHED, BF_RECT);
  if (text.empty()) return;
  const int x = ScaleToDpi(8, Dpi());
  RECT t{x, 0, x + canvas.TextWidth(text), textH};
  canvas.Brush.Color = EffectiveColor();
  canvas.FillRect(t);
  if (!Enabled()) canvas.Font.Color = clGrayText;
  canvas.Brush.Style = TBrushStyle::bsClear;
  canvas.DrawText(text, t, DT_SINGLELINE | DT_LEFT | DT_NOPREFIX);
}

LRESULT TGroupBox::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  // A click on the frame is no choice of anything: skip the custom control's Click.
  if (msg == WM_LBUTTONUP) return TWinControl::WndProc(msg, wp, lp);
  return TCustomControl::WndProc(msg, wp, lp);
}

TRadioGroup::TRadioGroup() : TGroupBox(L"TRadioGroup") {}

TRadioGroup::~TRadioGroup() {
  for (auto& b : buttons_) RemoveControl(*b);
}

void TRadioGroup::SetItems(const std::vector<std::string>& items) {
  for (auto& b : buttons_) {
    b->DestroyHandle();
    RemoveControl(*b);
  }
  buttons_.clear();
  for (size_t i = 0; i < items.size(); ++i) {
    auto button = std::make_unique<TRadioButton>();
    const std::string name = Name() + "Item" + std::to_string(i);
    Declare({.Control = *button, .Name = name.c_str(), .Caption = items[i], .Bounds = {0, 0, 10, 10}});
    if (!Enabled()) button->SetEnabled(false);
    button->OnClick = [this, raw = button.get()] {
      if (raw->Checked()) Click();
    };
    buttons_.push_back(std::move(button));
  }
  Arrange();
}

std::string TRadioGroup::Item(int index) const {
  return index >= 0 && index < Count() ? buttons_[static_cast<size_t>(index)]->Caption() : std::string();
}

void TRadioGroup::SetColumns(int columns) {
  columns_ = std::max(1, columns);
  Arrange();
}

int TRadioGroup::ItemIndex() const {
  for (int i = 0; i < Count(); ++i)
    if (buttons_[static_cast<size_t>(i)]->Checked()) return i;
  return -1;
}

void TRadioGroup::SetItemIndex(int index) {
  if (index >= 0 && index < Count()) {
    buttons_[static_cast<size_t>(index)]->SetChecked(true);
    return;
  }
  for (auto& b : buttons_) b->SetChecked(false);
}

void TRadioGroup::SetEnabled(bool enabled) {
  TGroupBox::SetEnabled(enabled);
  for (auto& b : buttons_) b->SetEnabled(enabled);
  Invalidate();
}

void TRadioGroup::Arrange() {
  if (buttons_.empty()) return;
  // Layout in 96-DPI units: the caption band on top, equal rows below it.
  const int left = 8, top = 15, width = Width() - 16, height = Height() - top - 4;
  const int rows = (Count() + columns_ - 1) / columns_;
  const int colW = std::max(1, width / columns_), rowH = std::max(1, height / rows);
  const int buttonH = std::min(rowH, 17);
  for (int i = 0; i < Count(); ++i) {
    const int col = i / rows, row = i % rows;
    buttons_[static_cast<size_t>(i)]->SetBounds(left + col * colW, top + row * rowH + (rowH - buttonH) / 2,
                                                colW - 4, buttonH);
  }
}

LRESULT TRadioGroup::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  LRESULT r = TGroupBox::WndProc(msg, wp, lp);
  if (msg == WM_SIZE) Arrange();
  return r;
}

}  // namespace tk
