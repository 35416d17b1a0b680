# The main window's zip file actions, export and help on the real Qb.exe, with
# stand-ins for the runner and the help viewer.
qb_add_test(manager_zipactions_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/qb_zipactions_test.cpp
  LIBS settings toolkit
  REGISTRY GUI EACH_CASE
  DEPENDS Qb stub_runqb QbHelp
  TIMEOUT 90)
