# Profile, schedule and autorun records against the real registry of the prefix; the
# runner start is shown with copies of the test program standing in for RunQb and QbEw.
qb_add_test(settings_records_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/records_profile_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/records_names_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/records_schedules_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/records_autoruns_test.cpp
  LIBS settings REGISTRY)
