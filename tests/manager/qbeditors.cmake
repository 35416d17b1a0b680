# The real Qb.exe's Tools menu editors driven from outside, beside a window of the
# scheduler's class and title that counts what it is sent.
qb_add_test(manager_tools_editors_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/qb_editors_test.cpp
  LIBS settings toolkit
  REGISTRY GUI EACH_CASE
  DEPENDS Qb stub_runqb
  TIMEOUT 90)
