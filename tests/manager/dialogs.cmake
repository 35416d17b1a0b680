# The wizard's include/exclude entry and date format dialogs on real forms under Xvfb,
# with their history file in the application-data folder and their boxes answered.
qb_add_test(manager_dialogs_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/dialogs_test.cpp
  LIBS manager
  REGISTRY GUI
  TIMEOUT 300)

# The options dialog filled from and stored to the registry, its rules and boxes.
qb_add_test(manager_options_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/options_test.cpp
  LIBS manager
  REGISTRY GUI
  TIMEOUT 120)

# Not a test: the options dialog in the flat look that scripts/screenshots shows.
add_executable(options_preview WIN32 ${CMAKE_CURRENT_LIST_DIR}/options_preview.cpp)
target_link_libraries(options_preview PRIVATE manager)
target_link_options(options_preview PRIVATE -municode)
