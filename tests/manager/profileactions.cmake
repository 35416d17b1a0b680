# The profile actions of the real Qb.exe from outside, beside the recording stand-ins.
qb_add_test(manager_profile_actions_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/qb_profile_actions_test.cpp
  LIBS settings toolkit
  REGISTRY GUI EACH_CASE
  DEPENDS Qb stub_runqb
  TIMEOUT 120)
