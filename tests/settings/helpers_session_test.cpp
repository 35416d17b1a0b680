// The session-ending operations, always through the seam: they record what would have
// been asked and the session goes on.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "settings/syshelpers.h"
#include "support/testutil.h"
#include "toolkit/stringlist.h"
#include "toolkit/strings.h"

namespace {

class SessionSeam : public ::testing::Test {
 protected:
  void SetUp() override { SetEnvironmentVariableW(L"QB_SESSION_END_LOG", tk::Widen(Log()).c_str()); }
  std::string Log() const { return dir_ / "session.log"; }
  std::vector<std::string> Lines() const {
    return qbtest::Exists(Log()) ? tk::SplitLines(qbtest::ReadFile(Log())) : std::vector<std::string>{};
  }
  qbtest::TempDir dir_;
};

TEST_F(SessionSeam, EachOperationRecordsItsFlagsUnforced) {
  EXPECT_TRUE(LogOffSession());
  EXPECT_TRUE(ShutDownSystem());
  EXPECT_TRUE(PowerOffComputer());
  EXPECT_TRUE(ExitWindowsWith(EWX_REBOOT));
  EXPECT_EQ(Lines(), (std::vector<std::string>{
                         "ExitWindowsEx 0x00000000 reason 0x00040000",  // log off
                         "ExitWindowsEx 0x00000001 reason 0x00040000",  // shut down
                         "ExitWindowsEx 0x00000008 reason 0x00040000",  // power off
                         "ExitWindowsEx 0x00000002 reason 0x00040000",  // restart
                     }));
  EXPECT_TRUE(SessionEndRequestedByUs());
}

TEST_F(SessionSeam, UnwritableRecordCountsAsRefused) {
  SetEnvironmentVariableW(L"QB_SESSION_END_LOG", tk::Widen(dir_ / "no such folder\\session.log").c_str());
  EXPECT_FALSE(LogOffSession());
}

TEST(ProcessPrivilege, UnknownNameIsRefused) {
  EXPECT_FALSE(SetProcessPrivilege(true, "SeNoSuchPrivilegeAtAll"));
  EXPECT_TRUE(SetProcessPrivilege(true, "SeShutdownPrivilege"));
  EXPECT_TRUE(SetProcessPrivilege(false, "SeShutdownPrivilege"));
}

}  // namespace
