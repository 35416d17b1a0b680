# The real Qb.exe from a program folder of its own, beside stand-ins that record how
# they were started (the scheduler's stand-in program).
qb_add_test(manager_start_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/qb_start_test.cpp
  LIBS toolkit
  REGISTRY GUI
  DEPENDS Qb stub_runqb
  TIMEOUT 180)
qb_add_test(manager_main_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/qb_lists_test.cpp
  LIBS settings toolkit
  REGISTRY GUI
  DEPENDS Qb stub_runqb RunQb QbSch QbEw dzip32 dunzip32
  TIMEOUT 180)
