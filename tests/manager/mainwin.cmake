# The main window's toolkit pieces and the window itself, in this process.
qb_add_test(manager_mainwin_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/mainwin_pieces_test.cpp
  LIBS manager
  REGISTRY GUI
  TIMEOUT 120)
