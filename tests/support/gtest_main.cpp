#include <windows.h>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
  // No system box may ever wait for a person during a test run.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
