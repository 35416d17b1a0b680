#pragma once
// The application object of a windowed program: the message loop (with key preview
// and dialog keys for every form), the idle hook, the registry of live forms and
// the active form, plus the small value types that every window class shares.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tk {

class TForm;

// Modal results: the values of the system's dialog command ids.
constexpr int mrNone = 0;
constexpr int mrOk = IDOK;          // 1
constexpr int mrCancel = IDCANCEL;  // 2
constexpr int mrAbort = IDABORT;    // 3
constexpr int mrRetry = IDRETRY;    // 4
constexpr int mrIgnore = IDIGNORE;  // 5
constexpr int mrYes = IDYES;        // 6
constexpr int mrNo = IDNO;          // 7

// State of the modifier keys and mouse buttons at a key or mouse event.
using TShiftState = unsigned;
constexpr TShiftState ssShift = 1, ssAlt = 2, ssCtrl = 4, ssLeft = 8, ssRight = 16, ssMiddle = 32;
// The modifiers held right now (GetKeyState).
TShiftState KeyboardShiftState();

// A rectangle of pixels given as left, top, width and height.
struct TBounds {
  int Left = 0, Top = 0, Width = 0, Height = 0;
  bool operator==(const TBounds&) const = default;
};

// Pixel sizes of forms and controls are written for 96 DPI; the toolkit scales them
// to the screen's DPI at every Win32 call and back when it reads a window.
int ScreenPixelsPerInch();               // LOGPIXELSY of the screen
int ScaleToDpi(int pixels96, int dpi);   // MulDiv(pixels96, dpi, 96)
int ScaleFromDpi(int pixels, int dpi);   // MulDiv(pixels, 96, dpi)

class TApplication {
 public:
  TApplication();
  TApplication(const TApplication&) = delete;
  TApplication& operator=(const TApplication&) = delete;

  HINSTANCE Instance() const { return instance_; }
  const std::string& Title() const { return title_; }
  void SetTitle(const std::string& title) { title_ = title; }

  // The main form: closing it ends Run(). Run() shows it when it is hidden, runs the
  // loop until Terminate(), WM_QUIT or the main form closes, then destroys the
  // windows of every form still registered (their OnDestroy runs while they exist).
  TForm* MainForm() const { return mainForm_; }
  void SetMainForm(TForm* form) { mainForm_ = form; }
  void Run();
  // Ends Run() and every modal loop (each modal form gets mrCancel); no OnClose.
  void Terminate();
  bool Terminated() const { return terminated_; }
  // Clears the terminated state (tests that end one loop and start another).
  void ResetTerminated() { terminated_ = false; }

  // Takes and handles every waiting message, then returns (no idle processing).
  void ProcessMessages();
  // Handles one message; when none waits, runs the idle handlers once and blocks
  // until a message arrives.
  void HandleMessage();
  // Handles messages until done() is true, Terminate() or WM_QUIT, at most timeoutMs
  // (0: no limit). Returns done(). Tests use it to let timers and posted keys act.
  bool ProcessUntil(const std::function<bool()>& done, unsigned timeoutMs = 0);

  // Idle: runs when the queue has emptied (and before a menu opens, by the caller).
  // Actions hook their OnUpdate here. The id removes the handler again.
  int AddIdleHandler(std::function<void()> handler);
  void RemoveIdleHandler(int id);
  void DoIdle();

  // A hook that sees every message the loop takes, before key preview and dialog
  // keys; returning true swallows the message (main-window shortcuts).
  int AddMessageHook(std::function<bool(MSG&)> hook);
  void RemoveMessageHook(int id);

  // Live forms (with or without a window), in creation order.
  const std::vector<TForm*>& Forms() const { return forms_; }
  // The form whose window is hwnd or holds it; nullptr for foreign windows.
  TForm* FindForm(HWND hwnd) const;
  // The form of GetActiveWindow(); nullptr when the active window is none of ours.
  TForm* ActiveForm() const;
  // Number of modal forms showing now (nesting depth).
  int ModalLevel() const { return modalLevel_; }

  // --- used by the forms ---
  void RegisterForm(TForm* form);
  void UnregisterForm(TForm* form);
  void EnterModal() { ++modalLevel_; }
  void LeaveModal() { --modalLevel_; }

 private:
  void Dispatch(MSG& msg);

  HINSTANCE instance_;
  std::string title_;
  TForm* mainForm_ = nullptr;
  bool terminated_ = false;
  int modalLevel_ = 0;
  int nextId_ = 1;
  std::vector<TForm*> forms_;
  std::vector<std::pair<int, std::function<void()>>> idle_;
  std::vector<std::pair<int, std::function<bool(MSG&)>>> hooks_;
};

// The one application object of the program.
extern TApplication Application;

}  // namespace tk
