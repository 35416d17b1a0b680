# The application-wide helpers and the session-ending seam: real files, the real
# registry, message dialogs under Xvfb.
qb_add_test(settings_helpers_session_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/helpers_session_test.cpp
  LIBS settings)

# The helpers that answer with message dialogs, on forms under Xvfb.
qb_add_test(settings_helpers_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/helpers_global_test.cpp
  LIBS settings
  REGISTRY GUI
  DEPENDS dunzip32)
