# The schedule, autorun, start-up/shut-down and filter editors on real forms under
# Xvfb with the real registry, driven through their buttons and boxes.
qb_add_test(manager_editor_rules_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/editors_rules_test.cpp
  LIBS manager
  REGISTRY GUI
  TIMEOUT 120)
qb_add_test(manager_schedule_editors_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/schedules_test.cpp
  LIBS manager
  REGISTRY GUI
  TIMEOUT 120)
qb_add_test(manager_autorun_editors_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/autoruns_test.cpp
  LIBS manager
  REGISTRY GUI
  TIMEOUT 120)
qb_add_test(manager_list_editors_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/lists_test.cpp
  LIBS manager
  REGISTRY GUI
  TIMEOUT 120)
