#include "toolkit/win_toolbar.h"

#include "toolkit/strings.h"
#include "toolkit/win_imagelist.h"

namespace tk {

RECT TToolButton::BoundsRect() const {
  RECT r{0, 0, 0, 0};
  if (bar_ && bar_->Handle()) SendMessageW(bar_->Handle(), TB_GETITEMRECT, static_cast<WPARAM>(index_), reinterpret_cast<LPARAM>(&r));
  return r;
}

void TToolButton::SetEnabled(bool on) {
  enabled_ = on;
  if (bar_ && bar_->Handle()) SendMessageW(bar_->Handle(), TB_ENABLEBUTTON, static_cast<WPARAM>(command_), MAKELPARAM(on, 0));
}

void TToolButton::SetDown(bool on) {
  down_ = on;
  if (!bar_ || !bar_->Handle()) return;
  UINT msg = Style == TToolButtonStyle::tbsCheck ? TB_CHECKBUTTON : TB_PRESSBUTTON;
  SendMessageW(bar_->Handle(), msg, static_cast<WPARAM>(command_), MAKELPARAM(on, 0));
}

void TToolButton::SetCaption(const std::string& caption) {
  caption_ = caption;
  if (!bar_ || !bar_->Handle() || !bar_->ShowCaptions) return;
  std::wstring text = Widen(caption);
  TBBUTTONINFOW info{};
  info.cbSize = sizeof(info);
  info.dwMask = TBIF_TEXT;
  info.pszText = text.data();
  SendMessageW(bar_->Handle(), TB_SETBUTTONINFOW, static_cast<WPARAM>(command_), reinterpret_cast<LPARAM>(&info));
  SendMessageW(bar_->Handle(), TB_AUTOSIZE, 0, 0);
}

void TToolButton::SetImageIndex(int index) {
  image_ = index;
  if (bar_ && bar_->Handle())
    SendMessageW(bar_->Handle(), TB_CHANGEBITMAP, static_cast<WPARAM>(command_), MAKELPARAM(index >= 0 ? index : I_IMAGENONE, 0));
}

void TToolButton::SetVisible(bool on) {
  visible_ = on;
  if (bar_ && bar_->Handle()) SendMessageW(bar_->Handle(), TB_HIDEBUTTON, static_cast<WPARAM>(command_), MAKELPARAM(!on, 0));
}

TToolBar::TToolBar() = default;
TToolBar::~TToolBar() = default;

TToolButton& TToolBar::AddButton(const std::string& caption, int imageIndex, TToolButtonStyle style) {
  auto b = std::make_unique<TToolButton>();
  b->bar_ = this;
  b->caption_ = caption;
  b->image_ = imageIndex;
  b->Style = style;
  b->index_ = ButtonCount();
  b->command_ = nextCommand_++;
  buttons_.push_back(std::move(b));
  if (Handle()) AddButtonWindow(*buttons_.back());
  return *buttons_.back();
}

void TToolBar::SetFlat(bool on) {
  flat_ = on;
  SetStyleBit(TBSTYLE_FLAT, on);
  Invalidate();
}

void TToolBar::SetShowCaptions(bool on, int buttonWidth, int buttonHeight) {
  ShowCaptions = on;
  if (!Handle()) return;
  SendMessageW(Handle(), TB_SETMAXTEXTROWS, on ? 1 : 0, 0);
  for (auto& b : buttons_) {
    if (b->Style == TToolButtonStyle::tbsSeparator || b->Style == TToolButtonStyle::tbsDivider) continue;
    b->SetCaption(b->caption_);
  }
  if (buttonWidth > 0 && buttonHeight > 0) {
    const int d = Dpi();
    const int w = ScaleToDpi(buttonWidth, d);
    SendMessageW(Handle(), TB_SETBUTTONSIZE, 0, MAKELPARAM(w, ScaleToDpi(buttonHeight, d)));
    // The control's own side padding would widen every captioned button past the width
    // asked for; the caption keeps a small margin only.
    const DWORD pad = static_cast<DWORD>(SendMessageW(Handle(), TB_GETPADDING, 0, 0));
    SendMessageW(Handle(), TB_SETPADDING, 0, MAKELPARAM(ScaleToDpi(8, d), HIWORD(pad)));
    // At least that wide, wider where a caption needs it.
    SendMessageW(Handle(), TB_SETBUTTONWIDTH, 0, MAKELPARAM(w, 2 * w));
  }
  SendMessageW(Handle(), TB_AUTOSIZE, 0, 0);
  Invalidate();
}

void TToolBar::SetImages(TImageList* images, TImageList* hot, TImageList* disabled) {
  Images = images;
  HotImages = hot;
  DisabledImages = disabled;
  if (!Handle()) return;
  SendMessageW(Handle(), TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(images ? images->Handle() : nullptr));
  SendMessageW(Handle(), TB_SETHOTIMAGELIST, 0, reinterpret_cast<LPARAM>(hot ? hot->Handle() : nullptr));
  SendMessageW(Handle(), TB_SETDISABLEDIMAGELIST, 0, reinterpret_cast<LPARAM>(disabled ? disabled->Handle() : nullptr));
}

void TToolBar::CreateParams(TCreateParams& p) {
  p.ClassName = TOOLBARCLASSNAMEW;
  p.Style |= CCS_NORESIZE | CCS_NODIVIDER | CCS_NOPARENTALIGN | TBSTYLE_TOOLTIPS;
  if (flat_) p.Style |= TBSTYLE_FLAT;
  if (Transparent) p.Style |= TBSTYLE_TRANSPARENT;
  if (List) p.Style |= TBSTYLE_LIST;
}

void TToolBar::AfterCreate() {
  SendMessageW(Handle(), TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
  // A drop-down button shows its arrow as a part of its own that opens the menu.
  SendMessageW(Handle(), TB_SETEXTENDEDSTYLE, 0, TBSTYLE_EX_DRAWDDARROWS);
  if (!ShowCaptions) SendMessageW(Handle(), TB_SETMAXTEXTROWS, 0, 0);
  SetImages(Images, HotImages, DisabledImages);
  for (auto& b : buttons_) AddButtonWindow(*b);
}

void TToolBar::AddButtonWindow(TToolButton& b) {
  std::wstring text = Widen(b.caption_);
  TBBUTTON tb{};
  tb.iBitmap = b.image_ >= 0 ? b.image_ : I_IMAGENONE;
  tb.idCommand = b.command_;
  tb.fsState = static_cast<BYTE>((b.enabled_ ? TBSTATE_ENABLED : 0) | (b.visible_ ? 0 : TBSTATE_HIDDEN) |
                                 (b.down_ ? (b.Style == TToolButtonStyle::tbsCheck ? TBSTATE_CHECKED : TBSTATE_PRESSED) : 0));
  switch (b.Style) {
    case TToolButtonStyle::tbsCheck: tb.fsStyle = BTNS_CHECK; break;
    case TToolButtonStyle::tbsDropDown: tb.fsStyle = BTNS_DROPDOWN; break;
    case TToolButtonStyle::tbsSeparator:
    case TToolButtonStyle::tbsDivider: tb.fsStyle = BTNS_SEP; tb.iBitmap = 8; break;
    default: tb.fsStyle = BTNS_BUTTON; break;
  }
  if (b.Style != TToolButtonStyle::tbsSeparator && b.Style != TToolButtonStyle::tbsDivider && ShowCaptions)
    tb.iString = reinterpret_cast<INT_PTR>(text.c_str());
  tb.dwData = reinterpret_cast<DWORD_PTR>(&b);
  SendMessageW(Handle(), TB_INSERTBUTTONW, static_cast<WPARAM>(b.index_), reinterpret_cast<LPARAM>(&tb));
}

TToolButton* TToolBar::ButtonAt(POINT pt) const {
  if (!Handle()) return nullptr;
  int index = static_cast<int>(SendMessageW(Handle(), TB_HITTEST, 0, reinterpret_cast<LPARAM>(&pt)));
  if (index < 0 || index >= ButtonCount()) return nullptr;
  TToolButton& b = Button(index);
  if (!b.Visible() || b.Style == TToolButtonStyle::tbsSeparator || b.Style == TToolButtonStyle::tbsDivider)
    return nullptr;
  return &b;
}

TToolButton* TToolBar::ByCommand(int command) const {
  for (auto& b : buttons_)
    if (b->command_ == command) return b.get();
  return nullptr;
}

bool TToolBar::HandleParentMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
  if (msg == WM_COMMAND) {
    if (TToolButton* b = ByCommand(LOWORD(wp))) {
      if (b->OnClick) b->OnClick();
      *result = 0;
      return true;
    }
    return false;
  }
  if (msg != WM_NOTIFY) return false;
  auto* h = reinterpret_cast<NMHDR*>(lp);
  if (h->code == TBN_DROPDOWN) {
    // The arrow part of a drop-down button opens its menu below the button.
    TToolButton* b = ByCommand(reinterpret_cast<NMTOOLBARW*>(lp)->iItem);
    if (!b || !b->DropdownMenu) return false;
    RECT r = b->BoundsRect();
    MapWindowPoints(Handle(), HWND_DESKTOP, reinterpret_cast<POINT*>(&r), 2);
    b->DropdownMenu->Popup(r.left, r.bottom);
    *result = TBDDRET_DEFAULT;
    return true;
  }
  if (h->code != NM_CUSTOMDRAW || !OnCustomDrawButton) return false;
  auto* cd = reinterpret_cast<NMTBCUSTOMDRAW*>(lp);
  if (cd->nmcd.dwDrawStage == CDDS_PREPAINT) {
    *result = CDRF_NOTIFYITEMDRAW;
    return true;
  }
  if (cd->nmcd.dwDrawStage != CDDS_ITEMPREPAINT) return false;
  TToolButton* b = ByCommand(static_cast<int>(cd->nmcd.dwItemSpec));
  if (!b) return false;
  if (!b->Visible()) {
    // A hidden button takes no room and is not painted.
    *result = CDRF_SKIPDEFAULT;
    return true;
  }
  UINT s = cd->nmcd.uItemState;
  TCustomDrawState state = ((s & CDIS_SELECTED) ? cdsSelected : 0) | ((s & CDIS_GRAYED) ? cdsGrayed : 0) |
                           ((s & CDIS_DISABLED) ? cdsDisabled : 0) | ((s & CDIS_CHECKED) ? cdsChecked : 0) |
                           ((s & CDIS_FOCUS) ? cdsFocused : 0) | ((s & CDIS_DEFAULT) ? cdsDefault : 0) |
                           ((s & CDIS_HOT) ? cdsHot : 0) | ((s & CDIS_MARKED) ? cdsMarked : 0) |
                           ((s & CDIS_INDETERMINATE) ? cdsIndeterminate : 0);
  bool defaultDraw = true;
  TCanvas canvas(cd->nmcd.hdc);
  canvas_ = &canvas;
  OnCustomDrawButton.Fn(*this, *b, state, defaultDraw);
  canvas_ = nullptr;
  *result = defaultDraw ? CDRF_DODEFAULT : CDRF_SKIPDEFAULT;
  return true;
}

// ---------------- control bars

TControlBar::TControlBar() : TCustomControl(L"TControlBar") {}

RECT TControlBar::BandRect(const TControl& band) const {
  int d = Dpi();
  TBounds b = band.Bounds();
  int l = ScaleToDpi(b.Left, d), t = ScaleToDpi(b.Top, d);
  return {l - kGripWidth, t - kMargin, l + ScaleToDpi(b.Width, d) + kMargin, t + ScaleToDpi(b.Height, d) + kMargin};
}

LRESULT TControlBar::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_ERASEBKGND) {
    HDC dc = reinterpret_cast<HDC>(wp);
    RECT r;
    GetClipBox(dc, &r);
    TCanvas canvas(dc);
    canvas.Brush.Color = EffectiveColor();
    canvas.FillRect(r);
    return 1;
  }
  return TCustomControl::WndProc(msg, wp, lp);
}

void TControlBar::Paint(TCanvas& canvas) {
  canvas.Brush.Color = EffectiveColor();
  canvas.FillRect(ClientRect());
  for (TControl* c : Controls()) {
    if (!c->Visible()) continue;
    RECT r = BandRect(*c);
    TBandPaintOptions options = bpoFrame | bpoGrabber;
    if (OnBandPaint) OnBandPaint.Fn(*this, *c, canvas, r, options);
    if (options & bpoFrame) canvas.DrawEdge(r, BDR_RAISEDINNER, BF_RECT);
    if (options & bpoGrabber) {
      RECT g{r.left + 3, r.top + 3, r.left + 6, r.bottom - 3};
      canvas.DrawEdge(g, BDR_RAISEDINNER, BF_RECT);
    }
  }
}

}  // namespace tk
