#pragma once
// The form base: a top-level window, shown normally or modally, whose controls come
// from its declared table. A form class derives from TForm, holds its controls as
// members named as its components and declares them in its constructor:
//
//   class TAskForm : public tk::TForm {
//    public:
//     tk::TLabel lblMsg;
//     tk::TButton btnOK, btnCancel;
//     TAskForm() : TForm(L"TAskForm") {
//       BorderStyle = tk::TBorderStyle::bsDialog;
//       SetClientSize(260, 98);
//       Declare({
//           {.Control = lblMsg, .Name = "lblMsg", .Caption = "", .Bounds = {8, 8, 0, 0}},
//           {.Control = btnOK, .Name = "btnOK", .Caption = "OK", .Bounds = {96, 64, 75, 25},
//            .Style = tk::btnDefault, .ModalResult = tk::mrOk},
//       });
//     }
//   };
//
// The windows are made on the first Show/ShowModal (or HandleNeeded), then OnCreate
// runs. Keys go through the application's loop: with KeyPreview the form's key
// events see every key before the focused control; then Tab, arrows, Enter (the
// focused push button or the default button) and Esc (the cancel button) work as
// in a dialog, and Ctrl+Tab, Ctrl+Shift+Tab, Ctrl+PgDn and Ctrl+PgUp turn the pages
// of the page control that holds the focus (else of the form's first with tabs).
// Each showing starts on the control the form names (SetActiveControl or SetFocus
// before it shows, or in OnShow), else on its first control in tab order.
//
// ShowModal: the other windows of the thread are disabled, the form runs its own
// loop until its modal result is non-zero, the windows are enabled again, the form
// hides and the control that had the focus before gets it back. A button with a
// ModalResult stores it in the form before its OnClick runs, so the handler can set
// it back to 0 to keep the form open (a failed check). The close box gives mrCancel.
#include <windows.h>

#include <functional>
#include <string>

#include "toolkit/win_app.h"
#include "toolkit/win_controls.h"

namespace tk {

class TPageControl;

enum class TBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
using TBorderIcons = unsigned;
constexpr TBorderIcons biSystemMenu = 1, biMinimize = 2, biMaximize = 4;
enum class TPosition { poDesigned, poScreenCenter, poOwnerFormCenter };
enum class TFormStyle { fsNormal, fsStayOnTop };
enum class TWindowState { wsNormal, wsMinimized, wsMaximized };
enum class TCloseAction { caNone, caHide, caFree, caMinimize };

// The tab order inside root as Tab and Shift+Tab walk it: the child windows in their
// order, each control parent (a panel, a page) followed by its own. A stop is a visible,
// enabled window with a tab stop; a page control with a tab row is one before its page.
// Gives the stop after (previous: before) the one that is or holds from, round the end;
// the first (last) stop when from is null or not inside; null when root has none.
HWND NextTabStop(HWND root, HWND from, bool previous);

class TForm : public TWinControl {
 public:
  // The window class name (the manager's main window needs "TMainForm").
  explicit TForm(std::wstring windowClassName = L"TForm");
  ~TForm() override;

  // Set before the window is made (later changes apply at once where Win32 allows).
  TBorderStyle BorderStyle = TBorderStyle::bsSizeable;
  TBorderIcons BorderIcons = biSystemMenu | biMinimize | biMaximize;
  TPosition Position = TPosition::poDesigned;
  bool KeyPreview = false;
  void SetFormStyle(TFormStyle style);
  // Client size in pixels at 96 DPI (the window size follows from the border).
  void SetClientSize(int width, int height);
  // The form's font, used by every control that has none of its own.
  void SetFormFont(const TFontSpec& font) { SetFont(font); }

  void HandleNeeded();  // makes the window and the controls, then OnCreate
  void Show();
  void Hide();
  // Owned while it shows by the active window when that is a form of the program,
  // else by the main form (when visible).
  int ShowModal();
  // Modal: ends the form with mrCancel. Otherwise OnCloseQuery, OnClose, then hide
  // (the main form ends the application).
  void Close();
  bool Modal() const { return modal_; }
  int ModalResult() const { return modalResult_; }
  void SetModalResult(int result);

  TWindowState WindowState() const;
  void SetWindowState(TWindowState state);
  // The place and size the window has when it is neither minimised nor maximised (its
  // bounds while it is normal), in pixels at 96 DPI; restoresMaximized (when given)
  // tells whether a minimised window comes back maximised.
  TBounds NormalBounds(bool* restoresMaximized = nullptr) const;
  // The control that has (or, while the form is inactive, will get) the focus.
  TControl* ActiveControl() const { return activeControl_; }
  void SetActiveControl(TControl* control);
  // Puts the window at the top of the z-order (of the topmost band when it stays
  // on top) without moving, sizing or activating it.
  void BringToTopNoActivate();
  // True while the form is the active window.
  bool Active() const;

  std::function<void()> OnCreate;
  std::function<void()> OnShow;
  std::function<void()> OnHide;
  // Every activation, also after a nested dialog or message box closes.
  std::function<void()> OnActivate;
  std::function<void()> OnDeactivate;
  std::function<void(bool& canClose)> OnCloseQuery;
  std::function<void(TCloseAction& action)> OnClose;
  // Runs from DestroyHandle (Application.Run does it at the end), while the
  // controls still exist.
  std::function<void()> OnDestroy;

  void DestroyHandle() override;

  // --- used by the toolkit ---
  int NextControlId() { return nextId_++; }
  TControl* ControlById(int id) const;
  // A control of this form got the focus (fires OnExit/OnEnter).
  void FocusChanged(TControl* control);
  // Key preview and dialog keys for a message the loop took; true when consumed.
  bool PreTranslate(MSG& msg);
  TButton* DefaultButton() const;
  TButton* CancelButton() const;
  // A control of the form is being destroyed: forget it as the active control.
  void ControlGone(TControl* control);

 protected:
  void CreateParams(TCreateParams& params) override;
  void AfterCreate() override;
  // The form's window procedure; a form overrides it for its own messages
  // (call TForm::WndProc first for the default handling).
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  // The page control that Ctrl+Tab turns: the innermost with tabs around the focus,
  // else the form's first with tabs; null when there is none.
  TPageControl* PagesFor(HWND focus) const;
  bool CloseQuery();
  void DoClose(TCloseAction& action);
  void CloseModal();
  void PlaceWindow();

  std::wstring className_;
  TFormStyle formStyle_ = TFormStyle::fsNormal;
  bool modal_ = false;
  int modalResult_ = 0;
  bool created_ = false;
  bool hasClientSize_ = false;
  int clientW_ = 0, clientH_ = 0;
  int nextId_ = 1000;
  TControl* activeControl_ = nullptr;
};

}  // namespace tk
