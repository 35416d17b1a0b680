// The main of every test program, with a watchdog: a test case that runs longer than
// its limit (QB_CASE_LIMIT seconds, default 120) gets the windows of this process
// closed (dialogs cancelled, boxes answered, forms sent WM_CLOSE), so a dialog that
// nobody answered ends its modal loop and the test fails with a message that names
// it; if the case still does not end, the program stops with an error after 20 s.
// A slow case without an open window is left alone: its own waits are bounded.
#include <windows.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

#include "support/testutil.h"

namespace {

using Clock = std::chrono::steady_clock;

struct TCurrentCase {
  std::mutex Lock;
  std::string Name;
  Clock::time_point Started;
  unsigned Serial = 0;  // changes with every case, so the watchdog acts once per case
};

TCurrentCase current;

class TCaseClock : public testing::EmptyTestEventListener {
  void OnTestStart(const testing::TestInfo& info) override {
    std::lock_guard<std::mutex> l(current.Lock);
    current.Name = std::string(info.test_suite_name()) + "." + info.name();
    current.Started = Clock::now();
    ++current.Serial;
  }
  void OnTestEnd(const testing::TestInfo&) override {
    std::lock_guard<std::mutex> l(current.Lock);
    current.Name.clear();
    ++current.Serial;
  }
};

void Watch(unsigned limitSeconds) {
  unsigned seen = 0;                 // the case last looked at
  Clock::time_point closedAt{};      // when its windows were first closed
  Clock::time_point lastClose{};
  for (;;) {
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    std::string name;
    unsigned serial;
    Clock::duration ran;
    {
      std::lock_guard<std::mutex> l(current.Lock);
      if (current.Name.empty()) continue;
      name = current.Name;
      serial = current.Serial;
      ran = Clock::now() - current.Started;
    }
    if (serial != seen) {
      seen = serial;
      closedAt = {};
    }
    if (ran < std::chrono::seconds(limitSeconds)) continue;
    const auto now = Clock::now();
    if (closedAt != Clock::time_point{} && now - closedAt > std::chrono::seconds(20)) {
      std::fprintf(stderr, "[ watchdog ] %s did not end 20 s after its windows were closed: stopping the program\n",
                   name.c_str());
      std::fflush(stderr);
      TerminateProcess(GetCurrentProcess(), 3);
    }
    if (now - lastClose < std::chrono::seconds(2)) continue;
    lastClose = now;
    // A slow case with no window open is left to its own bounded waits.
    if (qbtest::CloseOwnWindows("[ watchdog ] " + name + " ran past " + std::to_string(limitSeconds) + " s") > 0 &&
        closedAt == Clock::time_point{}) {
      closedAt = now;
      ADD_FAILURE() << "a window was still open after " << limitSeconds << " s; the watchdog closed it";
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  // No system box may ever wait for a person during a test run.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
  testing::InitGoogleTest(&argc, argv);
  unsigned limit = 120;  // a case that waits on a forgotten window for two minutes is stuck
  if (const char* s = std::getenv("QB_CASE_LIMIT"); s && std::atoi(s) > 0) limit = static_cast<unsigned>(std::atoi(s));
  testing::UnitTest::GetInstance()->listeners().Append(new TCaseClock);
  std::thread(Watch, limit).detach();
  return RUN_ALL_TESTS();
}
