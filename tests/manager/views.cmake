# The manager's zip log view, error view and About box on real forms under Xvfb,
# with the real registry and real files in the Logs and Errors folders.
qb_add_test(manager_views_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/views_test.cpp
  LIBS manager
  REGISTRY GUI
  COST 60
  TIMEOUT 300)
# Every form's drop-down lists opened, the first focus of a showing and the options
# pages turned by keyboard, on real forms under Xvfb.
qb_add_test(manager_reach_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/reach_test.cpp
  LIBS manager
  REGISTRY GUI
  TIMEOUT 120)
