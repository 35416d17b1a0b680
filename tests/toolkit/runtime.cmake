qb_add_test(toolkit_runtime_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/strings_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/rt_stringlist_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/rt_datetime_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/rt_format_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/rt_cmdline_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/rt_files_test.cpp
  LIBS toolkit)
qb_add_test(toolkit_registry_tests SOURCES ${CMAKE_CURRENT_LIST_DIR}/rt_registry_test.cpp LIBS toolkit REGISTRY)
