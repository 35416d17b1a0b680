#pragma once
// Drives a dialog that runs modally on the test's thread from a second thread, as a
// person would: clicks, typed characters and the answers to the boxes it shows.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "toolkit/strings.h"
#include "toolkit/win_controls.h"
#include "toolkit/win_form.h"

namespace qbtest {

inline std::string Text(HWND w) {
  wchar_t buf[512] = {};
  GetWindowTextW(w, buf, 512);
  return tk::Narrow(buf);
}

inline HWND VisibleBox() {
  HWND box = FindWindowW(L"TMessageForm", nullptr);
  return box && IsWindowVisible(box) && IsWindowEnabled(box) ? box : nullptr;
}

// Works through steps on a second thread while the test's thread runs a dialog
// modally. An answer step waits for the message box, keeps its texts and clicks the
// named button; a post step waits until no box shows and the dialog takes input
// again, notes which window has the focus, then posts its message. When a step
// cannot be done in time the dialog is closed so that the test ends.
class TScript {
 public:
  struct TStep {
    std::string Button;  // answer step when not empty
    HWND Target = nullptr;
    UINT Msg = 0;
    WPARAM Wp = 0;
    std::function<bool()> Action = nullptr;
  };
  static TStep Answer(const std::string& button) { return {button}; }
  static TStep Post(HWND target, UINT msg, WPARAM wp = 0) { return {"", target, msg, wp}; }
  static TStep Click(const tk::TControl& c) { return Post(c.Handle(), BM_CLICK); }
  static std::vector<TStep> Type(HWND target, const std::string& chars) {
    std::vector<TStep> steps;
    for (char ch : chars) steps.push_back(Post(target, WM_CHAR, static_cast<unsigned char>(ch)));
    return steps;
  }

  // A step of its own: runs on the script's thread, true when it was done.
  static TStep Do(std::function<bool()> action) {
    TStep step;
    step.Action = std::move(action);
    return step;
  }

  TScript(tk::TForm& form, std::vector<TStep> steps) : TScript(form.Handle(), std::move(steps)) {}
  // Without a form: answer steps only (boxes of code that runs on the test's thread).
  TScript(HWND form, std::vector<TStep> steps)
      : form_(form), uiThread_(GetCurrentThreadId()), steps_(std::move(steps)), thread_([this] { Run(); }) {}
  ~TScript() {
    stop_ = true;
    thread_.join();
  }
  // The texts of every box answered (caption first, then its controls).
  std::vector<std::vector<std::string>> Boxes() {
    std::lock_guard<std::mutex> lock(m_);
    return boxes_;
  }
  // The focused window at each post step, in order.
  std::vector<HWND> Focus() {
    std::lock_guard<std::mutex> lock(m_);
    return focus_;
  }
  bool Completed() const { return completed_; }

 private:
  bool WaitFor(const std::function<bool()>& done) {
    for (int i = 0; i < 500 && !stop_; ++i) {
      if (done()) return true;
      Sleep(20);
    }
    return false;
  }
  HWND FocusOfUi() const {
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    return GetGUIThreadInfo(uiThread_, &info) ? info.hwndFocus : nullptr;
  }
  void Run() {
    for (const TStep& step : steps_) {
      bool ok;
      if (step.Action) {
        ok = step.Action();
      } else if (!step.Button.empty()) {
        HWND box = nullptr;
        ok = WaitFor([&] { return (box = VisibleBox()) != nullptr; });
        if (ok) {
          std::vector<std::string> texts{Text(box)};
          for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) texts.push_back(Text(c));
          {
            std::lock_guard<std::mutex> lock(m_);
            boxes_.push_back(texts);
          }
          HWND b = FindWindowExW(box, nullptr, L"Button", tk::Widen(step.Button).c_str());
          ok = b != nullptr;
          if (b) PostMessageW(b, BM_CLICK, 0, 0);
          ok = ok && WaitFor([&] { return !IsWindow(box) || !IsWindowVisible(box); });
        }
      } else {
        // The dialog is ready again once its window takes input and the focus has
        // settled after the box.
        HWND last = nullptr;
        int same = 0;
        ok = WaitFor([&] {
          if (VisibleBox() || !IsWindowVisible(form_) || !IsWindowEnabled(form_)) return false;
          HWND now = FocusOfUi();
          if (!now || !IsChild(form_, now)) return false;
          same = now == last ? same + 1 : 0;
          last = now;
          return same >= 2;
        });
        if (ok) {
          {
            std::lock_guard<std::mutex> lock(m_);
            focus_.push_back(last);
          }
          PostMessageW(step.Target, step.Msg, step.Wp, 0);
        }
      }
      if (!ok) {
        // Whatever the test's thread shows on top of the dialog goes first.
        EnumThreadWindows(
            uiThread_,
            [](HWND w, LPARAM form) {
              if (w != reinterpret_cast<HWND>(form) && IsWindowVisible(w) && IsWindowEnabled(w))
                PostMessageW(w, WM_SYSCOMMAND, SC_CLOSE, 0);
              return TRUE;
            },
            reinterpret_cast<LPARAM>(form_));
        PostMessageW(form_, WM_SYSCOMMAND, SC_CLOSE, 0);
        return;
      }
    }
    completed_ = true;
  }

  HWND form_;
  DWORD uiThread_;
  std::vector<TStep> steps_;
  std::mutex m_;
  std::vector<std::vector<std::string>> boxes_;
  std::vector<HWND> focus_;
  std::atomic<bool> stop_{false}, completed_{false};
  std::thread thread_;
};

inline std::vector<TScript::TStep> Join(std::initializer_list<std::vector<TScript::TStep>> parts) {
  std::vector<TScript::TStep> all;
  for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

inline testing::AssertionResult Said(const std::vector<std::string>& box, const std::string& text) {
  std::string all;
  for (const std::string& t : box) {
    if (t == text) return testing::AssertionSuccess();
    all += "[" + t + "]";
  }
  return testing::AssertionFailure() << "the box said " << all;
}

// A window is the control or the edit inside it.
inline testing::AssertionResult IsIn(HWND w, const tk::TControl& c) {
  if (w && (w == c.Handle() || GetParent(w) == c.Handle())) return testing::AssertionSuccess();
  wchar_t cls[64] = {};
  if (w) GetClassNameW(w, cls, 64);
  tk::TControl* at = w ? tk::TControl::FromHandle(w) : nullptr;
  return testing::AssertionFailure() << "the focus is on " << tk::Narrow(cls) << " \"" << (w ? Text(w) : "")
                                     << "\" " << (at ? at->Name() : std::string("(none of ours)"));
}

inline HWND EditOf(const tk::TComboBox& box) { return FindWindowExW(box.Handle(), nullptr, L"Edit", nullptr); }
}  // namespace qbtest
