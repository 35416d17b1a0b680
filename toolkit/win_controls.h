#pragma once
// Control wrappers: each is the Win32 control (or a small window class of ours)
// plus the few behaviours the programs rely on. A container (form, panel, custom
// control, frame) declares its controls in one table; the toolkit creates the
// windows from it when the container's window is made.
//
// Events fired by programmatic changes, as the programs expect them:
//   TCheckBox::SetChecked (a change)        -> OnClick
//   TRadioButton::SetChecked(true) (change) -> OnClick (siblings are unchecked)
//   TEdit/TMemo::SetText                    -> OnChange (EN_CHANGE; also before the window exists)
//   TComboBox::SetItemIndex / SetText       -> nothing
//   TListView check, state, item changes    -> OnChange (LVN_ITEMCHANGED)
// Focus: OnExit fires only when the focus moves to another control of the same
// form (not on an application switch, nor when a message box or another form takes
// the focus); the new control's OnEnter follows.
#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "toolkit/win_app.h"
#include "toolkit/win_canvas.h"

namespace tk {

class TForm;
class TWinControl;
class TControl;

// Style bits of a declaration. Bits 0-7 mean the same for every kind; the higher
// bits are read by the kind named in their prefix only.
constexpr unsigned sHidden = 1u << 0;     // Visible false
constexpr unsigned sDisabled = 1u << 1;   // Enabled false
constexpr unsigned sNoTabStop = 1u << 2;  // a control that is a tab stop by default is not
constexpr unsigned sTabStop = 1u << 3;    // a control that is no tab stop by default is one
// TButton
constexpr unsigned btnDefault = 1u << 8;  // Enter works it (BS_DEFPUSHBUTTON)
constexpr unsigned btnCancel = 1u << 9;   // Esc works it
// TCheckBox, TRadioButton
constexpr unsigned chkChecked = 1u << 8;
constexpr unsigned chkAllowGrayed = 1u << 9;  // a click runs through the grayed state too
constexpr unsigned chkLeftText = 1u << 10;    // the caption left of the box (Alignment taLeftJustify)
// TLabel
constexpr unsigned lblFixedSize = 1u << 8;  // no AutoSize (AutoSize is the default)
constexpr unsigned lblWordWrap = 1u << 9;
constexpr unsigned lblCenter = 1u << 10;
constexpr unsigned lblRight = 1u << 11;
constexpr unsigned lblSunken = 1u << 12;
constexpr unsigned lblNoPrefix = 1u << 13;  // '&' is shown, not an accelerator
// TEdit, TMemo
constexpr unsigned edReadOnly = 1u << 8;
constexpr unsigned edNoBorder = 1u << 9;
constexpr unsigned edUpperCase = 1u << 10;
constexpr unsigned edLowerCase = 1u << 11;
constexpr unsigned edRight = 1u << 12;
constexpr unsigned edNumber = 1u << 13;
// TMemo (with the edit bits)
constexpr unsigned mmVScroll = 1u << 16;
constexpr unsigned mmHScroll = 1u << 17;
constexpr unsigned mmNoWordWrap = 1u << 18;    // lines stay as they are (with mmHScroll)
constexpr unsigned mmWantTabs = 1u << 19;      // Tab inserts a tab instead of moving on
constexpr unsigned mmNoWantReturns = 1u << 20; // Enter works the default button
// TComboBox
constexpr unsigned cbList = 1u << 8;  // drop-down list: no typing (csDropDownList)
constexpr unsigned cbSorted = 1u << 9;
constexpr unsigned cbLowerCase = 1u << 10;
constexpr unsigned cbOwnerDrawFixed = 1u << 11;
// TListView (always report style)
constexpr unsigned lvCheckBoxes = 1u << 8;
constexpr unsigned lvRowSelect = 1u << 9;
constexpr unsigned lvGridLines = 1u << 10;
constexpr unsigned lvMultiSelect = 1u << 11;
constexpr unsigned lvNoHeader = 1u << 12;
constexpr unsigned lvNoColumnClick = 1u << 13;
constexpr unsigned lvShowSelAlways = 1u << 14;  // selection shown without focus
constexpr unsigned lvSortCaption = 1u << 15;    // LVS_SORTASCENDING
constexpr unsigned lvEditLabels = 1u << 16;     // captions may be edited in place
// TProgressBar
constexpr unsigned pbSmooth = 1u << 8;
constexpr unsigned pbVertical = 1u << 9;
// TImage
constexpr unsigned imgCenter = 1u << 8;
constexpr unsigned imgStretch = 1u << 9;
// TBevel
constexpr unsigned bvRaisedStyle = 1u << 8;  // raised instead of lowered
// TCustomControl and its kinds (TPanel, TPaintBox, TImage, ...)
constexpr unsigned ccBorder = 1u << 20;       // a sunken client edge

enum class TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };
enum class TAlignment { taLeftJustify, taRightJustify, taCenter };
enum class TMouseButton { mbLeft, mbRight, mbMiddle };
enum class TCheckBoxState { cbUnchecked, cbChecked, cbGrayed };

// Notifications the toolkit passes through a control's window procedure (after the
// Win32 message that caused them), for code that replaces that procedure.
constexpr UINT CM_BASE = WM_APP + 0x3000;
constexpr UINT CM_MOUSEENTER = CM_BASE + 1;      // the mouse came over the window
constexpr UINT CM_MOUSELEAVE = CM_BASE + 2;      // and left it
constexpr UINT CM_ENABLEDCHANGED = CM_BASE + 3;  // after WM_ENABLE
constexpr UINT CM_TEXTCHANGED = CM_BASE + 4;     // after WM_SETTEXT
constexpr UINT CM_FOCUSCHANGED = CM_BASE + 5;    // to every control of a form whose focus moved
constexpr UINT CM_EXIT = CM_BASE + 6;            // the focus left for another control of the form
constexpr UINT CM_CTL3DCHANGED = CM_BASE + 7;    // an edit's border changed
constexpr UINT CM_PARENTCOLORCHANGED = CM_BASE + 8;
constexpr UINT CM_INVALIDATE = CM_BASE + 9;
constexpr UINT CM_PARENTCTL3DCHANGED = CM_BASE + 10;
constexpr UINT CM_LAST = CM_BASE + 0xFF;

// One line of a container's control table.
struct TControlDecl {
  TControl& Control;
  const char* Name;
  std::string Caption;
  TBounds Bounds;                     // pixels at 96 DPI, relative to the parent
  unsigned Style = 0;                 // the bits above
  int ModalResult = 0;                // buttons: the result a click gives the form
  TWinControl* Parent = nullptr;      // nullptr: the container that declares the table
  std::function<void()> OnClick = nullptr;
  std::function<void()> OnChange = nullptr;  // edits, memos, combos, track bars, up-downs, date-time pickers, page controls
};

// What a control asks of CreateWindowExW. Bounds are filled in by the toolkit.
struct TCreateParams {
  std::wstring ClassName;
  DWORD Style = WS_CHILD | WS_CLIPSIBLINGS;
  DWORD ExStyle = 0;
  bool OwnClass = false;  // a class of ours: the toolkit registers it
  UINT ClassStyle = CS_DBLCLKS;
};

// Base of every control: one window, reached from its HWND, with the state that
// is kept while the window does not exist yet (captions, bounds, visibility).
class TControl {
 public:
  TControl();
  virtual ~TControl();
  TControl(const TControl&) = delete;
  TControl& operator=(const TControl&) = delete;

  const std::string& Name() const { return name_; }
  int Tag = 0;

  HWND Handle() const { return hwnd_; }
  bool HandleAllocated() const { return hwnd_ != nullptr; }
  TWinControl* Parent() const { return parent_; }
  TForm* Form() const;  // the form the control sits on (nullptr before it is placed)
  // The wrapper of a window (nullptr for a window that is none of ours).
  static TControl* FromHandle(HWND hwnd);

  // Geometry in pixels at 96 DPI, relative to the parent's client area.
  int Left() const;
  int Top() const;
  int Width() const;
  int Height() const;
  TBounds Bounds() const;
  void SetBounds(int left, int top, int width, int height);
  void SetBounds(const TBounds& b) { SetBounds(b.Left, b.Top, b.Width, b.Height); }
  void SetLeft(int v);
  void SetWidth(int v);
  void SetHeight(int v);
  int ClientWidth() const;
  int ClientHeight() const;
  TAlign Align() const { return align_; }
  void SetAlign(TAlign align);

  // Caption of buttons, labels, forms; the text of edits.
  virtual std::string Caption() const;
  virtual void SetCaption(const std::string& text);

  bool Visible() const { return visible_; }
  virtual void SetVisible(bool visible);
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  bool Enabled() const { return enabled_; }
  virtual void SetEnabled(bool enabled);
  bool TabStop() const { return tabStop_; }
  const std::string& Hint() const { return hint_; }
  void SetHint(const std::string& hint) { hint_ = hint; }

  // Colours: clDefault leaves the control's own (or the parent's) colour.
  TColor Color() const { return color_; }
  virtual void SetColor(TColor color);
  // Font: the parent's font unless the control was given its own.
  const TFontSpec& Font() const;
  void SetFont(const TFontSpec& font);
  HFONT FontHandle() const;
  // Mouse cursor over the control (IDC_HAND for a link label); nullptr: the class's.
  void SetCursor(LPCWSTR systemCursor) { cursor_ = systemCursor; }

  bool CanFocus() const;
  void SetFocus();
  bool Focused() const;
  void Invalidate();
  void Update();
  void BringToFront();

  // Works the control as a click would: fires OnClick (buttons first hand their
  // modal result to the form).
  virtual void Click();

  // The window procedure every message of the window goes through: the control's own
  // unless replaced. A replacement calls the one it replaced for the default handling.
  // release (when given) runs when the control goes while the replacement is in force.
  using TWndMethod = std::function<LRESULT(UINT msg, WPARAM wp, LPARAM lp)>;
  TWndMethod WindowProc();
  void SetWindowProc(TWndMethod proc, const void* owner = nullptr, std::function<void()> release = nullptr);
  const void* WindowProcOwner() const { return hookOwner_; }
  // Sends a message through the window procedure (also while there is no window).
  LRESULT Perform(UINT msg, WPARAM wp = 0, LPARAM lp = 0);

  std::function<void()> OnClick;
  std::function<void()> OnDblClick;
  std::function<void()> OnEnter;
  std::function<void()> OnExit;
  // Key events of the focused control; setting key to 0 swallows the key.
  std::function<void(WORD& key, TShiftState shift)> OnKeyDown;
  std::function<void(WORD& key, TShiftState shift)> OnKeyUp;
  std::function<void(wchar_t& key)> OnKeyPress;
  std::function<void(TMouseButton button, TShiftState shift, int x, int y)> OnMouseDown;
  std::function<void(TMouseButton button, TShiftState shift, int x, int y)> OnMouseUp;
  std::function<void(TShiftState shift, int x, int y)> OnMouseMove;

  // --- used by the containers and the toolkit ---
  void ApplyDecl(const TControlDecl& decl, TWinControl* parent);
  void SetParent(TWinControl* parent) { parent_ = parent; }
  virtual void CreateHandle();   // makes the window (the parent's must exist)
  virtual void DestroyHandle();  // destroys it; the state above stays
  // Messages the parent receives on behalf of this control (WM_COMMAND, WM_NOTIFY,
  // WM_CTLCOLOR*, WM_DRAWITEM, WM_MEASUREITEM, WM_HSCROLL, WM_VSCROLL); true when
  // handled, with the result in *result.
  virtual bool HandleParentMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result);
  int ControlId() const { return id_; }
  unsigned DeclStyle() const { return style_; }
  // Called by the form when the control got the focus / a key event reached it.
  bool DoKeyDown(WORD& key, TShiftState shift);
  bool DoKeyPress(wchar_t& key);
  // The focus left for another control of the same form: fires OnExit. A control
  // that acts on leaving overrides it (and calls this first).
  virtual void DoExit();

 protected:
  virtual void CreateParams(TCreateParams& params) = 0;
  // The lines of a declaration that only some kinds read (a change handler, a
  // button's modal result): each such kind takes its own, so the base knows none.
  virtual void ApplyKindDecl(const TControlDecl&) {}
  // After the window exists: push the kept state into it.
  virtual void AfterCreate() {}
  // Before the window goes: pull what the user changed back into the kept state.
  virtual void BeforeDestroy() {}
  // Every message of the window. The default handles focus, keys, mouse events,
  // the cursor and the end of the window, then calls DefaultProc.
  virtual LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp);
  LRESULT DefaultProc(UINT msg, WPARAM wp, LPARAM lp);
  // The brush for WM_CTLCOLOR*: the control's colour, or the parent's.
  HBRUSH CtlColor(HDC dc, bool isEdit);
  TColor EffectiveColor() const;  // own colour, else the parent's, else button face
  void ApplyFont();
  int Dpi() const;
  void SetStyleBit(DWORD bit, bool on);

  std::string caption_;
  unsigned style_ = 0;
  bool visible_ = true, enabled_ = true, tabStop_ = false;
  TBounds bounds_;  // kept (96 DPI) while there is no window

 private:
  friend class TWinControl;
  friend LRESULT CALLBACK ControlSubclassProc(HWND, UINT, WPARAM, LPARAM);
  friend LRESULT CALLBACK OwnClassProc(HWND, UINT, WPARAM, LPARAM);
  void Attach(HWND hwnd, bool ownClass);
  void Detach();
  LRESULT Dispatch(UINT msg, WPARAM wp, LPARAM lp);

  TWndMethod hook_;
  const void* hookOwner_ = nullptr;
  std::function<void()> hookRelease_;

  std::string name_, hint_;
  HWND hwnd_ = nullptr;
  bool ownClass_ = false;
  TWinControl* parent_ = nullptr;
  TAlign align_ = TAlign::alNone;
  int id_ = 0;
  TColor color_ = clDefault;
  bool ownFont_ = false;
  TFontSpec font_;
  mutable HFONT hfont_ = nullptr;
  HBRUSH brush_ = nullptr;
  TColor brushColor_ = clNone;
  LPCWSTR cursor_ = nullptr;
  bool tracking_ = false;
};

// A control that holds other controls: declares them, creates them with itself,
// passes their notifications back to them and lays out aligned children.
class TWinControl : public TControl {
 public:
  TWinControl();
  ~TWinControl() override;

  // Declares controls in table order (which is also the tab order). When this
  // container's window exists already, the new windows are made at once.
  void Declare(std::initializer_list<TControlDecl> table);
  void Declare(const TControlDecl& decl) { Declare({decl}); }
  // A control placed here in code (its state set through its own setters).
  void InsertControl(TControl& control);
  void RemoveControl(TControl& control);
  const std::vector<TControl*>& Controls() const { return children_; }
  // A control of this container or of one inside it, by name.
  TControl* FindControl(const std::string& name) const;

  // Children that take their colour from here hear of the change.
  void SetColor(TColor color) override;
  void CreateHandle() override;
  void DestroyHandle() override;
  // Re-applies the Align rules to the children (also on every WM_SIZE).
  void Realign();

  std::function<void()> OnResize;

 protected:
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;
  // Creates the child windows, in order.
  void CreateChildren();
  bool ReflectToChild(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result);

 private:
  std::vector<TControl*> children_;
};

// A window of our own class that paints itself: the base of panels, bevels, images,
// paint boxes and of controls drawn by the programs (double-buffered boxes, gradient
// bars). The class name may be chosen (it is registered on first use).
class TCustomControl : public TWinControl {
 public:
  explicit TCustomControl(std::wstring className = L"TCustomControl");
  // Skip WM_ERASEBKGND (the paint covers every pixel, as a double-buffered box does).
  void SetOpaquePaint(bool on) { opaque_ = on; }

 protected:
  void CreateParams(TCreateParams& params) override;
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;
  // Paints the client area; the canvas's DC is the paint DC. The default fills it
  // with the control's colour.
  virtual void Paint(TCanvas& canvas);
  RECT ClientRect() const;

 private:
  std::wstring className_;
  bool opaque_ = false;
};

class TPaintBox : public TCustomControl {
 public:
  TPaintBox() : TCustomControl(L"TPaintBox") {}
  std::function<void(TCanvas& canvas)> OnPaint;

 protected:
  void Paint(TCanvas& canvas) override;
};

enum class TBevelCut { bvNone, bvLowered, bvRaised };

class TPanel : public TCustomControl {
 public:
  TPanel();
  TBevelCut BevelOuter = TBevelCut::bvRaised;
  TBevelCut BevelInner = TBevelCut::bvNone;
  int BevelWidth = 1;
  int BorderWidth = 0;
  TAlignment Alignment = TAlignment::taCenter;
  void SetBevels(TBevelCut outer, TBevelCut inner, int bevelWidth = 1, int borderWidth = 0);

 protected:
  void Paint(TCanvas& canvas) override;
};

enum class TBevelShape { bsBox, bsFrame, bsTopLine, bsBottomLine, bsLeftLine, bsRightLine, bsSpacer };

class TBevel : public TCustomControl {
 public:
  TBevel();
  TBevelShape Shape = TBevelShape::bsBox;
  void SetShape(TBevelShape shape) { Shape = shape; Invalidate(); }

 protected:
  void Paint(TCanvas& canvas) override;
};

// A picture: an icon or a bitmap (not owned unless passed with own = true).
class TImage : public TCustomControl {
 public:
  TImage();
  ~TImage() override;
  void SetIcon(HICON icon, bool own = false);
  void SetBitmap(HBITMAP bitmap, bool own = false);
  HICON Icon() const { return icon_; }
  HBITMAP Bitmap() const { return bitmap_; }

 protected:
  void Paint(TCanvas& canvas) override;

 private:
  void FreePicture();
  HICON icon_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  bool own_ = false;
};

class TLabel : public TControl {
 public:
  TLabel() = default;
  void SetCaption(const std::string& text) override;
  bool AutoSize() const { return !(style_ & lblFixedSize); }
  // Sizes the label to its text (AutoSize does it on every caption change).
  void AdjustSize();
  void SetFontColor(TColor color);

 protected:
  void CreateParams(TCreateParams& params) override;
  void AfterCreate() override;
  bool HandleParentMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) override;
};

class TButton : public TControl {
 public:
  TButton();
  int ModalResult = 0;
  bool Default() const { return (style_ & btnDefault) != 0; }
  bool Cancel() const { return (style_ & btnCancel) != 0; }
  // Stores ModalResult in the form first, then fires OnClick (which may set the
  // form's result back to 0 to keep it open).
  void Click() override;

 protected:
  void ApplyKindDecl(const TControlDecl& decl) override { ModalResult = decl.ModalResult; }
  void CreateParams(TCreateParams& params) override;
  bool HandleParentMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) override;
};

class TCheckBox : public TControl {
 public:
  TCheckBox();
  bool Checked() const;
  // A change fires OnClick, as a click would.
  virtual void SetChecked(bool checked);
  // Grayed is shown only by a box declared with chkAllowGrayed.
  TCheckBoxState State() const;
  void SetState(TCheckBoxState state);
  // taRightJustify: the caption right of the box (the default); taLeftJustify: left of it.
  TAlignment Alignment() const { return (style_ & chkLeftText) ? TAlignment::taLeftJustify : TAlignment::taRightJustify; }

 protected:
  void CreateParams(TCreateParams& params) override;
  void AfterCreate() override;
  void BeforeDestroy() override;
  bool HandleParentMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) override;
  bool checked_ = false;
};

// Radio buttons with the same parent form one group.
class TRadioButton : public TCheckBox {
 public:
  TRadioButton() = default;
  // Checking unchecks the other radio buttons of the parent and fires OnClick
  // (only when the button was not checked already); unchecking fires nothing.
  void SetChecked(bool checked) override;

 protected:
  void CreateParams(TCreateParams& params) override;
  bool HandleParentMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) override;
};

class TEdit : public TControl {
 public:
  TEdit();
  std::string Text() const { return Caption(); }
  void SetText(const std::string& text) { SetCaption(text); }  // fires OnChange
  std::string Caption() const override;
  // Fires OnChange also while there is no window yet, as the window would: a dialog
  // filled before its first showing reacts as on every later one.
  void SetCaption(const std::string& text) override;
  // The border: single (sunken with Ctl3D, a flat line without) or none (edNoBorder).
  bool Ctl3D() const { return ctl3D_; }
  void SetCtl3D(bool on);
  bool BorderSingle() const { return !(style_ & edNoBorder); }
  void SetBorderSingle(bool on);
  void SetSelStart(int pos);   // places the caret (no selection)
  void SelectAll();
  std::function<void()> OnChange;

 protected:
  void ApplyKindDecl(const TControlDecl& decl) override { if (decl.OnChange) OnChange = decl.OnChange; }
  void CreateParams(TCreateParams& params) override;
  void BeforeDestroy() override;
  bool HandleParentMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) override;

 private:
  void ApplyBorder();
  bool ctl3D_ = true;
};

// Multi-line edit. Enter makes a new line (unless mmNoWantReturns), Tab moves on
// (unless mmWantTabs) and Esc reaches the form's cancel button. Text is CR LF.
class TMemo : public TEdit {
 public:
  TMemo() = default;
  std::vector<std::string> Lines() const;
  void SetLines(const std::vector<std::string>& lines);

 protected:
  void CreateParams(TCreateParams& params) override;
  void AfterCreate() override;
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;
};

class TComboBox : public TControl {
 public:
  TComboBox();
  void AddItem(const std::string& item);
  void SetItems(const std::vector<std::string>& items);
  std::vector<std::string> Items() const;
  int Count() const;
  std::string Item(int index) const;
  void Clear();
  // Index of an item equal to s without regard to case; -1 when none.
  int IndexOf(const std::string& s) const;
  int ItemIndex() const;
  void SetItemIndex(int index);  // fires nothing
  std::string Text() const { return Caption(); }
  void SetText(const std::string& text);  // fires nothing
  std::string Caption() const override;
  void SetCaption(const std::string& text) override { SetText(text); }
  // The most rows the open list shows at once (eight unless set).
  int DropDownCount() const { return dropDownCount_; }
  void SetDropDownCount(int count);
  std::function<void()> OnChange;  // the user chose an item or typed
  std::function<void()> OnDropDown;
  // Owner-drawn items (cbOwnerDrawFixed): the item height and the drawing.
  int ItemHeight = 0;
  std::function<void(const DRAWITEMSTRUCT& item)> OnDrawItem;

 protected:
  void ApplyKindDecl(const TControlDecl& decl) override { if (decl.OnChange) OnChange = decl.OnChange; }
  void CreateParams(TCreateParams& params) override;
  void AfterCreate() override;
  void BeforeDestroy() override;
  bool HandleParentMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) override;

 private:
  // Gives the list its height (up to the drop-down count of rows) as it opens.
  void FitDropDown();
  std::vector<std::string> items_;
  int itemIndex_ = -1;
  int dropDownCount_ = 8;
  bool settingText_ = false;
};

// A change reported by a list view (LVN_ITEMCHANGED / LVN_ITEMCHANGING).
struct TListChange {
  int Item = -1;
  UINT Changed = 0;   // LVIF_* of what changed
  UINT NewState = 0;  // LVIS_* with the state image (check) bits
  UINT OldState = 0;
  bool CheckChanged() const { return (Changed & LVIF_STATE) && ((NewState ^ OldState) & LVIS_STATEIMAGEMASK); }
  bool SelectChanged() const { return (Changed & LVIF_STATE) && ((NewState ^ OldState) & LVIS_SELECTED); }
  bool Checked() const { return ((NewState & LVIS_STATEIMAGEMASK) >> 12) == 2; }
};

// List view in report style. Items are reached by index; sub-item 0 is column 1.
class TListView : public TControl {
 public:
  TListView();
  // Columns (may be added before or after the window exists).
  void AddColumn(const std::string& caption, int width, TAlignment align = TAlignment::taLeftJustify);
  int ColumnCount() const { return static_cast<int>(columns_.size()); }
  std::string ColumnCaption(int column) const;
  void SetColumnCaption(int column, const std::string& caption);
  int ColumnWidth(int column) const;
  void SetColumnWidth(int column, int width);

  int Count() const;
  // Appends a row (or inserts it at index) and returns its index.
  int AddItem(const std::string& caption, LPARAM data = 0, int imageIndex = -1);
  int InsertItem(int index, const std::string& caption, LPARAM data = 0, int imageIndex = -1);
  void DeleteItem(int index);
  void Clear();
  std::string ItemCaption(int index) const;
  void SetItemCaption(int index, const std::string& caption);
  std::string SubItem(int index, int sub) const;
  void SetSubItem(int index, int sub, const std::string& text);
  LPARAM Data(int index) const;
  void SetData(int index, LPARAM data);
  int ImageIndex(int index) const;
  void SetImageIndex(int index, int image);
  bool Checked(int index) const;
  void SetChecked(int index, bool checked);
  int CheckedCount() const;
  bool Selected(int index) const;
  void SetSelected(int index, bool selected);
  int SelCount() const;
  // First selected row, -1 when none; setting selects only that row and focuses it.
  int ItemIndex() const;
  void SetItemIndex(int index);
  int ItemFocused() const;
  void SetItemFocused(int index);
  void MakeVisible(int index);
  // Index of the first row whose caption equals caption without regard to case.
  int IndexOfCaption(const std::string& caption) const;
  // Sorts the rows with compare(a, b) < 0 when row a goes first (indexes of the
  // rows at the time of the call).
  void Sort(const std::function<int(int a, int b)>& compare);
  void BeginUpdate();
  void EndUpdate();
  void SetSmallImages(HIMAGELIST images);

  std::function<void(const TListChange& change)> OnChange;
  // Before a change: clear allow to refuse it (an unselectable check list refuses
  // only the LVIS_SELECTED change; the check toggles must pass).
  std::function<void(const TListChange& change, bool& allow)> OnChanging;
  std::function<void(int item, bool selected)> OnSelectItem;
  std::function<void(int column)> OnColumnClick;
  // Right click on the list, with the screen point.
  std::function<void(int x, int y)> OnContextPopup;
  // NM_CUSTOMDRAW: return true when *result is set.
  std::function<bool(NMLVCUSTOMDRAW& draw, LRESULT* result)> OnCustomDraw;

 protected:
  void CreateParams(TCreateParams& params) override;
  void AfterCreate() override;
  bool HandleParentMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) override;

 private:
  struct Column {
    std::string Caption;
    int Width;
    TAlignment Align;
  };
  void InsertColumnWindow(int index);
  // One field (LVIF_PARAM, LVIF_IMAGE) of a row read into / written from item.
  bool ItemField(int index, UINT mask, LVITEMW& item) const;
  void SetItemField(int index, UINT mask, LVITEMW& item);
  std::vector<Column> columns_;
  HIMAGELIST smallImages_ = nullptr;
  int updateCount_ = 0;
};

class TProgressBar : public TControl {
 public:
  TProgressBar();
  int Position() const { return position_; }
  void SetPosition(int position);  // kept inside the range

 protected:
  void CreateParams(TCreateParams& params) override;
  void AfterCreate() override;

 private:
  int min_ = 0, max_ = 100, position_ = 0;
};

}  // namespace tk
