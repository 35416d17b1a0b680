qb_add_test(toolkit_kinds_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/win_kinds_test.cpp
  LIBS toolkit
  GUI
  TIMEOUT 120)
