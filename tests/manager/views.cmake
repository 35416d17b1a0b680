# The manager's zip log view, error view and About box on real forms under Xvfb,
# with the real registry and real files in the Logs and Errors folders.
qb_add_test(manager_views_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/views_test.cpp
  LIBS manager
  REGISTRY GUI
  COST 60
  TIMEOUT 300)
