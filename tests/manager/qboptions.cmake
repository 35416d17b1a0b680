# The real Qb.exe's Options action: the dialog opened from the View menu and its display
# settings on the main window's rows at once.
qb_add_test(manager_options_program_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/qb_options_test.cpp
  LIBS toolkit
  REGISTRY GUI
  DEPENDS Qb stub_runqb
  TIMEOUT 120)
# Presses keys in another program's window, for scripts/screenshots.
add_executable(window_keys WIN32 ${CMAKE_CURRENT_LIST_DIR}/window_keys.cpp)
target_link_options(window_keys PRIVATE -municode)
target_include_directories(window_keys PRIVATE ${CMAKE_SOURCE_DIR}/tests)
