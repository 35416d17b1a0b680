qb_add_test(controls_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/blend_test.cpp ${CMAKE_CURRENT_LIST_DIR}/bitmap_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/progressbar_test.cpp ${CMAKE_CURRENT_LIST_DIR}/passdialog_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/memodialog_test.cpp
  LIBS controls
  GUI)

# Not a test: the window that scripts/screenshots shows.
add_executable(bar_preview WIN32 ${CMAKE_CURRENT_LIST_DIR}/bar_preview.cpp)
target_link_libraries(bar_preview PRIVATE controls)
target_link_options(bar_preview PRIVATE -municode)
