qb_add_test(toolkit_runtime_tests SOURCES ${CMAKE_CURRENT_LIST_DIR}/strings_test.cpp LIBS toolkit)
