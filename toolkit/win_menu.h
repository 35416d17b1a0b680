#pragma once
// Menus: a tree of items over Win32 menus, owned by a form. A main menu is the
// form's menu bar; a pop-up menu opens at a screen point. A menu may be switched
// to owner drawing; its items are then measured and drawn by their handlers (or
// plainly by the toolkit when an item has none). Menu messages of the owner form
// (WM_MEASUREITEM, WM_DRAWITEM, WM_COMMAND) are taken by a subclass of the form's
// window that the first menu with a window installs.
#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "toolkit/win_canvas.h"

namespace tk {

class TForm;
class TImageList;
class TMenu;
class TMenuItem;

// A handler together with the object that installed it, so that the installer can
// later tell its own handlers from those of others.
template <class Signature>
struct TOwnedHandler {
  const void* Data = nullptr;
  std::function<Signature> Fn;
  explicit operator bool() const { return static_cast<bool>(Fn); }
  bool InstalledBy(const void* data) const { return Fn && Data == data; }
  void Set(const void* data, std::function<Signature> fn) { Data = data; Fn = std::move(fn); }
  void Clear() { Data = nullptr; Fn = nullptr; }
};
// Draws an item into rect of the canvas (the menu's DC).
using TMenuDrawHandler = TOwnedHandler<void(TMenuItem& item, TCanvas& canvas, const RECT& rect, bool selected)>;
// Raises width and height to what the item needs.
using TMenuMeasureHandler = TOwnedHandler<void(TMenuItem& item, TCanvas& canvas, int& width, int& height)>;

class TMenuItem {
 public:
  explicit TMenuItem(std::string caption = "");
  ~TMenuItem();
  TMenuItem(const TMenuItem&) = delete;
  TMenuItem& operator=(const TMenuItem&) = delete;

  std::string Name;
  int Tag = 0;
  // "-" makes a separator.
  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& caption);
  bool IsLine() const { return caption_ == "-"; }
  // The shortcut as shown right of the caption ("Ctrl+N"); empty for none.
  const std::string& ShortCutText() const { return shortCut_; }
  void SetShortCutText(const std::string& text);
  bool Checked() const { return checked_; }
  void SetChecked(bool on);
  bool RadioItem() const { return radio_; }
  void SetRadioItem(bool on);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool on);
  bool Default() const { return default_; }
  // A hidden item stays in the tree but is left out of the Win32 menu.
  bool Visible() const { return visible_; }
  void SetVisible(bool on);
  // Image of the item: an index into the parent's sub-menu images or the menu's
  // images (-1: none), else the item's own bitmap (not owned). A menu that is not
  // owner drawn shows it left of the caption, the list's image drawn by the toolkit
  // (transparent, on the item's own background).
  int ImageIndex = -1;
  HBITMAP Bitmap = nullptr;
  // Images for the items below this one (overrides the menu's images).
  TImageList* SubMenuImages = nullptr;

  std::function<void()> OnClick;
  TMenuDrawHandler OnDrawItem;
  TMenuMeasureHandler OnMeasureItem;

  // Children. Add appends (at run time too: the menu's windows are rebuilt).
  TMenuItem& Add(const std::string& caption);
  TMenuItem& Add(std::unique_ptr<TMenuItem> item);
  int Count() const { return static_cast<int>(items_.size()); }
  TMenuItem& operator[](int index) const { return *items_[static_cast<size_t>(index)]; }
  TMenuItem* Parent() const { return parent_; }
  TMenu* Menu() const;  // the menu the item belongs to (nullptr while loose)
  UINT Command() const { return command_; }
  // The Win32 menu of the children (nullptr until built).
  HMENU SubHandle() const { return sub_; }

 private:
  friend class TMenu;
  void Changed();
  std::string caption_, shortCut_;
  bool checked_ = false, radio_ = false, enabled_ = true, default_ = false, visible_ = true;
  std::vector<std::unique_ptr<TMenuItem>> items_;
  TMenuItem* parent_ = nullptr;
  TMenu* menu_ = nullptr;  // set on the root item only
  UINT command_;
  HMENU sub_ = nullptr;
};

class TMenu {
 public:
  virtual ~TMenu();
  TMenu(const TMenu&) = delete;
  TMenu& operator=(const TMenu&) = delete;

  std::string Name;
  int Tag = 0;
  TImageList* Images = nullptr;
  bool RightToLeft = false;
  TMenuItem& Items() { return root_; }
  TForm* Owner() const { return owner_; }
  bool IsMainMenu() const { return main_; }
  bool OwnerDraw() const { return ownerDraw_; }
  void SetOwnerDraw(bool on);
  // The Win32 menu (built on first use).
  HMENU Handle();
  bool HandleAllocated() const { return handle_ != nullptr; }
  // Rebuilds the Win32 menus from the items (after structural changes).
  void Rebuild();
  TMenuItem* FindCommand(UINT command);

  // Menus of a form, in creation order.
  static std::vector<TMenu*> MenusOf(const TForm* form);
  // Told when an item is added to a menu of the form; the id removes the listener.
  static int AddInsertListener(const TForm* form, std::function<void(TMenuItem& item)> listener);
  static void RemoveInsertListener(int id);

  // --- used by the form subclass ---
  void ItemInserted(TMenuItem& item);
  void WindowGone();

 protected:
  TMenu(TForm& owner, bool main);
  void HookOwner();
  virtual void Rebuilt() {}

 private:
  void Build(TMenuItem& parent, HMENU into);
  void Free(TMenuItem& item);
  TForm* owner_;
  bool main_;
  bool ownerDraw_ = false;
  HMENU handle_ = nullptr;
  TMenuItem root_;
};

// The form's menu bar: shown once the form's window exists (Attach after that).
class TMainMenu : public TMenu {
 public:
  explicit TMainMenu(TForm& owner) : TMenu(owner, true) {}
  ~TMainMenu() override;
  // Puts the menu on the owner's window (call when the window exists).
  void Attach();

 protected:
  void Rebuilt() override;
};

class TPopupMenu : public TMenu {
 public:
  explicit TPopupMenu(TForm& owner) : TMenu(owner, false) {}
  // Opens at the screen point and runs until the menu closes; the chosen item's
  // OnClick runs before this returns.
  void Popup(int x, int y);
};

}  // namespace tk
