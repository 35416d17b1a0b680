qb_add_test(settings_binding_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/binding_records_test.cpp
  LIBS runner settings toolkit
  DEPENDS dunzip32 dzip32)
