#include "toolkit/win_menu.h"

#include <commctrl.h>

#include <algorithm>

#include "toolkit/strings.h"
#include "toolkit/win_form.h"
#include "toolkit/win_imagelist.h"

namespace tk {

namespace {

std::vector<TMenu*> g_menus;
struct TInsertListener {
  int Id;
  const TForm* Form;
  std::function<void(TMenuItem&)> Fn;
};
std::vector<TInsertListener> g_listeners;
int g_nextListener = 1;
constexpr UINT_PTR kFormSubclassId = 0x514D4E55;

UINT NextCommand() {
  static UINT next = 0x1000;
  UINT c = next++;
  if (next >= 0xF000) next = 0x1000;  // above stay the system's commands
  return c;
}

bool Contains(TMenuItem& parent, const void* item) {
  if (&parent == item) return true;
  for (int i = 0; i < parent.Count(); ++i)
    if (Contains(parent[i], item)) return true;
  return false;
}

// The item behind a menu message's item data, when it is still one of the form's.
TMenuItem* ItemOf(const TForm* form, ULONG_PTR data) {
  const void* p = reinterpret_cast<const void*>(data);
  if (!p) return nullptr;
  for (TMenu* m : TMenu::MenusOf(form))
    if (Contains(m->Items(), p)) return static_cast<TMenuItem*>(const_cast<void*>(p));
  return nullptr;
}

std::string ShownText(const TMenuItem& item) {
  return item.ShortCutText().empty() ? item.Caption() : item.Caption() + "\t" + item.ShortCutText();
}

// The list that holds the item's image, when it has one there.
const TImageList* ListImagesOf(const TMenuItem& item) {
  if (item.ImageIndex < 0) return nullptr;
  if (item.Parent() && item.Parent()->SubMenuImages) return item.Parent()->SubMenuImages;
  TMenu* menu = item.Menu();
  return menu ? menu->Images : nullptr;
}

constexpr int kPictureGap = 4;

// An item of a menu that is not owner drawn asks here only for its image, which the
// system leaves to the menu's owner to measure and draw.
bool IsPictureCall(const TMenuItem& item) {
  TMenu* menu = item.Menu();
  return menu && !menu->OwnerDraw();
}

// The toolkit's own look for owner-drawn items without handlers.
void MeasurePlain(TMenuItem& item, TCanvas& canvas, int& width, int& height) {
  if (item.IsLine()) {
    height = std::max(height, 8);
    return;
  }
  std::string s = item.Caption() + (item.ShortCutText().empty() ? "" : "    " + item.ShortCutText());
  SIZE e = canvas.TextExtent(s);
  width = std::max(width, static_cast<int>(e.cx) + 8);
  height = std::max(height, std::max(static_cast<int>(e.cy) + 4, GetSystemMetrics(SM_CYMENU)));
}

void DrawPlain(TMenuItem& item, TCanvas& canvas, const RECT& rect, bool selected) {
  canvas.Brush.Style = TBrushStyle::bsSolid;
  canvas.Brush.Color = selected ? clHighlight : clMenu;
  canvas.FillRect(rect);
  if (item.IsLine()) {
    int y = (rect.top + rect.bottom) / 2;
    canvas.Pen.Color = clBtnShadow;
    canvas.MoveTo(rect.left + 2, y);
    canvas.LineTo(rect.right - 2, y);
    return;
  }
  canvas.Font.Color = !item.Enabled() ? clGrayText : selected ? clHighlightText : SystemColor(COLOR_MENUTEXT);
  canvas.Brush.Style = TBrushStyle::bsClear;
  RECT r = rect;
  r.left += 4;
  r.right -= 4;
  canvas.DrawText(item.Caption(), r, DT_SINGLELINE | DT_VCENTER | DT_LEFT);
  if (!item.ShortCutText().empty()) canvas.DrawText(item.ShortCutText(), r, DT_SINGLELINE | DT_VCENTER | DT_RIGHT);
}

LRESULT CALLBACK FormMenuProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR) {
  auto* form = dynamic_cast<TForm*>(TControl::FromHandle(hwnd));
  switch (msg) {
    case WM_MEASUREITEM: {
      auto* mis = reinterpret_cast<MEASUREITEMSTRUCT*>(lp);
      if (mis->CtlType != ODT_MENU) break;
      TMenuItem* item = ItemOf(form, mis->itemData);
      if (!item) break;
      if (IsPictureCall(*item)) {
        const TImageList* images = ListImagesOf(*item);
        // With a few pixels between the picture and the caption.
        mis->itemWidth = images ? static_cast<UINT>(images->Width() + kPictureGap) : 0;
        mis->itemHeight = images ? static_cast<UINT>(images->Height()) : 0;
        return TRUE;
      }
      HDC dc = GetDC(hwnd);
      int w = static_cast<int>(mis->itemWidth), h = static_cast<int>(mis->itemHeight);
      {
        TCanvas canvas(dc);
        if (item->OnMeasureItem) item->OnMeasureItem.Fn(*item, canvas, w, h);
        else MeasurePlain(*item, canvas, w, h);
      }
      ReleaseDC(hwnd, dc);
      mis->itemWidth = static_cast<UINT>(std::max(w, 0));
      mis->itemHeight = static_cast<UINT>(std::max(h, 0));
      return TRUE;
    }
    case WM_DRAWITEM: {
      auto* dis = reinterpret_cast<DRAWITEMSTRUCT*>(lp);
      if (dis->CtlType != ODT_MENU) break;
      TMenuItem* item = ItemOf(form, dis->itemData);
      if (!item) break;
      RECT r = dis->rcItem;
      if (IsPictureCall(*item)) {
        if (const TImageList* images = ListImagesOf(*item))
          images->Draw(dis->hDC, r.left, r.top + (r.bottom - r.top - images->Height()) / 2, item->ImageIndex,
                       item->Enabled());
        return TRUE;
      }
      bool selected = (dis->itemState & ODS_SELECTED) != 0;
      TCanvas canvas(dis->hDC);
      if (item->OnDrawItem) item->OnDrawItem.Fn(*item, canvas, r, selected);
      else DrawPlain(*item, canvas, r, selected);
      return TRUE;
    }
    case WM_COMMAND:
      if (HIWORD(wp) == 0 && lp == 0) {
        for (TMenu* m : TMenu::MenusOf(form)) {
          if (TMenuItem* item = m->FindCommand(LOWORD(wp))) {
            if (item->OnClick) item->OnClick();
            return 0;
          }
        }
      }
      break;
    case WM_DESTROY:
      // The window would destroy its menu bar with itself; the menu stays ours.
      for (TMenu* m : TMenu::MenusOf(form)) m->WindowGone();
      break;
    case WM_NCDESTROY:
      RemoveWindowSubclass(hwnd, FormMenuProc, kFormSubclassId);
      break;
    default: break;
  }
  return DefSubclassProc(hwnd, msg, wp, lp);
}

}  // namespace

// ---------------- items

TMenuItem::TMenuItem(std::string caption) : caption_(std::move(caption)), command_(NextCommand()) {}
TMenuItem::~TMenuItem() = default;

TMenu* TMenuItem::Menu() const {
  const TMenuItem* i = this;
  while (i->parent_) i = i->parent_;
  return i->menu_;
}

void TMenuItem::Changed() {
  if (TMenu* m = Menu()) {
    if (m->HandleAllocated()) m->Rebuild();
  }
}

void TMenuItem::SetCaption(const std::string& caption) { caption_ = caption; Changed(); }
void TMenuItem::SetShortCutText(const std::string& text) { shortCut_ = text; Changed(); }
void TMenuItem::SetChecked(bool on) { if (checked_ != on) { checked_ = on; Changed(); } }
void TMenuItem::SetRadioItem(bool on) { if (radio_ != on) { radio_ = on; Changed(); } }
void TMenuItem::SetEnabled(bool on) { if (enabled_ != on) { enabled_ = on; Changed(); } }
void TMenuItem::SetVisible(bool on) { if (visible_ != on) { visible_ = on; Changed(); } }

TMenuItem& TMenuItem::Add(const std::string& caption) { return Add(std::make_unique<TMenuItem>(caption)); }

TMenuItem& TMenuItem::Add(std::unique_ptr<TMenuItem> item) {
  item->parent_ = this;
  items_.push_back(std::move(item));
  TMenuItem& added = *items_.back();
  Changed();
  if (TMenu* m = Menu()) m->ItemInserted(added);
  return added;
}

// ---------------- menus

TMenu::TMenu(TForm& owner, bool main) : owner_(&owner), main_(main) {
  root_.menu_ = this;
  g_menus.push_back(this);
}

TMenu::~TMenu() {
  g_menus.erase(std::remove(g_menus.begin(), g_menus.end(), this), g_menus.end());
  if (handle_) {
    WindowGone();
    DestroyMenu(handle_);
  }
}

std::vector<TMenu*> TMenu::MenusOf(const TForm* form) {
  std::vector<TMenu*> out;
  for (TMenu* m : g_menus)
    if (m->owner_ == form) out.push_back(m);
  return out;
}

int TMenu::AddInsertListener(const TForm* form, std::function<void(TMenuItem&)> listener) {
  g_listeners.push_back({g_nextListener, form, std::move(listener)});
  return g_nextListener++;
}

void TMenu::RemoveInsertListener(int id) {
  std::erase_if(g_listeners, [id](const TInsertListener& l) { return l.Id == id; });
}

void TMenu::ItemInserted(TMenuItem& item) {
  std::vector<std::function<void(TMenuItem&)>> fns;  // a listener may remove itself
  for (auto& l : g_listeners)
    if (l.Form == owner_) fns.push_back(l.Fn);
  for (auto& f : fns) f(item);
}

void TMenu::WindowGone() {
  if (main_ && owner_ && owner_->Handle() && GetMenu(owner_->Handle()) == handle_) SetMenu(owner_->Handle(), nullptr);
}

void TMenu::SetOwnerDraw(bool on) {
  if (ownerDraw_ == on) return;
  ownerDraw_ = on;
  if (handle_) Rebuild();
}

HMENU TMenu::Handle() {
  if (!handle_) Rebuild();
  return handle_;
}

void TMenu::HookOwner() {
  if (owner_ && owner_->Handle()) SetWindowSubclass(owner_->Handle(), FormMenuProc, kFormSubclassId, 0);
}

void TMenu::Rebuild() {
  HMENU old = handle_;
  handle_ = main_ ? CreateMenu() : CreatePopupMenu();
  Build(root_, handle_);
  HookOwner();
  Rebuilt();
  if (old) DestroyMenu(old);  // with its sub-menus
}

void TMenu::Build(TMenuItem& parent, HMENU into) {
  UINT position = 0;
  for (int i = 0; i < parent.Count(); ++i) {
    TMenuItem& item = parent[i];
    if (!item.Visible()) {
      item.sub_ = nullptr;
      continue;
    }
    std::wstring text = Widen(ShownText(item));
    MENUITEMINFOW mi{};
    mi.cbSize = sizeof(mi);
    mi.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_DATA | MIIM_STRING;
    mi.fType = (item.IsLine() ? MFT_SEPARATOR : 0) | (item.RadioItem() ? MFT_RADIOCHECK : 0) |
               (ownerDraw_ ? MFT_OWNERDRAW : 0) | (RightToLeft ? MFT_RIGHTORDER : 0);
    mi.fState = (item.Checked() ? MFS_CHECKED : 0) | (item.Enabled() ? 0 : MFS_DISABLED) |
                (item.Default() ? MFS_DEFAULT : 0);
    mi.wID = item.command_;
    mi.dwItemData = reinterpret_cast<ULONG_PTR>(&item);
    mi.dwTypeData = text.data();
    // Owner-drawn items draw their images themselves.
    if (!ownerDraw_ && !item.IsLine() && (ListImagesOf(item) || item.Bitmap)) {
      mi.fMask |= MIIM_BITMAP;
      mi.hbmpItem = ListImagesOf(item) ? HBMMENU_CALLBACK : item.Bitmap;
    }
    item.sub_ = nullptr;
    if (item.Count() > 0) {
      item.sub_ = CreatePopupMenu();
      Build(item, item.sub_);
      mi.fMask |= MIIM_SUBMENU;
      mi.hSubMenu = item.sub_;
    }
    InsertMenuItemW(into, position++, TRUE, &mi);
  }
}

TMenuItem* TMenu::FindCommand(UINT command) {
  std::function<TMenuItem*(TMenuItem&)> find = [&](TMenuItem& p) -> TMenuItem* {
    for (int i = 0; i < p.Count(); ++i) {
      if ((p[i].Command() & 0xFFFF) == (command & 0xFFFF) && p[i].Count() == 0) return &p[i];
      if (TMenuItem* f = find(p[i])) return f;
    }
    return nullptr;
  };
  return find(root_);
}

// ---------------- main and pop-up menus

TMainMenu::~TMainMenu() = default;

void TMainMenu::Attach() {
  if (!Owner() || !Owner()->Handle()) return;
  SetMenu(Owner()->Handle(), Handle());
  HookOwner();
  DrawMenuBar(Owner()->Handle());
}

void TMainMenu::Rebuilt() {
  HWND h = Owner() ? Owner()->Handle() : nullptr;
  if (h && GetMenu(h)) {
    SetMenu(h, Handle());
    DrawMenuBar(h);
  }
}

void TPopupMenu::Popup(int x, int y) {
  HWND owner = Owner() ? Owner()->Handle() : nullptr;
  HMENU m = Handle();
  UINT flags = TPM_RETURNCMD | TPM_RIGHTBUTTON | (RightToLeft ? TPM_LAYOUTRTL : 0);
  UINT cmd = static_cast<UINT>(TrackPopupMenu(m, flags, x, y, 0, owner, nullptr));
  if (cmd == 0) return;
  if (TMenuItem* item = FindCommand(cmd))
    if (item->OnClick) item->OnClick();
}

}  // namespace tk
