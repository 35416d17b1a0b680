# The history combo box against real ini files and the real registry, and the logo
# frame, both on forms under Xvfb.
qb_add_test(controls_history_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/history_logo_test.cpp
  LIBS controls
  REGISTRY GUI)
