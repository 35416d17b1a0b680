// The message dialog: kinds, captions, buttons and the result of the button
// pressed, answered from a second thread that finds the box and clicks a button.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "toolkit/strings.h"
#include "toolkit/win_msgdlg.h"
#include "toolkit/win_timer.h"

using namespace tk;

namespace {

HWND FindChildByText(HWND parent, const std::wstring& text) {
  for (HWND c = GetWindow(parent, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    wchar_t buf[64] = {};
    GetWindowTextW(c, buf, 64);
    if (text == buf) return c;
  }
  return nullptr;
}

// Waits for a visible message dialog and answers it from another thread: a button
// by its text, or a key posted to the dialog's focused control.
class Answerer {
 public:
  Answerer(std::wstring button, WORD key = 0) : thread_([this, button, key] { Run(button, key); }) {}
  ~Answerer() {
    stop_ = true;
    thread_.join();
  }
  std::wstring caption;
  std::atomic<bool> answered{false};

 private:
  void Run(const std::wstring& button, WORD key) {
    for (int i = 0; i < 500 && !stop_; ++i) {
      HWND box = FindWindowW(L"TMessageForm", nullptr);
      if (box && IsWindowVisible(box) && IsWindowEnabled(box)) {
        wchar_t buf[128] = {};
        GetWindowTextW(box, buf, 128);
        caption = buf;
        if (key) {
          // The key goes to the first button (the keys of a dialog work whatever
          // control has them).
          HWND target = box;
          for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
            wchar_t cls[32] = {};
            GetClassNameW(c, cls, 32);
            if (std::wstring(cls) == L"Button") { target = c; break; }
          }
          PostMessageW(target, WM_KEYDOWN, key, 1);
        } else if (button == L"close") {
          PostMessageW(box, WM_SYSCOMMAND, SC_CLOSE, 0);
        } else if (HWND b = FindChildByText(box, button)) {
          PostMessageW(b, BM_CLICK, 0, 0);
        } else {
          continue;
        }
        answered = true;
        return;
      }
      Sleep(20);
    }
  }
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace

TEST(MessageDialog, KindsGiveTheirCaptionsAndIcons) {
  EXPECT_EQ(MsgDlgCaption(TMsgDlgType::mtError), "Error");
  EXPECT_EQ(MsgDlgCaption(TMsgDlgType::mtWarning), "Warning");
  EXPECT_EQ(MsgDlgCaption(TMsgDlgType::mtConfirmation), "Confirm");
  EXPECT_EQ(MsgDlgCaption(TMsgDlgType::mtInformation), "Information");
  for (TMsgDlgType t : {TMsgDlgType::mtError, TMsgDlgType::mtWarning, TMsgDlgType::mtConfirmation,
                        TMsgDlgType::mtInformation}) {
    auto d = CreateMessageDialog("Text", t, mbOK);
    d->HandleNeeded();
    EXPECT_FALSE(IsWindowVisible(d->Handle()));  // built, not shown
    EXPECT_EQ(d->Caption(), MsgDlgCaption(t));
    EXPECT_NE(d->Image.Icon(), nullptr);
    wchar_t cls[32] = {};
    GetClassNameW(d->Handle(), cls, 32);
    EXPECT_EQ(std::wstring(cls), L"TMessageForm");
  }
}

TEST(MessageDialog, ButtonsAskedForAreMadeInOrder) {
  auto d = CreateMessageDialog("Delete the profile?", TMsgDlgType::mtConfirmation, mbYes | mbNo | mbCancel);
  d->HandleNeeded();
  EXPECT_EQ(d->btnYes.Caption(), "&Yes");
  EXPECT_EQ(d->btnNo.Caption(), "&No");
  EXPECT_EQ(d->btnCancel.Caption(), "Cancel");
  EXPECT_FALSE(d->btnOK.HandleAllocated());
  EXPECT_LT(d->btnYes.Left(), d->btnNo.Left());
  EXPECT_LT(d->btnNo.Left(), d->btnCancel.Left());
  EXPECT_EQ(d->DefaultButton(), &d->btnYes);
  EXPECT_EQ(d->CancelButton(), &d->btnCancel);
  EXPECT_EQ(d->Message.Caption(), "Delete the profile?");

  auto ok = CreateMessageDialog("Done", TMsgDlgType::mtInformation, mbOK);
  ok->HandleNeeded();
  EXPECT_EQ(ok->btnOK.Caption(), "OK");
  EXPECT_EQ(ok->CancelButton(), &ok->btnOK);
}

TEST(MessageDialog, ResultIsTheButtonPressed) {
  {
    Answerer a(L"&No");
    EXPECT_EQ(MessageDlg("Overwrite?", TMsgDlgType::mtConfirmation, mbYes | mbNo), mrNo);
    EXPECT_TRUE(a.answered);
    EXPECT_EQ(a.caption, L"Confirm");
  }
  {
    Answerer a(L"&Yes");
    EXPECT_EQ(MessageDlg("Overwrite?", TMsgDlgType::mtConfirmation, mbYes | mbNo | mbCancel), mrYes);
  }
  {
    Answerer a(L"OK");
    EXPECT_EQ(MessageDlg("The zip is damaged.", TMsgDlgType::mtError, mbOK), mrOk);
    EXPECT_EQ(a.caption, L"Error");
  }
  {
    Answerer a(L"close");
    EXPECT_EQ(MessageDlg("Closing", TMsgDlgType::mtWarning, mbYes | mbNo), mrCancel);
  }
}

TEST(MessageDialog, EscWorksNoWhenThereIsNoCancel) {
  {
    Answerer a(L"", VK_ESCAPE);
    EXPECT_EQ(MessageDlg("Go on?", TMsgDlgType::mtConfirmation, mbYes | mbNo), mrNo);
  }
  {
    Answerer a(L"", VK_ESCAPE);
    EXPECT_EQ(MessageDlg("Go on?", TMsgDlgType::mtConfirmation, mbYes | mbNo | mbCancel), mrCancel);
  }
  {
    Answerer a(L"", VK_RETURN);
    EXPECT_EQ(MessageDlg("Go on?", TMsgDlgType::mtConfirmation, mbYes | mbNo | mbCancel), mrYes);
  }
}

TEST(MessageDialog, AnsweredFromATimerInsideTheModalLoop) {
  TTimer t(30, true);
  t.OnTimer = [&] {
    if (HWND box = FindWindowW(L"TMessageForm", nullptr))
      if (HWND b = FindChildByText(box, L"Cancel")) PostMessageW(b, BM_CLICK, 0, 0);
  };
  EXPECT_EQ(MessageDlg("Stop the run?", TMsgDlgType::mtWarning, mbOK | mbCancel), mrCancel);
}
