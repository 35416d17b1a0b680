# The wizard's include/exclude entry and date format dialogs on real forms under Xvfb,
# with their history file in the application-data folder and their boxes answered.
qb_add_test(manager_dialogs_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/dialogs_test.cpp
  LIBS manager
  REGISTRY GUI
  TIMEOUT 300)
