# Settings store faults against the real registry of the prefix: the log-on entry run as
# the system runs it (the scheduler's stand-in records what started), and stored counts
# far beyond the entries present.
qb_add_test(settings_faults_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/faults_store_test.cpp
  LIBS settings REGISTRY
  DEPENDS stub_runqb)
