# Flag string and path, drive and file helpers: real files, no registry.
qb_add_test(settings_store_helpers_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/store_flags_test.cpp ${CMAKE_CURRENT_LIST_DIR}/store_helpers_test.cpp
  LIBS settings)
# The settings store and the log-on entry against the real registry of the prefix.
qb_add_test(settings_store_registry_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/store_settings_test.cpp
  LIBS settings REGISTRY)
