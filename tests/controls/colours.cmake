qb_add_test(colours_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/colours_test.cpp
  LIBS controls settings
  GUI)
