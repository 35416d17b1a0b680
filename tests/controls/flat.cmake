qb_add_test(flat_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/flat_test.cpp
  LIBS controls
  GUI)

qb_add_test(flatcontrols_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/flatcontrols_test.cpp
  LIBS controls
  GUI)
