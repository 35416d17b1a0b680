#pragma once
// Drives a form that the test's thread shows modally: a second thread works through
// steps while the modal loop runs. An answer step waits for the message box, keeps
// its texts and clicks the named button; a post step waits until no box shows and
// the form of its target takes input again (a nested dialog counts as its own
// form), notes which window has the focus, then posts its message; a call step runs
// a function on the script's thread until it reports done. When a step cannot be
// done in time the windows are closed so that the test ends.
#include <windows.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "support/testutil.h"
#include "toolkit/strings.h"
#include "toolkit/win_form.h"

namespace qbtest {

inline HWND VisibleBox() {
  HWND box = FindWindowW(L"TMessageForm", nullptr);
  return box && IsWindowVisible(box) && IsWindowEnabled(box) ? box : nullptr;
}

class TScript {
 public:
  struct TStep {
    std::string Button;  // answer step when not empty
    HWND Target = nullptr;
    UINT Msg = 0;
    WPARAM Wp = 0;
    LPARAM Lp = 0;
    std::function<bool()> Call;  // call step when set: repeated until it reports done
    std::function<bool()> Once;  // a step of its own: run once, true when it was done
  };
  static TStep Answer(const std::string& button) { return {button, nullptr, 0, 0, 0, nullptr, nullptr}; }
  static TStep Post(HWND target, UINT msg, WPARAM wp = 0, LPARAM lp = 0) {
    return {"", target, msg, wp, lp, nullptr, nullptr};
  }
  static TStep Click(const tk::TControl& c) { return Post(c.Handle(), BM_CLICK); }
  static TStep Call(std::function<bool()> fn) { return {"", nullptr, 0, 0, 0, std::move(fn), nullptr}; }
  static TStep Do(std::function<bool()> action) { return {"", nullptr, 0, 0, 0, nullptr, std::move(action)}; }
  static std::vector<TStep> Type(HWND target, const std::string& chars) {
    std::vector<TStep> steps;
    for (char ch : chars) steps.push_back(Post(target, WM_CHAR, static_cast<unsigned char>(ch)));
    return steps;
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
  // Whether every step was done. The last step may still be noting that its box went
  // when the test's thread is already back from the dialog: that is waited for.
  bool Completed() {
    WaitFor([this] { return finished_.load(); });
    return completed_;
  }

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
  bool AnswerBox(const std::string& button) {
    HWND box = nullptr;
    if (!WaitFor([&] { return (box = VisibleBox()) != nullptr; })) return false;
    std::vector<std::string> texts{WindowText(box)};
    for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) texts.push_back(WindowText(c));
    {
      std::lock_guard<std::mutex> lock(m_);
      boxes_.push_back(texts);
    }
    HWND b = FindWindowExW(box, nullptr, L"Button", tk::Widen(button).c_str());
    if (!b) return false;
    PostMessageW(b, BM_CLICK, 0, 0);
    return WaitFor([&] { return !IsWindow(box) || !IsWindowVisible(box); });
  }
  bool PostWhenReady(const TStep& step) {
    // The form is ready again once its window takes input and the focus has settled
    // after a box or a nested dialog.
    HWND form = GetAncestor(step.Target, GA_ROOT);
    HWND last = nullptr;
    int same = 0;
    const bool ok = WaitFor([&] {
      if (VisibleBox() || !IsWindowVisible(form) || !IsWindowEnabled(form)) return false;
      // Waits until the form's thread is back in its loop, so a busy machine does not
      // catch the focus half-way through a handler.
      DWORD_PTR unused = 0;
      SendMessageTimeoutW(form, WM_NULL, 0, 0, SMTO_NORMAL, 2000, &unused);
      HWND now = FocusOfUi();
      if (!now || (now != form && !IsChild(form, now))) return false;
      same = now == last ? same + 1 : 0;
      last = now;
      return same >= 2;
    });
    if (!ok) return false;
    {
      std::lock_guard<std::mutex> lock(m_);
      focus_.push_back(last);
    }
    PostMessageW(step.Target, step.Msg, step.Wp, step.Lp);
    return true;
  }
  void Run() {
    RunSteps();
    finished_ = true;
  }
  void RunSteps() {
    for (const TStep& step : steps_) {
      const bool ok = step.Once             ? step.Once()
                      : step.Call          ? WaitFor(step.Call)
                      : !step.Button.empty() ? AnswerBox(step.Button)
                                             : PostWhenReady(step);
      if (!ok) {
        if (HWND box = VisibleBox()) PostMessageW(box, WM_SYSCOMMAND, SC_CLOSE, 0);
        // Whatever the test's thread shows on top of the form goes too.
        EnumThreadWindows(
            uiThread_,
            [](HWND w, LPARAM form) {
              if (w != reinterpret_cast<HWND>(form) && IsWindowVisible(w) && IsWindowEnabled(w))
                PostMessageW(w, WM_SYSCOMMAND, SC_CLOSE, 0);
              return TRUE;
            },
            reinterpret_cast<LPARAM>(form_));
        if (step.Target) PostMessageW(GetAncestor(step.Target, GA_ROOT), WM_SYSCOMMAND, SC_CLOSE, 0);
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
  std::atomic<bool> stop_{false}, completed_{false}, finished_{false};
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

inline std::string Text(HWND w) { return WindowText(w); }

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
