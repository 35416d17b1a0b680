qb_add_test(migrator_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/converter_test.cpp ${CMAKE_CURRENT_LIST_DIR}/migrator_test.cpp
  LIBS migrator
  REGISTRY GUI
  DEPENDS Migrator
  TIMEOUT 300)
