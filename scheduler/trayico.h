#pragma once
// The scheduler's icon in the notification area: one shell notification-icon record
// that is added at construction, modified only when the icon or the tip really
// changes, and deleted at destruction.
#include <windows.h>
#include <shellapi.h>

#include <string>

class TTrayIco {
 public:
  TTrayIco(HWND window, const std::string& tip, HICON icon);
  ~TTrayIco();
  TTrayIco(const TTrayIco&) = delete;
  TTrayIco& operator=(const TTrayIco&) = delete;

  void SetIcon(HICON icon);
  // A tip of more than MaxTipLength characters is ignored.
  void SetTip(const std::string& tip);
  std::string Tip() const;
  // Calls made to the shell so far (add, modify and delete).
  int ShellCalls() const { return shellCalls_; }

  static constexpr size_t MaxTipLength = 63;

 private:
  void Notify(DWORD message);

  NOTIFYICONDATAW data_{};
  int shellCalls_ = 0;
};
