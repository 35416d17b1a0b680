# The profile wizard on a real form under Xvfb, driven through its pages, with the
# record it stores read back from the registry of the test's own Wine prefix.
qb_add_test(manager_wizard_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/wizard_test.cpp ${CMAKE_CURRENT_LIST_DIR}/wizard_driver.cpp
  LIBS manager
  REGISTRY GUI EACH_CASE
  TIMEOUT 180)
qb_add_test(manager_wizard_rules_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/wizard_rules_test.cpp ${CMAKE_CURRENT_LIST_DIR}/wizard_driver.cpp
  LIBS manager
  REGISTRY GUI EACH_CASE
  TIMEOUT 180)
